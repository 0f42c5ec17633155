#include "lessons/answermatch.h"
#include "lessons/gbk.h"
#include "lessons/lessonfile.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>
#include <optional>

Q_DECLARE_METATYPE(FileError)

char* toString(const WordPair& p) {
    return QTest::toString(QStringLiteral("(%1 | %2)").arg(p.word, p.meaning));
}

namespace {

// GBK bytes of a few meanings, spelled out rather than produced by the code under test.
const QByteArray Apple = QByteArray::fromHex("C6BBB9FB");              // 苹果
const QByteArray Pear = QByteArray::fromHex("C0E6");                   // 梨
const QByteArray RedComma = QByteArray::fromHex("BAECC9ABB5C42CBAEC"); // 红色的,红

QByteArray utf16(const QString& text, bool littleEndian) {
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
    }
    return out;
}

FileResult readAll(const QString& path, qint32 records, Pairs& pairs) {
    pairs.clear();
    return readpairs(path, records, [&](QStringView w, QStringView m) {
        pairs.append({w.toString(), m.toString()});
        return true;
    });
}

} // namespace

class tst_LessonFile final : public QObject {
    Q_OBJECT

private slots:
    // The encoding checks pass over plain ASCII sixteen bytes at a time: what follows a run of
    // any length, across those blocks, is seen as if read byte by byte.
    void encodingAcrossAsciiRuns_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        for (const int run : {0, 1, 7, 8, 15, 16, 17, 31, 32, 33}) {
            const QByteArray ascii(run, 'a');
            // 苹果 in UTF-8 on every line: UTF-8.
            QTest::addRow("Chinese after %d", run)
                << "\"" + ascii + "\",\"\xE8\x8B\xB9\xE6\x9E\x9C\"\r\n\"b\",\"\xE6\x9E\x9C\"\r\n"
                << "UTF-8";
            // A byte that cannot be UTF-8 after the run: GBK.
            QTest::addRow("not UTF-8 after %d", run)
                << "\"" + ascii + "\xC0\x80\",\"\xE6\x9E\x9C\"\r\n"
                << "GBK";
            // Two lines of accented Latin and one of Chinese: most lines with more than ASCII
            // hold no Chinese, so GBK, unless a line end inside the run were missed.
            QTest::addRow("line ends after %d", run)
                << "\"\xC3\xA9" + ascii + "\",\"x\"\r\n\"\xC3\xA9" + ascii +
                       "\",\"y\"\r\n\"z\",\"\xE6\x9E\x9C\"\r\n"
                << "GBK";
        }
    }
    void encodingAcrossAsciiRuns() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QString text, decided;
        QVERIFY(decodeText(bytes, "x.txt", text, TextGuess::Lesson, &decided).ok());
        QCOMPARE(decided, encoding);
    }

    void countlines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lines");
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("one line without end") << QByteArray("a") << 1;
        QTest::newRow("one line with CR LF") << QByteArray("a\r\n") << 1;
        QTest::newRow("last line without end") << QByteArray("a\r\nb") << 2;
        QTest::newRow("extra CR LF is a blank line") << QByteArray("a\r\nb\r\n\r\n") << 3;
        QTest::newRow("only CR LF") << QByteArray("\r\n") << 1;
        QTest::newRow("LF alone ends no line") << QByteArray("a\nb\nc\n") << 1;
        QTest::newRow("CR alone ends a line") << QByteArray("a\rb\r") << 2;
        QTest::newRow("LF after CR LF starts a line") << QByteArray("a\r\n\nb") << 2;
        QTest::newRow("UTF-16 little-endian") << utf16("a\r\nb\r\nc\r\n", true) << 3;
        QTest::newRow("UTF-16 big-endian") << utf16("a\r\nb", false) << 2;
        QTest::newRow("UTF-8 mark alone") << QByteArray("\xEF\xBB\xBF") << 0;
    }
    void countlines() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lines);
        QTemporaryDir dir;
        qint32 counted = -1;
        QVERIFY(::countlines(putFile(dir, "l.txt", bytes), counted).ok());
        QCOMPARE(counted, lines);
    }

    void readpairs_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records");
        QTest::addColumn<Pairs>("pairs");
        QTest::addColumn<FileError>("error");
        const auto ok = FileError::None;
        const auto ranOut = FileError::FieldsRanOut;

        QTest::newRow("two records")
            << "\"apple\",\"" + Apple + "\"\r\n\"pear\",\"" + Pear + "\"\r\n"
            << 2 << Pairs{{"apple", "苹果"}, {"pear", "梨"}} << ok;
        QTest::newRow("comma inside quotes") << "\"red\",\"" + RedComma + "\"\r\n"
                                             << 1 << Pairs{{"red", "红色的,红"}} << ok;
        QTest::newRow("unquoted fields") << "apple," + Apple + "\r\n"
                                         << 1 << Pairs{{"apple", "苹果"}} << ok;
        QTest::newRow("three fields shift the rest")
            << QByteArray("\"a\",\"b\",\"c\"\r\n\"d\",\"e\"\r\n") << 2
            << Pairs{{"a", "b"}, {"c", "d"}} << ok;
        QTest::newRow("one field takes the next line's first")
            << QByteArray("\"a\"\r\n\"b\",\"c\"\r\n") << 1 << Pairs{{"a", "b"}} << ok;
        QTest::newRow("blank line is an empty word")
            << QByteArray("a,b\r\n\r\nc,d\r\n") << 3 << Pairs{{"a", "b"}, {"", "c"}} << ranOut;
        QTest::newRow("extra CR LF at the end runs out")
            << QByteArray("a,b\r\nc,d\r\n\r\n") << 3 << Pairs{{"a", "b"}, {"c", "d"}} << ranOut;
        QTest::newRow("last line without CR LF")
            << QByteArray("a,b\r\nc,d") << 2 << Pairs{{"a", "b"}, {"c", "d"}} << ok;
        QTest::newRow("meaning missing at the end")
            << QByteArray("a,b\r\nc") << 2 << Pairs{{"a", "b"}} << ranOut;
        QTest::newRow("zero records read nothing") << QByteArray("a,b\r\n") << 0 << Pairs{} << ok;
        QTest::newRow("empty file runs out at once") << QByteArray() << 1 << Pairs{} << ranOut;
        QTest::newRow("empty quoted fields")
            << QByteArray("\"\",\"\"\r\n") << 1 << Pairs{{"", ""}} << ok;
        QTest::newRow("blanks inside quotes are kept")
            << QByteArray("\" apple pie \",\"  x  \"\r\n") << 1 << Pairs{{" apple pie ", "  x  "}}
            << ok;
        QTest::newRow("blanks around quoted fields are skipped")
            << "  \"apple\"  ,  \"" + Apple + "\"  \r\n"
            << 1 << Pairs{{"apple", "苹果"}} << ok;
        QTest::newRow("blanks around unquoted fields are dropped")
            << "  ice cream \t, " + Apple + " \t\r\n"
            << 1 << Pairs{{"ice cream", "苹果"}} << ok;
        QTest::newRow("tab before a field is skipped")
            << QByteArray("\t\"a\",\t\"b\"\r\n") << 1 << Pairs{{"a", "b"}} << ok;
        QTest::newRow("text after the closing quote is dropped")
            << QByteArray("\"a\"xyz,\"b\" junk\r\n\"c\",\"d\"") << 2
            << Pairs{{"a", "b"}, {"c", "d"}} << ok;
        QTest::newRow("lone LF ends a field")
            << QByteArray("\"a\",\"b\"\n\"c\",\"d\"\n") << 2 << Pairs{{"a", "b"}, {"c", "d"}} << ok;
        QTest::newRow("CR alone ends a field")
            << QByteArray("a,b\rc,d\r") << 2 << Pairs{{"a", "b"}, {"c", "d"}} << ok;
        QTest::newRow("unclosed quote ends at the line end")
            << "\"apple\",\"" + Apple + "\r\n\"pear\",\"" + Pear + "\"\r\n"
            << 2 << Pairs{{"apple", "苹果"}, {"pear", "梨"}} << ok;
        QTest::newRow("unclosed quote at the end of the file")
            << "\"apple\",\"" + Apple << 1 << Pairs{{"apple", "苹果"}} << ok;
        QTest::newRow("invalid GBK byte stays inside its field")
            << QByteArray("\"a\x81\",\"b\"\r\n\"c\",\"d\"\r\n") << 2
            << Pairs{{QStringLiteral("a\uFFFD"), "b"}, {"c", "d"}} << ok;
        QTest::newRow("unfinished character at the end of the file")
            << QByteArray("a,b\x81") << 1 << Pairs{{"a", QStringLiteral("b\uFFFD")}} << ok;
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF\"apple\",\"苹果\"\r\n") << 1
                                         << Pairs{{"apple", "苹果"}} << ok;
        QTest::newRow("UTF-8 without mark") << QByteArray("\"apple\",\"苹果\"\r\n\"pear\",\"梨\"")
                                            << 2 << Pairs{{"apple", "苹果"}, {"pear", "梨"}} << ok;
        // Short GBK words whose bytes are valid UTF-8 too: 猫 C3A8 would read "è", 写 D0B4 "д".
        QTest::newRow("GBK that is also valid UTF-8")
            << "\"cat\",\"" + QByteArray::fromHex("C3A8") + "\"\r\n\"write\",\"" +
                   QByteArray::fromHex("D0B4") + "\"\r\n\"school\",\"" +
                   QByteArray::fromHex("D1A7D0A3") + "\""
            << 3 << Pairs{{"cat", "猫"}, {"write", "写"}, {"school", "学校"}} << ok;
        QTest::newRow("UTF-8 with accents and phonetics")
            << QByteArray("\"café\",\"咖啡馆\"\r\n\"pronunciation [prəˌnʌnsiˈeɪʃn]\",\"发音\"") << 2
            << Pairs{{"café", "咖啡馆"}, {"pronunciation [prəˌnʌnsiˈeɪʃn]", "发音"}} << ok;
        QTest::newRow("field of 1000 characters") << "\"" + QByteArray(1000, 'w') + "\",\"m\"" << 1
                                                  << Pairs{{QString(1000, u'w'), "m"}} << ok;
        QTest::newRow("meaning of 1001 characters on the second line")
            << "a,b\r\nc," + QByteArray(1001, 'm') << 2 << Pairs{{"a", "b"}}
            << FileError::FieldTooLong;
        QTest::newRow("UTF-16 little-endian")
            << utf16("\"apple\",\"苹果\"\r\n\"red\",\"红色的,红\"\r\n", true) << 2
            << Pairs{{"apple", "苹果"}, {"red", "红色的,红"}} << ok;
        QTest::newRow("UTF-8 mark again on a later line")
            << QByteArray("\xEF\xBB\xBF"
                          "a,b\n"
                          "\xEF\xBB\xBF"
                          "c,d\n")
            << 2 << Pairs{{"a", "b"}, {QStringLiteral("\uFEFFc"), "d"}} << ok;
        QTest::newRow("UTF-16 big-endian")
            << utf16("\"pear\",\"梨\"\r\n", false) << 1 << Pairs{{"pear", "梨"}} << ok;
    }
    void readpairs() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        QFETCH(Pairs, pairs);
        QFETCH(FileError, error);
        QTemporaryDir dir;
        Pairs read;
        const FileResult result = readAll(putFile(dir, "l.txt", bytes), records, read);
        QCOMPARE(read, pairs);
        QCOMPARE(result.kind, error);
        QCOMPARE(result.description.isEmpty(), error == FileError::None);

        // Decoded and split a byte at a time (to the next line end), it reads the same.
        LessonText lesson;
        if (!lesson.take(bytes).ok())
            return;
        lesson.setPieceSize(1);
        Pairs inPieces;
        const FileResult piecewise = lesson.readPairs(records, [&](QStringView w, QStringView m) {
            inPieces.append({w.toString(), m.toString()});
            return true;
        });
        QCOMPARE(inPieces, pairs);
        QCOMPARE(piecewise.kind, error);
    }

    void readerMayStopAfterAnyPair() {
        QTemporaryDir dir;
        const QString path = putFile(dir, "l.txt", "a,b\r\nc,d\r\ne,f\r\n");
        int calls = 0;
        QVERIFY(::readpairs(path, 3, [&](QStringView, QStringView) { return ++calls < 2; }).ok());
        QCOMPARE(calls, 2);
    }

    void openFailures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileError>("readError");
        QTest::addColumn<FileError>("writeError");
        QTest::newRow("missing file")
            << "nothing-here.txt" << FileError::CannotOpen << FileError::None;
        QTest::newRow("missing folder")
            << "no-folder/l.txt" << FileError::CannotOpen << FileError::CannotOpen;
        QTest::newRow("a folder") << "folder" << FileError::AccessRefused
                                  << FileError::AccessRefused;
        QTest::newRow("no name") << "" << FileError::CannotOpen << FileError::CannotOpen;
    }
    void openFailures() {
        QFETCH(QString, name);
        QFETCH(FileError, readError);
        QFETCH(FileError, writeError);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("folder");
        const QString path = name.isEmpty() ? QString() : dir.filePath(name);
        qint32 lines = -1;
        const FileResult counted = ::countlines(path, lines);
        QCOMPARE(counted.kind, readError);
        QVERIFY(!counted.description.isEmpty());
        QCOMPARE(lines, 0);
        Pairs read;
        QCOMPARE(readAll(path, 1, read).kind, readError);
        QVERIFY(read.isEmpty());
        QCOMPARE(writepairs(path, {{"a", "b"}}).kind, writeError);
    }

    // A failed write says what is true of the place it was to go.
    void writeFailureMessages_data() {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("neverSays");
        QTest::newRow("new file, disk full") << "new, full"
                                             << "文件没有建成"
                                             << "原文件未改动";
        QTest::newRow("old file, disk full") << "old, full"
                                             << "原文件未改动"
                                             << "文件没有建成";
        QTest::newRow("a file where the folder goes") << "file as folder"
                                                      << "应是文件夹，那里却是一个文件"
                                                      << "文件夹不存在";
        QTest::newRow("a link to nowhere as the folder") << "dangling link"
                                                         << "文件夹的链接指向不存在的地方"
                                                         << "文件夹不存在";
        QTest::newRow("no folder") << "missing"
                                   << "文件夹不存在"
                                   << "应是文件夹";
    }
    void writeFailureMessages() {
        QFETCH(QString, place);
        QFETCH(QString, says);
        QFETCH(QString, neverSays);
        QTemporaryDir dir;
        QString path = dir.filePath("l.txt");
        if (place == "old, full")
            putFile(dir, "l.txt", "\"a\",\"b\"\r\n");
        if (place == "file as folder") {
            putFile(dir, "data", "x");
            path = dir.filePath("data/l.txt");
        }
        if (place == "dangling link") {
            QFile::link(dir.filePath("gone"), dir.filePath("data"));
            path = dir.filePath("data/l.txt");
        }
        if (place == "missing")
            path = dir.filePath("data/l.txt");
        std::optional<FileSizeCap> full;
        if (place.endsWith("full"))
            full.emplace(4);
        const FileResult r = writepairs(path, {{"apple", "苹果"}, {"pear", "梨"}});
        full.reset();
        QVERIFY2(!r.ok() && r.description.contains(says) && !r.description.contains(neverSays),
                 qPrintable(r.description));
    }

    void writtenBytesAreExact_data() {
        QTest::addColumn<Pairs>("pairs");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("apple") << Pairs{{"apple", "苹果"}}
                               << QByteArray::fromHex("226170706C65222C22C6BBB9FB220D0A");
        QTest::newRow("two records, comma inside")
            << Pairs{{"pear", "梨"}, {"red", "红色的,红"}}
            << "\"pear\",\"" + Pear + "\"\r\n\"red\",\"" + RedComma + "\"\r\n";
        QTest::newRow("empty fields") << Pairs{{"", ""}} << QByteArray("\"\",\"\"\r\n");
        QTest::newRow("nothing gives an empty file") << Pairs{} << QByteArray();
    }
    void writtenBytesAreExact() {
        QFETCH(Pairs, pairs);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        QVERIFY(writepairs(path, pairs).ok());
        QCOMPARE(fileBytes(path), bytes);
    }

    void roundTrip_data() {
        QTest::addColumn<Pairs>("pairs");
        QTest::newRow("commas and blanks") << Pairs{
            {"ice cream", "冰淇淋, 雪糕"}, {" look after ", " 照顾 "}, {"red", "红色的,红"}};
        QTest::newRow("beyond GBK")
            << Pairs{{"euro", "€"}, {"smile", "😀"}, {"café", "咖啡馆"}, {"rare", "𠀀"}};
        QTest::newRow("single and empty") << Pairs{{"a", ""}, {"", "b"}};
        // Every one of these is valid UTF-8 in GBK; the program's own notebook must come back.
        QTest::newRow("GBK words that are valid UTF-8")
            << Pairs{{"snow", "雪"}, {"water", "水"}, {"small", "小"}, {"hospital", "医院"}};
    }
    void roundTrip() {
        QFETCH(Pairs, pairs);
        QTemporaryDir dir;
        const QString path = dir.filePath("round.txt");
        QVERIFY(writepairs(path, pairs).ok());
        QVERIFY(!fileBytes(path).contains('?'));
        qint32 lines = 0;
        QVERIFY(::countlines(path, lines).ok());
        QCOMPARE(lines, pairs.size());
        Pairs read;
        QVERIFY(readAll(path, lines, read).ok());
        QCOMPARE(read, pairs);
    }

    void emptyWriteCountsZeroLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("empty.txt");
        QVERIFY(writepairs(path, {}).ok());
        qint32 lines = -1;
        QVERIFY(::countlines(path, lines).ok());
        QCOMPARE(lines, 0);
    }

    void failedWriteLeavesOldFile() {
        QTemporaryDir dir;
        const QByteArray old = "\"old\",\"" + Pear + "\"\r\n";
        const QString path = putFile(dir, "keep.txt", old);
        Pairs many;
        for (int i = 0; i < 2000; ++i)
            many.append({QStringLiteral("word%1").arg(i), QStringLiteral("意思")});

        FileResult result;
        {
            const FileSizeCap cap(1024);
            result = writepairs(path, many);
        }
        QCOMPARE(result.kind, FileError::WriteFailed);
        QVERIFY(!result.description.isEmpty());
        QCOMPARE(fileBytes(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.txt"});
    }

    // Speed is measured in bench/; here only that a large lesson comes through whole.
    // The quick GBK decoder against the full one: odd sequences at every place, then random
    // bytes weighted towards lead bytes, line ends and four-byte sequences.
    void quickDecoderMatchesFullOne_data() {
        QTest::addColumn<QByteArray>("bytes");
        for (const char* hex : {"C6BBB9FB", "81", "8130", "81308130", "8130D230", "80", "FF", "FE",
                                "817F", "81FF", "A1A0", "AAA1", "C60D0A", "C6220D", "41C6",
                                "8139EF30", "FE39FE39", "84318730", "E3329A35"})
            for (const QByteArray& around : {QByteArray(), QByteArray("a"), QByteArray("\r\n")})
                QTest::newRow(qPrintable(hex + QString::fromLatin1(around.toHex())))
                    << around + QByteArray::fromHex(hex) + around;
        QRandomGenerator random(7);
        const QByteArray alphabet = QByteArray::fromHex("0D0A222C304139407E7F80818AA1C6FEFF");
        for (int n = 0; n < 300; ++n) {
            QByteArray bytes;
            for (int i = int(random.bounded(40)); i > 0; --i)
                bytes += random.bounded(2) ? alphabet[random.bounded(int(alphabet.size()))]
                                           : char(random.bounded(256));
            QTest::newRow(qPrintable(QStringLiteral("random %1").arg(n))) << bytes;
        }
    }
    void quickDecoderMatchesFullOne() {
        QFETCH(QByteArray, bytes);
        QCOMPARE(decodeGb18030(bytes), decodeGb18030Slowly(bytes));
    }

    // Typed answer / stored answer: equal as typed, and equal as a person would judge.
    void forgivingMatch_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("forgiving");
        QTest::newRow("same") << "apple"
                              << "apple" << true;
        QTest::newRow("case") << "Apple"
                              << "apple" << true;
        QTest::newRow("full-width letters") << "ａｐｐｌｅ"
                                            << "apple" << true;
        QTest::newRow("blanks") << "  ice   cream "
                                << "ice cream" << true;
        QTest::newRow("part of speech") << "苹果"
                                        << "n. 苹果" << true;
        QTest::newRow("two parts of speech") << "跑"
                                             << "vi./vt. 跑(步)" << true;
        QTest::newRow("one of ；") << "苹果树"
                                   << "苹果；苹果树" << true;
        QTest::newRow("one of ,") << "苹果树"
                                  << "苹果,苹果树" << true;
        QTest::newRow("one of /") << "研究"
                                  << "学习/研究" << true;
        QTest::newRow("one of 、 with a note") << "红"
                                               << "红色的（颜色，也作形容词）、红" << true;
        QTest::newRow("note on the typed side") << "红色的 (color)"
                                                << "红色的" << true;
        QTest::newRow("other word") << "梨"
                                    << "苹果" << false;
        QTest::newRow("part of a meaning") << "苹"
                                           << "苹果" << false;
        QTest::newRow("more than a meaning") << "apple pie"
                                             << "apple" << false;
        QTest::newRow("nothing typed") << ""
                                       << "苹果" << false;
        QTest::newRow("only a note typed") << "(n.)"
                                           << "苹果" << false;
    }
    void forgivingMatch() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, forgiving);
        QCOMPARE(::forgivingMatch(typed, stored), forgiving);
    }

    void largeLessonLoadsWhole() {
        QTemporaryDir dir;
        QByteArray bytes;
        const int count = 100000;
        for (int i = 0; i < count; ++i)
            bytes += "\"word" + QByteArray::number(i) + "\",\"" + Apple + Pear + "\"\r\n";
        const QString path = putFile(dir, "big.txt", bytes);
        qint32 lines = 0;
        QVERIFY(::countlines(path, lines).ok());
        int seen = 0;
        QString last;
        QVERIFY(::readpairs(path, lines, [&](QStringView w, QStringView m) {
                    seen += m == u"苹果梨";
                    last = w.toString();
                    return true;
                }).ok());
        QCOMPARE(lines, count);
        QCOMPARE(seen, count);
        QCOMPARE(last, QStringLiteral("word99999"));
    }
};

QTEST_GUILESS_MAIN(tst_LessonFile)
#include "tst_lessonfile.moc"
