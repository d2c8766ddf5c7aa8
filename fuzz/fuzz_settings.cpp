// The settings reader and the migration of the older settings file. What
// the reader keeps must survive a save and a second read.
#include "fuzzcheck.h"
#include "base/settingsfile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    Settings settings = Settings::defaults();
    (void)SettingsFile::apply(bytes, settings);
    for (float w : settings.widths)
        FUZZ_CHECK(std::isfinite(w) && w >= 0);

    Settings again = Settings::defaults();
    FUZZ_CHECK(SettingsFile::apply(SettingsFile::serialize(settings), again));
    FUZZ_CHECK(SettingsFile::serialize(again) == SettingsFile::serialize(settings));

    Settings migrated = Settings::defaults();
    SettingsFile::applyOld(bytes, migrated);
    Settings migratedAgain = Settings::defaults();
    FUZZ_CHECK(SettingsFile::apply(SettingsFile::serialize(migrated), migratedAgain));
    return 0;
}
