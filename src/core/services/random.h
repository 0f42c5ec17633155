#pragma once

#include <QtGlobal>

// The one pseudo-random generator of the drill.
class Random {
public:
    virtual ~Random() = default;
    // Uniform in [0, 1).
    virtual double next() = 0;
    // Starts a fresh sequence seeded from the clock.
    virtual void reseed() = 0;

    // 1..n, as Int(r * n + 1).
    int upTo(int n) { return int(next() * n) + 1; }
};
