#include "export/widgets/interchangeexport.h"

#include "export/widgets/exportwork.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/entrycopies.h"
#include "base/platform/prompter.h"
#include "catalogue/shownrowsmodel.h"

#include <QDir>
#include <QFutureWatcher>
#include <QFileInfo>
#include <optional>

namespace InterchangeExport {

namespace {

// The save dialog's filter of each kind.
QString filterOf(ExportFlow::Kind kind)
{
    switch (kind) {
    case ExportFlow::Kind::Xspf: return QStringLiteral("XSPF playlist (*.xspf)");
    case ExportFlow::Kind::Csv: return QStringLiteral("CSV spreadsheet (*.csv)");
    case ExportFlow::Kind::Jsonl: return QStringLiteral("JSON Lines (*.jsonl)");
    default: return QStringLiteral("Playlist (*.m3u8)");
    }
}

enum class Which { Catalogue, Shown, Marked };

// Which entries: the answer, or nothing when the user cancelled. Asked
// only when the filter or the mark bin offers something else.

std::optional<Which> whichEntries(Prompter &prompter, const Offered &offered)
{
    if (!offered.shown.isFiltered() && offered.markBin.rowCount() == 0)
        return Which::Catalogue;
    Prompter::Choice choice;
    choice.text = QStringLiteral("Export which entries: the whole catalogue (%1), the rows shown by the filter (%2) or "
                                 "the mark bin (%3)?")
                      .arg(offered.catalogue.rowCount())
                      .arg(offered.shown.shownCount())
                      .arg(offered.markBin.rowCount());
    choice.captions = {QStringLiteral("Whole &Catalogue"), QStringLiteral("Rows &Shown"), QStringLiteral("&Mark Bin")};
    const int chosen = prompter.choose(choice);
    if (chosen == Prompter::Cancelled)
        return std::nullopt;
    return Which(chosen);
}

// The file to write, the kind's extension added to a name without one;
// empty when the user cancelled or would not replace an existing file.
QString chosenTarget(Prompter &prompter, ExportFlow::Kind kind, const QString &caption)
{
    const ExportFlow::KindSpec &spec = ExportFlow::spec(kind);
    QString target = prompter.saveFileName(QString(caption).remove(QStringLiteral("...")).remove(QLatin1Char('&')), filterOf(kind),
                                           ExportFlow::targetIn(kind, ExportFlow::defaultFolder(kind)));
    if (target.isEmpty())
        return {};
    if (QFileInfo(target).suffix().isEmpty())
        target += QLatin1Char('.') + QFileInfo(spec.fileName).suffix();
    if (QFileInfo(target).exists()
        && prompter.message(QStringLiteral("%1 already exists. Replace it?").arg(QDir::toNativeSeparators(target)),
                            Prompter::Icon::Warning, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return {};
    return target;
}

} // namespace

const std::vector<MenuEntry> &menuEntries()
{
    static const std::vector<MenuEntry> entries{
        {"mnuFilesExportM3u8", QStringLiteral("&Playlist (m3u8)..."), ExportFlow::Kind::M3u8},
        {"mnuFilesExportXspf", QStringLiteral("Playlist (&XSPF)..."), ExportFlow::Kind::Xspf},
        {"mnuFilesExportCsv", QStringLiteral("&Spreadsheet (CSV)..."), ExportFlow::Kind::Csv},
        {"mnuFilesExportJsonl", QStringLiteral("&JSON Lines..."), ExportFlow::Kind::Jsonl},
    };
    return entries;
}

void start(QWidget *window, QPointer<QFutureWatcherBase> &work, Prompter &prompter, ExportFlow::Kind kind,
           const Offered &offered)
{
    if (work)
        return;
    const std::optional<Which> which = whichEntries(prompter, offered);
    if (!which)
        return;
    QString caption;
    for (const MenuEntry &entry : menuEntries()) {
        if (entry.kind == kind)
            caption = entry.caption;
    }
    const QString target = chosenTarget(prompter, kind, caption);
    if (target.isEmpty())
        return;
    const bool marked = *which == Which::Marked;
    const RowStore &rows = marked ? offered.markBin.rows() : offered.catalogue.rows();
    std::vector<qsizetype> shown;
    const bool someShown = *which == Which::Shown && offered.shown.isFiltered();
    if (someShown) {
        shown.reserve(size_t(offered.shown.shownCount()));
        for (qsizetype i = 0; i < offered.shown.shownCount(); ++i)
            shown.push_back(offered.shown.catalogueRow(int(i)));
    }
    const RowStore *catalogue = &offered.catalogue.rows();
    auto write = [kind, &rows, catalogue, marked, target, someShown,
                  shown = std::move(shown)](const ExportFlow::Hooks &hooks) {
        if (marked) {
            // The bin's copies lack the header: each goes out as its catalogue entry has it.
            const RowStore filled = EntryCopies::withCatalogueFacts(rows, *catalogue);
            return ExportFlow::writeInterchange(kind, streamOf(filled, hooks.progress), target, {}, hooks);
        }
        const EntryStream source =
            someShown ? streamOf(rows, shown, hooks.progress) : streamOf(rows, hooks.progress);
        return ExportFlow::writeInterchange(kind, source, target, {}, hooks);
    };
    startExport(window, work, prompter,
                {kind, rows, target, QStringLiteral("Exporting..."), StopOffer::Offered, {}, std::move(write)});
}

} // namespace InterchangeExport
