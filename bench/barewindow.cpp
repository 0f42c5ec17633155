// The yardstick for start-up: a bare Qt window of the main window's size and nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Vokarin2.0"));
    window.resize(394, 366);
    window.show();
    return QApplication::exec();
}
