#include "qtsound.h"
#include "pcmplayer.h"
#include "wavefile.h"

#include <QApplication>
#include <QAudioDevice>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QTimer>

namespace {

// A server may report the end of a sound late (two seconds late on a null sink), so the wait
// ends by the clock too: once the sound's own length and a little latency have passed, it has
// been heard, and whatever the server still holds plays on by itself.
constexpr qint64 LatencyMs = 250;

} // namespace

QtSound::QtSound(QObject* parent)
    : QObject(parent) {}

qint64 QtSound::waveLength(const QString& wavePath) {
    const std::optional<Wave> wave = readWave(wavePath);
    return wave ? wave->lengthMs() : -1;
}

void QtSound::play(const QString& wavePath) {
    if (!QFileInfo(wavePath).isFile()) {
        QApplication::beep();
        outcome_ = Outcome::DefaultSound;
        return;
    }
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        outcome_ = Outcome::NoDevice;
        return;
    }
    const std::optional<Wave> wave = readWave(wavePath);
    if (!wave) {
        qCWarning(lcPlayer) << "cannot play" << wavePath << "(not a PCM wave file)";
        outcome_ = Outcome::Failed;
        return;
    }
    if (!player_)
        player_ = new PcmPlayer(this);
    if (!player_->play(*wave)) {
        outcome_ = Outcome::Failed;
        return;
    }
    QEventLoop loop;
    outcome_ = Outcome::Played;
    connect(player_, &PcmPlayer::ended, &loop, [&](bool whole) {
        if (!whole)
            outcome_ = Outcome::Failed;
        loop.quit();
    });
    QTimer::singleShot(wave->lengthMs() + LatencyMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
