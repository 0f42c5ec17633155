// The lesson chooser opening on a folder of 10,000 and of 100,000 lesson files.
#include "benchsize.h"
#include "fakeplatform.h"
#include "module1.h"
#include "windows/lessonchooser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

class bench_Chooser final : public QObject {
    Q_OBJECT

private slots:
    void manyFiles_data() {
        QTest::addColumn<int>("files");
        QTest::newRow("10,000") << sized(10000);
        QTest::newRow("100,000") << sized(100000);
    }
    void manyFiles() {
        QFETCH(int, files);
        QTemporaryDir dir;
        Module1 module(dir.path());
        QDir().mkpath(module.lessonFolder());
        for (int i = 0; i < files; ++i) {
            QFile file(QDir(module.lessonFolder())
                           .filePath(QStringLiteral("%1lesson %2.txt")
                                         .arg(i % 2 ? QStringLiteral("L") : QStringLiteral("l"))
                                         .arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QList<qint64> times;
        for (int run = 0; run < rounds(7); ++run) {
            QElapsedTimer timer;
            timer.start();
            Formopen chooser(module);
            chooser.show();
            QVERIFY(QTest::qWaitForWindowExposed(&chooser));
            times << timer.nsecsElapsed();
            QCOMPARE(chooser.findChild<QListWidget*>("File1")->count(), files);
        }
        std::sort(times.begin(), times.end());
        qInfo("chooser on %d files, shown: min %.1f, median %.1f, max %.1f ms", files,
              times.first() / 1e6, times[times.size() / 2] / 1e6, times.last() / 1e6);
    }
};

QTEST_MAIN(bench_Chooser)
#include "bench_chooser.moc"
