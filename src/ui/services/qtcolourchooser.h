#pragma once

#include "services/colourchooser.h"

#include <QColor>

class QtColourChooser final : public ColourChooser {
public:
    std::optional<quint32> choose(quint32 initial) override;
};

// 0x00BBGGRR values and QColor, both ways.
QColor toQColor(quint32 colour);
quint32 fromQColor(const QColor& colour);
