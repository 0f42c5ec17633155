// The word book a dictionary program exports as XML:
//     <wordbook><item><word>abandon</word><trans><![CDATA[vt. 放弃]]></trans>
//     <phonetic><![CDATA[[ə'bændən]]]></phonetic><tags>CET4</tags><progress>1</progress></item>…
// Three columns: the word, its pronunciation and its meanings. Read only.
#include "lessons/listreaders.h"
#include "lessons/xmlwalk.h"

using namespace Qt::StringLiterals;

namespace {

const QString Kind = QStringLiteral("单词本");
const QString Broken = QStringLiteral("不是完好的单词本");

// The items, whichever reader reads them: each a record of its three fields, the rows then read
// as any list's.
template <class Xml>
FileResult readItems(Xml& xml, const QString& path, const ListRequest& request, ListOutput& out) {
    if (!xml.root())
        return xml.fault(path);
    if (!xml.isNamed("wordbook"_L1))
        return refused(
            FileError::BadList, path,
            QStringLiteral("不是单词本：最外层的元素是 <%1>，应是 <wordbook>").arg(xml.name()));
    ListRequest asked = request;
    if (!asked.layout)
        asked.layout = ListLayout{0, 2, -1, false, 1};
    const QLatin1StringView columns[] = {"word"_L1, "phonetic"_L1, "trans"_L1};
    const auto next = [&](Record& record) {
        while (xml.child()) {
            if (!xml.isNamed("item"_L1)) {
                xml.skip();
                continue;
            }
            const qint64 mark = xml.mark();
            record.held.resize(3);
            for (QString& field : record.held)
                field.resize(0);
            while (xml.child()) {
                const auto* column =
                    std::find_if(std::begin(columns), std::end(columns),
                                 [&xml](QLatin1StringView name) { return xml.isNamed(name); });
                if (column == std::end(columns)) {
                    xml.skip();
                    continue;
                }
                // A text longer than any word is not kept: it stands as one, and its row is
                // left out as such.
                QString& field = record.held[column - std::begin(columns)];
                if (!xml.text(&field))
                    field = overLongText();
            }
            if (xml.failed())
                return false;
            record.line = xml.lineOf(mark);
            record.bad = false;
            record.fields.clear();
            for (QString& field : record.held)
                record.fields.emplace_back(QStringView(field).trimmed());
            return true;
        }
        return false;
    };
    FileResult result =
        readRows(next, QChar(), false,
                 {QStringLiteral("word（单词）"), QStringLiteral("phonetic（音标）"),
                  QStringLiteral("trans（释义）")},
                 {}, path, asked, out);
    if (result.ok() && xml.failed())
        return xml.fault(path);
    return result;
}

} // namespace

bool looksLikeYoudaoBook(QStringView head) {
    QStringView start = head.trimmed();
    if (start.startsWith(u"<?xml")) {
        const qsizetype end = start.indexOf(u"?>");
        if (end < 0)
            return false;
        start = start.sliced(end + 2).trimmed();
    }
    return start.startsWith(u"<wordbook>") || start.startsWith(u"<wordbook ") ||
           start.startsWith(u"<!DOCTYPE wordbook");
}

std::optional<FileResult> readYoudaoBookQuickly(const QByteArray& bytes, const QString& path,
                                                const ListRequest& request, ListOutput& out) {
    out.reading.encoding = QStringLiteral("UTF-8");
    QuickXml xml(bytes, Broken);
    FileResult result = readItems(xml, path, request, out);
    xml.decodeTheRest();
    if (xml.unsure())
        return std::nullopt;
    return result;
}

FileResult readYoudaoBookGenerally(const QByteArray& bytes, const QString& path,
                                   const ListRequest& request, ListOutput& out) {
    BoundedXml xml(bytes, Kind, Broken);
    FileResult result = readItems(xml, path, request, out);
    out.reading.encoding = xml.encoding().isEmpty() ? QStringLiteral("UTF-8") : xml.encoding();
    return result;
}

FileResult readYoudaoBook(QByteArray& bytes, const QString& path, const ListRequest& request,
                          ListOutput& out) {
    std::optional<FileResult> result = readYoudaoBookQuickly(bytes, path, request, out);
    if (!result) {
        out.readAgain();
        result = readYoudaoBookGenerally(bytes, path, request, out);
    }
    bytes = {};
    return *result;
}
