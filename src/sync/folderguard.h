#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The learner's shared data folder is written by others too: the other computer, its sync
// program, a classmate the folder is shared with, a broken disk. Where one of Vokarin's own
// folders or files belongs there, only a real folder or a regular file is used; a link (which
// would lead Vokarin's reads and writes out of the folder), a pipe or a device is set apart
// under a name of its own beside it, never deleted and never followed.

// What a look over the folder set apart.
struct Guarded final {
    struct Moved final {
        QString place; // where it stood
        QString now;   // its name now, beside it
    };
    QList<Moved> setApart;
    QStringList stuck; // could not be renamed: left where they are, and not used
};

// Looks at lesson/, history/, 已合并/ and history/已合并/, the notebook (scb.txt) and its
// copies, the computers' logs and their copies, and csh2.dat and its copies in root.
Guarded guardDataFolder(const QString& root);

// Renames what stands at path (the entry itself, never what it leads to) to
// "<name>.已搁置-<date and time>" beside it; the new path, or empty when it could not be.
QString setApart(const QString& path);

// What the learner is told of place: set apart as now (its new path), or, with now empty,
// left where it is because it could not be renamed.
QString setApartMessage(const QString& place, const QString& now);

// Whether fileName is a name setApart gives.
bool isSetApart(const QString& fileName);

// Whether the entry at path is what a shared folder may hold in Vokarin's place: a real
// folder (folder true) or a regular file; true when there is nothing at path.
bool isPlainEntry(const QString& path, bool folder);
