#include "lessons/lessonfile.h"
#include "lessons/gbk.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>
#include <optional>

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

// Eight bytes of text at once.
quint64 eightAt(const unsigned char* p) {
    quint64 bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

constexpr quint64 HighBits = 0x8080808080808080ULL;

// The first byte from p that is CR, LF or not ASCII; end when there is none.
const unsigned char* pastPlainAscii(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int lineEnds =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (const int found = lineEnds | _mm_movemask_epi8(v))
            return p + __builtin_ctz(unsigned(found));
    }
#endif
    while (p < end && *p < 0x80 && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

bool isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            while (end - p >= 8 && !(eightAt(p) & HighBits))
                p += 8;
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

// Whether a UTF-8 sequence starting at p (valid, at least two bytes before end) is a Han
// ideograph: U+3400..U+9FFF, U+F900..U+FAFF or U+20000..U+2FFFF.
bool startsHan(const unsigned char* p) {
    return (p[0] == 0xE3 && p[1] >= 0x90) || (p[0] >= 0xE4 && p[0] <= 0xE9) ||
           (p[0] == 0xEF && p[1] >= 0xA4 && p[1] <= 0xAB) ||
           (p[0] == 0xF0 && p[1] >= 0xA0 && p[1] <= 0xAF);
}

// Many short GBK words are valid UTF-8 as well (猫 is C3 A8, "è"), but read that way they
// give accented letters and Cyrillic, almost never Chinese. A real UTF-8 lesson has Chinese
// on nearly every line. So valid UTF-8 is read as UTF-8 only when at least half of its
// lines with non-ASCII bytes hold a Han ideograph read as UTF-8.
bool utf8IsLikelier(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    qint64 lines = 0, chinese = 0;
    bool nonAscii = false, han = false;
    auto endLine = [&] {
        lines += nonAscii;
        chinese += han;
        nonAscii = han = false;
    };
    for (; (p = pastPlainAscii(p, end)) < end; ++p) {
        if (*p == '\r' || *p == '\n') {
            endLine();
        } else if (*p >= 0x80) {
            nonAscii = true;
            if (*p >= 0xE0 && end - p >= 2 && startsHan(p))
                han = true;
        }
    }
    endLine();
    return chinese > 0 && 2 * chinese >= lines;
}

// Valid UTF-8 with no Chinese in it is still likelier UTF-8 when it reads as a Latin word list:
// IPA, pinyin tone letters and accented words carry their non-ASCII letters inside words of
// ASCII letters ("ɡrɪt", "café", "ài"). GBK Chinese that happens to be valid UTF-8 reads as
// words of such letters alone ("猫" as "è"), or as Cyrillic and Greek, which a list of English
// words does not mix with ASCII. So: more words mixing ASCII letters with Latin or IPA letters
// than words of non-ASCII letters alone.
bool latinUtf8IsLikelier(QByteArrayView bytes) {
    const QString text = QString::fromUtf8(bytes);
    qint64 mixed = 0, alone = 0;
    bool ascii = false, latin = false, other = false;
    auto endWord = [&] {
        if (latin && ascii && !other)
            ++mixed;
        else if (latin || other)
            ++alone;
        ascii = latin = other = false;
    };
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            if (c.isLetter())
                ascii = true;
            else if (u != u'\'' && u != u'-')
                endWord();
        } else if ((u >= 0xC0 && u <= 0x24F && u != 0xD7 && u != 0xF7) ||
                   (u >= 0x250 && u <= 0x2FF) || (u >= 0x300 && u <= 0x36F) ||
                   (u >= 0x1E00 && u <= 0x1EFF) || u == 0x3B8 || u == 0x3B2 || u == 0x3C7) {
            // accented Latin, IPA (with its θ, β and χ), modifier letters, combining marks
            latin = true;
        } else if (c.isLetter()) {
            other = true;
        } else {
            endWord();
        }
    }
    endWord();
    return mixed > 0 && mixed > alone;
}

// Control characters other than tab and the line ends never occur in a text file; a file
// with them is not a lesson, whatever else it holds.
bool looksLikeText(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    auto control = [](unsigned char b) {
        return unsigned(b < 0x20) & unsigned(b != '\t') & unsigned(b != '\r') & unsigned(b != '\n');
    };
    // In blocks without an early exit, which the compiler turns into vector code.
    constexpr qsizetype Block = 64;
    qsizetype i = 0;
    for (; i + Block <= size; i += Block) {
        unsigned found = 0;
        for (qsizetype k = 0; k < Block; ++k)
            found |= control(p[i + k]);
        if (found)
            return false;
    }
    for (; i < size; ++i)
        if (control(p[i]))
            return false;
    return true;
}

// UTF-16 without a byte-order mark: a zero byte in every other place of a text of ASCII.
std::optional<QStringConverter::Encoding> bareUtf16(QByteArrayView raw) {
    if (raw.size() < 4 || raw.size() % 2 != 0)
        return std::nullopt;
    const qsizetype look = qMin<qsizetype>(raw.size(), 512);
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i < look; ++i)
        if (raw[i] == '\0')
            ++(i % 2 ? oddZeros : evenZeros);
    if (oddZeros * 4 >= look && evenZeros == 0)
        return QStringConverter::Utf16LE;
    if (evenZeros * 4 >= look && oddZeros == 0)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

// Brings a file's bytes to a form in which quote, comma, CR and LF are always structure:
// GBK as it is, UTF-8 without its mark, UTF-16 converted to UTF-8.
// Big5, the encoding of lists from Taiwan and Hong Kong, read as GBK falls into GBK's
// user-defined areas: Big5's punctuation (A1 40 to A1 7E) and its commonest characters (A4 40
// onwards) are there, where GBK text, traditional characters and all, has nothing. The text
// as Big5, when its start reads so and decodes as Big5 without a fault.
std::optional<QString> asBig5(const QByteArray& raw) {
    QByteArrayView sample = QByteArrayView(raw).first(qMin<qsizetype>(raw.size(), 64 * 1024));
    if (sample.size() < raw.size())
        sample = sample.first(sample.lastIndexOf('\n') + 1);
    QString gbk;
    decodeGb18030(sample, gbk);
    qsizetype wide = 0, userDefined = 0;
    for (const QChar c : std::as_const(gbk))
        if (c.unicode() >= 0x80) {
            ++wide;
            userDefined += c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF;
        }
    if (wide < 8 || userDefined * 10 < wide)
        return std::nullopt;
    QStringDecoder big5("Big5");
    QString text = big5(raw);
    if (!big5.isValid() || big5.hasError() || text.contains(QChar::ReplacementCharacter))
        return std::nullopt;
    return text;
}

FileResult prepare(const QByteArray& raw, const QString& path, LessonBytes& lesson,
                   TextGuess guess = TextGuess::Lesson, QString* decided = nullptr) {
    const bool utf16le = raw.startsWith("\xFF\xFE");
    const bool utf16 = utf16le || raw.startsWith("\xFE\xFF");
    std::optional<QStringConverter::Encoding> bare;
    if (!utf16 && (guess == TextGuess::List || guess == TextGuess::Utf16))
        bare = bareUtf16(raw);
    if (guess == TextGuess::Utf16 && !utf16 && !bare)
        bare = QStringConverter::Utf16LE;
    auto name = [&](const char* n) {
        if (decided)
            *decided = QString::fromLatin1(n);
    };
    if (raw.startsWith("\xEF\xBB\xBF") && guess != TextGuess::Gbk) {
        lesson = {raw.sliced(3), TextEncoding::Utf8};
        name("UTF-8");
    } else if ((utf16 || bare) && guess != TextGuess::Gbk && guess != TextGuess::Utf8) {
        QStringDecoder decoder(bare      ? *bare
                               : utf16le ? QStringConverter::Utf16LE
                                         : QStringConverter::Utf16BE);
        const QString text = decoder(QByteArrayView(raw).sliced(bare ? 0 : 2));
        lesson = {text.toUtf8(), TextEncoding::Utf8};
        name("UTF-16");
    } else {
        bool utf8 = false;
        if (guess == TextGuess::Utf8)
            utf8 = true;
        else if (guess != TextGuess::Gbk)
            utf8 = hasNonAscii(raw) && isValidUtf8(raw) &&
                   (guess == TextGuess::Utf8WhenValid || utf8IsLikelier(raw) ||
                    (guess == TextGuess::List && latinUtf8IsLikelier(raw)));
        if (std::optional<QString> big5;
            !utf8 && guess == TextGuess::List && hasNonAscii(raw) && (big5 = asBig5(raw))) {
            lesson = {big5->toUtf8(), TextEncoding::Utf8};
            name("Big5");
        } else {
            lesson = {raw, utf8 ? TextEncoding::Utf8 : TextEncoding::Gbk};
            name(utf8 ? "UTF-8" : "GBK");
        }
    }
    if (!looksLikeText(lesson.data))
        return {FileError::NotText,
                QStringLiteral("“%1”不是单词文件：里面有文字以外的内容").arg(displayPath(path))};
    return FileResult::success();
}

// Lesson text is decoded and split a piece at a time, so that the decoded text stays small
// and in the cache. Pieces end just after a line end (CR LF kept together): no field runs
// over a line end, and no GBK, GB18030 or UTF-8 sequence holds CR or LF, so each piece
// decodes and splits exactly as it would within the whole text.
const char* pieceEnd(const char* begin, const char* end, qsizetype size) {
    if (end - begin <= size)
        return end;
    const char* p = begin + size;
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    if (p < end && *p++ == '\r' && p < end && *p == '\n')
        ++p;
    return p;
}

void decodePiece(QByteArrayView bytes, TextEncoding encoding, bool first, QString& text) {
    if (encoding == TextEncoding::Gbk)
        return decodeGb18030(bytes, text);
    // The UTF-8 decoder drops a byte-order mark at the start of what it is given: only the
    // text's own start may lose one, as when the text is decoded whole.
    QStringDecoder utf8(QStringConverter::Utf8,
                        first ? QStringConverter::Flag::Stateless
                              : QStringConverter::Flag::Stateless |
                                    QStringConverter::Flag::ConvertInitialBom);
    text.resize(utf8.requiredSpace(bytes.size()));
    text.truncate(utf8.appendToBuffer(text.data(), bytes) - text.constData());
}

// Splits lesson text into fields: a comma or a line end (CR, CR LF or a lone LF) ends one.
class FieldReader final {
public:
    explicit FieldReader(QStringView text)
        : p_(text.utf16())
        , end_(p_ + text.size()) {}

    // False when the text ends before a field begins.
    bool next(QStringView& field) {
        while (p_ < end_ && isBlank(*p_))
            ++p_;
        if (p_ == end_)
            return false;
        if (*p_ == u'"') {
            // Quoted: everything up to the closing quote. A quote left open ends at the line
            // end, so one slip costs that field alone and not the rest of the file.
            const char16_t* begin = ++p_;
            while (p_ < end_ && *p_ != u'"' && !isLineEnd(*p_))
                ++p_;
            field = text(begin, p_);
            if (p_ < end_ && *p_ == u'"') {
                ++p_;
                while (p_ < end_ && *p_ != u',' && !isLineEnd(*p_))
                    ++p_;
            }
        } else {
            // Unquoted: up to the next comma or line end, without the blanks before it.
            const char16_t* begin = p_;
            while (p_ < end_ && *p_ != u',' && !isLineEnd(*p_))
                ++p_;
            const char16_t* last = p_;
            while (last > begin && isBlank(last[-1]))
                --last;
            field = text(begin, last);
        }
        consumeSeparator();
        return true;
    }

private:
    static bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
    static bool isLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }
    static QStringView text(const char16_t* begin, const char16_t* end) {
        return QStringView(begin, end);
    }

    void consumeSeparator() {
        if (p_ == end_)
            return;
        const char16_t c = *p_++;
        if (c == u'\r' && p_ < end_ && *p_ == u'\n')
            ++p_;
    }

    const char16_t* p_;
    const char16_t* const end_;
};

FileResult fieldsRanOut(const QString& path, qint32 record) {
    return {FileError::FieldsRanOut,
            QStringLiteral("“%1”的内容不完整：读第 %2 个单词时文件已经结束（文件末尾可能有空行）")
                .arg(displayPath(path))
                .arg(record)};
}

FileResult fieldTooLong(const QString& path, qint32 record) {
    return {FileError::FieldTooLong,
            QStringLiteral("“%1”第 %2 行的单词或汉语超过 %3 个字，不像是单词，无法学习")
                .arg(displayPath(path))
                .arg(record)
                .arg(LongestField)};
}

} // namespace

FileResult LessonText::read(const QString& path, const QString& within) {
    QByteArray bytes;
    if (FileResult r = readFileBytes(path, bytes, within); !r.ok())
        return r;
    return take(bytes, path);
}

FileResult LessonText::take(const QByteArray& bytes, const QString& path) {
    path_ = path;
    LessonBytes lesson;
    FileResult r = prepare(bytes, path, lesson, TextGuess::Lesson, &encoding_);
    data_ = r.ok() ? lesson.data : QByteArray();
    utf8_ = lesson.encoding == TextEncoding::Utf8;
    return r;
}

qint32 LessonText::countLines() const {
    const char* p = data_.constData();
    const char* const end = p + data_.size();
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
    return qint32(qMin<qint64>(count, std::numeric_limits<qint32>::max()));
}

FileResult LessonText::readPairs(qint32 records, const PairReceiver& receive) const {
    const TextEncoding encoding = utf8_ ? TextEncoding::Utf8 : TextEncoding::Gbk;
    const char* p = data_.constData();
    const char* const end = p + data_.size();
    QString text;
    // A word whose meaning is in the next piece (a line holding a single field) is kept here.
    QString pendingWord;
    bool wordPending = false;
    qint32 record = 1;
    while (record <= records) {
        if (p == end)
            return fieldsRanOut(path_, record);
        const char* const cut = pieceEnd(p, end, pieceSize_);
        decodePiece(QByteArrayView(p, cut), encoding, p == data_.constData(), text);
        p = cut;
        FieldReader reader(text);
        QStringView word, meaning;
        while (record <= records) {
            if (wordPending) {
                word = pendingWord;
            } else if (!reader.next(word)) {
                break;
            }
            if (!reader.next(meaning)) {
                if (!wordPending)
                    pendingWord = word.toString();
                wordPending = true;
                break;
            }
            wordPending = false;
            if (word.size() > LongestField || meaning.size() > LongestField)
                return fieldTooLong(path_, record);
            if (!receive(word, meaning))
                return FileResult::success();
            ++record;
        }
    }
    return FileResult::success();
}

FileResult countLinesIn(const QByteArray& bytes, qint32& lines, const QString& path) {
    LessonText lesson;
    FileResult r = lesson.take(bytes, path);
    lines = r.ok() ? lesson.countLines() : 0;
    return r;
}

FileResult readPairsFrom(const QByteArray& bytes, qint32 records, const PairReceiver& receive,
                         const QString& path) {
    LessonText lesson;
    if (FileResult r = lesson.take(bytes, path); !r.ok())
        return r;
    return lesson.readPairs(records, receive);
}

FileResult countlines(const QString& path, qint32& lines) {
    LessonText lesson;
    FileResult r = lesson.read(path);
    lines = r.ok() ? lesson.countLines() : 0;
    return r;
}

FileResult readpairs(const QString& path, qint32 records, const PairReceiver& receive) {
    LessonText lesson;
    if (FileResult r = lesson.read(path); !r.ok())
        return r;
    return lesson.readPairs(records, receive);
}

FileResult decodeText(const QByteArray& bytes, const QString& path, QString& text, TextGuess guess,
                      QString* decided) {
    LessonBytes lesson;
    text.clear();
    if (FileResult r = prepare(bytes, path, lesson, guess, decided); !r.ok())
        return r;
    decodePiece(lesson.data, lesson.encoding, true, text);
    return FileResult::success();
}

SideFault sideFault(QStringView side) {
    if (side.size() > LongestField)
        return SideFault::TooLong;
    for (const QChar c : side)
        if (c.unicode() < 0x20 && c != u'\t')
            return SideFault::ControlCharacter;
    return SideFault::None;
}

QByteArray lessonBytes(const QList<WordPair>& pairs) {
    QStringEncoder gbk(LessonCodec, QStringConverter::Flag::Stateless);
    // A straight quote would end its field early and lose the rest of it.
    const auto field = [&gbk](const QString& text) -> QByteArray {
        if (!text.contains(u'"'))
            return gbk.encode(text);
        const QString held = QString(text).replace(u'"', QChar(LessonQuote));
        return gbk.encode(held);
    };
    QByteArray bytes;
    for (const WordPair& pair : pairs) {
        bytes += '"';
        bytes += field(pair.word);
        bytes += "\",\"";
        bytes += field(pair.meaning);
        bytes += "\"\r\n";
    }
    return bytes;
}

FileResult writepairs(const QString& path, const QList<WordPair>& pairs, const QString& within) {
    return writeFileAtomically(path, lessonBytes(pairs), within);
}
