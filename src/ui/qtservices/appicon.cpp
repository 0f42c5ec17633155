#include "qtservices/appicon.h"

// The icon is drawn at build time (tools/mkicon.cpp) and compiled in: drawing it here would
// load its fonts at every start.
QIcon appIcon() {
    QIcon icon;
    for (const int size : AppIconSizes)
        icon.addFile(QStringLiteral(":/icons/vokarin-%1.png").arg(size), QSize(size, size));
    return icon;
}
