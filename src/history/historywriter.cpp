// The writer thread: its queue, the file opened and migrated, retries while another program
// holds the file, a damaged file set aside.

#include "historywriter.h"

#include "records.h"
#include "schema.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>

using namespace historyfile;

void HistoryWriter::post(Write write, bool mayWait) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        auto at = writes_.end();
        if (!mayWait) // before the first write that may wait
            at = std::find_if(writes_.begin(), writes_.end(),
                              [](const Job& job) { return job.mayWait; });
        writes_.insert(at, Job{std::move(write), mayWait});
        startLocked();
    }
    wake_.notify_all();
}

bool HistoryWriter::read(Read read, int waitMs) {
    struct State {
        bool done = false;
        bool ok = false;
    };
    const auto state = std::make_shared<State>();
    {
        const std::lock_guard lock(mutex_);
        if (stopping_)
            return false;
        // Without a database (none to be had, or the writer ending) the read is over, empty.
        reads_.push_back([this, state, read = std::move(read)](QSqlDatabase* db) {
            QSqlError error = db ? read(*db) : QSqlError(QStringLiteral("no history"), {});
            const std::lock_guard lock(mutex_);
            state->done = true;
            state->ok = !error.isValid();
            return error;
        });
        startLocked();
    }
    wake_.notify_all();
    std::unique_lock lock(mutex_);
    readDone_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return state->done; });
    return state->done && state->ok;
}

int HistoryWriter::stop(int waitMs, bool* heldUp) {
    {
        const std::lock_guard lock(mutex_);
        if (!stopping_) {
            stopping_ = true;
            patience_ = std::chrono::milliseconds(waitMs);
            stopAt_ = Clock::now() + patience_;
            // What may wait is let go: the rest of a merge is done at the next start.
            std::erase_if(writes_, [](const Job& job) { return job.mayWait; });
        }
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    const std::lock_guard lock(mutex_);
    if (heldUp)
        *heldUp = retryAt_.has_value();
    return int(writes_.size());
}

QStringList HistoryWriter::takeMessages() {
    const std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
}

bool HistoryWriter::idle() {
    const std::lock_guard lock(mutex_);
    return writes_.empty() && !writing_;
}

void HistoryWriter::startLocked() {
    if (!thread_.joinable() && !stopping_)
        thread_ = std::thread([this] { run(); });
}

void HistoryWriter::tell(const QString& text) {
    {
        const std::lock_guard lock(mutex_);
        messages_ << text;
    }
    told_();
}

void HistoryWriter::fail(const QString& text) {
    if (broken_)
        return;
    broken_ = true;
    tell(text + QStringLiteral("这次练习照常进行，但不记入学习记录。"));
}

void HistoryWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool blocked = retryAt_ && Clock::now() < *retryAt_;
        // A read waits for the run's own records before it, not for a merge.
        const bool ownWaiting = !writes_.empty() && !writes_.front().mayWait;
        if (!reads_.empty() && (!ownWaiting || blocked)) {
            Queued read = std::move(reads_.front());
            reads_.pop_front();
            lock.unlock();
            runRead(read);
            lock.lock();
            readDone_.notify_all();
            continue;
        }
        if (!writes_.empty() && !blocked && !(stopping_ && Clock::now() >= stopAt_)) {
            // Taken out while it runs: the run's records posted meanwhile go before what
            // may wait, and this one goes back in front when it has to be tried again.
            Job job = std::move(writes_.front());
            writes_.pop_front();
            writing_ = true;
            lock.unlock();
            const bool done = runWrite(job.write);
            lock.lock();
            writing_ = false;
            if (stopping_ && job.mayWait)
                continue;
            if (done) {
                retryAt_.reset();
                // A slow disk is waited for as long as it gets on.
                if (stopping_)
                    stopAt_ = std::max(stopAt_, Clock::now() + patience_);
            } else {
                // Held by another program: the answers wait, and are written when it lets go.
                writes_.push_front(std::move(job));
                retryAt_ = Clock::now() + std::chrono::milliseconds(200);
            }
            continue;
        }
        if (stopping_ && (writes_.empty() || Clock::now() >= stopAt_))
            break;
        if (retryAt_)
            wake_.wait_until(lock, stopping_ ? std::min(*retryAt_, stopAt_) : *retryAt_);
        else if (stopping_)
            wake_.wait_until(lock, stopAt_);
        else
            wake_.wait(lock);
    }
    // Reads still waiting are answered empty.
    std::deque<Queued> unread = std::exchange(reads_, {});
    lock.unlock();
    for (const Queued& read : unread)
        read(nullptr);
    close();
    readDone_.notify_all();
}

bool HistoryWriter::runWrite(const Write& write) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (ensureOpen()) {
        case Outcome::Done:
            break;
        case Outcome::Busy:
            return false;
        case Outcome::Corrupt:
        case Outcome::Full:
        case Outcome::Failed:
            return true;
        }
        db_->transaction();
        QSqlError error = write(*db_);
        if (!error.isValid() && !db_->commit())
            error = db_->lastError();
        if (error.isValid())
            db_->rollback();
        switch (outcomeOf(error)) {
        case Outcome::Done:
            return true;
        case Outcome::Busy:
            return false;
        case Outcome::Corrupt:
            // The damage showed only now: the file goes aside, and this record goes into
            // the new one.
            setAside();
            continue;
        case Outcome::Full:
            fail(QStringLiteral("学习记录文件“%1”无法写入：磁盘已满%2。")
                     .arg(shownPath(), why(error)));
            return true;
        case Outcome::Failed:
            fail(QStringLiteral("学习记录文件“%1”无法写入%2。").arg(shownPath(), why(error)));
            return true;
        }
    }
    return true;
}

void HistoryWriter::runRead(const Queued& read) {
    if (ensureOpen() != Outcome::Done) {
        read(nullptr);
        return;
    }
    QSqlError error = read(db_.get());
    if (outcomeOf(error) == Outcome::Corrupt)
        setAside();
}

void HistoryWriter::close() {
    if (!db_)
        return;
    db_->close();
    db_.reset();
    QSqlDatabase::removeDatabase(connection_);
}

void HistoryWriter::setAside() {
    close();
    const QString aside = path_ + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const bool moved = QFile::rename(path_, aside);
    for (const char* suffix : {"-wal", "-shm"})
        QFile::rename(path_ + QLatin1String(suffix), aside + QLatin1String(suffix));
    if (!moved) {
        fail(QStringLiteral("学习记录文件“%1”已损坏，又无法改名保留。").arg(shownPath()));
        return;
    }
    tell(QStringLiteral("学习记录文件“%1”已损坏，已改名保留为“%2”，并新建了一个。")
             .arg(shownPath(), QFileInfo(aside).fileName()));
}

Outcome HistoryWriter::ensureOpen() {
    if (broken_)
        return Outcome::Failed;
    if (db_)
        return Outcome::Done;
    const QFileInfo file(path_);
    if (file.exists() && !file.isFile()) {
        fail(QStringLiteral("学习记录文件“%1”不是普通文件（%2），无法使用。")
                 .arg(shownPath(), file.isDir() ? QStringLiteral("是一个文件夹")
                                                : QStringLiteral("可能是管道或设备")));
        return Outcome::Failed;
    }
    if (!file.absoluteDir().exists()) {
        fail(QStringLiteral("学习记录文件“%1”无法建立：所在的文件夹不存在。").arg(shownPath()));
        return Outcome::Failed;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        missingTables_ = false;
        const QSqlError error = openFile();
        // A file without the tables (another program's database) is as good as damaged.
        const Outcome outcome = missingTables_ ? Outcome::Corrupt : outcomeOf(error);
        if (outcome == Outcome::Done && !broken_)
            return Outcome::Done;
        close();
        if (broken_)
            return Outcome::Failed;
        if (outcome == Outcome::Busy)
            return Outcome::Busy;
        if (outcome == Outcome::Corrupt && attempt == 0) {
            setAside();
            if (broken_)
                return Outcome::Failed;
            continue;
        }
        fail((outcome == Outcome::Full ? QStringLiteral("学习记录文件“%1”无法打开：磁盘已满%2。")
                                       : QStringLiteral("学习记录文件“%1”无法打开%2。"))
                 .arg(shownPath(), why(error)));
        return Outcome::Failed;
    }
    return Outcome::Failed;
}

QSqlError HistoryWriter::openFile() {
    db_ = std::make_unique<QSqlDatabase>(
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_));
    db_->setDatabaseName(path_);
    // Qt waits five seconds for a lock by default; the queue waits instead.
    db_->setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
    if (!db_->open())
        return db_->lastError();
    // Nothing is changed in a file before it is known to be one of ours.
    QSqlQuery query(*db_);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return query.lastError();
    const int version = query.value(0).toInt();
    query.finish(); // a statement still running would keep the steps from dropping an index
    if (version > SchemaVersion) {
        // Kept as it is: a later Vokarin still needs it.
        fail(QStringLiteral("学习记录文件“%1”是较新版本的 Vokarin 写的（格式 %2，这个版本只认得 "
                            "%3 及以前的），这里不去改动它。")
                 .arg(shownPath())
                 .arg(version)
                 .arg(SchemaVersion));
        return {};
    }
    // Every table and column in place; a file without them is as good as damaged.
    if (QSqlError error = migrate(*db_, version, zone_); error.isValid()) {
        // SQLite's plain error: a table or column the step needs is not there.
        missingTables_ = (error.nativeErrorCode().toInt() & 0xFF) == SQLITE_ERROR;
        return error;
    }
    for (const char* probe : probes())
        if (!query.exec(QLatin1String(probe))) {
            QSqlError error = query.lastError();
            missingTables_ = outcomeOf(error) != Outcome::Busy;
            return error;
        }
    // A merge puts many answers into indexes of millions: their pages are better kept at
    // hand than read again (the cache grows only as pages are used), copied back into the
    // file after many slices rather than after each (a page a slice wrote is copied once
    // however often it was written), and each record's undo kept in memory.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !query.exec(QStringLiteral("PRAGMA cache_size=-65536")) ||
        !query.exec(QStringLiteral("PRAGMA wal_autocheckpoint=16384")) ||
        !query.exec(QStringLiteral("PRAGMA temp_store=MEMORY")))
        return query.lastError();
    return {};
}
