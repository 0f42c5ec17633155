#include "lessons/lessonfile.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>
#include <limits>

namespace {

// GB18030 decodes every GBK byte sequence as GBK does and encodes every Unicode character,
// so a learner's typing never turns into '?'.
constexpr const char* LessonCodec = "GB18030";

enum class TextEncoding { Gbk, Utf8 };

struct LessonBytes final {
    QByteArray data;
    TextEncoding encoding = TextEncoding::Gbk;
};

bool hasNonAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

bool isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int trail;
        char32_t cp, least;
        if ((lead & 0xE0) == 0xC0) {
            trail = 1, cp = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            trail = 2, cp = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            trail = 3, cp = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= trail)
            return false;
        for (int i = 1; i <= trail; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += trail + 1;
    }
    return true;
}

// Control characters other than tab and the line ends never occur in a text file; a file
// with them is not a lesson, whatever else it holds.
bool looksLikeText(QByteArrayView bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\r' && b != '\n')
            return false;
    }
    return true;
}

// Brings a file's bytes to a form in which quote, comma, CR and LF are always structure:
// GBK as it is, UTF-8 without its mark, UTF-16 converted to UTF-8.
FileResult prepare(const QByteArray& raw, const QString& path, LessonBytes& lesson) {
    const bool utf16le = raw.startsWith("\xFF\xFE");
    if (raw.startsWith("\xEF\xBB\xBF")) {
        lesson = {raw.sliced(3), TextEncoding::Utf8};
    } else if (utf16le || raw.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(utf16le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString text = utf16(QByteArrayView(raw).sliced(2));
        lesson = {text.toUtf8(), TextEncoding::Utf8};
    } else {
        const bool utf8 = hasNonAscii(raw) && isValidUtf8(raw);
        lesson = {raw, utf8 ? TextEncoding::Utf8 : TextEncoding::Gbk};
    }
    if (!looksLikeText(lesson.data))
        return {FileError::NotText, QStringLiteral("“%1”不是单词文件：里面有文字以外的内容")
                                        .arg(QDir::toNativeSeparators(path))};
    return FileResult::success();
}

// Splits lesson bytes into fields: a comma or a line end (CR, CR LF or a lone LF) ends one.
class FieldReader final {
public:
    explicit FieldReader(const LessonBytes& lesson)
        : p_(lesson.data.constData())
        , end_(p_ + lesson.data.size())
        , utf8_(lesson.encoding == TextEncoding::Utf8)
        , gbk_(LessonCodec, QStringConverter::Flag::Stateless) {}

    // False when the file ends before a field begins.
    bool next(QString& text) {
        while (p_ < end_ && isBlank(*p_))
            ++p_;
        if (p_ == end_)
            return false;
        if (*p_ == '"') {
            // Quoted: everything up to the closing quote. A quote left open ends at the line
            // end, so one slip costs that field alone and not the rest of the file.
            const char* begin = ++p_;
            while (p_ < end_ && *p_ != '"' && !isLineEnd(*p_))
                ++p_;
            text = decode(begin, p_);
            if (p_ < end_ && *p_ == '"') {
                ++p_;
                while (p_ < end_ && *p_ != ',' && !isLineEnd(*p_))
                    ++p_;
            }
        } else {
            // Unquoted: up to the next comma or line end, without the blanks before it.
            const char* begin = p_;
            while (p_ < end_ && *p_ != ',' && !isLineEnd(*p_))
                ++p_;
            const char* last = p_;
            while (last > begin && isBlank(last[-1]))
                --last;
            text = decode(begin, last);
        }
        consumeSeparator();
        return true;
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t'; }
    static bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

    void consumeSeparator() {
        if (p_ == end_)
            return;
        const char c = *p_++;
        if (c == '\r' && p_ < end_ && *p_ == '\n')
            ++p_;
    }

    QString decode(const char* begin, const char* end) {
        const QByteArrayView bytes(begin, end - begin);
        if (!hasNonAscii(bytes))
            return QString::fromLatin1(bytes);
        if (utf8_)
            return QString::fromUtf8(bytes);
        // A stateless decode silently drops an unfinished character at the end. Decoding one
        // ASCII byte more (the separator after the field, or a quote at the end of the file)
        // makes it show as U+FFFD; that byte can never complete a character.
        const QByteArray atEnd = end < end_ ? QByteArray() : bytes.toByteArray() + '"';
        QString text =
            gbk_.decode(end < end_ ? QByteArrayView(begin, end + 1) : QByteArrayView(atEnd));
        text.chop(1);
        return text;
    }

    const char* p_;
    const char* const end_;
    const bool utf8_;
    QStringDecoder gbk_;
};

FileResult fieldsRanOut(const QString& path, qint32 record) {
    return {FileError::FieldsRanOut,
            QStringLiteral("“%1”的内容不完整：读第 %2 个单词时文件已经结束（文件末尾可能有空行）")
                .arg(QDir::toNativeSeparators(path))
                .arg(record)};
}

} // namespace

FileResult countLinesIn(const QByteArray& bytes, qint32& lines, const QString& path) {
    lines = 0;
    LessonBytes lesson;
    if (FileResult r = prepare(bytes, path, lesson); !r.ok())
        return r;
    const char* p = lesson.data.constData();
    const char* const end = p + lesson.data.size();
    qint64 count = 0;
    while (p < end) {
        ++count;
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', end - p));
        if (!cr)
            break;
        p = cr + 1;
        if (p < end && *p == '\n')
            ++p;
    }
    lines = qint32(qMin<qint64>(count, std::numeric_limits<qint32>::max()));
    return FileResult::success();
}

FileResult readPairsFrom(const QByteArray& bytes, qint32 records, const PairReceiver& receive,
                         const QString& path) {
    LessonBytes lesson;
    if (FileResult r = prepare(bytes, path, lesson); !r.ok())
        return r;
    FieldReader reader(lesson);
    QString word, meaning;
    for (qint32 record = 1; record <= records; ++record) {
        if (!reader.next(word) || !reader.next(meaning))
            return fieldsRanOut(path, record);
        if (!receive(word, meaning))
            break;
    }
    return FileResult::success();
}

FileResult countlines(const QString& path, qint32& lines) {
    lines = 0;
    QByteArray bytes;
    if (FileResult r = readFileBytes(path, bytes); !r.ok())
        return r;
    return countLinesIn(bytes, lines, path);
}

FileResult readpairs(const QString& path, qint32 records, const PairReceiver& receive) {
    QByteArray bytes;
    if (FileResult r = readFileBytes(path, bytes); !r.ok())
        return r;
    return readPairsFrom(bytes, records, receive, path);
}

FileResult writepairs(const QString& path, const QList<WordPair>& pairs) {
    QStringEncoder gbk(LessonCodec, QStringConverter::Flag::Stateless);
    QByteArray bytes;
    for (const WordPair& pair : pairs) {
        bytes += '"';
        bytes += gbk.encode(pair.word);
        bytes += "\",\"";
        bytes += gbk.encode(pair.meaning);
        bytes += "\"\r\n";
    }
    return writeFileAtomically(path, bytes);
}
