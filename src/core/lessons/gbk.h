#pragma once

#include <QByteArrayView>
#include <QString>

// GB18030 text to UTF-16, character for character what Qt's GB18030 decoder gives (stateless,
// a sequence cut off at the very end shown as U+FFFD), but several times faster on lesson text:
// ASCII and GBK's two-byte characters are looked up directly, and only a line holding anything
// else goes through the full decoder.
QString decodeGb18030(QByteArrayView bytes);
// The same into text, whose room is used again when it has enough.
void decodeGb18030(QByteArrayView bytes, QString& text);

// The full decoder, for comparison.
QString decodeGb18030Slowly(QByteArrayView bytes);
