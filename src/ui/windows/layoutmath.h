#pragma once

// The arithmetic of the main window's layout pass, in twips and single precision.

// The font factor to try first for a window W twips wide.
inline float startFactor(float W) {
    return float(int(W / 2000) + 1);
}

// The next, smaller factor: one step less, and 0.4 after 1, which is the last.
inline constexpr float SmallestFactor = 0.4f;
inline float smallerFactor(float k) {
    return k - 1 == 0 ? SmallestFactor : k - 1;
}

// Top of choice i (1 to 5) of n, each h high, in a window H high: the band from 30 % to 90 %
// of the height less the n labels is cut into n + 2 equal gaps; choice i sits i gaps and
// i - 1 labels below the top of the band.
inline float choiceTop(float H, float h, float n, int i) {
    return 3 * H / 10 + (3 * H / 5 - h * n) * i / (n + 2) + h * (i - 1);
}
