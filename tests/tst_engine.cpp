// The drill engine on its own: no widgets, a recording view and fake services.
#include "drill/command.h"
#include "drill/drillengine.h"
#include "drill/practicetime.h"
#include "drill/unlearnedrows.h"
#include "fakeplatform.h"
#include "module1.h"
#include "recordingview.h"
#include "settings/settingsfile.h"
#include "testfiles.h"

#include <QRandomGenerator>
#include <QSet>
#include <numeric>

namespace {

const Pairs Fruit = {{"apple", "苹果"}, {"pear", "梨"}, {"peach", "桃子"}};

// An engine on a temporary application folder, its settings as the program reads them.
struct Drill {
    explicit Drill(const SettingsRecord& settings = {}) {
        module.Settings = decodeSettings(encodeSettings(settings));
        module.SavedChoiceCount = module.Settings.ChoiceCount;
        module.SpeechObject = &fakes.speech;
    }
    QString lesson(const QString& name, const Pairs& pairs) {
        return writeLesson(module, name, pairs);
    }
    void study(const QStringList& paths) { engine.lessonsChosen(paths); }
    void answerRight() { engine.dispatch(Command::ClickChoice, engine.answerSlot()); }
    void answerWrong() { engine.dispatch(Command::ClickChoice, engine.answerSlot() == 1 ? 2 : 1); }

    QTemporaryDir dir;
    Module1 module{dir.path()};
    FakePlatform fakes;
    RecordingView view;
    DrillEngine engine{module, fakes.platform, view};
};

} // namespace

class tst_Engine final : public QObject {
    Q_OBJECT

private slots:
    // The rows left to learn against a plain ascending list, taking rows out at random
    // (some twice), down to none.
    void unlearnedRowsKeepLessonOrder_data() {
        QTest::addColumn<int>("rows");
        for (int rows : {1, 2, 7, 8, 9, 1000})
            QTest::newRow(qPrintable(QString::number(rows))) << rows;
    }
    void unlearnedRowsKeepLessonOrder() {
        QFETCH(int, rows);
        UnlearnedRows unlearned;
        unlearned.reset(rows);
        QList<qint32> model(rows);
        std::iota(model.begin(), model.end(), 1);
        QRandomGenerator random{quint32(rows)};
        while (!model.isEmpty()) {
            QCOMPARE(unlearned.size(), model.size());
            for (int probe = 0; probe < 3; ++probe) {
                const int index = int(random.bounded(int(model.size())));
                QCOMPARE(unlearned.at(index), model[index]);
            }
            QCOMPARE(unlearned.at(0), model.front());
            QCOMPARE(unlearned.at(qint32(model.size()) - 1), model.back());
            const qint32 number = 1 + qint32(random.bounded(rows));
            unlearned.remove(number);
            model.removeOne(number);
        }
        QCOMPARE(unlearned.size(), 0);
    }

    void coefficientArithmetic_data() {
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<QString>("answers"); // R right, W wrong, all on the first row
        QTest::addColumn<int>("coefficient");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("alarms");
        QTest::newRow("right at first sight is learned") << 1 << 2 << "R" << 0 << 2 << 0;
        QTest::newRow("one wrong: 1 + 2 + 1") << 1 << 2 << "W" << 4 << 3 << 1;
        QTest::newRow("two wrong: 7") << 1 << 2 << "WW" << 7 << 3 << 2;
        QTest::newRow("wrong then right") << 3 << 2 << "WR" << 5 << 3 << 1;
        QTest::newRow("right lowers by one") << 3 << 1 << "R" << 2 << 3 << 0;
        QTest::newRow("zero start still needs one right") << 0 << 2 << "R" << 0 << 2 << 0;
    }
    void coefficientArithmetic() {
        QFETCH(int, initial);
        QFETCH(int, repeat);
        QFETCH(QString, answers);
        QFETCH(int, coefficient);
        QFETCH(int, remaining);
        QFETCH(int, alarms);
        Drill d(settingsWith([&](SettingsRecord& s) {
            s.InitialUnfamiliarity = initial;
            s.WrongRepeatCount = repeat;
        }));
        d.study({d.lesson("fruit.txt", Fruit)}); // random 0: always row 1 while unlearned
        for (const QChar a : answers) {
            QCOMPARE(d.engine.currentWord(), 1);
            a == u'R' ? d.answerRight() : d.answerWrong();
        }
        QCOMPARE(d.engine.row(1).unfamiliarity, coefficient);
        QCOMPARE(d.engine.remainingCount(), remaining);
        QCOMPARE(d.fakes.sound.played.size(), alarms);
        if (alarms > 0)
            QCOMPARE(d.fakes.sound.played.first(), d.dir.filePath("ERROR.wav"));
    }

    void choicesAreAlwaysDistinct_data() {
        QTest::addColumn<Pairs>("pairs");
        QTest::addColumn<int>("choices");
        QTest::addColumn<int>("shown");
        QTest::newRow("two rows share a meaning")
            << Pairs{{"a", "X"}, {"b", "X"}, {"c", "Y"}, {"d", "Z"}, {"e", "W"}} << 4 << 4;
        QTest::newRow("fewer different meanings than choices")
            << Pairs{{"a", "X"}, {"b", "X"}, {"c", "Y"}} << 3 << 2;
        QTest::newRow("all the same meaning") << Pairs{{"a", "X"}, {"b", "X"}} << 2 << 1;
    }
    void choicesAreAlwaysDistinct() {
        QFETCH(Pairs, pairs);
        QFETCH(int, choices);
        QFETCH(int, shown);
        Drill d(settingsWith([&](SettingsRecord& s) { s.ChoiceCount = choices; }));
        d.study({d.lesson("same.txt", pairs)});
        // Real randomness: many questions, none with a text shown twice.
        QRandomGenerator generator(42);
        for (int question = 0; question < 200; ++question) {
            const QStringList texts = d.view.choicesShown();
            const QString right = d.engine.row(d.engine.currentWord()).answer;
            QCOMPARE(texts.size(), shown);
            QCOMPARE(QSet<QString>(texts.begin(), texts.end()).size(), texts.size());
            QCOMPARE(d.view.choices[d.engine.answerSlot()], right);
            d.fakes.random.values = {generator.generateDouble(), generator.generateDouble(),
                                     generator.generateDouble(), generator.generateDouble(),
                                     generator.generateDouble(), generator.generateDouble()};
            d.engine.dispatch(Command::Repeat);
        }
    }

    void whatIsSpoken_data() {
        QTest::addColumn<qint16>("direction");
        QTest::addColumn<qint16>("listening");
        QTest::addColumn<int>("reads");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("spoken");
        QTest::newRow("normal, read twice") << VbTrue << VbFalse << 2 << "apple" << 2;
        QTest::newRow("reversed: silent") << VbFalse << VbFalse << 2 << "苹果" << 0;
        QTest::newRow("reversed, listening") << VbFalse << VbTrue << 3 << "" << 3;
        QTest::newRow("listening: only heard") << VbTrue << VbTrue << 1 << "" << 1;
        QTest::newRow("read count 0 is read as 1") << VbTrue << VbFalse << 0 << "apple" << 1;
    }
    void whatIsSpoken() {
        QFETCH(qint16, direction);
        QFETCH(qint16, listening);
        QFETCH(int, reads);
        QFETCH(QString, shown);
        QFETCH(int, spoken);
        Drill d(settingsWith([&](SettingsRecord& s) {
            s.TranslationDirection = direction;
            s.ListeningMode = listening;
            s.ReadCount = reads;
        }));
        d.study({d.lesson("fruit.txt", Fruit)});
        QCOMPARE(d.view.question, shown);
        // The word of the file is spoken, whichever way round the drill goes.
        QCOMPARE(d.fakes.speech.calls.count("speak apple 144"), spoken);
        QCOMPARE(d.fakes.speech.calls.filter("speak").size(), spoken);
        QCOMPARE(d.view.choices[d.engine.answerSlot()],
                 direction == VbTrue ? QStringLiteral("苹果") : QStringLiteral("apple"));
    }

    void notebookThreshold_data() {
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<int>("wrongs");
        QTest::addColumn<int>("collected");
        QTest::newRow("4 is not above 2 x 2") << 1 << 2 << 1 << 0;
        QTest::newRow("7 is") << 1 << 2 << 2 << 1;
        QTest::newRow("6 at once") << 3 << 2 << 1 << 1;
        QTest::newRow("a repeated miss is kept once") << 3 << 2 << 3 << 1;
        QTest::newRow("repeat 1: 3 is above 2") << 1 << 1 << 1 << 1;
    }
    void notebookThreshold() {
        QFETCH(int, initial);
        QFETCH(int, repeat);
        QFETCH(int, wrongs);
        QFETCH(int, collected);
        Drill d(settingsWith([&](SettingsRecord& s) {
            s.InitialUnfamiliarity = initial;
            s.WrongRepeatCount = repeat;
        }));
        d.study({d.lesson("a.txt", {{"apple", "苹果"}, {"pear", "梨"}})});
        for (int i = 0; i < wrongs; ++i)
            d.answerWrong();
        QCOMPARE(d.engine.notebook().count(), collected);
        if (collected)
            QCOMPARE(d.engine.notebook().entries().first(), (WordPair{"apple", "苹果"}));
    }

    void practiceMinutes_data() {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<int>("minutes");
        QTest::newRow("both borrows") << QTime(9, 58, 40) << QTime(10, 1, 10) << 2;
        QTest::newRow("seconds borrow") << QTime(10, 0, 50) << QTime(10, 5, 10) << 4;
        QTest::newRow("under a minute") << QTime(10, 0, 0) << QTime(10, 0, 59) << 0;
        QTest::newRow("same second") << QTime(8, 0, 0) << QTime(8, 0, 0) << 0;
        QTest::newRow("hours") << QTime(8, 15, 0) << QTime(10, 20, 30) << 125;
        QTest::newRow("past midnight") << QTime(23, 59, 0) << QTime(0, 1, 30) << 2;
        QTest::newRow("two hours over midnight") << QTime(23, 0, 0) << QTime(1, 0, 0) << 120;
        QTest::newRow("seconds short over midnight") << QTime(23, 59, 50) << QTime(0, 0, 10) << 0;
    }
    void practiceMinutes() {
        QFETCH(QTime, start);
        QFETCH(QTime, end);
        QFETCH(int, minutes);
        QCOMPARE(::practiceMinutes(start, end), minutes);
    }

    void autoBrowseInterval_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("reads");
        QTest::addColumn<int>("interval");
        QTest::newRow("defaults") << 3 << 1 << 3000;
        QTest::newRow("slowest the dialog allows") << 5 << 5 << 25000;
        QTest::newRow("past the 16-bit product") << 33 << 1 << 33000;
        QTest::newRow("zero speed keeps a second") << 0 << 1 << 1000;
        QTest::newRow("negative read count") << 2 << -5 << 1000;
        QTest::newRow("beyond int") << 32767 << 32767 << std::numeric_limits<int>::max();
    }
    void autoBrowseInterval() {
        QFETCH(int, speed);
        QFETCH(int, reads);
        QFETCH(int, interval);
        SettingsRecord s;
        s.AutoBrowseSpeed = qint16(speed);
        s.ReadCount = reads;
        QCOMPARE(::autoBrowseInterval(s), interval);
    }

    // Every question brings the window to the top, the first and each one after it.
    void eachQuestionBringsTheWindowToTheTop() {
        Drill d;
        d.study({d.lesson("fruit.txt", Fruit)});
        QCOMPARE(d.view.broughtToTop, 1);
        d.answerRight();
        QCOMPARE(d.view.broughtToTop, 2);
        d.answerWrong(); // the question stays
        QCOMPARE(d.view.broughtToTop, 2);
    }

    // The window lays the area out only from what the drill gives it: the run's own changes
    // (auto-browse's single choice, the switch to typing) reach it as arguments.
    void theViewIsGivenWhatItLaysOut_data() {
        QTest::addColumn<QString>("steps"); // t auto-browse tick, s switch answer mode
        QTest::addColumn<bool>("autoBrowse");
        QTest::addColumn<int>("choices");
        QTest::addColumn<bool>("typing");
        QTest::newRow("a question") << "" << false << 4 << false;
        QTest::newRow("auto-browse shows one choice") << "t" << true << 1 << false;
        QTest::newRow("switched to typing") << "s" << false << 4 << true;
        QTest::newRow("and back to choosing") << "ss" << false << 4 << false;
    }
    void theViewIsGivenWhatItLaysOut() {
        QFETCH(QString, steps);
        QFETCH(bool, autoBrowse);
        QFETCH(int, choices);
        QFETCH(bool, typing);
        Drill d(settingsWith([&](SettingsRecord& s) {
            s.ChoiceCount = 4;
            s.AutoBrowse = autoBrowse ? VbTrue : VbFalse;
            s.HoverColor = QStringLiteral("255");
        }));
        d.study({d.lesson("fruit.txt", Fruit + Pairs{{"plum", "李子"}, {"fig", "无花果"}})});
        for (const QChar step : steps)
            step == u't' ? d.engine.autoBrowseTick() : d.engine.dispatch(Command::SwitchAnswerMode);
        QCOMPARE(d.view.area.choiceCount, choices);
        QCOMPARE(d.view.area.typing, typing);
        QCOMPARE(d.view.area.autoBrowse, autoBrowse);
        QCOMPARE(d.view.area.hoverColour, 255u);
    }

    // The end-of-lesson dialog is told the minutes practised.
    void theEndOfTheSelectionGivesItsMinutes() {
        Drill d;
        d.fakes.clock.time = QTime(9, 0);
        d.study({d.lesson("a.txt", {{"a", "甲"}, {"b", "乙"}})});
        d.fakes.clock.time = QTime(9, 7, 30);
        for (int guard = 0; d.engine.questionOpen() && guard < 10; ++guard)
            d.answerRight();
        QCOMPARE(d.view.shown.last(), QStringLiteral("end of lesson"));
        QCOMPARE(d.view.practiceMinutes, 7);
    }

    // A blank record in the notebook ends the review: what follows is an ordinary lesson.
    void blankRecordEndsTheReview() {
        Drill d;
        putFile(d.dir, "lesson/scb.txt", "\"old\",\"旧\"\r\n\r\n\"words\",\"词\"\r\n");
        d.engine.startUp();
        QVERIFY(!d.engine.reviewingNotebook());
        QVERIFY(!d.engine.questionOpen());
        QCOMPARE(d.fakes.messages.shown.size(), 1);
        QVERIFY(d.fakes.messages.shown[0].contains("行有空词"));
        QCOMPARE(d.view.caption, QStringLiteral("Vokarin2.0"));
    }

    // A history that has not answered yet (busy merging another computer's answers) is never
    // taken for one that has nothing: the window says what it waits for, D waits too, the
    // notebook words of an earlier run that was killed stay for the next start, and a close
    // clears only the words it saved. Once the history answers, the due count follows.
    void aLateHistoryIsNeverTakenForNone_data() {
        QTest::addColumn<QString>("act");
        QTest::newRow("start-up") << "start";
        QTest::newRow("D") << "D";
        QTest::newRow("a run closed") << "close";
    }
    void aLateHistoryIsNeverTakenForNone() {
        QFETCH(QString, act);
        Drill d(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 3; }));
        const qint64 now = d.fakes.clock.epochMs();
        d.fakes.history.due = {{"cat", "猫", now - 1000}, {"dog", "狗", now - 500}};
        d.fakes.history.kept = {{"old", "旧"}, {"older", "更旧"}}; // a killed run's words
        d.fakes.history.late = true;
        d.engine.startUp();
        QCOMPARE(d.view.status, QStringLiteral("正在合并别的电脑的答题记录……"));
        QVERIFY(d.view.reviewTip.contains("正在合并"));
        QVERIFY(!QFileInfo::exists(d.module.notebookPath()));
        if (act == "D") {
            d.engine.dispatch(Command::ReviewDue);
            QVERIFY(!d.engine.questionOpen());
            QCOMPARE(d.fakes.messages.shown.size(), 1);
            QVERIFY(d.fakes.messages.shown[0].contains("请稍后再按 D"));
        }
        if (act == "close") {
            d.study({d.lesson("fruit.txt", Fruit)});
            // Each word missed once until two are in the notebook.
            QSet<QString> missed;
            for (int i = 0; i < 40 && d.engine.notebook().count() < 2; ++i) {
                if (!missed.contains(d.engine.row(d.engine.currentWord()).fileWord)) {
                    missed.insert(d.engine.row(d.engine.currentWord()).fileWord);
                    d.answerWrong();
                }
                d.answerRight();
            }
            d.engine.mainWindowClosing();
            QCOMPARE(d.engine.notebook().count(), 2);
            QVERIFY(fileBytes(d.module.notebookPath()).contains("\",\""));
        }
        // The words of the killed run are still kept, whatever this run saved.
        QCOMPARE(d.fakes.history.kept.size(), 2);
        d.fakes.history.late = false;
        d.engine.historyChanged();
        if (!d.engine.questionOpen())
            QCOMPARE(d.view.status, QStringLiteral("今天有 2 个单词该复习了，按 D 开始"));
        QCOMPARE(d.view.reviewTip, QStringLiteral("今日复习(D)：2 个单词该复习了"));
    }
};

QTEST_GUILESS_MAIN(tst_Engine)
#include "tst_engine.moc"
