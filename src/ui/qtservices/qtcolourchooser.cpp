#include "qtservices/qtcolourchooser.h"

#include "windows/colours.h"

#include <QApplication>
#include <QColorDialog>

std::optional<quint32> QtColourChooser::choose(quint32 initial) {
    const QColor picked = QColorDialog::getColor(toQColor(initial), QApplication::activeWindow());
    if (!picked.isValid())
        return std::nullopt;
    return fromQColor(picked);
}
