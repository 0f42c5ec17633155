#include "mainwindow/frmmain.h"
#include "module1.h"
#include "platform/appicon.h"
#include "platform/platform.h"
#include "platform/qtcolourchooser.h"
#include "platform/qtfiledialogs.h"
#include "platform/qtmessageboxes.h"
#include "platform/qtsound.h"
#include "platform/qtspeech.h"
#include "platform/qttranslation.h"
#include "platform/singleinstance.h"
#include "platform/systemclock.h"
#include "platform/systemrandom.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vokarin"));
    QApplication::setWindowIcon(appIcon());
    installChineseTranslation(app);

    QtMessageBoxes messages;
    QtFileDialogs files;
    QtColourChooser colours;
    QtSound sound;
    QtSpeech speech;
    SystemClock clock;
    SystemRandom random;
    const Platform platform{messages, files, colours, sound, clock, random};

    Module1 module(QCoreApplication::applicationDirPath());
    module.SpeechObject = &speech;

    SingleInstance instance(module.AppFolder);
    switch (instance.claim(messages)) {
    case SingleInstance::Start::OtherRaised:
    case SingleInstance::Start::OtherSilent:
        return 0;
    case SingleInstance::Start::First:
    case SingleInstance::Start::Unlocked:
        break;
    }

    frmMain window(module, platform);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    });
    window.show();
    return QApplication::exec();
}
