// The word lists of other programs: the table of formats, and what every format shares.
#include "lessons/wordlists.h"
#include "lessons/flashcardpackage.h"
#include "lessons/listreaders.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace {

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

bool isPackage(const QByteArray& bytes, QStringView, QStringView) {
    return isFlashCardPackage(bytes);
}

bool isSpreadsheet(const QByteArray& bytes, QStringView, QStringView) {
    return isSpreadsheetFile(bytes);
}

bool isYoudaoBook(const QByteArray&, QStringView head, QStringView) {
    return looksLikeYoudaoBook(head);
}

bool isKvtml(const QByteArray&, QStringView head, QStringView suffix) {
    const QStringView start = head.trimmed();
    return start.startsWith(u"<?xml") || start.startsWith(u"<kvtml") ||
           start.startsWith(u"<!DOCTYPE kvtml") || suffix == u"kvtml";
}

bool isFlashCardText(const QByteArray&, QStringView head, QStringView) {
    return startsWithFlashCardHeader(head);
}

bool isWordBook(const QByteArray&, QStringView head, QStringView suffix) {
    return looksLikeWordBook(head, suffix);
}

// Not for a name that says it is a spreadsheet's text. The start is decoded again as the whole
// will be (GBK among others): the test looks at the Chinese.
bool isFreeForm(const QByteArray& bytes, QStringView head, QStringView suffix) {
    if (suffix == u"csv" || suffix == u"tsv" || suffix == u"tab")
        return false;
    if (looksFreeForm(head))
        return true;
    QByteArray start = bytes.first(qMin<qsizetype>(bytes.size(), 4096));
    if (start.size() < bytes.size())
        start.truncate(start.lastIndexOf('\n') + 1);
    QString text;
    return !start.contains('\0') && decodeText(start, {}, text, TextGuess::List).ok() &&
           looksFreeForm(text);
}

bool isDelimited(const QByteArray&, QStringView head, QStringView suffix) {
    return suffix == u"csv" || suffix == u"tsv" || suffix == u"tab" || looksDelimited(head);
}

// The formats, in the order in which they are recognised: the first whose test a file passes
// is its format; a file that passes none is a lesson file, read as it always was. A format's
// file holds its reader and its writer.
struct Format final {
    ListFormat format;
    // From the file's bytes, its start as text (the first few kilobytes) and its name's ending.
    bool (*recognises)(const QByteArray& bytes, QStringView head, QStringView suffix);
    FileResult (*read)(QByteArray& bytes, const QString& path, const ListRequest& request,
                       ListOutput& out);
    QByteArray (*write)(const QList<WordPair>& pairs, const QString& title); // none: read only
};

const Format Formats[] = {
    {ListFormat::Package, isPackage, readPackage, nullptr},
    {ListFormat::Spreadsheet, isSpreadsheet, readSpreadsheet, nullptr},
    {ListFormat::YoudaoBook, isYoudaoBook, readYoudaoBook, nullptr},
    {ListFormat::Kvtml, isKvtml, readKvtml, kvtmlBytes},
    {ListFormat::FlashCard, isFlashCardText, readFlashCards, flashCardBytes},
    {ListFormat::WordBook, isWordBook, readWordBook, nullptr},
    {ListFormat::FreeForm, isFreeForm, readFreeForm, nullptr},
    {ListFormat::Delimited, isDelimited, readDelimited, delimitedBytes},
};

} // namespace

FileResult refused(FileError kind, const QString& path, const QString& what) {
    return {kind, QStringLiteral("“%1”%2，没有读入任何单词").arg(displayPath(path), what)};
}

FileResult tooManyPairs(const QString& path) {
    return refused(FileError::TooLarge, path,
                   QStringLiteral("有超过 %1 对单词，太多了，不像是单词表").arg(MostListPairs));
}

ListFormat listFormatOf(const QString& path, const QByteArray& bytes) {
    const QString head = headOf(bytes);
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const Format& format : Formats)
        if (format.recognises(bytes, QStringView(head), suffix))
            return format.format;
    return ListFormat::Lesson;
}

QString shownPronunciation(QStringView pronunciation) {
    const QStringView p = pronunciation.trimmed();
    if (p.isEmpty() || p.size() > LongestPronunciation ||
        std::any_of(p.begin(), p.end(), [](QChar c) { return c.unicode() < u' '; }))
        return {};
    const bool enclosed = p.size() >= 2 && ((p.front() == u'/' && p.back() == u'/') ||
                                            (p.front() == u'[' && p.back() == u']'));
    return enclosed ? p.toString() : u'/' + p.toString() + u'/';
}

FileResult readWordList(QByteArray bytes, ListFormat format, const QString& path,
                        const PairSink& sink, ListReading& reading, const ListRequest& request,
                        const WordExtras& extras) {
    reading = {};
    reading.format = format;
    ListOutput out{sink, reading, &extras};
    for (const Format& entry : Formats)
        if (entry.format == format)
            return entry.read(bytes, path, request, out);
    return readDelimited(bytes, path, request, out); // as the rows of a spreadsheet
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
    // A package's rows are its cards, counted from 1, a word book's its entries; every other
    // list's are its lines.
    const QString unit = reading.format == ListFormat::Package    ? QStringLiteral("张卡片")
                         : reading.format == ListFormat::WordBook ? QStringLiteral("个词条")
                                                                  : QStringLiteral("行");
    if (reading.unreadable > 0) {
        QStringList lines;
        for (const qint32 line :
             reading.unreadableLines.first(qMin<qsizetype>(reading.unreadableLines.size(), 5)))
            lines << QStringLiteral("第 %1 %2").arg(line).arg(unit);
        // Why, where it is known.
        QStringList why;
        if (reading.tooLong > 0)
            why << QStringLiteral("%1 %2有一边超过 %3 个字，不像单词")
                       .arg(reading.tooLong)
                       .arg(unit)
                       .arg(LongestField);
        if (reading.controlCharacters > 0)
            why << QStringLiteral("%1 %2含换行等控制字符").arg(reading.controlCharacters).arg(unit);
        parts << QStringLiteral("另有 %1 %2没有读入%5：%3%4")
                     .arg(reading.unreadable)
                     .arg(unit)
                     .arg(lines.join(u'、'))
                     .arg(reading.unreadable > lines.size() ? QStringLiteral("…") : QString())
                     .arg(why.isEmpty() ? QString()
                                        : QStringLiteral("（%1）").arg(why.join(u'，')));
    }
    if (reading.incomplete > 0)
        parts << QStringLiteral("另有 %1 条缺单词或汉语，没有读入%2")
                     .arg(reading.incomplete)
                     .arg(reading.mediaOnly > 0 ? QStringLiteral("（其中 %1 张卡片只有图片或声音）")
                                                      .arg(reading.mediaOnly)
                                                : QString());
    if (reading.pictures > 0)
        parts << QStringLiteral("%1 张卡片里有图片，只读入了文字").arg(reading.pictures);
    if (!reading.why.isEmpty())
        parts.prepend(reading.why);
    return parts.join(u'；');
}

QByteArray wordListBytes(const QList<WordPair>& pairs, ListFormat format, const QString& title) {
    if (format == ListFormat::Lesson)
        return lessonBytes(pairs);
    for (const Format& entry : Formats)
        if (entry.format == format && entry.write)
            return entry.write(pairs, title);
    return delimitedBytes(pairs, title); // packages are never written: TSV instead
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
