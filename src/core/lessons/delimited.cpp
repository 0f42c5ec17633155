// The lists of spreadsheets: CSV and TSV.
#include "lessons/listreaders.h"

namespace {

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

} // namespace

// Text whose rows are a spreadsheet's rather than a lesson's: most of its first lines have a
// tab between fields, or three or more comma-separated fields (a lesson line has two). Each
// line is split alone: a lesson's quote left open never runs into the next line.
bool looksDelimited(QStringView head) {
    // The last line may be cut off in the middle.
    const qsizetype lastEnd = std::max(head.lastIndexOf(u'\n'), head.lastIndexOf(u'\r'));
    if (lastEnd > 0)
        head = head.first(lastEnd);
    qsizetype lines = 0, tabbed = 0, wide = 0;
    Lines all{head};
    for (QStringView line; lines < 20 && all.next(line);) {
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

FileResult readDelimited(QByteArray& bytes, const QString& path, const ListRequest& request,
                         ListOutput& out) {
    QString text;
    if (FileResult r = decodeList(bytes, path, request.encoding, text, out.reading); !r.ok())
        return r;
    const bool tabs = path.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive) ||
                      path.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive);
    return readRecords(text, tabs ? QChar(u'\t') : separatorOf(text), 1, true, {}, {}, path,
                       request, out);
}

// A field of separated text, quoted when it holds what would split it or lose its blanks (any
// the reader trims, the ideographic space among them), or a backslash ("\n" unquoted is a line
// break).
QString cell(const QString& text, QChar separator) {
    const bool quote = text.contains(separator) || text.contains(u'"') || text.contains(u'\r') ||
                       text.contains(u'\\') || text.contains(u'\n') || text.startsWith(u'#') ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// TSV with a byte-order mark, so that spreadsheets take it as UTF-8, and a header row, which
// reading it back always recognises.
QByteArray delimitedBytes(const QList<WordPair>& pairs, const QString& /*title*/) {
    QString text = QStringLiteral("\uFEFFEnglish\tChinese\r\n");
    for (const WordPair& pair : pairs)
        text += cell(pair.word, u'\t') + u'\t' + cell(pair.meaning, u'\t') + QStringLiteral("\r\n");
    return text.toUtf8();
}
