#pragma once
// What the readers of the word-list formats share: where their pairs go and how they say why a
// file is refused. Inside the lessons folder only; wordlists.h is the front.
#include "lessons/wordlists.h"

#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// How many of a list's first rows a preview shows.
inline constexpr qsizetype PreviewRows = 20;
// How many rows left out are named by their line.
inline constexpr qsizetype LinesNamed = 20;

// "“path”what，没有读入任何单词"
FileResult refused(FileError kind, const QString& path, const QString& what);

// Where read pairs go, and what is told of the rest.
struct ListOutput final {
    const PairSink& sink;
    ListReading& reading;
    const WordExtras* extras = nullptr; // where pronunciations and recordings go, if anywhere
    // Told of each pair handed on, with its row's line (a package's notes, for their recordings).
    std::function<void(QStringView word, qint32 line)> handedOn = nullptr;
    qint64 pairs = 0;
    qint64 passOver = 0;   // pairs an earlier reading of the same file handed on already
    bool mediaRow = false; // the row in hand has a picture or a sound, where text may be missing

    void leaveOut(qint32 line, SideFault why = SideFault::None) {
        ++reading.unreadable;
        reading.tooLong += why == SideFault::TooLong;
        reading.controlCharacters += why == SideFault::ControlCharacter;
        if (reading.unreadableLines.size() < LinesNamed)
            reading.unreadableLines << line;
    }

    // Hands a pair on, or leaves its row out; refuses the file, at once, past the most pairs
    // a list may have.
    // A pronunciation goes with its pair, when the pair is handed on.
    FileResult put(QStringView word, QStringView meaning, qint32 line, const QString& path,
                   QStringView pronunciation = {}) {
        return putAt(
            word, meaning, [line] { return line; }, path, pronunciation);
    }
    // The same, with the row's line asked for only when it is left out.
    template <class Line>
    FileResult putAt(QStringView word, QStringView meaning, const Line& line, const QString& path,
                     QStringView pronunciation = {}) {
        if (word.isEmpty() || meaning.isEmpty()) {
            ++reading.incomplete;
            reading.mediaOnly += mediaRow;
            return FileResult::success();
        }
        if (const SideFault why = std::max(sideFault(word), sideFault(meaning));
            why != SideFault::None) {
            leaveOut(line(), why);
            return FileResult::success();
        }
        if (++pairs > MostListPairs)
            return tooManyPairs(path);
        if (pairs > passOver) {
            sink(word, meaning);
            if (!pronunciation.isEmpty() && extras && extras->pronounced)
                if (const QString shown = shownPronunciation(pronunciation); !shown.isEmpty())
                    extras->pronounced(word, shown);
            if (handedOn)
                handedOn(word, line());
        }
        return FileResult::success();
    }

    // Reads the file again from its start: what was found is forgotten, and the pairs handed
    // on already are not handed on again.
    void readAgain() {
        passOver = qMax(passOver, pairs);
        pairs = 0;
        const ListFormat format = reading.format;
        reading = {};
        reading.format = format;
    }
};

// KVTML 2: the quick reader of the usual files, with Qt's XML reader for whatever it is not sure
// of (other encodings, DTDs with declarations, anything malformed), which then reads the whole
// file and says what is wrong with it.
FileResult readKvtml(QByteArray& bytes, const QString& path, const ListRequest& request,
                     ListOutput& out);
// The quick reader alone: nothing when it is not sure of the file, and then some pairs may have
// been handed on already.
std::optional<FileResult> readKvtmlQuickly(const QByteArray& bytes, const QString& path,
                                           const ListRequest& request, ListOutput& out);
// Qt's XML reader alone: what the quick reader must agree with.
FileResult readKvtmlGenerally(const QByteArray& bytes, const QString& path,
                              const ListRequest& request, ListOutput& out);
QByteArray kvtmlBytes(const QList<WordPair>& pairs, const QString& title);

// ---- Rows of separated text, shared by the spreadsheet lists, the flash-card text and the
// ---- packages' notes (listrows.cpp) -----------------------------------------------------------

inline bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}

// The lines of a text one at a time, counted from 1.
struct Lines final {
    QStringView text;
    qsizetype at = 0;
    qint32 number = 0;

    bool next(QStringView& line) {
        if (at >= text.size())
            return false;
        qsizetype end = at;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        line = text.sliced(at, end - at);
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++end;
        at = end + 1;
        ++number;
        return true;
    }
};

// A field without the blanks around it; the usual field, with none, at once.
inline QStringView trimmedField(QStringView field) {
    const auto plain = [](QChar c) { return c.unicode() > u' ' && c.unicode() < 0x80; };
    if (field.isEmpty() || (plain(field.front()) && plain(field.back())))
        return field;
    return field.trimmed();
}

// A record as split: its fields are pieces of the text, or of held where they are not the text
// as it stands (quoted, or made from it), so that a long list costs no copy of every field.
using Fields = std::vector<QStringView>;

struct Record final {
    Fields fields;
    QStringList held;
    qint32 line = 0;    // where the record starts, counted from 1
    bool bad = false;   // a stray quote: the row cannot be read as it was meant
    bool hash = false;  // its line begins with "#" (a quoted "#…" does not)
    bool media = false; // a card with a picture or a recording, which may be all a side has

    QStringList strings() const {
        QStringList all;
        all.reserve(fields.size());
        for (const QStringView field : fields)
            all << field.toString();
        return all;
    }
};

// A record that keeps its own copy of its fields.
struct Row final {
    QStringList fields;
    qint32 line = 0;
    bool bad = false;
    bool media = false;
};

// Records of comma-, semicolon- or tab-separated text as RFC 4180 has them: a field in double
// quotes may hold the separator, line ends and doubled quotes. Blanks around a field are not
// part of it, and may stand before an opening or after a closing quote; "\n" in a field that is
// not quoted is a line break, as dictionaries export one. CR LF, CR and LF all
// end a record. A stray quote costs its own row only: a quote never closed is taken as a
// character up to its line's end, text after a closing quote is kept; either marks the row
// bad.
class RecordSplitter final {
public:
    RecordSplitter(QStringView text, QChar separator, qint32 firstLine)
        : text_(text)
        , separator_(separator)
        , line_(firstLine) {}

    // False at the end of the text. The record's held strings are written over where they
    // can be: a long list costs no allocation a field.
    bool next(Record& record) {
        record.line = line_;
        record.bad = false;
        record.fields.clear();
        if (at_ >= text_.size())
            return false;
        record.hash = text_[at_] == u'#';
        for (qsizetype count = 0;; ++count) {
            skipBlanks();
            if (at_ < text_.size() && text_[at_] == u'"') {
                if (count >= record.held.size())
                    record.held.resize(count + 1);
                QString& field = record.held[count];
                field.resize(0);
                if (!quoted(field))
                    record.bad = true;
                skipBlanks();
                if (at_ < text_.size() && text_[at_] != separator_ && !isLineEnd(text_[at_])) {
                    record.bad = true;
                    field += unquoted();
                }
                record.fields.emplace_back(field);
            } else {
                const QStringView field = unquoted();
                // A dictionary's export writes a line break in a field as "\n".
                if (field.contains(u'\\') && field.contains(u"\\n")) {
                    if (count >= record.held.size())
                        record.held.resize(count + 1);
                    record.held[count] =
                        field.toString()
                            .replace(QStringLiteral("\\r\\n"), QStringLiteral("\n"))
                            .replace(QStringLiteral("\\n"), QStringLiteral("\n"));
                    record.fields.emplace_back(record.held[count]);
                } else {
                    record.fields.push_back(field);
                }
            }
            if (at_ < text_.size() && text_[at_] == separator_) {
                ++at_;
                continue;
            }
            if (at_ < text_.size())
                endLine();
            return true;
        }
    }

private:
    // Blanks that are not the separator itself.
    void skipBlanks() {
        while (at_ < text_.size() && (text_[at_] == u' ' || text_[at_] == u'\t') &&
               text_[at_] != separator_)
            ++at_;
    }

    QStringView unquoted() {
        const qsizetype begin = at_;
        const char16_t* const text = text_.utf16();
        const qsizetype size = text_.size();
#if defined(__SSE2__)
        const __m128i separator = _mm_set1_epi16(short(separator_.unicode()));
        const __m128i cr = _mm_set1_epi16('\r'), lf = _mm_set1_epi16('\n');
        for (; size - at_ >= 8; at_ += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at_));
            const __m128i ends =
                _mm_or_si128(_mm_cmpeq_epi16(v, separator),
                             _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
            if (const int found = _mm_movemask_epi8(ends)) {
                at_ += __builtin_ctz(unsigned(found)) / 2;
                return trimmedField(text_.sliced(begin, at_ - begin));
            }
        }
#endif
        while (at_ < size && text[at_] != separator_.unicode() && !isLineEnd(text[at_]))
            ++at_;
        return trimmedField(text_.sliced(begin, at_ - begin));
    }

    void endLine() {
        if (text_[at_] == u'\r' && at_ + 1 < text_.size() && text_[at_ + 1] == u'\n')
            ++at_;
        ++at_;
        ++line_;
    }

    // False when the quote is never closed: then it was a stray one, and the field is the
    // rest of its line, quote and all.
    bool quoted(QString& field) {
        const qsizetype opened = at_;
        const qint32 openedLine = line_;
        ++at_;
        for (;;) {
            if (at_ >= text_.size()) {
                at_ = opened;
                line_ = openedLine;
                field.resize(0);
                field.append(unquoted());
                return false;
            }
            const QChar c = text_[at_];
            if (c == u'"') {
                if (at_ + 1 < text_.size() && text_[at_ + 1] == u'"') {
                    field += u'"';
                    at_ += 2;
                    continue;
                }
                ++at_;
                return true;
            }
            if (isLineEnd(c)) {
                // Kept in the field (which then cannot be a lesson's), counted as a line.
                field += c;
                if (c == u'\r' && at_ + 1 < text_.size() && text_[at_ + 1] == u'\n')
                    ++at_;
                ++at_;
                ++line_;
                continue;
            }
            field += c;
            ++at_;
        }
    }

    QStringView text_;
    QChar separator_;
    qsizetype at_ = 0;
    qint32 line_;
};

// What stands for a text too long for any word that a reader did not keep: its row is then
// left out as such.
inline QString overLongText() {
    return QString(LongestField + 1, u'x');
}

// Whether text holds a Chinese character.
bool hasHan(QStringView text);
// "n.", "vt.", "adj./adv.": a part of speech and nothing else.
bool isPartOfSpeech(QStringView cell);
// A field's line breaks, each run as one "；": a meaning is shown on one line. The field as it
// stands when it has none, else into.
QStringView oneLine(QStringView field, QString& into);

// Turns a record's fields into the columns that count (the flash-card text leaves some out and
// strips HTML); none: the fields as split.
using CellsOf = std::function<QStringList(const QStringList&)>;

// Reads the records of a list: the first ones decide the layout (unless the learner did), then
// every record gives its pair. The rows come from next; separator is the one between their
// fields (commas in the last column of a comma-separated row belong to it), or none.
FileResult readRows(const std::function<bool(Record&)>& next, QChar separator, bool headerPossible,
                    const QStringList& names, const CellsOf& cells, const QString& path,
                    const ListRequest& request, ListOutput& out);
// The same on the records of text.
FileResult readRecords(QStringView text, QChar separator, qint32 firstLine, bool headerPossible,
                       const QStringList& names, const CellsOf& cells, const QString& path,
                       const ListRequest& request, ListOutput& out);

// A text list's bytes decoded as asked (or guessed), the encoding told; bytes are let go.
FileResult decodeList(QByteArray& bytes, const QString& path, TextGuess guess, QString& text,
                      ListReading& reading);

// ---- The formats: each recognised, read and written in a file of its own ---------------------

// Spreadsheet lists (delimited.cpp).
bool looksDelimited(QStringView head);
FileResult readDelimited(QByteArray& bytes, const QString& path, const ListRequest& request,
                         ListOutput& out);
// A field of separated text, quoted where needed.
QString cell(const QString& text, QChar separator);
QByteArray delimitedBytes(const QList<WordPair>& pairs, const QString& title);

// The flash-card programs' text export (flashcardtext.cpp).
bool startsWithFlashCardHeader(QStringView head);
FileResult readFlashCards(QByteArray& bytes, const QString& path, const ListRequest& request,
                          ListOutput& out);
QByteArray flashCardBytes(const QList<WordPair>& pairs, const QString& title);
// The text of an HTML field.
QString plainText(const QString& html);

// The typing trainers' JSON word books (wordbook.cpp): read only.
bool looksLikeWordBook(QStringView head, QStringView suffix);
FileResult readWordBook(QByteArray& bytes, const QString& path, const ListRequest& request,
                        ListOutput& out);

// The flash-card programs' packages (flashcardpackage.cpp): read only.
FileResult readPackage(QByteArray& bytes, const QString& path, const ListRequest& request,
                       ListOutput& out);

// A dictionary program's XML word book (youdaobook.cpp): read only.
bool looksLikeYoudaoBook(QStringView head);
FileResult readYoudaoBook(QByteArray& bytes, const QString& path, const ListRequest& request,
                          ListOutput& out);
// Its two readers alone, as for KVTML: the quick one (nothing when unsure) and Qt's.
std::optional<FileResult> readYoudaoBookQuickly(const QByteArray& bytes, const QString& path,
                                                const ListRequest& request, ListOutput& out);
FileResult readYoudaoBookGenerally(const QByteArray& bytes, const QString& path,
                                   const ListRequest& request, ListOutput& out);

// Plain-text lists, an entry a line (freeform.cpp): read only.
bool looksFreeForm(QStringView head);
FileResult readFreeForm(QByteArray& bytes, const QString& path, const ListRequest& request,
                        ListOutput& out);

// Spreadsheets, their rows read by the packages module (flashcardpackage.cpp): read only.
FileResult readSpreadsheet(QByteArray& bytes, const QString& path, const ListRequest& request,
                           ListOutput& out);
