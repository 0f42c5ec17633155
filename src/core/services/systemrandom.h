#pragma once

#include "services/random.h"

#include <QDateTime>
#include <QRandomGenerator>

class SystemRandom final : public Random {
public:
    double next() override { return generator_.generateDouble(); }
    void reseed() override {
        generator_.seed(quint32(QDateTime::currentMSecsSinceEpoch() & 0xFFFFFFFF));
    }

private:
    QRandomGenerator generator_{quint32(QDateTime::currentMSecsSinceEpoch() & 0xFFFFFFFF)};
};
