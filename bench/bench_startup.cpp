// From process start to the first painted window, on a real X server (run under xvfb-run), and
// the resident memory once idle: Vokarin, Vokarin with a 100,000-pair notebook to review, and
// two bare Qt windows as yardsticks, started in turn so that all see the same machine.
#include "answerlogs.h"
#include "benchsize.h"
#include "fakeplatform.h"
#include "lessons/lessonfile.h"
#include "settings/settingsfile.h"
#include "sqlitehistory.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>

namespace {

struct Start {
    qint64 paintMs = -1; // from start to the first "painting and flushing" Qt logs
    qint64 idleKiB = -1; // resident memory half a second after that
};

qint64 residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

Start start(const QString& program, const QStringList& arguments = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.widgets.painting=true"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    Start result;
    if (!process.waitForStarted())
        return result;
    while (result.paintMs < 0 && timer.elapsed() < 10000) {
        process.waitForReadyRead(5);
        if (process.readAll().contains("Painting and flushing"))
            result.paintMs = timer.elapsed();
    }
    QTest::qWait(500);
    result.idleKiB = residentKiB(process.processId());
    process.kill();
    process.waitForFinished();
    return result;
}

QString copyProgram(const QTemporaryDir& dir) {
    QString program = dir.filePath("vokarin");
    QFile::copy(QStringLiteral(VOKARIN_EXECUTABLE), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    QFile::copy(QStringLiteral(VOKARIN_MEDIA_MODULE), dir.filePath("vokarin-media.so"));
    return program;
}

// Min, median and max of a figure over the starts; all -1 when a start failed to show it.
std::array<qint64, 3> spread(const QList<Start>& starts, qint64 Start::*field) {
    QList<qint64> values;
    for (const Start& start : starts)
        values << start.*field;
    std::sort(values.begin(), values.end());
    if (values.contains(-1))
        return {-1, -1, -1};
    return {values.first(), values[values.size() / 2], values.last()};
}

} // namespace

class bench_Startup final : public QObject {
    Q_OBJECT

private slots:
    void firstPaint() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server: run under xvfb-run");
        QTemporaryDir plainDir, notebookDir;
        const QString plain = copyProgram(plainDir);
        const QString withNotebook = copyProgram(notebookDir);
        QList<WordPair> pairs;
        for (int i = 0; i < sized(100000); ++i)
            pairs.append({QStringLiteral("word%1").arg(i), QStringLiteral("意思%1").arg(i)});
        QDir().mkpath(notebookDir.filePath("lesson"));
        QVERIFY(writepairs(notebookDir.filePath("lesson/scb.txt"), pairs).ok());

        // A learner who studies on three computers: 3,000,000 answers in three logs in the
        // shared data folder, merged into this computer's history at an earlier start.
        QTemporaryDir sharedDir;
        const QString withLogs = copyProgram(sharedDir);
        {
            const QString logs = sharedDir.filePath("shared/history");
            QVERIFY(QDir().mkpath(logs));
            // 104 days of answers each, ending before today: later ones would wait in the logs.
            const qint64 start = QDateTime::currentMSecsSinceEpoch() - 120LL * 86'400'000;
            const QStringList devices = {"this-computer", "laptop", "library"};
            for (int d = 0; d < 3; ++d)
                QVERIFY(writeBytes(logs + "/" + devices[d] + ".log",
                                   deviceLog(devices[d], sized(1000000), start + d, 9000, d)));
            QSettings ini(sharedDir.filePath("vokarin.ini"), QSettings::IniFormat);
            ini.setValue("data/folder", sharedDir.filePath("shared"));
            ini.setValue("data/device", devices[0]);
            const QByteArray machine = QSysInfo::machineUniqueId();
            ini.setValue("data/machine", machine.isEmpty() ? QSysInfo::machineHostName()
                                                           : QString::fromLatin1(machine));
            FakeMessageBoxes messages;
            SqliteHistory history(sharedDir.filePath("vokarin.db"), messages,
                                  QTimeZone::systemTimeZone(), {logs, devices[0]});
            history.merge();
            QVERIFY(history.settle(1200000));
            QVERIFY(messages.shown.isEmpty());
        }

        const QStringList names = {"bare Qt window", "bare window with a line of text", "Vokarin",
                                   "Vokarin with a 100,000-pair notebook",
                                   "Vokarin, 3,000,000 answers, 3 computers"};
        QList<QList<Start>> starts(names.size());
        for (int run = 0; run < rounds(21); ++run) {
            starts[0] << start(QStringLiteral(BARE_WINDOW));
            starts[1] << start(QStringLiteral(BARE_WINDOW), {QStringLiteral("--text")});
            starts[2] << start(plain);
            starts[3] << start(withNotebook);
            starts[4] << start(withLogs);
        }
        // The yardstick: a bare window that shows one line of Chinese, as every window of
        // Vokarin's does (the CJK font is most of what a window costs), beside the bare one.
        const auto yard = spread(starts[1], &Start::paintMs);
        const auto yardMemory = spread(starts[1], &Start::idleKiB);
        for (int i = 0; i < names.size(); ++i) {
            const auto p = spread(starts[i], &Start::paintMs);
            const auto m = spread(starts[i], &Start::idleKiB);
            QVERIFY(p[0] > 0 && m[0] > 0);
            qInfo("%-38s first paint %3lld / %3lld / %3lld ms (median %.2f x the window with "
                  "text), idle resident %6lld / %6lld / %6lld KiB (median %.2f x)",
                  qPrintable(names[i]), p[0], p[1], p[2], double(p[1]) / double(yard[1]), m[0],
                  m[1], m[2], double(m[1]) / double(yardMemory[1]));
        }
    }
};

QTEST_GUILESS_MAIN(bench_Startup)
#include "bench_startup.moc"
