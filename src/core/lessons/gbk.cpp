#include "lessons/gbk.h"

#include <QStringDecoder>
#include <array>
#include <cstring>

namespace {

constexpr int FirstLead = 0x81, Leads = 0xFE - FirstLead + 1;
constexpr int FirstTrail = 0x40, Trails = 0xFE - FirstTrail + 1;

// Every two-byte sequence GBK can hold, decoded once by the full decoder: the character it
// gives, or 0 where it gives anything but one ordinary character (those go the slow way).
using TwoByteTable = std::array<char16_t, Leads * Trails>;

TwoByteTable buildTable() {
    QByteArray all;
    all.reserve(Leads * Trails * 3);
    for (int lead = FirstLead; lead <= 0xFE; ++lead)
        for (int trail = FirstTrail; trail <= 0xFE; ++trail)
            all.append(char(lead)).append(char(trail)).append('\n');
    const QString decoded = decodeGb18030Slowly(all);
    TwoByteTable table{};
    qsizetype at = 0;
    for (char16_t& entry : table) {
        const qsizetype lineEnd = decoded.indexOf(u'\n', at);
        if (lineEnd < 0)
            break;
        if (lineEnd - at == 1) {
            const char16_t c = decoded.at(at).unicode();
            if (c != 0xFFFD && !QChar::isSurrogate(c) && c >= 0x80)
                entry = c;
        }
        at = lineEnd + 1;
    }
    return table;
}

const TwoByteTable& twoByteTable() {
    static const TwoByteTable table = buildTable();
    return table;
}

} // namespace

QString decodeGb18030Slowly(QByteArrayView bytes) {
    // A stateless decode silently drops an unfinished character at the very end; one more
    // line feed makes it show as U+FFFD instead.
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    QString text = gb18030(bytes.toByteArray() + '\n');
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

QString decodeGb18030(QByteArrayView bytes) {
    QString text;
    decodeGb18030(bytes, text);
    return text;
}

void decodeGb18030(QByteArrayView bytes, QString& text) {
    const TwoByteTable& table = twoByteTable();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    // No byte gives more than one UTF-16 unit, whichever way it is decoded.
    text.resize(bytes.size() + 1);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            *out++ = b;
            ++p;
            continue;
        }
        if (b >= FirstLead && b <= 0xFE && end - p >= 2) {
            const unsigned char t = p[1];
            if (t >= FirstTrail && t <= 0xFE) {
                if (const char16_t c = table[(b - FirstLead) * Trails + (t - FirstTrail)]) {
                    *out++ = c;
                    p += 2;
                    continue;
                }
            }
        }
        // Anything else: the rest of the line, up to and with its CR or LF, the slow way. No
        // GB18030 sequence holds CR or LF, so the decoder is at the same place as if it had
        // read from the start.
        const auto* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
            ++lineEnd;
        if (lineEnd < end)
            ++lineEnd;
        const QString rest =
            decodeGb18030Slowly(QByteArrayView(reinterpret_cast<const char*>(p), lineEnd - p));
        std::memcpy(out, rest.utf16(), size_t(rest.size()) * sizeof(char16_t));
        out += rest.size();
        p = lineEnd;
    }
    text.truncate(out - reinterpret_cast<char16_t*>(text.data()));
}
