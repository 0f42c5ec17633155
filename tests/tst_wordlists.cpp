// Word lists of other programs: recognised, read (or refused, saying where) and written so that
// they read back as the same pairs.
#include "drill/lessonloader.h"
#include "lessons/listreaders.h"
#include "lessons/pronunciations.h"
#include "lessons/wordfile.h"
#include "lessons/wordlists.h"
#include "packagenotes.h"
#include "testfiles.h"
#include "zipfiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTimer>
#include <QXmlStreamReader>
#include <fstream>
#include <malloc.h>
#include <string>

Q_DECLARE_METATYPE(ListFormat)

namespace {

QString shown(const Pairs& pairs) {
    QStringList all;
    for (const WordPair& p : pairs)
        all << p.word + u'=' + p.meaning;
    return all.join(u'|');
}

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray big5(const QString& text) {
    QStringEncoder encoder("Big5");
    return encoder.encode(text);
}

QByteArray utf16le(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return "\xFF\xFE" + QByteArray(encoder.encode(text));
}

QByteArray kvtml(const QByteArray& identifiers, const QByteArray& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE kvtml>\n"
           "<kvtml version=\"2.0\"><information><title>t</title></information>\n"
           "<identifiers>" +
           identifiers + "</identifiers>\n<entries>\n" + entries + "</entries></kvtml>\n";
}

const QByteArray EnZh = "<identifier id=\"0\"><name>English</name><locale>en</locale></identifier>"
                        "<identifier id=\"1\"><name>中文</name><locale>zh_CN</locale></identifier>";

QByteArray entry(int id, const QByteArray& first, const QByteArray& second) {
    QByteArray e = "<entry id=\"" + QByteArray::number(id) + "\">";
    if (!first.isNull())
        e += "<translation id=\"0\"><text>" + first + "</text><comment>c</comment></translation>";
    if (!second.isNull())
        e += "<translation id=\"1\"><grade fromid=\"0\"><count>3</count></grade><text>" + second +
             "</text></translation>";
    return e + "</entry>\n";
}

QByteArray storedZip(const QStringList& names, const QByteArray& comment = {}) {
    QList<std::pair<QString, QByteArray>> entries;
    for (const QString& name : names)
        entries.append({name, {}});
    return zipOf(entries, comment);
}

// A collection made of these statements, as a package would hold it (in WAL mode, as the
// flash-card program leaves its collections).
QByteArray collectionOf(const QStringList& statements) {
    QTemporaryDir dir;
    const QString file = dir.filePath("c.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "make");
        db.setDatabaseName(file);
        if (!db.open())
            qFatal("cannot make a collection");
        QSqlQuery query(db);
        for (const QString& statement : statements + QStringList{"PRAGMA journal_mode=WAL"})
            if (!query.exec(statement))
                qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase("make");
    return fileBytes(file);
}

// A zstd frame holding bytes as they are (raw blocks), as the newest packages pack their files.
QByteArray zstdFrame(const QByteArray& bytes) {
    const auto le = [](QByteArray& into, quint32 value, int count) {
        for (int i = 0; i < count; ++i)
            into += char((value >> (8 * i)) & 0xFF);
    };
    QByteArray frame("\x28\xB5\x2F\xFD\xA0"); // one segment, its size in four bytes
    le(frame, quint32(bytes.size()), 4);
    constexpr qsizetype Block = 100000;
    qsizetype at = 0;
    do {
        const qsizetype size = qMin(Block, bytes.size() - at);
        le(frame, quint32((at + size == bytes.size() ? 1 : 0) | (size << 3)), 3);
        frame += bytes.mid(at, size);
        at += size;
    } while (at < bytes.size());
    return frame;
}

// The newest packages' media list: an entry per file, its name (field 1) each.
QByteArray mediaList(const QStringList& names) {
    QByteArray list;
    for (const QString& name : names) {
        const QByteArray n = name.toUtf8();
        const QByteArray entry = "\x0A" + QByteArray(1, char(n.size())) + n + "\x10\x05";
        list += "\x0A" + QByteArray(1, char(entry.size())) + entry;
    }
    return list;
}

// A package of these notes (front, back) and media entries.
QByteArray packageOf(const QString& collection, const QList<std::pair<QString, QString>>& notes,
                     const QList<std::pair<QString, QByteArray>>& media, bool packed) {
    QStringList statements = {
        "CREATE TABLE col (models TEXT)",
        "INSERT INTO col VALUES ('{\"1\":{\"flds\":[{\"name\":"
        "\"Front\"},{\"name\":\"Back\"}]}}')",
        "CREATE TABLE notes (id INTEGER PRIMARY KEY, mid INTEGER, flds TEXT)"};
    for (const auto& [front, back] : notes)
        statements << QStringLiteral("INSERT INTO notes VALUES (NULL, 1, '%1' || char(31) || '%2')")
                          .arg(front, back);
    const QByteArray db = collectionOf(statements);
    QList<std::pair<QString, QByteArray>> entries = {{collection, packed ? zstdFrame(db) : db}};
    QJsonObject map;
    QStringList names;
    for (qsizetype i = 0; i < media.size(); ++i) {
        map.insert(QString::number(i), media[i].first);
        names << media[i].first;
        entries.append({QString::number(i), packed ? zstdFrame(media[i].second) : media[i].second});
    }
    entries.append({"media", packed ? zstdFrame(mediaList(names))
                                    : QJsonDocument(map).toJson(QJsonDocument::Compact)});
    return zipOf(entries);
}

// Each element's children as the KVTML 2 document type allows them (kvtml2.dtd), for the
// elements a written file holds. Leaves hold text only.
const QHash<QString, QString> KvtmlModels = {
    {"kvtml", "information identifiers (wordtypedefinitions )?(usages )?entries (tenses )?"
              "(lessons )?"},
    {"information", "(generator )?title (author )?(license )?(comment )?(category )?"},
    {"identifiers", "(identifier )*"},
    {"identifier", "(identifiertype )?(name )?locale (comment )?(sizehint )?(article )?"
                   "(personalpronouns )?"},
    {"entries", "(entry )*"},
    {"entry", "(inactive )?(sizehint )?(translation )*"},
    {"translation", "text (inquery )?(comment )?(pronunciation )?"},
    {"generator", ""},
    {"title", ""},
    {"name", ""},
    {"locale", ""},
    {"text", ""},
};
const QHash<QString, QString> KvtmlRequired = {
    {"kvtml", "version"}, {"identifier", "id"}, {"entry", "id"}, {"translation", "id"}};

// Empty when the document follows the models; otherwise what is wrong with it.
QString kvtmlStructureFault(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    QList<QPair<QString, QString>> open; // element, its children so far
    bool doctype = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            doctype = xml.dtdName() == u"kvtml";
            break;
        case QXmlStreamReader::StartElement: {
            const QString name = xml.name().toString();
            if (!KvtmlModels.contains(name))
                return "unexpected element " + name;
            if (KvtmlRequired.contains(name) && !xml.attributes().hasAttribute(KvtmlRequired[name]))
                return name + " without " + KvtmlRequired[name];
            if (!open.isEmpty())
                open.last().second += name + u' ';
            open.append({name, {}});
            break;
        }
        case QXmlStreamReader::EndElement: {
            const auto [name, children] = open.takeLast();
            const QRegularExpression model('^' + KvtmlModels[name] + '$');
            if (!model.match(children).hasMatch())
                return name + " holds: " + children;
            break;
        }
        default:
            break;
        }
    }
    if (xml.hasError())
        return xml.errorString();
    return doctype ? QString() : QStringLiteral("no kvtml document type");
}

// This process's resident memory, and the most it has had since the last resetPeak(), in KB.
qint64 statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stoll(line.substr(std::string(field).size()));
    return -1;
}

bool resetPeak() {
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    return bool(refs.flush());
}

QByteArray kvtmlAround(const QByteArray& doctype, const QByteArray& text) {
    return "<?xml version=\"1.0\"?>\n" + doctype +
           "<kvtml version=\"2.0\"><entries><entry id=\"0\"><translation id=\"0\"><text>" + text +
           "</text></translation><translation id=\"1\"><text>甲</text></translation></entry>"
           "</entries></kvtml>\n";
}

// A KVTML file read by one of the two readers: everything the learner could see of it.
struct KvtmlReading final {
    std::optional<FileResult> result;
    Pairs pairs;
    ListReading reading;
};

KvtmlReading readKvtmlBy(bool quickly, const QByteArray& bytes) {
    KvtmlReading read;
    const PairSink sink = [&](QStringView word, QStringView meaning) {
        read.pairs.append({word.toString(), meaning.toString()});
    };
    read.reading.format = ListFormat::Kvtml;
    ListOutput out{sink, read.reading};
    read.result = quickly ? readKvtmlQuickly(bytes, "x.kvtml", {}, out)
                          : readKvtmlGenerally(bytes, "x.kvtml", {}, out);
    return read;
}

} // namespace

class tst_WordLists final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        static ZipPackageReader reader;
        setPackageReader([] { return &reader; });
    }

    // One door for every word file: what it decided, and the two callers' rules (the drill
    // stops at an empty record, the editor takes it; the editor's list has room for so many).
    void oneDoorForEveryWordFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("drill"); // the drill's rules, or the editor's with room for 3
        QTest::addColumn<ListFormat>("format");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<int>("emptyRecord");
        const QByteArray lesson = gbk("\"a\",\"甲\"\r\n\"b\",\"\"\r\n\"c\",\"丙\"\r\n"
                                      "\"d\",\"丁\"\r\n");
        const QByteArray csv = "English,Chinese\nx,\xe7\x94\xb2\ny,\xe4\xb9\x99\n"
                               "z,\xe4\xb8\x99\nw,\xe4\xb8\x81\n";
        QTest::newRow("lesson, drill") << "l.txt" << lesson << true << ListFormat::Lesson << "GBK"
                                       << "a=甲" << 2;
        QTest::newRow("lesson, editor") << "l.txt" << lesson << false << ListFormat::Lesson << "GBK"
                                        << "a=甲|b=|c=丙" << 0;
        QTest::newRow("UTF-8 lesson") << "u.txt"
                                      << QByteArray("\xEF\xBB\xBF\"a\",\"\xe7\x94\xb2\"\r\n"
                                                    "\"b\",\"\xe4\xb9\x99\"\r\n")
                                      << true << ListFormat::Lesson << "UTF-8"
                                      << "a=甲|b=乙" << 0;
        QTest::newRow("list, drill") << "w.csv" << csv << true << ListFormat::Delimited << "UTF-8"
                                     << "x=甲|y=乙|z=丙|w=丁" << 0;
        QTest::newRow("list, editor") << "w.csv" << csv << false << ListFormat::Delimited << "UTF-8"
                                      << "x=甲|y=乙|z=丙" << 0;
    }
    void oneDoorForEveryWordFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, drill);
        QFETCH(ListFormat, format);
        QFETCH(QString, encoding);
        QFETCH(QString, pairs);
        QFETCH(int, emptyRecord);
        WordFileRules rules;
        if (!drill) {
            rules.stopAtEmptyRecord = false;
            rules.mostPairs = 3;
        }
        Pairs read;
        const WordFileReading r = readWordFile(bytes, name, read, rules);
        QVERIFY2(r.result.ok(), qPrintable(r.result.description));
        QCOMPARE(r.list.format, format);
        QCOMPARE(r.list.encoding, encoding);
        QCOMPARE(shown(read), pairs);
        QCOMPARE(r.emptyRecord, emptyRecord);
    }

    void reading_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ListFormat>("format");
        QTest::addColumn<QString>("pairs");   // word=meaning|...
        QTest::addColumn<QString>("leftOut"); // what the learner is told of rows left out
        QTest::addColumn<QString>("refusal"); // part of the message; empty when read

        const auto csv = ListFormat::Delimited;
        const auto flash = ListFormat::FlashCard;
        const auto xml = ListFormat::Kvtml;
        const QString none;
        // Spreadsheets.
        QTest::newRow("csv, named header")
            << "a.csv" << QByteArray("English,Chinese\r\napple,苹果\r\npear,梨\r\n") << csv
            << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("csv, no header") << "a.csv" << QByteArray("apple,苹果\npear,梨") << csv
                                        << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("semicolons, unnamed header over Chinese, third column")
            << "a.csv" << QByteArray("list;notes\nsun;太阳;x\n\"moon; the\" ;\"月亮，月\"\n") << csv
            << "sun=太阳|moon; the=月亮，月" << none << none;
        QTest::newRow("tabs by content")
            << "a.csv" << QByteArray("red, crimson\t红色\nblue\t蓝色\n") << csv
            << "red, crimson=红色|blue=蓝色" << none << none;
        QTest::newRow("tsv in GBK") << "a.tsv" << gbk("apple\t苹果\r\npear\t梨\r\n") << csv
                                    << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("csv in UTF-16") << "a.csv" << utf16le("apple,苹果\r\npear,梨\r\n") << csv
                                       << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("csv with byte-order mark")
            << "a.csv" << QByteArray("\xEF\xBB\xBFword,meaning\napple,苹果\npear,梨\n") << csv
            << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("GBK words that are valid UTF-8 too")
            << "a.csv" << gbk("cat,猫\nwood,木\n") << csv << "cat=猫|wood=木" << none << none;
        // The columns by what they hold.
        QTest::newRow("word, part of speech, meaning, header")
            << "cet4.csv"
            << QByteArray("Word,Part of Speech,Chinese Meaning\nabandon,vt.,放弃;抛弃\n"
                          "ability,n.,能力\nable,adj.,能够的\n")
            << csv << "abandon=vt. 放弃;抛弃|ability=n. 能力|able=adj. 能够的" << none << none;
        QTest::newRow("the same as .txt, commas inside the meanings")
            << "cet4.txt"
            << QByteArray("Word,Part of Speech,Chinese Meaning\nabandon,vt.,放弃,抛弃\n"
                          "ability,n.,能力,才能\nable,adj.,能够的\n")
            << csv << "abandon=vt. 放弃,抛弃|ability=n. 能力,才能|able=adj. 能够的" << none << none;
        QTest::newRow("hanzi, pinyin, English: turned round")
            << "hsk.txt" << QByteArray("爱,ài,to love\n八,bā,eight\n爸爸,bà ba,father\n") << csv
            << "to love=爱|eight=八|father=爸爸" << none << none;
        QTest::newRow("Chinese first with a Chinese header")
            << "hsk.csv" << QByteArray("汉字,拼音,英文\n爱,ài,to love\n八,bā,eight\n") << csv
            << "to love=爱|eight=八" << none << none;
        QTest::newRow("two columns, Chinese first")
            << "a.csv" << QByteArray("苹果,apple\n梨,pear\n") << csv << "apple=苹果|pear=梨" << none
            << none;
        QTest::newRow("a spreadsheet's UTF-16 text named .txt")
            << "list.txt" << utf16le("apple\t苹果\r\npear\t梨\r\n") << csv << "apple=苹果|pear=梨"
            << none << none;
        QTest::newRow("IPA and English definitions, UTF-8 without Chinese")
            << "ipa.csv" << QByteArray("grit,/ɡrɪt/,small stones\nbath,bɑːθ,a wash\n") << csv
            << "grit=small stones|bath=a wash" << none << none;
        // Rows that cannot be read are left out and named.
        QTest::newRow("rows without word or meaning")
            << "a.csv" << QByteArray("apple,苹果\n,无词\npear,\nUnit 2\n\n,\nplum,李子\n") << csv
            << "apple=苹果|plum=李子"
            << "另有 3 条缺单词或汉语，没有读入" << none;
        // Quotes are kept, wherever a list has them: doubled in a quoted field, alone in an
        // unquoted one as spreadsheets write them.
        QTest::newRow("quotes kept")
            << "a.csv"
            << QByteArray("apple,苹果\npear,梨\"子\nfridge,\"冰箱(lit. \"\"ice box\"\")\"\n"
                          "tall,4' 9\" tall\n")
            << csv << "apple=苹果|pear=梨\"子|fridge=冰箱(lit. \"ice box\")|tall=4' 9\" tall"
            << none << none;
        QTest::newRow("quote left open")
            << "a.csv" << QByteArray("apple,苹果\n\"pear,梨\nplum,李子\n") << csv
            << "apple=苹果|plum=李子"
            << "另有 1 行没有读入：第 2 行" << none;
        QTest::newRow("text after a quote, line break in a field, field longer than a word")
            << "a.csv"
            << QByteArray("apple,苹果\n\"pear\"s,梨\n\"pe\nar\",梨\nfig," + QByteArray(1001, 'x') +
                          "\nplum,李子\n")
            << csv << "apple=苹果|pe；ar=梨|plum=李子"
            << "另有 2 行没有读入（1 行有一边超过 1000 个字，不像单词）：第 2 行、第 5 行" << none;
        QTest::newRow("a dictionary's line breaks, written and real, as one line")
            << "dict.csv"
            << QByteArray("word,translation\nrun,v. 跑\\nn. 赛跑\\n\nset,\"v. 放\r\n\r\nn. 一套\"\n"
                          "path,C:\\new\n")
            << csv << "run=v. 跑；n. 赛跑|set=v. 放；n. 一套|path=C:；ew" << none << none;
        QTest::newRow("not text") << "a.csv" << QByteArray("apple,\x01\x02\n") << csv << none
                                  << none << "里面有文字以外的内容";
        // The flash-card programs' text export.
        QTest::newRow("flash-card with html")
            << "deck.txt"
            << QByteArray("#separator:tab\n#html:true\n#tags column:3\n"
                          "<b>apple</b>\t苹果<br>[sound:a.mp3]<div>红的</div>\tfruit\n"
                          "rock &amp; roll\t摇滚&nbsp;乐&#x4E50;\ttag\n")
            << flash << "apple=苹果 红的|rock & roll=摇滚 乐乐" << none << none;
        QTest::newRow("flash-card, guid and note type first, commas")
            << "deck.txt"
            << QByteArray("#separator:Comma\r\n#html:false\r\n#guid column:1\r\n"
                          "#notetype column:2\r\n# a comment\r\nq1,Basic,apple,苹果\r\n"
                          "q2,Basic,<i>pear</i>,梨\r\n")
            << flash << "apple=苹果|<i>pear</i>=梨" << none << none;
        QTest::newRow("flash-card, comments among the notes")
            << "deck.txt" << QByteArray("#separator:tab\napple\t苹果\n# Unit 2\npear\t梨\n#\n")
            << flash << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("flash-card in GBK, quoted tab")
            << "deck.txt" << gbk("#separator:tab\n\"a\tb\"\t甲乙\nc\t丙\n") << flash
            << "a\tb=甲乙|c=丙" << none << none;
        QTest::newRow("flash-card in UTF-8 without Chinese")
            << "deck.txt" << QByteArray("#separator:tab\nnaïve\tnaive\ncafé\tcafe\n") << flash
            << "naïve=naive|café=cafe" << none << none;
        QTest::newRow("flash-card, Chinese first, quote left open")
            << "deck.txt" << QByteArray("#separator:tab\n#html:true\n甲\ta\n\"乙\tb\n丙\tc\n")
            << flash << "a=甲|c=丙"
            << "另有 1 行没有读入：第 4 行" << none;
        // The typing trainers' JSON word books: meanings joined, pronunciations passed over.
        const auto book = ListFormat::WordBook;
        QTest::newRow("word book")
            << "CET4.json"
            << QByteArray(
                   "[{\"name\": \"abandon\", \"trans\": [\"v. 放弃\", \"n. 放任\"], \"usphone\": "
                   "\"əˈbændən\","
                   " \"ukphone\": \"əˈbændən\"}, {\"name\": \"ability\", \"trans\": [\"n. 能力\"]},"
                   " {\"name\": \"\", \"trans\": [\"空\"]}, {\"trans\": [\"无词\"]}, {\"name\": "
                   "\"x\", \"trans\": 7}]")
            << book << "abandon=v. 放弃；n. 放任|ability=n. 能力"
            << "另有 3 条缺单词或汉语，没有读入" << none;
        QTest::newRow("word book by its content")
            << "list"
            << QByteArray("\xEF\xBB\xBF  "
                          "[{\"name\":\"a\",\"trans\":\"甲\"},{\"name\":\"b\",\"trans\":[\"乙\"]}]")
            << book << "a=甲|b=乙" << none << none;
        QTest::newRow("word book cut short")
            << "CET4.json" << QByteArray("[{\"name\": \"a\", \"trans\": [\"甲\"]}, {\"name") << book
            << none << none << "不是单词本";
        // Anyone's file: past the bound it is not parsed, and nesting without end is refused.
        QTest::newRow("word book too large")
            << "CET4.json" << QByteArray("[") + QByteArray(33 << 20, ' ') + "]" << book << none
            << none << "太大了";
        QTest::newRow("word book nested without end")
            << "CET4.json" << QByteArray(100000, '[') << book << none << none << "不是单词本";
        // A dictionary's XML word book: pronunciation and tags passed over, meanings on one line.
        const auto youdao = ListFormat::YoudaoBook;
        QTest::newRow("xml word book")
            << "book.xml"
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wordbook>\n<item>"
                          "<word>abandon</word>\n<trans><![CDATA[vt. 放弃\nn. 放任]]></trans>\n"
                          "<phonetic><![CDATA[[ə'bændən]]]></phonetic><tags>CET4</tags>"
                          "<progress>1</progress></item>\n<item><word>say \"hi\"</word>"
                          "<trans>问好</trans></item>\n<item><word>lonely</word></item>\n"
                          "</wordbook>")
            << youdao << "abandon=vt. 放弃；n. 放任|say \"hi\"=问好"
            << "另有 1 条缺单词或汉语，没有读入" << none;
        QTest::newRow("xml word book cut short")
            << "book.xml" << QByteArray("<wordbook><item><word>a</word><trans>甲</trans></item><it")
            << youdao << none << none << "不是完好的单词本：第 1 行第 56 列有错";
        QTest::newRow("xml word book declaring an entity")
            << "book.xml"
            << QByteArray("<!DOCTYPE wordbook [<!ENTITY e \"" + QByteArray(4000, 'x') +
                          "\">]><wordbook><item><word>&e;</word><trans>甲</trans></item>" +
                          QByteArray("<item><word>a</word><trans>&e;</trans></item>").repeated(50) +
                          "</wordbook>")
            << youdao << none << none << "声明了 XML 实体";
        QTest::newRow("xml word book nested without end")
            << "book.xml"
            << "<wordbook>" + QByteArray("<item>").repeated(100000) << youdao << none << none
            << "嵌套超过 32 层";
        // Lists typed up as text, an entry a line.
        const auto text = ListFormat::FreeForm;
        QTest::newRow("entry a line, pronunciations, commas in the meanings")
            << "toefl.txt"
            << QByteArray("disseminate  [di'semineit]  vt. 散播,传播\n"
                          "grit /ɡrɪt/ n. 砂砾，沙粒\n\n"
                          "look after v. 照顾,照料\n"
                          "a lot of 许多,大量\n"
                          "o'clock ad. ……点钟\n"
                          "（以下为第二单元）\n")
            << text
            << "disseminate=vt. 散播,传播|grit=n. 砂砾，沙粒|look after=v. 照顾,照料|"
               "a lot of=许多,大量|o'clock=ad. ……点钟"
            << "另有 1 行没有读入：第 7 行" << none;
        QTest::newRow("entry a line in GBK, traditional characters, letter headings")
            << "taiwan.txt"
            << gbk("A\r\nabandon v. 遺棄；中止\r\nability n. 能力\r\n\r\n- B -\r\n"
                   "bank　n. 銀行\r\nback-up adj. 備用的\r\n")
            << text << "abandon=v. 遺棄；中止|ability=n. 能力|bank=n. 銀行|back-up=adj. 備用的"
            << none << none;
        QTest::newRow("entry a line in Big5")
            << "big5.txt" << big5("abandon v. 遺棄；中止\nability n. 能力，才能\nbank n. 銀行\n")
            << text << "abandon=v. 遺棄；中止|ability=n. 能力，才能|bank=n. 銀行" << none << none;
        QTest::newRow("a package whose cards are pictures")
            << "pictures.apkg"
            << zipOf({{"collection.anki2",
                       collectionOf(
                           {"CREATE TABLE col (models TEXT)",
                            "INSERT INTO col VALUES ('{\"1\":{\"flds\":[{\"name\":"
                            "\"Front\"},{\"name\":\"Back\"}]}}')",
                            "CREATE TABLE notes (id INTEGER PRIMARY KEY, mid INTEGER, "
                            "flds TEXT)",
                            "INSERT INTO notes VALUES (1, 1, 'apple' || char(31) || "
                            "'<img src=\"a.png\">')",
                            "INSERT INTO notes VALUES (2, 1, '[sound:p.mp3]' || char(31) "
                            "|| '梨')",
                            "INSERT INTO notes VALUES (3, 1, 'plum' || char(31) || '李子')"})}})
            << ListFormat::Package << "plum=李子"
            << "另有 2 条缺单词或汉语，没有读入（其中 2 张卡片只有图片或声音）" << none;
        // KVTML 2.
        QTest::newRow("kvtml") << "a.kvtml"
                               << kvtml(EnZh, entry(0, "apple", "苹果") +
                                                  entry(1, "salt &amp; pepper", "椒盐") +
                                                  entry(2, "lonely", {}) + entry(3, "pear", "梨"))
                               << xml << "apple=苹果|salt & pepper=椒盐|pear=梨"
                               << "另有 1 条缺单词或汉语，没有读入" << none;
        QTest::newRow("kvtml from Chinese to English")
            << "a.xml"
            << kvtml("<identifier id=\"0\"><locale>zh_CN</locale></identifier>"
                     "<identifier id=\"1\"><locale>en</locale></identifier>",
                     entry(0, "苹果", "apple") + entry(1, "梨", "pear"))
            << xml << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("kvtml in GBK")
            << "a.kvtml"
            << gbk(QString::fromUtf8(kvtml(EnZh, entry(0, "apple", "苹果") + entry(1, "pear", "梨"))
                                         .replace("UTF-8", "GBK")))
            << xml << "apple=苹果|pear=梨" << none << none;
        QTest::newRow("kvtml cut off")
            << "a.kvtml" << kvtml(EnZh, entry(0, "apple", "苹果")).chopped(20) << xml << none
            << none << "不是完好的 KVTML 文件：第 6 行";
        QTest::newRow("kvtml quote in an entry, a text over a word's length")
            << "a.kvtml"
            << kvtml(EnZh, entry(0, "apple", "苹果") + entry(7, "say \"hi\"", "问好") +
                               entry(8, QByteArray(1001, 'x'), "长") + entry(9, "pear", "梨"))
            << xml << "apple=苹果|say \"hi\"=问好|pear=梨"
            << "另有 1 行没有读入（1 行有一边超过 1000 个字，不像单词）：第 8 行" << none;
        QTest::newRow("other XML") << "a.kvtml" << QByteArray("<?xml version=\"1.0\"?><html/>")
                                   << xml << none << none << "最外层的元素是 <html>";
        QTest::newRow("KVTML 1") << "a.kvtml"
                                 << QByteArray("<kvtml><e><o>a</o><t>甲</t></e></kvtml>") << xml
                                 << none << none << "是 KVTML 1 文件，只能读 KVTML 2";
        QTest::newRow("named kvtml, not XML") << "a.kvtml" << QByteArray("apple,苹果\n") << xml
                                              << none << none << "不是完好的 KVTML 文件";
        // Lesson files stay lesson files.
        QTest::newRow("lesson") << "a.txt" << QByteArray("\"a\",\"甲\"\r\n") << ListFormat::Lesson
                                << none << none << none;
        QTest::newRow("lesson starting with #") << "a.txt" << QByteArray("#1,甲\r\nb,乙\r\n")
                                                << ListFormat::Lesson << none << none << none;
        QTest::newRow("lesson with a comma in a quoted meaning")
            << "a.txt" << QByteArray("\"a\",\"甲,乙\"\r\n\"b\",\"丙\"\r\n") << ListFormat::Lesson
            << none << none << none;
    }
    void reading() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(ListFormat, format);
        QFETCH(QString, pairs);
        QFETCH(QString, leftOut);
        QFETCH(QString, refusal);
        const QString path = "/lists/" + name;
        QCOMPARE(listFormatOf(path, bytes), format);
        if (format == ListFormat::Lesson)
            return;
        WordList list;
        const FileResult r = readWordList(bytes, format, path, list);
        if (refusal.isEmpty()) {
            QVERIFY2(r.ok(), qPrintable(r.description));
            QCOMPARE(shown(list.pairs), pairs);
            QCOMPARE(leftOutText(list.reading), leftOut);
        } else {
            QVERIFY2(r.description.startsWith("“" + path + "”") && r.description.contains(refusal),
                     qPrintable(r.description));
            QVERIFY(list.pairs.isEmpty());
        }
    }

    // A package is told from the zip's own directory, without the module that reads it; a
    // package read without that module is refused, saying so.
    void packagesAreToldByTheirDirectory_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("package");
        QTest::newRow("the newest collection")
            << storedZip({"collection.anki21b", "media"}) << true;
        QTest::newRow("the oldest, after other entries")
            << storedZip({"media", "0", "collection.anki2"}) << true;
        QTest::newRow("with an archive comment")
            << storedZip({"collection.anki21"}, QByteArray(300, 'c')) << true;
        QTest::newRow("a name that only begins like one")
            << storedZip({"collection.anki2x", "x/collection.anki2"}) << false;
        QTest::newRow("another zip") << storedZip({"word/document.xml"}) << false;
        QTest::newRow("cut short") << storedZip({"collection.anki2"}).chopped(10) << false;
        QTest::newRow("not a zip") << QByteArray("\"collection.anki2\",\"甲\"\r\n") << false;
    }
    void packagesAreToldByTheirDirectory() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, package);
        QCOMPARE(isFlashCardPackage(bytes), package);
        if (!package)
            return;
        setPackageReader({});
        WordList list;
        const FileResult r = readWordList(bytes, ListFormat::Package, "p.apkg", list);
        initTestCase(); // the reader back for the other tests
        QVERIFY2(!r.ok() && r.description.contains("vokarin-packages"), qPrintable(r.description));
    }

    // Spreadsheets: LibreOffice's own files (tools/make-test-sheets.sh), and workbooks made by
    // hand in the shapes other programs write, bombs among them.
    void spreadsheets_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("refusal");
        const auto data = [](const char* name) {
            QByteArray bytes;
            readFileBytes(QStringLiteral(VOKARIN_TEST_DATA "/sheets/") + name, bytes);
            return bytes;
        };
        const QString fruit = "apple=苹果|4' 9\" tall=四英尺九英寸高|pear=梨\"子|100=一百";
        QTest::newRow("LibreOffice's xlsx") << data("fruit.xlsx") << fruit << "";
        QTest::newRow("LibreOffice's ods") << data("fruit.ods") << fruit << "";
        const QByteArray workbook =
            "<workbook xmlns:r=\"urn:r\"><sheets><sheet name=\"a\" r:id=\"rId1\"/>"
            "<sheet name=\"b\" r:id=\"rId2\"/></sheets></workbook>";
        const QByteArray rels =
            "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/one.xml\"/>"
            "<Relationship Id=\"rId2\" Target=\"/xl/worksheets/two.xml\"/></Relationships>";
        const QByteArray strings = "<sst><si><t>cat</t></si><si><r><t>猫</t></r><r><t>咪</t></r>"
                                   "<rPh><t>ねこ</t></rPh></si></sst>";
        const QByteArray one = "<worksheet><sheetData><row><c t=\"s\"><v>0</v></c><c t=\"s\">"
                               "<v>1</v></c></row></sheetData></worksheet>";
        const QByteArray two =
            "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
            "<c r=\"C1\" t=\"s\"><v>1</v></c></row><row r=\"3\"><c r=\"A3\" "
            "t=\"inlineStr\"><is><t>dog</t></is></c><c r=\"C3\" t=\"str\"><v>狗</v></c></row>"
            "<row><c><v>7</v></c><c/><c t=\"inlineStr\"><is><t>七</t></is></c></row>"
            "<row r=\"9\"><c r=\"B9\" t=\"s\"><v>99</v></c></row></sheetData></worksheet>";
        QTest::newRow("the sheet with the most rows, inline strings, cells without place")
            << zipOf({{"xl/workbook.xml", workbook},
                      {"xl/_rels/workbook.xml.rels", rels},
                      {"xl/sharedStrings.xml", strings},
                      {"xl/worksheets/one.xml", one},
                      {"xl/worksheets/two.xml", two}})
            << "cat=猫咪|dog=狗|7=七"
            << "";
        QTest::newRow("a sheet unpacking to 200 times its size")
            << zipOf({{"xl/workbook.xml", workbook},
                      {"xl/_rels/workbook.xml.rels", rels},
                      {"xl/worksheets/one.xml", QByteArray(4 << 20, ' ')}},
                     {}, true)
            << ""
            << "工作表 xl/worksheets/one.xml 解不开";
        const QByteArray content =
            "<office:document-content xmlns:office=\"urn:o\" xmlns:table=\"urn:t\" "
            "xmlns:text=\"urn:x\"><office:body><office:spreadsheet><table:table>"
            "<table:table-row><table:table-cell><text:p>sea</text:p></table:table-cell>"
            "<table:table-cell><text:p>海</text:p><text:p>海洋</text:p></table:table-cell>"
            "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>"
            "<table:table-row table:number-rows-repeated=\"1048000\">"
            "<table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
            "<table:table-row><table:table-cell><text:p>a<text:s text:c=\"2\"/>b</text:p>"
            "</table:table-cell><table:table-cell><text:p><text:span>甲</text:span>乙</text:p>"
            "</table:table-cell></table:table-row></table:table></office:spreadsheet>"
            "</office:body></office:document-content>";
        QTest::newRow("ods with a million empty rows repeated")
            << zipOf({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                      {"content.xml", content}})
            << "sea=海；海洋|a  b=甲乙"
            << "";
        // Anyone's file: a declared entity is refused before it expands, and a workbook whose
        // sheets all name one part is read only so far.
        QTest::newRow("ods declaring an entity")
            << zipOf(
                   {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"content.xml", "<!DOCTYPE d [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]>" +
                                        QByteArray(content).replace("sea", "&e;&e;&e;&e;")}})
            << ""
            << "不是完好的 XML";
        QByteArray sixtyFour = "<workbook xmlns:r=\"urn:r\"><sheets>";
        for (int i = 0; i < 64; ++i)
            sixtyFour += "<sheet r:id=\"rId1\"/>";
        QTest::newRow("64 sheets naming one part of 5 MB")
            << zipOf({{"xl/workbook.xml", sixtyFour + "</sheets></workbook>"},
                      {"xl/_rels/workbook.xml.rels", rels},
                      {"xl/worksheets/one.xml",
                       "<worksheet>" + QByteArray(5 << 20, ' ') + "</worksheet>"}})
            << ""
            << "解开后超过 256 MB";
        QTest::newRow("xlsx cut short") << zipOf({{"xl/workbook.xml", workbook},
                                                  {"xl/_rels/workbook.xml.rels", rels},
                                                  {"xl/worksheets/one.xml", one.chopped(20)}})
                                        << ""
                                        << "不是完好的 XML";
    }
    void spreadsheets() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, pairs);
        QFETCH(QString, refusal);
        const QString path = "/lists/list.xlsx";
        QCOMPARE(listFormatOf(path, bytes), ListFormat::Spreadsheet);
        WordList list;
        const FileResult r = readWordList(bytes, ListFormat::Spreadsheet, path, list);
        if (!refusal.isEmpty()) {
            QVERIFY2(!r.ok() && r.description.contains(refusal), qPrintable(r.description));
            return;
        }
        QVERIFY2(r.ok(), qPrintable(r.description));
        QCOMPARE(shown(list.pairs), pairs);
    }

    // The big flash-card program's packages, one of each collection version, made by the tool
    // in tools/ with a generator of its own.
    void packages_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("refusal");
        const QString fruit = "apple=苹果|pear=梨|salt & pepper=椒盐|say \"hi\"=问好";
        QTest::newRow("collection.anki2") << "fruit-anki2.apkg" << fruit << "";
        QTest::newRow("collection.anki21, a placeholder beside it")
            << "fruit-anki21.apkg" << fruit << "";
        QTest::newRow("collection.anki21b (zstd), note types in tables")
            << "fruit-anki21b.colpkg" << fruit << "";
        QTest::newRow("only the placeholder") << "placeholder-only.apkg"
                                              << ""
                                              << "只能读到一张要求升级的占位卡片";
    }
    void packages() {
        QFETCH(QString, name);
        QFETCH(QString, pairs);
        QFETCH(QString, refusal);
        const QString path = QStringLiteral(VOKARIN_TEST_DATA "/packages/") + name;
        QByteArray bytes;
        QVERIFY(readFileBytes(path, bytes).ok());
        QCOMPARE(listFormatOf(path, bytes), ListFormat::Package);
        WordList list;
        const FileResult r = readWordList(bytes, ListFormat::Package, path, list);
        if (!refusal.isEmpty()) {
            QVERIFY2(!r.ok() && r.description.contains(refusal), qPrintable(r.description));
            return;
        }
        QVERIFY2(r.ok(), qPrintable(r.description));
        QCOMPARE(shown(list.pairs), pairs);
        QCOMPARE(list.reading.columns, QStringList({"Front", "Back"}));
        QCOMPARE(leftOutText(list.reading), QString()); // the card with a quote too
    }

    // A package is anyone's to make: a collection whose notes or col is a view (which can run
    // without end) or whose read takes too long is refused, the window goes on meanwhile, a close
    // ends the read, and nothing unpacked is left in the temporary folder, whatever became of it.
    void hostilePackages_data() {
        QTest::addColumn<QStringList>("collection");
        QTest::addColumn<int>("limitMs");
        QTest::addColumn<int>("stopAfterMs"); // the program closing; 0: never
        QTest::addColumn<QString>("refusal");
        const QString models = R"('{"1":{"flds":[{"name":"Front"},{"name":"Back"}]}}')";
        const QStringList col = {"CREATE TABLE col (models TEXT)",
                                 "INSERT INTO col VALUES (" + models + ")"};
        const QStringList notes = {"CREATE TABLE notes (id INTEGER PRIMARY KEY, mid INTEGER,"
                                   " flds TEXT)",
                                   "INSERT INTO notes VALUES (1, 1, 'apple' || char(31) || '苹果')",
                                   "INSERT INTO notes VALUES (2, 1, 'pear' || char(31) || '梨')"};
        // Rows enough that sorting them takes a while: no index on id.
        const QStringList many = {
            "CREATE TABLE notes (id INTEGER, mid INTEGER, flds TEXT)",
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100000)"
            " INSERT INTO notes SELECT 100000 - x, 1, 'w' || x || char(31) || '词' FROM c"};
        QTest::newRow("plain tables") << col + notes << 20000 << 0 << "";
        QTest::newRow("notes a view over a recursive CTE")
            << col + QStringList{"CREATE VIEW notes AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL"
                                 " SELECT x + 1 FROM c) SELECT x AS id, 1 AS mid, 'a' AS flds"
                                 " FROM c ORDER BY x DESC"}
            << 20000 << 0 << "“notes”不是数据表";
        QTest::newRow("notes a view of rows without end")
            << col + QStringList{"CREATE VIEW notes AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL"
                                 " SELECT x + 1 FROM c) SELECT x AS id, 1 AS mid, 'a' AS flds"
                                 " FROM c"}
            << 20000 << 0 << "“notes”不是数据表";
        QTest::newRow("col a view")
            << QStringList{"CREATE VIEW col AS SELECT " + models + " AS models"} + notes << 20000
            << 0 << "“col”不是数据表";
        QTest::newRow("a read past its time") << col + many << 1 << 0 << "还没读完";
        QTest::newRow("the program closing during the read")
            << col + many << 20000 << 5 << "因程序关闭而中止";
    }
    void hostilePackages() {
        QFETCH(QStringList, collection);
        QFETCH(int, limitMs);
        QFETCH(int, stopAfterMs);
        QFETCH(QString, refusal);
        const QByteArray package = zipOf({{"collection.anki2", collectionOf(collection)}});
        QTemporaryDir temp;
        const QByteArray before = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        // The read as the window's thread makes it (this test program has no application).
        int argc = 1;
        char name[] = "tst_wordlists";
        char* argv[] = {name, nullptr};
        const QCoreApplication app(argc, argv);
        ZipPackageReader reader;
        reader.setTimeLimitMs(limitMs);
        int ticks = 0; // the window's timers go on during the read
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (++ticks >= stopAfterMs && stopAfterMs > 0)
                reader.stop();
        });
        tick.start(1);
        PackageNotes notes;
        const FileResult r = reader.readNotes(package, "p.apkg", notes);
        tick.stop();
        qputenv("TMPDIR", before);
        if (refusal.isEmpty()) {
            QVERIFY2(r.ok(), qPrintable(r.description));
            QCOMPARE(notes.notes.size(), 2);
            QCOMPARE(notes.fieldNames, QStringList({"Front", "Back"}));
        } else {
            QVERIFY2(!r.ok() && r.description.contains(refusal), qPrintable(r.description));
        }
        if (stopAfterMs > 0)
            QVERIFY(ticks > 0);
        QCOMPARE(
            QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
    }

    // Files made to explode are refused, saying why, before they cost the memory.
    void importBombs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("100,000 elements nested in a text")
            << "deep.kvtml" << kvtmlAround("", QByteArray("<b>").repeated(100000))
            << "嵌套超过 32 层";
        QTest::newRow("an entity of 4,000 characters used 200,000 times")
            << "entity.kvtml"
            << kvtmlAround("<!DOCTYPE kvtml [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]>",
                           QByteArray("&e;").repeated(200000))
            << "声明了 XML 实体";
        QTest::newRow("2,000,001 pairs")
            << "many.csv" << QByteArray("a,b\n").repeated(2000001) << "有超过 2000000 对单词";
        QTest::newRow("a lesson file of 2,000,001 lines")
            << "many.txt" << QByteArray("\"a\",\"b\"\r\n").repeated(2000001)
            << "有超过 2000000 对单词";
    }
    void importBombs() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
#if defined(__SANITIZE_ADDRESS__)
        // Millions of rows, each allocation unwound in full by the sanitizer, take minutes;
        // the smaller bombs go through the same code.
        if (bytes.size() > 4 * 1024 * 1024)
            QSKIP("too slow under the sanitizer");
#endif
        QTemporaryDir dir;
        const QString path = putFile(dir, name, bytes);
        const LoadedLesson loaded = loadLesson(path, 3);
        QVERIFY2(loaded.result.description.startsWith("“" + path + "”") &&
                     loaded.result.description.contains(refusal),
                 qPrintable(loaded.result.description));
        QCOMPARE(loaded.table.size(), 0);
    }

    // Reading a long list of tiny rows takes about twice what its table keeps, not ten times.
    void peakMemoryOfALongList() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's own memory hides the reader's");
#endif
        QTemporaryDir dir;
        const QString path =
            putFile(dir, "tiny.csv", QByteArray("ab,\xe7\x94\xb2\n").repeated(1000000));
        malloc_trim(0);
        if (!resetPeak())
            QSKIP("the peak of resident memory cannot be reset here");
        const qint64 before = statusKb("VmRSS:");
        const LoadedLesson loaded = loadLesson(path, 3);
        const qint64 peak = statusKb("VmHWM:") - before;
        QCOMPARE(loaded.table.size(), 1000000);
        // 12 bytes a row beside its three characters of two bytes each.
        const qint64 tableKb = qint64(loaded.table.size()) * (12 + 3 * 2) / 1024;
        QVERIFY2(
            peak <= 2 * tableKb + 2048,
            qPrintable(QStringLiteral("peak %1 KB for a table of %2 KB").arg(peak).arg(tableKb)));
    }

    // Vokarin -> format -> Vokarin gives back the same pairs, whatever they hold.
    // A list's pronunciations go with their words, in every format that has them; pinyin beside
    // Chinese is not a word's pronunciation, and one that is no pronunciation is dropped.
    void pronunciationsAreKept_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("pronounced"); // word=pronunciation|...
        const QByteArray ipaEntry =
            "<entry id=\"0\"><translation id=\"0\"><text>grit</text>"
            "<pronunciation>ɡrɪt</pronunciation></translation>"
            "<translation id=\"1\"><text>砂砾</text><pronunciation>shālì</pronunciation>"
            "</translation></entry>\n";
        QTest::newRow("csv, a named column between")
            << "a.csv" << QByteArray("English,IPA,Chinese\ngrit,/ɡrɪt/,砂砾\npear,,梨\n")
            << "grit=/ɡrɪt/";
        QTest::newRow("tsv, bare IPA after the meaning")
            << "a.tsv" << QByteArray("apple\t苹果\tˈæpəl\npear\t梨\tpeə\n")
            << "apple=/ˈæpəl/|pear=/peə/";
        QTest::newRow("Chinese, pinyin, English: no pronunciation of the word")
            << "a.tsv" << QByteArray("苹果\tpíngguǒ\tapple\n梨\tlí\tpear\n") << "";
        QTest::newRow("flash-card text")
            << "a.txt"
            << QByteArray("#separator:tab\n#html:false\ngrit\t[ɡrɪt]\t砂砾\nplum\t[plʌm]\t李子\n")
            << "grit=[ɡrɪt]|plum=[plʌm]";
        QTest::newRow("kvtml, the word's language only")
            << "a.kvtml" << kvtml(EnZh, ipaEntry + entry(1, "plum", "李子")) << "grit=/ɡrɪt/";
        // (GBK has ɡ, not ɪ.)
        QTest::newRow("kvtml in GBK, Qt's reader")
            << "a.kvtml"
            << gbk(QString::fromUtf8(kvtml(EnZh, ipaEntry + entry(1, "plum", "李子"))
                                         .replace("UTF-8", "GBK")
                                         .replace("ɡrɪt", "ɡrit")))
            << "grit=/ɡrit/";
        QTest::newRow("word book, American first")
            << "CET4.json"
            << QByteArray("[{\"name\":\"abandon\",\"trans\":[\"v. 放弃\"],\"usphone\":\"ə'bændən\","
                          "\"ukphone\":\"ə'bænd(ə)n\"},{\"name\":\"ability\",\"trans\":[\"n. "
                          "能力\"],\"ukphone\":\"ə'bɪlətɪ\"},{\"name\":\"able\",\"trans\":\"能\"}]")
            << "abandon=/ə'bændən/|ability=/ə'bɪlətɪ/";
        QTest::newRow("xml word book")
            << "book.xml"
            << QByteArray("<wordbook><item><word>abandon</word><trans>放弃</trans>"
                          "<phonetic><![CDATA[[ə'bændən]]]></phonetic></item>"
                          "<item><word>able</word><trans>能</trans></item></wordbook>")
            << "abandon=[ə'bændən]";
        QTest::newRow("entry a line")
            << "toefl.txt"
            << QByteArray("disseminate  [di'semineit]  vt. 散播\ngrit /ɡrɪt/ n. 砂砾\n"
                          "look after v. 照顾\n")
            << "disseminate=[di'semineit]|grit=/ɡrɪt/";
        QTest::newRow("package, a field of its own")
            << "ipa.apkg"
            << zipOf({{"collection.anki2",
                       collectionOf({"CREATE TABLE col (models TEXT)",
                                     "INSERT INTO col VALUES ('{\"1\":{\"flds\":[{\"name\":"
                                     "\"Front\"},{\"name\":\"IPA\"},{\"name\":\"Back\"}]}}')",
                                     "CREATE TABLE notes (id INTEGER PRIMARY KEY, mid INTEGER, "
                                     "flds TEXT)",
                                     "INSERT INTO notes VALUES (1, 1, 'grit' || char(31) || "
                                     "'/ɡrɪt/' || char(31) || '砂砾')",
                                     "INSERT INTO notes VALUES (2, 1, 'plum' || char(31) || "
                                     "'/plʌm/' || char(31) || '李子')"})}})
            << "grit=/ɡrɪt/|plum=/plʌm/";
        QTest::newRow("too long to be one")
            << "a.csv"
            << QByteArray("grit,/" + QByteArray(100, 'a') + "ɪ/,砂砾\nplum,/plʌm/,李子\n")
            << "plum=/plʌm/";
    }
    void pronunciationsAreKept() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, pronounced);
        QStringList kept;
        WordFileRules rules;
        rules.extras.pronounced = [&](QStringView word, const QString& pronunciation) {
            kept << word.toString() + u'=' + pronunciation;
        };
        qsizetype pairs = 0;
        const WordFileReading read = readWordFile(
            bytes, "/lists/" + name, [&](QStringView, QStringView) { ++pairs; }, rules);
        QVERIFY2(read.result.ok(), qPrintable(read.result.description));
        QVERIFY(pairs >= 2);
        QCOMPARE(kept.join(u'|'), pronounced);
    }

    // Pronunciations kept beside a lesson come back with it; a link planted there is not
    // followed, and a line that is no pronunciation is passed over.
    void pronunciationsBesideALesson() {
        QTemporaryDir dir;
        const QString lesson =
            putFile(dir, "fruit.txt", "\"grit\",\"砂砾\"\r\n\"plum\",\"李子\"\r\n");
        const auto read = [&] {
            QStringList kept;
            WordFileRules rules;
            rules.extras.pronounced = [&](QStringView word, const QString& pronunciation) {
                kept << word.toString() + u'=' + pronunciation;
            };
            QByteArray bytes;
            (void)readFileBytes(lesson, bytes);
            (void)readWordFile(
                bytes, lesson, [](QStringView, QStringView) {}, rules);
            kept.sort();
            return kept.join(u'|');
        };
        QVERIFY(writePronunciations(lesson, {{"grit", "/ɡrɪt/"}, {"plum", "[plʌm]"}}).ok());
        QCOMPARE(read(), "grit=/ɡrɪt/|plum=[plʌm]");
        const QString kept = pronunciationsPathOf(lesson);
        QVERIFY(writeFileAtomically(kept, "grit\t/ɡrɪt/\nno tab here\nplum\t\x01\n\tlone\n").ok());
        QCOMPARE(read(), "grit=/ɡrɪt/");
        QTemporaryDir outside;
        const QString secret = putFile(outside, "secret.tsv", "grit\t/leaked/\n");
        QVERIFY(QFile::remove(kept) && QFile::link(secret, kept));
        QCOMPARE(read(), "");
        QVERIFY(QFile::remove(kept));
        QVERIFY(writePronunciations(lesson, {{"grit", "/ɡrɪt/"}}).ok());
        QVERIFY(writePronunciations(lesson, {}).ok());
        QVERIFY(!QFileInfo::exists(kept));
    }

    // A package's recordings are kept by their hash in the folder given, each for its words,
    // within bounds, never through a link; its pictures are said to be left out.
    void packageRecordings_data() {
        QTest::addColumn<bool>("packed");  // the newest layout: zstd and a listed media map
        QTest::addColumn<bool>("linked");  // the folder is a link planted to elsewhere
        QTest::addColumn<QString>("kept"); // word=what its recording holds|...
        QTest::newRow("older package") << false << false << "grit=ID3 grit|plum=OggS plum";
        QTest::newRow("newest package") << true << false << "grit=ID3 grit|plum=OggS plum";
        QTest::newRow("folder linked elsewhere") << false << true << "";
    }
    void packageRecordings() {
        QFETCH(bool, packed);
        QFETCH(bool, linked);
        QFETCH(QString, kept);
        const QByteArray bytes = packageOf(packed ? "collection.anki21b" : "collection.anki2",
                                           {{"grit", "[sound:grit.mp3]砂砾"},
                                            {"plum [sound:plum.ogg]", "李子"},
                                            {"pear", "梨[sound:missing.mp3]"},
                                            {"fig<img src=\"fig.png\">", "无花果"},
                                            {"big", "大[sound:big.mp3]"},
                                            {"script", "脚本[sound:run.sh]"}},
                                           {{"grit.mp3", "ID3 grit"},
                                            {"plum.ogg", "OggS plum"},
                                            {"fig.png", "\x89PNG"},
                                            {"big.mp3", QByteArray(LargestRecording + 1, 'x')},
                                            {"run.sh", "rm -rf ~"}},
                                           packed);
        QTemporaryDir lessons, elsewhere;
        const QString folder = lessons.filePath(".recordings");
        if (linked)
            QVERIFY(QFile::link(elsewhere.path(), folder));
        QStringList got;
        WordExtras extras;
        extras.recordingFolder = folder;
        extras.recorded = [&](QStringView word, const QString& file) {
            QVERIFY(file.startsWith(folder + '/'));
            got << word.toString() + '=' + fileBytes(file);
        };
        ListReading reading;
        qsizetype pairs = 0;
        const FileResult r = readWordList(
            bytes, ListFormat::Package, "/lists/deck.apkg",
            [&](QStringView, QStringView) { ++pairs; }, reading, {}, extras);
        QVERIFY2(r.ok(), qPrintable(r.description));
        QCOMPARE(pairs, 6);
        got.sort();
        QCOMPARE(got.join('|'), kept);
        QCOMPARE(leftOutText(reading), "1 张卡片里有图片，只读入了文字");
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        // Named by their content: read again, nothing new is written.
        if (!linked) {
            QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
            QVERIFY(readWordList(
                        bytes, ListFormat::Package, "/lists/deck.apkg",
                        [](QStringView, QStringView) {}, reading, {}, extras)
                        .ok());
            QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
            // A kept recording replaced by a link to elsewhere is not followed.
            const QString secret = putFile(elsewhere, "secret.mp3", "ID3 grit");
            const QString kept = QDir(folder).filePath(QDir(folder).entryList({"*.mp3"})[0]);
            QVERIFY(QFile::remove(kept) && QFile::link(secret, kept));
            got.clear();
            QVERIFY(readWordList(
                        bytes, ListFormat::Package, "/lists/deck.apkg",
                        [](QStringView, QStringView) {}, reading, {}, extras)
                        .ok());
            QCOMPARE(got, QStringList({"plum=OggS plum"}));
        }
    }

    void roundTrips_data() {
        QTest::addColumn<ListFormat>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start"); // what the file begins with
        QTest::newRow("lesson") << ListFormat::Lesson << "x.txt" << QByteArray("\"apple\",");
        QTest::newRow("tsv") << ListFormat::Delimited << "x.tsv"
                             << QByteArray("\xEF\xBB\xBF"
                                           "English\tChinese\r\napple\t");
        QTest::newRow("flash-card")
            << ListFormat::FlashCard << "x.txt"
            << QByteArray("#separator:tab\n#html:false\n#columns:English\tChinese\napple\t");
        QTest::newRow("kvtml") << ListFormat::Kvtml << "x.kvtml" << QByteArray("<?xml");
    }
    void roundTrips() {
        QFETCH(ListFormat, format);
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        const Pairs pairs = {
            {"apple", "苹果"},          {"red, crimson", "红色；深红"},   {"#hash", "井号"},
            {"a & <b>", "和 &amp;"},    {" spaced ", "\u3000空格\u3000"}, {"tab\there", "制表"},
            {"C:\\new", "路径\\n"},     {"English", "Chinese"},           {"𠀀 😀", "生僻字𪚥"},
            {QString(1000, u'x'), "长"}};
        const QByteArray bytes = wordListBytes(pairs, format, "x");
        QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
        QCOMPARE(listFormatOf(name, bytes), format);
        Pairs back;
        if (format == ListFormat::Lesson) {
            QVERIFY(readPairsFrom(bytes, qint32(pairs.size()), [&](QStringView w, QStringView m) {
                        back.append({w.toString(), m.toString()});
                        return true;
                    }).ok());
        } else {
            WordList list;
            const FileResult r = readWordList(bytes, format, name, list);
            QVERIFY2(r.ok(), qPrintable(r.description));
            back = list.pairs;
        }
        QCOMPARE(shown(back), shown(pairs));
        if (format == ListFormat::Kvtml)
            QCOMPARE(kvtmlStructureFault(bytes), QString());
    }

    // What XML cannot carry is not saved as KVTML, rather than lost from it.
    void kvtmlRefusesWhatXmlCannotCarry() {
        QTemporaryDir dir;
        const Pairs pairs = {{"a", "甲"}, {QStringLiteral("b\uFFFF"), "乙"}};
        const FileResult r = writeWordList(dir.filePath("x.kvtml"), pairs, ListFormat::Kvtml);
        QVERIFY(r.description.startsWith("第 2 个单词"));
        QVERIFY(!QFileInfo::exists(dir.filePath("x.kvtml")));
        QVERIFY(writeWordList(dir.filePath("x.tsv"), pairs, ListFormat::Delimited).ok());
    }

    // The quick KVTML reader reads the usual files as Qt's XML reader does, to the line of an
    // entry left out; what it is not sure of it leaves to Qt's, which says what is wrong.
    void kvtmlQuickReaderAgrees_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("quick");
        const QByteArray two = entry(0, "apple", "苹果") + entry(1, "pear", "梨");
        QTest::newRow("as written")
            << wordListBytes({{"a", "甲"}, {"b&<", "乙\"'"}}, ListFormat::Kvtml, "t") << true;
        QTest::newRow("CR LF, a byte-order mark, single quotes, blanks in tags")
            << "\xEF\xBB\xBF" +
                   kvtml(EnZh, two).replace("\n", "\r\n").replace("id=\"0\"", "id = '0' ")
            << true;
        QTest::newRow("comments, instructions, CDATA and references")
            << kvtml(EnZh, "<!-- a -->" +
                               entry(0, "a<!--x-->b<?pi x?>", "<![CDATA[<甲>]]>&#x4E59;&amp;") +
                               entry(1, "&#99;", "丙"))
            << true;
        QTest::newRow("empty elements, a text too long, an entry of many lines")
            << kvtml(EnZh,
                     entry(0, "", "甲") + "<entry id=\"1\"\n/>" +
                         entry(2, QByteArray(1001, 'x'), "乙") +
                         "<entry\rid=\"3\">\r\n<translation id=\"0\"><text>c</text></translation>"
                         "<translation id=\"1\"><text>a\rb</text></translation></entry>" +
                         entry(4, "d", "丁"))
            << true;
        QTest::newRow("Chinese first, blanks around the locales")
            << kvtml("<identifier id=\"a\"><locale> zh_CN </locale></identifier>"
                     "<identifier id=\"b\"><locale>en</locale></identifier>",
                     "<entry id=\"0\"><translation id=\"b\"><text>a</text></translation>"
                     "<translation id=\"a\"><text>甲</text></translation></entry>")
            << true;
        QTest::newRow("not KVTML 2") << QByteArray("<kvtml version='1.0'></kvtml>") << true;
        QTest::newRow("not KVTML") << QByteArray("<html/>") << true;
        QTest::newRow("another encoding")
            << kvtml(EnZh, two).replace("UTF-8", "ISO-8859-1") << false;
        QTest::newRow("a DTD of its own")
            << kvtmlAround("<!DOCTYPE kvtml [<!ELEMENT a ANY>]>", "a") << false;
        QTest::newRow("an entity")
            << kvtmlAround("<!DOCTYPE kvtml [<!ENTITY e \"x\">]>", "&e;") << false;
        QTest::newRow("too deep") << kvtmlAround("", QByteArray("<b>").repeated(40)) << false;
        QTest::newRow("end tags crossed")
            << kvtml(EnZh, two).replace("</text></translation>", "</translation></text>") << false;
        QTest::newRow("cut off") << kvtml(EnZh, two).chopped(30) << false;
        QTest::newRow("not UTF-8") << kvtml(EnZh, entry(0, "a", gbk("甲"))) << false;
        QTest::newRow("a control character") << kvtml(EnZh, entry(0, "a\x01", "甲")) << false;
        QTest::newRow("a namespace")
            << kvtml(EnZh, two).replace("<entries>", "<k:entries xmlns:k='u'>") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void kvtmlQuickReaderAgrees() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, quick);
        const KvtmlReading quickly = readKvtmlBy(true, bytes);
        QCOMPARE(quickly.result.has_value(), quick);
        const KvtmlReading generally = readKvtmlBy(false, bytes);
        WordList list;
        const FileResult result = readWordList(bytes, ListFormat::Kvtml, "x.kvtml", list);
        QCOMPARE(result.description, generally.result->description);
        QCOMPARE(list.pairs, generally.result->ok() ? generally.pairs : Pairs());
        for (const ListReading* reading : {&std::as_const(list.reading), &quickly.reading}) {
            if (reading == &quickly.reading && !quick)
                continue;
            QCOMPARE(reading->encoding, generally.reading.encoding);
            QCOMPARE(reading->layout, generally.reading.layout);
            QCOMPARE(reading->columns, generally.reading.columns);
            QCOMPARE(reading->firstRows, generally.reading.firstRows);
            QCOMPARE(reading->unreadableLines, generally.reading.unreadableLines);
            QCOMPARE(reading->incomplete, generally.reading.incomplete);
        }
        if (quick) {
            QCOMPARE(quickly.result->description, generally.result->description);
            QCOMPARE(quickly.pairs, generally.pairs);
        }
    }

    // The structure check itself finds what the format does not allow.
    void kvtmlStructureCheck_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");
        QTest::newRow("entries before identifiers")
            << QByteArray("<!DOCTYPE kvtml><kvtml version=\"2.0\"><information><title/>"
                          "</information><entries/><identifiers/></kvtml>")
            << "kvtml holds: information entries identifiers ";
        QTest::newRow("translation without id")
            << QByteArray("<!DOCTYPE kvtml><kvtml version=\"2.0\"><information><title/>"
                          "</information><identifiers/><entries><entry id=\"0\"><translation>"
                          "<text>a</text></translation></entry></entries></kvtml>")
            << "translation without id";
        QTest::newRow("no document type")
            << kvtml(EnZh, {}).replace("<!DOCTYPE kvtml>", "") << "no kvtml document type";
    }
    void kvtmlStructureCheck() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fault);
        QCOMPARE(kvtmlStructureFault(bytes), fault);
    }
};

QTEST_APPLESS_MAIN(tst_WordLists)
#include "tst_wordlists.moc"
