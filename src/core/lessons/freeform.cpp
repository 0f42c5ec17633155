// Word lists typed up as plain text, as exam lists are passed round: one entry a line, the word
// first, then perhaps its pronunciation and part of speech, then the meaning —
//     disseminate  [di'semineit]  vt. 散播,传播
//     abandon v. 遺棄；中止
// with letter headings and blank lines between. Read only.
#include "lessons/listreaders.h"

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000 || c == 0xA0;
}

// What a word or phrase may hold: letters that are not Chinese, digits, and the marks inside
// words ("o'clock", "well-known", "a.m.", "sb./sth.").
bool inWord(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return c.isLetterOrNumber() || u == u'\'' || u == u'-' || u == u'.' || u == u'/' ||
               u == u'(' || u == u')';
    return u == 0x2019 || (u < 0x2000 && c.isLetter());
}

// Where a pronunciation, a part of speech or the meaning begins: what ends a word at a single
// blank ("look after v. 照顾", "a lot of 许多").
bool beginsRest(QStringView rest) {
    if (rest.isEmpty())
        return false;
    const QChar c = rest.front();
    if (c == u'[' || c == u'/' || c == u'【' || hasHan(rest.first(1)))
        return true;
    qsizetype end = 0;
    while (end < rest.size() && end < 8 && rest[end].unicode() < 0x80 && rest[end].isLetter())
        ++end;
    return end > 0 && end < rest.size() && rest[end] == u'.' && isPartOfSpeech(rest.first(end + 1));
}

struct Entry final {
    QStringView word, pronunciation, meaning;
};

// A line's entry: nothing when the line is not one (no word first, no Chinese after it, a
// comma or a tab after the word, which is a spreadsheet's row).
std::optional<Entry> entryOf(QStringView line) {
    line = line.trimmed();
    if (line.isEmpty() || line.front().unicode() >= 0x2000 || !line.front().isLetter())
        return std::nullopt;
    qsizetype at = 0;
    for (;;) {
        while (at < line.size() && inWord(line[at]))
            ++at;
        if (at >= line.size() || !isBlank(line[at].unicode()))
            return std::nullopt; // a comma, a Chinese character stuck on, the line's end
        qsizetype blanks = at;
        while (blanks < line.size() && isBlank(line[blanks].unicode()))
            ++blanks;
        if (line[at] == u'\t')
            return std::nullopt;
        const QStringView rest = line.sliced(blanks);
        if (blanks - at >= 2 || line[at] != u' ' || beginsRest(rest))
            break;
        at = blanks;
    }
    Entry entry;
    entry.word = line.first(at);
    QStringView rest = line.sliced(at).trimmed();
    const auto closing = [](QChar open) {
        return open == u'[' ? u']' : open == u'【' ? u'】' : u'/';
    };
    if (!rest.isEmpty() &&
        (rest.front() == u'[' || rest.front() == u'/' || rest.front() == u'【')) {
        const qsizetype end = rest.indexOf(closing(rest.front()), 1);
        if (end < 0)
            return std::nullopt;
        entry.pronunciation = rest.first(end + 1);
        rest = rest.sliced(end + 1).trimmed();
    }
    entry.meaning = rest;
    if (!hasHan(entry.meaning))
        return std::nullopt;
    return entry;
}

// A letter heading ("A", "- B -", "【C】") or a line with nothing to read.
bool isHeading(QStringView line) {
    int letters = 0;
    for (const QChar c : line) {
        if (c.isLetterOrNumber())
            ++letters;
        if (letters > 2 || hasHan(QStringView(&c, 1)))
            return false;
    }
    return true;
}

} // namespace

// Most of the first lines that are not headings are entries.
bool looksFreeForm(QStringView head) {
    const qsizetype lastEnd = std::max(head.lastIndexOf(u'\n'), head.lastIndexOf(u'\r'));
    if (lastEnd > 0)
        head = head.first(lastEnd);
    int lines = 0, entries = 0;
    Lines all{head};
    for (QStringView line; lines < 30 && all.next(line);) {
        if (isHeading(line))
            continue;
        ++lines;
        entries += entryOf(line).has_value();
    }
    return entries > 0 && entries * 3 > lines * 2;
}

FileResult readFreeForm(QByteArray& bytes, const QString& path, const ListRequest& request,
                        ListOutput& out) {
    QString text;
    if (FileResult r = decodeList(bytes, path, request.encoding, text, out.reading); !r.ok())
        return r;
    ListRequest asked = request;
    if (!asked.layout)
        asked.layout = ListLayout{0, 2, -1, false, 1};
    // Each line a record of three fields; a line that is not an entry is a row left out.
    Lines lines{text};
    const auto next = [&](Record& record) {
        QStringView line;
        do
            if (!lines.next(line))
                return false;
        while (isHeading(line));
        record.line = lines.number;
        const std::optional<Entry> entry = entryOf(line);
        record.bad = !entry;
        if (entry)
            record.fields = {entry->word, entry->pronunciation, entry->meaning};
        else
            record.fields = {line};
        return true;
    };
    return readRows(next, QChar(), false,
                    {QStringLiteral("单词"), QStringLiteral("音标"), QStringLiteral("释义")}, {},
                    path, asked, out);
}
