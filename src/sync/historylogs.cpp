// The history's side of the shared data folder: what this computer learnt before it kept a
// log put into the log, the merge of the computers' logs in slices on the writer's thread, and
// the news of it for the window.

#include "sqlitehistory.h"

#include "historywriter.h"
#include "records.h"
#include "sync/logmerge.h"
#include "sync/ownlog.h"

#include <QDateTime>
#include <QSqlQuery>
#include <chrono>
#include <thread>

using namespace historyfile;

namespace {

using Clock = std::chrono::steady_clock;

// How far ahead a clock is, as the learner reads it.
QString aheadText(qint64 ms) {
    const qint64 minutes = qMax<qint64>(1, (ms + 30'000) / 60'000);
    if (minutes < 60)
        return QStringLiteral("%1 分钟").arg(minutes);
    if (minutes % 60 == 0)
        return QStringLiteral("%1 小时").arg(minutes / 60);
    return QStringLiteral("%1 小时 %2 分钟").arg(minutes / 60).arg(minutes % 60);
}

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
    ownLog_->setLog({folder, device, ownLog_->log().slices});
    exported_ = false;
    merge();
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
    beginMerge(true);
    return true;
}

void SqliteHistory::beginMerge(bool logs) {
    ++*merges_;
    mergeSlice(std::make_shared<MergeRun>(zone_, logs));
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
                              QDateTime::currentMSecsSinceEpoch(), merged, log->log().slices);
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
