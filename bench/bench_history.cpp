// The history: one answer handed to the writer of vokarin.db (all the drill waits for), every
// answer written by it, and the statistics window opened and painted over 100,000, 1,000,000
// and 3,000,000 answers on 20,000 words.
#include "answerlogs.h"
#include "fakeplatform.h"
#include "sqlitehistory.h"
#include "statisticswindow.h"

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
        for (int i = 0; i < 3000; ++i) {
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
    // long, which works the words out again from all their answers.
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
        QVERIFY(writeBytes(logs + "/a.log", deviceLog("a", 500000, Start, span / 500000, 1)));
        QVERIFY(writeBytes(logs + "/b.log", deviceLog("b", 500000, Start + 7, span / 500000, 2)));
        FakeMessageBoxes messages;
        SqliteHistory history(dir.filePath("vokarin.db"), messages, QTimeZone::utc(),
                              {logs, QStringLiteral("this")});
        QElapsedTimer setup;
        setup.start();
        history.merge();
        QVERIFY(history.settle(600000));
        const double firstMs = setup.nsecsElapsed() / 1e6;
        QList<qint64> times;
        for (int round = 0; round < 3; ++round) {
            const QString name = QStringLiteral("c%1").arg(round);
            const qint64 first = interleaved ? Start + 13 + round : Start + span + round * Day;
            const qint64 step = interleaved ? span / 100000 : 800;
            QVERIFY(writeBytes(logs + "/" + name + ".log",
                               deviceLog(name, 100000, first, step, 3 + round)));
            QElapsedTimer timer;
            timer.start();
            history.merge();
            QVERIFY(history.settle(600000));
            times << timer.nsecsElapsed();
        }
        QVERIFY(messages.shown.isEmpty());
        std::sort(times.begin(), times.end());
        qInfo("100,000 answers merged into %s (1,000,000 merged first in %.0f ms): %.0f / %.0f / "
              "%.0f ms",
              interleaved ? "the same months" : "a later week", firstMs, times[0] / 1e6,
              times[1] / 1e6, times[2] / 1e6);
    }

    void statisticsWindow_data() {
        QTest::addColumn<int>("answers");
        QTest::newRow("100,000") << 100000;
        QTest::newRow("1,000,000") << 1000000;
        QTest::newRow("3,000,000") << 3000000;
    }
    void statisticsWindow() {
        QFETCH(int, answers);
        constexpr int Words = 20000;
        // About 1,650 answers a day: three million are five years of daily practice.
        const int days = qMax(84, answers / 1650);
        const qint64 today = Start + qint64(days) * Day;
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
            insert.prepare("INSERT INTO answers VALUES (?, 'unit.txt', ?, ?, 'en-zh', 'choice',"
                           " ?, 1800)");
            for (int i = 0; i < answers; ++i) {
                insert.addBindValue(Start + qint64(i) * days * Day / answers);
                insert.addBindValue(QStringLiteral("word%1").arg(i % Words));
                insert.addBindValue(QStringLiteral("意思%1").arg(i % Words));
                insert.addBindValue(i % 4 ? 1 : 0);
                QVERIFY(insert.exec());
            }
            insert.prepare("INSERT INTO words VALUES (?, ?, 2, ?, 5, ?, ?, ?, ?, 0, ?, ?, ?, ?)");
            for (int w = 0; w < Words; ++w) {
                const int reviews = answers / Words;
                for (const QVariant& v :
                     {QVariant(QStringLiteral("word%1").arg(w)),
                      QVariant(QStringLiteral("意思%1").arg(w)), QVariant(1.0 + w % 60),
                      QVariant(today + (w % 30) * Day), QVariant(reviews), QVariant(w % 7),
                      QVariant(today - Day), QVariant(reviews), QVariant(reviews * 3 / 4),
                      QVariant(w % 7), QVariant(QDate(2026, 9, 1).toJulianDay() + days - 1)})
                    insert.addBindValue(v);
                QVERIFY(insert.exec());
            }
            insert.prepare("INSERT INTO days VALUES (?, 'en-zh', 'choice', ?, ?, ?)");
            const int perDay = answers / days;
            for (int d = 0; d < days; ++d) {
                for (const QVariant& v :
                     {QVariant(QDate(2026, 9, 1).toJulianDay() + d), QVariant(perDay),
                      QVariant(perDay / 3), QVariant(perDay / 4)})
                    insert.addBindValue(v);
                QVERIFY(insert.exec());
            }
            insert.prepare("INSERT INTO sessions VALUES (?, ?, 20, 'unit.txt', 1200)");
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
