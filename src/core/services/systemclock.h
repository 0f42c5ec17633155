#pragma once

#include "services/clock.h"

class SystemClock final : public Clock {
public:
    QTime now() const override { return QTime::currentTime(); }
};
