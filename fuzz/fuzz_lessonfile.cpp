// Lesson files as they come: counting lines, detecting the encoding, reading the fields.
#include "lessons/lessonfile.h"

#include <QStringDecoder>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // The reader splits fields after decoding: whatever the bytes, decoding must keep every
    // quote, comma, CR and LF as it is.
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    const QString decoded = gb18030(bytes);
    for (const char structure : {'"', ',', '\r', '\n'})
        if (decoded.count(QLatin1Char(structure)) != bytes.count(structure))
            std::abort();

    qint32 lines = 0;
    if (!countLinesIn(bytes, lines).ok())
        return 0;
    if (lines < 0 || lines > qint32(size) + 1)
        std::abort();
    qint32 pairs = 0;
    const FileResult read = readPairsFrom(bytes, lines, [&](const QString& w, const QString& m) {
        // The structure characters never end up inside a field.
        if (w.contains(u'\r') || w.contains(u'\n') || m.contains(u'\r') || m.contains(u'\n'))
            std::abort();
        ++pairs;
        return true;
    });
    if (pairs > lines || (read.ok() && pairs != lines))
        std::abort();
    return 0;
}
