// The statistics window's figures, read from the kept per-word and per-day rows.

#include "statisticsdata.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace {

constexpr double KnownAfterDays = 21;

QByteArray csvField(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r'))
        bytes = '"' + bytes.replace("\"", "\"\"") + '"';
    return bytes;
}

} // namespace

bool StatisticsData::ran(const QSqlQuery& query, bool ok) const {
    if (!ok && failure_.isEmpty())
        failure_ = query.lastError().text();
    return ok;
}

StatisticsData::StatisticsData(QSqlDatabase& db, const QTimeZone& zone)
    : db_(db)
    , zone_(zone) {}

qint64 StatisticsData::startOf(QDate date) const {
    return QDateTime(date, QTime(0, 0), zone_).toMSecsSinceEpoch();
}

QList<StatisticsData::Day> StatisticsData::days(QDate first, QDate last, const QString& direction,
                                                const QString& mode) const {
    QList<Day> out;
    for (QDate d = first; d <= last; d = d.addDays(1))
        out.append({d});
    if (out.isEmpty())
        return out;
    QSqlQuery answers(db_);
    answers.prepare(QStringLiteral(
        "SELECT day, sum(answers), sum(reviews), sum(reviews_right) FROM days"
        " WHERE day >= ? AND day <= ?"
        " AND (coalesce(?, '') = '' OR direction = ?) AND (coalesce(?, '') = '' OR mode = ?)"
        " GROUP BY day"));
    for (const QVariant& v :
         {QVariant(first.toJulianDay()), QVariant(last.toJulianDay()), QVariant(direction),
          QVariant(direction), QVariant(mode), QVariant(mode)})
        answers.addBindValue(v);
    if (ran(answers, answers.exec()))
        while (answers.next()) {
            const qint64 i = answers.value(0).toLongLong() - first.toJulianDay();
            if (i >= 0 && i < out.size()) {
                out[i].answers = answers.value(1).toInt();
                out[i].reviews = answers.value(2).toInt();
                out[i].right = answers.value(3).toInt();
            }
        }

    QSqlQuery sessions(db_);
    sessions.prepare(QStringLiteral(
        "SELECT started_at, seconds FROM sessions WHERE started_at >= ? AND started_at < ?"));
    sessions.addBindValue(startOf(first));
    sessions.addBindValue(startOf(last.addDays(1)));
    if (ran(sessions, sessions.exec()))
        while (sessions.next()) {
            const qint64 i = first.daysTo(
                QDateTime::fromMSecsSinceEpoch(sessions.value(0).toLongLong(), zone_).date());
            if (i >= 0 && i < out.size())
                // The file is anyone's to edit: no run is longer than its day.
                out[i].seconds +=
                    qint32(std::clamp<qint64>(sessions.value(1).toLongLong(), 0, 24 * 3600));
        }
    return out;
}

std::optional<QDate> StatisticsData::firstDay() const {
    std::optional<QDate> first;
    QSqlQuery query(db_);
    if (ran(query, query.exec(QStringLiteral("SELECT min(day) FROM days"))) && query.next() &&
        !query.value(0).isNull())
        first = QDate::fromJulianDay(query.value(0).toLongLong());
    if (ran(query, query.exec(QStringLiteral("SELECT min(started_at) FROM sessions"))) &&
        query.next() && !query.value(0).isNull()) {
        const QDate started =
            QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), zone_).date();
        if (!first || started < *first)
            first = started;
    }
    return first;
}

StatisticsData::States StatisticsData::states() const {
    States states;
    QSqlQuery query(db_);
    if (ran(query, query.exec(QStringLiteral("SELECT reps, stability FROM words"))))
        while (query.next()) {
            if (query.value(0).toInt() <= 1)
                ++states.fresh;
            else if (query.value(1).toDouble() < KnownAfterDays)
                ++states.learning;
            else
                ++states.known;
        }
    return states;
}

QList<qint32> StatisticsData::dueForecast(QDate first, int count) const {
    QList<qint32> out(qMax(0, count), 0);
    if (out.isEmpty())
        return out;
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("SELECT due FROM words WHERE due < ?"));
    query.addBindValue(startOf(first.addDays(count)));
    if (ran(query, query.exec()))
        while (query.next()) {
            const qint64 i = first.daysTo(
                QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), zone_).date());
            ++out[std::clamp<qint64>(i, 0, count - 1)];
        }
    return out;
}

QList<StatisticsData::HardWord> StatisticsData::hardestWords(int count) const {
    QList<HardWord> words;
    QSqlQuery query(db_);
    query.prepare(QStringLiteral(
        "SELECT english, chinese, forgotten, reviews, reviews_right FROM words WHERE reviews > 0"
        " ORDER BY forgotten DESC, CAST(reviews_right AS REAL) / reviews, english LIMIT ?"));
    query.addBindValue(count);
    if (ran(query, query.exec()))
        while (query.next())
            words.append({query.value(0).toString(), query.value(1).toString(),
                          query.value(2).toInt(), query.value(3).toInt(), query.value(4).toInt()});
    return words;
}

QByteArray StatisticsData::answersCsv() const {
    QByteArray csv = "\xEF\xBB\xBF"
                     "answered_at,lesson,english,chinese,direction,mode,correct,response_ms\r\n";
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (ran(query, query.exec(QStringLiteral(
                       "SELECT answered_at, lesson, english, chinese, direction, mode,"
                       " correct, response_ms FROM answers ORDER BY answered_at"))))
        while (query.next()) {
            csv += QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), zone_)
                       .toString(Qt::ISODateWithMs)
                       .toUtf8();
            for (int column = 1; column < 8; ++column)
                csv += ',' + csvField(query.value(column).toString());
            csv += "\r\n";
        }
    return csv;
}
