// Starts the built program in a fresh application folder on a real X server.
#include "settings/settingsfile.h"
#include "testfiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace {

bool windowShown(const QString& title) {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    if (!info.waitForFinished(5000))
        return false;
    return QString::fromLocal8Bit(info.readAllStandardOutput())
        .contains(QStringLiteral("\"%1\"").arg(title));
}

} // namespace

class tst_Startup final : public QObject {
    Q_OBJECT

private slots:
    void firstStartShowsWindowAndWritesSettings() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            if (!qEnvironmentVariableIsEmpty("VOKARIN_REQUIRE_DISPLAY"))
                QFAIL("no X server, though the test command should have started one");
            QSKIP("no X server");
        }
        QTemporaryDir dir;
        const QString program = dir.filePath("vokarin");
        QVERIFY(QFile::copy(QStringLiteral(VOKARIN_EXECUTABLE), program));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));

        QProcess vokarin;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        vokarin.setProcessEnvironment(env);
        vokarin.start(program, {});
        QVERIFY(vokarin.waitForStarted());

        QElapsedTimer timer;
        timer.start();
        bool shown = false;
        while (!shown && timer.elapsed() < 15000 && vokarin.state() == QProcess::Running) {
            QTest::qWait(100);
            shown = windowShown(QStringLiteral("Vokarin2.0"));
        }
        const bool stillRunning = vokarin.state() == QProcess::Running;
        vokarin.terminate();
        if (!vokarin.waitForFinished(5000))
            vokarin.kill();
        QVERIFY2(stillRunning, vokarin.readAllStandardError().constData());
        QVERIFY(shown);
        QCOMPARE(fileBytes(dir.filePath("csh2.dat")), encodeSettings({}));
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
