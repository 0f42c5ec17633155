// The history: one answer handed to the writer of vokarin.db (all the drill waits for), every
// answer written by it, and the statistics
// window opened and painted over 100,000 logged answers.
#include "fakeplatform.h"
#include "sqlitehistory.h"
#include "statisticswindow.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

constexpr qint64 Day = 24 * 60 * 60 * 1000;
const qint64 Start =
    QDateTime(QDate(2026, 9, 1), QTime(8, 0), QTimeZone::utc()).toMSecsSinceEpoch();

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

    void statisticsWindow() {
        QTemporaryDir dir;
        const QString path = dir.filePath("vokarin.db");
        FakeMessageBoxes messages;
        {
            // The history's own schema, then 100,000 answers in one go.
            {
                SqliteHistory history(path, messages, QTimeZone::utc());
                for (int word = 0; word < 2000; ++word)
                    history.recordAnswer(answer(word, Start + word, true));
            }
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bulk");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            db.transaction();
            QSqlQuery insert(db);
            insert.prepare("INSERT INTO answers VALUES (?, 'unit.txt', ?, ?, 'en-zh', 'choice',"
                           " ?, 1800)");
            for (int i = 0; i < 98000; ++i) {
                insert.addBindValue(Start + (i % 84) * Day + i);
                insert.addBindValue(QStringLiteral("word%1").arg(i % 2000));
                insert.addBindValue(QStringLiteral("意思%1").arg(i % 2000));
                insert.addBindValue(i % 4 ? 1 : 0);
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
                {path, dir.path(), &messages, nullptr, QTimeZone::utc(), Start + 84 * Day});
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.repaint();
            times << timer.nsecsElapsed();
        }
        qInfo("statistics window over 100,000 answers, opened and painted: median %.1f ms",
              medianMs(times));
    }
};

QTEST_MAIN(bench_History)
#include "bench_history.moc"
