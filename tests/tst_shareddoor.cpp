// The learner's shared data folder is written by others too (the other computer, its sync
// program, a classmate, a broken disk): what they put there never leads Vokarin out of it.
#include "answerlogs.h"
#include "drill/drillengine.h"
#include "drill/notebook.h"
#include "fakeplatform.h"
#include "lessons/lessonfile.h"
#include "module1.h"
#include "recordingview.h"
#include "scheduling/fsrs.h"
#include "sharedstudent.h"
#include "sqlitehistory.h"
#include "sync/answerlog.h"
#include "sync/folderwatch.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const Pairs Unit = {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}, {"fig", "无花果"}};
const Pairs Private = {{"secret", "秘密"}, {"diary", "日记"}};

// A learner with a shared data folder, whose clock stands an hour before now.
struct Learner final : SharedStudent {
    Learner(const QString& home, const QString& data, const MergeSlices& slices = {})
        : SharedStudent(home, data, QDateTime::currentMSecsSinceEpoch() - 3600 * 1000, slices) {}

    // A run of the unit in which "fig" and "apple" are missed until they join the notebook.
    void study() {
        engine->lessonsChosen({QDir(module.lessonFolder()).filePath("unit.txt")});
        QMap<QString, int> missed;
        for (int guard = 0; engine->questionOpen() && guard < 300; ++guard) {
            fakes.clock.epoch += 3000;
            const QString word = engine->row(engine->currentWord()).fileWord;
            const bool miss = (word == u"fig" || word == u"apple") && missed[word]++ < 6;
            engine->dispatch(Command::ClickChoice,
                             miss ? (engine->answerSlot() == 1 ? 2 : 1) : engine->answerSlot());
        }
        history->settle(5000);
    }
};

// Every file under folder with its bytes: what must not change.
QMap<QString, QByteArray> contents(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), fileBytes(path));
    }
    return files;
}

// What is now set apart beside place: a name with the mark, still a link (or a pipe).
QStringList setApartBeside(const QString& place) {
    const QFileInfo info(place);
    return info.dir().entryList({info.fileName() + ".已搁置-*"}, QDir::AllEntries | QDir::System);
}

// The peak of this process's resident memory, in MB.
qint64 peakMb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

AnswerRecord peerAnswer(int word, qint64 at, qint64 ms = 1500) {
    return {at,
            "unit.txt",
            QStringLiteral("w%1").arg(word),
            QStringLiteral("词%1").arg(word),
            false,
            {true, false, ms, AnswerMode::Choice}};
}

bool isRegular(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

class SharedDoor final : public QObject {
    Q_OBJECT

private slots:
    // A link, a pipe or a device where Vokarin's own folder or file belongs: whether put there
    // before the start (the guard's look) or during the run (the write's own check), nothing
    // outside the folder changes, nothing of it is read in, the learner is told, naming the
    // place, and the thing is set apart beside it, not deleted.
    void nothingLeadsOutOfTheFolder_data() {
        QTest::addColumn<QString>("place"); // {me}: this computer's name
        QTest::addColumn<QString>("kind");  // file: link to a file outside; folder: link to the
                                            // outside folder; fifo: a named pipe
        QTest::addColumn<bool>("duringRun");
        QTest::newRow("own log → .bashrc") << "history/{me}.log"
                                           << "file" << false;
        QTest::newRow("own log → .bashrc, during the run") << "history/{me}.log"
                                                           << "file" << true;
        QTest::newRow("own log a pipe") << "history/{me}.log"
                                        << "fifo" << false;
        QTest::newRow("history folder → home") << "history"
                                               << "folder" << false;
        QTest::newRow("lesson folder → home") << "lesson"
                                              << "folder" << false;
        QTest::newRow("notebook → thesis") << "lesson/scb.txt"
                                           << "file" << false;
        QTest::newRow("notebook → thesis, during the run") << "lesson/scb.txt"
                                                           << "file" << true;
        QTest::newRow("notebook's copy → private list")
            << "lesson/scb.sync-conflict-20261208-101500-ABCDEFG.txt"
            << "file" << false;
        QTest::newRow("peer's log → outside log") << "history/peer-1.log"
                                                  << "file" << false;
        QTest::newRow("set-aside folder → home") << "已合并"
                                                 << "folder" << false;
        QTest::newRow("shared settings → outside") << "csh2.dat"
                                                   << "file" << false;
    }
    void nothingLeadsOutOfTheFolder() {
        QFETCH(QString, place);
        QFETCH(QString, kind);
        QFETCH(bool, duringRun);
        QTemporaryDir home, data, outside;
        // Outside: the learner's other files, one of them a lesson, one a log of another
        // computer's, which must never be read into the shared folder or the history.
        putFile(outside, "bashrc", "alias ll='ls -l'\n");
        putFile(outside, "private.txt", lessonBytes(Private));
        AnswerRecord secret{QDateTime::currentMSecsSinceEpoch() - 7200 * 1000,
                            "x.txt",
                            "secret",
                            "秘密",
                            false,
                            {true, false, 900, AnswerMode::Choice}};
        putFile(outside, "peer.log", logHeader("peer-1") + logLine(secret));
        putFile(outside, "csh2.dat", QByteArray(19 * 128, 'x'));
        Learner learner(home.path(), data.path());
        QDir(data.path()).mkpath("history");
        learner.module.Settings.ReviewNotebookAtStart = VbFalse;
        writeLesson(learner.module, "notebook-first.txt", Unit);
        writepairs(learner.module.notebookPath(), {{"pear", "梨"}, {"plum", "李子"}});
        const QMap<QString, QByteArray> before = contents(outside.path());

        const QString at = data.filePath(QString(place).replace("{me}", learner.module.DeviceId));
        const auto plant = [&] {
            QDir().rename(at, at + ".was"); // a file or folder of ours in the way
            const QString target = kind == "folder" ? outside.path()
                                   : place.startsWith("lesson/scb")
                                       ? outside.filePath("private.txt")
                                   : place.contains("peer") ? outside.filePath("peer.log")
                                   : place == "csh2.dat"    ? outside.filePath("csh2.dat")
                                                            : outside.filePath("bashrc");
            if (kind == "fifo")
                QVERIFY(::mkfifo(QFile::encodeName(at).constData(), 0600) == 0);
            else
                QVERIFY(QFile::link(target, at));
        };
        learner.module.ShareSettings = place == "csh2.dat";
        if (!duringRun)
            plant();
        learner.watch->catchUp();
        learner.engine->startUp();
        writeLesson(learner.module, "unit.txt", Unit);
        if (duringRun)
            plant();
        learner.study();
        learner.module.Settings.ChoiceCount = 5;
        (void)learner.module.SaveSettings();
        learner.watch->catchUp();
        learner.history->settle(5000);
        learner.engine->mainWindowClosing();
        // Every word of the unit, and no other, is in the history.
        QCOMPARE(learner.history->dueWords(std::numeric_limits<qint64>::max() / 2, 100)->size(),
                 Unit.size());
        learner.history->finish(5000);

        QCOMPARE(contents(outside.path()), before);
        QCOMPARE(setApartBeside(at).size(), 1);
        const QString told = learner.fakes.messages.shown.join('\n');
        QVERIFY2(told.contains(QFileInfo(at).fileName()), qPrintable(told));
        // Nothing from outside came in: no private word in the notebook, no answer to it.
        QVERIFY(!fileBytes(learner.module.notebookPath()).contains("secret"));
        // Vokarin's own file is a file of its own again, with what it wrote.
        if (place.contains("{me}"))
            QVERIFY(isRegular(at) && fileBytes(at).contains("\tfig\t"));
        if (place == "lesson/scb.txt")
            QVERIFY(isRegular(at) && fileBytes(at).contains("fig"));
    }

    // Another computer's log is read in bounded pieces and its numbers checked: ten sound answers
    // come first, then the fault. What the fault holds is never merged (and the log is read on
    // from there later), the memory of every word stays within 2000 … 2100, and a clock ahead is
    // told of, by how much.
    void peerLogsAreBounded_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("merged"); // words in the history afterwards
        QTest::addColumn<QString>("told");
        QTest::newRow("3 GB, sparse") << "sparse" << 10 << "";
        QTest::newRow("a line of 20 KB") << "long line" << 10 << "";
        QTest::newRow("time 2^63-1 ms") << "endless time" << 10 << "";
        QTest::newRow("time before 2000") << "1999" << 10 << "";
        QTest::newRow("response of 10^15 ms") << "slow" << 10 << "";
        QTest::newRow("a run that ends before it starts") << "backwards run" << 10 << "";
        QTest::newRow("clock 2 hours ahead") << "2 hours ahead" << 15 << "快了大约 2 小时";
        QTest::newRow("clock 2 days ahead") << "2 days ahead" << 10 << "快了大约 48 小时";
        QTest::newRow("clock a minute ahead") << "a minute ahead" << 15 << "";
    }
    void peerLogsAreBounded() {
        QFETCH(QString, fault);
        QFETCH(int, merged);
        QFETCH(QString, told);
        constexpr qint64 Hour = 3600 * 1000;
        QTemporaryDir home, data;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QByteArray log = logHeader("peer-1");
        for (int i = 0; i < 10; ++i)
            log += logLine(peerAnswer(i, now - 3 * Hour + i * 60000));
        const auto more = [&](qint64 at, qint64 ms = 1500) {
            for (int i = 10; i < 15; ++i)
                log += logLine(peerAnswer(i, at + i, ms));
        };
        if (fault == "long line")
            log += QByteArray(20 * 1024, 'x') + '\n';
        else if (fault == "endless time")
            more(std::numeric_limits<qint64>::max() - 20);
        else if (fault == "1999")
            more(
                QDateTime(QDate(1999, 12, 31), QTime(12, 0), QTimeZone::utc()).toMSecsSinceEpoch());
        else if (fault == "slow")
            more(now - Hour, 1'000'000'000'000'000);
        else if (fault == "backwards run")
            log += logLine(SessionRecord{now - Hour, now - 2 * Hour, 5, {"unit.txt"}});
        else if (fault == "2 hours ahead")
            more(now + 2 * Hour);
        else if (fault == "2 days ahead")
            more(now + 48 * Hour);
        else if (fault == "a minute ahead")
            more(now + 60000);
        if (fault != "long line" && fault != "sparse" && fault != "backwards run")
            more(now - Hour); // sound again, after the fault: not read past it
        const QString path = putFile(data, "history/peer-1.log", log);
        if (fault == "sparse")
            QVERIFY(::truncate(QFile::encodeName(path).constData(), 3LL << 30) == 0);

        Learner learner(home.path(), data.path());
        const qint64 peakBefore = peakMb();
        learner.watch->catchUp();
        QVERIFY(learner.history->settle(20000));
        QVERIFY2(peakMb() - peakBefore < 100, qPrintable(QString::number(peakMb() - peakBefore)));
        const QList<DueWord> words = learner.history->dueWords(fsrs::LatestTime, 1000).value();
        QCOMPARE(words.size(), merged);
        for (const DueWord& word : words)
            QVERIFY(word.due >= fsrs::EarliestTime && word.due <= fsrs::LatestTime);
        QCOMPARE(learner.history->unfinishedLogs().contains("peer-1.log"), merged == 10);
        QCoreApplication::processEvents();
        const QString shown = learner.fakes.messages.shown.join('\n');
        if (told.isEmpty())
            QVERIFY2(!shown.contains("时钟"), qPrintable(shown));
        else
            QVERIFY2(shown.contains(told) && shown.contains("peer-1"), qPrintable(shown));
    }

    // A merge goes in slices behind the run's own answers, and is let go when the program ends:
    // the answers given during it go in ahead of its later slices, a close keeps them all
    // without waiting for the merge, and the next start goes on from where it stopped.
    void aMergeNeverHoldsTheRun_data() {
        QTest::addColumn<bool>("closing"); // the program closes at once
        QTest::newRow("merged to the end") << false;
        QTest::newRow("closed during the merge") << true;
    }
    void aMergeNeverHoldsTheRun() {
        QFETCH(bool, closing);
        QTemporaryDir home, data;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QDir(data.path()).mkpath("history");
        const QString log = data.filePath("history/peer-1.log");
        QVERIFY(writeBytes(log, deviceLog("peer-1", 12000, now - 30LL * 86400 * 1000, 5000, 1)));
        // Slices of at most about 1,600 records, so that there are several.
        const MergeSlices slices{1000, 200, 100000, 64 * 1024};
        {
            Learner learner(home.path(), data.path(), slices);
            learner.watch->catchUp(); // the first of 6 slices or more begins
            for (int i = 0; i < 12; ++i)
                learner.history->recordAnswer({now + i,
                                               "unit.txt",
                                               "own",
                                               "自己的",
                                               false,
                                               {true, false, 900, AnswerMode::Typing}});
            learner.history->keepNotebookWord("own", "自己的");
            if (!closing)
                QVERIFY(learner.history->settle(
                    180000)); // minutes on a loaded machine under the sanitizers
            QCOMPARE(learner.history->finish(2000), 0);
        }
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(QDir(home.path()).filePath("vokarin.db"));
        QVERIFY(db.open());
        const auto value = [&db](const char* sql) {
            QSqlQuery query(db);
            return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
        };
        QCOMPARE(value("SELECT count(*) FROM answers WHERE english = 'own'"), 12);
        QCOMPARE(value("SELECT count(*) FROM notebook"), 1);
        if (closing) // let go, part of the log read
            QVERIFY(value("SELECT read_to FROM logs WHERE name = 'peer-1.log'") <
                    QFileInfo(log).size());
        else // the other computer's answers went in after the run's own, most of them
            QVERIFY(value("SELECT count(*) FROM answers WHERE device = 'peer-1' AND rowid >"
                          " (SELECT max(rowid) FROM answers WHERE english = 'own')") > 8000);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("check");
        // The next start takes up the rest.
        Learner again(home.path(), data.path(), slices);
        again.watch->catchUp();
        QVERIFY(again.history->settle(120000));
        QVERIFY(again.history->unfinishedLogs().isEmpty());
        // (A read waits only so long for the writer: on a loaded machine it is asked again.)
        Answered<QList<DueWord>> due;
        QTRY_VERIFY_WITH_TIMEOUT((due = again.history->dueWords(fsrs::LatestTime, 30000)), 60000);
        QCOMPARE(due->size(), 12001);
    }

    // A word learnt and taken out of the notebook here does not come back from the other
    // computer's copy of the notebook; a word the other computer put in (or in again) after
    // that is never lost.
    void aClearedNotebookWordStaysCleared() {
        QTemporaryDir home, data;
        Learner here(home.path(), data.path());
        here.module.Settings.ReviewNotebookAtStart = VbFalse;
        writeLesson(here.module, "unit.txt", Unit);
        writepairs(here.module.notebookPath(), {{"old1", "旧一"}, {"old2", "旧二"}});
        here.watch->catchUp();
        here.engine->startUp();
        here.study(); // fig and apple into the notebook: old1 and old2 make way
        QVERIFY(here.history->settle(5000));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        // The other computer put old1 in before, old2 again after, kiwi new; its copy of the
        // notebook (from before this computer's save) holds all three.
        putFile(data, "history/peer-1.log",
                logHeader("peer-1") + logLine(NotebookEvent{now - 3600000, "old1", "旧一", true}) +
                    logLine(NotebookEvent{now + 1000, "old2", "旧二", true}) +
                    logLine(NotebookEvent{now + 1000, "kiwi", "猕猴桃", true}));
        putFile(data, "lesson/scb.sync-conflict-20261209-101500-ABCDEFG.txt",
                lessonBytes({{"old1", "旧一"}, {"old2", "旧二"}, {"kiwi", "猕猴桃"}}));
        here.watch->catchUp();
        QVERIFY(here.history->settle(5000));
        QTRY_VERIFY(!QFileInfo::exists(
            data.filePath("lesson/scb.sync-conflict-20261209-101500-ABCDEFG.txt")));
        const QByteArray notebook = fileBytes(here.module.notebookPath());
        const QList<std::pair<QByteArray, bool>> expected = {
            {"fig", true}, {"apple", true}, {"old1", false}, {"old2", true}, {"kiwi", true}};
        for (const auto& [word, kept] : expected)
            QVERIFY2(notebook.contains("\"" + word + "\"") == kept, word.constData());
        // And this computer's log tells the other computers what it took out.
        const QByteArray own = fileBytes(data.filePath("history/" + here.module.DeviceId + ".log"));
        QVERIFY(own.contains("N\t") && own.contains("\told1\t\t0\t"));
    }
};

QTEST_GUILESS_MAIN(SharedDoor)
#include "tst_shareddoor.moc"
