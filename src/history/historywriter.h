#pragma once

// The one thread that touches the history's file: its queue of writes (the run's own records
// first, a merge's slices behind them), the retries while another program holds the file, the
// reads that go ahead of what may wait, and a damaged file set aside for a new one.

#include "sqliteoutcome.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUuid>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The one thread that touches the file. Writes are taken in order; a read waits for the writes
// before it unless they are held up by a lock, and then goes ahead of them.
class HistoryWriter final {
    using Clock = std::chrono::steady_clock;

public:
    using Write = std::function<QSqlError(QSqlDatabase&)>;
    using Read = std::function<QSqlError(QSqlDatabase&)>;
    // A read as queued: without a database, it ends empty.
    using Queued = std::function<QSqlError(QSqlDatabase*)>;

    HistoryWriter(const QString& path, const QTimeZone& zone, std::function<void()> told)
        : path_(path)
        , zone_(zone)
        , told_(std::move(told))
        , connection_(QStringLiteral("vokarin-history-") + QUuid::createUuid().toString()) {}

    ~HistoryWriter() { stop(0); }

    // A write that may wait (a slice of a merge) goes after the run's own records, whenever
    // they came, and is let go when the program ends.
    void post(Write write, bool mayWait = false);

    // Runs read on the writer's thread, waiting at most waitMs for it; false when it did not
    // run in time or failed.
    bool read(Read read, int waitMs);

    // Writes what waits, giving up once no record could be written for waitMs; the number
    // left unwritten. heldUp tells whether another program's lock was what stopped them.
    int stop(int waitMs, bool* heldUp = nullptr);

    QStringList takeMessages();

    // Nothing more is written in this run: the file cannot be kept.
    bool broken() const { return broken_; }

    // Nothing to write, and nothing being written.
    bool idle();

private:
    void startLocked();

    void tell(const QString& text);

    // One message a run for a history that cannot be kept; nothing more is written.
    void fail(const QString& text);

    QString shownPath() const { return QDir::toNativeSeparators(path_); }

    void run();

    // False while the file is locked by another program; true when the write is done, or will
    // never be (told once).
    bool runWrite(const Write& write);

    void runRead(const Queued& read);

    void close();

    // Moves the damaged file aside, never deleting it, and starts a new one.
    void setAside();

    Outcome ensureOpen();

    QSqlError openFile();

    const QString path_;
    const QTimeZone zone_;
    const std::function<void()> told_;
    const QString connection_;

    std::mutex mutex_;
    std::condition_variable wake_, readDone_;
    struct Job final {
        Write write;
        bool mayWait = false;
    };
    std::deque<Job> writes_;
    bool writing_ = false;
    std::deque<Queued> reads_;
    std::optional<Clock::time_point> retryAt_;
    bool stopping_ = false;
    Clock::time_point stopAt_;
    std::chrono::milliseconds patience_{0};
    QStringList messages_;
    std::thread thread_;

    // The writer's thread alone (broken_ is read by others too).
    std::unique_ptr<QSqlDatabase> db_;
    bool missingTables_ = false; // the file opened lacks tables or columns of ours
    std::atomic<bool> broken_ = false;
};
