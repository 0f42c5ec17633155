#include "qtsound.h"
#include "pcmplayer.h"
#include "wavefile.h"

#include <QApplication>
#include <QAudioDevice>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QTimer>
#include <QtEndian>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace {

// A server may report the end of a sound late (two seconds late on a null sink), so the wait
// ends by the clock too: once the sound's own length and a little latency have passed, it has
// been heard, and whatever the server still holds plays on by itself.
constexpr qint64 LatencyMs = 250;

} // namespace

QtSound::QtSound(QObject* parent)
    : QObject(parent) {}

qint64 QtSound::waveLength(const QString& wavePath) {
    QFile file(wavePath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(4096);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 bytesPerSecond = 0;
    for (qsizetype pos = 12; pos + 8 <= head.size();) {
        const QByteArray id = head.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + pos + 4);
        if (id == "fmt " && pos + 16 <= head.size())
            bytesPerSecond = qFromLittleEndian<quint32>(head.constData() + pos + 16);
        if (id == "data") {
            if (bytesPerSecond == 0)
                return -1;
            const qint64 available = file.size() - (pos + 8);
            return qMin<qint64>(size, available) * 1000 / bytesPerSecond;
        }
        pos += 8 + qsizetype(size) + (size & 1);
    }
    return -1;
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
    if (!player_->play(wave->pcm, wave->format)) {
        outcome_ = Outcome::Failed;
        return;
    }
    const qint64 length = wave->format.durationForBytes(qint32(wave->pcm.size())) / 1000;
    QEventLoop loop;
    outcome_ = Outcome::Played;
    connect(player_, &PcmPlayer::ended, &loop, [&](bool whole) {
        if (!whole)
            outcome_ = Outcome::Failed;
        loop.quit();
    });
    QTimer::singleShot(length + LatencyMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
