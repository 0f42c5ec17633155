// From process start to the first painted window, on a real X server (run under xvfb-run):
// Vokarin, Vokarin with a 100,000-pair notebook to review, and a bare Qt window as the
// yardstick, started in turn so that all three see the same machine.
#include "lessons/lessonfile.h"
#include "settings/settingsfile.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

// Milliseconds from start to the first "painting and flushing" Qt logs; -1 when none came.
qint64 firstPaint(const QString& program) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.widgets.painting=true"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    if (!process.waitForStarted())
        return -1;
    qint64 painted = -1;
    while (painted < 0 && timer.elapsed() < 10000) {
        process.waitForReadyRead(5);
        if (process.readAll().contains("Painting and flushing"))
            painted = timer.elapsed();
    }
    process.kill();
    process.waitForFinished();
    return painted;
}

QString copyProgram(const QTemporaryDir& dir) {
    const QString program = dir.filePath("vokarin");
    QFile::copy(QStringLiteral(VOKARIN_EXECUTABLE), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    return program;
}

qint64 median(QList<qint64> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
        for (int i = 0; i < 100000; ++i)
            pairs.append({QStringLiteral("word%1").arg(i), QStringLiteral("意思%1").arg(i)});
        QDir().mkpath(notebookDir.filePath("lesson"));
        QVERIFY(writepairs(notebookDir.filePath("lesson/scb.txt"), pairs).ok());

        QList<qint64> bare, vokarin, reviewing;
        for (int run = 0; run < 11; ++run) {
            bare << ::firstPaint(QStringLiteral(BARE_WINDOW));
            vokarin << ::firstPaint(plain);
            reviewing << ::firstPaint(withNotebook);
        }
        QVERIFY(!bare.contains(-1) && !vokarin.contains(-1) && !reviewing.contains(-1));
        const double b = double(median(bare));
        qInfo("first paint, median of 11: bare Qt window %lld ms; Vokarin %lld ms (%.2f x); "
              "with a 100,000-pair notebook %lld ms (%.2f x)",
              median(bare), median(vokarin), median(vokarin) / b, median(reviewing),
              median(reviewing) / b);
    }
};

QTEST_GUILESS_MAIN(bench_Startup)
#include "bench_startup.moc"
