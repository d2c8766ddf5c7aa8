#include "media/widgets/mediawindow.h"

#include "media/codepagepreview.h"
#include "media/rescan.h"
#include "media/widgets/rescanflow.h"
#include "media/widgets/mediumactions.h"
#include "media/widgets/verifywindow.h"
#include "catalogue/cataloguemodel.h"
#include "base/codepage.h"
#include "media/mediasession.h"
#include "media/verify.h"
#include "base/platform/prompter.h"
#include "base/widgets/longwork.h"

#include <QComboBox>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <map>

namespace {

QString playingTime(qint64 seconds)
{
    if (seconds <= 0)
        return {};
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QStringList rowTexts(const QString &source, const MediaRecord *record, const MediumState *state,
                     const MediumTotals &totals)
{
    const QLocale locale;
    QStringList texts{source, record ? record->label : QString(),
                      !state           ? QString()
                      : state->unknown ? QStringLiteral("Unknown")
                      : state->online  ? QStringLiteral("Online")
                                       : QStringLiteral("Offline"),
                      locale.toString(totals.files)};
    texts << (totals.bytes > 0 ? locale.formattedDataSize(totals.bytes) : QString()) << playingTime(totals.seconds)
          << (record && record->scanned.isValid()
                  ? locale.toString(record->scanned.toLocalTime(), QLocale::ShortFormat)
                  : QString())
          << (record && record->verified.when.isValid() ? Verify::lastText(record->verified) : QString())
          << (record ? record->codepage : CodePage::autoName())
          << (record ? record->tags : TagPreferences::defaultName()) << (record ? record->note : QString());
    return texts;
}

bool isReadingColumn(int column)
{
    return column == MediaWindow::CodePageColumn || column == MediaWindow::TagsColumn;
}

// The code page and tag choice cells are edited with a list of the names,
// named as their column.
class NameListDelegate : public QStyledItemDelegate
{
public:
    NameListDelegate(QString name, QStringList names, QObject *parent)
        : QStyledItemDelegate(parent), m_name(std::move(name)), m_names(std::move(names))
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *combo = new QComboBox(parent);
        combo->setAccessibleName(m_name);
        combo->addItems(m_names);
        // A name picked from the list is taken at once, as Enter would.
        auto *self = const_cast<NameListDelegate *>(this);
        connect(combo, &QComboBox::activated, self, [self, combo] {
            Q_EMIT self->commitData(combo);
            Q_EMIT self->closeEditor(combo);
        });
        return combo;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *combo = static_cast<QComboBox *>(editor);
        combo->setCurrentIndex(std::max(0, combo->findText(index.data().toString())));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        model->setData(index, static_cast<QComboBox *>(editor)->currentText());
    }

private:
    const QString m_name;
    const QStringList m_names;
};

// The question before a code page or a tag choice is applied, with the
// titles of the samples as they read now and as they would read.
QString previewQuestion(const QString &source, bool codepage, const QString &before, const QString &after,
                        const QList<TitleSample> &samples)
{
    QString text = codepage ? QStringLiteral("Read the ID3v1 text of %1 as %2 instead of %3?\n\n")
                            : QStringLiteral("Take the fields of %1 from %2 first instead of %3?\n\n");
    text = text.arg(source, after, before);
    if (samples.isEmpty())
        text += QStringLiteral("No file of %1 has an ID3v1 tag to show.\n").arg(source);
    else
        text += QStringLiteral("Titles now and as %1:\n").arg(after);
    for (const TitleSample &sample : samples)
        text += QStringLiteral("%1: %2 \u2192 %3\n").arg(sample.path, sample.before, sample.after);
    return text + QStringLiteral("\nYes saves the %1 and rescans %2.")
                      .arg(codepage ? QStringLiteral("code page") : QStringLiteral("tag choice"), source);
}

} // namespace

QStringList MediaWindow::headers()
{
    return {QStringLiteral("Source"),       QStringLiteral("Label"), QStringLiteral("Online"),
            QStringLiteral("Files"),        QStringLiteral("Size"),  QStringLiteral("Playing time"),
            QStringLiteral("Last scanned"), QStringLiteral("Last verified"), QStringLiteral("Code page"),
            QStringLiteral("Tags"),
            QStringLiteral("Note")};
}

MediaWindow::MediaWindow(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_media(media), m_prompter(prompter)
{
    setObjectName(QStringLiteral("MediaWindow"));
    setWindowTitle(QStringLiteral("Media"));
    setAccessibleName(windowTitle());
    m_table = new QTableWidget(0, int(headers().size()), this);
    m_table->setObjectName(QStringLiteral("lstMedia"));
    m_table->setAccessibleName(QStringLiteral("Media"));
    m_table->setHorizontalHeaderLabels(headers());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    m_table->setItemDelegateForColumn(CodePageColumn,
                                      new NameListDelegate(headers().at(CodePageColumn), CodePage::names(), m_table));
    m_table->setItemDelegateForColumn(TagsColumn,
                                      new NameListDelegate(headers().at(TagsColumn), TagPreferences::names(), m_table));
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *buttons = new QDialogButtonBox(this);
    m_rescanButton = buttons->addButton(QStringLiteral("&Rescan"), QDialogButtonBox::ActionRole);
    m_rescanButton->setObjectName(QStringLiteral("cmdRescan"));
    m_verifyButton = buttons->addButton(QStringLiteral("&Verify..."), QDialogButtonBox::ActionRole);
    m_verifyButton->setObjectName(QStringLiteral("cmdVerify"));
    m_statisticsButton = buttons->addButton(QStringLiteral("&Statistics"), QDialogButtonBox::ActionRole);
    m_statisticsButton->setObjectName(QStringLiteral("cmdStatistics"));
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    m_rescan = new RescanFlow(catalogue, media, prompter, this);
    addMediumMenu();
    connect(m_rescanButton, &QPushButton::clicked, this, &MediaWindow::rescanSelected);
    connect(m_verifyButton, &QPushButton::clicked, this, [this] { m_actions->verify(selectedSource()); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_statisticsButton, &QPushButton::clicked, this, [this] {
        if (const QString source = selectedSource(); !source.isEmpty())
            Q_EMIT statisticsRequested(source);
    });
    connect(m_table, &QTableWidget::itemChanged, this, &MediaWindow::itemEdited);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &MediaWindow::selectionChanged);
    connect(&media, &MediaSession::changed, this, &MediaWindow::fill);
    connect(m_rescan, &RescanFlow::finished, this, [this](bool applied) {
        m_status->setText(m_reading.isEmpty() ? m_rescan->outcome()
                                              : readingApplied(m_reading, m_readingSource, m_rescan->changedEntries()));
        m_reading.clear();
        fill();
        if (applied)
            Q_EMIT catalogueChanged();
    });
    fill();
    resize(760, 320);
}

void MediaWindow::addMediumMenu()
{
    m_actions = new MediumActions(m_catalogue, m_media, m_prompter, *m_rescan, this);
    m_menu = new QMenu(QStringLiteral("Medium"), this);
    m_menu->setObjectName(QStringLiteral("mnuMedium"));
    const QList<QAction *> actions = m_actions->addTo(m_menu, [this] { return selectedSource(); });
    // Keys of the list itself, not of a cell being edited.
    const QKeySequence keys[] = {QKeySequence(Qt::Key_F2), {}, QKeySequence(Qt::Key_Delete)};
    for (qsizetype i = 0; i < actions.size(); ++i) {
        actions.at(i)->setShortcut(keys[i]);
        actions.at(i)->setShortcutContext(Qt::WidgetShortcut);
        m_table->addAction(actions.at(i));
    }
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_menu->popup(m_table->viewport()->mapToGlobal(at)); });
    // Shift+F10 opens it as the Menu key does, at the selected row.
    auto *menuKey = new QAction(m_table);
    menuKey->setObjectName(QStringLiteral("actMenuKey"));
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    connect(menuKey, &QAction::triggered, this, [this] {
        const QRect row = m_table->visualRect(m_table->currentIndex());
        m_menu->popup(m_table->viewport()->mapToGlobal(row.isValid() ? row.center() : QPoint()));
    });
    m_table->addAction(menuKey);
    connect(m_actions, &MediumActions::verifyWindowOpened, this, &MediaWindow::verifyWindowOpened);
    connect(m_actions, &MediumActions::catalogueChanged, this, [this] {
        fill();
        Q_EMIT catalogueChanged();
    });
}

void MediaWindow::fill()
{
    const QString selected = selectedSource();
    m_filling = true;
    TotalsBySource sources = mediaTotals(m_catalogue.rows());
    for (const MediaRecord &record : m_media.media().records())
        sources.try_emplace(record.source);
    m_table->setRowCount(int(sources.size()));
    int row = 0;
    for (const auto &[source, totals] : sources) {
        const MediumState *state = m_media.states().state(source);
        const QStringList texts = rowTexts(source, m_media.media().find(source), state, totals);
        for (int column = 0; column < texts.size(); ++column) {
            auto *item = new QTableWidgetItem(texts.at(column));
            if (m_viewOnly || (column != NoteColumn && !isReadingColumn(column)))
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (column == FilesColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (state && !state->online && !state->unknown)
                item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
            m_table->setItem(row, column, item);
        }
        if (source == selected)
            m_table->selectRow(row);
        ++row;
    }
    for (int column = 0; column < NoteColumn; ++column)
        m_table->resizeColumnToContents(column);
    if (selectedSource().isEmpty() && m_table->rowCount() > 0)
        m_table->selectRow(0); // Rescan acts on a medium from the start
    m_filling = false;
    selectionChanged();
}

QString MediaWindow::selectedSource() const
{
    const QList<QTableWidgetItem *> items = m_table->selectedItems();
    return items.isEmpty() ? QString() : m_table->item(items.first()->row(), SourceColumn)->text();
}

void MediaWindow::selectionChanged()
{
    m_rescanButton->setEnabled(!m_viewOnly && !selectedSource().isEmpty() && !m_rescan->isRunning());
    m_statisticsButton->setEnabled(!selectedSource().isEmpty());
    m_verifyButton->setEnabled(m_rescanButton->isEnabled());
}

void MediaWindow::itemEdited(QTableWidgetItem *item)
{
    if (m_filling || m_viewOnly || (item->column() != NoteColumn && !isReadingColumn(item->column())))
        return;
    const QString source = m_table->item(item->row(), SourceColumn)->text();
    if (isReadingColumn(item->column())) {
        // Asked once the list has closed, not while the cell commits.
        QTimer::singleShot(0, this, [this, source, column = Column(item->column()), name = item->text()] {
            readingChosen(source, column, name);
        });
        return;
    }
    if (const QString failure = m_media.setNote(source, item->text()); !failure.isEmpty())
        m_prompter.message(failure, Prompter::Icon::Critical);
}

void MediaWindow::readingChosen(const QString &source, Column column, const QString &name)
{
    const bool codepage = column == CodePageColumn;
    const QString before = codepage ? m_media.codepage(source) : m_media.tags(source);
    const bool known = codepage ? CodePage::isKnown(name) : TagPreferences::isKnown(name);
    const MediumState *state = m_media.states().state(source);
    if (name == before || !known || m_preview || m_rescan->isRunning()) {
        fill();
        return;
    }
    const QString what = codepage ? QStringLiteral("code page") : QStringLiteral("tag choice");
    if (!state || !state->online) {
        m_prompter.message(state ? QStringLiteral("%1 is offline: mount it, then choose its %2; it was not "
                                                  "changed.").arg(source, what)
                                 : QStringLiteral("Where %1 is now is not known: rescan it first, then choose its "
                                                  "%2; it was not changed.").arg(source, what),
                           Prompter::Icon::Warning);
        fill();
        return;
    }
    const QString root = state->currentRoot;
    // The medium as it reads now (a name not known reads as the default)
    // and as it would read with the name chosen.
    TagReading now;
    if (CodePage::isKnown(m_media.codepage(source)))
        now.codepage = m_media.codepage(source);
    now.prefer = TagPreferences::fromName(m_media.tags(source));
    TagReading chosen = now;
    if (codepage)
        chosen.codepage = name;
    else
        chosen.prefer = TagPreferences::fromName(name);
    const QString shown = codepage ? now.codepage : TagPreferences::nameOf(now.prefer);
    // A few hundred tags at most: quick enough to need no Stop.
    m_preview = LongWork::start(
        this, QStringLiteral("Reading titles of %1...").arg(source),
        [root, now, chosen](WorkProgress &) { return titleSamples(root, now, chosen); },
        [this, source, column, codepage, shown, name](QList<TitleSample> samples) {
            previewRead(source, column, name, previewQuestion(source, codepage, shown, name, samples));
        });
}

void MediaWindow::previewRead(const QString &source, Column column, const QString &name, const QString &text)
{
    m_preview.clear();
    if (m_prompter.message(text, Prompter::Icon::None, Prompter::Buttons::YesNo) != Prompter::Answer::Yes) {
        fill();
        return;
    }
    const QString failure = column == CodePageColumn ? m_media.setCodepage(source, name) : m_media.setTags(source, name);
    if (!failure.isEmpty()) {
        m_prompter.message(failure, Prompter::Icon::Critical);
        fill();
        return;
    }
    fill();
    m_rescanButton->setEnabled(false);
    m_reading = (column == CodePageColumn ? QStringLiteral("Code page %1") : QStringLiteral("Tag choice %1")).arg(name);
    m_readingSource = source;
    m_rescan->start(source);
}

void MediaWindow::setViewOnly()
{
    m_viewOnly = true;
    m_rescanButton->hide();
    m_verifyButton->hide();
    // Nor renamed, relocated or removed: neither by keys nor by the menu.
    m_table->setContextMenuPolicy(Qt::NoContextMenu);
    for (QAction *action : m_table->actions())
        action->setEnabled(false);
    fill();
}

void MediaWindow::rescanSelected()
{
    const QString source = selectedSource();
    if (source.isEmpty() || m_viewOnly)
        return;
    const MediumState *state = m_media.states().state(source);
    QString root;
    if (!state) {
        // A medium the register does not know: where it was scanned from is
        // not known, so the user shows it.
        root = m_prompter.chooseFolder(QStringLiteral("Choose the folder of %1").arg(source));
        if (root.isEmpty())
            return;
    }
    m_rescanButton->setEnabled(false);
    m_rescan->start(source, root);
}
