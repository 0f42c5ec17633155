#pragma once

// Words whose answers from other computers are in the file but not yet worked into their rows.
// A merge puts the answers in first, slice by slice, noting each word here with the time of its
// earliest new answer and the row of its first; then works each word out once: on from its row
// when all its new answers are later than its last, from all its answers otherwise. The days'
// reviews are brought up to date by the same working out, so they are never counted from the
// answers again.

#include "records.h"
#include "scheduling/wordmemory.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlError>

namespace historyfile {

using WordKey = QPair<QString, QString>;

// The words a merge has noted as waiting, with the earliest time noted for each: a word is
// written again only when an answer earlier than that comes.
class WaitingWords final {
public:
    // One new answer to the word, put in at that row.
    void note(const WordKey& word, qint64 at, qint64 row);
    // What was noted since the last time, into the file.
    QSqlError write(QSqlDatabase& db);

private:
    struct Waiting final {
        qint64 from, firstRow;
    };
    QHash<WordKey, qint64> written_;
    QHash<WordKey, Waiting> fresh_;
};

// Works out waiting words until about budget answers have been read or the deadline has come;
// more says some still wait.
QSqlError workOutWaitingWords(QSqlDatabase& db, LearnersDays& days, qint64 budget,
                              const QDeadlineTimer& deadline, bool& more);

// An answer given on this computer to a word that waits: the answer is worked in with the rest.
// Sets waiting when the word waits (and then notes the answer's time).
QSqlError noteAnswerToWaitingWord(QSqlDatabase& db, const AnswerRecord& answer, bool& waiting);

} // namespace historyfile
