#include "qtsound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

namespace {

// QSoundEffect reports the end of a sound late and unevenly (up to two seconds late for a short
// sound on some servers), and without a working server it may claim to play for ever. So the
// wait ends by the clock too: once the sound's own length and a little latency have passed,
// it has been heard, and whatever the server still holds drains by itself.
constexpr qint64 LatencyMs = 250;
constexpr qint64 UnknownLengthMs = 3000;

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
    const qint64 length = waveLength(wavePath);
    if (!effect_)
        effect_ = new QSoundEffect(this);
    const QUrl source = QUrl::fromLocalFile(QFileInfo(wavePath).absoluteFilePath());
    if (effect_->source() != source)
        effect_->setSource(source);

    QEventLoop loop;
    outcome_ = length < 0 ? Outcome::TimedOut : Outcome::Played;
    const auto ended = connect(effect_, &QSoundEffect::playingChanged, &loop, [&] {
        if (!effect_->isPlaying()) {
            outcome_ = Outcome::Played;
            loop.quit();
        }
    });
    const auto failed = connect(effect_, &QSoundEffect::statusChanged, &loop, [&] {
        if (effect_->status() == QSoundEffect::Error) {
            outcome_ = Outcome::Failed;
            loop.quit();
        }
    });
    QTimer::singleShot(length < 0 ? UnknownLengthMs : length + LatencyMs, &loop, &QEventLoop::quit);
    effect_->play();
    if (effect_->status() == QSoundEffect::Error)
        outcome_ = Outcome::Failed;
    else
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(ended);
    disconnect(failed);
}
