// Loading a 100,000-pair GBK lesson as the study loader does: one read and check of the file
// on disk, then counting the lines and reading every pair.
#include "lessons/lessonfile.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class bench_LessonLoad final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QList<WordPair> pairs;
        const QStringList meanings = {"苹果", "红色的,红", "图书馆", "学习;研究", "猕猴桃"};
        for (int i = 0; i < 100000; ++i)
            pairs.append({QStringLiteral("word%1").arg(i), meanings[i % meanings.size()]});
        path_ = dir_.filePath("big.txt");
        QVERIFY(writepairs(path_, pairs).ok());
        size_ = QFileInfo(path_).size();
    }

    void countAndRead() {
        qint64 best = std::numeric_limits<qint64>::max();
        QBENCHMARK {
            QElapsedTimer timer;
            timer.start();
            LessonText lesson;
            QVERIFY(lesson.read(path_).ok());
            const qint32 lines = lesson.countLines();
            int read = 0;
            QVERIFY(lesson
                        .readPairs(lines,
                                   [&](const QString&, const QString&) {
                                       ++read;
                                       return true;
                                   })
                        .ok());
            QCOMPARE(read, 100000);
            best = qMin(best, timer.nsecsElapsed());
        }
        qInfo("file %.2f MB, best %.2f ms: %.0f MB/s", size_ / 1e6, best / 1e6,
              size_ / 1e6 / (best / 1e9));
    }

private:
    QTemporaryDir dir_;
    QString path_;
    qint64 size_ = 0;
};

QTEST_GUILESS_MAIN(bench_LessonLoad)
#include "bench_lessonload.moc"
