#pragma once

// Window sizes are given in twips, 1440 to the inch.
// pixels = twips * dpi / 1440, rounded.
int twipsToPixels(double twips, double dpi);
double pixelsToTwips(double pixels, double dpi);
