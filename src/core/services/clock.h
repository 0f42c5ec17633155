#pragma once

#include <QTime>

// Time of day.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QTime now() const = 0;
};
