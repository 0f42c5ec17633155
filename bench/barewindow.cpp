// The yardsticks for start-up: a bare Qt window of the main window's size and nothing else, or
// (with --text) the same window showing one line of Chinese, which is what costs a window its
// fonts.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Vokarin2.0"));
    window.resize(394, 366);
    if (QApplication::arguments().contains(QStringLiteral("--text")))
        (new QLabel(QStringLiteral("共计 100"), &window))->move(8, 340);
    window.show();
    return QApplication::exec();
}
