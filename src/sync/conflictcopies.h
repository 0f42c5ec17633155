#pragma once

#include "fileio.h"

#include <QSet>
#include <QStringList>

// The folder the copies go into once merged: in the data folder, and beside the logs.
inline const QString SetAsideName = QStringLiteral("已合并");

// What became of the copies a sync program made of Vokarin's own files.
struct CopiesTidied final {
    QStringList merged;     // file names merged (or, for the settings, set aside)
    QStringList unreadable; // left where they are, to be tried again
    FileResult written;     // of the notebook, when copies were merged into it
};

// The copies of the notebook (scb.txt) in its folder are merged into it, each word once, the
// notebook's own first and then each copy's in turn, leaving out the words in takenOut (taken
// out of the notebook on some computer after they were last put in: learnt there), which the
// notebook itself loses too; the copies of the shared settings file (csh2.dat) in dataFolder
// lose to the file itself. Either kind then goes into setAsideFolder, so that the chooser and
// the drill never meet them; nothing is deleted. A copy that cannot be read stays where it is;
// when the notebook cannot be written, every copy stays. Nothing there is followed out of
// dataFolder.
CopiesTidied tidyConflictCopies(const QString& notebookPath, const QString& dataFolder,
                                const QString& setAsideFolder, const QSet<QString>& takenOut = {});

// Moves file into folder, under a name of its own there.
bool setAside(const QString& file, const QString& folder);
