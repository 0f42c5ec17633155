// Starts the built program in a fresh application folder on a real X server.
#include "fakeplatform.h"
#include "folders.h"
#include "lessons/wordlists.h"
#include "services/singleinstance.h"
#include "settings/settingsfile.h"
#include "testfiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

// How many windows of this title the X server shows (windows of a program, with a class; not
// Qt's hidden helpers).
int windowsShown(const QString& title) {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    if (!info.waitForFinished(5000))
        return 0;
    return int(QString::fromLocal8Bit(info.readAllStandardOutput())
                   .count(QStringLiteral("\"%1\": (\"").arg(title)));
}

bool windowShown(const QString& title) {
    return windowsShown(title) > 0;
}

void needDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (!qEnvironmentVariableIsEmpty("VOKARIN_REQUIRE_DISPLAY"))
            QFAIL("no X server, though the test command should have started one");
        QSKIP("no X server");
    }
}

// The built program, copied into a fresh application folder and started there.
struct Program {
    explicit Program(const QString& folder, const QStringList& arguments = {},
                     bool display = true) {
        path = QDir(folder).filePath("vokarin");
        if (!QFileInfo::exists(path) && !QFile::copy(QStringLiteral(VOKARIN_EXECUTABLE), path))
            qFatal("cannot copy the program");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!display)
            env.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(path, arguments);
        process.waitForStarted();
    }
    ~Program() {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
    // Waits until the program shows its window; false when it ends first or never shows it.
    bool waitForWindow() {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 15000 && process.state() == QProcess::Running) {
            if (windowShown(QStringLiteral("Vokarin2.0")))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    QString path;
    QProcess process;
};

} // namespace

class tst_Startup final : public QObject {
    Q_OBJECT

private slots:
    void firstStartShowsWindowAndWritesSettings() {
        needDisplay();
        QTemporaryDir dir;
        Program vokarin(dir.path());
        QVERIFY2(vokarin.waitForWindow(), vokarin.process.readAllStandardError().constData());
        QCOMPARE(fileBytes(dir.filePath("csh2.dat")), encodeSettings({}));
    }

    // Which folder the program writes into, and which it reads its own files from.
    void whereTheFilesLive_data() {
        QTest::addColumn<QString>("program"); // inside the temporary folder
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("data");      // "program" or "home"
        QTest::addColumn<QString>("resources"); // relative to the temporary folder
        QTest::newRow("portable folder") << "Vokarin" << true << "program"
                                         << "Vokarin";
        QTest::newRow("installed prefix, even writable") << "usr/bin" << true << "home"
                                                         << "usr/share/vokarin";
        QTest::newRow("installed prefix, read-only") << "usr/bin" << false << "home"
                                                     << "usr/share/vokarin";
        QTest::newRow("folder named bin, nothing shared") << "tools/bin" << true << "program"
                                                          << "tools/bin";
        QTest::newRow("portable folder, read-only") << "Vokarin" << false << "home"
                                                    << "Vokarin";
    }
    void whereTheFilesLive() {
        QFETCH(QString, program);
        QFETCH(bool, writable);
        QFETCH(QString, data);
        QFETCH(QString, resources);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath(program) && root.mkpath("usr/share/vokarin"));
        const QString home = root.filePath("home/.local/share/Vokarin");
        const Folders folders =
            locateFolders(root.filePath(program), home, [&](const QString&) { return writable; });
        QCOMPARE(folders.data, data == "home" ? home : root.filePath(program));
        QCOMPARE(folders.resources, root.filePath(resources));
        QCOMPARE(folders.perUser, data == "home");
    }

    // The first start in the home copies the samples, editable; later starts keep the learner's.
    void theHomeGetsTheSamplesOnce() {
        QTemporaryDir dir;
        putFile(dir, "usr/share/vokarin/lesson/a.txt", "apple \xc6\xbb\xb9\xfb\r\n");
        putFile(dir, "usr/share/vokarin/lesson/b.txt", "bee \xc3\xdb\xb7\xe4\r\n");
        for (const char* name : {"a.txt", "b.txt"})
            QFile::setPermissions(dir.filePath(QStringLiteral("usr/share/vokarin/lesson/") + name),
                                  QFile::ReadOwner | QFile::ReadOther);
        const QDir root(dir.path());
        QVERIFY(root.mkpath("usr/bin"));
        const Folders folders =
            locateFolders(root.filePath("usr/bin"), root.filePath("home/Vokarin"));
        QVERIFY(prepareDataFolder(folders));
        const QDir lessons(root.filePath("home/Vokarin/lesson"));
        QCOMPARE(lessons.entryList(QDir::Files), QStringList({"a.txt", "b.txt"}));
        QCOMPARE(fileBytes(lessons.filePath("a.txt")), QByteArray("apple \xc6\xbb\xb9\xfb\r\n"));
        QVERIFY(QFileInfo(lessons.filePath("b.txt")).permissions() & QFile::WriteOwner);

        QVERIFY(QFile::remove(lessons.filePath("a.txt")));
        const QByteArray edited = "bee \xc3\xdb\xb7\xe4\r\nbean \xb6\xb9\r\n";
        putFile(dir, "home/Vokarin/lesson/b.txt", edited);
        QVERIFY(prepareDataFolder(folders));
        QCOMPARE(lessons.entryList(QDir::Files), QStringList({"b.txt"}));
        QCOMPARE(fileBytes(lessons.filePath("b.txt")), edited);

        // A home that cannot be made is reported; a portable folder is never touched.
        putFile(dir, "file", "");
        QVERIFY(!prepareDataFolder({root.filePath("file/Vokarin"), folders.resources, true}));
        QVERIFY(prepareDataFolder({root.filePath("portable"), folders.resources, false}));
        QVERIFY(!QFileInfo::exists(root.filePath("portable")));
    }

    // --help and --version print and end without a window, even without a display.
    void commandLineWithoutWindow_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("--help") << "--help" << 0 << "用法： vokarin [选项] [文件...]";
        QTest::newRow("-v") << "-v" << 0 << "Vokarin 2.0";
        QTest::newRow("unknown option") << "--colour" << 2 << "命令行有误";
    }
    void commandLineWithoutWindow() {
        QFETCH(QString, argument);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QTemporaryDir dir;
        Program vokarin(dir.path(), {argument}, false);
        QVERIFY(vokarin.process.waitForFinished(10000));
        QCOMPARE(vokarin.process.exitCode(), exitCode);
        const QString output = QString::fromLocal8Bit(vokarin.process.readAllStandardOutput() +
                                                      vokarin.process.readAllStandardError());
        QVERIFY2(output.contains(printed), qPrintable(output));
        QVERIFY(!QFileInfo::exists(dir.filePath("csh2.dat")));
    }

    // Files named on the command line are drilled at once, in their order, in any format.
    void filesFromTheCommandLine_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lesson") << "first.txt" << QByteArray("\"a\",\"b\"\r\n\"c\",\"d\"\r\n");
        QTest::newRow("csv") << "first.csv" << QByteArray("English,Chinese\na,甲\nc,丙\n");
        QTest::newRow("flash-card")
            << "first.txt" << QByteArray("#separator:tab\n#html:true\n<b>a</b>\t甲\nc\t丙\n");
        QTest::newRow("kvtml") << "first.kvtml"
                               << wordListBytes({{"a", "甲"}, {"c", "丙"}}, ListFormat::Kvtml,
                                                "first");
    }
    void filesFromTheCommandLine() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        needDisplay();
        QTemporaryDir dir;
        const QString first = putFile(dir, name, bytes);
        putFile(dir, "second.txt", "\"e\",\"f\"\r\n\"g\",\"h\"\r\n");
        QDir::setCurrent(dir.path());
        Program vokarin(dir.path(), {name, "second.txt"});
        const QString caption = QStringLiteral(" Vokarin2.0 :正在学习") + first;
        QElapsedTimer timer;
        timer.start();
        while (!windowShown(caption) && timer.elapsed() < 15000)
            QTest::qWait(100);
        QVERIFY2(windowShown(caption), vokarin.process.readAllStandardError().constData());
        // The caption also shows while a file that cannot be drilled is being refused: the
        // drill is on only when no message came and the caption stayed.
        QTest::qWait(700);
        QCOMPARE(windowsShown(QStringLiteral("Vokarin")), 0);
        QVERIFY(windowShown(caption));
    }

    // A second start in the same folder brings the first forward and ends; the first goes on
    // alone, with one window.
    void secondStartInTheSameFolderEnds() {
        needDisplay();
        QTemporaryDir dir;
        Program first(dir.path());
        QVERIFY(first.waitForWindow());
        const QByteArray settings = fileBytes(dir.filePath("csh2.dat"));
        Program second(dir.path());
        QVERIFY(second.process.waitForFinished(15000));
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QCOMPARE(first.process.state(), QProcess::Running);
        QCOMPARE(windowsShown(QStringLiteral("Vokarin2.0")), 1);
        QCOMPARE(fileBytes(dir.filePath("csh2.dat")), settings);
    }

    // Where the lock cannot be claimed or the first cannot be reached.
    void claimingTheFolder_data() {
        QTest::addColumn<QString>("folder"); // "held": the lock is held and nobody answers
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("told");
        QTest::newRow("free folder") << "free" << int(SingleInstance::Start::First) << false;
        QTest::newRow("held, no answer")
            << "held" << int(SingleInstance::Start::OtherSilent) << true;
        QTest::newRow("folder cannot be written")
            << "missing" << int(SingleInstance::Start::Unlocked) << false;
    }
    void claimingTheFolder() {
        QFETCH(QString, folder);
        QFETCH(int, start);
        QFETCH(bool, told);
        QTemporaryDir dir;
        const QString app = folder == "missing" ? dir.filePath("gone") : dir.path();
        QLockFile other(QDir(dir.path()).filePath("vokarin.lock"));
        if (folder == "held")
            QVERIFY(other.tryLock(0));
        FakeMessageBoxes messages;
        SingleInstance instance(app);
        QCOMPARE(int(instance.claim(messages)), start);
        QCOMPARE(messages.shown.size(), int(told));
        if (told)
            QVERIFY(messages.shown[0].contains("已经在这个文件夹里运行"));
    }

    // A later start brings the first forward; the files it was given (names as bytes) go along.
    void laterStartRaisesTheFirst() {
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        SingleInstance first(dir.path());
        QCOMPARE(first.claim(messages), SingleInstance::Start::First);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QSignalSpy files(&first, &SingleInstance::filesRequested);
        const QStringList given = {"/words/a b.csv", pathFromNative("/words/\xb2\xe2.txt")};
        for (int start = 1; start <= 2; ++start) {
            SingleInstance later(dir.path());
            QCOMPARE(later.claim(messages, start == 2 ? given : QStringList()),
                     SingleInstance::Start::OtherRaised);
            QVERIFY(raised.wait(2000) || raised.size() == start);
            QCOMPARE(raised.size(), start);
        }
        QCOMPARE(files.size(), 1);
        QCOMPARE(files[0][0].toStringList(), given);
        QVERIFY(messages.shown.isEmpty());
    }

    // The real programs: the first, drilling nothing, drills the files of a later start.
    void laterStartWithFilesDrillsThemInTheFirst() {
        needDisplay();
        QTemporaryDir dir;
        const QString list = putFile(dir, "list.csv", "a,甲\nc,丙\n");
        QDir::setCurrent(dir.path());
        Program first(dir.path());
        QVERIFY(first.waitForWindow());
        Program second(dir.path(), {"list.csv"});
        QVERIFY(second.process.waitForFinished(15000));
        QCOMPARE(second.process.exitCode(), 0);
        const QString caption = QStringLiteral(" Vokarin2.0 :正在学习") + list;
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(caption), 15000);
        QCOMPARE(windowsShown(QStringLiteral("Vokarin")), 0);
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
