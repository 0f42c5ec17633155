// The end of a run: the new-word notebook, practice minutes, auto-browse and "太棒了！".
#include "drill/notebook.h"
#include "windowharness.h"
#include "windows/endoflessondialog.h"

#include <QPushButton>
#include <QTimer>

namespace {

Form3* endDialog(const Harness& h) {
    return h.window->findChild<Form3*>("Form3");
}

QPushButton* endButton(const Harness& h, int index) {
    return endDialog(h)->findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(index));
}

} // namespace

class tst_EndOfRun final : public QObject {
    Q_OBJECT

private slots:
    void notebookKeepsTheFirstOfEachWord() {
        Notebook notebook;
        QVERIFY(notebook.add("bank", "银行"));
        QVERIFY(!notebook.add("bank", "河岸"));
        QVERIFY(notebook.add("Bank", "河岸")); // case counts
        for (int i = 0; i < 120; ++i)
            notebook.add(QStringLiteral("w%1").arg(i), "x");
        QCOMPARE(notebook.count(), 100);
        QCOMPARE(notebook.entries().first(), (WordPair{"bank", "银行"}));
        QCOMPARE(notebook.entries().last().word, QStringLiteral("w97"));
        QVERIFY(!notebook.add("w200", "x"));
    }

    void nothingIsCollectedWhileReviewing() {
        Harness h(nullptr, false);
        h.lesson("scb.txt", {{"apple", "苹果"}, {"pear", "梨"}});
        h.start();
        QVERIFY(h.engine().reviewingNotebook());
        for (int i = 0; i < 3; ++i)
            h.answerWrong();
        QCOMPARE(h.window->notebook().count(), 0);
    }

    void notebookFileAcrossSelections() {
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 1; }));
        const QString notebook = h.module.notebookPath();
        const QByteArray earlier = "\"old\",\"旧\"\r\n\"older\",\"更旧\"\r\n";
        putFile(h.dir, "lesson/scb.txt", earlier);
        h.lesson("one.txt", {{"apple", "苹果"}, {"pear", "梨"}});
        h.lesson("two.txt", {{"red", "红色的,红"}, {"blue", "蓝色的"}, {"green", "绿色的"}});

        h.study({QDir(h.module.lessonFolder()).filePath("one.txt")});
        h.missThenLearn({"pear"});
        QCOMPARE(h.window->notebook().count(), 1);
        QCOMPARE(fileBytes(notebook), earlier); // one word is not written
        QVERIFY(endDialog(h));

        h.study({QDir(h.module.lessonFolder()).filePath("two.txt")});
        h.missThenLearn({"red", "green"});
        QCOMPARE(fileBytes(notebook),
                 "\"pear\",\"" + QByteArray::fromHex("C0E6") + "\"\r\n\"red\",\"" +
                     QByteArray::fromHex("BAECC9ABB5C42CBAEC") + "\"\r\n\"green\",\"" +
                     QByteArray::fromHex("C2CCC9ABB5C4") + "\"\r\n");
    }

    void reversedDirectionStillWritesWordFirst() {
        Harness h(settingsWith([](SettingsRecord& s) {
            s.InitialUnfamiliarity = 1;
            s.TranslationDirection = VbFalse;
        }));
        h.study({h.lesson("a.txt", {{"apple", "苹果"}, {"pear", "梨"}})});
        QCOMPARE(h.question(), QStringLiteral("苹果"));
        h.missThenLearn({"apple", "pear"});
        Pairs saved;
        qint32 lines = 0;
        QVERIFY(countlines(h.module.notebookPath(), lines).ok());
        QVERIFY(readpairs(h.module.notebookPath(), lines, [&](QStringView w, QStringView m) {
                    saved.append({w.toString(), m.toString()});
                    return true;
                }).ok());
        QCOMPARE(saved, (Pairs{{"apple", "苹果"}, {"pear", "梨"}}));
    }

    void unwritableNotebookIsToldAndTheRunGoesOn() {
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 1; }));
        // A lesson outside the application folder, and no lesson folder for the notebook.
        QTemporaryDir elsewhere;
        const QString path = elsewhere.filePath("a.txt");
        QVERIFY(writepairs(path, {{"apple", "苹果"}, {"pear", "梨"}}).ok());
        h.study({path});
        h.fakes.clock.time = QTime(9, 5, 0);
        h.missThenLearn({"apple", "pear"});
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY(h.fakes.messages.shown[0].startsWith("生词没能存进生词本："));
        QCOMPARE(h.engine().practiceMinutes(), 5);
        QVERIFY(endDialog(h));
    }

    void savedWhenTheWindowCloses_data() {
        QTest::addColumn<QStringList>("missed");
        QTest::addColumn<bool>("written");
        QTest::newRow("two words") << QStringList{"apple", "pear"} << true;
        QTest::newRow("one word") << QStringList{"apple"} << false;
    }
    void savedWhenTheWindowCloses() {
        QFETCH(QStringList, missed);
        QFETCH(bool, written);
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 3; }));
        h.study({h.lesson("a.txt", {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}})});
        while (h.window->notebook().count() < missed.size())
            h.answerOnce(missed);
        QVERIFY(h.engine().questionOpen()); // the lesson is not finished
        h.window->close();
        QCOMPARE(QFileInfo::exists(h.module.notebookPath()), written);
    }

    void autoBrowseTicks_data() {
        QTest::addColumn<qint16>("autoBrowse");
        QTest::addColumn<qint16>("listening");
        QTest::addColumn<bool>("load");
        QTest::addColumn<bool>("advances");
        QTest::newRow("on") << VbTrue << VbFalse << true << true;
        QTest::newRow("off") << VbFalse << VbFalse << true << false;
        QTest::newRow("listening") << VbTrue << VbTrue << true << false;
        QTest::newRow("no question") << VbTrue << VbFalse << false << false;
    }
    void autoBrowseTicks() {
        QFETCH(qint16, autoBrowse);
        QFETCH(qint16, listening);
        QFETCH(bool, load);
        QFETCH(bool, advances);
        Harness h(settingsWith([&](SettingsRecord& s) {
            s.AutoBrowse = autoBrowse;
            s.ListeningMode = listening;
            s.AutoBrowseSpeed = 2;
            s.ReadCount = 3;
        }));
        QCOMPARE(h.window->findChild<QTimer*>("Timer1")->interval(), 6000);
        if (load)
            h.study({h.lesson("a.txt", {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}})});
        h.window->Timer1_Timer();
        if (!load) {
            QVERIFY(h.fakes.sound.played.isEmpty());
            QVERIFY(h.fakes.speech.calls.filter("speak").isEmpty());
            return;
        }
        QCOMPARE(h.engine().row(1).unfamiliarity, advances ? 1 : 2);
        QCOMPARE(h.module.Settings.ChoiceCount, advances ? 1 : 3);
        QVERIFY(h.fakes.sound.played.isEmpty());
        if (advances) { // the next question carries its answer alone, without a number
            QCOMPARE(h.choice(1)->text(), h.rightAnswer());
            QVERIFY(h.choice(2)->text().isEmpty());
            QVERIFY(h.number(1)->isHidden());
        }
    }

    void endOfLessonDialog() {
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 1; }));
        h.study({h.lesson("a.txt", {{"a", "甲"}, {"b", "乙"}})});
        h.answerRight();
        h.answerRight();
        Form3* form = endDialog(h);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("太棒了！"));
        QCOMPARE(form->size(), QSize(toPixels(4260), toPixels(1500)));
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        const QStringList captions = {"再来一遍", "其它课程", "不练了！"};
        const int lefts[] = {360, 1680, 3000};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(endButton(h, i)->text(), captions[i]);
            QCOMPARE(endButton(h, i)->geometry(),
                     QRect(toPixels(lefts[i]), toPixels(480), toPixels(900), toPixels(495)));
        }
        QCOMPARE(endButton(h, 0)->nextInFocusChain(), endButton(h, 1));
    }

    // In typing mode a lesson started again shows the typing box with the focus, whichever
    // way it is started again.
    void typingBoxAfterRepeat_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("how");
        QTest::newRow("once more, one file") << 1 << "button";
        QTest::newRow("once more, two files") << 2 << "button";
        QTest::newRow("key R after the end") << 1 << "R";
    }
    void typingBoxAfterRepeat() {
        QFETCH(int, files);
        QFETCH(QString, how);
        Harness h(settingsWith([](SettingsRecord& s) {
            s.InitialUnfamiliarity = 1;
            s.ChoiceMode = VbFalse;
        }));
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QStringList paths;
        for (int i = 0; i < files; ++i)
            paths << h.lesson(QStringLiteral("f%1.txt").arg(i), {{"a", "甲"}, {"b", "乙"}});
        h.study(paths);
        while (h.engine().questionOpen())
            h.engine().answerTyped(h.rightAnswer());
        QVERIFY(!h.typingBox()->isVisible());
        if (how == "button") {
            endButton(h, 0)->click();
        } else {
            endDialog(h)->close();
            QTest::keyClick(h.window.get(), Qt::Key_R);
        }
        QVERIFY(h.engine().questionOpen());
        QVERIFY(h.typingBox()->isVisible());
        QTRY_VERIFY(h.typingBox()->hasFocus());
        const QString status = h.status();
        h.typingBox()->setText(h.rightAnswer());
        QTest::keyClick(h.typingBox(), Qt::Key_Return);
        QVERIFY(h.status() != status); // judged: one word fewer to go
    }

    void buttons_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer"); // for "不练了！": 1 Yes, 0 No
        QTest::addColumn<QString>("outcome");
        QTest::newRow("once more, one file") << 1 << 0 << -1 << "repeat";
        QTest::newRow("once more, two files") << 2 << 0 << -1 << "reload";
        QTest::newRow("other lessons") << 2 << 1 << -1 << "chooser";
        QTest::newRow("stop? yes, one file") << 1 << 2 << 1 << "repeat";
        QTest::newRow("stop? yes, two files") << 2 << 2 << 1 << "reload";
        QTest::newRow("stop? no") << 2 << 2 << 0 << "closed";
    }
    void buttons() {
        QFETCH(int, files);
        QFETCH(int, button);
        QFETCH(int, answer);
        QFETCH(QString, outcome);
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 1; }));
        h.window->show();
        QStringList paths;
        for (int i = 0; i < files; ++i)
            paths << h.lesson(QStringLiteral("f%1.txt").arg(i), {{"a", "甲"}, {"b", "乙"}});
        h.fakes.clock.time = QTime(9, 58, 40);
        h.study(paths);
        h.fakes.clock.time = QTime(10, 1, 10);
        while (h.engine().questionOpen())
            h.answerRight();
        QCOMPARE(h.engine().practiceMinutes(), 2);
        QCOMPARE(h.engine().practiceEnd(), QTime(10, 1, 10));
        if (answer >= 0)
            h.fakes.messages.answers.push_back(answer ? MessageBoxes::Answer::Yes
                                                      : MessageBoxes::Answer::No);
        endButton(h, button)->click();

        if (button == 2)
            QCOMPARE(h.fakes.messages.shown, QStringList{"才练了2分钟,再练一会吧！"});
        QTRY_VERIFY(!endDialog(h));
        QCOMPARE(h.engine().questionOpen(), outcome == "repeat" || outcome == "reload");
        QCOMPARE(h.engine().currentFileIndex(), outcome == "closed" ? files - 1 : 0);
        // Reloading the first file starts the clock again; repeating one file does not.
        QCOMPARE(h.engine().practiceStart(),
                 outcome == "reload" ? QTime(10, 1, 10) : QTime(9, 58, 40));
        QCOMPARE(h.window->findChild<QWidget*>("Formopen") != nullptr, outcome == "chooser");
        QCOMPARE(h.window->isVisible(), outcome != "closed");
    }
};

QTEST_MAIN(tst_EndOfRun)
#include "tst_endofrun.moc"
