#pragma once

// The merge of the computers' logs in the learner's data folder into the history's file: what
// is new in each log, read in bounded pieces, goes in; the words and days it touches are
// brought up to date through the word store. One slice at a time.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <map>

namespace historyfile {

// What a merge found: how many records were new, the files it could not read whole yet, how
// far ahead of this computer's clock each computer's latest record lies, and whether it stopped
// for its slice was full (more is to come).
struct Merged final {
    qint64 records = 0;
    QStringList unfinished;
    std::map<QString, qint64> ahead;
    bool more = false;
};

// A merge goes in slices of about this many records, each in a transaction of its own, so that
// the run's own answers go in between and a closing program waits for one slice at most.
constexpr qint64 SliceRecords = 2000;
// A log is read this many bytes at a time, whatever its size.
constexpr qint64 PieceBytes = 512 * 1024;

// Reads what is new in every computer's log in folder (and in the copies set aside), puts
// the records not yet in the file into it, and brings the words and days they touch up to
// date: one slice of it, at most about SliceRecords records (merged.more says that more is
// left). A log is read in pieces; a line cut off, damaged or too long stops its reading there,
// to be read again later; nothing is ever deleted. now: this computer's time, beyond which a
// day ahead is damage.
QSqlError mergeLogs(QSqlDatabase& db, const QString& folder, const QTimeZone& zone, qint64 now,
                    Merged& merged);

} // namespace historyfile
