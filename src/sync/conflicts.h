#pragma once

#include <QString>

// The copies a sync program makes when two computers changed one file:
//   Syncthing   name.sync-conflict-20261208-101500-ABCDEFG.txt
//   Nextcloud   name (conflicted copy 2026-12-08 101500).txt
//   Dropbox     name (Laptop's conflicted copy 2026-12-08).txt
// The original's file name, when fileName is such a copy; empty otherwise.
QString conflictOriginal(const QString& fileName);

inline bool isConflictCopy(const QString& fileName) {
    return !conflictOriginal(fileName).isEmpty();
}

// A sync program's copy of one of Vokarin's own files (the notebook, the settings, an answer
// log): merged or set aside by Vokarin, never shown to the learner as a lesson.
bool isCopyOfOwnFile(const QString& fileName);
