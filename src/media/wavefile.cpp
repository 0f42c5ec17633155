#include "wavefile.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr quint16 PcmTag = 1;
constexpr quint16 FloatTag = 3;
constexpr quint16 ExtensibleTag = 0xFFFE;

quint16 u16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 u32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

QAudioFormat::SampleFormat sampleFormat(quint16 tag, quint16 bits) {
    if (tag == PcmTag && bits == 8)
        return QAudioFormat::UInt8;
    if (tag == PcmTag && bits == 16)
        return QAudioFormat::Int16;
    if (tag == PcmTag && bits == 32)
        return QAudioFormat::Int32;
    if (tag == FloatTag && bits == 32)
        return QAudioFormat::Float;
    return QAudioFormat::Unknown;
}

} // namespace

int Wave::peak() const {
    if (format.sampleFormat() != QAudioFormat::Int16)
        return 0;
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    int loudest = 0;
    for (qsizetype i = 0, n = pcm.size() / 2; i < n; ++i)
        loudest = std::max(loudest, std::abs(int(samples[i])));
    return loudest;
}

std::optional<Wave> readWave(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxWaveBytes + 4096)
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return std::nullopt;
    Wave wave;
    for (qsizetype pos = 12; pos + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(pos, 4);
        const qsizetype size = u32(bytes, pos + 4);
        const qsizetype body = pos + 8;
        if (id == "fmt " && size >= 16 && body + size <= bytes.size()) {
            quint16 tag = u16(bytes, body);
            const quint16 bits = u16(bytes, body + 14);
            if (tag == ExtensibleTag && size >= 26)
                tag = u16(bytes, body + 24); // the sub-format's first two bytes
            wave.format.setSampleFormat(sampleFormat(tag, bits));
            wave.format.setChannelCount(u16(bytes, body + 2));
            wave.format.setSampleRate(int(u32(bytes, body + 4)));
        } else if (id == "data") {
            if (!wave.format.isValid() || wave.format.channelCount() > 8)
                return std::nullopt;
            // A file cut short plays what it holds, whole frames only.
            const qsizetype held = qMin(size, bytes.size() - body);
            const qsizetype frame = wave.format.bytesPerFrame();
            wave.pcm = bytes.mid(body, held - held % frame);
            if (wave.pcm.isEmpty())
                return std::nullopt;
            return wave;
        }
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}
