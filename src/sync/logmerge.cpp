#include "sync/logmerge.h"

#include "fileio.h"
#include "records.h"
#include "sync/answerlog.h"
#include "sync/conflictcopies.h"
#include "sync/conflicts.h"
#include "wordstore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace historyfile {

namespace {

// A peer's log opened for reading without following a link; -1 unless it is a regular file.
int openPeerLog(const QString& path, qint64& size) {
    const int fd =
        ::open(nativePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    size = info.st_size;
    return fd;
}

// Up to bytes of fd from offset.
QByteArray readPiece(int fd, qint64 offset, qint64 bytes) {
    QByteArray piece(qsizetype(bytes), Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd, piece.data() + got, size_t(bytes - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    piece.truncate(qsizetype(got));
    return piece;
}

} // namespace

// Reads what is new in every computer's log in folder (and in the copies set aside), puts
// the records not yet in the file into it, and then works out the words they touched: one
// slice of it, as large as slices says (merged.more says that more is left). A log is read in
// pieces; a line cut off, damaged or too long stops its reading there, to be read again later;
// nothing is ever deleted. now: this computer's time, beyond which a day ahead is damage.
QSqlError mergeLogs(QSqlDatabase& db, const QString& folder, LearnersDays& days,
                    WaitingWords& waiting, qint64 now, Merged& merged, const MergeSlices& slices) {
    const auto logs = [](const QString& in) {
        return QDir(in).entryInfoList({QStringLiteral("*.log")}, QDir::Files | QDir::NoSymLinks,
                                      QDir::Name);
    };
    // Without a folder, only the words an earlier merge left waiting are worked out.
    QFileInfoList files;
    if (!folder.isEmpty())
        files = logs(folder) + logs(QDir(folder).filePath(SetAsideName));
    QSqlQuery known(db), note(db), session(db), notebookEvent(db);
    sqlite3* const handle = handleOf(db);
    if (!handle)
        return notSqlite();
    AnswerInserter insert(handle);
    notebookEvent.prepare(NoteNotebookEvent);
    known.prepare(QStringLiteral("SELECT device, size, read_to FROM logs WHERE name = ?"));
    note.prepare(QStringLiteral("INSERT OR REPLACE INTO logs(name, device, size, read_to)"
                                " VALUES (?, ?, ?, ?)"));
    session.prepare(InsertSession);
    DayCounts counts;
    qint64 budget = slices.records;
    const QDeadlineTimer deadline(slices.ms);
    // The slice is full when its records are read or its time has gone.
    const auto full = [&] { return budget <= 0 || deadline.hasExpired(); };
    for (const QFileInfo& info : std::as_const(files)) {
        const QString name = QDir(folder).relativeFilePath(info.absoluteFilePath());
        qint64 size = 0;
        const int fd = openPeerLog(info.absoluteFilePath(), size);
        if (fd < 0)
            continue; // read next time, or never: no regular file
        const struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        const QString device = logDevice(readPiece(fd, 0, 256));
        if (device.isEmpty()) {
            merged.unfinished << name; // not one of ours, or its first line still arriving
            continue;
        }
        if (full()) {
            merged.more = true;
            break;
        }
        known.addBindValue(name);
        if (!known.exec())
            return known.lastError();
        qint64 from = 0;
        if (known.next() && known.value(0).toString() == device &&
            known.value(2).toLongLong() <= size)
            from = known.value(2).toLongLong();
        known.finish();
        if (from == size)
            continue;
        bool whole = false, damaged = false;
        QSqlError error;
        const QByteArray deviceUtf8 = device.toUtf8();
        while (!full()) {
            const LogRead read =
                readLog(readPiece(fd, from, qMin(slices.pieceBytes, size - from)), from, now);
            if (read.aheadMs > 0)
                merged.ahead[device] = qMax(merged.ahead[device], read.aheadMs);
            for (const AnswerRecord& answer : read.answers) {
                --budget;
                if (!insert.insert(answer, deviceUtf8, error)) {
                    if (error.isValid())
                        return error;
                    continue;
                }
                ++merged.records;
                waiting.note({answer.english, answer.chinese}, answer.answeredAt,
                             sqlite3_last_insert_rowid(handle));
                ++counts[{days.of(answer.answeredAt), directionName(answer.chineseAsked),
                          modeName(answer.facts.mode)}]
                      .answers;
            }
            for (const NotebookEvent& event : read.notebook) {
                --budget;
                for (const QVariant& value : notebookEventValues(event))
                    notebookEvent.addBindValue(value);
                if (!notebookEvent.exec())
                    return notebookEvent.lastError();
            }
            for (const SessionRecord& run : read.sessions) {
                --budget;
                for (const QVariant& value : sessionValues(run, device))
                    session.addBindValue(value);
                if (!session.exec())
                    return session.lastError();
                merged.records += session.numRowsAffected() > 0;
            }
            damaged = read.damaged > 0;
            const bool onwards = read.readTo > from;
            from = read.readTo;
            whole = from == size;
            if (damaged || whole || !onwards)
                break;
        }
        if (!whole && full())
            merged.more = true;
        if (damaged || (!whole && !merged.more))
            merged.unfinished << name;
        for (const QVariant& value :
             {QVariant(name), QVariant(device), QVariant(size), QVariant(from)})
            note.addBindValue(value);
        if (!note.exec())
            return note.lastError();
        // A sync program's copy of a log, read whole, goes aside (it is read there again,
        // counting nothing twice, by a computer that has not read it yet).
        if (whole && isConflictCopy(info.fileName()) &&
            info.absolutePath() == QDir(folder).absolutePath())
            setAside(info.absoluteFilePath(), QDir(folder).filePath(SetAsideName));
        if (merged.more)
            break;
    }
    // The answers are counted in their days now; their words (and the days' reviews) are
    // worked out once every log has been read.
    if (QSqlError e = waiting.write(db); e.isValid())
        return e;
    if (QSqlError e = addToDays(db, counts); e.isValid())
        return e;
    if (merged.more)
        return {};
    return workOutWaitingWords(db, days, slices.answers, deadline, merged.more);
}

} // namespace historyfile
