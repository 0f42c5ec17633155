// The text the big flash-card programs export: header lines ("#separator:tab"), then notes.
#include "lessons/listreaders.h"

#include <QRegularExpression>
#include <string_view>

namespace {

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

} // namespace

bool startsWithFlashCardHeader(QStringView head) {
    qsizetype firstEnd = 0;
    while (firstEnd < head.size() && !isLineEnd(head[firstEnd]))
        ++firstEnd;
    return headerLine(head.first(firstEnd)).has_value();
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

FileResult readFlashCards(QByteArray& bytes, const QString& path, const ListRequest& request,
                          ListOutput& out) {
    // The flash-card programs write UTF-8 only.
    const TextGuess guess =
        request.encoding == TextGuess::List ? TextGuess::Utf8WhenValid : request.encoding;
    QString storage;
    if (FileResult r = decodeList(bytes, path, guess, storage, out.reading); !r.ok())
        return r;
    const QStringView text = storage;
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
    // A line that begins with "#" among the notes is a comment, as the program's own reader
    // has it: passed over, not a row left out.
    RecordSplitter splitter(text.sliced(at), separator, line);
    const auto notes = [&splitter](Record& record) {
        while (splitter.next(record))
            if (!record.hash)
                return true;
        return false;
    };
    return readRows(notes, separator, false, names, asSplit ? CellsOf() : cells, path, request,
                    out);
}

// Without a byte-order mark or a header row, with the header lines its programs read.
QByteArray flashCardBytes(const QList<WordPair>& pairs, const QString& /*title*/) {
    QString text = QStringLiteral("#separator:tab\n#html:false\n#columns:English\tChinese\n");
    for (const WordPair& pair : pairs)
        text += cell(pair.word, u'\t') + u'\t' + cell(pair.meaning, u'\t') + u'\n';
    return text.toUtf8();
}
