#include "mainwindow/frmmain.h"

#include "module1.h"

frmMain::frmMain(Module1& module, QWidget* parent)
    : QMainWindow(parent)
    , module_(module) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vokarin2.0"));
    Form_Load();
}

void frmMain::Form_Load() {
    // The program starts with defaults in memory even when the folder cannot be written.
    (void)module_.LoadSettings();
    resize(640, 480);
}
