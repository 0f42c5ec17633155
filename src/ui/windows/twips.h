#pragma once

#include <QtGlobal>
#include <cmath>

// Window geometry is reckoned in twips; the screen takes pixels. 15 twips make one pixel.
inline constexpr double TwipsPerPixel = 15.0;

inline float toTwips(int pixels) {
    return float(pixels * TwipsPerPixel);
}

inline int toPixels(double twips) {
    if (!std::isfinite(twips))
        return 0;
    return int(std::lround(qBound(-1.0e7, twips, 1.0e7) / TwipsPerPixel));
}
