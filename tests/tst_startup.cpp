// Starts the built program in a fresh application folder on a real X server.
#include "fakeplatform.h"
#include "folders.h"
#include "lessons/wordlists.h"
#include "qtservices/singleinstance.h"
#include "settings/settingsfile.h"
#include "testfiles.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How many windows of this title the X server shows (windows of a program, with a class; not
// Qt's hidden helpers).
int windowsShown(const QString& title) {
    // A loaded machine may keep xwininfo from answering in time: asked again, not taken as
    // "no window".
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QProcess info;
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        if (info.waitForFinished(10000) && info.exitStatus() == QProcess::NormalExit &&
            info.exitCode() == 0)
            return int(QString::fromLocal8Bit(info.readAllStandardOutput())
                           .count(QStringLiteral("\"%1\": (\"").arg(title)));
        qWarning("xwininfo did not answer (%s)", info.readAllStandardError().constData());
    }
    return 0;
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
        // Why, for the log of a failing run.
        if (process.state() != QProcess::Running)
            qWarning("the program ended before it showed its window: %s %d (%s), standard "
                     "error:\n%s",
                     process.exitStatus() == QProcess::CrashExit ? "crashed, signal" : "exit code",
                     process.exitCode(), qPrintable(process.errorString()),
                     process.readAllStandardError().constData());
        else
            qWarning("no window after %lld ms; standard error so far:\n%s", qint64(timer.elapsed()),
                     process.readAllStandardError().constData());
        return false;
    }
    QString path;
    QProcess process;
};

// Runs body in a child process as the user nobody; body's result is the child's exit code.
// The pipe's read end is handed back for the child's report, when it gives one.
pid_t asNobody(const std::function<int(int report)>& body, int& readEnd) {
    int ends[2];
    if (::pipe(ends) != 0)
        qFatal("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? body(ends[1]) : 99);
    }
    ::close(ends[1]);
    readEnd = ends[0];
    return child;
}

// The abstract name a program for folder listens on first, as anyone can work it out.
sockaddr_un abstractName(const QString& folder, socklen_t& length) {
    const QByteArray name =
        "vokarin-" + QByteArray::number(::getuid()) + '-' +
        QCryptographicHash::hash(QDir(folder).canonicalPath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    return address;
}

int connectTo(const sockaddr_un& address, socklen_t length) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class tst_Startup final : public QObject {
    Q_OBJECT

private slots:
    // A client of the X server for the whole test: without one, the server resets whenever
    // the last program ends, and the next program to connect meanwhile fails to start.
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        keeper_.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("-spy"),
                                                QStringLiteral("_NET_ACTIVE_WINDOW")});
        QVERIFY(keeper_.waitForStarted());
    }
    void cleanupTestCase() {
        keeper_.kill();
        keeper_.waitForFinished();
    }

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
        QCOMPARE(folders.app, data == "home" ? home : root.filePath(program));
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
        QVERIFY(prepareAppFolder(folders));
        const QDir lessons(root.filePath("home/Vokarin/lesson"));
        QCOMPARE(lessons.entryList(QDir::Files), QStringList({"a.txt", "b.txt"}));
        QCOMPARE(fileBytes(lessons.filePath("a.txt")), QByteArray("apple \xc6\xbb\xb9\xfb\r\n"));
        QVERIFY(QFileInfo(lessons.filePath("b.txt")).permissions() & QFile::WriteOwner);

        QVERIFY(QFile::remove(lessons.filePath("a.txt")));
        const QByteArray edited = "bee \xc3\xdb\xb7\xe4\r\nbean \xb6\xb9\r\n";
        putFile(dir, "home/Vokarin/lesson/b.txt", edited);
        QVERIFY(prepareAppFolder(folders));
        QCOMPARE(lessons.entryList(QDir::Files), QStringList({"b.txt"}));
        QCOMPARE(fileBytes(lessons.filePath("b.txt")), edited);

        // A home that cannot be made is reported; a portable folder is never touched.
        putFile(dir, "file", "");
        QVERIFY(!prepareAppFolder({root.filePath("file/Vokarin"), folders.resources, true}));
        QVERIFY(prepareAppFolder({root.filePath("portable"), folders.resources, false}));
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
    void filesFromTheCommandLine_data() { addStartFileRows(); }
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
        // The files reached the window; that they drill without a word of complaint, in
        // every format, is startFilesOfEveryFormat's (tst_drill), where the load is seen to end.
        QVERIFY2(windowShown(caption), vokarin.process.readAllStandardError().constData());
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
        QTest::newRow("lock of a killed program")
            << "stale" << int(SingleInstance::Start::First) << false;
        QTest::newRow("lock of a killed program, disk full")
            << "stale, full" << int(SingleInstance::Start::Unlocked) << false;
        QTest::newRow("lock of a killed program not yet reaped, disk full")
            << "stale, unreaped, full" << int(SingleInstance::Start::Unlocked) << false;
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
        pid_t zombie = 0;
        if (folder.startsWith("stale")) { // locked by a process that is gone
            const pid_t child = ::fork();
            if (child == 0)
                ::_exit(other.tryLock(0) ? 0 : 1);
            if (folder.contains("unreaped")) {
                zombie = child;
                QTRY_VERIFY(fileBytes(QStringLiteral("/proc/%1/stat").arg(child)).contains(") Z "));
            } else {
                int status = -1;
                ::waitpid(child, &status, 0);
                QCOMPARE(status, 0);
            }
        }
        std::optional<FileSizeCap> full;
        if (folder.endsWith("full"))
            full.emplace(0);
        FakeMessageBoxes messages;
        SingleInstance instance(app);
        QCOMPARE(int(instance.claim(messages)), start);
        full.reset();
        if (zombie)
            ::waitpid(zombie, nullptr, 0);
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

    // Only the learner's own programs are heard, and no peer holds up the window.
    void socketPeers_data() {
        QTest::addColumn<QString>("peer");
        QTest::newRow("another user sends a file") << "other user";
        QTest::newRow("another user squats the name first") << "squatter";
        QTest::newRow("a peer trickles, ten stay silent") << "trickle";
    }
    void socketPeers() {
        QFETCH(QString, peer);
        if ((peer != "trickle") && ::getuid() != 0)
            QSKIP("another user's program needs root to be played");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR"); // the abstract names, which anyone can reach
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        socklen_t length = 0;
        const sockaddr_un name = abstractName(dir.path(), length);

        int report = -1;
        pid_t squatter = 0;
        if (peer == "squatter") {
            // Listens on the first name and tells how many bytes it was sent.
            squatter = asNobody(
                [&](int out) {
                    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                    if (::bind(fd, reinterpret_cast<const sockaddr*>(&name), length) != 0 ||
                        ::listen(fd, 8) != 0)
                        return 1;
                    char got = 'r';
                    (void)!::write(out, &got, 1);
                    pollfd wait{fd, POLLIN, 0};
                    qint64 bytes = -1; // never reached
                    if (::poll(&wait, 1, 10000) == 1)
                        if (const int other = ::accept(fd, nullptr, nullptr); other >= 0)
                            for (bytes = 0; ::read(other, &got, 1) > 0;)
                                ++bytes;
                    (void)!::write(out, &bytes, sizeof bytes);
                    return 0;
                },
                report);
            char ready = 0;
            QCOMPARE(::read(report, &ready, 1), 1);
        }

        SingleInstance first(dir.path());
        QCOMPARE(first.claim(messages), SingleInstance::Start::First);
        QSignalSpy files(&first, &SingleInstance::filesRequested);

        std::vector<int> held;
        QTimer drip;
        if (peer == "other user") {
            int unused = -1;
            const pid_t child = asNobody(
                [&](int) {
                    const int fd = connectTo(name, length);
                    const char request[] = "raise\n/tmp/theirs.csv";
                    return fd >= 0 && ::send(fd, request, sizeof request, 0) > 0 ? 0 : 1;
                },
                unused);
            int status = 0;
            ::waitpid(child, &status, 0);
            ::close(unused);
        } else if (peer == "trickle") {
            for (int i = 0; i < 10; ++i) {
                held.push_back(connectTo(name, length));
                QCoreApplication::processEvents();
            }
            const int trickler = connectTo(name, length);
            held.push_back(trickler);
            connect(&drip, &QTimer::timeout, [trickler] { (void)!::send(trickler, "r", 1, 0); });
            drip.start(500);
            QTRY_COMPARE(first.connectionsOpen(), SingleInstance::MostConnections);
        }

        // The learner's own later start is heard, and only it.
        const QStringList mine = {"/words/mine.csv"};
        SingleInstance later(dir.path());
        QCOMPARE(later.claim(messages, mine), SingleInstance::Start::OtherRaised);
        QTRY_COMPARE(files.size(), 1);
        QCOMPARE(files[0][0].toStringList(), mine);
        if (peer == "trickle") // nothing stays open past its deadline
            QTRY_COMPARE_WITH_TIMEOUT(first.connectionsOpen(), 0, 5000);
        QCOMPARE(files.size(), 1);
        QVERIFY(messages.shown.isEmpty());
        for (int fd : held)
            ::close(fd);
        if (squatter) {
            qint64 bytes = -2;
            QCOMPARE(::read(report, &bytes, sizeof bytes), ssize_t(sizeof bytes));
            ::waitpid(squatter, nullptr, 0);
            ::close(report);
            QCOMPARE(bytes, 0); // reached, and told nothing
        }
        if (!runtime.isEmpty())
            qputenv("XDG_RUNTIME_DIR", runtime);
    }

    // A logout, a shutdown or Ctrl+C ends the program as its close box does: the run is in the
    // history, the lock is let go, and it ends well.
    void signalsCloseInOrder_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalsCloseInOrder() {
        QFETCH(int, signal);
        needDisplay();
        QTemporaryDir dir;
        const QString list = putFile(dir, "list.csv", "a,甲\nc,丙\n");
        Program vokarin(dir.path(), {list});
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(QStringLiteral(" Vokarin2.0 :正在学习") + list),
                                 15000);
        QVERIFY(QFileInfo::exists(dir.filePath("vokarin.lock")));
        ::kill(pid_t(vokarin.process.processId()), signal);
        QVERIFY(vokarin.process.waitForFinished(15000));
        QVERIFY2(vokarin.process.exitStatus() == QProcess::NormalExit &&
                     vokarin.process.exitCode() == 0,
                 vokarin.process.readAllStandardError().constData());
        QVERIFY(!QFileInfo::exists(dir.filePath("vokarin.lock")));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
            db.setDatabaseName(dir.filePath("vokarin.db"));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT lesson_files FROM sessions") && query.next());
            QCOMPARE(query.value(0).toString(), QStringLiteral("../list.csv"));
        }
        QSqlDatabase::removeDatabase("check");
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

private:
    QProcess keeper_;
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
