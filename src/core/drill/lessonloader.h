#pragma once

#include "drill/wordtable.h"
#include "fileio.h"

#include <QHash>
#include <QString>

// A lesson file read into a word table, as the drill opens it: one read and one check of the
// file, then counted and split. Nothing is read when the file has fewer than two lines, and
// reading stops at the first record with an empty word or meaning.
struct LoadedLesson final {
    FileResult result;      // reading, checking or splitting failed
    qint32 lines = 0;       // as counted
    qint32 emptyRecord = 0; // the record with an empty field, or 0
    QString leftOut;        // of a word list: the rows left out, for the learner
    WordTable table;
    QHash<QString, QString> pronunciations; // word → "/ɡrɪt/": the list's own, or kept beside it
    QHash<QString, QString> recordings;     // word → the file of a package's recording of it
};

// A package's recordings are kept in recordingFolder, when one is given.
LoadedLesson loadLesson(const QString& path, qint32 unfamiliarity,
                        const QString& recordingFolder = {});

// The same; a file of at least asideBytes is loaded on a worker thread while this thread's
// event loop goes on, so that the window keeps painting. Timers and window events are
// handled meanwhile, the learner's input waits until the lesson is there.
LoadedLesson loadLessonAside(const QString& path, qint32 unfamiliarity, qint64 asideBytes,
                             const QString& recordingFolder = {});

// Files this large take long enough to load that the window is better kept painting.
inline constexpr qint64 LoadAsideBytes = 4 << 20;
