#pragma once

// The figures the statistics window shows, read from vokarin.db.

#include <QDate>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

class QSqlDatabase;
class QSqlQuery;

// What the statistics window shows, read from the history database; beside SqliteHistory,
// which writes it, so that one place knows the file's tables. Days are the learner's
// days: they begin at midnight in the given time zone.
class StatisticsData final {
public:
    StatisticsData(QSqlDatabase& db, const QTimeZone& zone);

    struct Day final {
        QDate date;
        qint32 seconds = 0; // practice: the runs begun that day
        qint32 answers = 0; // every answer
        qint32 reviews = 0; // the first answer of each word
        qint32 right = 0;   // of those, right at once
    };
    // One entry for each of the days from first to last. Answers may be limited to a direction
    // ("en-zh", "zh-en") and a mode ("choice", "typing", "listening"); empty means all. Read
    // from the figures kept as answers are written: the time it takes does not grow with them.
    QList<Day> days(QDate first, QDate last, const QString& direction = {},
                    const QString& mode = {}) const;
    // The first day with an answer or a run, if any.
    std::optional<QDate> firstDay() const;

    struct States final {
        qint32 fresh = 0;    // reviewed once
        qint32 learning = 0; // reviewed more often, remembered for less than three weeks
        qint32 known = 0;    // remembered for three weeks or more
    };
    States states() const;

    // Words falling due on each of the days from first on (count entries); those overdue
    // before first count on first.
    QList<qint32> dueForecast(QDate first, int count) const;

    struct HardWord final {
        QString english;
        QString chinese;
        qint32 forgotten = 0; // reviews that were Again
        qint32 reviews = 0;   // first answers of a day
        qint32 right = 0;     // of those, right at once
    };
    // Most often forgotten first, then lowest accuracy of the first answers of each day.
    QList<HardWord> hardestWords(int count) const;

    // Every answer as CSV (RFC 4180, UTF-8 with a byte-order mark so that spreadsheets read
    // the Chinese), times in the learner's zone.
    QByteArray answersCsv() const;

    // Why a query above failed (SQLite's words), empty while none has: its figures are then
    // missing, not zero.
    const QString& failure() const { return failure_; }

private:
    bool ran(const QSqlQuery& query, bool ok) const;
    qint64 startOf(QDate date) const;

    QSqlDatabase& db_;
    QTimeZone zone_;
    mutable QString failure_;
};
