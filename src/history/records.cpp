// The history file's records as statements (see records.h).

#include "records.h"

#include <QSqlDriver>

namespace historyfile {

QString directionName(bool chineseAsked) {
    return chineseAsked ? QStringLiteral("zh-en") : QStringLiteral("en-zh");
}

QString modeName(AnswerMode mode) {
    return QString::fromLatin1(answerModeName(mode));
}

// SQLite's own words, after the Chinese.
QString why(const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QString() : QStringLiteral("（%1）").arg(text);
}

// The file's mode column; anything unknown (the file is anyone's to edit) counts as choice.
AnswerMode modeNamed(const QString& name) {
    return answerModeNamed(name.toLatin1()).value_or(AnswerMode::Choice);
}

// The file's text columns are never NULL.
QString notNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

// A word put into the notebook or taken out of it: the latest time of each is kept.
const QString NoteNotebookEvent = QStringLiteral(
    "INSERT INTO notebook_events(english, added_at, taken_at) VALUES (?, ?, ?)"
    " ON CONFLICT(english) DO UPDATE SET added_at = max(added_at, excluded.added_at),"
    " taken_at = max(taken_at, excluded.taken_at)");

QVariantList notebookEventValues(const NotebookEvent& event) {
    return {event.english, event.added ? event.at : 0, event.added ? 0 : event.at};
}

// A run, once: one already there is left as it is.
const QString InsertSession = QStringLiteral(
    "INSERT INTO sessions(started_at, ended_at, minutes, lesson_files, seconds, device)"
    " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING");

QVariantList sessionValues(const SessionRecord& run, const QString& device) {
    return {run.startedAt,
            run.endedAt,
            run.minutes,
            notNull(run.lessonFiles.join(u'\n')),
            qMax<qint64>(0, (run.endedAt - run.startedAt) / 1000),
            notNull(device)};
}

// A record already there is left as it is (and only then: any other failure is one).
const QString InsertAnswer = QStringLiteral(
    "INSERT INTO answers(answered_at, lesson, english, chinese, direction, mode, correct,"
    " response_ms, device, revealed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
    " ON CONFLICT DO NOTHING");

// SQLite's own connection under Qt's: the many rows of a merge go in several times faster
// without Qt's values in between. This holds only while Qt's SQLite driver and this program
// use one and the same SQLite library (Debian's Qt links the system's libsqlite3, which
// vokarin-history links too). A driver with SQLite built in would hand over a connection of
// another library's copy; the check below tells only that the driver is SQLite's.
sqlite3* handleOf(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QSqlError notSqlite() {
    return QSqlError(QStringLiteral("history"), QStringLiteral("not SQLite"),
                     QSqlError::ConnectionError);
}

QSqlError sqliteError(sqlite3* db) {
    return QSqlError(QStringLiteral("merge"), QString::fromUtf8(sqlite3_errmsg(db)),
                     QSqlError::StatementError, QString::number(sqlite3_extended_errcode(db)));
}

// A statement with its values bound, run; false when it failed (the query says why).
bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

QSqlError run(QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery query(db);
    return exec(query, sql, values) ? QSqlError() : query.lastError();
}

} // namespace historyfile
