#pragma once

// The History service on vokarin.db: what the engine and the windows call. Writes go to the
// writer thread (historywriter.h), reads wait there for the run's own records only.

#include "schema.h"
#include "services/history.h"
#include "sync/answerlog.h"
#include "sync/mergeslices.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <atomic>
#include <functional>
#include <memory>

class HistoryWriter;
class MessageBoxes;
class OwnLog;

// Where this computer keeps its log of answers and runs, beside the other computers' logs,
// when the learner studies on more than one (see sync/answerlog.h). Empty: no log is kept.
struct HistoryLog final {
    HistoryLog(QString folder = {}, QString device = {}, MergeSlices slices = {})
        : folder(std::move(folder))
        , device(std::move(device))
        , slices(slices) {}
    QString folder;
    QString device;
    MergeSlices slices; // how large a merge's slices are
};

// The history in an SQLite file (vokarin.db beside csh2.dat): answers, words, sessions and the
// words waiting for the notebook, in WAL mode, the schema version in PRAGMA user_version.
//
// Everything is written on a thread of its own: answers wait in a queue that the writer drains,
// retrying while another program holds the file locked, so the drill never waits for the disk
// and no answer is dropped. Reads wait for the answers given before them, never long.
//
// A file that is not a database, or whose damage shows in any statement, is moved aside as
// vokarin.db.corrupt-<date> (with its -wal and -shm) and a new one started in the same run; the
// answer that met the damage goes into the new one. A file that cannot be opened or written,
// or one from a newer Vokarin, costs the learner one message for the run, and the drill goes
// on. Numbers read back are clamped to what a history can hold: the file is anyone's to edit.
class SqliteHistory final : public History {
public:
    // Days begin at midnight in zone: a word's first answer of the day is its review.
    SqliteHistory(const QString& path, MessageBoxes& messages,
                  const QTimeZone& zone = QTimeZone::systemTimeZone(), HistoryLog log = {});
    // Waits for the queue as finish() does, telling the learner of what was left.
    ~SqliteHistory() override;

    void recordAnswer(const AnswerRecord& answer) override;
    void recordSession(const SessionRecord& session) override;
    Answered<QList<DueWord>> dueWords(qint64 now, int limit) override;
    Answered<qint32> dueCount(qint64 now) override;
    Answered<std::optional<qint64>> nextDue(qint64 now) override;
    QList<DueWord> someWords(int limit) override;
    QStringList lessonsOf(const QStringList& english) override;
    void keepNotebookWord(const QString& english, const QString& chinese) override;
    bool merging() const override;
    void clearNotebookWords(const QStringList& english) override;
    Answered<QList<NotebookWord>> notebookWords() override;
    void takeOutOfNotebook(const QStringList& english) override;
    // The words taken out of the notebook on any computer after they were last put in.
    Answered<QSet<QString>> takenOutOfNotebook();
    void keepLogIn(const QString& folder, const QString& device) override;

    // Writes what waits and stops the writer, giving up once nothing could be written for
    // waitMs (a lock held by another program); the number of records that could not be. They are
    // told of once: in a message box, or, when quietly (the session is ending), on standard error.
    // Later records are not kept.
    int finish(int waitMs, bool quietly = false);

    // Reads what is new in the computers' logs into the file, on the writer's thread (the first
    // time in a run, after putting what this computer learnt before it kept a log into its log);
    // false when there is no log to merge. merged is called on this thread after each slice
    // that brought records that were not there before, and at the end (finished true).
    bool merge();
    void setMergedHandler(std::function<void(bool finished)> merged) {
        merged_ = std::move(merged);
    }
    // Waits (at most waitMs) for every write and merge before it; false when they did not end.
    bool settle(int waitMs);
    // The log files a merge could not read whole (still arriving, or damaged): read again at
    // the next merge.
    QStringList unfinishedLogs() const;

    static constexpr int SchemaVersion = historyfile::SchemaVersion;
    // Another computer's clock ahead of this one's by more than this is told of.
    static constexpr qint64 ClockAheadToldMs = 5 * 60 * 1000;

private:
    // What the slices of one merge found, together.
    struct MergeRun;
    // A merge begins: of the computers' logs, or (logs false) only of the words an earlier one
    // left waiting.
    void beginMerge(bool logs);
    void mergeSlice(const std::shared_ptr<MergeRun>& run);
    void noteNotebook(const QList<NotebookEvent>& events);
    // Puts the records from before this computer kept a log into its log.
    void exportEarlier();
    // Shows what the writer has to tell.
    void deliver();
    template <typename T, typename Fill> Answered<T> read(Fill fill);

    MessageBoxes& messages_;
    QTimeZone zone_;
    std::shared_ptr<OwnLog> ownLog_; // written on the writer's thread
    std::function<void(bool finished)> merged_;
    bool exported_ = false;
    // Merges posted and not yet through (or let go), counted on the writer's thread too.
    std::shared_ptr<std::atomic<int>> merges_ = std::make_shared<std::atomic<int>>(
        0); // this run's first merge has put the earlier records into the log
    std::unique_ptr<QObject> relay_; // lives on this thread, for the writer's news
    std::unique_ptr<HistoryWriter> writer_;
    bool finished_ = false;
};
