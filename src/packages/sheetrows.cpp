// Spreadsheets read from their XML: the workbook, its shared strings and its sheets (.xlsx), or
// the one content file with every table (.ods).
#include "sheetrows.h"
#include "zipentries.h"

#include "lessons/xmlwalk.h"

#include <QHash>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

// A sheet of a word list is a few megabytes; nothing but a bomb unpacks a hundred times over.
constexpr qint64 LargestPart = 128 * 1024 * 1024;
constexpr qint64 MostRatio = 100;
constexpr qsizetype MostSheets = 64;
constexpr int MostRowRepeats = 1000;
// All the parts of a workbook read together: its sheets may all name the same part.
constexpr qint64 MostUnpacked = 2 * LargestPart;

// The next token of a part read by Qt's reader alone. A document type, which no part of an
// .xlsx or .ods has, stops the reading as an error: its entities could make gigabytes of a few
// bytes.
QXmlStreamReader::TokenType nextToken(QXmlStreamReader& xml) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::DTD)
        xml.raiseError(QStringLiteral("表格文件不用文档类型声明（DTD）"));
    return token;
}

// One sheet's rows as they are read: cells put in their columns, empty rows dropped.
struct Sheet final {
    QList<QStringList> rows;
    QStringList row;

    void put(qsizetype column, const QString& text) {
        if (column < 0 || column >= MostSheetColumns || text.isEmpty())
            return;
        if (row.size() <= column)
            row.resize(column + 1);
        row[column] = text;
    }
    // False past the most rows a list may have.
    bool endRow(qint64 times = 1) {
        if (!row.isEmpty())
            for (qint64 i = 0; i < times && rows.size() <= MostListPairs; ++i)
                rows << row;
        row.clear();
        return rows.size() <= MostListPairs;
    }
};

// "B7" → 1; -1 without letters.
qsizetype columnOf(QStringView reference) {
    qsizetype column = 0;
    int letters = 0;
    for (const QChar c : reference) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            break;
        if (++letters > 3)
            return -1;
        column = column * 26 + (u - u'A' + 1);
    }
    return letters > 0 ? column - 1 : -1;
}

// The text of the current element's <t> runs (a shared string, an inline one), pronunciation
// guides (<rPh>) left out.
template <class Xml> QString runsOf(Xml& xml) {
    QString text, piece;
    bool fits = true;
    const auto take = [&] {
        fits = xml.text(&piece) && fits;
        text += piece;
    };
    while (xml.child()) {
        if (xml.isNamed("t"_L1)) {
            take();
        } else if (xml.isNamed("r"_L1)) {
            while (xml.child())
                if (xml.isNamed("t"_L1))
                    take();
                else
                    xml.skip();
        } else {
            xml.skip();
        }
    }
    return fits && text.size() <= LongestField ? text : overLongText();
}

template <class Xml> bool readSharedStrings(Xml& xml, QStringList& strings) {
    if (!xml.root())
        return false;
    while (xml.child() && strings.size() <= MostListPairs * 2)
        if (xml.isNamed("si"_L1))
            strings << runsOf(xml);
        else
            xml.skip();
    return !xml.failed();
}

enum class CellType { Number, Shared, Boolean, Other };

CellType typeOf(QStringView t) {
    return t == u"s"                  ? CellType::Shared
           : t == u"b"                ? CellType::Boolean
           : t.isEmpty() || t == u"n" ? CellType::Number
                                      : CellType::Other;
}

template <class Xml>
bool readXlsxSheet(Xml& xml, const QStringList& strings, Sheet& sheet,
                   const std::atomic<bool>& stopped) {
    if (!xml.root())
        return false;
    QString value;
    while (xml.child()) {
        if (!xml.isNamed("sheetData"_L1)) {
            xml.skip();
            continue;
        }
        while (xml.child() && !stopped) {
            if (!xml.isNamed("row"_L1)) {
                xml.skip();
                continue;
            }
            qsizetype next = 0; // the column of a cell that does not say
            while (xml.child()) {
                if (!xml.isNamed("c"_L1)) {
                    xml.skip();
                    continue;
                }
                const qsizetype stated = columnOf(xml.attribute("r"_L1));
                const qsizetype column = stated >= 0 ? stated : next;
                next = column + 1;
                const CellType type = typeOf(xml.attribute("t"_L1));
                QString text;
                while (xml.child()) {
                    if (xml.isNamed("v"_L1)) {
                        if (!xml.text(&value)) {
                            text = overLongText();
                        } else if (type == CellType::Shared) {
                            bool number = false;
                            const qsizetype index = value.toLongLong(&number);
                            if (number && index >= 0 && index < strings.size())
                                text = strings[index];
                        } else if (type == CellType::Boolean) {
                            text = value.trimmed() == u"1" ? QStringLiteral("TRUE")
                                                           : QStringLiteral("FALSE");
                        } else {
                            text = value;
                        }
                    } else if (xml.isNamed("is"_L1)) {
                        text = runsOf(xml);
                    } else {
                        xml.skip();
                    }
                }
                sheet.put(column, text.trimmed());
            }
            if (!sheet.endRow())
                return false;
        }
    }
    return !xml.failed();
}

// Read by the quick reader, or by Qt's where the quick one is not sure of the part: each read
// from the start into what it fills.
template <class Into, class Read>
bool readPart(const QByteArray& bytes, Into& into, const Read& read) {
    {
        QuickXml quick(bytes, {});
        quick.allowPrefixes();
        const bool ok = read(quick, into);
        if (!quick.unsure())
            return ok;
    }
    into = {};
    BoundedXml xml(bytes, QStringLiteral("电子表格"), QStringLiteral("不是完好的电子表格"));
    return read(xml, into);
}

// The paths of the workbook's sheets in its order, from the workbook and its relationships.
QStringList xlsxSheetPaths(zip_t* archive) {
    QStringList ids;
    if (const auto workbook = zipEntry(archive, "xl/workbook.xml", LargestPart, MostRatio)) {
        QXmlStreamReader xml(*workbook);
        while (!xml.atEnd() && ids.size() < MostSheets)
            if (nextToken(xml) == QXmlStreamReader::StartElement && xml.name() == "sheet"_L1)
                for (const QXmlStreamAttribute& attribute : xml.attributes())
                    if (attribute.name() == "id"_L1 && !attribute.prefix().isEmpty())
                        ids << attribute.value().toString();
    }
    QHash<QString, QString> targets;
    if (const auto rels = zipEntry(archive, "xl/_rels/workbook.xml.rels", LargestPart, MostRatio)) {
        QXmlStreamReader xml(*rels);
        while (!xml.atEnd())
            if (nextToken(xml) == QXmlStreamReader::StartElement &&
                xml.name() == "Relationship"_L1) {
                const QString target = xml.attributes().value("Target"_L1).toString();
                targets.insert(xml.attributes().value("Id"_L1).toString(),
                               target.startsWith(u'/') ? target.mid(1) : "xl/"_L1 + target);
            }
    }
    QStringList paths;
    for (const QString& id : std::as_const(ids))
        if (targets.contains(id))
            paths << targets.value(id);
    return paths;
}

FileResult readXlsx(zip_t* archive, const QString& path, QList<QStringList>& rows,
                    const std::atomic<bool>& stopped) {
    QStringList strings;
    qint64 unpacked = 0;
    if (const auto shared = zipEntry(archive, "xl/sharedStrings.xml", LargestPart, MostRatio)) {
        unpacked += shared->size();
        readPart(*shared, strings,
                 [](auto& xml, QStringList& into) { return readSharedStrings(xml, into); });
    }
    const QStringList sheets = xlsxSheetPaths(archive);
    if (sheets.isEmpty())
        return refused(FileError::BadList, path,
                       QStringLiteral("是 Excel 表格，但找不到其中的工作表"));
    for (const QString& name : sheets) {
        const auto bytes = zipEntry(archive, name.toUtf8().constData(), LargestPart, MostRatio);
        if (!bytes)
            return refused(
                FileError::BadList, path,
                QStringLiteral("里的工作表 %1 解不开（已损坏，或大得不像单词表）").arg(name));
        if ((unpacked += bytes->size()) > MostUnpacked)
            return refused(
                FileError::BadList, path,
                QStringLiteral("的工作表解开后超过 %1 MB，不像是单词表").arg(MostUnpacked >> 20));
        Sheet sheet;
        if (!readPart(*bytes, sheet, [&](auto& xml, Sheet& into) {
                return readXlsxSheet(xml, strings, into, stopped);
            }))
            return refused(FileError::BadList, path,
                           sheet.rows.size() > MostListPairs
                               ? QStringLiteral("的行数超过 %1，不像是单词表").arg(MostListPairs)
                               : QStringLiteral("里的工作表 %1 不是完好的 XML").arg(name));
        if (sheet.rows.size() > rows.size())
            rows = std::move(sheet.rows);
    }
    return FileResult::success();
}

// An attribute by its name without its prefix ("table:number-rows-repeated").
QStringView attribute(const QXmlStreamAttributes& attributes, QLatin1StringView name) {
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == name)
            return a.value();
    return {};
}

// The text of an ODF cell: its paragraphs, line breaks and runs of spaces as written; a text
// longer than any word as such.
QString odfText(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        // Past any word's length no more is kept: the cell stands as too long.
        if (text.size() > LongestField)
            text = overLongText();
        switch (nextToken(xml)) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == "s"_L1) {
                text += QString(qBound(1, attribute(xml.attributes(), "c"_L1).toInt(), 64), u' ');
            } else if (xml.name() == "tab"_L1) {
                text += u' ';
            } else if (xml.name() == "line-break"_L1 || (xml.name() == "p"_L1 && !text.isEmpty())) {
                text += u'\n';
            } else if (xml.name() == "annotation"_L1) {
                xml.skipCurrentElement();
                break;
            }
            if (xml.isStartElement())
                ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += xml.text();
            break;
        default:
            break;
        }
    }
    return text;
}

FileResult readOds(zip_t* archive, const QString& path, QList<QStringList>& rows,
                   const std::atomic<bool>& stopped) {
    const auto content = zipEntry(archive, "content.xml", LargestPart, MostRatio);
    if (!content)
        return refused(FileError::BadList, path,
                       QStringLiteral("里的 content.xml 解不开（已损坏，或大得不像单词表）"));
    QXmlStreamReader xml(*content);
    Sheet sheet;
    qsizetype column = 0;
    qint64 rowRepeat = 1;
    while (!xml.atEnd() && !stopped) {
        const QXmlStreamReader::TokenType token = nextToken(xml);
        if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == "table-row"_L1 && !sheet.endRow(rowRepeat))
                return refused(FileError::BadList, path,
                               QStringLiteral("的行数超过 %1，不像是单词表").arg(MostListPairs));
            if (xml.name() == "table"_L1) {
                if (sheet.rows.size() > rows.size())
                    rows = std::move(sheet.rows);
                sheet = {};
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == "table-row"_L1) {
            column = 0;
            // Repeats are for runs of empty rows; a row of words written once stands for a
            // few of its like at most, not for a million from a few bytes.
            rowRepeat =
                qBound(1, attribute(attributes, "number-rows-repeated"_L1).toInt(), MostRowRepeats);
        } else if (xml.name() == "table-cell"_L1 || xml.name() == "covered-table-cell"_L1) {
            const qsizetype repeat = qBound<qsizetype>(
                1, attribute(attributes, "number-columns-repeated"_L1).toLongLong(),
                MostSheetColumns);
            const QString text = odfText(xml).trimmed();
            for (qsizetype i = 0; i < repeat && !text.isEmpty(); ++i)
                sheet.put(column + i, text);
            column = qMin(column + repeat, MostSheetColumns);
        }
    }
    if (xml.hasError())
        return refused(FileError::BadList, path, QStringLiteral("里的 content.xml 不是完好的 XML"));
    return FileResult::success();
}

} // namespace

FileResult readSheetRows(const QByteArray& bytes, const QString& path, QList<QStringList>& rows,
                         const std::atomic<bool>& stopped) {
    rows.clear();
    const Zip archive = openZip(bytes);
    if (!archive)
        return refused(FileError::BadList, path, QStringLiteral("不是完好的 zip 压缩包"));
    FileResult result = zip_name_locate(archive.get(), "xl/workbook.xml", 0) >= 0
                            ? readXlsx(archive.get(), path, rows, stopped)
                            : readOds(archive.get(), path, rows, stopped);
    if (result.ok() && stopped)
        result = refused(FileError::BadList, path, QStringLiteral("的读取因程序关闭而中止"));
    if (!result.ok())
        rows.clear();
    return result;
}
