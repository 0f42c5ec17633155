#pragma once

#include <QString>
#include <functional>

// Where the program's files are. "The application folder" is this computer's: the learner's
// data folder (shared with other computers, Module1::DataFolder) is another thing, chosen in the
// settings.
struct Folders final {
    QString app;       // what it writes: csh2.dat, lesson/ and scb.txt, vokarin.db, vokarin.ini,
                       // the lock
    QString resources; // what it only reads: ERROR.wav, and the sample lessons in lesson/
    bool perUser = false;
};

// The one place that decides. A portable folder (the build's Vokarin/, a `cmake --install`
// folder, a copy on a stick) keeps everything beside the program, as always. Installed under a
// prefix (bin/vokarin with share/vokarin/ beside bin/), or in a folder that cannot be written,
// the program reads from there and writes into userData, the per-user application folder.
Folders locateFolders(const QString& programFolder, const QString& userData,
                      const std::function<bool(const QString&)>& writable = {});

// On the first start with a per-user application folder: creates it, with the sample lessons
// copied into its lesson/. A lesson folder that is already there is left as the learner keeps
// it. False when the folder cannot be made.
bool prepareAppFolder(const Folders& folders);
