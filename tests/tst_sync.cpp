// Two computers studying in one data folder that real Syncthing keeps in step, both on this
// machine: two homes, two synced copies of the folder, each instance on the loopback address.
#include "drill/drillengine.h"
#include "fakeplatform.h"
#include "lessons/lessonfile.h"
#include "module1.h"
#include "qtservices/singleinstance.h"
#include "recordingview.h"
#include "sharedstudent.h"
#include "sqlitehistory.h"
#include "statisticsdata.h"
#include "sync/conflicts.h"
#include "sync/folderwatch.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QTest>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const Pairs Unit = {{"apple", "苹果"}, {"pear", "梨"},    {"plum", "李子"},
                    {"fig", "无花果"}, {"peach", "桃子"}, {"grape", "葡萄"}};

// A port nobody listens on now.
quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool pair(const QStringList& arguments) {
    QProcess script;
    script.start(QStringLiteral(VOKARIN_SYNC_SCRIPT), arguments);
    return script.waitForFinished(60000) && script.exitCode() == 0;
}

// One computer: its home (settings, history file, lock) and its copy of the shared folder.
struct Computer : SharedStudent {
    Computer(const QString& home, const QString& data, qint64 startsAt)
        : SharedStudent(home, data, startsAt) {
        watch->setQuietMs(200);
        watch->catchUp();
        engine->startUp();
    }

    // Starts the lesson; the words in wrong are missed once each.
    void begin(const QStringList& wrong) {
        wrong_ = wrong;
        engine->lessonsChosen({QDir(module.lessonFolder()).filePath("unit.txt")});
    }
    // One answer, a few seconds after the last; false once the lesson is done.
    bool answer() {
        if (!engine->questionOpen())
            return false;
        fakes.clock.epoch += 4000;
        ++given;
        const QString word = engine->row(engine->currentWord()).fileWord;
        if (wrong_.removeOne(word))
            engine->dispatch(Command::ClickChoice, engine->answerSlot() == 1 ? 2 : 1);
        else
            engine->dispatch(Command::ClickChoice, engine->answerSlot());
        return true;
    }
    void study(const QStringList& wrong) {
        begin(wrong);
        for (int guard = 0; answer() && guard < 200; ++guard) {
        }
    }

    // What the learner sees of the history: due words, statistics, every answer.
    QStringList seen(qint64 now) {
        QStringList lines;
        for (const DueWord& word : history->dueWords(now, 100).value_or(QList<DueWord>()))
            lines << QStringLiteral("due %1 %2").arg(word.english).arg(word.due);
        lines << QStringLiteral("due count %1").arg(history->dueCount(now).value_or(-1));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "seen");
            db.setDatabaseName(QDir(module.AppFolder).filePath("vokarin.db"));
            if (db.open()) {
                const StatisticsData data(db, QTimeZone::utc());
                const QDate first = data.firstDay().value_or(QDate());
                for (const StatisticsData::Day& day : data.days(first, first.addDays(3)))
                    lines << QStringLiteral("day %1 %2 %3 %4 %5")
                                 .arg(day.date.toString(Qt::ISODate))
                                 .arg(day.seconds)
                                 .arg(day.answers)
                                 .arg(day.reviews)
                                 .arg(day.right);
                const StatisticsData::States states = data.states();
                lines << QStringLiteral("states %1 %2 %3")
                             .arg(states.fresh)
                             .arg(states.learning)
                             .arg(states.known);
                for (const StatisticsData::HardWord& word : data.hardestWords(10))
                    lines << QStringLiteral("hard %1 %2 %3 %4")
                                 .arg(word.english)
                                 .arg(word.forgotten)
                                 .arg(word.reviews)
                                 .arg(word.right);
                QStringList answers = QString::fromUtf8(data.answersCsv()).split("\r\n");
                answers.sort();
                lines += answers;
            }
        }
        QSqlDatabase::removeDatabase("seen");
        return lines;
    }

    QStringList wrong_;
    int given = 0; // answers given here
};

// The sync program's copies of Vokarin's files still in the folder, not yet merged.
QStringList copiesLeft(const QString& folder) {
    QStringList left;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isCopyOfOwnFile(QFileInfo(path).fileName()) && !path.contains("/已合并/"))
            left << path;
    }
    return left;
}

QMap<QString, QByteArray> logsIn(const QString& folder) {
    QMap<QString, QByteArray> logs;
    for (const QString& name : QDir(folder).entryList({"*.log"}, QDir::Files))
        logs[name] = fileBytes(QDir(folder).filePath(name));
    return logs;
}

} // namespace

class tst_Sync final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("syncthing").isEmpty()) {
            if (!qEnvironmentVariableIsEmpty("VOKARIN_REQUIRE_SYNCTHING"))
                QFAIL("no syncthing, though the test command should have installed it");
            QSKIP("no syncthing");
        }
        QVERIFY(
            pair({"start", dir.path(), QString::number(freePort()), QString::number(freePort())}));
    }
    void cleanupTestCase() {
        if (dir.isValid())
            pair({"stop", dir.path()});
    }

    // A studies while B is away; B studies before A's files reach it; then both at once. After
    // the sync both show every answer of both, the same due words and the same statistics,
    // the notebooks' words of both, and no copy of the sync program's left unmerged.
    void twoComputersStudyInAnyOrder() {
        const qint64 monday = 1796634000000; // 2026-12-07 09:00 UTC
        Computer a(dir.filePath("a/home"), dir.filePath("a/data"), monday);
        Computer b(dir.filePath("b/home"), dir.filePath("b/data"), monday + 30 * 60000);
        // Each computer has its own lock, in its own home: both run at once.
        SingleInstance lockA(a.module.AppFolder), lockB(b.module.AppFolder);
        QCOMPARE(lockA.claim(a.fakes.messages, {}), SingleInstance::Start::First);
        QCOMPARE(lockB.claim(b.fakes.messages, {}), SingleInstance::Start::First);

        QVERIFY(QDir().mkpath(a.module.lessonFolder()));
        QVERIFY(writepairs(QDir(a.module.lessonFolder()).filePath("unit.txt"), Unit).ok());
        const QString unitOnB = QDir(b.module.lessonFolder()).filePath("unit.txt");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(unitOnB) && fileBytes(unitOnB).size() > 0,
                                 60000);

        // B is away while A studies; B studies before A's files arrived.
        QVERIFY(pair({"stop", dir.path(), "b"}));
        a.study({"apple", "pear"});
        b.study({"fig", "plum"});
        QVERIFY(a.view.shown.contains("end of lesson"));
        QVERIFY(b.view.shown.contains("end of lesson"));
        QVERIFY(pair({"resume", dir.path(), "b"}));

        // Both at once, a day later.
        a.fakes.clock.epoch = monday + 24 * 3600000;
        b.fakes.clock.epoch = monday + 24 * 3600000 + 2000;
        a.begin({"grape"});
        b.begin({"peach"});
        for (int guard = 0; guard < 200; ++guard) {
            const bool more = a.answer() | b.answer();
            QTest::qWait(20); // the two sync programs carry what is written meanwhile
            if (!more)
                break;
        }

        // In step: the same logs in both folders, no copy left, the same notebook.
        const auto inStep = [&] {
            return logsIn(a.module.historyFolder()) == logsIn(b.module.historyFolder()) &&
                   logsIn(a.module.historyFolder()).size() == 2 &&
                   copiesLeft(a.module.dataFolder()).isEmpty() &&
                   copiesLeft(b.module.dataFolder()).isEmpty() &&
                   fileBytes(a.module.notebookPath()) == fileBytes(b.module.notebookPath());
        };
        QTRY_VERIFY_WITH_TIMEOUT(inStep(), 90000);
        for (Computer* c : {&a, &b}) {
            c->watch->catchUp();
            QVERIFY(c->history->settle(10000));
        }

        const qint64 later = monday + 3 * 24 * 3600000;
        const QStringList seenOnA = a.seen(later);
        QCOMPARE(b.seen(later), seenOnA);
        // Every answer of both.
        QCOMPARE(seenOnA.filter(QRegularExpression("^\\d{4}-")).size(), a.given + b.given);
        QVERIFY(a.given > 0 && b.given > 0);
        // The notebook has the words both computers missed.
        qint32 lines = 0;
        QVERIFY(countlines(a.module.notebookPath(), lines).ok());
        QStringList words;
        QVERIFY(readpairs(a.module.notebookPath(), lines, [&](QStringView w, QStringView) {
                    words << w.toString();
                    return true;
                }).ok());
        words.sort();
        QCOMPARE(words, QStringList({"apple", "fig", "grape", "peach", "pear", "plum"}));
        // The sync program's copies, merged, wait in 已合并 on both.
        // (A copy made on one computer reaches the other as the sync program carries it.)
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(a.module.mergedFolder()).isEmpty(QDir::Files), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(b.module.mergedFolder()).isEmpty(QDir::Files), 60000);
        QVERIFY(a.fakes.messages.shown.isEmpty());
        QVERIFY(b.fakes.messages.shown.isEmpty());
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(tst_Sync)
#include "tst_sync.moc"
