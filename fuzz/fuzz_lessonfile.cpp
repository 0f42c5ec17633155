// Lesson files as they come: counting lines, detecting the encoding, reading the fields.
#include "lessons/gbk.h"
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
    // The quick decoder gives what the full one gives, to the character.
    if (decodeGb18030(bytes) != decodeGb18030Slowly(bytes))
        std::abort();
    for (const char structure : {'"', ',', '\r', '\n'})
        if (decoded.count(QLatin1Char(structure)) != bytes.count(structure))
            std::abort();

    qint32 lines = 0;
    if (!countLinesIn(bytes, lines).ok())
        return 0;
    if (lines < 0 || lines > qint32(size) + 1)
        std::abort();
    qint32 pairs = 0;
    const FileResult read = readPairsFrom(bytes, lines, [&](QStringView w, QStringView m) {
        // The structure characters never end up inside a field.
        if (w.contains(u'\r') || w.contains(u'\n') || m.contains(u'\r') || m.contains(u'\n'))
            std::abort();
        ++pairs;
        return true;
    });
    if (pairs > lines || (read.ok() && pairs != lines))
        std::abort();

    // Read a piece at a time, the smallest pieces give the same pairs and the same outcome.
    LessonText lesson;
    lesson.take(bytes);
    auto everyPair = [&](qsizetype pieceSize, QStringList& fields) {
        lesson.setPieceSize(pieceSize);
        return lesson.readPairs(lines, [&](QStringView w, QStringView m) {
            fields << w.toString() << m.toString();
            return true;
        });
    };
    QStringList whole, pieces;
    const FileResult wholeRead = everyPair(qsizetype(size) + 1, whole);
    const FileResult pieceRead = everyPair(1, pieces);
    if (whole != pieces || wholeRead.kind != pieceRead.kind ||
        wholeRead.description != pieceRead.description)
        std::abort();
    return 0;
}
