#include "services/qtcolourchooser.h"

#include <QApplication>
#include <QColorDialog>

QColor toQColor(quint32 colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

quint32 fromQColor(const QColor& colour) {
    return quint32(colour.red()) | quint32(colour.green()) << 8 | quint32(colour.blue()) << 16;
}

std::optional<quint32> QtColourChooser::choose(quint32 initial) {
    const QColor picked = QColorDialog::getColor(toQColor(initial), QApplication::activeWindow());
    if (!picked.isValid())
        return std::nullopt;
    return fromQColor(picked);
}
