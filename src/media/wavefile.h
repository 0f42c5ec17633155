#pragma once
// Sound in memory, to be played: a wave file's, or a word as a voice made it.
#include <QAudioFormat>
#include <QByteArray>
#include <QString>
#include <optional>

struct Wave final {
    QAudioFormat format;
    QByteArray pcm;

    bool isEmpty() const { return pcm.isEmpty() || !format.isValid(); }
    qint64 lengthMs() const {
        return isEmpty() ? 0
                         : qint64(pcm.size()) * 1000 /
                               (qint64(format.bytesPerFrame()) * format.sampleRate());
    }
    // The loudest sample's magnitude, 0 for silence; for 16-bit sound only.
    int peak() const;
};

// 8-bit, 16-bit and 32-bit PCM and 32-bit float, plainly or as an extensible format, up to
// MaxWaveBytes of sound; nothing for anything else or a file that is not a wave.
std::optional<Wave> readWave(const QString& path);

// A sound effect is short: more than this is not played.
constexpr qint64 MaxWaveBytes = 32LL << 20;
