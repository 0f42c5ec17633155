#pragma once

#include "platform/clock.h"

class SystemClock final : public Clock {
public:
    QTime now() const override { return QTime::currentTime(); }
};
