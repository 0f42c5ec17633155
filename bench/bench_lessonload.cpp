// Loading a 100,000- and a 1,000,000-pair GBK lesson as the study loader does: one read and check
// of the file on disk, then counting the lines and reading every pair. And the same 100,000
// words in every format, file to drill table, as the loader opens them.
#include "benchsize.h"
#include "drill/lessonloader.h"
#include "lessons/lessonfile.h"
#include "lessons/wordlists.h"
#include "packagenotes.h"
#include "zipfiles.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class bench_LessonLoad final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        static ZipPackageReader reader;
        setPackageReader([] { return &reader; });
    }

    void countAndRead_data() {
        QTest::addColumn<int>("pairs");
        QTest::newRow("100000") << sized(100000);
        QTest::newRow("1000000") << sized(1000000);
    }

    void countAndRead() {
        QFETCH(int, pairs);
        const QString path = dir_.filePath(QStringLiteral("%1.txt").arg(pairs));
        {
            QList<WordPair> lesson;
            const QStringList meanings = {"苹果", "红色的,红", "图书馆", "学习;研究", "猕猴桃"};
            for (int i = 0; i < pairs; ++i)
                lesson.append({QStringLiteral("word%1").arg(i), meanings[i % meanings.size()]});
            QVERIFY(writepairs(path, lesson).ok());
        }
        const qint64 size = QFileInfo(path).size();
        qint64 best = std::numeric_limits<qint64>::max();
        QBENCHMARK {
            QElapsedTimer timer;
            timer.start();
            LessonText lesson;
            QVERIFY(lesson.read(path).ok());
            const qint32 lines = lesson.countLines();
            int read = 0;
            QVERIFY(lesson
                        .readPairs(lines,
                                   [&](QStringView, QStringView) {
                                       ++read;
                                       return true;
                                   })
                        .ok());
            QCOMPARE(read, pairs);
            best = qMin(best, timer.nsecsElapsed());
        }
        qInfo("%d pairs, file %.2f MB, best %.2f ms: %.0f MB/s", pairs, size / 1e6, best / 1e6,
              size / 1e6 / (best / 1e9));
    }

    // Microseconds a pair from the file on disk to the drill's table, best of five.
    void everyFormat_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::newRow("lesson") << int(ListFormat::Lesson) << "words.txt";
        QTest::newRow("tsv") << int(ListFormat::Delimited) << "words.tsv";
        QTest::newRow("csv, three columns") << -1 << "words.csv";
        QTest::newRow("flash-card") << int(ListFormat::FlashCard) << "words-deck.txt";
        QTest::newRow("kvtml") << int(ListFormat::Kvtml) << "words.kvtml";
        QTest::newRow("entry a line") << -2 << "words-lines.txt";
        QTest::newRow("json word book") << -3 << "words.json";
        QTest::newRow("xml word book") << -4 << "words.xml";
        QTest::newRow("xlsx") << -5 << "words.xlsx";
    }
    void everyFormat() {
        QFETCH(int, format);
        QFETCH(QString, name);
        const int Pairs = sized(100000);
        const QString path = dir_.filePath(name);
        const QStringList meanings = {"苹果", "红色的,红", "图书馆", "学习;研究", "猕猴桃"};
        if (format >= 0) {
            QList<WordPair> words;
            for (int i = 0; i < Pairs; ++i)
                words.append({QStringLiteral("word%1").arg(i), meanings[i % meanings.size()]});
            QVERIFY(writeWordList(path, words, ListFormat(format)).ok());
        } else {
            QByteArray bytes;
            const auto meaning = [&](int i) {
                return meanings[i % meanings.size()].toUtf8().replace(',', ';');
            };
            const auto word = [](int i) { return "word" + QByteArray::number(i); };
            switch (format) {
            case -1: // word, part of speech, meaning, as the exam lists have them
                bytes = "Word,Part of Speech,Chinese Meaning\n";
                for (int i = 0; i < Pairs; ++i)
                    bytes += word(i) + ",n.," + meaning(i) + '\n';
                break;
            case -2:
                for (int i = 0; i < Pairs; ++i)
                    bytes += word(i) +
                             "  [w\xc9\x9c\xcb\x90"
                             "d]  n. " +
                             meaning(i) + '\n';
                break;
            case -3:
                bytes = "[";
                for (int i = 0; i < Pairs; ++i)
                    bytes += QByteArray(i ? ",\n" : "") + "{\"name\": \"" + word(i) +
                             "\", \"trans\": [\"n. " + meaning(i) +
                             "\"], \"usphone\": \"w\xc9\x9c\xcb\x90"
                             "d\"}";
                bytes += "]";
                break;
            case -4:
                bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wordbook>";
                for (int i = 0; i < Pairs; ++i)
                    bytes += "<item><word>" + word(i) + "</word>\n<trans><![CDATA[n. " +
                             meaning(i) +
                             "]]></trans>\n<phonetic><![CDATA[[w\xc9\x9c\xcb\x90"
                             "d]]]></phonetic>"
                             "<tags>CET4</tags><progress>1</progress></item>\n";
                bytes += "</wordbook>";
                break;
            default: { // as Excel writes it: every text a shared string, the rows numbered
                QByteArray strings = "<sst count=\"" + QByteArray::number(Pairs * 2) + "\">";
                QByteArray sheet = "<worksheet><sheetData>";
                for (int i = 0; i < Pairs; ++i) {
                    strings += "<si><t>" + word(i) + "</t></si><si><t>" + meaning(i) + "</t></si>";
                    const QByteArray row = QByteArray::number(i + 1);
                    sheet += "<row r=\"" + row + "\"><c r=\"A" + row + "\" t=\"s\"><v>" +
                             QByteArray::number(2 * i) + "</v></c><c r=\"B" + row +
                             "\" t=\"s\"><v>" + QByteArray::number(2 * i + 1) + "</v></c></row>";
                }
                bytes = zipOf({{"xl/workbook.xml", "<workbook xmlns:r=\"urn:r\"><sheets><sheet "
                                                   "r:id=\"rId1\"/></sheets></workbook>"},
                               {"xl/_rels/workbook.xml.rels",
                                "<Relationships><Relationship Id=\"rId1\" "
                                "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
                               {"xl/sharedStrings.xml", strings + "</sst>"},
                               {"xl/worksheets/sheet1.xml", sheet + "</sheetData></worksheet>"}},
                              {}, true);
            }
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        qint64 best = std::numeric_limits<qint64>::max();
        for (int round = 0; round < rounds(5); ++round) {
            QElapsedTimer timer;
            timer.start();
            const LoadedLesson loaded = loadLesson(path, 3);
            best = qMin(best, timer.nsecsElapsed());
            QVERIFY2(loaded.result.ok(), qPrintable(loaded.result.description));
            QCOMPARE(loaded.table.size(), Pairs);
        }
        qInfo("%-20s %8.1f ms, %.2f us a pair, file %.2f MB", qPrintable(name), best / 1e6,
              best / 1e3 / Pairs, QFileInfo(path).size() / 1e6);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(bench_LessonLoad)
#include "bench_lessonload.moc"
