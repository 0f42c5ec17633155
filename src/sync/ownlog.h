#pragma once

// This computer's own log of answers and runs in the learner's data folder (see
// sync/answerlog.h), and what a merge could not read whole.

#include "fileio.h"
#include "records.h"
#include "sqlitehistory.h"
#include "sync/answerlog.h"
#include "sync/folderguard.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

// This computer's log: appended to on the writer's thread only; what a merge could not read
// whole, for any thread to ask.
class OwnLog final {
public:
    explicit OwnLog(HistoryLog log)
        : log_(std::move(log)) {}

    void setLog(HistoryLog log) {
        const std::lock_guard lock(mutex_);
        log_ = std::move(log);
        failed = false;
    }
    HistoryLog log() const {
        const std::lock_guard lock(mutex_);
        return log_;
    }
    bool enabled() const { return !log().device.isEmpty(); }
    QString folder() const { return log().folder; }
    QString device() const { return log().device; }
    QString name() const { return logFileName(device()); }

    // Appends lines, the header first in a new log; false when the log cannot be written.
    bool append(const QByteArray& lines, qint64& before, qint64& after) {
        const HistoryLog log = this->log();
        // The folder is the shared one's: never a link out of it.
        if (!isPlainEntry(log.folder, true) || !QDir().mkpath(log.folder) ||
            !isPlainEntry(log.folder, true))
            return false;
        const QString path = QDir(log.folder).filePath(logFileName(log.device));
        int fd = openOwnLog(path, false);
        if (fd == -2) {
            // Something else stands in the log's place: it goes aside, and a new log begins.
            const QString now = setApart(path);
            {
                const std::lock_guard lock(mutex_);
                messages_
                    << (now.isEmpty()
                            ? QStringLiteral("本机的答题日志“%1”不是本机写的普通文件（是链接、"
                                             "管道、设备或别人的文件），又无法改名搁在一边："
                                             "这次不往那里写。")
                                  .arg(displayPath(path))
                            : QStringLiteral("本机的答题日志“%1”不是本机写的普通文件（是链接、"
                                             "管道、设备或别人的文件）：已改名为“%2”放在原处，"
                                             "没有删除，也没有往里写；新的日志重新开始。")
                                  .arg(displayPath(path), QFileInfo(now).fileName()));
            }
            fd = now.isEmpty() ? -1 : openOwnLog(path, true);
        }
        if (fd < 0)
            return false;
        struct stat info {};
        bool written = ::fstat(fd, &info) == 0;
        before = info.st_size;
        const QByteArray bytes = before == 0 ? logHeader(log.device) + lines : lines;
        for (qsizetype done = 0; written && done < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            written = n > 0;
            done += qMax<ssize_t>(n, 0);
        }
        written = ::fstat(fd, &info) == 0 && written;
        after = info.st_size;
        ::close(fd);
        return written;
    }

    // This computer's log opened for appending without following a link, and used only when it
    // is a regular file of this user's: a descriptor; -2 when something else stands there; -1
    // when it cannot be opened. fresh: it must be made now.
    static int openOwnLog(const QString& path, bool fresh) {
        const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC |
                          (fresh ? O_EXCL : 0);
        const int fd = ::open(nativePath(path).constData(), flags, 0644);
        if (fd < 0)
            return errno == ELOOP || errno == ENXIO || errno == EEXIST ? -2 : -1;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            ::close(fd);
            return -2;
        }
        return fd;
    }

    // Lines appended, and the log's reading moved on past them when it had been read to their
    // start (a merge need not read a computer's own answers back). A log that cannot be written
    // is told of once; the history in the file goes on.
    QSqlError write(QSqlDatabase& db, const QByteArray& lines) {
        qint64 before = 0, after = 0;
        if (!append(lines, before, after)) {
            const std::lock_guard lock(mutex_);
            if (!failed) {
                failed = true;
                messages_ << QStringLiteral(
                                 "本机的答题日志“%1”无法写入，别的电脑暂时看不到这里的练习。")
                                 .arg(QDir::toNativeSeparators(
                                     QDir(log_.folder).filePath(logFileName(log_.device))));
            }
            return {};
        }
        QSqlQuery query(db);
        query.prepare(QStringLiteral("UPDATE logs SET size = ?, read_to = ? WHERE name = ? AND"
                                     " read_to = ?"));
        for (const QVariant& value :
             {QVariant(after), QVariant(after), QVariant(name()), QVariant(before)})
            query.addBindValue(value);
        if (!query.exec())
            return query.lastError();
        if (query.numRowsAffected() == 0 && before == 0)
            return historyfile::run(
                db,
                QStringLiteral("INSERT OR IGNORE INTO logs(name, device, size, read_to)"
                               " VALUES (?, ?, ?, ?)"),
                {name(), device(), after, after});
        return {};
    }

    QStringList takeMessages() {
        const std::lock_guard lock(mutex_);
        return std::exchange(messages_, {});
    }

    // Tells of a computer whose clock is ahead, once a run.
    void tellAhead(const QString& device, const QString& text) {
        const std::lock_guard lock(mutex_);
        if (!aheadTold_.contains(device)) {
            aheadTold_.insert(device);
            messages_ << text;
        }
    }

    void setUnfinished(const QStringList& names) {
        const std::lock_guard lock(mutex_);
        unfinished_ = names;
    }
    QStringList unfinished() const {
        const std::lock_guard lock(mutex_);
        return unfinished_;
    }

private:
    HistoryLog log_;
    mutable std::mutex mutex_;
    bool failed = false; // told once
    QStringList messages_;
    QStringList unfinished_;
    QSet<QString> aheadTold_;
};
