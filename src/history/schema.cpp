// The history file's schema, version by version, and the migration (see schema.h).

#include "schema.h"

#include "wordstore.h"

#include <QSqlQuery>
#include <initializer_list>

namespace historyfile {

namespace {

// Each step takes the file from the version before it to its own: its statements, then what
// it must work out from what the file holds.
struct Step final {
    int version;
    std::initializer_list<const char*> statements;
    QSqlError (*fill)(QSqlDatabase&, const QTimeZone&) = nullptr;
};

const Step Steps[] = {
    {1,
     {
         "CREATE TABLE answers ("
         " answered_at INTEGER NOT NULL, lesson TEXT NOT NULL, english TEXT NOT NULL,"
         " chinese TEXT NOT NULL, direction TEXT NOT NULL, mode TEXT NOT NULL,"
         " correct INTEGER NOT NULL, response_ms INTEGER NOT NULL)",
         // Both cover what the statistics read: answers per day, and per word.
         "CREATE INDEX answers_by_time ON answers(answered_at, direction, mode, correct)",
         "CREATE INDEX answers_by_word ON answers(english, chinese, correct)",
         "CREATE TABLE words ("
         " english TEXT NOT NULL, chinese TEXT NOT NULL, state INTEGER NOT NULL,"
         " stability REAL NOT NULL, difficulty REAL NOT NULL, due INTEGER NOT NULL,"
         " reps INTEGER NOT NULL, lapses INTEGER NOT NULL, last_review INTEGER NOT NULL,"
         " UNIQUE(english, chinese))",
         "CREATE INDEX words_by_due ON words(due)",
         "CREATE TABLE sessions ("
         " started_at INTEGER NOT NULL, ended_at INTEGER NOT NULL, minutes INTEGER NOT NULL,"
         " lesson_files TEXT NOT NULL)",
     }},
    {2,
     {
         // The notebook compares words only: the first meaning collected stays.
         "CREATE TABLE notebook ("
         " english TEXT NOT NULL UNIQUE, chinese TEXT NOT NULL, added_at INTEGER NOT NULL)",
     }},
    {3,
     {
         // Words between the short steps of (re)learning (state 1 or 3) are due within the day.
         "ALTER TABLE words ADD COLUMN learning_steps INTEGER NOT NULL DEFAULT 0",
     }},
    {4,
     {
         // What the statistics show, kept up to date as answers are written: per word its
         // reviews (first answers of a day), the right ones and the Again ones, and the learner's
         // day of the last; per day, direction and mode the answers and the first answers.
         "ALTER TABLE words ADD COLUMN reviews INTEGER NOT NULL DEFAULT 0",
         "ALTER TABLE words ADD COLUMN reviews_right INTEGER NOT NULL DEFAULT 0",
         "ALTER TABLE words ADD COLUMN forgotten INTEGER NOT NULL DEFAULT 0",
         "ALTER TABLE words ADD COLUMN last_day INTEGER NOT NULL DEFAULT 0",
         // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one statement on three lines
         "CREATE TABLE days ("
         " day INTEGER NOT NULL, direction TEXT NOT NULL, mode TEXT NOT NULL,"
         " answers INTEGER NOT NULL, reviews INTEGER NOT NULL, reviews_right INTEGER NOT NULL,"
         " PRIMARY KEY(day, direction, mode)) WITHOUT ROWID",
         "ALTER TABLE sessions ADD COLUMN seconds INTEGER NOT NULL DEFAULT 0",
         "UPDATE sessions SET seconds = max(0, (ended_at - started_at) / 1000)",
     },
     fillFigures},
    {5,
     {
         // Answers and runs from every computer that studies in a shared data folder, each
         // known by its computer and its time, so that a record read twice counts once. The
         // answers of a history from before are this computer's ('' until it names itself).
         "ALTER TABLE answers ADD COLUMN device TEXT NOT NULL DEFAULT ''",
         "ALTER TABLE answers ADD COLUMN revealed INTEGER NOT NULL DEFAULT 0",
         "DELETE FROM answers WHERE rowid NOT IN (SELECT min(rowid) FROM answers"
         " GROUP BY answered_at, english, chinese)",
         "CREATE UNIQUE INDEX answers_once ON answers(device, answered_at, english, chinese)",
         // A word's answers in time order, for working it out again.
         "DROP INDEX IF EXISTS answers_by_word",
         "CREATE INDEX answers_by_word ON answers(english, chinese, answered_at, device)",
         "ALTER TABLE sessions ADD COLUMN device TEXT NOT NULL DEFAULT ''",
         "DELETE FROM sessions WHERE rowid NOT IN (SELECT min(rowid) FROM sessions"
         " GROUP BY started_at)",
         "CREATE UNIQUE INDEX sessions_once ON sessions(device, started_at)",
         // The time of a word's last answer: one from another computer that is older makes the
         // word's memory be worked out again from all its answers in order.
         "ALTER TABLE words ADD COLUMN last_answer INTEGER NOT NULL DEFAULT 0",
         "UPDATE words SET last_answer = coalesce((SELECT max(answered_at) FROM answers a"
         " WHERE a.english = words.english AND a.chinese = words.chinese), 0)",
         // How far each computer's log has been read.
         "CREATE TABLE logs (name TEXT PRIMARY KEY, device TEXT NOT NULL,"
         " size INTEGER NOT NULL, read_to INTEGER NOT NULL) WITHOUT ROWID",
     }},
    {6,
     {
         // When each word was last put into the notebook and last taken out of it, on any
         // computer: a copy of the notebook brings back only words put in after they were
         // taken out.
         "CREATE TABLE notebook_events (english TEXT PRIMARY KEY,"
         " added_at INTEGER NOT NULL DEFAULT 0, taken_at INTEGER NOT NULL DEFAULT 0)"
         " WITHOUT ROWID",
     }},
    {7,
     {
         // Words whose answers from another computer are in, waiting to be worked out: the time
         // of the earliest such answer and the row of the first (the days have not counted the
         // reviews of the rows from there on).
         "CREATE TABLE words_waiting (english TEXT NOT NULL, chinese TEXT NOT NULL,"
         " from_at INTEGER NOT NULL, first_row INTEGER NOT NULL,"
         " PRIMARY KEY(english, chinese)) WITHOUT ROWID",
         // A word's answers in time order with all that working it out reads, in the index
         // itself: its answers lie together there, where in the table they lie apart.
         "DROP INDEX IF EXISTS answers_by_word",
         "CREATE INDEX answers_by_word ON answers(english, chinese, answered_at, device,"
         " direction, mode, correct, revealed, response_ms)",
     }},
};

// Every table and column the program uses, as a query that reads none of them.
const char* const Probes[] = {
    "SELECT answered_at, lesson, english, chinese, direction, mode, correct, response_ms,"
    " device, revealed FROM answers LIMIT 0",
    "SELECT english, chinese, state, stability, difficulty, due, reps, lapses, last_review,"
    " learning_steps, reviews, reviews_right, forgotten, last_day, last_answer FROM words LIMIT 0",
    "SELECT started_at, ended_at, minutes, lesson_files, seconds, device FROM sessions LIMIT 0",
    "SELECT name, device, size, read_to FROM logs LIMIT 0",
    "SELECT day, direction, mode, answers, reviews, reviews_right FROM days LIMIT 0",
    "SELECT english, chinese, added_at FROM notebook LIMIT 0",
    "SELECT english, added_at, taken_at FROM notebook_events LIMIT 0",
    "SELECT english, chinese, from_at, first_row FROM words_waiting LIMIT 0",
};

} // namespace

std::span<const char* const> probes() {
    return Probes;
}

QSqlError migrate(QSqlDatabase& db, int version, const QTimeZone& zone) {
    if (version >= SchemaVersion)
        return {};
    if (!db.transaction())
        return db.lastError();
    QSqlQuery query(db);
    for (const Step& step : Steps) {
        if (step.version <= version)
            continue;
        for (const char* statement : step.statements)
            if (!query.exec(QLatin1String(statement))) {
                QSqlError error = query.lastError();
                db.rollback();
                return error;
            }
        if (step.fill)
            if (QSqlError error = step.fill(db, zone); error.isValid()) {
                db.rollback();
                return error;
            }
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion))) {
        QSqlError error = query.lastError();
        db.rollback();
        return error;
    }
    return db.commit() ? QSqlError() : db.lastError();
}

} // namespace historyfile
