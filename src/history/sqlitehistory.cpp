#include "sqlitehistory.h"

#include "history/fsrs.h"
#include "services/messageboxes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {

QString directionName(bool chineseAsked) {
    return chineseAsked ? QStringLiteral("zh-en") : QStringLiteral("en-zh");
}

QString modeName(AnswerMode mode) {
    switch (mode) {
    case AnswerMode::Choice:
        return QStringLiteral("choice");
    case AnswerMode::Typing:
        return QStringLiteral("typing");
    case AnswerMode::Listening:
        return QStringLiteral("listening");
    }
    return {};
}

// SQLite's own codes for a file that is not, or no longer, a database.
bool isCorruption(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("26") || code == QLatin1String("11") ||
           error.databaseText().contains(QLatin1String("not a database")) ||
           error.databaseText().contains(QLatin1String("malformed"));
}

const char* const Schema[] = {
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
};

} // namespace

SqliteHistory::SqliteHistory(const QString& path, MessageBoxes& messages, const QTimeZone& zone)
    : path_(path)
    , messages_(messages)
    , zone_(zone)
    , connection_(QStringLiteral("vokarin-history-") + QUuid::createUuid().toString()) {}

SqliteHistory::~SqliteHistory() {
    if (db_) {
        db_->close();
        db_.reset();
        QSqlDatabase::removeDatabase(connection_);
    }
}

QSqlDatabase* SqliteHistory::database() {
    return open() ? db_.get() : nullptr;
}

void SqliteHistory::fail(const QString& what, const QString& reason) {
    if (broken_)
        return;
    broken_ = true;
    messages_.ok(
        QStringLiteral("学习记录%1（%2）。这次练习照常进行，但不记入学习记录。").arg(what, reason));
}

QSqlError SqliteHistory::openFile() {
    db_ = std::make_unique<QSqlDatabase>(
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_));
    db_->setDatabaseName(path_);
    if (!db_->open())
        return db_->lastError();
    QSqlQuery pragma(*db_);
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return pragma.lastError();
    return migrate();
}

void SqliteHistory::moveAside() {
    db_->close();
    db_.reset();
    QSqlDatabase::removeDatabase(connection_);
    const QString aside = path_ + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile::rename(path_, aside);
    for (const char* suffix : {"-wal", "-shm"})
        QFile::rename(path_ + QLatin1String(suffix), aside + QLatin1String(suffix));
}

bool SqliteHistory::open() {
    if (broken_)
        return false;
    if (tried_)
        return db_ != nullptr;
    tried_ = true;
    QSqlError error = openFile();
    if (!error.isValid())
        return true;
    if (isCorruption(error) && QFileInfo(path_).isFile()) {
        // Never deleted: the damaged file stays beside the new one for the learner to keep.
        moveAside();
        error = openFile();
        if (!error.isValid()) {
            messages_.ok(QStringLiteral("学习记录文件“%1”已损坏，已改名保留（.corrupt-日期），"
                                        "并新建了一个。")
                             .arg(QDir::toNativeSeparators(path_)));
            return true;
        }
    }
    fail(QStringLiteral("无法打开"), error.text());
    db_->close();
    db_.reset();
    QSqlDatabase::removeDatabase(connection_);
    return false;
}

QSqlError SqliteHistory::migrate() {
    QSqlQuery query(*db_);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return query.lastError();
    const int version = query.value(0).toInt();
    if (version >= SchemaVersion)
        return {};
    // From an empty file (version 0) to version 1; later versions add their steps here.
    if (!db_->transaction())
        return db_->lastError();
    for (const char* statement : Schema)
        if (!query.exec(QLatin1String(statement))) {
            const QSqlError error = query.lastError();
            db_->rollback();
            return error;
        }
    if (!query.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion))) {
        const QSqlError error = query.lastError();
        db_->rollback();
        return error;
    }
    return db_->commit() ? QSqlError() : db_->lastError();
}

void SqliteHistory::recordAnswer(const AnswerRecord& answer) {
    if (!open())
        return;
    QSqlDatabase& db = *db_;
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO answers(answered_at, lesson, english, chinese, direction, mode, correct,"
        " response_ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(answer.answeredAt);
    insert.addBindValue(answer.lesson);
    insert.addBindValue(answer.english);
    insert.addBindValue(answer.chinese);
    insert.addBindValue(directionName(answer.chineseAsked));
    insert.addBindValue(modeName(answer.facts.mode));
    insert.addBindValue(answer.facts.correct ? 1 : 0);
    insert.addBindValue(answer.facts.responseMs);
    bool ok = insert.exec();

    // The first answer of the learner's day is the word's review; later ones are only logged.
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT state, stability, difficulty, due, reps, lapses,"
                                " last_review FROM words WHERE english = ? AND chinese = ?"));
    find.addBindValue(answer.english);
    find.addBindValue(answer.chinese);
    ok = ok && find.exec();
    fsrs::Memory memory;
    if (ok && find.next()) {
        memory = {find.value(1).toDouble(),
                  find.value(2).toDouble(),
                  find.value(3).toLongLong(),
                  find.value(6).toLongLong(),
                  0,
                  find.value(4).toInt(),
                  find.value(5).toInt(),
                  find.value(0).toInt()};
    }
    const auto day = [this](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, zone_).date(); };
    if (ok && (memory.reps == 0 || day(memory.lastReview) != day(answer.answeredAt))) {
        memory = fsrs::review(memory, gradeFor(answer.facts), answer.answeredAt);
        QSqlQuery store(db);
        store.prepare(QStringLiteral(
            "INSERT INTO words(english, chinese, state, stability, difficulty, due, reps, lapses,"
            " last_review) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(english, chinese) DO"
            " UPDATE SET state = excluded.state, stability = excluded.stability,"
            " difficulty = excluded.difficulty, due = excluded.due, reps = excluded.reps,"
            " lapses = excluded.lapses, last_review = excluded.last_review"));
        for (const QVariant& value :
             {QVariant(answer.english), QVariant(answer.chinese), QVariant(memory.state),
              QVariant(memory.stability), QVariant(memory.difficulty), QVariant(memory.due),
              QVariant(memory.reps), QVariant(memory.lapses), QVariant(memory.lastReview)})
            store.addBindValue(value);
        ok = store.exec();
    }
    if (!ok || !db.commit()) {
        const QSqlError error = db.lastError().isValid() ? db.lastError() : insert.lastError();
        db.rollback();
        fail(QStringLiteral("无法写入"), error.text());
    }
}

void SqliteHistory::recordSession(const SessionRecord& session) {
    if (!open())
        return;
    QSqlQuery insert(*db_);
    insert.prepare(QStringLiteral("INSERT INTO sessions(started_at, ended_at, minutes,"
                                  " lesson_files) VALUES (?, ?, ?, ?)"));
    insert.addBindValue(session.startedAt);
    insert.addBindValue(session.endedAt);
    insert.addBindValue(session.minutes);
    insert.addBindValue(session.lessonFiles.join(u'\n'));
    if (!insert.exec())
        fail(QStringLiteral("无法写入"), insert.lastError().text());
}

QList<DueWord> SqliteHistory::dueWords(qint64 now, int limit) {
    QList<DueWord> due;
    if (!open())
        return due;
    QSqlQuery query(*db_);
    query.prepare(QStringLiteral("SELECT english, chinese, due FROM words WHERE due <= ?"
                                 " ORDER BY due, rowid LIMIT ?"));
    query.addBindValue(now);
    query.addBindValue(limit);
    if (query.exec())
        while (query.next())
            due.append({query.value(0).toString(), query.value(1).toString(),
                        query.value(2).toLongLong()});
    return due;
}

qint32 SqliteHistory::dueCount(qint64 now) {
    if (!open())
        return 0;
    QSqlQuery query(*db_);
    query.prepare(QStringLiteral("SELECT count(*) FROM words WHERE due <= ?"));
    query.addBindValue(now);
    return query.exec() && query.next() ? query.value(0).toInt() : 0;
}

std::optional<qint64> SqliteHistory::nextDue(qint64 now) {
    if (!open())
        return std::nullopt;
    QSqlQuery query(*db_);
    query.prepare(QStringLiteral("SELECT min(due) FROM words WHERE due > ?"));
    query.addBindValue(now);
    if (query.exec() && query.next() && !query.value(0).isNull())
        return query.value(0).toLongLong();
    return std::nullopt;
}
