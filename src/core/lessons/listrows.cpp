// The rows of a list: which column holds what, guessed from the first rows, and every row's
// pair handed on.
#include "lessons/listreaders.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace {

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

// An English word's pronunciation rather than pinyin: bracketed, or with IPA letters, and
// without pinyin's tone letters.
bool isWordPronunciation(const QString& cell) {
    static const QRegularExpression tones(QStringLiteral("[āáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜ]|[a-z][1-5]"));
    return isPhonetic(cell) && !tones.match(cell).hasMatch();
}

struct ColumnCounts final {
    int filled = 0, han = 0, latin = 0, partOfSpeech = 0, phonetic = 0, pronunciation = 0;
};

// The column, beside the word and the meaning, that is nearly all pronunciations; -1 when none.
int pronunciationColumnOf(const QList<ColumnCounts>& counts, const ListLayout& layout) {
    for (int c = 0; c < counts.size(); ++c)
        if (c != layout.wordColumn && c != layout.meaningColumn && c != layout.partOfSpeechColumn &&
            counts[c].filled > 0 && counts[c].pronunciation * 5 >= counts[c].filled * 4)
            return c;
    return -1;
}

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
            n.pronunciation += !han && isWordPronunciation(cell);
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
        layout.pronunciationColumn = pronunciationColumnOf(counts, layout);
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
    layout.pronunciationColumn = pronunciationColumnOf(counts, layout);

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

} // namespace

bool hasHan(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
            (u >= 0xD840 && u <= 0xD87F))
            return true;
    }
    return false;
}

// "n.", "vt.", "adj./adv.": a part of speech and nothing else.
bool isPartOfSpeech(QStringView cell) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(?:n|v|vt|vi|adj|adv|a|ad|prep|conj|pron|num|art|int|interj|aux|"
                       "abbr|pl|phr|det|modal|link-v)\\.?\\s*(?:[/&,;]\\s*|$))+$"),
        QRegularExpression::CaseInsensitiveOption);
    return !cell.isEmpty() && cell.size() <= 24 && pattern.match(cell).hasMatch();
}

QStringView oneLine(QStringView field, QString& into) {
    const char16_t* const text = field.utf16();
    const qsizetype size = field.size();
    qsizetype at = 0;
    while (at < size && text[at] != u'\n' && text[at] != u'\r')
        ++at;
    if (at == size)
        return field;
    into.resize(0);
    into.append(field.first(at));
    bool broken = false;
    for (; at < size; ++at) {
        const char16_t c = text[at];
        if (c == u'\n' || c == u'\r') {
            broken = true;
            continue;
        }
        if (broken && (c == u' ' || c == u'\t'))
            continue;
        if (broken) {
            while (!into.isEmpty() && (into.back() == u' ' || into.back() == u'\t'))
                into.chop(1);
            if (!into.isEmpty() && !into.endsWith(u'；'))
                into += u'；';
            broken = false;
        }
        into += c;
    }
    return QStringView(into).trimmed();
}

FileResult readRows(const std::function<bool(Record&)>& next, QChar separator, bool headerPossible,
                    const QStringList& names, const CellsOf& cells, const QString& path,
                    const ListRequest& request, ListOutput& out) {
    QList<Row> first;
    Record record;
    bool decided = false;
    ListLayout layout;
    qsizetype width = 0; // the fields a row has; more are the meaning's own commas
    // Commas in the last column of a comma-separated row belong to it.
    const bool mergeExtra = separator == u',';

    // A string is made only where fields are joined, and then written over.
    QString merged, joined, wordLine, meaningLine;
    const auto take = [&](const Fields& fields, qint32 line, bool bad, bool media) -> FileResult {
        out.mediaRow = media;
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
        word = oneLine(word, wordLine);
        meaning = oneLine(meaning, meaningLine);
        if (const QStringView pos = field(layout.partOfSpeechColumn);
            !pos.isEmpty() && !meaning.isEmpty()) {
            joined.resize(pos.size() + 1 + meaning.size());
            QChar* into = std::copy(pos.begin(), pos.end(), joined.data());
            *into++ = u' ';
            std::copy(meaning.begin(), meaning.end(), into);
            meaning = joined;
        }
        return out.put(word, meaning, line, path, field(layout.pronunciationColumn));
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
            if (FileResult f = take(views, first[r].line, first[r].bad, first[r].media); !f.ok())
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
            first << Row{record.strings(), record.line, record.bad, record.media};
            if (first.size() == LayoutSample)
                if (FileResult r = decide(); !r.ok())
                    return r;
            continue;
        }
        if (FileResult r = take(record.fields, record.line, record.bad, record.media); !r.ok())
            return r;
    }
    if (!decided)
        return decide();
    return FileResult::success();
}

FileResult readRecords(QStringView text, QChar separator, qint32 firstLine, bool headerPossible,
                       const QStringList& names, const CellsOf& cells, const QString& path,
                       const ListRequest& request, ListOutput& out) {
    RecordSplitter splitter(text, separator, firstLine);
    return readRows([&](Record& record) { return splitter.next(record); }, separator,
                    headerPossible, names, cells, path, request, out);
}

FileResult decodeList(QByteArray& bytes, const QString& path, TextGuess guess, QString& text,
                      ListReading& reading) {
    FileResult r = decodeText(bytes, path, text, guess, &reading.encoding);
    bytes = {}; // the text is all that is needed now; a long list is not held twice
    return r;
}
