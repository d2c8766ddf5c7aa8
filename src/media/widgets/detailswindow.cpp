#include "media/widgets/detailswindow.h"

#include "catalogue/factcolumns.h"
#include "catalogue/entrypath.h"

#include "base/platform/prompter.h"
#include "media/frameheader.h"
#include "base/platform/openfailure.h"
#include "base/platform/platform.h"
#include "catalogue/extensionline.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

namespace {

QLineEdit *field(QWidget *parent, const char *name, const QString &text, const QColor &fg, const QColor &bg)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setCursorPosition(0);
    QPalette palette = edit->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, fg);
        palette.setColor(group, QPalette::Base, bg);
    }
    edit->setPalette(palette);
    return edit;
}

// A tag field: text that can be selected and copied but looks like what
// it is, a value shown, not an edit field (no edit background, no frame,
// no focus frame).
QLineEdit *shownField(QWidget *parent, const char *name, const QString &text)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setFrame(false);
    edit->setFocusPolicy(Qt::ClickFocus);
    edit->setCursorPosition(0);
    QPalette palette = edit->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, Qt::transparent); // the frame's own background shows
    edit->setPalette(palette);
    return edit;
}

QLabel *caption(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

// A caption and the field it names, side by side in a grid row; the field
// is announced by the caption's text.
void addPair(QGridLayout *grid, int row, QLabel *label, QLineEdit *field)
{
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

// What the facts say about the stream that the header line does not: a
// file cut short or longer than its header says (its playing time is then
// that of the audio present), or else a playing time no header gives.
QString streamNote(QByteArrayView facts)
{
    const ExtensionLine::FactValues values = ExtensionLine::factValues(facts);
    if (values[ExtensionLine::Dmg] == "short")
        return QStringLiteral("Damaged: cut short, the audio ends before its header says; "
                              "the playing time is that of the audio present");
    if (values[ExtensionLine::Dmg] == "long")
        return QStringLiteral("Damaged: longer than its header says; the playing time counts all the audio");
    if (values[ExtensionLine::Est] == "1")
        return QStringLiteral("Estimated: no header gives the playing time, it is worked out from the audio");
    return {};
}

// A green play triangle on a round dark button face.
QIcon playIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(QColor(60, 60, 60));
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    QPainterPath triangle;
    triangle.moveTo(12, 8);
    triangle.lineTo(24, 16);
    triangle.lineTo(12, 24);
    triangle.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 220, 0));
    p.drawPath(triangle);
    p.end();
    return QIcon(pixmap);
}

} // namespace

Form4::Form4(const CatalogueEntry &entry, const QPixmap &cover, Platform &platform, Prompter &prompter,
             QWidget *parent, QByteArrayView extensionLine)
    : QDialog(parent)
    , m_path(EntryPath::openable(EntryPath::openPath(entry.record.filename, extensionLine)))
    , m_cover(cover)
    , m_platform(platform)
    , m_prompter(prompter)
{
    const TrackRecord &r = entry.record;
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(r.filename);

    QGroupBox *frame1 = tagsFrame(r, extensionLine);
    QGroupBox *frame2 = coverFrame();
    QGroupBox *frame3 = headerFrame(r.audioheader.trimmed(), extensionLine, parent);
    QHBoxLayout *bottom = buttonRow(entry);

    auto *top = new QHBoxLayout;
    top->addWidget(frame1, 1);
    top->addWidget(frame2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    if (!EntryPath::rawName(extensionLine).isEmpty()) {
        auto *note = new QLabel(QStringLiteral("The file name's bytes are not UTF-8: the name is shown decoded in "
                                               "the medium's code page, and the file is opened by its exact bytes."),
                                this);
        note->setObjectName(QStringLiteral("NameNote"));
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addWidget(frame3);
    if (QGroupBox *facts = factsFrame(extensionLine))
        layout->addWidget(facts);
    layout->addLayout(bottom);

    resize(sizeHint().expandedTo(QSize(560, 0)));
    showCover();
}

QGroupBox *Form4::tagsFrame(const TrackRecord &r, QByteArrayView facts)
{
    auto *frame1 = new QGroupBox(QStringLiteral(" ID3 Tag Info "), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto *tags = new QGridLayout(frame1);
    const struct { const char *label, *text, *edit; const QString &value; } rows[] = {
        {"Label2", "Artist", "Text2", r.artist}, {"Label4", "Track", "Text3", r.track},
        {"Label3", "Album", "Text4", r.album},   {"Label5", "Year", "Text5", r.year},
        {"Label6", "Genre", "Text6", r.genre},
    };
    int row = 0;
    for (const auto &f : rows) {
        addPair(tags, row, caption(frame1, f.label, QLatin1String(f.text)), shownField(frame1, f.edit, f.value));
        ++row;
    }
    // The numbers only when the tags gave them, so most entries look as before.
    const QByteArray trk = ExtensionLine::textValue(facts, "trk"), disc = ExtensionLine::textValue(facts, "disc");
    for (const auto &[label, text, edit, value] : {std::tuple{"Label7", "Track no.", "Text9", trk},
                                                   std::tuple{"Label8", "Disc no.", "Text10", disc}}) {
        if (value.isEmpty())
            continue;
        addPair(tags, row, caption(frame1, label, QLatin1String(text)), shownField(frame1, edit, QString::fromUtf8(value)));
        ++row;
    }
    tags->setColumnStretch(1, 1);
    tags->setRowStretch(row, 1);
    return frame1;
}

QGroupBox *Form4::coverFrame()
{
    auto *frame2 = new QGroupBox(QStringLiteral(" Album Cover "), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    m_coverImage = new QLabel(frame2);
    m_coverImage->setObjectName(QStringLiteral("Image1"));
    m_coverImage->setToolTip(QStringLiteral("CD/Cassette Cover Image"));
    m_coverImage->setAlignment(Qt::AlignCenter);
    m_coverImage->setFixedSize(150, 150);
    m_coverImage->setFrameShape(QFrame::StyledPanel);
    m_coverImage->setFrameShadow(QFrame::Sunken);
    auto *coverLayout = new QVBoxLayout(frame2);
    coverLayout->addWidget(m_coverImage, 0, Qt::AlignCenter);
    return frame2;
}

QGroupBox *Form4::headerFrame(const QString &header, QByteArrayView facts, QWidget *parent)
{
    const QColor black(Qt::black), green(0, 255, 0);
    auto *frame3 = new QGroupBox(QStringLiteral(" File Frame Header Info "), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto *headerLayout = new QVBoxLayout(frame3);
    auto *text7 = field(frame3, "Text7", FrameHeader::describeFrameHeader(header), green, black);
    // Wide enough for the whole line, which is rarely longer than 90 characters.
    // Never wider than the screen has room for.
    const QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() - 80 : 900;
    text7->setMinimumWidth(std::max(0, qMin(text7->fontMetrics().horizontalAdvance(text7->text()) + 24, qMin(900, room))));
    headerLayout->addWidget(text7);
    auto *text8 = field(frame3, "Text8", header, green, black);
    text8->hide();
    if (const QString text = streamNote(facts); !text.isEmpty()) {
        auto *note = caption(frame3, "StreamNote", text);
        note->setTextInteractionFlags(Qt::TextSelectableByMouse);
        note->setWordWrap(true);
        headerLayout->addWidget(note);
    }
    return frame3;
}

QGroupBox *Form4::factsFrame(QByteArrayView facts)
{
    // As the scan measured the file; a row only for a fact it holds.
    const ExtensionLine::FactValues values = ExtensionLine::factValues(facts);
    const auto column = [facts](const char *key) { return FactColumns::display(facts, FactColumns::columnOf(QLatin1String(key))); };
    QString bitrate = column("kbps");
    if (const QString mode = column("mode"); !mode.isEmpty())
        bitrate = bitrate.isEmpty() ? mode : bitrate + QLatin1Char(' ') + mode;
    const std::optional<qint64> rate = ExtensionLine::factNumber(values[ExtensionLine::Rate], ExtensionLine::Rate);
    const struct { const char *label, *text, *edit; QString value; } rows[] = {
        {"Label9", "Playing time", "Text11", column("dur")},
        {"Label10", "Bitrate", "Text12", bitrate},
        {"Label11", "Sample rate", "Text13", rate ? QStringLiteral("%1 Hz").arg(*rate) : QString()},
        {"Label12", "Encoder", "Text14", QString::fromUtf8(ExtensionLine::decodedText(values[ExtensionLine::Enc]))},
        {"Label13", "Size", "Text15", column("size")},
    };
    auto *frame = new QGroupBox(QStringLiteral(" File "), this);
    frame->setObjectName(QStringLiteral("Frame5"));
    auto *grid = new QGridLayout(frame);
    int row = 0;
    for (const auto &f : rows) {
        if (f.value.isEmpty())
            continue;
        addPair(grid, row, caption(frame, f.label, QLatin1String(f.text)), shownField(frame, f.edit, f.value));
        ++row;
    }
    grid->setColumnStretch(1, 1);
    if (row > 0)
        return frame;
    delete frame;
    return nullptr;
}

QHBoxLayout *Form4::buttonRow(const CatalogueEntry &entry)
{
    const QColor black(Qt::black), green(0, 255, 0);
    auto *command2 = new QPushButton(this);
    command2->setObjectName(QStringLiteral("Command2"));
    command2->setToolTip(QStringLiteral("Launch MP3 Player"));
    command2->setAccessibleName(QStringLiteral("Play"));
    command2->setIcon(playIcon());
    command2->setIconSize(QSize(32, 32));
    command2->setAutoDefault(false);
    command2->setEnabled(entry.origin != EntryOrigin::Library);
    auto *label1 = caption(this, "Label1", QStringLiteral("Source"));
    auto *text1 = field(this, "Text1", entry.record.source, green, black);
    label1->setBuddy(text1);
    auto *command1 = new QPushButton(QStringLiteral("&Ok"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setDefault(true);

    connect(command2, &QPushButton::clicked, this, &Form4::launchPlayer);
    connect(command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(command2);
    bottom->addSpacing(8);
    bottom->addWidget(label1);
    bottom->addWidget(text1, 1);
    bottom->addSpacing(24);
    bottom->addWidget(command1);
    return bottom;
}

void Form4::setCover(const QPixmap &cover)
{
    m_cover = cover;
    showCover();
}

void Form4::showCover()
{
    if (m_cover.isNull()) {
        m_coverImage->clear();
        m_coverImage->setText(QStringLiteral("No cover"));
        return;
    }
    m_coverImage->setPixmap(m_cover.scaled(m_coverImage->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Form4::launchPlayer()
{
    OpenFailure::openWithRetry(m_platform, m_prompter, m_path, m_offlineQuestion);
}
