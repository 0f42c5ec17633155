#pragma once

#include "services/clock.h"

#include <QDateTime>

class SystemClock final : public Clock {
public:
    QTime now() const override { return QTime::currentTime(); }
    qint64 epochMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
};
