// Writes the application icon as a PNG for the desktop entry.
#include "services/appicon.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkicon OUTPUT.png\n");
        return 2;
    }
    return appIconImage(256).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
