#include "windows/colours.h"

#include "settings/settingsfile.h"

QColor toQColor(quint32 colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

quint32 fromQColor(const QColor& colour) {
    return quint32(colour.red()) | quint32(colour.green()) << 8 | quint32(colour.blue()) << 16;
}

QColor colourOf(const QString& text) {
    return toQColor(colourFromText(text).value_or(0));
}

QString colourText(const QColor& colour) {
    return colourToText(fromQColor(colour));
}
