#include "folders.h"
#include "lessons/flashcardpackage.h"
#include "module1.h"
#include "qtservices/appicon.h"
#include "qtservices/commandline.h"
#include "qtservices/mediaservices.h"
#include "qtservices/modules.h"
#include "qtservices/qtcolourchooser.h"
#include "qtservices/qtfiledialogs.h"
#include "qtservices/qtmessageboxes.h"
#include "qtservices/qttranslation.h"
#include "qtservices/sessionend.h"
#include "qtservices/singleinstance.h"
#include "services/platform.h"
#include "services/systemclock.h"
#include "services/systemrandom.h"
#include "sqlitehistory.h"
#include "sync/folderwatch.h"
#include "windows/deferredicons.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimeZone>

int main(int argc, char* argv[]) {
    const CommandLine line = readCommandLine(argc, argv);
    if (line.exit)
        return *line.exit;
    QApplication app(argc, argv);
    QApplication::setStyle(new DeferredIconsStyle);
    QApplication::setApplicationName(QStringLiteral("Vokarin"));
    installChineseTranslation(app);

    QtMessageBoxes messages;
    QtFileDialogs files;
    QtColourChooser colours;
    const QStringList modules = moduleFolders(QCoreApplication::applicationDirPath());
    MediaServices media(modules);
    setPackageReader([modules] {
        return qobject_cast<PackageReader*>(
            moduleInstance(modules, QStringLiteral("vokarin-packages")));
    });
    SystemClock clock;
    SystemRandom random;

    // Beside the program, or in the learner's data folder when installed for every user.
    const Folders folders =
        locateFolders(QCoreApplication::applicationDirPath(),
                      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (!prepareAppFolder(folders))
        qWarning("cannot make the application folder %s", qPrintable(folders.app));
    Module1 module(folders.app, folders.resources);
    module.SpeechObject = &media.speech();

    // The lock is this computer's: two computers may study in one shared data folder at once.
    SingleInstance instance(module.AppFolder);
    switch (instance.claim(messages, line.files)) {
    case SingleInstance::Start::OtherRaised:
    case SingleInstance::Start::OtherSilent:
        return 0;
    case SingleInstance::Start::First:
    case SingleInstance::Start::Unlocked:
        break;
    }

    // The history's file stays on this computer; with a data folder of the learner's own, each
    // computer also logs its answers there and merges the others' logs.
    module.LoadPreferences();
    const bool shared = !module.DataFolder.isEmpty();
    SqliteHistory history(QDir(module.AppFolder).filePath(QStringLiteral("vokarin.db")), messages,
                          QTimeZone::systemTimeZone(),
                          shared ? HistoryLog{module.historyFolder(), module.DeviceId}
                                 : HistoryLog{});
    const Platform platform{messages, files, colours, media.sound(), clock, random, history};
    FolderWatch watch(module, history, messages);
    // Before anything in a shared data folder is read (the settings, the notebook), whatever
    // another computer or person put where Vokarin's own files belong is looked at.
    watch.guard();

    frmMain window(module, platform);
    window.setStartFiles(line.files);
    // Drawing the icon's sizes takes its fonts a while: it comes just after the first paint.
    QObject::connect(&window, &frmMain::startingUp, &app,
                     [] { QApplication::setWindowIcon(appIcon()); });
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(&instance, &SingleInstance::filesRequested, &window, &frmMain::studyFiles);
    QObject::connect(&watch, &FolderWatch::changed, &window,
                     [&window] { window.engine().historyChanged(); });
    QObject::connect(&window, &frmMain::dataFolderChanged, &watch, &FolderWatch::catchUp);
    // The other computers' news are read once the window is on screen, before the notebook's
    // review and the due count, which wait for them.
    QObject::connect(&window, &frmMain::startingUp, &watch, &FolderWatch::catchUp);
    // A logout, a shutdown or Ctrl+C closes the program as its close box does: the notebook
    // and the run are kept, the lock let go. Open dialogs and message boxes go with it.
    SessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &SessionEnd::endRequested, &window, [&window] {
        window.endSession();
        QApplication::quit();
    });
    window.show();
    const int status = QApplication::exec();
    // The answers still waiting are written; a session that is ending is not held up by a
    // message box about those that could not be.
    history.finish(sessionEnd.requested() ? 2000 : 5000, sessionEnd.requested());
    return status;
}
