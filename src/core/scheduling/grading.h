#pragma once

#include "scheduling/fsrs.h"

#include <QtGlobal>

// How a question was answered.
enum class AnswerMode { Choice, Typing, Listening };

// The learner never grades himself: the grade of a day's first answer to a word follows from
// how it went.
struct AnswerFacts final {
    bool correct = false;
    bool revealed = false; // the answer was shown (帮助) before the right one was given
    qint64 responseMs = 0; // from the question shown to the answer
    AnswerMode mode = AnswerMode::Choice;
};

// Recognising the meaning among a few choices, or the word heard, says the word is known, not
// that it is known well: a quick click may be a guess. Only recall (typing) earns Easy.
inline constexpr qint64 QuickRecallMs = 5000; // typed within this: Easy
inline constexpr qint64 SlowRecallMs = 20000; // typed after more than this: Hard

inline fsrs::Grade gradeFor(const AnswerFacts& answer) {
    if (!answer.correct || answer.revealed)
        return fsrs::Grade::Again;
    if (answer.mode != AnswerMode::Typing)
        return fsrs::Grade::Good;
    if (answer.responseMs > SlowRecallMs)
        return fsrs::Grade::Hard;
    return answer.responseMs <= QuickRecallMs ? fsrs::Grade::Easy : fsrs::Grade::Good;
}
