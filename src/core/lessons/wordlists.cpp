#include "lessons/wordlists.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

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

struct Record final {
    QStringList fields;
    qint32 line = 0; // where the record starts, counted from 1
};

enum class SplitFault { None, OpenQuote, TextAfterQuote };

// Records of comma-, semicolon- or tab-separated text as RFC 4180 has them: a field in double
// quotes may hold the separator, line ends and doubled quotes. Blanks around a field are not
// part of it, and may stand before an opening or after a closing quote. CR LF, CR and LF all
// end a record.
class RecordSplitter final {
public:
    RecordSplitter(QStringView text, QChar separator, qint32 firstLine)
        : text_(text)
        , separator_(separator)
        , line_(firstLine) {}

    // False at the end of the text, or on a fault (fault() and faultLine() tell).
    bool next(Record& record) {
        record.fields.clear();
        record.line = line_;
        if (at_ >= text_.size())
            return false;
        for (;;) {
            skipBlanks();
            QString field;
            if (at_ < text_.size() && text_[at_] == u'"') {
                if (!quoted(field))
                    return false;
                skipBlanks();
                if (at_ < text_.size() && text_[at_] != separator_ && !isLineEnd(text_[at_]))
                    return fail(SplitFault::TextAfterQuote, line_);
            } else {
                const qsizetype begin = at_;
                while (at_ < text_.size() && text_[at_] != separator_ && !isLineEnd(text_[at_]))
                    ++at_;
                field = text_.sliced(begin, at_ - begin).trimmed().toString();
            }
            record.fields << field;
            if (at_ >= text_.size())
                return true;
            if (text_[at_] == separator_) {
                ++at_;
                continue;
            }
            endLine();
            return true;
        }
    }

    SplitFault fault() const { return fault_; }
    qint32 faultLine() const { return faultLine_; }

private:
    // Blanks that are not the separator itself.
    void skipBlanks() {
        while (at_ < text_.size() && (text_[at_] == u' ' || text_[at_] == u'\t') &&
               text_[at_] != separator_)
            ++at_;
    }

    void endLine() {
        if (text_[at_] == u'\r' && at_ + 1 < text_.size() && text_[at_ + 1] == u'\n')
            ++at_;
        ++at_;
        ++line_;
    }

    bool quoted(QString& field) {
        const qint32 opened = line_;
        ++at_;
        for (;;) {
            if (at_ >= text_.size())
                return fail(SplitFault::OpenQuote, opened);
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

    bool fail(SplitFault fault, qint32 line) {
        fault_ = fault;
        faultLine_ = line;
        return false;
    }

    QStringView text_;
    QChar separator_;
    qsizetype at_ = 0;
    qint32 line_;
    SplitFault fault_ = SplitFault::None;
    qint32 faultLine_ = 0;
};

// ---- Messages ------------------------------------------------------------------------------

// Where read pairs go, and how many went.
struct Output final {
    const PairSink& sink;
    qint32& incomplete;
    qint64 pairs = 0;
};

FileResult refused(FileError kind, const QString& path, const QString& what) {
    return {kind, QStringLiteral("“%1”%2，没有读入任何单词").arg(displayPath(path), what)};
}

QString atLine(qint32 line) {
    return QStringLiteral("第 %1 行").arg(line);
}

// A pair the lesson format can hold: no double quote or line end, no field longer than a word.
FileResult checkPair(const WordPair& pair, const QString& path, const QString& where) {
    for (const QString* field : {&pair.word, &pair.meaning}) {
        if (field->contains(u'"') || field->contains(u'\r') || field->contains(u'\n'))
            return refused(FileError::BadList, path,
                           where + QStringLiteral("的单词或汉语里有英文双引号(\")或换行，"
                                                  "单词文件存不下，请先在原来的程序里改一下"));
        if (field->size() > LongestField)
            return refused(
                FileError::FieldTooLong, path,
                where + QStringLiteral("的单词或汉语超过 %1 个字，不像是单词").arg(LongestField));
    }
    return FileResult::success();
}

FileResult splitFault(const RecordSplitter& splitter, const QString& path) {
    const QString where = atLine(splitter.faultLine());
    return refused(FileError::BadList, path,
                   splitter.fault() == SplitFault::OpenQuote
                       ? where + QStringLiteral("的英文双引号没有配对")
                       : where + QStringLiteral("的引号后面、分隔符前面还有文字"));
}

// Adds a record's first two columns (after the skipped ones) as a pair.
FileResult take(const Record& record, const QList<int>& skipped, bool html, const QString& path,
                Output& out);

// Hands a checked pair on; refuses the file, at once, past the most pairs a list may have.
FileResult put(const WordPair& pair, const QString& path, Output& out) {
    if (++out.pairs > MostListPairs)
        return tooManyPairs(path);
    out.sink(pair.word, pair.meaning);
    return FileResult::success();
}

// ---- Spreadsheets ---------------------------------------------------------------------------

bool hasHan(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
            (u >= 0xD840 && u <= 0xD87F))
            return true;
    }
    return false;
}

bool isAsciiName(QStringView text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!(c.isLetter() && c.unicode() < 0x80) && c != u' ' && c != u'_')
            return false;
    return true;
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
        // the meaning
        QStringLiteral("chinese"), QStringLiteral("meaning"), QStringLiteral("meanings"),
        QStringLiteral("translation"), QStringLiteral("definition"), QStringLiteral("back"),
        QStringLiteral("answer"), QStringLiteral("zh"), QStringLiteral("cn"),
        QStringLiteral("中文"), QStringLiteral("汉语"), QStringLiteral("释义"),
        QStringLiteral("意思"), QStringLiteral("词义"), QStringLiteral("解释"),
        QStringLiteral("翻译"), QStringLiteral("含义")};
    return names.contains(cell.trimmed().toLower());
}

// A first row is a header when both its cells name columns, or when its meaning is a plain
// English name while nearly every meaning below it is Chinese. records are the first rows.
bool isHeaderRow(const QList<Record>& records) {
    if (records.isEmpty() || records[0].fields.size() < 2)
        return false;
    const QStringList& first = records[0].fields;
    if (isColumnName(first[0]) && isColumnName(first[1]))
        return true;
    if (records.size() < 2 || !isAsciiName(first[1]) || hasHan(first[0]))
        return false;
    qsizetype rows = 0, chinese = 0;
    for (qsizetype i = 1; i < records.size(); ++i) {
        if (records[i].fields.size() < 2 || records[i].fields[1].isEmpty())
            continue;
        ++rows;
        chinese += hasHan(records[i].fields[1]);
    }
    return rows > 0 && chinese * 5 >= rows * 4;
}

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
            if (!counts.contains(record.fields.size()))
                counts << record.fields.size();
        }
        if (rows > bestRows || (rows == bestRows && counts.size() < bestCounts)) {
            best = candidate;
            bestRows = rows;
            bestCounts = counts.size();
        }
    }
    return best;
}

// How many of the first records decide whether the first is a header.
constexpr qsizetype HeaderSample = 200;

// Hands each record that is not blank to each, one at a time, so that a long list is never
// held twice; the first records are seen together by header first, when given.
FileResult forEachRecord(QStringView text, QChar separator, qint32 firstLine, const QString& path,
                         const std::function<bool(const QList<Record>&)>& header,
                         const std::function<FileResult(const Record&)>& each) {
    RecordSplitter splitter(text, separator, firstLine);
    QList<Record> first;
    bool sampled = !header;
    Record record;
    const auto flush = [&]() -> FileResult {
        sampled = true;
        const qsizetype from = header(first) ? 1 : 0;
        for (qsizetype i = from; i < first.size(); ++i)
            if (FileResult r = each(first[i]); !r.ok())
                return r;
        first.clear();
        return FileResult::success();
    };
    while (splitter.next(record)) {
        const bool blank = std::all_of(record.fields.cbegin(), record.fields.cend(),
                                       [](const QString& f) { return f.isEmpty(); });
        if (blank)
            continue;
        if (!sampled) {
            first << record;
            if (first.size() == HeaderSample)
                if (FileResult r = flush(); !r.ok())
                    return r;
            continue;
        }
        if (FileResult r = each(record); !r.ok())
            return r;
    }
    if (splitter.fault() != SplitFault::None)
        return splitFault(splitter, path);
    if (!sampled)
        return flush();
    return FileResult::success();
}

FileResult readDelimited(QStringView text, const QString& path, Output& out) {
    const bool tabs = path.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive) ||
                      path.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive);
    return forEachRecord(text, tabs ? QChar(u'\t') : separatorOf(text), 1, path, isHeaderRow,
                         [&](const Record& record) { return take(record, {}, false, path, out); });
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

FileResult readFlashCards(QStringView text, const QString& path, Output& out) {
    QChar separator = u'\t';
    bool html = false;
    QList<int> skipped; // columns counted from 0
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
    return forEachRecord(text.sliced(at), separator, line, path, {}, [&](const Record& record) {
        return take(record, skipped, html, path, out);
    });
}

FileResult take(const Record& record, const QList<int>& skipped, bool html, const QString& path,
                Output& out) {
    QStringList cells;
    for (qsizetype column = 0; column < record.fields.size() && cells.size() < 2; ++column)
        if (!skipped.contains(int(column)))
            cells << (html ? plainText(record.fields[column]) : record.fields[column]);
    if (cells.size() < 2 || cells[0].isEmpty() || cells[1].isEmpty()) {
        ++out.incomplete;
        return FileResult::success();
    }
    const WordPair pair{cells[0], cells[1]};
    if (FileResult r = checkPair(pair, path, atLine(record.line)); !r.ok())
        return r;
    return put(pair, path, out);
}

// ---- KVTML 2 --------------------------------------------------------------------------------

constexpr auto KvtmlDoctype =
    "<!DOCTYPE kvtml PUBLIC \"kvtml2.dtd\" \"http://edu.kde.org/kvtml/kvtml2.dtd\">";

FileResult xmlFault(const QXmlStreamReader& xml, const QString& path) {
    return refused(FileError::BadList, path,
                   QStringLiteral("不是完好的 KVTML 文件：第 %1 行第 %2 列有错（%3）")
                       .arg(xml.lineNumber())
                       .arg(xml.columnNumber())
                       .arg(xml.errorString()));
}

struct Language final {
    QString id;
    QString locale;
};

QList<Language> readIdentifiers(QXmlStreamReader& xml) {
    QList<Language> languages;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"identifier") {
            xml.skipCurrentElement();
            continue;
        }
        Language language{xml.attributes().value(QLatin1String("id")).toString(), {}};
        while (xml.readNextStartElement()) {
            if (xml.name() == u"locale")
                language.locale = xml.readElementText().trimmed();
            else
                xml.skipCurrentElement();
        }
        languages << language;
    }
    return languages;
}

// The text of the element just begun, its children's included, without recursion; false as
// soon as it grows past any word's length, before more is spent on it.
bool readBoundedText(QXmlStreamReader& xml, QString& text) {
    text.clear();
    for (int depth = 1; depth > 0 && !xml.atEnd();) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += xml.text();
            if (text.size() > LongestField)
                return false;
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}

// An entry's translations by their id: the text of each. longText tells of a text too long
// for a word, where reading stopped.
QHash<QString, QString> readTranslations(QXmlStreamReader& xml, bool& longText) {
    QHash<QString, QString> texts;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"translation") {
            xml.skipCurrentElement();
            continue;
        }
        const QString id = xml.attributes().value(QLatin1String("id")).toString();
        QString text;
        while (xml.readNextStartElement()) {
            if (xml.name() != u"text") {
                xml.skipCurrentElement();
            } else if (!readBoundedText(xml, text)) {
                longText = true;
                return texts;
            }
        }
        texts.insert(id, text);
    }
    return texts;
}

// Vocabulary files are a few elements deep; nothing real comes near this.
constexpr int MostXmlDepth = 32;

// What no vocabulary file holds and what would make reading one explode is refused before
// anything is read: entity declarations, whose every use repeats their text, and nesting deeper
// than MostXmlDepth. Other faults are left to the reading itself, which names them.
FileResult checkXmlShape(const QByteArray& bytes, const QString& path) {
    QXmlStreamReader xml(bytes);
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty() || xml.text().contains(u"<!ENTITY"))
                return refused(FileError::BadList, path,
                               QStringLiteral("声明了 XML 实体（<!ENTITY>）：KVTML 单词文件不用"
                                              "它，这样的文件读入时可能膨胀成极大的文字"));
            break;
        case QXmlStreamReader::StartElement:
            if (++depth > MostXmlDepth)
                return refused(FileError::BadList, path,
                               QStringLiteral("第 %1 行的元素嵌套超过 %2 层，不像是 KVTML 单词文件")
                                   .arg(xml.lineNumber())
                                   .arg(MostXmlDepth));
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return FileResult::success();
}

FileResult readKvtml(const QByteArray& bytes, const QString& path, Output& out) {
    if (FileResult r = checkXmlShape(bytes, path); !r.ok())
        return r;
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement())
        return xml.hasError() ? xmlFault(xml, path)
                              : refused(FileError::BadList, path, QStringLiteral("里没有内容"));
    if (xml.name() != u"kvtml")
        return refused(FileError::BadList, path,
                       QStringLiteral("不是 KVTML 单词文件：最外层的元素是 <%1>，应是 <kvtml>")
                           .arg(xml.name()));
    const QString version = xml.attributes().value(QLatin1String("version")).toString();
    if (version.toDouble() < 2)
        return refused(FileError::BadList, path,
                       QStringLiteral("是 KVTML %1 文件，只能读 KVTML 2")
                           .arg(version.isEmpty() ? QStringLiteral("1") : version));

    // The word is the first language, the meaning the second; a list from Chinese to English is
    // turned round, since every lesson puts the English first.
    QString wordId = QStringLiteral("0"), meaningId = QStringLiteral("1");
    while (xml.readNextStartElement()) {
        if (xml.name() == u"identifiers") {
            const QList<Language> languages = readIdentifiers(xml);
            if (languages.size() >= 2) {
                wordId = languages[0].id;
                meaningId = languages[1].id;
                if (languages[0].locale.startsWith(u"zh") && !languages[1].locale.startsWith(u"zh"))
                    std::swap(wordId, meaningId);
            }
        } else if (xml.name() == u"entries") {
            while (xml.readNextStartElement()) {
                if (xml.name() != u"entry") {
                    xml.skipCurrentElement();
                    continue;
                }
                const qint64 line = xml.lineNumber();
                const QString id = xml.attributes().value(QLatin1String("id")).toString();
                bool longText = false;
                const QHash<QString, QString> texts = readTranslations(xml, longText);
                const QString where =
                    QStringLiteral("第 %1 行的 <entry id=\"%2\">").arg(line).arg(id);
                if (longText)
                    return refused(
                        FileError::FieldTooLong, path,
                        where +
                            QStringLiteral("里有超过 %1 个字的文字，不像是单词").arg(LongestField));
                if (xml.hasError())
                    break;
                const WordPair pair{texts.value(wordId), texts.value(meaningId)};
                if (pair.word.isEmpty() || pair.meaning.isEmpty()) {
                    ++out.incomplete;
                    continue;
                }
                if (FileResult r = checkPair(pair, path, where); !r.ok())
                    return r;
                if (FileResult r = put(pair, path, out); !r.ok())
                    return r;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return xmlFault(xml, path);
    return FileResult::success();
}

QByteArray kvtmlBytes(const QList<WordPair>& pairs, const QString& title) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDTD(QString::fromLatin1(KvtmlDoctype));
    xml.writeStartElement(QStringLiteral("kvtml"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    xml.writeStartElement(QStringLiteral("information"));
    xml.writeTextElement(QStringLiteral("generator"), QStringLiteral("Vokarin 2.0"));
    xml.writeTextElement(QStringLiteral("title"), title);
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("identifiers"));
    const std::pair<const char*, QString> languages[] = {{"en", QStringLiteral("English")},
                                                         {"zh_CN", QStringLiteral("中文")}};
    for (int id = 0; id < 2; ++id) {
        xml.writeStartElement(QStringLiteral("identifier"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(id));
        xml.writeTextElement(QStringLiteral("name"), languages[id].second);
        xml.writeTextElement(QStringLiteral("locale"), QString::fromLatin1(languages[id].first));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("entries"));
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        xml.writeStartElement(QStringLiteral("entry"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(i));
        const QString* texts[] = {&pairs[i].word, &pairs[i].meaning};
        for (int id = 0; id < 2; ++id) {
            xml.writeStartElement(QStringLiteral("translation"));
            xml.writeAttribute(QStringLiteral("id"), QString::number(id));
            xml.writeTextElement(QStringLiteral("text"), *texts[id]);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return bytes;
}

// A field of separated text, quoted when it holds what would split it.
QString cell(const QString& text, QChar separator) {
    const bool quote = text.contains(separator) || text.contains(u'"') || text.contains(u'\r') ||
                       text.contains(u'\n') || text.startsWith(u' ') || text.endsWith(u' ') ||
                       text.startsWith(u'#');
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

FileResult tooManyPairs(const QString& path) {
    return refused(FileError::TooLarge, path,
                   QStringLiteral("有超过 %1 对单词，太多了，不像是单词表").arg(MostListPairs));
}

ListFormat listFormatOf(const QString& path, const QByteArray& bytes) {
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
    if (suffix == u"csv" || suffix == u"tsv" || suffix == u"tab")
        return ListFormat::Delimited;
    return ListFormat::Lesson;
}

FileResult readWordList(QByteArray bytes, ListFormat format, const QString& path,
                        const PairSink& sink, qint32& incomplete) {
    incomplete = 0;
    Output out{sink, incomplete};
    if (format == ListFormat::Kvtml)
        return readKvtml(bytes, path, out);
    QString text;
    // The flash-card programs write UTF-8 only; spreadsheets write GBK as often.
    if (FileResult r = decodeText(bytes, path, text, format == ListFormat::FlashCard); !r.ok())
        return r;
    bytes = {}; // the text is all that is needed now; a long list is not held twice
    return format == ListFormat::FlashCard ? readFlashCards(text, path, out)
                                           : readDelimited(text, path, out);
}

FileResult readWordList(const QByteArray& bytes, ListFormat format, const QString& path,
                        WordList& list) {
    list = {};
    const FileResult result = readWordList(
        bytes, format, path,
        [&list](QStringView word, QStringView meaning) {
            list.pairs.append({word.toString(), meaning.toString()});
        },
        list.incomplete);
    if (!result.ok())
        list = {};
    return result;
}

QByteArray wordListBytes(const QList<WordPair>& pairs, ListFormat format, const QString& title) {
    switch (format) {
    case ListFormat::Lesson:
        return lessonBytes(pairs);
    case ListFormat::Kvtml:
        return kvtmlBytes(pairs, title);
    case ListFormat::Delimited:
    case ListFormat::FlashCard:
        break;
    }
    // TSV with a byte-order mark, so that spreadsheets take it as UTF-8, and a header row,
    // which reading it back always recognises; the flash-card text without either, with the
    // header lines its programs read.
    const bool flashCard = format == ListFormat::FlashCard;
    QString text = flashCard ? QStringLiteral("#separator:tab\n#html:false\n")
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
