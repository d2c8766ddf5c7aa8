#include "store/platform/hugepages.h"

#include <QByteArray>
#include <cstdlib>
#include <unistd.h>

namespace HugePages {

namespace {
constexpr char Tunables[] = "GLIBC_TUNABLES";
constexpr char Setting[] = "glibc.malloc.hugetlb=1";
constexpr char Before[] = "ONDRO_GLIBC_TUNABLES_BEFORE"; // what to give children
} // namespace

void restartWithThem(char **argv)
{
    if (const char *before = std::getenv(Before)) {
        // Started again: the allocator has read the setting.
        if (*before == '\0')
            ::unsetenv(Tunables);
        else
            ::setenv(Tunables, before + 1, 1); // "=" marks a value that was set
        ::unsetenv(Before);
        return;
    }
    const char *tunables = std::getenv(Tunables);
    if (tunables && QByteArray(tunables).contains("glibc.malloc.hugetlb"))
        return; // the user chose
    const QByteArray was = tunables ? QByteArray("=") + tunables : QByteArray();
    ::setenv(Before, was.constData(), 1);
    const QByteArray with = tunables && *tunables ? QByteArray(tunables) + ':' + Setting : QByteArray(Setting);
    ::setenv(Tunables, with.constData(), 1);
    ::execv("/proc/self/exe", argv);
    // Not started again: undo, and run as we are.
    ::unsetenv(Before);
    if (tunables)
        ::setenv(Tunables, was.constData() + 1, 1);
    else
        ::unsetenv(Tunables);
}

} // namespace HugePages
