#pragma once

#include "fileio.h"
#include "services/speech.h"
#include "settings/settingsrecord.h"

#include <QString>
#include <QStringList>

class Speech;

// State shared by every window for the whole run. main() makes one; tests make their own
// against a temporary application folder.
struct Module1 final {
    // appFolder holds what the program writes; resourceFolder (the same unless given) what it
    // only reads.
    explicit Module1(QString appFolder, QString resourceFolder = {});

    QString AppFolder;
    QString ResourceFolder; // ERROR.wav

    SettingsRecord Settings;
    QString SettingsPath;
    qint32 SavedChoiceCount = 3;

    // The lesson files chosen in the chooser, studied in order, as handed over. Where the run
    // stands in them, and its practice times, are the drill's own.
    QStringList SelectedFiles;
    qint32 SelectedFileCount = 0;

    // The one text-to-speech object of the run; owned by main() (or a test).
    Speech* SpeechObject = nullptr;

    // Reads csh2.dat, writing the defaults first when it is missing. Whatever goes wrong, the
    // fields end up usable (defaults where nothing could be read); the result says what failed.
    FileResult LoadSettings();

    // Writes the fields back to csh2.dat.
    FileResult SaveSettings() const;

    // Options beyond csh2.dat's records, in vokarin.ini beside it. Off unless set there.
    bool ForgivingTyping = false;           // typed answers judged as a person would
    bool ShowRightAnswer = false;           // the right answer at the moment of a mistake
    Accent SpeechAccent = Accent::American; // the pronunciation the voice is chosen for
    bool ShowPronunciation = false;         // the asked word's pronunciation beside it
    qint32 EditorOpenFilter = 0;            // the kind of list the editor's 打开 showed last
    // The folder the learner keeps the lessons, the notebook and the answers' logs in (one a
    // sync program may carry to other computers); empty: the application folder. csh2.dat stays
    // in the application folder unless ShareSettings. vokarin.ini, the history's file and the
    // lock always stay on this computer.
    QString DataFolder;
    bool ShareSettings = false;
    // This computer's name in the data folder, made once a data folder is chosen and kept in
    // vokarin.ini; a new one is made when vokarin.ini was copied from another computer.
    QString DeviceId;
    // Names this computer when it has no name yet.
    void nameThisComputer();
    void LoadPreferences();
    // False when vokarin.ini could not be written.
    bool SavePreferences() const;

    QString dataFolder() const;
    // The data folder when it is the learner's own, shared with other computers (what others
    // write there is never followed out of it); empty otherwise.
    QString sharedFolder() const { return DataFolder; }
    QString lessonFolder() const;
    QString notebookPath() const;
    // Where the recordings of words that packages carry are kept, named by their hash (hidden
    // among the lessons).
    QString recordingFolder() const;
    // The computers' answer logs.
    QString historyFolder() const;
    // Where copies a sync program made of Vokarin's files go once merged.
    QString mergedFolder() const;
};
