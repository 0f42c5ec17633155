// The FSRS scheduler against reference vectors from ts-fsrs, and the automatic grading.
#include "scheduling/fsrs.h"
#include "scheduling/grading.h"
#include "scheduling/wordmemory.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>
#include <algorithm>

class tst_Scheduling final : public QObject {
    Q_OBJECT

private slots:
    // Every sequence replayed review by review: all four grades from new, each grade again
    // after the short steps, later the same day and after gaps up to a thousand days, a word
    // relearnt, and long mixed histories with reviews on the same day.
    void matchesReferenceVectors() {
        QFile file(QStringLiteral(VOKARIN_TEST_DATA "/fsrs-vectors.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray sequences = QJsonDocument::fromJson(file.readAll())["sequences"].toArray();
        QCOMPARE(sequences.size(), 146);
        int reviews = 0;
        for (const QJsonValueConstRef sequence : sequences) {
            fsrs::Memory memory;
            for (const QJsonValueConstRef value : sequence.toArray()) {
                const QJsonObject expected = value.toObject();
                const auto at = qint64(expected["at"].toDouble());
                memory = fsrs::review(memory, fsrs::Grade(expected["grade"].toInt()), at);
                const QByteArray where = QJsonDocument(expected).toJson(QJsonDocument::Compact);
                QVERIFY2(qAbs(memory.stability - expected["stability"].toDouble()) < 1e-6, where);
                QVERIFY2(qAbs(memory.difficulty - expected["difficulty"].toDouble()) < 1e-6, where);
                QCOMPARE(memory.due, qint64(expected["due"].toDouble()));
                QCOMPARE(memory.scheduledDays, expected["scheduledDays"].toInt());
                QCOMPARE(memory.reps, expected["reps"].toInt());
                QCOMPARE(memory.lapses, expected["lapses"].toInt());
                QCOMPARE(memory.state, expected["state"].toInt());
                QCOMPARE(memory.learningSteps, expected["learningSteps"].toInt());
                ++reviews;
            }
        }
        QCOMPARE(reviews, 672);
    }

    // A word's memory from its answers, without a database: every ts-fsrs sequence in which
    // each review is what the drill counts as one (a learner's day's first answer, or a short
    // step's answer once it has come) ends in the vector's last memory, whatever the order, the
    // pieces and the copies in which its answers arrive; the figures count its days by hand.
    void wordMemoryFromItsAnswers_data() {
        QTest::addColumn<QString>("arrival");
        for (const char* arrival : {"in order", "reversed", "shuffled", "each read twice",
                                    "in two pieces, the later after"})
            QTest::newRow(arrival) << arrival;
    }
    void wordMemoryFromItsAnswers() {
        QFETCH(QString, arrival);
        QFile file(QStringLiteral(VOKARIN_TEST_DATA "/fsrs-vectors.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray sequences = QJsonDocument::fromJson(file.readAll())["sequences"].toArray();
        const auto utcDay = [](qint64 ms) { return ms / 86'400'000; };
        int eligible = 0;
        for (const QJsonValueConstRef sequence : sequences) {
            const QJsonArray reviews = sequence.toArray();
            QList<TimedAnswer> answers;
            qint64 days = 0, forgotten = 0;
            bool counted = true; // every review one the drill counts
            for (qsizetype i = 0; i < reviews.size(); ++i) {
                const QJsonObject r = reviews[i].toObject();
                const auto at = qint64(r["at"].toDouble());
                const int grade = r["grade"].toInt();
                const QJsonObject last = i > 0 ? reviews[i - 1].toObject() : QJsonObject();
                const bool firstOfDay =
                    i == 0 || utcDay(at) != utcDay(qint64(last["at"].toDouble()));
                const bool stepCome = i > 0 &&
                                      (last["state"].toInt() == 1 || last["state"].toInt() == 3) &&
                                      at >= qint64(last["due"].toDouble());
                counted = counted && (firstOfDay || stepCome);
                days += firstOfDay;
                forgotten += firstOfDay && grade == 1;
                // The facts that earn the grade: wrong; typed in 25 s; chosen; typed in 2 s.
                const AnswerFacts facts =
                    grade == 1   ? AnswerFacts{false, false, 900, AnswerMode::Choice}
                    : grade == 2 ? AnswerFacts{true, false, 25000, AnswerMode::Typing}
                    : grade == 3 ? AnswerFacts{true, false, 900, AnswerMode::Choice}
                                 : AnswerFacts{true, false, 2000, AnswerMode::Typing};
                answers.append({at, i % 2 ? "desk" : "laptop", facts});
            }
            if (!counted)
                continue;
            ++eligible;
            QList<TimedAnswer> arrived = answers;
            WordMemory word;
            if (arrival == "reversed") {
                std::reverse(arrived.begin(), arrived.end());
            } else if (arrival == "shuffled" || arrival == "each read twice") {
                if (arrival == "each read twice")
                    arrived += answers;
                QRandomGenerator random{quint32(eligible)};
                std::shuffle(arrived.begin(), arrived.end(), random);
            }
            if (arrival.startsWith("in two pieces")) {
                const qsizetype half = answers.size() / 2;
                word = replayAnswers(answers.first(half), QTimeZone::utc());
                for (const TimedAnswer& a : answers.sliced(half))
                    applyAnswer(word, a.at, a.facts, QTimeZone::utc());
            } else {
                word = replayAnswers(arrived, QTimeZone::utc());
            }
            const QJsonObject expected = reviews.last().toObject();
            const QByteArray where = QJsonDocument(expected).toJson(QJsonDocument::Compact);
            QVERIFY2(qAbs(word.memory.stability - expected["stability"].toDouble()) < 1e-6, where);
            QVERIFY2(qAbs(word.memory.difficulty - expected["difficulty"].toDouble()) < 1e-6,
                     where);
            QCOMPARE(word.memory.due, qint64(expected["due"].toDouble()));
            QCOMPARE(word.memory.reps, expected["reps"].toInt());
            QCOMPARE(word.memory.lapses, expected["lapses"].toInt());
            QCOMPARE(word.memory.state, expected["state"].toInt());
            QCOMPARE(word.figures.reviews, days);
            QCOMPARE(word.figures.forgotten, forgotten);
            QCOMPARE(word.figures.right, days - forgotten);
            QCOMPARE(word.lastAnswer, qint64(expected["at"].toDouble()));
        }
        QVERIFY2(eligible >= 20, qPrintable(QString::number(eligible)));
    }

    // A few thousand answers to one word from three computers, over a year, arriving in any
    // order and some twice: the same memory as the answers once each in time order.
    void wordMemoryIgnoresArrival() {
        QRandomGenerator random(2026);
        QList<TimedAnswer> answers;
        qint64 at = 1767601800000;
        for (int i = 0; i < 3000; ++i) {
            at += random.bounded(2) ? random.bounded(600'000) : random.bounded(86'400'000 * 3);
            const char* device = i % 3 == 0 ? "a" : i % 3 == 1 ? "b" : "c";
            answers.append({at,
                            device,
                            {random.bounded(4) != 0, random.bounded(10) == 0,
                             qint64(random.bounded(30'000)), AnswerMode(random.bounded(3))}});
        }
        const WordMemory inOrder = replayAnswers(answers, QTimeZone::utc());
        QList<TimedAnswer> arrived = answers + answers.sliced(100, 900);
        std::shuffle(arrived.begin(), arrived.end(), random);
        const WordMemory any = replayAnswers(arrived, QTimeZone::utc());
        QCOMPARE(any.memory.due, inOrder.memory.due);
        QCOMPARE(any.memory.stability, inOrder.memory.stability);
        QCOMPARE(any.memory.reps, inOrder.memory.reps);
        QCOMPARE(any.figures.reviews, inOrder.figures.reviews);
        QCOMPARE(any.figures.forgotten, inOrder.figures.forgotten);
        QVERIFY(inOrder.figures.reviews > 300 && inOrder.memory.reps > inOrder.figures.reviews);
    }

    // A hundred words learnt on one morning and each reviewed (Good) when due: the fuzz spreads
    // them over neighbouring days, where one interval for all would put them on one day.
    void wordsLearntTogetherComeDueSpread() {
        constexpr qint64 Day = 86400000, Minute = 60000;
        const qint64 morning =
            QDateTime(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        QMap<qint64, int> due; // reviews per day, over the first 60
        for (int word = 0; word < 100; ++word) {
            const qint64 learnt = morning + word * Minute;
            fsrs::Memory m = fsrs::review({}, fsrs::Grade::Good, learnt);
            m = fsrs::review(m, fsrs::Grade::Good, m.due);
            while (m.due < morning + 60 * Day) {
                ++due[(m.due - morning) / Day];
                m = fsrs::review(m, fsrs::Grade::Good, m.due + (word % 7) * Minute);
            }
        }
        // The first interval, two days, is too short for fuzz; the second review of all hundred
        // would fall on one day without it.
        QCOMPARE(due.value(2), 100);
        int busiest = 0, days = 0;
        for (auto day = due.cbegin(); day != due.cend(); ++day)
            if (day.key() > 2 && day.key() < 30) {
                busiest = qMax(busiest, day.value());
                ++days;
            }
        QVERIFY2(days >= 4 && busiest <= 30,
                 qPrintable(QStringLiteral("%1 on the busiest of %2 days").arg(busiest).arg(days)));
    }

    void grading_data() {
        QTest::addColumn<bool>("correct");
        QTest::addColumn<bool>("revealed");
        QTest::addColumn<int>("ms");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("grade");
        const int choice = int(AnswerMode::Choice), typing = int(AnswerMode::Typing),
                  listening = int(AnswerMode::Listening);
        QTest::newRow("wrong, quick") << false << false << 800 << choice << 1;
        QTest::newRow("wrong after revealing") << false << true << 800 << typing << 1;
        QTest::newRow("right after revealing") << true << true << 1000 << choice << 1;
        QTest::newRow("chosen in 0.8 s") << true << false << 800 << choice << 3;
        QTest::newRow("chosen after 30 s") << true << false << 30000 << choice << 3;
        QTest::newRow("heard at once") << true << false << 1500 << listening << 3;
        QTest::newRow("typed in 5 s exactly") << true << false << 5000 << typing << 4;
        QTest::newRow("typed in 5.001 s") << true << false << 5001 << typing << 3;
        QTest::newRow("typed in 20 s exactly") << true << false << 20000 << typing << 3;
        QTest::newRow("typed in 20.001 s") << true << false << 20001 << typing << 2;
    }
    void grading() {
        QFETCH(bool, correct);
        QFETCH(bool, revealed);
        QFETCH(int, ms);
        QFETCH(int, mode);
        QFETCH(int, grade);
        QCOMPARE(int(gradeFor({correct, revealed, ms, AnswerMode(mode)})), grade);
    }

    // The learner's days of many times, their bounds kept, are the days worked out one by one:
    // in zones whose clocks skip or repeat an hour at midnight too, in time order and not.
    void learnersDaysAsWorkedOutOneByOne_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("UTC") << QByteArray("UTC");
        QTest::newRow("Shanghai") << QByteArray("Asia/Shanghai");
        QTest::newRow("Santiago: clocks change at midnight") << QByteArray("America/Santiago");
        QTest::newRow("Havana: clocks change at midnight") << QByteArray("America/Havana");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
    }
    void learnersDaysAsWorkedOutOneByOne() {
        QFETCH(QByteArray, zone);
        const QTimeZone tz(zone);
        if (!tz.isValid())
            QSKIP("this system has no such zone");
        const qint64 start =
            QDateTime(QDate(2025, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        QList<qint64> times;
        for (qint64 t = start; t < start + 800LL * 86'400'000; t += 37 * 60'000 + 13'000)
            times << t;
        QRandomGenerator random(3);
        QList<qint64> shuffled = times;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        for (const QList<qint64>& order : {times, shuffled}) {
            LearnersDays days(tz);
            for (const qint64 t : order)
                if (days.of(t) != learnersDay(t, tz))
                    QFAIL(qPrintable(QDateTime::fromMSecsSinceEpoch(t, tz).toString(Qt::ISODate)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Scheduling)
#include "tst_scheduling.moc"
