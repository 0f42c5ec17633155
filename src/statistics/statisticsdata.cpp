#include "statisticsdata.h"

#include <QDateTime>
#include <QSqlDatabase>
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
    auto indexOf = [&](qint64 ms) {
        return first.daysTo(QDateTime::fromMSecsSinceEpoch(ms, zone_).date());
    };
    const qint64 from = startOf(first), to = startOf(last.addDays(1));

    // Counted by quarter hours in SQL: every zone's offset from UTC is whole quarter hours,
    // so a quarter hour always lies within one of the learner's days.
    constexpr qint64 Quarter = 15 * 60 * 1000;
    QSqlQuery answers(db_);
    answers.prepare(
        QStringLiteral(
            "SELECT answered_at / %1, count(*), sum(correct <> 0) FROM answers"
            " WHERE answered_at >= ? AND answered_at < ?"
            " AND (coalesce(?, '') = '' OR direction = ?) AND (coalesce(?, '') = '' OR mode = ?)"
            " GROUP BY 1")
            .arg(Quarter));
    for (const QVariant& v : {QVariant(from), QVariant(to), QVariant(direction),
                              QVariant(direction), QVariant(mode), QVariant(mode)})
        answers.addBindValue(v);
    answers.setForwardOnly(true);
    if (answers.exec())
        while (answers.next()) {
            const qint64 i = indexOf(answers.value(0).toLongLong() * Quarter);
            if (i >= 0 && i < out.size()) {
                out[i].answers += answers.value(1).toInt();
                out[i].correct += answers.value(2).toInt();
            }
        }

    QSqlQuery sessions(db_);
    sessions.prepare(QStringLiteral(
        "SELECT started_at, minutes FROM sessions WHERE started_at >= ? AND started_at < ?"));
    sessions.addBindValue(from);
    sessions.addBindValue(to);
    if (sessions.exec())
        while (sessions.next()) {
            const qint64 i = indexOf(sessions.value(0).toLongLong());
            if (i >= 0 && i < out.size())
                // The file is anyone's to edit: no run is longer than its day.
                out[i].minutes +=
                    qint32(std::clamp<qint64>(sessions.value(1).toLongLong(), 0, 24 * 60));
        }
    return out;
}

StatisticsData::States StatisticsData::states() const {
    States states;
    QSqlQuery query(db_);
    if (query.exec(QStringLiteral("SELECT reps, stability FROM words")))
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
    if (query.exec())
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
        "SELECT w.english, w.chinese, w.lapses, coalesce(a.n, 0), coalesce(a.c, 0)"
        " FROM words w LEFT JOIN (SELECT english, chinese, count(*) AS n, sum(correct <> 0) AS c"
        " FROM answers GROUP BY english, chinese) a"
        " ON a.english = w.english AND a.chinese = w.chinese"
        " ORDER BY w.lapses DESC, CAST(coalesce(a.c, 0) AS REAL) / max(coalesce(a.n, 0), 1),"
        " w.english LIMIT ?"));
    query.addBindValue(count);
    if (query.exec())
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
    if (query.exec(QStringLiteral("SELECT answered_at, lesson, english, chinese, direction, mode,"
                                  " correct, response_ms FROM answers ORDER BY answered_at")))
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
