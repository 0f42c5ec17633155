#pragma once

#include <QString>

// Plays a wave file to its end before returning; the window keeps painting meanwhile.
class Sound {
public:
    virtual ~Sound() = default;
    virtual void play(const QString& wavePath) = 0;
};
