// The history: one answer handed to the writer of vokarin.db (all the drill waits for), every
// answer written by it, and the statistics window opened and painted over 100,000, 1,000,000
// and 3,000,000 answers on 20,000 words.
#include "answerlogs.h"
#include "benchsize.h"
#include "fakeplatform.h"
#include "records.h"
#include "sqlitehistory.h"
#include "statisticswindow.h"
#include "sync/logmerge.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

constexpr qint64 Day = 24 * 60 * 60 * 1000;
// Far enough back that every answer the benchmarks make is in the past: a log's answers more
// than a day ahead of the clock wait to be read.
const qint64 Start = QDateTime(QDate::currentDate().addDays(-200), QTime(8, 0), QTimeZone::utc())
                         .toMSecsSinceEpoch();

AnswerRecord answer(int word, qint64 at, bool correct) {
    return {at,
            QStringLiteral("unit.txt"),
            QStringLiteral("word%1").arg(word),
            QStringLiteral("意思%1").arg(word),
            false,
            {correct, false, 1800, AnswerMode::Choice}};
}

// The process's memory figure of that name (VmRSS:, VmHWM:) in KiB.
qint64 memoryKiB(const char* name) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(qsizetype(qstrlen(name))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The peak resident memory begins again from the present.
void resetPeakMemory() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// The floor of a merge of log into the history at path: its lines read in the merge's pieces,
// parsed and put in with the merge's statement, in slices as the merge's, with the file set up
// as the history sets it up; no word worked out, no day counted. Nanoseconds.
qint64 floorOf(const QString& path, const QByteArray& log) {
    qint64 elapsed = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "floor");
        db.setDatabaseName(path);
        if (!db.open())
            return -1;
        QSqlQuery query(db);
        for (const char* pragma :
             {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-65536",
              "PRAGMA wal_autocheckpoint=16384", "PRAGMA temp_store=MEMORY"})
            query.exec(QLatin1String(pragma));
        QElapsedTimer timer;
        timer.start();
        {
            historyfile::AnswerInserter insert(historyfile::handleOf(db));
            const QByteArray device =
                logDevice(log.first(qMin<qsizetype>(256, log.size()))).toUtf8();
            const MergeSlices slices;
            qint64 from = 0, inSlice = 0;
            QElapsedTimer slice;
            slice.start();
            db.transaction();
            while (from < log.size()) {
                const LogRead read =
                    readLog(QByteArrayView(log).sliced(
                                from, qMin<qint64>(slices.pieceBytes, log.size() - from)),
                            from, QDateTime::currentMSecsSinceEpoch());
                QSqlError error;
                for (const AnswerRecord& answer : read.answers)
                    insert.insert(answer, device, error);
                inSlice += read.answers.size();
                if (read.readTo <= from)
                    break;
                from = read.readTo;
                if (inSlice >= slices.records || slice.elapsed() >= slices.ms) {
                    db.commit();
                    db.transaction();
                    inSlice = 0;
                    slice.restart();
                }
            }
            db.commit();
        }
        elapsed = timer.nsecsElapsed();
    }
    QSqlDatabase::removeDatabase("floor");
    return elapsed;
}

double medianMs(QList<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2] / 1e6;
}

} // namespace

class bench_History final : public QObject {
    Q_OBJECT

private slots:
    void recordAnswer() {
        QTemporaryDir dir;
        FakeMessageBoxes messages;
        SqliteHistory history(dir.filePath("vokarin.db"), messages);
        QList<qint64> times;
        for (int i = 0; i < sized(3000); ++i) {
            QElapsedTimer timer;
            timer.start();
            history.recordAnswer(answer(i % 500, Start + i * 20000LL, i % 3 != 0));
            times << timer.nsecsElapsed();
        }
        QElapsedTimer all;
        all.start();
        QCOMPARE(history.finish(60000), 0);
        const double writtenMs = all.nsecsElapsed() / 1e6;
        QVERIFY(messages.shown.isEmpty());
        std::sort(times.begin(), times.end());
        qInfo("one answer handed over: median %.4f ms, 90th %.4f ms; the last of 3,000 answers "
              "(500 words) written %.0f ms later",
              medianMs(times), times[times.size() * 9 / 10] / 1e6, writtenMs);
    }

    // Another computer's log of 100,000 answers merged into a history of 1,000,000 (two
    // computers' logs, merged before): answers later than every one there, as when a computer
    // studied since the last sync, and answers from the same months, as when one was away for
    // long, which works the words out again from all their answers. Beside each merge, its
    // floor: the same lines read, parsed and put into a copy of the same file with the same
    // indexes and in the same slices, with no word worked out.
    void mergeALog_data() {
        QTest::addColumn<bool>("interleaved");
        QTest::newRow("later answers") << false;
        QTest::newRow("answers of the same months") << true;
    }
    void mergeALog() {
        QFETCH(bool, interleaved);
        QTemporaryDir dir;
        const QString logs = dir.filePath("history");
        QDir().mkpath(logs);
        // 1,000,000 answers over 120 days from two computers, then merged.
        const qint64 span = 120 * Day;
        const int half = sized(500000), log = sized(100000);
        QVERIFY(writeBytes(logs + "/a.log", deviceLog("a", half, Start, span / half, 1)));
        QVERIFY(writeBytes(logs + "/b.log", deviceLog("b", half, Start + 7, span / half, 2)));
        FakeMessageBoxes messages;
        const QString path = dir.filePath("vokarin.db");
        SqliteHistory history(path, messages, QTimeZone::utc(), {logs, QStringLiteral("this")});
        QElapsedTimer setup;
        setup.start();
        history.merge();
        QVERIFY(history.settle(600000));
        const double firstMs = setup.nsecsElapsed() / 1e6;
        QList<qint64> times, floors, grown;
        for (int round = 0; round < 3; ++round) {
            const QString name = QStringLiteral("c%1").arg(round);
            const qint64 first = interleaved ? Start + 13 + round : Start + span + round * Day;
            const qint64 step = interleaved ? span / log : 800;
            const QByteArray bytes = deviceLog(name, log, first, step, 3 + round);
            // The floor first, on a copy of the file as it is now.
            const QString copy = dir.filePath(QStringLiteral("floor%1.db").arg(round));
            for (const char* tail : {"", "-wal"})
                QFile::copy(path + tail, copy + tail);
            floors << floorOf(copy, bytes);
            QVERIFY(writeBytes(logs + "/" + name + ".log", bytes));
            const qint64 before = memoryKiB("VmRSS:");
            resetPeakMemory();
            QElapsedTimer timer;
            timer.start();
            history.merge();
            QVERIFY(history.settle(600000));
            times << timer.nsecsElapsed();
            grown << memoryKiB("VmHWM:") - before;
        }
        QVERIFY(messages.shown.isEmpty());
        std::sort(times.begin(), times.end());
        std::sort(floors.begin(), floors.end());
        std::sort(grown.begin(), grown.end());
        qInfo("100,000 answers merged into %s (1,000,000 merged first in %.0f ms): %.0f / %.0f / "
              "%.0f ms; floor %.0f / %.0f / %.0f ms; median %.2f x the floor; memory grown "
              "%lld / %lld / %lld KiB",
              interleaved ? "the same months" : "a later week", firstMs, times[0] / 1e6,
              times[1] / 1e6, times[2] / 1e6, floors[0] / 1e6, floors[1] / 1e6, floors[2] / 1e6,
              double(times[1]) / double(floors[1]), grown[0], grown[1], grown[2]);
    }

    void statisticsWindow_data() {
        QTest::addColumn<int>("answers");
        QTest::newRow("100,000") << sized(100000);
        QTest::newRow("1,000,000") << sized(1000000);
        QTest::newRow("3,000,000") << sized(3000000);
    }
    void statisticsWindow() {
        QFETCH(int, answers);
        const int Words = sized(20000);
        // About 1,650 answers a day: three million are five years of daily practice.
        const int days = qMax(84, answers / 1650);
        const qint64 today = Start + qint64(days) * Day;
        const qint64 firstDay =
            QDateTime::fromMSecsSinceEpoch(Start, QTimeZone::utc()).date().toJulianDay();
        QTemporaryDir dir;
        const QString path = dir.filePath("vokarin.db");
        FakeMessageBoxes messages;
        {
            // The history's own schema, then the answers and what the writer keeps of them, in
            // one go.
            {
                SqliteHistory history(path, messages, QTimeZone::utc());
                QCOMPARE(history.dueCount(Start), 0); // the file made
            }
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bulk");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            db.transaction();
            QSqlQuery insert(db);
            insert.prepare("INSERT INTO answers(answered_at, lesson, english, chinese, direction,"
                           " mode, correct, response_ms, device, revealed) VALUES (?, 'unit.txt',"
                           " ?, ?, 'en-zh', 'choice', ?, 1800, 'this', 0)");
            for (int i = 0; i < answers; ++i) {
                insert.addBindValue(Start + qint64(i) * days * Day / answers);
                insert.addBindValue(QStringLiteral("word%1").arg(i % Words));
                insert.addBindValue(QStringLiteral("意思%1").arg(i % Words));
                insert.addBindValue(i % 4 ? 1 : 0);
                QVERIFY(insert.exec());
            }
            insert.prepare("INSERT INTO words(english, chinese, state, stability, difficulty,"
                           " due, reps, lapses, last_review, learning_steps, reviews,"
                           " reviews_right, forgotten, last_day, last_answer)"
                           " VALUES (?, ?, 2, ?, 5, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?)");
            for (int w = 0; w < Words; ++w) {
                const int reviews = answers / Words;
                for (const QVariant& v :
                     {QVariant(QStringLiteral("word%1").arg(w)),
                      QVariant(QStringLiteral("意思%1").arg(w)), QVariant(1.0 + w % 60),
                      QVariant(today + (w % 30) * Day), QVariant(reviews), QVariant(w % 7),
                      QVariant(today - Day), QVariant(reviews), QVariant(reviews * 3 / 4),
                      QVariant(w % 7), QVariant(firstDay + days - 1), QVariant(today - Day)})
                    insert.addBindValue(v);
                QVERIFY(insert.exec());
            }
            insert.prepare("INSERT INTO days(day, direction, mode, answers, reviews,"
                           " reviews_right) VALUES (?, 'en-zh', 'choice', ?, ?, ?)");
            const int perDay = answers / days;
            for (int d = 0; d < days; ++d) {
                for (const QVariant& v : {QVariant(firstDay + d), QVariant(perDay),
                                          QVariant(perDay / 3), QVariant(perDay / 4)})
                    insert.addBindValue(v);
                QVERIFY(insert.exec());
            }
            insert.prepare("INSERT INTO sessions(started_at, ended_at, minutes, lesson_files,"
                           " seconds, device) VALUES (?, ?, 20, 'unit.txt', 1200, 'this')");
            for (int d = 0; d < days; ++d) {
                insert.addBindValue(Start + d * Day);
                insert.addBindValue(Start + d * Day + 1200000);
                QVERIFY(insert.exec());
            }
            QVERIFY(db.commit());
            insert = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("bulk");
        }
        QList<qint64> times;
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer timer;
            timer.start();
            StatisticsWindow window(
                {path, dir.path(), &messages, nullptr, QTimeZone::utc(), today});
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.repaint();
            times << timer.nsecsElapsed();
        }
        std::sort(times.begin(), times.end());
        qInfo("statistics window over %d answers (%d words, %d days), opened and painted: "
              "min %.1f, median %.1f, max %.1f ms",
              answers, Words, days, times.first() / 1e6, medianMs(times), times.last() / 1e6);
    }
};

QTEST_MAIN(bench_History)
#include "bench_history.moc"
