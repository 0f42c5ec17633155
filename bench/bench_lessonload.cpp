// Loading a 100,000- and a 1,000,000-pair GBK lesson as the study loader does: one read and check
// of the file on disk, then counting the lines and reading every pair.
#include "lessons/lessonfile.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class bench_LessonLoad final : public QObject {
    Q_OBJECT

private slots:
    void countAndRead_data() {
        QTest::addColumn<int>("pairs");
        QTest::newRow("100000") << 100000;
        QTest::newRow("1000000") << 1000000;
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

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(bench_LessonLoad)
#include "bench_lessonload.moc"
