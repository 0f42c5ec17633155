#pragma once
// A PCM wave file's sound, read into memory to be played.
#include <QAudioFormat>
#include <QByteArray>
#include <QString>
#include <optional>

struct Wave final {
    QAudioFormat format;
    QByteArray pcm;
};

// 8-bit, 16-bit and 32-bit PCM and 32-bit float, plainly or as an extensible format, up to
// MaxWaveBytes of sound; nothing for anything else or a file that is not a wave.
std::optional<Wave> readWave(const QString& path);

// A sound effect is short: more than this is not played.
constexpr qint64 MaxWaveBytes = 32LL << 20;
