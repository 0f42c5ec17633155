// The FSRS scheduler against reference vectors from ts-fsrs, and the automatic grading.
#include "scheduling/fsrs.h"
#include "scheduling/grading.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(tst_Scheduling)
#include "tst_scheduling.moc"
