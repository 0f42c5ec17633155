// Loading a 100,000- and a 1,000,000-pair GBK lesson as the study loader does: one read and check
// of the file on disk, then counting the lines and reading every pair. And the same 100,000
// words in every format, file to drill table, as the loader opens them.
#include "benchsize.h"
#include "drill/lessonloader.h"
#include "lessons/lessonfile.h"
#include "lessons/wordlists.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class bench_LessonLoad final : public QObject {
    Q_OBJECT

private slots:
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
        } else { // word, part of speech, meaning, as the exam lists have them
            QByteArray csv = "Word,Part of Speech,Chinese Meaning\n";
            for (int i = 0; i < Pairs; ++i)
                csv += "word" + QByteArray::number(i) + ",n.," +
                       meanings[i % meanings.size()].toUtf8().replace(',', ';') + '\n';
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size());
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
