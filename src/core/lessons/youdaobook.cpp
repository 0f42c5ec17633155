// The word book a dictionary program exports as XML:
//     <wordbook><item><word>abandon</word><trans><![CDATA[vt. 放弃]]></trans>
//     <phonetic><![CDATA[[ə'bændən]]]></phonetic><tags>CET4</tags><progress>1</progress></item>…
// Three columns: the word, its pronunciation and its meanings. Read only.
#include "lessons/listreaders.h"

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

bool looksLikeYoudaoBook(QStringView head) {
    QStringView start = head.trimmed();
    if (start.startsWith(u"<?xml")) {
        const qsizetype end = start.indexOf(u"?>");
        if (end < 0)
            return false;
        start = start.sliced(end + 2).trimmed();
    }
    return start.startsWith(u"<wordbook>") || start.startsWith(u"<wordbook ");
}

FileResult readYoudaoBook(QByteArray& bytes, const QString& path, const ListRequest& request,
                          ListOutput& out) {
    QXmlStreamReader xml(bytes);
    out.reading.encoding = QStringLiteral("UTF-8");
    ListRequest asked = request;
    if (!asked.layout)
        asked.layout = ListLayout{0, 2, -1, false};

    // The fields of each item in their columns' order; others (tags, progress) are passed over.
    const QLatin1StringView columns[] = {"word"_L1, "phonetic"_L1, "trans"_L1};
    bool inBook = false;
    const auto next = [&](Record& record) {
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (!inBook) {
                if (xml.name() != "wordbook"_L1) {
                    xml.raiseError(
                        QStringLiteral("最外层的元素是 <%1>，应是 <wordbook>").arg(xml.name()));
                    return false;
                }
                inBook = true;
                continue;
            }
            if (xml.name() != "item"_L1) {
                xml.skipCurrentElement();
                continue;
            }
            record.line = qint32(qMin<qint64>(xml.lineNumber(), INT_MAX));
            record.bad = false;
            record.held = {QString(), QString(), QString()};
            while (xml.readNextStartElement()) {
                const auto* found = std::find(std::begin(columns), std::end(columns), xml.name());
                if (found == std::end(columns)) {
                    xml.skipCurrentElement();
                    continue;
                }
                record.held[found - std::begin(columns)] =
                    xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            }
            record.fields.assign(record.held.cbegin(), record.held.cend());
            return !xml.hasError();
        }
        return false;
    };
    FileResult result =
        readRows(next, QChar(), false,
                 {QStringLiteral("word（单词）"), QStringLiteral("phonetic（音标）"),
                  QStringLiteral("trans（释义）")},
                 {}, path, asked, out);
    bytes = {};
    if (result.ok() && xml.hasError())
        return refused(FileError::BadList, path,
                       QStringLiteral("不是完好的单词本：第 %1 行，%2")
                           .arg(xml.lineNumber())
                           .arg(xml.errorString()));
    return result;
}
