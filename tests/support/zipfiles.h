#pragma once
// Zip files made in memory, as small as the format allows: the packages and spreadsheets the
// tests and the benchmarks read.
#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

inline quint32 crc32Of(const QByteArray& bytes) {
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        c ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

// A zip of entries (name, bytes), stored or deflated, with an optional archive comment.
inline QByteArray zipOf(const QList<std::pair<QString, QByteArray>>& entries,
                        const QByteArray& comment = {}, bool deflate = false) {
    const auto le = [](QByteArray& into, quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            into += char((value >> (8 * i)) & 0xFF);
    };
    QByteArray zip, directory;
    for (const auto& [name, bytes] : entries) {
        const QByteArray n = name.toUtf8();
        // Deflated: zlib's stream without its header and checksum.
        const QByteArray packed = deflate ? qCompress(bytes).sliced(6).chopped(4) : bytes;
        const auto offset = quint32(zip.size()), size = quint32(bytes.size());
        const auto packedSize = quint32(packed.size()), method = quint32(deflate ? 8 : 0);
        const quint32 crc = crc32Of(bytes);
        zip += "PK\x03\x04";
        le(zip, 20, 2), le(zip, 0, 2), le(zip, method, 2), le(zip, 0, 4), le(zip, crc, 4);
        le(zip, packedSize, 4), le(zip, size, 4), le(zip, quint32(n.size()), 2), le(zip, 0, 2);
        zip += n + packed;
        directory += "PK\x01\x02";
        le(directory, 20, 2), le(directory, 20, 2), le(directory, 0, 2), le(directory, method, 2);
        le(directory, 0, 4), le(directory, crc, 4), le(directory, packedSize, 4);
        le(directory, size, 4);
        le(directory, quint32(n.size()), 2), le(directory, 0, 2), le(directory, 0, 2);
        le(directory, 0, 2), le(directory, 0, 2), le(directory, 0, 4), le(directory, offset, 4);
        directory += n;
    }
    const auto start = quint32(zip.size());
    zip += directory;
    zip += "PK\x05\x06";
    le(zip, 0, 2), le(zip, 0, 2), le(zip, quint32(entries.size()), 2);
    le(zip, quint32(entries.size()), 2), le(zip, quint32(directory.size()), 4), le(zip, start, 4);
    le(zip, quint32(comment.size()), 2);
    return zip + comment;
}
