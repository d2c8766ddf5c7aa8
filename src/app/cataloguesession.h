#pragma once

#include "app/startup.h"
#include "base/filestamp.h"
#include "catalogue/rowstore.h"
#include "base/settingsfile.h"

#include <QString>
#include <functional>

class CatalogueModel;
class Prompter;
struct WorkProgress;

// The catalogue as one run of the desktop program holds it: where it came
// from (the list file, or a library being viewed), whether the list file
// may be saved over, and whether the catalogue changed since it was loaded
// or last saved. The main window presents it; every question it has goes
// through the prompter.
class CatalogueSession
{
public:
    // What the start-up read found, handed from the reading core to take().
    struct Loaded
    {
        RowStore rows;
        FileStamp stamp;
        QString problem; // what to tell about a list file that was not read whole
        QString refusal; // why the list file must not be replaced, if so
    };

    // Writes the catalogue (the Save job with its progress window); sets
    // catalogueSaved when the list file was replaced, returns true when
    // everything was saved.
    using Write = std::function<bool(bool &catalogueSaved)>;

    CatalogueSession(CatalogueModel &catalogue, Prompter &prompter, QString listPath);

    // The settings of the last run. An older settings file is migrated once,
    // after telling the user, and the new one saved.
    static Settings loadSettings(Prompter &prompter);

    // Reads what the plan names: the list file, or the library given on the
    // command line. Safe on any thread; the bytes read of the list file's
    // size go to progress.
    static Loaded read(const StartupPlan &plan, const QString &listPath, WorkProgress &progress);

    // Takes the rows read into the catalogue and tells what there is to
    // tell about the read. Save is offered only in the normal mode.
    void take(const StartupPlan &plan, Loaded loaded);
    bool isLoaded() const { return m_loaded; }

    // True when the catalogue changed since it was loaded or last saved, or
    // anything saved with it did (alsoSaved).
    bool changed() const;
    // What else Save writes with the catalogue (the media register) tells
    // here whether it has unsaved changes.
    void alsoSaved(std::function<bool()> hasChanges) { m_alsoChanged = std::move(hasChanges); }

    // Save, unless the list file could not be read at start (then it says
    // so and saves nothing) or another program changed it since and the
    // user declines to replace it. True when everything was saved.
    bool save(const Write &write);

    // Asked before the program closes: a changed catalogue is saved,
    // discarded or the close cancelled, as the user answers. False when
    // the program must stay open.
    bool mayClose(const Write &write);

private:
    CatalogueModel &m_catalogue;
    Prompter &m_prompter;
    const QString m_listPath;
    StartupMode m_mode = StartupMode::Normal;
    bool m_loaded = false;
    // The list file as it was loaded or last saved. When it could not be
    // read, m_refusal says why and Save never replaces it in this run.
    FileStamp m_stamp;
    QString m_refusal;
    quint64 m_savedGeneration = 0; // the catalogue's generation then
    std::function<bool()> m_alsoChanged;
};
