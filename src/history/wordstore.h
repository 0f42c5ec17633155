#pragma once

// The word store: each word's row (its memory and the statistics' figures) and the days'
// figures, brought up to date by a live answer, a merge, a recount and a migration alike. A
// day's first answer to a word is its review, on the learner's day (midnight in the zone).

#include "records.h"
#include "scheduling/fsrs.h"
#include "scheduling/wordmemory.h"

#include <QTimeZone>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace historyfile {

// A word's row as its answers make it (scheduling/wordmemory.h).
using Figures = WordFigures;
using WordState = WordMemory;

// Answers and reviews counted per learner's day, direction and mode.
struct DayCount final {
    qint64 answers = 0, reviews = 0, right = 0;
};

using DayCounts = std::map<std::tuple<qint64, QString, QString>, DayCount>;

// The statements that read and write a word, prepared once for many words.
struct WordQueries final {
    explicit WordQueries(QSqlDatabase& db)
        : load(db)
        , store(db)
        , answers(db) {
        load.prepare(QStringLiteral(
            "SELECT state, stability, difficulty, due, reps, lapses, last_review, learning_steps,"
            " reviews, reviews_right, forgotten, last_day, last_answer FROM words"
            " WHERE english = ? AND chinese = ?"));
        store.prepare(QStringLiteral(
            "INSERT INTO words(english, chinese, state, stability, difficulty, due, reps, lapses,"
            " last_review, learning_steps, reviews, reviews_right, forgotten, last_day,"
            " last_answer) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
            " ON CONFLICT(english, chinese) DO"
            " UPDATE SET state = excluded.state, stability = excluded.stability,"
            " difficulty = excluded.difficulty, due = excluded.due, reps = excluded.reps,"
            " lapses = excluded.lapses, last_review = excluded.last_review,"
            " learning_steps = excluded.learning_steps, reviews = excluded.reviews,"
            " reviews_right = excluded.reviews_right, forgotten = excluded.forgotten,"
            " last_day = excluded.last_day, last_answer = excluded.last_answer"));
        answers.setForwardOnly(true);
        answers.prepare(QStringLiteral(
            "SELECT answered_at, mode, correct, revealed, response_ms, device FROM answers"
            " WHERE english = ? AND chinese = ? ORDER BY answered_at, device"));
    }
    QSqlQuery load, store, answers;
};

// Adds the counts to the days' rows, making rows where there are none; the days in skip are
// left alone.
QSqlError addToDays(QSqlDatabase& db, const DayCounts& counts, const std::set<qint64>& skip = {});
// Works out the statistics' figures from every answer a file of an earlier version holds, once.
QSqlError fillFigures(QSqlDatabase& db, const QTimeZone& zone);
std::optional<WordState> loadWord(WordQueries& q, const QString& english, const QString& chinese,
                                  QSqlError& error);
QSqlError storeWord(WordQueries& q, const QString& english, const QString& chinese,
                    const WordState& word);
// The word worked out from all its answers, in order.
QSqlError replayWord(WordQueries& q, const QString& english, const QString& chinese,
                     const QTimeZone& zone);
// The days' rows worked out again from their answers.
QSqlError recountDays(QSqlDatabase& db, const std::set<qint64>& days, const QTimeZone& zone);
// The answer logged, and the word's memory and the day's figures brought up to it.
QSqlError writeAnswer(QSqlDatabase& db, const AnswerRecord& answer, const QString& device,
                      const QTimeZone& zone);

} // namespace historyfile
