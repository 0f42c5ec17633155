#pragma once

#include "services/sound.h"

#include <QObject>

class PcmPlayer;

class QtSound final : public QObject, public Sound {
    Q_OBJECT

public:
    enum class Outcome { None, Played, DefaultSound, NoDevice, Failed, TimedOut };

    explicit QtSound(QObject* parent = nullptr);
    void play(const QString& wavePath) override;

    // How the last play ended; for diagnosis and tests.
    Outcome lastOutcome() const { return outcome_; }

    // Length of a wave file the alarm can play, in milliseconds, or -1 when it cannot play it.
    static qint64 waveLength(const QString& wavePath);

private:
    // Made the first time the alarm sounds; every playing has a sink of its own.
    PcmPlayer* player_ = nullptr;
    Outcome outcome_ = Outcome::None;
};
