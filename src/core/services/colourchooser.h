#pragma once

#include <QtGlobal>
#include <optional>

// The common colour dialog; colours are 0x00BBGGRR. Empty when the learner cancels.
class ColourChooser {
public:
    virtual ~ColourChooser() = default;
    virtual std::optional<quint32> choose(quint32 initial) = 0;
};
