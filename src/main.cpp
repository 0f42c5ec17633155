#include "mainwindow/frmmain.h"
#include "module1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vokarin"));
    Module1 module(QCoreApplication::applicationDirPath());
    frmMain window(module);
    window.show();
    return QApplication::exec();
}
