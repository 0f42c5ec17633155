// The learner's history in SQLite, and the statistics read from it.
#include "answerlogs.h"
#include "fakeplatform.h"
#include "lessons/lessonfile.h"
#include "sqlitehistory.h"
#include "sqliteoutcome.h"
#include "statisticsdata.h"
#include "statisticswindow.h"
#include "sync/answerlog.h"
#include "sync/logmerge.h"
#include "testfiles.h"
#include "wordstore.h"

#include <QChartView>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <functional>

namespace {

constexpr qint64 Minute = 60 * 1000, Day = 24 * 60 * Minute;
const qint64 Monday =
    QDateTime(QDate(2026, 12, 7), QTime(9, 0), QTimeZone::utc()).toMSecsSinceEpoch();

AnswerRecord answer(const QString& english, qint64 at, bool correct, qint64 ms = 1500,
                    AnswerMode mode = AnswerMode::Choice) {
    return {at,    QStringLiteral("unit1.txt"), english, english + QStringLiteral("的意思"),
            false, {correct, false, ms, mode}};
}

// Runs read on the history's file through a connection of its own.
void withFile(const QString& path, const std::function<void(QSqlQuery&)>& read) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            read(query);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

// The first value of a query on the history's file.
QVariant valueOf(const QString& path, const QString& sql) {
    QVariant value;
    withFile(path, [&](QSqlQuery& query) {
        if (query.exec(sql) && query.next())
            value = query.value(0);
    });
    return value;
}

// Runs statements on the history's file through a connection of its own.
bool execute(const QString& path, const QStringList& statements) {
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        for (const QString& statement : statements)
            ok = ok && query.exec(statement);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    return ok;
}

// The statistics of the history at path, read through a connection of their own.
void withStatistics(const QString& path, const QTimeZone& zone,
                    const std::function<void(const StatisticsData&)>& read) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("statistics"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        read(StatisticsData(db, zone));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("statistics"));
}

// Everything a history holds that the learner sees: each word's memory and figures, the days,
// the runs, and how many answers; one line each.
QStringList contentOf(const QString& path) {
    QStringList lines;
    withFile(path, [&](QSqlQuery& query) {
        for (const char* sql :
             {"SELECT english, state, stability, difficulty, due, reps, lapses, last_review,"
              " learning_steps, reviews, reviews_right, forgotten, last_day FROM words"
              " ORDER BY english",
              "SELECT * FROM days ORDER BY day, direction, mode",
              "SELECT started_at, ended_at, minutes, lesson_files FROM sessions"
              " ORDER BY started_at",
              "SELECT count(*), sum(correct), sum(revealed) FROM answers"}) {
            if (!query.exec(QLatin1String(sql)))
                lines << query.lastError().text();
            while (query.next()) {
                QStringList values;
                for (int i = 0; i < query.record().count(); ++i)
                    values << query.value(i).toString();
                lines << values.join(u' ');
            }
        }
    });
    return lines;
}

// Three computers' study of the same words over three days, in time order: each answer with
// the computer that gave it.
struct Given final {
    QChar computer;
    AnswerRecord answer;
};
QList<Given> threeComputers() {
    QList<Given> given;
    const QStringList words = {"apple", "pear", "plum", "fig"};
    int n = 0;
    for (int day = 0; day < 3; ++day)
        for (int round = 0; round < 4; ++round)
            for (const QString& word : words) {
                const QChar computer = QStringLiteral("ABC")[(n + round + day) % 3];
                AnswerRecord a = answer(word,
                                        Monday + day * Day + round * 11 * Minute + (n % 7) * 1000 +
                                            computer.unicode(),
                                        (n * 7 + day) % 5 != 0, 1000 + (n * 977) % 9000,
                                        n % 4 == 0 ? AnswerMode::Typing : AnswerMode::Choice);
                a.facts.revealed = n % 11 == 5;
                given.append({computer, a});
                ++n;
            }
    return given;
}

} // namespace

class tst_History final : public QObject {
    Q_OBJECT

private slots:
    // Every answer is logged; the first of the learner's day reviews the word, and so does
    // one given when a short step of (re)learning has come.
    // A history merged from the computers' logs is the history of all their answers in time
    // order, in whatever order and pieces the logs arrive: cut off mid-line, damaged and
    // mended, copied by the sync program, or older than what this computer studied since.
    void logsMergeToTheSameHistoryInAnyOrder_data() {
        QTest::addColumn<QString>("steps");
        // a: A studies; b, c: B's or C's whole log arrives; h: the first half of B's log, cut
        // mid-line; d: B's log with a damaged line; x: a sync program's copy of C's log;
        // m: merge
        QTest::newRow("the others arrive after A studied") << "abcm";
        QTest::newRow("the others arrive first") << "bcma";
        QTest::newRow("merged between, A studying last") << "bmcma";
        QTest::newRow("in pieces, cut and damaged, then whole") << "hmdmabmcxm";
    }
    void logsMergeToTheSameHistoryInAnyOrder() {
        QFETCH(QString, steps);
        const QList<Given> given = threeComputers();
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        const QString single = dir.filePath("single.db");
        {
            SqliteHistory history(single, messages, QTimeZone::utc());
            for (const Given& g : given)
                history.recordAnswer(g.answer);
            history.recordSession({Monday, Monday + 30 * Minute, 30, {"unit1.txt"}});
            history.recordSession({Monday + Day, Monday + Day + 9 * Minute, 9, {}});
        }
        // B's and C's logs as their computers wrote them.
        QHash<QChar, QByteArray> logs;
        for (const QChar c : {QChar(u'B'), QChar(u'C')})
            logs[c] = logHeader(QStringLiteral("computer-") + c);
        for (const Given& g : given)
            if (g.computer != u'A')
                logs[g.computer] += logLine(g.answer);
        logs[u'C'] += logLine(SessionRecord{Monday + Day, Monday + Day + 9 * Minute, 9, {}});

        const QString folder = dir.filePath("history");
        QDir().mkpath(folder);
        const QString merged = dir.filePath("merged.db");
        {
            SqliteHistory history(merged, messages, QTimeZone::utc(),
                                  {folder, QStringLiteral("computer-A")});
            for (const QChar step : steps) {
                const QByteArray& b = logs[u'B'];
                switch (step.unicode()) {
                case u'a':
                    for (const Given& g : given)
                        if (g.computer == u'A')
                            history.recordAnswer(g.answer);
                    history.recordSession({Monday, Monday + 30 * Minute, 30, {"unit1.txt"}});
                    break;
                case u'b':
                    putFile(dir, "history/computer-B.log", b);
                    break;
                case u'c':
                    putFile(dir, "history/computer-C.log", logs[u'C']);
                    break;
                case u'h':
                    putFile(dir, "history/computer-B.log", b.first(b.size() / 2));
                    break;
                case u'd': {
                    QByteArray damaged = b;
                    damaged[damaged.indexOf("\nA\t", b.size() / 3) + 5] = '9';
                    putFile(dir, "history/computer-B.log", damaged);
                    break;
                }
                case u'x':
                    putFile(dir, "history/computer-C.sync-conflict-20261209-101500-ABCDEFG.log",
                            logs[u'C']);
                    break;
                case u'm':
                    history.merge();
                    QVERIFY(history.settle(10000));
                    break;
                }
            }
            QVERIFY(history.unfinishedLogs().isEmpty());
        }
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(" / ")));
        const QStringList expected = contentOf(single);
        QCOMPARE(expected.last(),
                 QStringLiteral("48 %1 %2")
                     .arg(std::count_if(given.cbegin(), given.cend(),
                                        [](const Given& g) { return g.answer.facts.correct; }))
                     .arg(std::count_if(given.cbegin(), given.cend(),
                                        [](const Given& g) { return g.answer.facts.revealed; })));
        QCOMPARE(contentOf(merged), expected);
        // A's own log holds A's answers and run, for the others to merge.
        const QByteArray own = fileBytes(dir.filePath("history/computer-A.log"));
        QCOMPARE(readLog(own, 0, QDateTime::currentMSecsSinceEpoch()).answers.size(),
                 given.count() - logs[u'B'].count('\n') - logs[u'C'].count('\n') + 3);
    }

    // A merge stopped between its slices leaves the words it has read waiting to be worked out;
    // an answer given here to such a word meanwhile, earlier or later than the other
    // computer's, is worked in with them: the words and days come out as when the other
    // computer's log was merged whole and the answer given after.
    void wordsWaitingTakeAnswersGivenMeanwhile_data() {
        QTest::addColumn<qint64>("at"); // after the other computer's first answer
        QTest::newRow("before the other computer's answers") << -Day;
        // A second after word1's sixth answer there.
        QTest::newRow("between them, the same day") << 251 * 43 * Minute + 1234;
        QTest::newRow("after them all") << 2000 * 43 * Minute + Day;
    }
    void wordsWaitingTakeAnswersGivenMeanwhile() {
        QFETCH(qint64, at);
        QTemporaryDir dir;
        const qint64 first = Monday - 70 * Day;
        // 2,000 answers to 50 words, 43 minutes apart, in the folder of each history.
        QByteArray log = logHeader(QStringLiteral("peer"));
        for (int i = 0; i < 2000; ++i)
            log += logLine(
                AnswerRecord{first + i * 43 * Minute,
                             QStringLiteral("unit.txt"),
                             QStringLiteral("word%1").arg(i % 50),
                             QStringLiteral("意思%1").arg(i % 50),
                             i % 3 == 0,
                             {i % 5 != 2, i % 7 == 3, 1000 + i % 9000, AnswerMode::Choice}});
        for (const char* folder : {"whole", "stopped"}) {
            QDir().mkpath(dir.filePath(folder));
            QVERIFY(writeBytes(dir.filePath(folder) + "/peer.log", log));
        }
        AnswerRecord given = answer("word1", first + at, false, 4000);
        given.chinese = QStringLiteral("意思1");
        FakeMessageBoxes messages;
        const QString whole = dir.filePath("whole.db"), stopped = dir.filePath("stopped.db");
        {
            SqliteHistory history(whole, messages, QTimeZone::utc(),
                                  {dir.filePath("whole"), QStringLiteral("here")});
            history.merge();
            QVERIFY(history.settle(60000));
            history.recordAnswer(given);
        }
        { SqliteHistory(stopped, messages, QTimeZone::utc()).dueCount(0); } // the file made
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "stopped");
            db.setDatabaseName(stopped);
            QVERIFY(db.open());
            LearnersDays days(QTimeZone::utc());
            historyfile::WaitingWords waiting;
            const auto slice = [&] {
                historyfile::Merged merged;
                db.transaction();
                // Slices of a few hundred records: the first leaves words waiting.
                const QSqlError error = historyfile::mergeLogs(
                    db, dir.filePath("stopped"), days, waiting, QDateTime::currentMSecsSinceEpoch(),
                    merged, MergeSlices{300, 200, 100000, 16 * 1024});
                db.commit();
                return error.isValid() ? -1 : int(merged.more);
            };
            QCOMPARE(slice(), 1);
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT count(*) FROM words_waiting") && query.next());
            QVERIFY(query.value(0).toInt() > 0);
            db.transaction();
            QVERIFY(!historyfile::writeAnswer(db, given, "here", QTimeZone::utc()).isValid());
            db.commit();
            while (slice() == 1)
                ;
            QVERIFY(query.exec("SELECT count(*) FROM words_waiting") && query.next());
            QCOMPARE(query.value(0).toInt(), 0);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("stopped"));
        QCOMPARE(contentOf(stopped), contentOf(whole));
    }

    // What a computer learnt before a data folder was chosen goes into its log at the first
    // merge, once, for the other computers to have.
    // What became of a statement is told by SQLite's result code (primary, or extended with the
    // primary in its low byte), never by the words of its message.
    void outcomesFromResultCodes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::newRow("no error") << ""
                                  << "" << int(Outcome::Done);
        QTest::newRow("SQLITE_BUSY") << "5"
                                     << "database is locked" << int(Outcome::Busy);
        QTest::newRow("SQLITE_BUSY_SNAPSHOT") << "517"
                                              << "" << int(Outcome::Busy);
        QTest::newRow("SQLITE_LOCKED") << "6"
                                       << "" << int(Outcome::Busy);
        QTest::newRow("SQLITE_CORRUPT") << "11"
                                        << "" << int(Outcome::Corrupt);
        QTest::newRow("SQLITE_NOTADB") << "26"
                                       << "file is not a database" << int(Outcome::Corrupt);
        QTest::newRow("SQLITE_FULL") << "13"
                                     << "" << int(Outcome::Full);
        QTest::newRow("SQLITE_READONLY") << "8"
                                         << "" << int(Outcome::Failed);
        QTest::newRow("SQLITE_IOERR_WRITE") << "778"
                                            << "" << int(Outcome::Failed);
        QTest::newRow("words alone, no code") << ""
                                              << "database is locked" << int(Outcome::Failed);
        QTest::newRow("words of damage, another code")
            << "1"
            << "database disk image is malformed" << int(Outcome::Failed);
    }
    void outcomesFromResultCodes() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QFETCH(int, outcome);
        const QSqlError error = code.isEmpty() && text.isEmpty()
                                    ? QSqlError()
                                    : QSqlError("driver", text, QSqlError::StatementError, code);
        QCOMPARE(int(outcomeOf(error)), outcome);
    }

    // The log is exchanged between computers and versions: its bytes are pinned, record by
    // record (checksums worked out apart from the program, as zip's CRC-32 of each line), and
    // each reads back as written. The first logs' mode numbers still read.
    void logLinesArePinned_data() {
        QTest::addColumn<QByteArray>("written"); // empty: only read
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("read"); // what reading it gives, as text
        const qint64 at = 1796787946720;
        QTest::newRow("answer, choice")
            << logLine(AnswerRecord{
                   at, "unit.txt", "apple", "苹果", false, {true, false, 1500, AnswerMode::Choice}})
            << QByteArray("A\t1796787946720\tunit.txt\tapple\t\xe8\x8b\xb9\xe6\x9e\x9c\t0\tchoice"
                          "\t1\t0\t1500\tb386e1a5\n")
            << "A 1796787946720 unit.txt apple 苹果 0 choice 1 0 1500";
        QTest::newRow("answer, typed, escaped")
            << logLine(AnswerRecord{at,
                                    "四级/unit 1.txt",
                                    "a\tb\\c",
                                    "甲\n乙",
                                    true,
                                    {false, true, 21000, AnswerMode::Typing}})
            << QByteArray("A\t1796787946720\t\xe5\x9b\x9b\xe7\xba\xa7/unit 1.txt\ta\\tb\\\\c\t"
                          "\xe7\x94\xb2\\n\xe4\xb9\x99\t1\ttyping\t0\t1\t21000\t97034708\n")
            << "A 1796787946720 四级/unit 1.txt a\tb\\c 甲\n乙 1 typing 0 1 21000";
        QTest::newRow("run")
            << logLine(SessionRecord{1796787936453, 1796787948145, 3, {"unit.txt", "scb.txt"}})
            << QByteArray("S\t1796787936453\t1796787948145\t3\tunit.txt\x1fscb.txt\t8a21909f\n")
            << "S 1796787936453 1796787948145 3 unit.txt|scb.txt";
        QTest::newRow("put into the notebook")
            << logLine(NotebookEvent{at, "pear", "梨", true})
            << QByteArray("N\t1796787946720\tpear\t\xe6\xa2\xa8\t1\tfd85f2f\n")
            << "N 1796787946720 pear 梨 1";
        QTest::newRow("taken out of it")
            << logLine(NotebookEvent{at, "pear", "", false})
            << QByteArray("N\t1796787946720\tpear\t\t0\t7aa93cb2\n") << "N 1796787946720 pear  0";
        QTest::newRow("a first log's mode number")
            << QByteArray()
            << QByteArray("A\t1796787946720\tunit.txt\tplum\t\xe6\x9d\x8e\xe5\xad\x90\t0\t2\t1\t0"
                          "\t800\t93ef963e\n")
            << "A 1796787946720 unit.txt plum 李子 0 listening 1 0 800";
    }
    void logLinesArePinned() {
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, line);
        QFETCH(QString, read);
        QCOMPARE(logHeader("laptop-1a2b"), QByteArray("VOKARIN-LOG 1 laptop-1a2b\n"));
        if (!written.isEmpty())
            QCOMPARE(written, line);
        const LogRead log = readLog(logHeader("laptop-1a2b") + line, 0, 1796787946720);
        QCOMPARE(log.damaged, 0);
        QStringList got;
        for (const AnswerRecord& a : log.answers)
            got << QStringLiteral("A %1 %2 %3 %4 %5 %6 %7 %8 %9")
                       .arg(a.answeredAt)
                       .arg(a.lesson, a.english, a.chinese)
                       .arg(int(a.chineseAsked))
                       .arg(QLatin1String(answerModeName(a.facts.mode)))
                       .arg(int(a.facts.correct))
                       .arg(int(a.facts.revealed))
                       .arg(a.facts.responseMs);
        for (const SessionRecord& r : log.sessions)
            got << QStringLiteral("S %1 %2 %3 %4")
                       .arg(r.startedAt)
                       .arg(r.endedAt)
                       .arg(r.minutes)
                       .arg(r.lessonFiles.join('|'));
        for (const NotebookEvent& n : log.notebook)
            got << QStringLiteral("N %1 %2 %3 %4").arg(n.at).arg(n.english, n.chinese).arg(n.added);
        QCOMPARE(got, QStringList{read});
    }

    void earlierHistoryGoesIntoTheLog() {
        QTemporaryDir dir;
        const QString path = dir.filePath("vokarin.db");
        FakeMessageBoxes messages;
        {
            SqliteHistory history(path, messages, QTimeZone::utc());
            history.recordAnswer(answer("apple", Monday, true));
            history.recordAnswer(answer("pear", Monday + Minute, false));
            history.recordSession({Monday, Monday + 5 * Minute, 5, {"unit1.txt"}});
        }
        for (int start = 0; start < 2; ++start) {
            SqliteHistory history(path, messages, QTimeZone::utc(),
                                  {dir.filePath("history"), QStringLiteral("laptop")});
            history.merge();
            QVERIFY(history.settle(10000));
        }
        const LogRead log = readLog(fileBytes(dir.filePath("history/laptop.log")), 0,
                                    QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(log.answers.size(), 2);
        QCOMPARE(log.answers[1].english, QStringLiteral("pear"));
        QVERIFY(!log.answers[1].facts.correct);
        QCOMPARE(log.sessions.size(), 1);
        QCOMPARE(valueOf(path, "SELECT count(*) FROM answers WHERE device = 'laptop'").toInt(), 2);
        QVERIFY(messages.shown.isEmpty());
    }

    void recordsARun() {
        QTemporaryDir dir;
        const QString path = dir.filePath("vokarin.db");
        FakeMessageBoxes messages;
        {
            SqliteHistory history(path, messages, QTimeZone::utc());
            history.recordAnswer(answer("apple", Monday, false));             // Again: a minute
            history.recordAnswer(answer("apple", Monday + Minute, true));     // Good: ten minutes
            history.recordAnswer(answer("apple", Monday + 2 * Minute, true)); // logged only
            history.recordAnswer(answer("pear", Monday, true, 1200));         // Good
            history.recordAnswer(answer("apple", Monday + Day, true, 3000,
                                        AnswerMode::Typing)); // Easy
            history.recordSession({Monday, Monday + 20 * Minute, 20, {"unit1.txt", "unit2.txt"}});
        }
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(valueOf(path, "PRAGMA user_version").toInt(), SqliteHistory::SchemaVersion);
        QCOMPARE(valueOf(path, "PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        QCOMPARE(valueOf(path, "SELECT count(*) FROM answers").toInt(), 5);
        QCOMPARE(valueOf(path, "SELECT group_concat(correct || mode || response_ms || direction"
                               " || lesson, ' ') FROM answers")
                     .toString(),
                 QStringLiteral("0choice1500en-zhunit1.txt 1choice1500en-zhunit1.txt "
                                "1choice1500en-zhunit1.txt 1choice1200en-zhunit1.txt "
                                "1typing3000en-zhunit1.txt"));
        // Again, Good at its step, Easy the next day: three days on, the fuzz drawn (as ts-fsrs
        // 5.4.2 gives it).
        QCOMPARE(valueOf(path, "SELECT reps || '/' || state || '/' || due FROM words"
                               " WHERE english = 'apple'")
                     .toString(),
                 QStringLiteral("3/2/%1").arg(Monday + Day + 3 * Day));
        // Pear was recognised at once: Good, and the next step ten minutes later.
        QCOMPARE(valueOf(path, "SELECT due FROM words WHERE english = 'pear'").toLongLong(),
                 Monday + 10 * Minute);
        QCOMPARE(valueOf(path, "SELECT minutes || lesson_files FROM sessions").toString(),
                 QStringLiteral("20unit1.txt\nunit2.txt"));
    }

    // The day ends at the learner's midnight: 23:59 and 00:01 in Shanghai are two days there,
    // one day in UTC.
    void reviewDayFollowsTheZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("reps");
        QTest::newRow("Asia/Shanghai") << QByteArray("Asia/Shanghai") << 2;
        QTest::newRow("UTC") << QByteArray("UTC") << 1;
    }
    void reviewDayFollowsTheZone() {
        QFETCH(QByteArray, zone);
        QFETCH(int, reps);
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        const qint64 lateSunday =
            QDateTime(QDate(2026, 12, 6), QTime(15, 59), QTimeZone::utc()).toMSecsSinceEpoch();
        {
            SqliteHistory history(dir.filePath("h.db"), messages, QTimeZone(zone));
            history.recordAnswer(answer("apple", lateSunday, true));
            history.recordAnswer(answer("apple", lateSunday + 2 * Minute, true));
        }
        QCOMPARE(valueOf(dir.filePath("h.db"), "SELECT reps FROM words").toInt(), reps);

        withStatistics(dir.filePath("h.db"), QTimeZone(zone), [&](const StatisticsData& data) {
            const auto days = data.days(QDate(2026, 12, 6), QDate(2026, 12, 7));
            QCOMPARE(days[0].answers, 3 - reps);
            QCOMPARE(days[1].answers, reps - 1);
        });
    }

    void dueWordsInOrder() {
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        SqliteHistory history(dir.filePath("h.db"), messages, QTimeZone::utc());
        QVERIFY(history.dueWords(Monday, 10)->isEmpty());
        QVERIFY(!history.nextDue(Monday).value());
        history.recordAnswer(answer("easy", Monday, true, 1000, AnswerMode::Typing)); // 8 days
        history.recordAnswer(answer("again", Monday, false)); // Again: a minute
        history.recordAnswer(answer("good", Monday, true, 8000, AnswerMode::Typing)); // 10 min
        QCOMPARE(history.dueCount(Monday + Minute - 1), 0);
        QCOMPARE(history.nextDue(Monday).value(), Monday + Minute);
        QCOMPARE(history.dueCount(Monday + Minute), 1);
        QCOMPARE(history.dueCount(Monday + 10 * Minute), 2);
        const QList<DueWord> due = history.dueWords(Monday + 30 * Day, 10).value();
        QStringList order;
        for (const DueWord& word : due)
            order << word.english;
        QCOMPARE(order, QStringList({"again", "good", "easy"})); // most overdue first
        QCOMPARE(history.dueWords(Monday + 30 * Day, 2)->size(), 2);
        // What a review offers besides: the history's words, and the lessons they came from.
        QCOMPARE(history.someWords(10).size(), 3);
        QCOMPARE(history.someWords(2).size(), 2);
        QCOMPARE(history.lessonsOf({"good", "nothing"}), QStringList{"unit1.txt"});
        QVERIFY(messages.shown.isEmpty());
    }

    // A file that is not a database is kept aside and a fresh one started; a history that
    // cannot be written is told once, and answering goes on.
    void badFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("recorded");
        QTest::newRow("empty file") << "empty" << true;
        QTest::newRow("not a database") << "garbage" << true;
        QTest::newRow("folder missing") << "missing" << false;
        QTest::newRow("a folder in its place") << "folder" << false;
    }
    void badFiles() {
        QFETCH(QString, kind);
        QFETCH(bool, recorded);
        QTemporaryDir dir;
        QString path = dir.filePath("vokarin.db");
        const QByteArray junk = garbage(5000, 3);
        if (kind == "empty")
            putFile(dir, "vokarin.db", {});
        if (kind == "garbage")
            putFile(dir, "vokarin.db", junk);
        if (kind == "missing")
            path = dir.filePath("gone/vokarin.db");
        if (kind == "folder")
            QDir(dir.path()).mkdir("vokarin.db");
        FakeMessageBoxes messages;
        {
            SqliteHistory history(path, messages, QTimeZone::utc());
            for (int i = 0; i < 3; ++i)
                history.recordAnswer(answer("apple", Monday + i * Minute, true));
            QCOMPARE(history.dueCount(Monday + 30 * Day), recorded ? 1 : 0);
        }
        QCOMPARE(messages.shown.size(), kind == "empty" ? 0 : 1);
        if (recorded)
            QCOMPARE(valueOf(path, "SELECT count(*) FROM answers").toInt(), 3);
        const QStringList aside = QDir(dir.path()).entryList({"vokarin.db.corrupt-*"});
        QCOMPARE(aside.size(), kind == "garbage" ? 1 : 0);
        if (kind == "garbage") {
            QCOMPARE(fileBytes(dir.filePath(aside[0])), junk);
            QVERIFY(messages.shown[0].contains("已损坏"));
        }
    }

    // Whatever the file does, every answer ends up written, or the learner is told once;
    // nothing the learner had is deleted.
    void historyFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("told"); // in the one message, or "" for none
        QTest::addColumn<int>("aside");    // files set aside as damaged
        QTest::addColumn<int>("written");  // answers in vokarin.db afterwards, earlier ones too
        QTest::newRow("damage beyond the first page, found by an answer")
            << "damaged"
            << "已损坏，已改名保留为“vokarin.db.corrupt-" << 1 << 1;
        QTest::newRow("locked by another program, then let go") << "locked"
                                                                << "" << 0 << 4;
        QTest::newRow("locked to the end of the run") << "locked to the end"
                                                      << "还有 3 条记录没能写入" << 0 << 1;
        QTest::newRow("numbers no history holds") << "odd numbers"
                                                  << "" << 0 << 2;
        QTest::newRow("from a newer Vokarin") << "newer"
                                              << "是较新版本的 Vokarin 写的（格式 99" << 0 << 0;
        QTest::newRow("a database without the tables") << "no tables"
                                                       << "已损坏" << 1 << 1;
        QTest::newRow("a folder in its place") << "folder"
                                               << "”不是普通文件（是一个文件夹）" << 0 << 0;
    }
    void historyFaults() {
        QFETCH(QString, fault);
        QFETCH(QString, told);
        QFETCH(int, aside);
        QFETCH(int, written);
        QTemporaryDir dir;
        const QString path = dir.filePath("vokarin.db");
        FakeMessageBoxes messages;
        if (fault == "damaged" || fault == "odd numbers" || fault == "locked" ||
            fault == "locked to the end") {
            SqliteHistory earlier(path, messages, QTimeZone::utc());
            for (int i = 0; i < (fault == "damaged" ? 400 : 1); ++i)
                earlier.recordAnswer(answer(QStringLiteral("word%1").arg(i), Monday - Day, true));
        }
        if (fault == "damaged") { // the first page intact, every later one garbage
            QFile file(path);
            QVERIFY(file.size() > 3 * 4096 && file.open(QIODevice::ReadWrite));
            file.seek(4096);
            file.write(garbage(int(file.size()) - 4096, 7));
        }
        if (fault == "odd numbers")
            QVERIFY(execute(path, {"UPDATE words SET last_review = -9223372036854775808,"
                                   " reps = 2147483647, lapses = 2147483647, stability = 1e308,"
                                   " difficulty = -5, due = 9223372036854775807, state = 99"}));
        if (fault == "newer")
            QVERIFY(execute(path, {"PRAGMA user_version = 99"}));
        if (fault == "no tables")
            QVERIFY(execute(path, {"CREATE TABLE other(x)", "PRAGMA user_version = 2"}));
        if (fault == "folder")
            QDir(dir.path()).mkdir("vokarin.db");
        const QByteArray before = fileBytes(path);

        // Another program holds the write lock.
        QSqlDatabase other;
        if (fault.startsWith("locked")) {
            other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec("BEGIN IMMEDIATE"));
        }
        int left = 0;
        {
            SqliteHistory history(path, messages, QTimeZone::utc());
            const int answers = fault == "odd numbers" ? 1 : fault.startsWith("locked") ? 3 : 1;
            for (int i = 0; i < answers; ++i)
                history.recordAnswer(answer("word0", Monday + i * Minute, true));
            if (fault == "locked") {
                // A read goes ahead of answers held up by the lock: when it is back, the writer
                // has met the lock, and the answers wait (the one word due was answered the
                // day before).
                QCOMPARE(history.dueCount(Monday), 1);
                QCOMPARE(valueOf(path, "SELECT count(*) FROM answers").toInt(), 1);
                QVERIFY(QSqlQuery(other).exec("ROLLBACK"));
            }
            left = history.finish(fault == "locked to the end" ? 300 : 5000);
        }
        if (other.isValid()) {
            QSqlQuery(other).exec("ROLLBACK");
            other.close();
            other = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        }
        QCOMPARE(left, fault == "locked to the end" ? 3 : 0);
        QVERIFY2(messages.shown.size() == (told.isEmpty() ? 0 : 1),
                 qPrintable(messages.shown.join(" / ")));
        if (!told.isEmpty()) {
            QVERIFY2(messages.shown[0].contains(told), qPrintable(messages.shown[0]));
            if (fault != "locked to the end")
                QVERIFY2(messages.shown[0].contains(QDir::toNativeSeparators(path)),
                         qPrintable(messages.shown[0]));
        }
        const QStringList setAside = QDir(dir.path()).entryList({"vokarin.db.corrupt-*"});
        QCOMPARE(setAside.filter(QRegularExpression("corrupt-[0-9-]+$")).size(), aside);
        if (aside)
            QCOMPARE(fileBytes(dir.filePath(setAside.filter(QRegularExpression("[0-9]$"))[0])),
                     before);
        if (fault == "newer")
            QCOMPARE(fileBytes(path), before);
        if (fault == "folder")
            return;
        QCOMPARE(valueOf(path, "SELECT count(*) FROM answers").toInt(), written);
        if (fault == "odd numbers") // the word reviewed as a word can be: sound numbers back
            QCOMPARE(valueOf(path, "SELECT reps || ' ' || lapses || ' ' || (difficulty BETWEEN 1"
                                   " AND 10) || ' ' || (due > last_review) || ' ' || last_review"
                                   " FROM words WHERE english = 'word0'")
                         .toString(),
                     QStringLiteral("1000001 1000000 1 1 %1").arg(Monday));
    }

    // The statistics' figures, worked by hand for a small history: written by this version, and
    // worked out once from the answers of a file of an earlier version, every answer kept.
    void statisticsFigures_data() {
        QTest::addColumn<bool>("migrated");
        QTest::newRow("written as answered") << false;
        QTest::newRow("migrated from version 2") << true;
    }
    void statisticsFigures() {
        QFETCH(bool, migrated);
        QTemporaryDir dir;
        const QString path = dir.filePath("vokarin.db");
        // Monday: apple wrong, right at its step a minute later, right again (logged); pear
        // right. Tuesday: apple right, then wrong. Runs of 90 s and of 30 minutes.
        const QList<std::pair<qint64, AnswerRecord>> answers = {
            {0, answer("apple", Monday, false)},
            {1, answer("apple", Monday + Minute, true)},
            {2, answer("apple", Monday + 2 * Minute, true)},
            {3, answer("pear", Monday + 3 * Minute, true)},
            {4, answer("apple", Monday + Day, true)},
            {5, answer("apple", Monday + Day + Minute, false)},
        };
        const QList<SessionRecord> sessions = {{Monday, Monday + 90 * 1000, 1, {"unit1.txt"}},
                                               {Monday + Day, Monday + Day + 30 * Minute, 30, {}}};
        FakeMessageBoxes messages;
        if (migrated) {
            QStringList old = {
                // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): statements on many lines
                "CREATE TABLE answers (answered_at INTEGER NOT NULL, lesson TEXT NOT NULL,"
                " english TEXT NOT NULL, chinese TEXT NOT NULL, direction TEXT NOT NULL,"
                " mode TEXT NOT NULL, correct INTEGER NOT NULL, response_ms INTEGER NOT NULL)",
                "CREATE TABLE words (english TEXT NOT NULL, chinese TEXT NOT NULL,"
                " state INTEGER NOT NULL, stability REAL NOT NULL, difficulty REAL NOT NULL,"
                " due INTEGER NOT NULL, reps INTEGER NOT NULL, lapses INTEGER NOT NULL,"
                " last_review INTEGER NOT NULL, UNIQUE(english, chinese))",
                "CREATE TABLE sessions (started_at INTEGER NOT NULL, ended_at INTEGER NOT NULL,"
                " minutes INTEGER NOT NULL, lesson_files TEXT NOT NULL)",
                "CREATE TABLE notebook (english TEXT NOT NULL UNIQUE, chinese TEXT NOT NULL,"
                " added_at INTEGER NOT NULL)",
                "INSERT INTO words VALUES ('apple', 'apple的意思', 2, 1, 5, 0, 2, 0, 0),"
                " ('pear', 'pear的意思', 2, 3, 5, 0, 1, 0, 0)",
                "PRAGMA user_version = 2"};
            for (const auto& [i, a] : answers)
                old << QStringLiteral("INSERT INTO answers VALUES (%1, 'unit1.txt', '%2', '%3',"
                                      " 'en-zh', 'choice', %4, 1500)")
                           .arg(a.answeredAt)
                           .arg(a.english, a.chinese)
                           .arg(a.facts.correct ? 1 : 0);
            for (const SessionRecord& r : sessions)
                old << QStringLiteral("INSERT INTO sessions VALUES (%1, %2, %3, 'unit1.txt')")
                           .arg(r.startedAt)
                           .arg(r.endedAt)
                           .arg(r.minutes);
            QVERIFY(execute(path, old));
            SqliteHistory history(path, messages, QTimeZone::utc());
            // Opened and migrated before this returns; both words kept as the old file had them.
            QCOMPARE(history.dueCount(Monday), 2);
        } else {
            SqliteHistory history(path, messages, QTimeZone::utc());
            for (const auto& [i, a] : answers)
                history.recordAnswer(a);
            for (const SessionRecord& r : sessions)
                history.recordSession(r);
        }
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.join(" / ")));
        QCOMPARE(valueOf(path, "SELECT count(*) FROM answers").toInt(), 6);
        QCOMPARE(valueOf(path, "PRAGMA user_version").toInt(), SqliteHistory::SchemaVersion);

        withStatistics(path, QTimeZone::utc(), [&](const StatisticsData& data) {
            QCOMPARE(data.firstDay(), QDate(2026, 12, 7));
            QStringList days;
            for (const auto& d : data.days(QDate(2026, 12, 6), QDate(2026, 12, 8)))
                days << QStringLiteral("%1s %2/%3/%4")
                            .arg(d.seconds)
                            .arg(d.answers)
                            .arg(d.reviews)
                            .arg(d.right);
            QCOMPARE(days, QStringList({"0s 0/0/0", "90s 4/2/1", "1800s 2/1/1"}));
            QStringList hardest;
            for (const auto& w : data.hardestWords(5))
                hardest << QStringLiteral("%1 %2/%3/%4")
                               .arg(w.english)
                               .arg(w.forgotten)
                               .arg(w.reviews)
                               .arg(w.right);
            QCOMPARE(hardest, QStringList({"apple 1/2/1", "pear 0/1/1"}));
        });
    }

    // A word forgotten weeks after it was learnt is due again ten minutes later, the same day.
    void forgottenWordComesBackTheSameDay() {
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        SqliteHistory history(dir.filePath("h.db"), messages, QTimeZone::utc());
        history.recordAnswer(answer("apple", Monday, true));               // Good: a step
        history.recordAnswer(answer("apple", Monday + 10 * Minute, true)); // Good: days
        const qint64 later = history.nextDue(Monday + 10 * Minute).value().value();
        QVERIFY(later >= Monday + Day);
        history.recordAnswer(answer("apple", later + 20 * Day, false)); // forgotten
        QCOMPARE(history.dueCount(later + 20 * Day + 9 * Minute), 0);
        QCOMPARE(history.dueWords(later + 20 * Day + 10 * Minute, 5)->size(), 1);
        QVERIFY(messages.shown.isEmpty());
    }

    // With no history the window says what to do; Escape and Ctrl+W close it.
    void statisticsWindowCloses_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Escape") << QKeySequence(Qt::Key_Escape);
        QTest::newRow("Ctrl+W") << QKeySequence(QKeySequence::Close);
    }
    void statisticsWindowCloses() {
        QFETCH(QKeySequence, keys);
        QTemporaryDir dir;
        StatisticsWindow window({dir.filePath("vokarin.db"), dir.filePath("lesson"), nullptr,
                                 nullptr, QTimeZone::utc(), Monday});
        auto* empty = window.findChild<QLabel*>("noRecords");
        QVERIFY(empty && empty->text().startsWith("还没有学习记录"));
        QVERIFY(!window.findChild<QLabel*>("readFailure"));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keySequence(&window, keys);
        QVERIFY(!window.isVisible());
    }

    // The practice chart begins at the first day with a run, at least a week and at most
    // twelve weeks back, and says its minutes with a decimal below ten.
    void chartsBeginWithTheData_data() {
        QTest::addColumn<int>("daysBack"); // -1: no run at all
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("title");
        QTest::newRow("nothing yet") << -1 << 0 << "最近 7 天每天的练习时间（共 0.0 分钟）";
        QTest::newRow("three days ago") << 3 << 90 << "最近 7 天每天的练习时间（共 1.5 分钟）";
        QTest::newRow("twenty days ago") << 20 << 600 << "最近 21 天每天的练习时间（共 10 分钟）";
        QTest::newRow("long ago") << 200 << 600 << "最近 84 天每天的练习时间（共 0.0 分钟）";
    }
    void chartsBeginWithTheData() {
        QFETCH(int, daysBack);
        QFETCH(int, seconds);
        QFETCH(QString, title);
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        {
            SqliteHistory history(dir.filePath("vokarin.db"), messages, QTimeZone::utc());
            const qint64 start = Monday - qint64(daysBack) * Day;
            if (daysBack >= 0)
                history.recordSession({start, start + seconds * 1000LL, 0, {"unit1.txt"}});
            QCOMPARE(history.dueCount(Monday), 0); // the file made
        }
        StatisticsWindow window({dir.filePath("vokarin.db"), dir.filePath("lesson"), nullptr,
                                 nullptr, QTimeZone::utc(), Monday});
        QStringList practice;
        for (const QChartView* view : window.findChildren<QChartView*>())
            if (view->chart()->title().contains("练习时间"))
                practice << view->chart()->title();
        QCOMPARE(practice, QStringList{title});
    }

    // A history whose tables cannot be read is said to be so, not drawn as empty charts.
    void statisticsSayWhenTheyCannotBeRead() {
        QTemporaryDir dir;
        putFile(dir, "vokarin.db", garbage(5000, 11));
        StatisticsWindow window({dir.filePath("vokarin.db"), dir.filePath("lesson"), nullptr,
                                 nullptr, QTimeZone::utc(), Monday});
        auto* failure = window.findChild<QLabel*>("readFailure");
        QVERIFY(failure);
        QVERIFY2(failure->text().contains("读不出来"), qPrintable(failure->text()));
        QVERIFY(!window.findChild<QLabel*>("noRecords"));
    }

    // The hardest words (most lapses, then lowest accuracy) saved as a lesson, read back.
    void hardestWordsBecomeALesson() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("lesson");
        FakeMessageBoxes messages;
        {
            SqliteHistory history(dir.filePath("vokarin.db"), messages, QTimeZone::utc());
            for (int day = 0; day < 3; ++day) {
                history.recordAnswer(answer("lapsing", Monday + day * Day, day == 0)); // 2 lapses
                history.recordAnswer(answer("shaky", Monday + day * Day, day != 1));   // 1 lapse
                history.recordAnswer(answer("solid", Monday + day * Day, true));
            }
            history.recordAnswer(answer("solid", Monday + 2 * Day + Minute, false)); // logged
        }
        StatisticsWindow window({dir.filePath("vokarin.db"), dir.filePath("lesson"), &messages,
                                 nullptr, QTimeZone::utc(), Monday + 3 * Day});
        const QString path = window.saveHardestWords();
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("难词-20261210.txt"));
        Pairs read;
        QVERIFY(readpairs(path, 3, [&](QStringView w, QStringView m) {
                    read.append({w.toString(), m.toString()});
                    return true;
                }).ok());
        QCOMPARE(read, (Pairs{{"lapsing", "lapsing的意思"},
                              {"shaky", "shaky的意思"},
                              {"solid", "solid的意思"}}));
        QVERIFY(messages.shown.isEmpty());
    }
};

QTEST_MAIN(tst_History)
#include "tst_history.moc"
