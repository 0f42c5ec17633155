#pragma once

// The benchmarks' sizes. With VOKARIN_BENCH_SMOKE set, every size is about a thousandth and
// every set of rounds is one: the test command runs each benchmark so, that none breaks
// unseen. Such a run's figures mean nothing.

#include <QtGlobal>

inline bool smokeRun() {
    return qEnvironmentVariableIsSet("VOKARIN_BENCH_SMOKE");
}

inline int sized(int n) {
    return smokeRun() ? qMax(3, n / 1000) : n;
}

inline int rounds(int n) {
    return smokeRun() ? 1 : n;
}
