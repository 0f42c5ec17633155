// A lesson's load, file to first question, with the memory it takes; and one question's
// turnaround, 判定 + 出题 + the layout pass, with fake speech and sound, at four lesson sizes.
#include "benchsize.h"
#include "drill/lessonloader.h"
#include "fakeplatform.h"
#include "lessons/lessonfile.h"
#include "module1.h"
#include "windows/mainwindow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <malloc.h>

namespace {

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A generated lesson of the given size in folder: "word1","意思1" and so on.
QString generatedLesson(const QTemporaryDir& dir, int words) {
    QList<WordPair> pairs;
    for (int i = 0; i < words; ++i)
        pairs.append({QStringLiteral("word%1").arg(i), QStringLiteral("意思%1").arg(i)});
    const QString path = dir.filePath("lesson.txt");
    return writepairs(path, pairs).ok() ? path : QString();
}

// The main window on fakes, shown, with one lesson file chosen.
struct ShownWindow {
    ShownWindow(const QTemporaryDir& dir, const QString& lesson)
        : module(dir.path()) {
        module.SpeechObject = &fakes.speech;
        window.show();
        module.SelectedFiles = {lesson};
        module.SelectedFileCount = 1;
    }
    Module1 module;
    FakePlatform fakes;
    frmMain window{module, fakes.platform};
};

} // namespace

class bench_Question final : public QObject {
    Q_OBJECT

private slots:
    // File to first question, and what the loaded lesson adds to the resident memory of a
    // window that is already up.
    void load_data() {
        QTest::addColumn<int>("words");
        QTest::newRow("100000") << sized(100000);
        QTest::newRow("1000000") << sized(1000000);
    }
    void load() {
        QFETCH(int, words);
        QTemporaryDir dir;
        const QString path = generatedLesson(dir, words);
        QVERIFY(!path.isEmpty());
        // The yardstick is the window with a two-pair lesson: the first question's fonts and
        // caches are then already there.
        const QString small = dir.filePath("small.txt");
        QVERIFY(writepairs(small, {{"one", "一"}, {"two", "二"}}).ok());
        ShownWindow shown(dir, small);
        QVERIFY(QTest::qWaitForWindowExposed(&shown.window));
        frmMain& window = shown.window;
        window.engine().studyFiles({small});
        QList<qint64> times;
        long added = 0;
        for (int run = 0; run < rounds(5); ++run) {
            malloc_trim(0); // what earlier work freed goes back to the system first
            const long before = residentKiB();
            QElapsedTimer timer;
            timer.start();
            window.engine().studyFiles({path});
            times << timer.nsecsElapsed();
            if (run == 0) {
                malloc_trim(0);
                added = residentKiB() - before;
            }
            QCOMPARE(window.engine().wordCount(), words);
        }
        QList<qint64> alone;
        for (int run = 0; run < rounds(5); ++run) {
            QElapsedTimer timer;
            timer.start();
            const LoadedLesson loaded = loadLesson(path, 1);
            alone << timer.nsecsElapsed();
        }
        std::sort(alone.begin(), alone.end());
        std::sort(times.begin(), times.end());
        qInfo("%7d pairs: file to first question best %.1f ms, median %.1f ms (reading into the "
              "table alone %.1f ms); lesson resident %ld KiB, %.1f bytes a pair",
              words, times.front() / 1e6, times[times.size() / 2] / 1e6, alone.front() / 1e6, added,
              added * 1024.0 / words);
    }

    void turnaround_data() {
        QTest::addColumn<int>("words");
        QTest::addColumn<int>("unfamiliarity"); // 1: each right answer learns its word
        QTest::newRow("100") << sized(100) << 1000;
        QTest::newRow("10000") << sized(10000) << 1000;
        QTest::newRow("100000") << sized(100000) << 1000;
        QTest::newRow("1000000") << sized(1000000) << 1000;
        QTest::newRow("1000000, each answer learns its word") << sized(1000000) << 1;
    }
    void turnaround() {
        QFETCH(int, words);
        QFETCH(int, unfamiliarity);
        QTemporaryDir dir;
        const QString path = generatedLesson(dir, words);
        QVERIFY(!path.isEmpty());
        ShownWindow shown(dir, path);
        QVERIFY(QTest::qWaitForWindowExposed(&shown.window));
        frmMain& window = shown.window;
        FakePlatform& fakes = shown.fakes;
        shown.module.Settings.InitialUnfamiliarity = unfamiliarity;
        window.engine().studyFiles({path});

        QRandomGenerator generator(1);
        QList<qint64> times;
        const int answers = qMin(2000, words / 2);
        for (int i = 0; i < answers; ++i) {
            for (int r = 0; r < 6; ++r)
                fakes.random.values.push_back(generator.generateDouble());
            QElapsedTimer timer;
            timer.start();
            window.engine().dispatch(Command::ClickChoice, window.engine().answerSlot());
            times << timer.nsecsElapsed();
            fakes.random.values.clear();
        }
        std::sort(times.begin(), times.end());
        QCOMPARE(window.engine().remainingCount(), unfamiliarity == 1 ? words - answers : words);
        qInfo("%7d words: median %.3f ms, 90th %.3f ms", words, times[times.size() / 2] / 1e6,
              times[times.size() * 9 / 10] / 1e6);
    }
};

QTEST_MAIN(bench_Question)
#include "bench_question.moc"
