#include "lessons/wordlists.h"
#include "lessons/flashcardpackage.h"
#include "lessons/listreaders.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ---- Recognising a format ------------------------------------------------------------------

// The first few kilobytes as text, enough to see an XML declaration or a header line.
QString headOf(const QByteArray& bytes) {
    const QByteArrayView head = QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), 4096));
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(head.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                         : QStringConverter::Utf16BE);
        return utf16(head.sliced(2));
    }
    // UTF-16 without its mark: ASCII has a zero byte beside every letter.
    if (head.size() >= 4 && head[1] == '\0' && head[3] == '\0' && head[0] != '\0') {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return utf16(head.first(head.size() & ~qsizetype(1)));
    }
    // Only ASCII matters here; anything else may decode as it likes.
    return QString::fromUtf8(head.startsWith("\xEF\xBB\xBF") ? head.sliced(3) : head);
}

// The header lines of the flash-card programs' text export, as "#name:value".
const QStringList FlashCardHeaders = {
    QStringLiteral("separator"),   QStringLiteral("html"),        QStringLiteral("columns"),
    QStringLiteral("tags"),        QStringLiteral("deck"),        QStringLiteral("notetype"),
    QStringLiteral("tags column"), QStringLiteral("deck column"), QStringLiteral("notetype column"),
    QStringLiteral("guid column"),
};

std::optional<std::pair<QString, QString>> headerLine(QStringView line) {
    if (!line.startsWith(u'#'))
        return std::nullopt;
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QString name = line.sliced(1, colon - 1).trimmed().toString().toLower();
    if (!FlashCardHeaders.contains(name))
        return std::nullopt;
    return std::pair{name, line.sliced(colon + 1).trimmed().toString()};
}

// ---- Splitting delimited text ---------------------------------------------------------------

bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}

// A field without the blanks around it; the usual field, with none, at once.
QStringView trimmed(QStringView field) {
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
    qint32 line = 0;  // where the record starts, counted from 1
    bool bad = false; // a stray quote: the row cannot be read as it was meant

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
};

// Records of comma-, semicolon- or tab-separated text as RFC 4180 has them: a field in double
// quotes may hold the separator, line ends and doubled quotes. Blanks around a field are not
// part of it, and may stand before an opening or after a closing quote. CR LF, CR and LF all
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
                record.fields.push_back(unquoted());
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
                return trimmed(text_.sliced(begin, at_ - begin));
            }
        }
#endif
        while (at_ < size && text[at_] != separator_.unicode() && !isLineEnd(text[at_]))
            ++at_;
        return trimmed(text_.sliced(begin, at_ - begin));
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

// ---- Which column holds what ---------------------------------------------------------------

bool hasHan(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
            (u >= 0xD840 && u <= 0xD87F))
            return true;
    }
    return false;
}

bool hasAsciiLetter(QStringView text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x80 && c.isLetter(); });
}

// Column names a header row of a word list has.
bool isColumnName(const QString& cell) {
    static const QStringList names = {
        // the word
        QStringLiteral("english"), QStringLiteral("word"), QStringLiteral("words"),
        QStringLiteral("term"), QStringLiteral("front"), QStringLiteral("question"),
        QStringLiteral("vocabulary"), QStringLiteral("vocab"), QStringLiteral("en"),
        QStringLiteral("英文"), QStringLiteral("英语"), QStringLiteral("单词"),
        QStringLiteral("词汇"), QStringLiteral("生词"), QStringLiteral("词语"),
        QStringLiteral("汉字"), QStringLiteral("hanzi"), QStringLiteral("character"),
        // the meaning
        QStringLiteral("chinese"), QStringLiteral("meaning"), QStringLiteral("meanings"),
        QStringLiteral("translation"), QStringLiteral("definition"), QStringLiteral("back"),
        QStringLiteral("answer"), QStringLiteral("zh"), QStringLiteral("cn"),
        QStringLiteral("中文"), QStringLiteral("汉语"), QStringLiteral("释义"),
        QStringLiteral("意思"), QStringLiteral("词义"), QStringLiteral("解释"),
        QStringLiteral("翻译"), QStringLiteral("含义")};
    return names.contains(cell.trimmed().toLower());
}

// "n.", "vt.", "adj./adv.": a part of speech and nothing else.
bool isPartOfSpeech(const QString& cell) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(?:n|v|vt|vi|adj|adv|a|ad|prep|conj|pron|num|art|int|interj|aux|"
                       "abbr|pl|phr|det|modal|link-v)\\.?\\s*(?:[/&,;]\\s*|$))+$"),
        QRegularExpression::CaseInsensitiveOption);
    return !cell.isEmpty() && cell.size() <= 24 && pattern.match(cell).hasMatch();
}

// A pronunciation: /ɡrɪt/, [ɡrɪt], IPA letters, or pinyin with its tone letters or numbers.
bool isPhonetic(const QString& cell) {
    if (cell.size() >= 2 && ((cell.startsWith(u'/') && cell.endsWith(u'/')) ||
                             (cell.startsWith(u'[') && cell.endsWith(u']'))))
        return true;
    static const QRegularExpression numbered(QStringLiteral("^(?:[a-zü]+[1-5]\\s*)+$"));
    if (numbered.match(cell).hasMatch())
        return true;
    static const QString tones = QStringLiteral("āáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜ");
    for (const QChar c : cell) {
        const char16_t u = c.unicode();
        if ((u >= 0x250 && u <= 0x2AF) || u == 0x2C8 || u == 0x2CC || u == 0x2D0 ||
            tones.contains(c))
            return true;
    }
    return false;
}

struct ColumnCounts final {
    int filled = 0, han = 0, latin = 0, partOfSpeech = 0, phonetic = 0;
};

// Where the word, its meaning and a part of speech are, and whether the first row is a header,
// from what the first rows hold. The word is the first column of short Latin text that is
// neither a part of speech nor a pronunciation, the meaning the column of Chinese; a list with
// Chinese first (hanzi, pinyin, English) is so turned round. Without Chinese, the meaning is
// the first other column that is neither.
// Column names that say which language a column holds: these decide over the content, so that
// what Vokarin writes (English, Chinese) reads back as it was, whatever the words are.
int languageColumn(const QStringList& names, bool chinese) {
    static const QStringList english = {QStringLiteral("english"), QStringLiteral("英文"),
                                        QStringLiteral("英语"), QStringLiteral("en")};
    static const QStringList han = {QStringLiteral("chinese"), QStringLiteral("中文"),
                                    QStringLiteral("汉语"),    QStringLiteral("zh"),
                                    QStringLiteral("cn"),      QStringLiteral("汉字"),
                                    QStringLiteral("hanzi")};
    for (int c = 0; c < names.size(); ++c)
        if ((chinese ? han : english).contains(names[c].trimmed().toLower()))
            return c;
    return -1;
}

ListLayout guessLayout(const QList<Row>& rows, bool headerPossible, const QStringList& names) {
    int columns = 0;
    for (const Row& row : rows)
        columns = qMax(columns, int(row.fields.size()));
    ListLayout layout;
    if (columns < 2)
        return layout;

    const qsizetype from = headerPossible && rows.size() > 1 ? 1 : 0;
    QList<ColumnCounts> counts(columns);
    for (qsizetype r = from; r < rows.size(); ++r) {
        const QStringList& fields = rows[r].fields;
        for (int c = 0; c < fields.size(); ++c) {
            const QString& cell = fields[c];
            if (cell.isEmpty())
                continue;
            ColumnCounts& n = counts[c];
            ++n.filled;
            const bool han = hasHan(cell);
            n.han += han;
            n.partOfSpeech += isPartOfSpeech(cell);
            n.phonetic += !han && isPhonetic(cell);
            n.latin += !han && hasAsciiLetter(cell) && cell.size() <= 60;
        }
    }
    auto share = [](int part, const ColumnCounts& n) {
        return n.filled > 0 ? double(part) / n.filled : 0;
    };
    int meaning = -1;
    double bestHan = 0.5;
    for (int c = 0; c < columns; ++c)
        if (share(counts[c].han, counts[c]) > bestHan)
            bestHan = share(counts[c].han, counts[c]), meaning = c;
    for (int c = 0; c < columns && layout.partOfSpeechColumn < 0; ++c)
        if (c != meaning && share(counts[c].partOfSpeech, counts[c]) >= 0.6)
            layout.partOfSpeechColumn = c;
    // Accented words are not a pronunciation, though one of them may look like pinyin: a
    // column is one when nearly all of it is.
    const auto usable = [&](int c) {
        return c != meaning && c != layout.partOfSpeechColumn &&
               share(counts[c].phonetic, counts[c]) < 0.8;
    };
    // Columns named by language, in the flash-card header lines or the first row.
    const bool headerNames = names.isEmpty() && headerPossible && !rows.isEmpty();
    const QStringList& named = headerNames ? rows[0].fields : names;
    if (const int e = languageColumn(named, false), z = languageColumn(named, true);
        e >= 0 && z >= 0) {
        layout.wordColumn = e;
        layout.meaningColumn = z;
        layout.header = headerNames;
        if (layout.partOfSpeechColumn == e || layout.partOfSpeechColumn == z)
            layout.partOfSpeechColumn = -1;
        return layout;
    }
    int word = -1;
    for (int c = 0; c < columns && word < 0; ++c)
        if (usable(c) && share(counts[c].latin, counts[c]) >= 0.5)
            word = c;
    for (int c = 0; c < columns && word < 0; ++c)
        if (usable(c))
            word = c;
    if (word < 0)
        word = meaning == 0 ? 1 : 0;
    if (meaning < 0)
        for (int c = 0; c < columns && meaning < 0; ++c)
            if (c != word && usable(c) && counts[c].filled > 0)
                meaning = c;
    if (meaning < 0)
        meaning = word == 0 ? 1 : 0;
    layout.wordColumn = word;
    layout.meaningColumn = meaning;
    if (layout.partOfSpeechColumn == word || layout.partOfSpeechColumn == meaning)
        layout.partOfSpeechColumn = -1;

    // A header names its columns, or holds no Chinese where nearly every row below does.
    if (headerPossible && rows.size() > 1) {
        const QStringList& first = rows[0].fields;
        const QString firstWord = first.value(word), firstMeaning = first.value(meaning);
        const ColumnCounts& m = counts[meaning];
        layout.header = isColumnName(firstWord) ||
                        (isColumnName(firstMeaning) && !hasHan(firstWord)) ||
                        (!firstMeaning.isEmpty() && !hasHan(firstMeaning) && m.filled > 0 &&
                         m.han * 5 >= m.filled * 4) ||
                        (layout.partOfSpeechColumn >= 0 &&
                         !isPartOfSpeech(first.value(layout.partOfSpeechColumn)) &&
                         !first.value(layout.partOfSpeechColumn).isEmpty() &&
                         !hasHan(firstMeaning) && !hasHan(firstWord));
    }
    return layout;
}

// How many of the first records decide the layout.
constexpr qsizetype LayoutSample = 200;

// The separator of a spreadsheet's text: the one that gives two or more columns on the most of
// its first records, then the one that gives the steadiest number of columns.
QChar separatorOf(QStringView text) {
    QChar best = u',';
    qsizetype bestRows = -1, bestCounts = 0;
    for (const QChar candidate : {QChar(u'\t'), QChar(u','), QChar(u';')}) {
        RecordSplitter splitter(text, candidate, 1);
        Record record;
        qsizetype rows = 0;
        QList<qsizetype> counts;
        for (int i = 0; i < 50 && splitter.next(record); ++i) {
            if (record.fields.size() >= 2)
                ++rows;
            if (const auto width = qsizetype(record.fields.size()); !counts.contains(width))
                counts << width;
        }
        if (rows > bestRows || (rows == bestRows && counts.size() < bestCounts)) {
            best = candidate;
            bestRows = rows;
            bestCounts = counts.size();
        }
    }
    return best;
}

// The number of fields most rows have.
qsizetype usualWidth(const QList<Row>& rows, qsizetype from) {
    QHash<qsizetype, qsizetype> widths;
    for (qsizetype r = from; r < rows.size(); ++r)
        ++widths[rows[r].fields.size()];
    qsizetype best = 0, most = 0;
    for (auto it = widths.cbegin(); it != widths.cend(); ++it)
        if (it.value() > most || (it.value() == most && it.key() < best))
            best = it.key(), most = it.value();
    return best;
}

// Reads the records of text as a list: the first ones decide the layout (unless the learner
// did), then every record gives its pair. cells turns a record's fields into the columns that
// count (the flash-card text leaves some out and strips HTML).
// The rows come from next; separator is the one between their fields (commas in the last
// column of a comma-separated row belong to it), or none.
FileResult readRows(const std::function<bool(Record&)>& next, QChar separator, bool headerPossible,
                    const QStringList& names,
                    const std::function<QStringList(const QStringList&)>& cells,
                    const QString& path, const ListRequest& request, ListOutput& out) {
    QList<Row> first;
    Record record;
    bool decided = false;
    ListLayout layout;
    qsizetype width = 0; // the fields a row has; more are the meaning's own commas
    // Commas in the last column of a comma-separated row belong to it.
    const bool mergeExtra = separator == u',';

    // A string is made only where fields are joined, and then written over.
    QString merged, joined;
    const auto take = [&](const Fields& fields, qint32 line, bool bad) -> FileResult {
        if (bad) {
            out.leaveOut(line);
            return FileResult::success();
        }
        const auto field = [&](int column) -> QStringView {
            return column >= 0 && size_t(column) < fields.size() ? fields[size_t(column)]
                                                                 : QStringView();
        };
        merged.resize(0);
        QStringView meaning = field(layout.meaningColumn), word = field(layout.wordColumn);
        const auto size = qsizetype(fields.size());
        if (mergeExtra && width >= 2 && size > width) {
            for (qsizetype c = width - 1; c < size; ++c) {
                if (c > width - 1)
                    merged += separator;
                merged += fields[size_t(c)];
            }
            if (layout.meaningColumn == width - 1)
                meaning = merged;
            if (layout.wordColumn == width - 1)
                word = merged;
        }
        if (const QStringView pos = field(layout.partOfSpeechColumn);
            !pos.isEmpty() && !meaning.isEmpty()) {
            joined.resize(pos.size() + 1 + meaning.size());
            QChar* into = std::copy(pos.begin(), pos.end(), joined.data());
            *into++ = u' ';
            std::copy(meaning.begin(), meaning.end(), into);
            meaning = joined;
        }
        return out.put(word, meaning, line, path);
    };
    const auto decide = [&]() -> FileResult {
        decided = true;
        layout = request.layout ? *request.layout : guessLayout(first, headerPossible, names);
        // A header says how many fields a row has; without one, most rows do.
        width = layout.header && !first.isEmpty() ? first[0].fields.size() : usualWidth(first, 0);
        if (mergeExtra && layout.header && !request.layout) {
            // The guess again, on the rows as they will be read.
            QList<Row> merged = first;
            for (qsizetype r = 1; r < merged.size(); ++r)
                if (QStringList& f = merged[r].fields; width >= 2 && f.size() > width)
                    f[width - 1] = f.sliced(width - 1).join(separator), f.resize(width);
            layout = guessLayout(merged, true, names);
            layout.header = true;
        }
        ListReading& reading = out.reading;
        reading.layout = layout;
        int columns = 0;
        for (qsizetype r = 0; r < first.size(); ++r) {
            if (r < PreviewRows)
                reading.firstRows << first[r].fields;
            columns = qMax(columns, int(first[r].fields.size()));
        }
        for (int c = 0; c < columns; ++c) {
            const QString name =
                layout.header && !first.isEmpty() ? first[0].fields.value(c) : names.value(c);
            reading.columns << (name.isEmpty() ? QStringLiteral("第 %1 列").arg(c + 1) : name);
        }
        for (qsizetype r = layout.header ? 1 : 0; r < first.size(); ++r) {
            const Fields views(first[r].fields.cbegin(), first[r].fields.cend());
            if (FileResult f = take(views, first[r].line, first[r].bad); !f.ok())
                return f;
        }
        first.clear();
        return FileResult::success();
    };
    while (next(record)) {
        const bool blank = std::all_of(record.fields.cbegin(), record.fields.cend(),
                                       [](QStringView f) { return f.isEmpty(); });
        if (blank)
            continue;
        if (cells) {
            record.held = cells(record.strings());
            record.fields.assign(record.held.cbegin(), record.held.cend());
        }
        if (!decided) {
            first << Row{record.strings(), record.line, record.bad};
            if (first.size() == LayoutSample)
                if (FileResult r = decide(); !r.ok())
                    return r;
            continue;
        }
        if (FileResult r = take(record.fields, record.line, record.bad); !r.ok())
            return r;
    }
    if (!decided)
        return decide();
    return FileResult::success();
}

FileResult readRecords(QStringView text, QChar separator, qint32 firstLine, bool headerPossible,
                       const QStringList& names,
                       const std::function<QStringList(const QStringList&)>& cells,
                       const QString& path, const ListRequest& request, ListOutput& out) {
    RecordSplitter splitter(text, separator, firstLine);
    return readRows([&](Record& record) { return splitter.next(record); }, separator,
                    headerPossible, names, cells, path, request, out);
}

FileResult readDelimited(QStringView text, const QString& path, const ListRequest& request,
                         ListOutput& out) {
    const bool tabs = path.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive) ||
                      path.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive);
    return readRecords(text, tabs ? QChar(u'\t') : separatorOf(text), 1, true, {}, {}, path,
                       request, out);
}

// ---- Flash-card text ------------------------------------------------------------------------

QChar separatorNamed(const QString& value) {
    static constexpr std::pair<std::u16string_view, char16_t> named[] = {
        {u"tab", u'\t'},  {u"comma", u','}, {u"semicolon", u';'},
        {u"space", u' '}, {u"pipe", u'|'},  {u"colon", u':'}};
    const QString name = value.toLower();
    for (const auto& [word, separator] : named)
        if (name == QStringView(word))
            return separator;
    return value.size() == 1 ? value[0] : QChar(u'\t');
}

// Text of an HTML field: line breaks and blocks become blanks, tags and sound references go,
// character references are resolved.
QString plainText(const QString& html) {
    static const QRegularExpression breaks(QStringLiteral("<\\s*(br|/?div|/?p|/?li)\\b[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[A-Za-z/!][^>]*>"));
    static const QRegularExpression sounds(QStringLiteral("\\[sound:[^\\]]*\\]"));
    static const QRegularExpression references(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]+);"));
    QString text = html;
    text.replace(breaks, QStringLiteral(" "));
    text.remove(tags);
    text.remove(sounds);
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = references.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        char32_t code = 0;
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = 0;
        } else {
            static const QHash<QString, char32_t> named = {
                {QStringLiteral("amp"), u'&'},   {QStringLiteral("lt"), u'<'},
                {QStringLiteral("gt"), u'>'},    {QStringLiteral("quot"), u'"'},
                {QStringLiteral("apos"), u'\''}, {QStringLiteral("nbsp"), u' '}};
            code = named.value(name, 0);
        }
        if (code == 0)
            continue;
        out += QStringView(text).sliced(from, m.capturedStart() - from);
        out += QString::fromUcs4(&code, 1);
        from = m.capturedEnd();
    }
    out += QStringView(text).sliced(from);
    return out.simplified();
}

FileResult readFlashCards(QStringView text, const QString& path, const ListRequest& request,
                          ListOutput& out) {
    QChar separator = u'\t';
    bool html = false;
    QList<int> skipped; // columns counted from 0
    QString columnNames;
    qsizetype at = 0;
    qint32 line = 1;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        const QStringView current = text.sliced(at, end - at);
        if (!current.startsWith(u'#'))
            break;
        // Header lines, and comments among them.
        const auto header = headerLine(current);
        const auto& [name, value] = header.value_or(std::pair<QString, QString>());
        if (name == u"separator") {
            separator = separatorNamed(value);
        } else if (name == u"html") {
            html = value.toLower() == u"true";
        } else if (name == u"columns") {
            columnNames = value;
        } else if (name.endsWith(QStringLiteral(" column"))) {
            if (const int column = value.toInt(); column > 0)
                skipped << column - 1;
        }
        if (end < text.size() && text[end] == u'\r' && end + 1 < text.size() &&
            text[end + 1] == u'\n')
            ++end;
        at = qMin(end + 1, text.size());
        ++line;
    }
    // The columns of the notes themselves, as text.
    const auto cells = [&](const QStringList& fields) {
        QStringList kept;
        for (qsizetype column = 0; column < fields.size(); ++column)
            if (!skipped.contains(int(column)))
                kept << (html ? plainText(fields[column]) : fields[column]);
        return kept;
    };
    QStringList names;
    if (!columnNames.isEmpty())
        names = cells(columnNames.split(separator));
    // Plain text in every column is taken as it is split.
    const bool asSplit = !html && skipped.isEmpty();
    return readRecords(text.sliced(at), separator, line, false, names,
                       asSplit ? std::function<QStringList(const QStringList&)>() : cells, path,
                       request, out);
}

// ---- Flash-card packages -------------------------------------------------------------------

FileResult readPackage(const QByteArray& bytes, const QString& path, const ListRequest& request,
                       ListOutput& out) {
    PackageNotes package;
    if (FileResult r = readPackageNotes(bytes, path, package); !r.ok())
        return r;
    out.reading.encoding = QStringLiteral("UTF-8");
    qsizetype at = 0;
    const auto next = [&](Record& record) {
        if (at >= package.notes.size())
            return false;
        const QStringList& note = package.notes[at];
        record.fields.assign(note.cbegin(), note.cend());
        record.line = qint32(at + 1);
        record.bad = false;
        ++at;
        return true;
    };
    const auto cells = [](const QStringList& fields) {
        QStringList text;
        for (const QString& field : fields)
            text << plainText(field);
        return text;
    };
    return readRows(next, QChar(), false, package.fieldNames, cells, path, request, out);
}

// A field of separated text, quoted when it holds what would split it or lose its blanks (any
// the reader trims, the ideographic space among them).
QString cell(const QString& text, QChar separator) {
    const bool quote = text.contains(separator) || text.contains(u'"') || text.contains(u'\r') ||
                       text.contains(u'\n') || text.startsWith(u'#') ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// Text whose rows are a spreadsheet's rather than a lesson's: most of its first lines have a
// tab between fields, or three or more comma-separated fields (a lesson line has two). Each
// line is split alone: a lesson's quote left open never runs into the next line.
bool looksDelimited(QStringView head) {
    // The last line may be cut off in the middle.
    const qsizetype lastEnd = std::max(head.lastIndexOf(u'\n'), head.lastIndexOf(u'\r'));
    if (lastEnd > 0)
        head = head.first(lastEnd);
    qsizetype lines = 0, tabbed = 0, wide = 0;
    for (qsizetype at = 0; at < head.size() && lines < 20;) {
        qsizetype end = at;
        while (end < head.size() && !isLineEnd(head[end]))
            ++end;
        const QStringView line = head.sliced(at, end - at);
        at = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        Record comma, tab;
        RecordSplitter(line, u',', 1).next(comma);
        RecordSplitter(line, u'\t', 1).next(tab);
        ++lines;
        tabbed += tab.fields.size() >= 2;
        wide += comma.fields.size() >= 3;
    }
    return lines > 0 && (tabbed * 2 > lines || wide * 2 > lines);
}

} // namespace

FileResult refused(FileError kind, const QString& path, const QString& what) {
    return {kind, QStringLiteral("“%1”%2，没有读入任何单词").arg(displayPath(path), what)};
}

bool lessonCanHold(QStringView field) {
    if (field.size() > LongestField)
        return false;
    // Nor control characters (a tab aside): a lesson file holding one is not taken for text.
    for (const QChar c : field)
        if (c == u'"' || (c.unicode() < 0x20 && c != u'\t'))
            return false;
    return true;
}

FileResult tooManyPairs(const QString& path) {
    return refused(FileError::TooLarge, path,
                   QStringLiteral("有超过 %1 对单词，太多了，不像是单词表").arg(MostListPairs));
}

ListFormat listFormatOf(const QString& path, const QByteArray& bytes) {
    if (isFlashCardPackage(bytes))
        return ListFormat::Package;
    const QString head = headOf(bytes);
    const QStringView start = QStringView(head).trimmed();
    if (start.startsWith(u"<?xml") || start.startsWith(u"<kvtml") ||
        start.startsWith(u"<!DOCTYPE kvtml"))
        return ListFormat::Kvtml;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"kvtml")
        return ListFormat::Kvtml;
    qsizetype firstEnd = 0;
    while (firstEnd < head.size() && !isLineEnd(head[firstEnd]))
        ++firstEnd;
    if (headerLine(QStringView(head).first(firstEnd)))
        return ListFormat::FlashCard;
    if (suffix == u"csv" || suffix == u"tsv" || suffix == u"tab" || looksDelimited(head))
        return ListFormat::Delimited;
    return ListFormat::Lesson;
}

FileResult readWordList(QByteArray bytes, ListFormat format, const QString& path,
                        const PairSink& sink, ListReading& reading, const ListRequest& request) {
    reading = {};
    reading.format = format;
    ListOutput out{sink, reading};
    if (format == ListFormat::Kvtml)
        return readKvtml(bytes, path, request, out);
    if (format == ListFormat::Package)
        return readPackage(bytes, path, request, out);
    QString text;
    // The flash-card programs write UTF-8 only; spreadsheets write GBK as often.
    const TextGuess guess = format == ListFormat::FlashCard && request.encoding == TextGuess::List
                                ? TextGuess::Utf8WhenValid
                                : request.encoding;
    if (FileResult r = decodeText(bytes, path, text, guess, &reading.encoding); !r.ok())
        return r;
    bytes = {}; // the text is all that is needed now; a long list is not held twice
    return format == ListFormat::FlashCard ? readFlashCards(text, path, request, out)
                                           : readDelimited(text, path, request, out);
}

FileResult readWordList(const QByteArray& bytes, ListFormat format, const QString& path,
                        WordList& list, const ListRequest& request) {
    list = {};
    FileResult result = readWordList(
        bytes, format, path,
        [&list](QStringView word, QStringView meaning) {
            list.pairs.append({word.toString(), meaning.toString()});
        },
        list.reading, request);
    if (!result.ok())
        list.pairs.clear();
    return result;
}

QString leftOutText(const ListReading& reading) {
    QStringList parts;
    // A package's rows are its cards, counted from 1; every other list's are its lines.
    const QString unit =
        reading.format == ListFormat::Package ? QStringLiteral("张卡片") : QStringLiteral("行");
    if (reading.unreadable > 0) {
        QStringList lines;
        for (const qint32 line :
             reading.unreadableLines.first(qMin<qsizetype>(reading.unreadableLines.size(), 5)))
            lines << QStringLiteral("第 %1 %2").arg(line).arg(unit);
        parts << QStringLiteral("另有 %1 %2没有读入：%3%4")
                     .arg(reading.unreadable)
                     .arg(unit)
                     .arg(lines.join(u'、'))
                     .arg(reading.unreadable > lines.size() ? QStringLiteral("…") : QString());
    }
    if (reading.incomplete > 0)
        parts << QStringLiteral("另有 %1 条缺单词或汉语，没有读入").arg(reading.incomplete);
    return parts.join(u'；');
}

QByteArray wordListBytes(const QList<WordPair>& pairs, ListFormat format, const QString& title) {
    switch (format) {
    case ListFormat::Lesson:
        return lessonBytes(pairs);
    case ListFormat::Kvtml:
        return kvtmlBytes(pairs, title);
    case ListFormat::Delimited:
    case ListFormat::FlashCard:
    case ListFormat::Package: // never written: TSV is what is asked for instead
        break;
    }
    // TSV with a byte-order mark, so that spreadsheets take it as UTF-8, and a header row,
    // which reading it back always recognises; the flash-card text without either, with the
    // header lines its programs read.
    const bool flashCard = format == ListFormat::FlashCard;
    QString text = flashCard
                       ? QStringLiteral("#separator:tab\n#html:false\n#columns:English\tChinese\n")
                       : QStringLiteral("\uFEFFEnglish\tChinese\r\n");
    const QString lineEnd = flashCard ? QStringLiteral("\n") : QStringLiteral("\r\n");
    for (const WordPair& pair : pairs)
        text += cell(pair.word, u'\t') + u'\t' + cell(pair.meaning, u'\t') + lineEnd;
    return text.toUtf8();
}

qsizetype firstPairOutsideXml(const QList<WordPair>& pairs) {
    auto outside = [](const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF)
                return true;
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                QChar::isLowSurrogate(text[i + 1].unicode()))
                ++i;
            else if (QChar::isSurrogate(c))
                return true;
        }
        return false;
    };
    for (qsizetype i = 0; i < pairs.size(); ++i)
        if (outside(pairs[i].word) || outside(pairs[i].meaning))
            return i;
    return -1;
}

FileResult writeWordList(const QString& path, const QList<WordPair>& pairs, ListFormat format) {
    if (format == ListFormat::Kvtml)
        if (const qsizetype bad = firstPairOutsideXml(pairs); bad >= 0)
            return {FileError::WriteFailed,
                    QStringLiteral("第 %1 个单词“%2”里有 KVTML 存不下的字符，请改一下再存")
                        .arg(bad + 1)
                        .arg(pairs[bad].word)};
    return writeFileAtomically(path,
                               wordListBytes(pairs, format, QFileInfo(path).completeBaseName()));
}
