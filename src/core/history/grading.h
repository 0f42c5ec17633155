#pragma once

#include "history/fsrs.h"

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

inline constexpr qint64 SlowAnswerMs = 10000; // slower than this is Hard
inline constexpr qint64 QuickChoiceMs = 2500; // a choice this quick is Easy

inline fsrs::Grade gradeFor(const AnswerFacts& answer) {
    if (!answer.correct)
        return fsrs::Grade::Again;
    if (answer.revealed || answer.responseMs > SlowAnswerMs)
        return fsrs::Grade::Hard;
    if (answer.mode == AnswerMode::Choice && answer.responseMs < QuickChoiceMs)
        return fsrs::Grade::Easy;
    return fsrs::Grade::Good;
}
