#pragma once

#include "scheduling/fsrs.h"

#include <QByteArrayView>
#include <QtGlobal>
#include <optional>

// How a question was answered.
enum class AnswerMode { Choice, Typing, Listening };

// The mode's name, as the history and the answer logs keep it: "choice", "typing", "listening".
inline const char* answerModeName(AnswerMode mode) {
    switch (mode) {
    case AnswerMode::Typing:
        return "typing";
    case AnswerMode::Listening:
        return "listening";
    case AnswerMode::Choice:
        break;
    }
    return "choice";
}

// The mode a name (or, as the first logs wrote it, a number 0 to 2) stands for; none for
// anything else.
inline std::optional<AnswerMode> answerModeNamed(QByteArrayView name) {
    for (const AnswerMode mode : {AnswerMode::Choice, AnswerMode::Typing, AnswerMode::Listening})
        if (name == answerModeName(mode) || (name.size() == 1 && name[0] == '0' + int(mode)))
            return mode;
    return std::nullopt;
}

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
