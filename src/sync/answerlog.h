#pragma once

#include "services/history.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A computer's own log of its answers and runs, in the learner's data folder, which a sync
// program may carry to other computers. Each computer appends to its own log only and never
// writes another's; every computer's history is rebuilt from the union of all logs.
//
// The log is UTF-8 text: a header line naming the computer, then one record a line, its fields
// separated by tabs (tab, line end and backslash escaped), ending with a checksum of the line:
//   VOKARIN-LOG 1 <device>
//   A <answered at> <lesson> <english> <chinese> <zh-en 0/1> <mode> <correct> <revealed> <ms> <crc>
// (the mode by name: choice, typing, listening; the first logs wrote it as a number, 0 to 2,
// and are read as they are)
//   S <started at> <ended at> <minutes> <lesson files, separated by U+001F> <crc>
//   N <at> <english> <chinese> <1: put into the notebook, 0: taken out of it> <crc>
// A record is known by its computer and its time (and for an answer, its word), so that the
// same record read twice (from a sync program's copy) counts once.

// Where a computer's log lives: the history folder of the data folder.
QString logFileName(const QString& device);

QByteArray logHeader(const QString& device);
QByteArray logLine(const AnswerRecord& answer);
QByteArray logLine(const SessionRecord& session);

// A word put into the new-word notebook, or taken out of it (learnt in its review), at a time:
// the notebook's copies from other computers bring back only words put in after they were
// taken out.
struct NotebookEvent final {
    qint64 at = 0;
    QString english;
    QString chinese;
    bool added = true;
};
QByteArray logLine(const NotebookEvent& event);

// What a reading of a log from a byte offset found.
struct LogRead final {
    QList<AnswerRecord> answers;
    QList<SessionRecord> sessions;
    QList<NotebookEvent> notebook;
    // Up to here the log was read whole and sound: a later reading starts here. A line cut off
    // at the end (still arriving) or damaged stops it, so that it is read again.
    qint64 readTo = 0;
    qint32 damaged = 0; // the line that stopped the reading was damaged (0 or 1)
    // How far the latest time read (a month ahead at most) lies ahead of now: a clock that is
    // fast.
    qint64 aheadMs = 0;
};

// A log's line is far shorter than this; a longer one is damage, and stops the reading.
inline constexpr qsizetype LongestLogLine = 8 * 1024;
// Times a log may hold: from 2000-01-01 to a day after this computer's now. Anything else,
// and a response time over a day, is damage.
inline constexpr qint64 EarliestLogTime = 946684800000;
inline constexpr qint64 LatestLogAhead = 24 * 60 * 60 * 1000;

// The device a log's first line names; empty when it is no log of ours (or not yet whole).
QString logDevice(const QByteArray& firstBytes);

// Reads the records of tail, the log's bytes from offset (0: the header comes first), up to
// the first line that is damaged, too long or cut off; now is this computer's time.
LogRead readLog(QByteArrayView tail, qint64 offset, qint64 now);
