#include "sqlitehistory.h"

#include "historywriter.h"
#include "logmerge.h"
#include "ownlog.h"
#include "records.h"
#include "schema.h"
#include "sqliteoutcome.h"
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

// What the slices of one merge share.
struct SqliteHistory::MergeRun final {
    MergeRun(const QTimeZone& zone, bool logs)
        : days(zone)
        , logs(logs) {}
    LearnersDays days;
    bool logs; // the computers' logs are read (else only the words left waiting worked out)
    WaitingWords waiting;
    qint64 records = 0;
    QStringList unfinished;
    bool ended = false;
};

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
    if (!ownLog_->enabled()) {
        ++*merges_;
        mergeSlice(std::make_shared<MergeRun>(zone_, false));
    }
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

// The answers and runs of the time before this computer kept a log: written into its log
// (the history's own records, now this computer's), so that other computers have them too.
void SqliteHistory::exportEarlier() {
    const std::shared_ptr<OwnLog> log = ownLog_;
    writer_->post(
        [log](QSqlDatabase& db) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            if (!query.exec(QStringLiteral(
                    "SELECT answered_at, lesson, english, chinese, direction, mode, correct,"
                    " revealed, response_ms FROM answers WHERE device = '' ORDER BY answered_at")))
                return query.lastError();
            QByteArray lines;
            while (query.next()) {
                AnswerRecord answer;
                answer.answeredAt = query.value(0).toLongLong();
                answer.lesson = query.value(1).toString();
                answer.english = query.value(2).toString();
                answer.chinese = query.value(3).toString();
                answer.chineseAsked = query.value(4).toString() == u"zh-en";
                answer.facts.mode = modeNamed(query.value(5).toString());
                answer.facts.correct = query.value(6).toLongLong() != 0;
                answer.facts.revealed = query.value(7).toLongLong() != 0;
                answer.facts.responseMs = query.value(8).toLongLong();
                lines += logLine(answer);
            }
            if (!query.exec(QStringLiteral("SELECT started_at, ended_at, minutes, lesson_files"
                                           " FROM sessions WHERE device = '' ORDER BY started_at")))
                return query.lastError();
            while (query.next()) {
                SessionRecord session;
                session.startedAt = query.value(0).toLongLong();
                session.endedAt = query.value(1).toLongLong();
                session.minutes = query.value(2).toInt();
                const QString files = query.value(3).toString();
                if (!files.isEmpty())
                    session.lessonFiles = files.split(u'\n');
                lines += logLine(session);
            }
            if (lines.isEmpty())
                return QSqlError();
            if (QSqlError error = log->write(db, lines); error.isValid())
                return error;
            for (const char* table : {"answers", "sessions"})
                if (QSqlError error =
                        run(db,
                            QStringLiteral("UPDATE %1 SET device = ? WHERE device = ''")
                                .arg(QLatin1String(table)),
                            {log->device()});
                    error.isValid())
                    return error;
            return QSqlError();
        },
        true); // behind the run's own records, like a merge
}

void SqliteHistory::keepLogIn(const QString& folder, const QString& device) {
    ownLog_->setLog({folder, device});
    exported_ = false;
    merge();
}

// How far ahead a clock is, as the learner reads it.
QString aheadText(qint64 ms) {
    const qint64 minutes = qMax<qint64>(1, (ms + 30'000) / 60'000);
    if (minutes < 60)
        return QStringLiteral("%1 分钟").arg(minutes);
    if (minutes % 60 == 0)
        return QStringLiteral("%1 小时").arg(minutes / 60);
    return QStringLiteral("%1 小时 %2 分钟").arg(minutes / 60).arg(minutes % 60);
}

bool SqliteHistory::merge() {
    const std::shared_ptr<OwnLog> log = ownLog_;
    if (!log->enabled())
        return false;
    // The first merge of a run also puts what this computer learnt before its log into it.
    if (!exported_) {
        exported_ = true;
        exportEarlier();
    }
    ++*merges_;
    mergeSlice(std::make_shared<MergeRun>(zone_, true));
    return true;
}

// One slice of a merge, on the writer's thread; the next one waits behind the run's own records.
void SqliteHistory::mergeSlice(const std::shared_ptr<MergeRun>& run) {
    const std::shared_ptr<OwnLog> log = ownLog_;
    QObject* const relay = relay_.get();
    const std::shared_ptr<std::atomic<int>> merges = merges_;
    // Once a merge is through, or has failed, it no longer counts as under way.
    const auto end = [run, merges] {
        if (!std::exchange(run->ended, true))
            --*merges;
    };
    writer_->post(
        [this, log, relay, run, end](QSqlDatabase& db) {
            Merged merged;
            if (QSqlError error =
                    mergeLogs(db, run->logs ? log->folder() : QString(), run->days, run->waiting,
                              QDateTime::currentMSecsSinceEpoch(), merged);
                error.isValid()) {
                // The slice's transaction is undone: what it noted as waiting is noted again.
                run->waiting = WaitingWords();
                end();
                return error;
            }
            run->records += merged.records;
            run->unfinished += merged.unfinished;
            for (const auto& [device, ahead] : merged.ahead)
                if (ahead > ClockAheadToldMs)
                    log->tellAhead(device,
                                   QStringLiteral("电脑“%1”的时钟比这台电脑快了大约 %2。它的"
                                                  "答题按它自己的时间记下，最晚算作这台电脑的明天"
                                                  "；比这里晚一天以上的记录先不读入，等时间到了"
                                                  "再读，不会丢失。请把两台电脑的时间调准。")
                                       .arg(device, aheadText(ahead)));
            if (merged.more) {
                mergeSlice(run);
            } else {
                run->unfinished.removeDuplicates();
                log->setUnfinished(run->unfinished);
                end();
            }
            // The window hears of each slice that brought something, and of the end.
            if (merged.records > 0 || !merged.more)
                QMetaObject::invokeMethod(
                    relay,
                    [this, finished = !merged.more] {
                        // The window's news first: what is told may wait for the learner.
                        if (merged_)
                            merged_(finished);
                        deliver();
                    },
                    Qt::QueuedConnection);
            return QSqlError();
        },
        true);
}

bool SqliteHistory::merging() const {
    return *merges_ > 0 && !writer_->broken();
}

bool SqliteHistory::settle(int waitMs) {
    // Reads go ahead of a merge: the writer is asked until nothing at all is left to write.
    const auto until = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (!writer_->read([](QSqlDatabase&) { return QSqlError(); },
                           int(qMax<qint64>(0, left.count()))))
            return false;
        if (writer_->idle())
            return true;
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

QStringList SqliteHistory::unfinishedLogs() const {
    return ownLog_->unfinished();
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
