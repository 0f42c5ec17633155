// Writes the application icon as a PNG for the desktop entry, 256 pixels unless told.
#include "services/appicon.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int size = argc == 3 ? std::atoi(argv[2]) : 256;
    if (argc < 2 || argc > 3 || size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: mkicon OUTPUT.png [SIZE]\n");
        return 2;
    }
    return appIconImage(size).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
