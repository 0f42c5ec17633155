#pragma once
// XML files of word lists read element by element, by two readers behind one walk: a quick one
// of its own for the usual file (UTF-8, no DTD of its own, well formed), which passes over
// indentation sixteen bytes at a time and keeps nothing but the texts it is asked for, and Qt's
// XML reader, bounded, for whatever the quick one is not sure of, which says what is wrong. A
// format's reading, written once against the walk, is run by the quick reader first and by
// Qt's when the quick one gave up, so that the two cannot differ in what they make of a file.
// Inside the lessons folder and the modules that read lists only.
#include "lessons/listreaders.h"

#include <QXmlStreamReader>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xmlwalk {

// Vocabulary files are a few elements deep; nothing real comes near this.
inline constexpr int MostXmlDepth = 32;

// What a reader hands on as it goes: an element begun, an element ended, or nothing more (the
// file ended, or the reader stopped).
enum class Token { Start, End, Stop };

// The walk over a reader's tokens that both readers share: it counts how deep it is, without
// recursion, and reads an element's texts, keeping no more of them than any word is long. The
// reader gives next(into), appending the text it passes to into when there is one, and
// tooDeep() for an element nested deeper than MostXmlDepth.
template <class Reader> class ElementWalk {
public:
    // The next child of the element being read; false at the element's end.
    bool child() {
        switch (reader().next(nullptr)) {
        case Token::Start:
            return enter();
        case Token::End:
            --depth_;
            return false;
        case Token::Stop:
            break;
        }
        return false;
    }

    // Past the end of the element begun, whatever it holds.
    void skip() { text(nullptr); }

    // The text of the element begun, its children's included; false when it grows past any
    // word's length, and then no more of it is kept. With no text given, only skips.
    bool text(QString* text) {
        if (text)
            text->resize(0);
        bool fits = true;
        for (const int base = depth_; depth_ >= base;) {
            switch (reader().next(text)) {
            case Token::Start:
                enter();
                break;
            case Token::End:
                --depth_;
                break;
            case Token::Stop:
                return fits;
            }
            if (text && text->size() > LongestField) {
                fits = false;
                text->resize(0);
                text = nullptr;
            }
        }
        return fits;
    }

protected:
    bool enter() {
        if (++depth_ <= MostXmlDepth)
            return true;
        reader().tooDeep();
        return false;
    }

private:
    Reader& reader() { return static_cast<Reader&>(*this); }

    int depth_ = 0;
};

// ---- Qt's reader ----------------------------------------------------------------------------

// Qt's XML reader in one pass, refusing what would make reading explode: entity declarations,
// whose every use repeats their text, and nesting deeper than MostXmlDepth.
class BoundedXml final : public ElementWalk<BoundedXml> {
public:
    // kind names the files it reads in its messages ("KVTML 单词文件"), broken says one is not
    // well formed ("不是完好的 KVTML 文件").
    BoundedXml(const QByteArray& bytes, QString kind, QString broken)
        : xml_(bytes)
        , kind_(std::move(kind))
        , broken_(std::move(broken)) {}

    // The root element, after the prolog; false when there is none or the prolog is refused.
    bool root() {
        while (!xml_.atEnd()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::DTD:
                if (!xml_.entityDeclarations().isEmpty() || xml_.text().contains(u"<!ENTITY")) {
                    stop(QStringLiteral("声明了 XML 实体（<!ENTITY>）：%1不用它，"
                                        "这样的文件读入时可能膨胀成极大的文字")
                             .arg(kind_));
                    return false;
                }
                break;
            case QXmlStreamReader::StartElement:
                return enter();
            default:
                break;
            }
        }
        return false;
    }

    Token next(QString* into) {
        while (!xml_.atEnd()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::StartElement:
                return Token::Start;
            case QXmlStreamReader::EndElement:
                return Token::End;
            case QXmlStreamReader::Characters:
            case QXmlStreamReader::EntityReference:
                if (into) {
                    const QStringView piece = xml_.text();
                    // Too long is marked as such, without keeping what is too long.
                    if (into->size() + piece.size() > LongestField)
                        into->resize(LongestField + 1);
                    else
                        into->append(piece);
                }
                break;
            default:
                break;
            }
        }
        return Token::Stop;
    }

    void tooDeep() {
        stop(QStringLiteral("第 %1 行的元素嵌套超过 %2 层，不像是%3")
                 .arg(xml_.lineNumber())
                 .arg(MostXmlDepth)
                 .arg(kind_));
    }

    bool isNamed(QLatin1StringView name) const { return xml_.name() == name; }
    QString name() const { return xml_.name().toString(); }
    QString attribute(QLatin1StringView name) const {
        return xml_.attributes().value(name).toString();
    }
    QString encoding() const { return xml_.documentEncoding().toString(); }
    // Where an element begins, for lineOf() should the element be left out.
    qint64 mark() const { return xml_.lineNumber(); }
    qint32 lineOf(qint64 mark) const { return qint32(mark); }

    bool failed() const { return xml_.hasError(); }
    bool unsure() const { return false; }
    FileResult fault(const QString& path) const {
        if (!refusal_.isEmpty())
            return refused(FileError::BadList, path, refusal_);
        if (!xml_.hasError())
            return refused(FileError::BadList, path, QStringLiteral("里没有内容"));
        return refused(FileError::BadList, path,
                       QStringLiteral("%1：第 %2 行第 %3 列有错（%4）")
                           .arg(broken_)
                           .arg(xml_.lineNumber())
                           .arg(xml_.columnNumber())
                           .arg(xml_.errorString()));
    }

private:
    void stop(const QString& why) {
        refusal_ = why;
        xml_.raiseError(why);
    }

    QXmlStreamReader xml_;
    QString kind_;
    QString broken_;
    QString refusal_;
};

// ---- The quick reader -----------------------------------------------------------------------

inline bool isBlank(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// What ends a run of plain text: markup, a reference, the ']' of a "]]>", a byte of a character
// beyond ASCII, and the control characters XML does not allow.
inline bool ends(char c) {
    const auto u = uchar(c);
    return c == '<' || c == '&' || c == ']' || u >= 0x80 ||
           (u < 0x20 && c != '\n' && c != '\t' && c != '\r');
}

inline const char* plainRun(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&'), bracket = _mm_set1_epi8(']');
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'),
                  cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i marks =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, amp)),
                         _mm_cmpeq_epi8(v, bracket));
        // Below a blank as signed bytes: the control characters, and every byte at or past 0x80.
        const __m128i blanks = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, cr));
        const __m128i odd = _mm_andnot_si128(blanks, _mm_cmplt_epi8(v, space));
        if (const int bits = _mm_movemask_epi8(_mm_or_si128(marks, odd)))
            return p + __builtin_ctz(unsigned(bits));
    }
#endif
    while (p < end && !ends(*p))
        ++p;
    return p;
}

inline bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

inline void appendChar(QString* into, char32_t c) {
    if (!into)
        return;
    if (c < 0x10000) {
        into->append(QChar(char16_t(c)));
    } else {
        const QChar pair[] = {QChar(QChar::highSurrogate(c)), QChar(QChar::lowSurrogate(c))};
        into->append(pair, 2);
    }
}

// The quick reader of the usual XML file: UTF-8, ASCII names without namespaces, no DTD of
// its own, at most the predefined entities and character references. Whatever else it meets,
// anything malformed among it, makes it unsure(), and then it stops.
class QuickXml final : public ElementWalk<QuickXml> {
public:
    // broken: as for BoundedXml.
    QuickXml(const QByteArray& bytes, QString broken)
        : begin_(bytes.constData())
        , p_(begin_)
        , end_(begin_ + bytes.size())
        , broken_(std::move(broken)) {}

    bool root() {
        if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0)
            p_ += 3;
        if (startsWith("<?xml") && end_ - p_ > 5 && isBlank(p_[5]) && !declaration())
            return false;
        for (bool doctype = false;;) {
            skipBlanks();
            if (p_ == end_ || *p_ != '<')
                return fail();
            if (startsWith("<!--")) {
                if (!comment())
                    return false;
            } else if (startsWith("<?")) {
                if (!instruction())
                    return false;
            } else if (startsWith("<!DOCTYPE") && !doctype) {
                if (!this->doctype())
                    return false;
                doctype = true;
            } else if (end_ - p_ < 2 || p_[1] == '!' || startTag() != Token::Start) {
                return fail();
            } else {
                return enter();
            }
        }
    }

    // With prefixes allowed, the name without its prefix ("x:row" is a "row").
    bool isNamed(QLatin1StringView name) const {
        QByteArrayView local = name_;
        if (prefixes_)
            if (const qsizetype colon = local.indexOf(':'); colon >= 0)
                local = local.sliced(colon + 1);
        return local == QByteArrayView(name.data(), name.size());
    }

    // Names with a namespace prefix ("xml:space", "x14ac:dyDescent") are taken as they stand,
    // not given up on: for files whose reading looks at no prefix (spreadsheets), never for one
    // that must read as Qt's reader reads it.
    void allowPrefixes() { prefixes_ = true; }
    QString name() const { return QString::fromLatin1(name_); }

    // The attribute's value as XML has it (references resolved, blanks made spaces), valid until
    // the next call.
    QStringView attribute(QLatin1StringView name) {
        for (int i = 0; i < attributes_; ++i) {
            if (attribute_[i].name != QByteArrayView(name.data(), name.size()))
                continue;
            value_.resize(0);
            const QByteArrayView value = attribute_[i].value;
            for (const char *p = value.begin(), *end = value.end(); p < end;) {
                if (*p == '&') {
                    reference(p, end, &value_);
                } else if (uchar(*p) >= 0x80) {
                    utf8(p, end, &value_);
                } else if (isBlank(*p)) {
                    value_.append(u' ');
                    p += *p == '\r' && p + 1 < end && p[1] == '\n' ? 2 : 1;
                } else {
                    value_.append(QLatin1Char(*p++));
                }
            }
            return value_;
        }
        return {};
    }

    QString encoding() const { return encoding_; }
    qint64 mark() const { return p_ - begin_; }

    // The line of a place marked, counted as XML counts them (CR LF, CR and LF each end one).
    qint32 lineOf(qint64 mark) {
        if (mark < counted_)
            counted_ = 0, line_ = 1;
        for (const char* p = begin_ + counted_; p < begin_ + mark; ++p)
            line_ += *p == '\n' || (*p == '\r' && (p + 1 == end_ || p[1] != '\n'));
        counted_ = mark;
        return line_;
    }

    bool failed() const { return unsure_; }
    bool unsure() const { return unsure_; }

    // Qt's reader decodes the whole file before it reads: a byte that is not UTF-8 past where
    // reading stopped fails it all the same.
    void decodeTheRest() {
        if (!unsure_ && !QByteArrayView(p_, end_ - p_).isValidUtf8())
            unsure_ = true;
    }
    FileResult fault(const QString& path) const {
        return refused(FileError::BadList, path, broken_);
    }

private:
    friend class ElementWalk<QuickXml>;

    void tooDeep() { fail(); }

    bool fail() {
        unsure_ = true;
        return false;
    }

    bool startsWith(const char* text) const {
        const auto size = qsizetype(std::strlen(text));
        return end_ - p_ >= size && std::memcmp(p_, text, size_t(size)) == 0;
    }

    void skipBlanks() {
        while (p_ < end_ && isBlank(*p_))
            ++p_;
    }

    // An ASCII name without a prefix; empty when there is none, or when it is one this reader
    // leaves to Qt's.
    QByteArrayView readName() {
        const char* from = p_;
        const auto first = [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        };
        if (p_ == end_ || !first(*p_))
            return {};
        const auto rest = [this, &first] {
            while (p_ < end_ &&
                   (first(*p_) || (*p_ >= '0' && *p_ <= '9') || *p_ == '-' || *p_ == '.'))
                ++p_;
        };
        rest();
        if (prefixes_ && p_ + 1 < end_ && *p_ == ':' && first(p_[1])) {
            ++p_;
            rest();
        }
        if (p_ < end_ && (*p_ == ':' || uchar(*p_) >= 0x80))
            return {};
        return {from, p_ - from};
    }

    // One character beyond ASCII at p, checked and appended to into when there is one.
    static bool utf8(const char*& p, const char* end, QString* into) {
        const auto lead = uchar(*p);
        const int size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (size == 0 || lead > 0xF4 || end - p < size)
            return false;
        char32_t c = lead & (0x7F >> size);
        for (int i = 1; i < size; ++i) {
            const auto next = uchar(p[i]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms, and surrogates, are not UTF-8.
        if ((size == 3 && c < 0x800) || (size == 4 && c < 0x10000) || !isXmlChar(c))
            return false;
        appendChar(into, c);
        p += size;
        return true;
    }

    // A reference at p: the five XML predefines, or a character's number.
    static bool reference(const char*& p, const char* end, QString* into) {
        const char* semicolon = static_cast<const char*>(std::memchr(p, ';', size_t(end - p)));
        if (!semicolon || semicolon - p > 12)
            return false;
        const QByteArrayView name(p + 1, semicolon - p - 1);
        char32_t c = 0;
        if (name == "lt")
            c = '<';
        else if (name == "gt")
            c = '>';
        else if (name == "amp")
            c = '&';
        else if (name == "quot")
            c = '"';
        else if (name == "apos")
            c = '\'';
        else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const QByteArrayView digits = name.sliced(hex ? 2 : 1);
            if (digits.isEmpty())
                return false;
            for (const char d : digits) {
                const int value = d >= '0' && d <= '9'          ? d - '0'
                                  : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                                  : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                                : -1;
                if (value < 0)
                    return false;
                c = c * (hex ? 16 : 10) + char32_t(value);
            }
            if (!isXmlChar(c))
                return false;
        } else {
            return false;
        }
        appendChar(into, c);
        p = semicolon + 1;
        return true;
    }

    // Characters of a comment, an instruction or a CDATA section, checked, and appended to into
    // when there is one.
    static bool characters(const char* p, const char* end, QString* into) {
        while (p < end) {
            if (into && into->size() > LongestField)
                into = nullptr; // no more is kept
            if (uchar(*p) >= 0x80) {
                if (!utf8(p, end, into))
                    return false;
            } else if (*p == '\r') {
                appendChar(into, '\n');
                p += p + 1 < end && p[1] == '\n' ? 2 : 1;
            } else if (uchar(*p) < 0x20 && !isBlank(*p)) {
                return false;
            } else {
                appendChar(into, char32_t(*p++));
            }
        }
        return true;
    }

    // Plain text, as it stands, with its line ends made LF.
    static void appendPlain(QString* into, const char* from, const char* to) {
        if (!into || into->size() > LongestField)
            return;
        to = std::min(to, from + (LongestField + 1 - into->size()));
        if (!std::memchr(from, '\r', size_t(to - from)))
            into->append(QLatin1StringView(from, to - from));
        else
            characters(from, to, into);
    }

    const char* find(const char* text) const {
        const auto size = std::strlen(text);
        return static_cast<const char*>(memmem(p_, size_t(end_ - p_), text, size));
    }

    bool comment() {
        const char* dashes =
            static_cast<const char*>(memmem(p_ + 4, size_t(end_ - p_ - 4), "--", 2));
        if (!dashes || end_ - dashes < 3 || dashes[2] != '>' ||
            !characters(p_ + 4, dashes, nullptr))
            return fail();
        p_ = dashes + 3;
        return true;
    }

    bool instruction() {
        p_ += 2;
        const QByteArrayView target = readName();
        if (target.isEmpty() || target.compare("xml", Qt::CaseInsensitive) == 0)
            return fail();
        const char* close = find("?>");
        if (!close || (close != p_ && !isBlank(*p_)) || !characters(p_, close, nullptr))
            return fail();
        p_ = close + 2;
        return true;
    }

    // The XML declaration: version 1.0, UTF-8 if an encoding is named.
    bool declaration() {
        p_ += 5;
        // A name begun but not followed by its value ("standalonex") spoils the declaration.
        bool spoilt = false;
        const auto pseudo = [this, &spoilt](const char* name, QByteArrayView& value) {
            const char* from = p_;
            skipBlanks();
            if (p_ == from || !startsWith(name)) {
                p_ = from;
                return false;
            }
            p_ += std::strlen(name);
            spoilt = true;
            skipBlanks();
            if (p_ == end_ || *p_++ != '=')
                return false;
            skipBlanks();
            if (p_ == end_ || (*p_ != '"' && *p_ != '\''))
                return false;
            const char* close =
                static_cast<const char*>(std::memchr(p_ + 1, *p_, size_t(end_ - p_ - 1)));
            if (!close)
                return false;
            spoilt = false;
            value = QByteArrayView(p_ + 1, close - p_ - 1);
            p_ = close + 1;
            return true;
        };
        QByteArrayView version, encoding, standalone;
        if (!pseudo("version", version) || version != "1.0")
            return fail();
        if (pseudo("encoding", encoding)) {
            if (encoding.compare("UTF-8", Qt::CaseInsensitive) != 0)
                return fail();
            encoding_ = QStringLiteral("UTF-8"); // as Qt's reader names it, however written
        }
        if (pseudo("standalone", standalone) && standalone != "yes" && standalone != "no")
            return fail();
        if (spoilt)
            return fail();
        skipBlanks();
        if (!startsWith("?>"))
            return fail();
        p_ += 2;
        return true;
    }

    // A document type that names an outside DTD at most: one with declarations of its own is
    // left to Qt's reader, which refuses entities.
    bool doctype() {
        p_ += 9;
        const char* from = p_;
        skipBlanks();
        if (p_ == from || readName().isEmpty())
            return fail();
        const auto literal = [this](bool publicId) {
            const char* from = p_;
            skipBlanks();
            if (p_ == from || p_ == end_ || (*p_ != '"' && *p_ != '\''))
                return false;
            const char* close =
                static_cast<const char*>(std::memchr(p_ + 1, *p_, size_t(end_ - p_ - 1)));
            if (!close)
                return false;
            // The letters of a public identifier; Qt's reader takes no reference or markup in
            // a system one either, nor does this one anything beyond ASCII.
            for (const char* c = p_ + 1; c < close; ++c)
                if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                      (*c >= '0' && *c <= '9') ||
                      (*c != '\0' && std::strchr(" \r\n-'()+,./:=?;!*#@$_%", *c)) ||
                      (!publicId && (*c == '~' || *c == '"'))))
                    return false;
            p_ = close + 1;
            return true;
        };
        const char* beforeId = p_;
        skipBlanks();
        if (startsWith("SYSTEM") && p_ != beforeId) {
            p_ += 6;
            if (!literal(false))
                return fail();
        } else if (startsWith("PUBLIC") && p_ != beforeId) {
            p_ += 6;
            if (!literal(true) || !literal(false))
                return fail();
        }
        skipBlanks();
        if (!startsWith(">"))
            return fail();
        ++p_;
        return true;
    }

    Token giveUp() {
        unsure_ = true;
        return Token::Stop;
    }

    // A start tag at p_, its attributes kept as they stand.
    Token startTag() {
        ++p_;
        const QByteArrayView name = readName();
        if (name.isEmpty() || opened_ == MostOpen)
            return giveUp();
        attributes_ = 0;
        for (;;) {
            const char* from = p_;
            skipBlanks();
            if (p_ == end_)
                return giveUp();
            if (*p_ == '>') {
                ++p_;
                break;
            }
            if (*p_ == '/') {
                if (end_ - p_ < 2 || p_[1] != '>')
                    return giveUp();
                p_ += 2;
                closed_ = true;
                break;
            }
            Attribute attribute;
            if (p_ == from || attributes_ == MostAttributes ||
                (attribute.name = readName()).isEmpty() || attribute.name.startsWith("xmlns"))
                return giveUp();
            skipBlanks();
            if (p_ == end_ || *p_++ != '=')
                return giveUp();
            skipBlanks();
            if (p_ == end_ || (*p_ != '"' && *p_ != '\''))
                return giveUp();
            const char quote = *p_++;
            const char* close = static_cast<const char*>(std::memchr(p_, quote, size_t(end_ - p_)));
            if (!close)
                return giveUp();
            for (const char* c = p_; c < close;) {
                if (*c == '&') {
                    if (!reference(c, close, nullptr))
                        return giveUp();
                } else if (uchar(*c) >= 0x80) {
                    if (!utf8(c, close, nullptr))
                        return giveUp();
                } else if (*c == '<' || (uchar(*c) < 0x20 && !isBlank(*c))) {
                    return giveUp();
                } else {
                    ++c;
                }
            }
            attribute.value = QByteArrayView(p_, close - p_);
            p_ = close + 1;
            for (int i = 0; i < attributes_; ++i)
                if (attribute_[i].name == attribute.name)
                    return giveUp();
            attribute_[attributes_++] = attribute;
        }
        name_ = open_[opened_++] = name;
        return Token::Start;
    }

    Token endTag() {
        p_ += 2;
        const QByteArrayView name = readName();
        if (opened_ == 0 || name.isEmpty() || name != open_[opened_ - 1])
            return giveUp();
        skipBlanks();
        if (p_ == end_ || *p_ != '>')
            return giveUp();
        ++p_;
        --opened_;
        return Token::End;
    }

    // The next start or end of an element inside the root, the text before it appended to
    // into when there is one.
    Token next(QString* into) {
        if (unsure_)
            return Token::Stop;
        if (closed_) { // <name/>
            closed_ = false;
            --opened_;
            return Token::End;
        }
        for (;;) {
            if (into && into->size() > LongestField)
                into = nullptr; // no more is kept
            const char* run = plainRun(p_, end_);
            if (into && run != p_)
                appendPlain(into, p_, run);
            p_ = run;
            if (p_ == end_)
                return giveUp();
            const char c = *p_;
            if (c == '<') {
                if (end_ - p_ < 2)
                    return giveUp();
                if (p_[1] == '/')
                    return endTag();
                if (p_[1] == '?') {
                    if (!instruction())
                        return Token::Stop;
                } else if (startsWith("<!--")) {
                    if (!comment())
                        return Token::Stop;
                } else if (startsWith("<![CDATA[")) {
                    p_ += 9;
                    const char* close = find("]]>");
                    if (!close || !characters(p_, close, into))
                        return giveUp();
                    p_ = close + 3;
                } else if (p_[1] == '!') {
                    return giveUp();
                } else {
                    return startTag();
                }
            } else if (c == '&') {
                if (!reference(p_, end_, into))
                    return giveUp();
            } else if (c == ']') {
                if (end_ - p_ >= 3 && p_[1] == ']' && p_[2] == '>')
                    return giveUp();
                appendChar(into, ']');
                ++p_;
            } else if (uchar(c) >= 0x80) {
                if (!utf8(p_, end_, into))
                    return giveUp();
            } else {
                return giveUp();
            }
        }
    }

    struct Attribute final {
        QByteArrayView name;
        QByteArrayView value;
    };
    static constexpr int MostAttributes = 16;

    const char* const begin_;
    const char* p_;
    const char* const end_;
    QString broken_;
    bool prefixes_ = false;
    bool unsure_ = false;
    bool closed_ = false;
    QByteArrayView name_;
    // The elements open, outermost first: an end tag must name the last.
    static constexpr int MostOpen = MostXmlDepth + 2;
    QByteArrayView open_[MostOpen];
    int opened_ = 0;
    Attribute attribute_[MostAttributes];
    int attributes_ = 0;
    QString value_;
    QString encoding_;
    qint64 counted_ = 0;
    qint32 line_ = 1;
};

} // namespace xmlwalk

using xmlwalk::BoundedXml;
using xmlwalk::QuickXml;
using xmlwalk::Token;
