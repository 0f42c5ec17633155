// The History service's front: answers, runs and notebook words handed to the writer, and the
// reads the drill makes (the due words and their count, the notebook's words, words to choose
// among and their lessons).

#include "sqlitehistory.h"

#include "historywriter.h"
#include "records.h"
#include "schema.h"
#include "sqliteoutcome.h"
#include "sync/logmerge.h"
#include "sync/ownlog.h"
#include "wordstore.h"

#include "fileio.h"
#include "scheduling/fsrs.h"
#include "services/messageboxes.h"
#include "sync/answerlog.h"
#include "sync/conflictcopies.h"
#include "sync/conflicts.h"
#include "sync/folderguard.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>

using namespace historyfile;

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

namespace {

// How long a read may keep the window waiting for the answers before it.
constexpr int ReadWaitMs = 1000;

} // namespace

SqliteHistory::SqliteHistory(const QString& path, MessageBoxes& messages, const QTimeZone& zone,
                             HistoryLog log)
    : messages_(messages)
    , zone_(zone)
    , ownLog_(std::make_shared<OwnLog>(std::move(log)))
    , relay_(std::make_unique<QObject>()) {
    // Messages from the writer are shown on this thread, when its events are handled (or at
    // the latest, at the next read or at the end).
    QObject* const relay = relay_.get();
    writer_ = std::make_unique<HistoryWriter>(path, zone, [this, relay] {
        QMetaObject::invokeMethod(
            relay, [this] { deliver(); }, Qt::QueuedConnection);
    });
    // Words a merge left waiting when the program ended (and the folder was given up since)
    // are worked out all the same.
    if (!ownLog_->enabled())
        beginMerge(false);
}

SqliteHistory::~SqliteHistory() {
    finish(3000);
}

void SqliteHistory::deliver() {
    if (!writer_)
        return;
    for (const QString& text : writer_->takeMessages() + ownLog_->takeMessages())
        messages_.ok(text);
}

int SqliteHistory::finish(int waitMs, bool quietly) {
    if (finished_)
        return 0;
    finished_ = true;
    bool heldUp = false;
    const int left = writer_->stop(waitMs, &heldUp);
    QStringList texts = writer_->takeMessages();
    if (left > 0)
        texts << (heldUp ? QStringLiteral(
                               "学习记录文件一直被别的程序占用着，这次还有 %1 条记录没能写入。")
                         : QStringLiteral("学习记录写得太慢，这次还有 %1 条记录没来得及写入。"))
                     .arg(left);
    for (const QString& text : std::as_const(texts)) {
        if (quietly)
            std::fprintf(stderr, "vokarin: %s\n", qPrintable(text));
        else
            messages_.ok(text);
    }
    return left;
}

void SqliteHistory::recordAnswer(const AnswerRecord& answer) {
    const QTimeZone zone = zone_;
    const std::shared_ptr<OwnLog> log = ownLog_;
    // Into the log once, however often the file's lock makes the write be tried.
    const auto logged = std::make_shared<bool>(false);
    writer_->post([answer, zone, log, logged](QSqlDatabase& db) {
        if (!*logged && log->enabled())
            if (QSqlError error = log->write(db, logLine(answer)); error.isValid())
                return error;
        *logged = true;
        return writeAnswer(db, answer, log->device(), zone);
    });
}

void SqliteHistory::recordSession(const SessionRecord& session) {
    const std::shared_ptr<OwnLog> log = ownLog_;
    const auto logged = std::make_shared<bool>(false);
    writer_->post([session, log, logged](QSqlDatabase& db) {
        if (!*logged && log->enabled())
            if (QSqlError error = log->write(db, logLine(session)); error.isValid())
                return error;
        *logged = true;
        return run(db, InsertSession, sessionValues(session, log->device()));
    });
}

void SqliteHistory::keepNotebookWord(const QString& english, const QString& chinese) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    noteNotebook({{now, english, chinese, true}});
    writer_->post([english, chinese, now](QSqlDatabase& db) {
        return run(db,
                   QStringLiteral("INSERT OR IGNORE INTO notebook(english, chinese, added_at)"
                                  " VALUES (?, ?, ?)"),
                   {english, chinese, now});
    });
}

void SqliteHistory::takeOutOfNotebook(const QStringList& english) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<NotebookEvent> events;
    for (const QString& word : english)
        events.append({now, word, QString(), false});
    noteNotebook(events);
}

// Into this computer's log (once, however often the file's lock makes the write be tried) and
// into the history's own record of the notebook.
void SqliteHistory::noteNotebook(const QList<NotebookEvent>& events) {
    if (events.isEmpty())
        return;
    const std::shared_ptr<OwnLog> log = ownLog_;
    const auto logged = std::make_shared<bool>(false);
    writer_->post([events, log, logged](QSqlDatabase& db) {
        if (!*logged && log->enabled()) {
            QByteArray lines;
            for (const NotebookEvent& event : events)
                lines += logLine(event);
            if (QSqlError error = log->write(db, lines); error.isValid())
                return error;
        }
        *logged = true;
        for (const NotebookEvent& event : events)
            if (QSqlError error = run(db, NoteNotebookEvent, notebookEventValues(event));
                error.isValid())
                return error;
        return QSqlError();
    });
}

Answered<QSet<QString>> SqliteHistory::takenOutOfNotebook() {
    return read<QSet<QString>>([](QSqlQuery& query, QSet<QString>& words) {
        if (!exec(query,
                  QStringLiteral("SELECT english FROM notebook_events WHERE taken_at > added_at"),
                  {}))
            return false;
        while (query.next())
            words.insert(query.value(0).toString());
        return true;
    });
}

void SqliteHistory::clearNotebookWords(const QStringList& english) {
    if (english.isEmpty())
        return;
    writer_->post([english](QSqlDatabase& db) {
        QSqlQuery drop(db);
        drop.prepare(QStringLiteral("DELETE FROM notebook WHERE english = ?"));
        for (const QString& word : english) {
            drop.addBindValue(word);
            if (!drop.exec())
                return drop.lastError();
        }
        return QSqlError();
    });
}

// A read on the writer's thread: fill puts the rows into a value that outlives a read that
// comes too late; what the learner gets is that value, or T() when the read did not happen.
template <typename T, typename Fill> Answered<T> SqliteHistory::read(Fill fill) {
    const auto out = std::make_shared<T>();
    const bool done = writer_->read(
        [out, fill](QSqlDatabase& db) {
            QSqlQuery query(db);
            return fill(query, *out) ? QSqlError() : query.lastError();
        },
        ReadWaitMs);
    deliver();
    return done ? Answered<T>(*out) : std::nullopt;
}

Answered<QList<NotebookWord>> SqliteHistory::notebookWords() {
    return read<QList<NotebookWord>>([](QSqlQuery& query, QList<NotebookWord>& words) {
        if (!exec(query, QStringLiteral("SELECT english, chinese FROM notebook ORDER BY rowid"),
                  {}))
            return false;
        while (query.next())
            words.append({query.value(0).toString(), query.value(1).toString()});
        return true;
    });
}

Answered<QList<DueWord>> SqliteHistory::dueWords(qint64 now, int limit) {
    return read<QList<DueWord>>([now, limit](QSqlQuery& query, QList<DueWord>& due) {
        if (!exec(query,
                  QStringLiteral("SELECT english, chinese, due FROM words WHERE due <= ?"
                                 " ORDER BY due, rowid LIMIT ?"),
                  {now, limit}))
            return false;
        while (query.next())
            due.append({query.value(0).toString(), query.value(1).toString(),
                        query.value(2).toLongLong()});
        return true;
    });
}

Answered<qint32> SqliteHistory::dueCount(qint64 now) {
    return read<qint32>([now](QSqlQuery& query, qint32& count) {
        if (!exec(query, QStringLiteral("SELECT count(*) FROM words WHERE due <= ?"), {now}) ||
            !query.next())
            return false;
        count = query.value(0).toInt();
        return true;
    });
}

QList<DueWord> SqliteHistory::someWords(int limit) {
    return read<QList<DueWord>>([limit](QSqlQuery& query, QList<DueWord>& words) {
               if (!exec(query,
                         QStringLiteral("SELECT english, chinese, due FROM words"
                                        " ORDER BY random() LIMIT ?"),
                         {limit}))
                   return false;
               while (query.next())
                   words.append({query.value(0).toString(), query.value(1).toString(),
                                 query.value(2).toLongLong()});
               return true;
           })
        .value_or(QList<DueWord>());
}

QStringList SqliteHistory::lessonsOf(const QStringList& english) {
    return read<QStringList>([english](QSqlQuery& query, QStringList& lessons) {
               for (const QString& word : english) {
                   if (!exec(
                           query,
                           QStringLiteral("SELECT DISTINCT lesson FROM answers WHERE english = ?"),
                           {word}))
                       return false;
                   while (query.next())
                       if (const QString lesson = query.value(0).toString();
                           !lessons.contains(lesson))
                           lessons << lesson;
               }
               return true;
           })
        .value_or(QStringList());
}

Answered<std::optional<qint64>> SqliteHistory::nextDue(qint64 now) {
    return read<std::optional<qint64>>([now](QSqlQuery& query, std::optional<qint64>& next) {
        if (!exec(query, QStringLiteral("SELECT min(due) FROM words WHERE due > ?"), {now}) ||
            !query.next())
            return false;
        if (!query.value(0).isNull())
            next = query.value(0).toLongLong();
        return true;
    });
}
