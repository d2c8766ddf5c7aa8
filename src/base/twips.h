#pragma once

// Window sizes are given in twips, 1440 to the inch.
// pixels = twips * dpi / 1440, rounded.
int twipsToPixels(double twips, double dpi);
// The same for a size read from a file, which may be anything: at most
// most pixels (a huge number would overflow), 0 for a number that is none.
int twipsToPixelsAtMost(double twips, double dpi, int most);
double pixelsToTwips(double pixels, double dpi);
