#pragma once

// The merge of the computers' logs in the learner's data folder into the history's file: what
// is new in each log, read in bounded pieces, goes in; the words and days it touches are
// brought up to date once every log has been read (waitingwords.h). One slice at a time.

#include "sync/mergeslices.h"
#include "waitingwords.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
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

// Reads what is new in every computer's log in folder (and in the copies set aside), puts
// the records not yet in the file into it, and then works out the words they touched: one
// slice of it, as large as slices says (merged.more says that more is left). A log is read in
// pieces; a line cut off, damaged or too long stops its reading there, to be read again later;
// nothing is ever deleted. now: this computer's time, beyond which a day ahead is damage.
QSqlError mergeLogs(QSqlDatabase& db, const QString& folder, LearnersDays& days,
                    WaitingWords& waiting, qint64 now, Merged& merged,
                    const MergeSlices& slices = {});

} // namespace historyfile
