#pragma once

#include <QtGlobal>

// The FSRS-6 spaced-repetition model with its published default parameters, desired retention
// 0.9, without interval fuzz and without same-day learning steps: one review a day at most,
// each giving the word its next due day. Times are milliseconds since the Unix epoch (UTC).
namespace fsrs {

enum class Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

// A word's memory. A word never reviewed has reps 0.
struct Memory final {
    double stability = 0;  // days until recall falls to 90 %
    double difficulty = 0; // 1 (easy) to 10 (hard)
    qint64 due = 0;
    qint64 lastReview = 0;
    qint32 scheduledDays = 0;
    qint32 reps = 0;
    qint32 lapses = 0;
    qint32 state = 0; // 0 new, 2 review (the numbering other FSRS tools use)
};

// The memory after a review with grade at time now.
Memory review(const Memory& before, Grade grade, qint64 now);

// The chance of recall elapsedDays after a review, for a memory of this stability.
double retrievability(double elapsedDays, double stability);

} // namespace fsrs
