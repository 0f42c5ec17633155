#pragma once

#include <QtGlobal>

// The FSRS-6 spaced-repetition model with its published default parameters, desired retention
// 0.9, with FSRS's interval fuzz (words learnt together come due spread over neighbouring days,
// the same on every computer), with short-term scheduling: a new word steps through 1 and 10
// minutes, a forgotten one through 10 minutes, before it is given days again, and reviews on
// the day of the last one change its memory as FSRS-6's short-term formula has it. Times are
// milliseconds since the Unix epoch (UTC).
namespace fsrs {

enum class Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

// The times a memory holds: from 2000-01-01 to 2100-01-01 (UTC). A time outside them can only
// come from a damaged or hostile file; it is brought within them, never overflowed.
inline constexpr qint64 EarliestTime = 946684800000;
inline constexpr qint64 LatestTime = 4102444800000;

// A word's memory. A word never reviewed has reps 0.
struct Memory final {
    double stability = 0;  // days until recall falls to 90 %
    double difficulty = 0; // 1 (easy) to 10 (hard)
    qint64 due = 0;
    qint64 lastReview = 0;
    qint32 scheduledDays = 0;
    qint32 reps = 0;
    qint32 lapses = 0;
    qint32 state = 0;         // State, as a number (the numbering other FSRS tools use)
    qint32 learningSteps = 0; // the step of (re)learning reached
};

enum class State { New = 0, Learning = 1, Review = 2, Relearning = 3 };

// Whether the word is between short steps, due again within the day.
inline bool isLearning(const Memory& memory) {
    return memory.state == int(State::Learning) || memory.state == int(State::Relearning);
}

// The memory after a review with grade at time now. Its due time, and now as its last review,
// are within EarliestTime and LatestTime.
Memory review(const Memory& before, Grade grade, qint64 now);

// The chance of recall elapsedDays after a review, for a memory of this stability.
double retrievability(double elapsedDays, double stability);

} // namespace fsrs
