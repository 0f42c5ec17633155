#pragma once

#include <QTime>

// Time of day, and the date with it for the learner's history.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QTime now() const = 0;
    // Milliseconds since the Unix epoch (UTC).
    virtual qint64 epochMs() const = 0;
};
