#include "base/twips.h"

#include <cmath>

namespace {
constexpr double TwipsPerInch = 1440.0;
}

int twipsToPixels(double twips, double dpi)
{
    return int(std::lround(twips * dpi / TwipsPerInch));
}

int twipsToPixelsAtMost(double twips, double dpi, int most)
{
    const double wanted = twips * dpi / TwipsPerInch;
    return std::isnan(wanted) ? 0 : wanted >= most ? most : int(std::lround(wanted));
}

double pixelsToTwips(double pixels, double dpi)
{
    if (dpi <= 0.0)
        return 0.0;
    return pixels * TwipsPerInch / dpi;
}
