#pragma once

#include "services/colourchooser.h"

class QtColourChooser final : public ColourChooser {
public:
    std::optional<quint32> choose(quint32 initial) override;
};
