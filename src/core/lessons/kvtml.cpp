// KVTML 2, the vocabulary files of the KDE trainers. The usual file (UTF-8, no DTD of its own,
// well formed) is read by a small reader of its own that passes over the indentation sixteen
// bytes at a time and keeps nothing but the texts it is asked for; whatever that reader is not
// sure of, Qt's XML reader reads, and says what is wrong. Both are driven by the same reading of
// the vocabulary, so that they cannot differ in what they make of a file.
#include "lessons/listreaders.h"
#include "lessons/xmlwalk.h"

#include <QXmlStreamWriter>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr auto KvtmlDoctype =
    "<!DOCTYPE kvtml PUBLIC \"kvtml2.dtd\" \"http://edu.kde.org/kvtml/kvtml2.dtd\">";

struct Language final {
    QString id;
    QString locale;
};

// ---- The vocabulary -------------------------------------------------------------------------

template <class Xml> QList<Language> readIdentifiers(Xml& xml) {
    QList<Language> languages;
    while (xml.child()) {
        if (!xml.isNamed("identifier"_L1)) {
            xml.skip();
            continue;
        }
        Language language{QStringView(xml.attribute("id"_L1)).toString(), {}};
        while (xml.child()) {
            if (xml.isNamed("locale"_L1)) {
                xml.text(&language.locale);
                language.locale = language.locale.trimmed();
            } else {
                xml.skip();
            }
        }
        languages << language;
    }
    return languages;
}

// An entry's translations: the text and the pronunciation of each, in the order of languages
// (others are read into spare and left out). longText tells of a text too long for a word; a
// pronunciation too long for one is dropped.
template <class Xml>
void readTranslations(Xml& xml, const QList<Language>& languages, QStringList& texts,
                      QStringList& pronunciations, QString& spare, bool& longText) {
    texts.resize(languages.size());
    pronunciations.resize(languages.size());
    for (QString& text : texts)
        text.resize(0);
    for (QString& text : pronunciations)
        text.resize(0);
    QString spareSound;
    while (xml.child()) {
        if (!xml.isNamed("translation"_L1)) {
            xml.skip();
            continue;
        }
        QString* into = &spare;
        QString* sound = &spareSound;
        const auto id = xml.attribute("id"_L1);
        for (qsizetype i = 0; i < languages.size(); ++i)
            if (languages[i].id == id) {
                into = &texts[i];
                sound = &pronunciations[i];
                break;
            }
        into->resize(0);
        while (xml.child()) {
            if (xml.isNamed("text"_L1)) {
                if (!xml.text(into))
                    longText = true;
            } else if (xml.isNamed("pronunciation"_L1)) {
                if (!xml.text(sound))
                    sound->resize(0);
            } else {
                xml.skip();
            }
        }
    }
}

template <class Xml>
FileResult readVocabulary(Xml& xml, const QString& path, const ListRequest& request,
                          ListOutput& out) {
    if (!xml.root())
        return xml.fault(path);
    if (!xml.isNamed("kvtml"_L1))
        return refused(FileError::BadList, path,
                       QStringLiteral("不是 KVTML 单词文件：最外层的元素是 <%1>，应是 <kvtml>")
                           .arg(xml.name()));
    const QString version = QStringView(xml.attribute("version"_L1)).toString();
    if (version.toDouble() < 2)
        return refused(FileError::BadList, path,
                       QStringLiteral("是 KVTML %1 文件，只能读 KVTML 2")
                           .arg(version.isEmpty() ? QStringLiteral("1") : version));
    ListReading& reading = out.reading;
    const QString encoding = xml.encoding();
    reading.encoding = encoding.isEmpty() ? QStringLiteral("UTF-8") : encoding;

    // The languages are the columns. The word is the first that is not Chinese, the meaning
    // the first that is: a list from Chinese to English is turned round.
    QList<Language> languages = {{QStringLiteral("0"), {}}, {QStringLiteral("1"), {}}};
    ListLayout layout;
    const auto decide = [&] {
        reading.columns.clear();
        for (const Language& language : std::as_const(languages))
            reading.columns << (language.locale.isEmpty()
                                    ? QStringLiteral("语言 %1").arg(language.id)
                                    : language.locale);
        int chinese = -1, other = -1;
        for (int i = 0; i < languages.size(); ++i) {
            int& first = languages[i].locale.startsWith(u"zh") ? chinese : other;
            if (first < 0)
                first = i;
        }
        layout = ListLayout{};
        if (chinese >= 0 && other >= 0)
            layout.wordColumn = other, layout.meaningColumn = chinese;
        if (request.layout && request.layout->wordColumn < languages.size() &&
            request.layout->meaningColumn < languages.size())
            layout = {request.layout->wordColumn, request.layout->meaningColumn, -1, false};
        reading.layout = layout;
    };
    decide();
    QStringList texts, sounds;
    QString spare;
    const auto column = [&texts](int i) {
        return i >= 0 && i < texts.size() ? QStringView(texts[i]) : QStringView();
    };
    while (xml.child()) {
        if (xml.isNamed("identifiers"_L1)) {
            const QList<Language> found = readIdentifiers(xml);
            if (found.size() >= 2)
                languages = found;
            else if (found.size() == 1)
                reading.why =
                    QStringLiteral("这个文件只有一种语言（%1），没有单词和意思两边")
                        .arg(found[0].locale.isEmpty() ? QStringLiteral("语言 %1").arg(found[0].id)
                                                       : found[0].locale);
            decide();
        } else if (xml.isNamed("entries"_L1)) {
            while (xml.child()) {
                if (!xml.isNamed("entry"_L1)) {
                    xml.skip();
                    continue;
                }
                const qint64 mark = xml.mark();
                bool longText = false;
                readTranslations(xml, languages, texts, sounds, spare, longText);
                if (xml.failed())
                    break;
                if (reading.firstRows.size() < PreviewRows)
                    reading.firstRows << texts;
                if (longText) {
                    out.leaveOut(xml.lineOf(mark), SideFault::TooLong);
                    continue;
                }
                const auto line = [&xml, mark] { return xml.lineOf(mark); };
                const qsizetype w = layout.wordColumn;
                if (FileResult r =
                        out.putAt(column(layout.wordColumn), column(layout.meaningColumn), line,
                                  path, w >= 0 && w < sounds.size() ? sounds[w] : QString());
                    !r.ok())
                    return r;
            }
        } else {
            xml.skip();
        }
    }
    if (xml.failed())
        return xml.fault(path);
    return FileResult::success();
}

} // namespace

FileResult readKvtmlGenerally(const QByteArray& bytes, const QString& path,
                              const ListRequest& request, ListOutput& out) {
    BoundedXml xml(bytes, QStringLiteral("KVTML 单词文件"),
                   QStringLiteral("不是完好的 KVTML 文件"));
    return readVocabulary(xml, path, request, out);
}

std::optional<FileResult> readKvtmlQuickly(const QByteArray& bytes, const QString& path,
                                           const ListRequest& request, ListOutput& out) {
    QuickXml xml(bytes, QStringLiteral("不是完好的 KVTML 文件"));
    FileResult result = readVocabulary(xml, path, request, out);
    xml.decodeTheRest();
    if (xml.unsure())
        return std::nullopt;
    return result;
}

FileResult readKvtml(QByteArray& bytes, const QString& path, const ListRequest& request,
                     ListOutput& out) {
    if (std::optional<FileResult> result = readKvtmlQuickly(bytes, path, request, out))
        return *result;
    out.readAgain();
    return readKvtmlGenerally(bytes, path, request, out);
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
