#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace TestEnv {

namespace {
QTemporaryDir *&folder()
{
    static QTemporaryDir *dir = nullptr;
    return dir;
}
} // namespace

QString isolate()
{
    if (!folder()) {
        folder() = new QTemporaryDir;
        std::atexit([] { delete folder(); });
    }
    const QString root = folder()->path();
    const auto set = [&](const char *name, const QString &sub) {
        const QString path = root + sub;
        QDir().mkpath(path);
        qputenv(name, QFile::encodeName(path));
    };
    set("HOME", QString());
    set("XDG_CONFIG_HOME", QStringLiteral("/.config"));
    set("XDG_DATA_HOME", QStringLiteral("/.local/share"));
    set("XDG_CACHE_HOME", QStringLiteral("/.cache"));
    set("XDG_STATE_HOME", QStringLiteral("/.local/state"));
    set("XDG_RUNTIME_DIR", QStringLiteral("/runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return root;
}

QString home()
{
    return folder() ? folder()->path() : QString();
}

} // namespace TestEnv
