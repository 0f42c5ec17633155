#pragma once

#include "scheduling/fsrs.h"
#include "scheduling/grading.h"

#include <QList>
#include <QString>
#include <QTimeZone>
#include <map>

// A word's memory as a function of its answers in time order, wherever they were given: no
// database, no thread. The history keeps what this makes of each word, and a merge of another
// computer's answers relies on it.

// What the statistics keep of a word: its reviews (each learner's day's first answer), the
// right ones, the Again ones, and the learner's day of the last (a Julian day number).
struct WordFigures final {
    qint64 reviews = 0;
    qint64 right = 0;
    qint64 forgotten = 0;
    qint64 lastDay = 0;
};

// What a word's answers have made of it: its memory, its figures, the time of its last answer.
struct WordMemory final {
    fsrs::Memory memory;
    WordFigures figures;
    qint64 lastAnswer = 0;
};

// The learner's day of a time (days begin at midnight in zone), as a Julian day number.
qint64 learnersDay(qint64 ms, const QTimeZone& zone);

// The learner's days of many times, each day's bounds worked out once: a merge asks for the
// days of hundreds of thousands of answers, and the zone's rules are slow to consult.
class LearnersDays final {
public:
    explicit LearnersDays(const QTimeZone& zone)
        : zone_(zone) {}
    qint64 of(qint64 ms);
    const QTimeZone& zone() const { return zone_; }

private:
    struct Bounds final {
        qint64 end, day;
    };
    QTimeZone zone_;
    std::map<qint64, Bounds> days_; // by the day's first moment
};

// One answer more, given no earlier than the word's last. It is the word's review when it is the
// first answer of the learner's day, or when the word is between short steps of (re)learning
// and the step has come; other answers are only logged. True when it was the day's first.
bool applyAnswer(WordMemory& word, qint64 at, const AnswerFacts& facts, const QTimeZone& zone);
// The same, the answer's learner's day given.
bool applyAnswerOn(WordMemory& word, qint64 at, qint64 day, const AnswerFacts& facts);

// One answer to a word, from a computer.
struct TimedAnswer final {
    qint64 at = 0;
    QString device;
    AnswerFacts facts;
};

// The word from all its answers, in whatever order and pieces they arrived and however often:
// in time order (by computer among answers of the same moment), each computer's answer at a
// moment counted once.
WordMemory replayAnswers(QList<TimedAnswer> answers, const QTimeZone& zone);
