// The drill through a real main window, with fake services and a scripted random generator.
#include "lessons/flashcardpackage.h"
#include "lessons/pronunciations.h"
#include "lessons/wordlists.h"
#include "windowharness.h"
#include "windows/settingsdialog.h"
#include "zipfiles.h"

#include <QAction>
#include <QCryptographicHash>
#include <QInputMethodEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

namespace {

const Pairs Fruit = {{"apple", "苹果"}, {"pear", "梨"}, {"peach", "桃子"}};

QString statusLine(int total, int remaining, int coefficient) {
    return QStringLiteral("共计 %1      剩余 %2       生疏系数  %3")
        .arg(total)
        .arg(remaining)
        .arg(coefficient);
}

QStringList shownChoices(const Harness& h) {
    QStringList shown;
    for (int i = 1; i <= 5; ++i)
        if (!h.choice(i)->text().isEmpty())
            shown << h.choice(i)->text();
    return shown;
}

// A package reader that hands over notes and recordings as they are.
class GivenPackage final : public PackageReader {
public:
    FileResult readNotes(const QByteArray&, const QString&, PackageNotes& notes) override {
        notes = {{"Front", "Back"}, this->notes};
        return FileResult::success();
    }
    FileResult readMedia(const QByteArray&, const QString&, const QStringList& names,
                         QHash<QString, QByteArray>& found) override {
        for (const QString& name : names)
            if (media.contains(name))
                found.insert(name, media[name]);
        return FileResult::success();
    }
    FileResult readSheet(const QByteArray&, const QString&, QList<QStringList>&) override {
        return FileResult::success();
    }
    void stop() override {}
    QList<QStringList> notes;
    QHash<QString, QByteArray> media;
};

} // namespace

class tst_Drill final : public QObject {
    Q_OBJECT

private slots:
    void firstQuestion() {
        Harness h;
        const QString path = h.lesson("fruit.txt", Fruit);
        // Row 2 of 3, the answer at position 2, then distractors rows 1 and 3.
        h.fakes.random.values = {0.5, 0.4, 0.0, 0.9};
        h.study({path});
        QCOMPARE(h.window->windowTitle(), " Vokarin2.0 :正在学习" + path);
        QCOMPARE(h.question(), QStringLiteral("pear"));
        QCOMPARE(h.choice(1)->text(), QStringLiteral("苹果"));
        QCOMPARE(h.choice(2)->text(), QStringLiteral("梨"));
        QCOMPARE(h.choice(3)->text(), QStringLiteral("桃子"));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(h.number(i)->text(), QString::number(i));
        QVERIFY(h.choice(4)->text().isEmpty());
        QCOMPARE(h.status(), statusLine(3, 3, 2));
        QCOMPARE(h.label("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(h.fakes.random.reseeds, 1);
        QCOMPARE(h.fakes.speech.calls.mid(2),
                 QStringList({"speed 160", "enabled 1", "speak pear 144"}));
        QCOMPARE(h.engine().practiceStart(), h.fakes.clock.time);
    }

    // The status line as the learner reads it, spaces and all, with numbers of two digits.
    void statusLineAsShown() {
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 3; }));
        Pairs twenty;
        for (int i = 0; i < 20; ++i)
            twenty.append({QStringLiteral("word%1").arg(i), QStringLiteral("意思%1").arg(i)});
        h.study({h.lesson("twenty.txt", twenty)});
        QCOMPARE(h.status(), "共计 20      剩余 20       生疏系数  3");
    }

    void wrongAnswerMarksTheChoiceAndKeepsTheQuestion() {
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        const QString status = h.status();
        const int wrong = h.engine().answerSlot() == 1 ? 2 : 1;
        h.engine().dispatch(Command::ClickChoice, wrong);
        h.engine().dispatch(Command::ClickChoice, wrong);
        QCOMPARE(h.backOf(h.choice(wrong)), QColor(0, 0, 255)); // WrongColor &HFF0000
        QCOMPARE(h.question(), QStringLiteral("apple"));
        QCOMPARE(h.status(), status); // not refreshed
        QCOMPARE(h.fakes.sound.played.size(), 2);
        QCOMPARE(h.engine().row(1).unfamiliarity, 2 + 3 + 3);
    }

    void questionColourFollowsCoefficient_data() {
        QTest::addColumn<int>("initial");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("2: colour 1") << 2 << QColor(0, 0, 255);
        QTest::newRow("3: colour 2") << 3 << QColor(0, 255, 0);
        QTest::newRow("6: colour 3") << 6 << QColor(255, 255, 0);
        QTest::newRow("7: colour 4") << 7 << QColor(255, 0, 0);
    }
    void questionColourFollowsCoefficient() {
        QFETCH(int, initial);
        QFETCH(QColor, colour);
        Harness h(settingsWith([&](SettingsRecord& s) { s.InitialUnfamiliarity = initial; }));
        h.study({h.lesson("fruit.txt", Fruit)});
        QCOMPARE(h.label("Label1")->palette().color(QPalette::WindowText), colour);
    }

    void shortFileLowersChoiceCountUntilChooserOpens() {
        Harness h(settingsWith([](SettingsRecord& s) { s.ChoiceCount = 4; }));
        h.study({h.lesson("two.txt", {{"a", "甲"}, {"b", "乙"}})});
        QCOMPARE(h.module.Settings.ChoiceCount, 2);
        QCOMPARE(shownChoices(h).size(), 2);
        QTest::keyClick(h.window.get(), Qt::Key_O);
        QCOMPARE(h.module.Settings.ChoiceCount, 4);
        QVERIFY(h.window->findChild<QWidget*>("Formopen"));
    }

    // Forgiving typing, off and on: the same typed answer to "n. 红色的（颜色）；红".
    void forgivingTyping_data() {
        QTest::addColumn<bool>("forgiving");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("right");
        QTest::newRow("off, exact") << false << "n. 红色的（颜色）；红" << true;
        QTest::newRow("off, one meaning") << false << "红" << false;
        QTest::newRow("on, one meaning") << true << "红" << true;
        QTest::newRow("on, full-width blanks") << true << "　红色的　" << true;
        QTest::newRow("on, another word") << true << "绿" << false;
    }
    void forgivingTyping() {
        QFETCH(bool, forgiving);
        QFETCH(QString, typed);
        QFETCH(bool, right);
        Harness h(settingsWith([](SettingsRecord& s) { s.ChoiceMode = VbFalse; }));
        h.module.ForgivingTyping = forgiving;
        h.window->show();
        h.fakes.random.values = {0.0};
        h.study({h.lesson("red.txt", {{"red", "n. 红色的（颜色）；红"}, {"blue", "蓝"}})});
        QCOMPARE(h.question(), QStringLiteral("red"));
        h.typingBox()->insert(typed);
        QTest::keyClick(h.typingBox(), Qt::Key_Return);
        QCOMPARE(h.fakes.history.answers.size(), 1);
        QCOMPARE(h.fakes.history.answers[0].facts.correct, right);
        QCOMPARE(h.fakes.sound.played.size(), right ? 0 : 1);
    }

    // Enter while the input method still composes belongs to it: nothing is submitted.
    void enterDuringCompositionIsNotAnAnswer() {
        Harness h(settingsWith([](SettingsRecord& s) { s.ChoiceMode = VbFalse; }));
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        QLineEdit* box = h.typingBox();
        QInputMethodEvent composing(QStringLiteral("pingguo"), {});
        QApplication::sendEvent(box, &composing);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(h.fakes.history.answers.isEmpty());
        QVERIFY(box->text().isEmpty()); // nor was the answer revealed
        QInputMethodEvent confirmed;
        confirmed.setCommitString(QStringLiteral("苹果"));
        QApplication::sendEvent(box, &confirmed);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(h.fakes.history.answers.size(), 1);
        QCOMPARE(h.fakes.history.answers[0].english, QStringLiteral("apple"));
        QVERIFY(h.fakes.history.answers[0].facts.correct); // the confirmed text was judged
    }

    void listeningIsAnsweredByClicks() {
        Harness h(settingsWith([](SettingsRecord& s) { s.ListeningMode = VbTrue; }));
        h.study({h.lesson("fruit.txt", Fruit)});
        QVERIFY(h.question().isEmpty());
        QTest::keyClick(h.window.get(), Qt::Key_1); // no question shown: keys do nothing
        QCOMPARE(h.engine().row(1).unfamiliarity, 2);
        h.answerRight();
        QCOMPARE(h.engine().row(1).unfamiliarity, 1);
    }

    void typingAnswers() {
        Harness h(settingsWith([](SettingsRecord& s) { s.ChoiceMode = VbFalse; }));
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        QLineEdit* box = h.typingBox();
        QVERIFY(box->isVisible());
        QVERIFY(shownChoices(h).isEmpty());
        QTest::keyClick(box, Qt::Key_Return); // empty: reveals
        QCOMPARE(box->text(), QStringLiteral("苹果"));
        QCOMPARE(h.engine().row(1).unfamiliarity, 2);
        QTest::keyClick(box, Qt::Key_Return); // submits: right
        QCOMPARE(h.engine().row(1).unfamiliarity, 1);
        QVERIFY(box->text().isEmpty());
        QCOMPARE(h.fakes.sound.played.size(), 0);

        box->insert(QStringLiteral("苹果 ")); // a trailing blank is not the answer
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(h.fakes.sound.played.size(), 1);
        QCOMPARE(h.engine().row(1).unfamiliarity, 4);

        QTest::keyClicks(box, "s"); // letters in the box are text, not commands
        QCOMPARE(box->text(), QStringLiteral("s"));
        QCOMPARE(h.fakes.speech.calls.count("speak apple 144"), 2); // two questions asked
    }

    void switchingAnswerModes() {
        Harness h;
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        h.answerRight(); // apple at 1
        const QString status = h.status();
        const QString question = h.question();
        QTest::keyClick(h.window.get(), Qt::Key_T);
        QCOMPARE(h.module.Settings.ChoiceMode, VbFalse);
        QVERIFY(h.typingBox()->isVisible());
        QVERIFY(shownChoices(h).isEmpty());
        QVERIFY(h.number(1)->text().isEmpty());
        QCOMPARE(h.question(), question);
        QCOMPARE(h.status(), status);
        QCOMPARE(h.engine().row(1).unfamiliarity, 1);

        QCOMPARE(h.window->focusWidget(), h.typingBox());
        QTest::keyClick(h.window->focusWidget(), Qt::Key_T); // typed, not a command
        QCOMPARE(h.typingBox()->text(), QStringLiteral("t"));
        QCOMPARE(h.module.Settings.ChoiceMode, VbFalse);
        h.window->engine().dispatch(Command::SwitchAnswerMode); // the toolbar's way
        QCOMPARE(h.module.Settings.ChoiceMode, VbTrue);
        QVERIFY(!h.typingBox()->isVisible());
        QCOMPARE(shownChoices(h).size(), 3);
        QCOMPARE(h.engine().row(1).unfamiliarity, 2); // restarted
        QCOMPARE(h.status(), statusLine(3, 3, 2));
    }

    void severalFilesInTurn() {
        Harness h(settingsWith([](SettingsRecord& s) { s.InitialUnfamiliarity = 1; }));
        const QString first = h.lesson("a.txt", {{"a", "甲"}, {"b", "乙"}});
        const QString second = h.lesson("b.txt", {{"c", "丙"}, {"d", "丁"}});
        h.study({first, second});
        h.fakes.clock.time = QTime(10, 0);
        h.answerRight();
        h.answerRight();
        QCOMPARE(h.engine().currentFileIndex(), 1);
        QCOMPARE(h.window->windowTitle(), " Vokarin2.0 :正在学习" + second);
        QCOMPARE(h.question(), QStringLiteral("c"));
        QCOMPARE(h.engine().practiceStart(), QTime(9, 0)); // taken once, at the first file
        h.answerRight();
        h.answerRight();
        // The run is over: an empty question area, and clicks do nothing.
        QVERIFY(h.question().isEmpty());
        QVERIFY(!h.engine().questionOpen());
        h.engine().dispatch(Command::ClickChoice, 1);
        QTest::keyClick(h.window.get(), Qt::Key_1);
        QCOMPARE(h.fakes.sound.played.size(), 0);
        QVERIFY(h.backOf(h.choice(1)) == h.window->backColor());
    }

    void failedLoadsKeepTheDrill_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message"); // %1 stands for the path
        QTest::newRow("one word") << QByteArray("\"a\",\"b\"\r\n") << "%1单词少于2个,无法学习";
        QTest::newRow("empty file") << QByteArray() << "%1单词少于2个,无法学习";
        QTest::newRow("a list whose rows were all left out, saying why")
            << QByteArray("#separator:tab\napple\t\npear\t\nplum\t" + QByteArray(1001, 'x') + "\n")
            << "%1单词少于2个,无法学习（另有 1 行没有读入（1 行有一边超过 1000 "
               "个字，不像单词）：第 4 "
               "行；另有 2 条缺单词或汉语，没有读入）";
        QTest::newRow("a text of no list known")
            << QByteArray("Words of Unit 1\nsee the book\n")
            << "%1单词少于2个,无法学习（看不出是哪种单词表：课文文件每行是 \"单词\",\"汉语\"，"
               "其他程序的单词表也认不出来）";
        QTest::newRow("a lesson with Unix line ends")
            << QByteArray("\"a\",\"b\"\n\"c\",\"d\"\n")
            << "%1单词少于2个,无法学习（它的行尾只有 LF（换行），课文文件的每行以 CR "
               "LF（回车换行）结尾）";
        QTest::newRow("a KVTML of one language")
            << QByteArray("<?xml version=\"1.0\"?><kvtml version=\"2.0\"><identifiers><identifier "
                          "id=\"0\"><locale>en</locale></identifier></identifiers><entries><entry "
                          "id=\"0\"><translation id=\"0\"><text>a</text></translation></entry>"
                          "</entries></kvtml>")
            << "%1单词少于2个,无法学习（这个文件只有一种语言（en），没有单词和意思两边；"
               "另有 1 条缺单词或汉语，没有读入）";
        QTest::newRow("empty word in record 3")
            << QByteArray("a,b\r\nc,d\r\n,e\r\nf,g\r\n") << "%1中第 3行有空词！";
        QTest::newRow("blank line in record 2")
            << QByteArray("a,b\r\n\r\nc,d\r\n") << "%1中第 2行有空词！";
        QTest::newRow("fields run out")
            << QByteArray("a,b\r\nc,d\r\n\r\n")
            << "“%1”的内容不完整：读第 3 个单词时文件已经结束（文件末尾可能有空行）";
    }
    void failedLoadsKeepTheDrill() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Harness h;
        const QString good = h.lesson("good.txt", Fruit);
        h.study({good});
        const QString caption = h.window->windowTitle();
        const QString question = h.question();
        const QString status = h.status();
        const QString bad = putFile(h.dir, "lesson/bad.txt", bytes);
        h.study({bad});
        QCOMPARE(h.fakes.messages.shown, QStringList{message.arg(bad)});
        QCOMPARE(h.window->windowTitle(), caption);
        QCOMPARE(h.question(), question);
        QCOMPARE(h.status(), status);
        QCOMPARE(h.engine().wordCount(), 3);
        h.answerRight(); // the old table still drills
        QTest::keyClick(h.window.get(), Qt::Key_R);
        QCOMPARE(h.status(), statusLine(3, 3, 2));
    }

    void missingOrFolderPathsSayWhy_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << "nothing.txt"
                                 << "找不到文件";
        QTest::newRow("a folder") << "lesson"
                                  << "这是一个文件夹";
    }
    void missingOrFolderPathsSayWhy() {
        QFETCH(QString, name);
        QFETCH(QString, says);
        Harness h;
        h.lesson("x.txt", Fruit);
        h.study({h.dir.filePath(name)});
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY2(h.fakes.messages.shown[0].contains(says), qPrintable(h.fakes.messages.shown[0]));
        QVERIFY(!h.engine().questionOpen());
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Vokarin2.0"));
    }

    void loadClearsOldHighlights() {
        Harness h;
        const QString path = h.lesson("fruit.txt", Fruit);
        h.study({path});
        h.answerWrong();
        h.study({path});
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(h.backOf(h.choice(i)), h.window->backColor());
    }

    void hintShowsTheAnswer() {
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        const int spokenBefore = h.fakes.speech.calls.count("speak apple 144");
        QTest::keyClick(h.window.get(), Qt::Key_H);
        QCOMPARE(h.backOf(h.choice(h.engine().answerSlot())), QColor(0, 255, 0));
        QCOMPARE(h.fakes.speech.calls.count("speak apple 144"), spokenBefore + 1);
        QCOMPARE(h.engine().row(1).unfamiliarity, 2);
    }

    // Files given at start (the command line's) are drilled at once, in order, in any format,
    // with no message.
    void startFilesOfEveryFormat_data() { addStartFileRows(); }
    void startFilesOfEveryFormat() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        Harness h(nullptr, false);
        QTemporaryDir elsewhere;
        const QString first = putFile(elsewhere, name, bytes);
        const QString second = putFile(elsewhere, "second.txt", "\"e\",\"f\"\r\n\"g\",\"h\"\r\n");
        h.module.SpeechObject = &h.fakes.speech;
        h.window = std::make_unique<frmMain>(h.module, h.fakes.platform);
        h.window->setStartFiles({first, second});
        h.window->startUp();
        QVERIFY2(h.fakes.messages.shown.isEmpty(), qPrintable(h.fakes.messages.shown.join(" / ")));
        QVERIFY(h.engine().questionOpen());
        QCOMPARE(h.engine().wordCount(), 2);
        QCOMPARE(h.window->windowTitle(), QStringLiteral(" Vokarin2.0 :正在学习") + first);
        QCOMPARE(h.module.SelectedFiles, QStringList({first, second}));
    }

    // The window shows first, empty; the review's first question follows its first paint.
    void reviewFollowsTheFirstPaint() {
        Harness h(nullptr, false);
        h.lesson("scb.txt", {{"a", "甲"}, {"b", "乙"}});
        h.module.SpeechObject = &h.fakes.speech;
        h.window = std::make_unique<frmMain>(h.module, h.fakes.platform);
        QVERIFY(h.question().isEmpty());
        QVERIFY(h.fakes.speech.calls.filter("speak").isEmpty());
        h.window->show();
        QTRY_COMPARE(h.question(), QStringLiteral("a"));
        QVERIFY(h.engine().reviewingNotebook());
    }

    void notebookReviewAtStart() {
        Harness h(nullptr, false);
        h.lesson("scb.txt", {{"a", "甲"}, {"b", "乙"}});
        h.module.Settings.InitialUnfamiliarity = 1;
        putFile(h.dir, "csh2.dat", encodeSettings(settingsWith([](SettingsRecord& s) {
                    s.InitialUnfamiliarity = 1;
                })));
        h.start();
        QCOMPARE(h.window->windowTitle(), QStringLiteral(" Vokarin2.0: 正在复习上次的生词 "));
        QVERIFY(h.engine().reviewingNotebook());
        QCOMPARE(h.question(), QStringLiteral("a"));
        h.answerRight();
        h.answerRight();
        // Over: no dialog, the chooser instead; the review was a run of its own.
        QVERIFY(!h.engine().reviewingNotebook());
        QVERIFY(h.window->findChild<QWidget*>("Formopen"));
        QCOMPARE(h.fakes.history.sessions.size(), 1);
        QCOMPARE(h.fakes.history.sessions[0].lessonFiles, QStringList{"scb.txt"});
    }

    void shortNotebookIsSkippedQuietly_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no words") << QByteArray();
        QTest::newRow("one word") << QByteArray("\"a\",\"b\"\r\n");
    }
    void shortNotebookIsSkippedQuietly() {
        QFETCH(QByteArray, bytes);
        Harness h(nullptr, false);
        putFile(h.dir, "lesson/scb.txt", bytes);
        h.start();
        QVERIFY(h.fakes.messages.shown.isEmpty());
        QVERIFY(h.question().isEmpty());
        QVERIFY(h.engine().reviewingNotebook());
        QTest::keyClick(h.window.get(), Qt::Key_O);
        QVERIFY(!h.engine().reviewingNotebook());
    }

    void noNotebookNoReview() {
        Harness h;
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Vokarin2.0"));
        QVERIFY(!h.engine().reviewingNotebook());
        QVERIFY(h.question().isEmpty());
    }

    // How fast is measured in bench/; here a lesson of 100,000 words is drilled at all.
    // Each judged answer goes to the history with what the grading needs; the slide show's
    // own answers do not.
    void answersGoToTheHistory() {
        Harness h;
        const QString path = h.lesson("fruit.txt", Fruit);
        h.fakes.random.values = {0.5, 0.4, 0.0, 0.9}; // pear, the answer at position 2
        h.study({path});
        h.fakes.clock.epoch += 4000;
        h.answerWrong();
        h.engine().dispatch(Command::Help);
        h.fakes.clock.epoch += 2000;
        h.answerRight();
        const QList<AnswerRecord>& answers = h.fakes.history.answers;
        QCOMPARE(answers.size(), 2);
        QCOMPARE(answers[0].lesson, QStringLiteral("fruit.txt"));
        QCOMPARE(answers[0].english, QStringLiteral("pear"));
        QCOMPARE(answers[0].chinese, QStringLiteral("梨"));
        QVERIFY(!answers[0].chineseAsked);
        QCOMPARE(answers[0].answeredAt, h.fakes.clock.epoch - 2000);
        QCOMPARE(answers[0].facts.responseMs, 4000);
        QVERIFY(!answers[0].facts.correct && !answers[0].facts.revealed);
        QVERIFY(answers[1].facts.correct && answers[1].facts.revealed);
        QCOMPARE(answers[1].facts.responseMs, 6000);
        QCOMPARE(int(answers[1].facts.mode), int(AnswerMode::Choice));

        // The slide show answers by itself: the word moves on, and no answer is history.
        h.module.Settings.AutoBrowse = VbTrue;
        const qint32 shown = h.engine().currentWord();
        const qint32 before = h.engine().row(shown).unfamiliarity;
        h.engine().autoBrowseTick();
        QCOMPARE(h.engine().row(shown).unfamiliarity, before - 1);
        QCOMPARE(h.fakes.history.answers.size(), 2);
    }

    void finishedRunIsASession() {
        Harness h;
        h.study({h.lesson("a.txt", Fruit), h.lesson("b.txt", Fruit)});
        const qint64 started = h.fakes.clock.epoch;
        h.fakes.clock.epoch += 60000;
        h.missThenLearn({});
        QCOMPARE(h.engine().currentFilePath(), h.module.SelectedFiles[1]);
        h.missThenLearn({});
        const QList<SessionRecord>& sessions = h.fakes.history.sessions;
        QCOMPARE(sessions.size(), 1);
        QCOMPARE(sessions[0].startedAt, started);
        QCOMPARE(sessions[0].endedAt, started + 60000);
        QCOMPARE(sessions[0].lessonFiles, QStringList({"a.txt", "b.txt"}));

        // Closed in the middle of a run, the run is kept too, once.
        h.engine().onceMore();
        h.fakes.clock.time = h.fakes.clock.time.addSecs(5 * 60);
        h.engine().mainWindowClosing();
        QCOMPARE(sessions.size(), 2);
        QCOMPARE(sessions[1].minutes, 5);
        h.engine().mainWindowClosing();
        QCOMPARE(sessions.size(), 2);
    }

    // Every run that drilled leaves one row, however it began and ended, starting when it began
    // (the history keeps one row per start) and ending when it ended.
    void everyRunIsASession_data() {
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        for (const char* begin : {"chosen", "once more, one file", "once more, two files",
                                  "other lessons", "repeated after the end", "typing after the end",
                                  "typing", "due review", "notebook at start"})
            for (const char* end : {"finished", "close box", "session end", "another run"})
                QTest::addRow("%s, %s", begin, end) << QString(begin) << QString(end);
    }
    void everyRunIsASession() {
        QFETCH(QString, begin);
        QFETCH(QString, end);
        bool typing = begin == "typing";
        Harness h(settingsWith([&](SettingsRecord& s) {
                      s.InitialUnfamiliarity = 1;
                      s.ChoiceMode = typing ? VbFalse : VbTrue;
                  }),
                  false);
        const qint64 now = h.fakes.clock.epoch;
        h.fakes.history.due = {{"apple", "苹果", now - 86400000LL}, {"pear", "梨", now}};
        const QString a = h.lesson("a.txt", Fruit), b = h.lesson("b.txt", Fruit);
        if (begin == "notebook at start")
            h.lesson("scb.txt", {{"a", "甲"}, {"b", "乙"}});
        else
            h.start();
        const auto learn = [&] {
            for (int guard = 0; h.engine().questionOpen() && guard < 100; ++guard) {
                if (typing) {
                    h.typingBox()->setText(h.rightAnswer());
                    QTest::keyClick(h.typingBox(), Qt::Key_Return);
                } else {
                    h.answerRight();
                }
            }
        };
        // Runs before the one looked at, finished.
        const bool afterARun =
            begin.startsWith("once more") || begin.contains("after") || begin == "other lessons";
        if (afterARun) {
            h.study(begin == "once more, two files" ? QStringList{a, b} : QStringList{a});
            learn();
        }
        const qsizetype before = h.fakes.history.sessions.size();
        h.fakes.clock.epoch += 60000;
        h.fakes.clock.time = h.fakes.clock.time.addSecs(60);
        const qint64 began = h.fakes.clock.epoch;
        if (begin.startsWith("once more"))
            h.engine().onceMore();
        else if (begin == "other lessons")
            h.engine().otherLessons(), h.study({b});
        else if (begin == "repeated after the end")
            h.engine().dispatch(Command::Repeat);
        else if (begin == "typing after the end") {
            h.engine().dispatch(Command::SwitchAnswerMode);
            h.engine().dispatch(Command::Repeat);
            typing = true;
        } else if (begin == "due review")
            h.engine().dispatch(Command::ReviewDue);
        else if (begin == "notebook at start")
            h.start();
        else
            h.study({a});
        QVERIFY(h.engine().questionOpen());
        h.fakes.clock.epoch += 90000;
        h.fakes.clock.time = h.fakes.clock.time.addSecs(90);
        if (end == "finished")
            learn();
        else if (end == "close box")
            h.window->close();
        else if (end == "session end")
            h.window->endSession();
        else
            h.study({b});
        const QList<SessionRecord>& sessions = h.fakes.history.sessions;
        QCOMPARE(sessions.size(), before + 1);
        QCOMPARE(sessions.last().startedAt, began);
        QCOMPARE(sessions.last().endedAt, began + 90000);
        QSet<qint64> starts;
        for (const SessionRecord& session : sessions)
            starts.insert(session.startedAt);
        QCOMPARE(starts.size(), sessions.size());
    }

    // 答错时显示正确答案: off, the specified behaviour; on, the right choice is marked as 帮助
    // marks it, or the right answer shows below the box, and the answer that follows counts as
    // given with the answer shown. A typed answer forgiving typing would take is pointed out once.
    void rightAnswerAtTheMistake_data() {
        QTest::addColumn<bool>("typing");
        QTest::addColumn<bool>("show");
        for (const bool typing : {false, true})
            for (const bool show : {false, true})
                QTest::addRow("%s, %s", typing ? "typing" : "choosing",
                              show ? "shown" : "as specified")
                    << typing << show;
    }
    void rightAnswerAtTheMistake() {
        QFETCH(bool, typing);
        QFETCH(bool, show);
        Harness h(
            settingsWith([&](SettingsRecord& s) { s.ChoiceMode = typing ? VbFalse : VbTrue; }));
        h.module.ShowRightAnswer = show;
        const QString devote = QStringLiteral("vt. 致力于；献身");
        h.study({h.lesson("devote.txt", {{"devote", devote}, {"apple", "苹果"}, {"pear", "梨"}})});
        while (h.rightAnswer() != devote)
            h.engine().dispatch(Command::Repeat);
        const auto typeIn = [&](const QString& text) {
            h.typingBox()->setText(text);
            QTest::keyClick(h.typingBox(), Qt::Key_Return);
        };
        for (int time = 0; time < 2; ++time) {
            if (typing)
                typeIn(QStringLiteral("致力于"));
            else
                h.answerWrong();
        }
        auto* correction = h.window->findChild<QLabel*>("Correction");
        QCOMPARE(!correction->isHidden() && correction->text() == "正确答案：" + devote,
                 show && typing);
        const quint32 marked =
            colourFromText(h.module.Settings.AnswerColor).value_or(0); // 0x00BBGGRR
        if (!typing)
            QCOMPARE(h.backOf(h.choice(h.engine().answerSlot())) ==
                         QColor(marked & 0xFF, (marked >> 8) & 0xFF, (marked >> 16) & 0xFF),
                     show);
        // Pointed out once, in typing.
        QCOMPARE(h.fakes.messages.shown.filter("宽松判定").size(), typing ? 1 : 0);
        if (typing)
            typeIn(devote);
        else
            h.answerRight();
        const QList<AnswerRecord>& answers = h.fakes.history.answers;
        QCOMPARE(answers.size(), 3);
        QCOMPARE(answers.last().facts.revealed, show);
        QVERIFY(correction->isHidden());
        // Taken at once where forgiving typing is on: nothing to point out.
        h.module.ForgivingTyping = true;
        if (typing) {
            while (h.rightAnswer() != devote && h.engine().questionOpen())
                h.answerRight(), h.engine().dispatch(Command::Repeat);
            typeIn(QStringLiteral("致力于"));
            QVERIFY(h.fakes.history.answers.last().facts.correct);
        }
    }

    // D drills exactly the words due now, from every lesson, with wrong choices from the
    // learner's other words (a single due word too), and writes nothing into the lesson
    // folder; with none due it says when.
    void dueWordsAreDrilled() {
        Harness h(nullptr, false);
        const qint64 now = h.fakes.clock.epoch;
        FakeHistory& history = h.fakes.history;
        history.due = {{"apple", "苹果", now - 3 * 86400000LL},
                       {"cat", "猫", now},
                       {"later", "以后", now + 86400000}};
        history.known = {{"apple", "苹果", 0}, {"dog", "狗", 0}, {"egg", "蛋", 0}};
        const QString unit =
            h.lesson("unit1.txt", {{"cat", "猫"}, {"fish", "鱼"}, {"goat", "山羊"}});
        history.answers.append({now, "unit1.txt", "cat", "猫", false, {}});
        h.start();
        QCOMPARE(h.status(), QStringLiteral("今天有 2 个单词该复习了，按 D 开始"));
        h.module.SavedChoiceCount = 5;
        h.engine().dispatch(Command::ReviewDue);
        QCOMPARE(h.engine().wordCount(), 2);
        QVERIFY(h.window->windowTitle().endsWith("今日复习.txt"));
        QVERIFY(QStringList({"apple", "cat"})
                    .contains(h.engine().row(h.engine().currentWord()).fileWord));
        QSet<QString> offered;
        for (int i = 1; i <= h.module.Settings.ChoiceCount; ++i)
            offered.insert(h.choice(i)->text());
        QCOMPARE(offered.size(), 5);
        QVERIFY(QSet<QString>({"苹果", "猫", "狗", "蛋", "鱼", "山羊"}).contains(offered));
        QVERIFY(offered.subtract({"苹果", "猫"}).size() == 3); // beyond the due words
        h.missThenLearn({});
        QVERIFY(h.fakes.messages.shown.isEmpty());
        QCOMPARE(QDir(h.module.lessonFolder()).entryList(QDir::Files), QStringList{"unit1.txt"});
        QCOMPARE(h.fakes.history.sessions.last().lessonFiles, QStringList{"今日复习.txt"});

        history.due = {{"cat", "猫", now}};
        h.engine().dispatch(Command::ReviewDue);
        QCOMPARE(h.engine().wordCount(), 1);
        QVERIFY(!h.choice(2)->text().isEmpty());
        h.missThenLearn({});
        QVERIFY(QFile::exists(unit));

        history.due = {{"later", "以后", now + 86400000}};
        h.engine().dispatch(Command::ReviewDue);
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY(h.fakes.messages.shown[0].contains("下一个要复习的单词在"));
    }

    // How many words are due is in sight after every kind of run, the run's own line gone,
    // and again when the learner's day turns; before anything is learnt, how to begin.
    void dueCountInSight_data() {
        QTest::addColumn<QString>("run");
        QTest::newRow("a lesson") << "lesson";
        QTest::newRow("a D review") << "review";
        QTest::newRow("the notebook at start") << "notebook";
    }
    void dueCountInSight() {
        QFETCH(QString, run);
        Harness h(nullptr, false);
        FakeHistory& history = h.fakes.history;
        QAction* review = nullptr;
        const auto tip = [&] { return review->toolTip(); };
        if (run == "lesson") { // the first start: nothing learnt yet
            h.start();
            review = h.window->findChild<QAction*>("今日复习");
            QCOMPARE(h.status(), QStringLiteral("按 O 选择课文，按 F 编辑单词文件，按 D 今日复习"));
            QCOMPARE(tip(), QStringLiteral("今日复习(D)：现在没有要复习的单词"));
        }
        // Two words due now, one at the learner's next midnight.
        const qint64 now = h.fakes.clock.epoch;
        const qint64 midnight =
            QDateTime(QDateTime::fromMSecsSinceEpoch(now).date().addDays(1), QTime(0, 0))
                .toMSecsSinceEpoch();
        history.due = {{"apple", "苹果", now}, {"cat", "猫", now}, {"later", "以后", midnight}};
        if (run == "notebook")
            h.lesson("scb.txt", {{"a", "甲"}, {"b", "乙"}});
        if (run != "lesson") {
            h.start();
            review = h.window->findChild<QAction*>("今日复习");
        }
        if (run == "lesson")
            h.study({h.lesson("a.txt", Fruit)});
        if (run == "review")
            h.engine().dispatch(Command::ReviewDue);
        QVERIFY(h.engine().questionOpen());
        QVERIFY(h.status().startsWith("共计"));
        h.missThenLearn({});
        QCOMPARE(h.status(), QStringLiteral("今天有 2 个单词该复习了，按 D 开始"));
        QCOMPARE(tip(), QStringLiteral("今日复习(D)：2 个单词该复习了"));

        auto* timer = h.window->findChild<QTimer*>("midnight");
        QVERIFY(timer->isActive() && timer->isSingleShot());
        QCOMPARE(timer->interval(), h.window->untilNewDay());
        QCOMPARE(h.window->untilNewDay(), int(midnight - now + 1000));
        h.fakes.clock.epoch = midnight + 1000;
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(h.status(), QStringLiteral("今天有 3 个单词该复习了，按 D 开始"));
        QCOMPARE(tip(), QStringLiteral("今日复习(D)：3 个单词该复习了"));
        QCOMPARE(timer->interval(), 24 * 3600 * 1000);
    }

    // Nothing re-enters the drill while an answer is judged: a tick, a later start's files and
    // the window's closing that arrive in the alarm's nested event loop wait, and are taken up
    // once the wrong answer is judged to its end (its colour on the old question, not on the
    // new one).
    void nothingReentersTheJudging() {
        Harness h;
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        const QString other = h.lesson("other.txt", {{"x", "叉"}, {"y", "歪"}});
        bool busy = false, openDuring = false;
        h.fakes.sound.whilePlaying = [&] {
            busy = h.engine().busy();
            h.engine().autoBrowseTick();
            h.engine().studyFiles({other});
            h.window->close();
            openDuring = h.window->isVisible();
            QCOMPARE(h.engine().currentFilePath(), h.module.SelectedFiles.value(0));
        };
        h.answerWrong();
        QVERIFY(openDuring);
        QVERIFY(!h.window->isVisible());
        QCOMPARE(h.fakes.sound.played.size(), 1);
        QCOMPARE(h.engine().currentFilePath(), other);
        QCOMPARE(h.engine().wordCount(), 2);
        for (int i = 1; i <= 2; ++i)
            QCOMPARE(h.backOf(h.choice(i)), h.backOf(h.window.get()));
        QCOMPARE(h.fakes.history.answers.size(), 1);
        QVERIFY(busy);
    }

    // A session that ends (a logout, a signal) does not wait for the alarm: the window closes
    // at once, and the run is kept.
    void sessionEndDoesNotWait() {
        Harness h;
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        bool closedDuring = false;
        h.fakes.sound.whilePlaying = [&] {
            h.window->endSession();
            closedDuring = !h.window->isVisible();
        };
        h.answerWrong();
        QVERIFY(closedDuring);
        QCOMPARE(h.fakes.history.sessions.size(), 1);
    }

    // 显示音标: the asked English word's pronunciation below it, from the list, from beside the
    // lesson or from espeak-ng; never with a Chinese question or none shown, never unasked;
    // Apply shows or hides it on the question on show.
    void pronunciationUnderTheQuestion_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("show");
        QTest::addColumn<bool>("chinese"); // the question in Chinese
        QTest::addColumn<bool>("listening");
        QTest::addColumn<bool>("shown");
        QTest::newRow("the list's own") << "list" << true << false << false << true;
        QTest::newRow("kept beside the lesson") << "beside" << true << false << false << true;
        QTest::newRow("not asked for") << "list" << false << false << false << false;
        QTest::newRow("Chinese question") << "list" << true << true << false << false;
        QTest::newRow("listening") << "beside" << true << false << true << false;
        QTest::newRow("from espeak-ng") << "espeak" << true << false << false << true;
    }
    void pronunciationUnderTheQuestion() {
        QFETCH(QString, from);
        QFETCH(bool, show);
        QFETCH(bool, chinese);
        QFETCH(bool, listening);
        QFETCH(bool, shown);
        if (from == "espeak" && QStandardPaths::findExecutable("espeak-ng").isEmpty())
            QSKIP("espeak-ng is not installed");
        Harness h(settingsWith([&](SettingsRecord& s) {
            s.TranslationDirection = chinese ? VbFalse : VbTrue;
            s.ListeningMode = listening ? VbTrue : VbFalse;
        }));
        h.module.ShowPronunciation = show;
        QHash<QString, QString> known = {{"grit", "/ɡrɪt/"}, {"plum", "[plʌm]"}};
        QString path;
        if (from == "list") {
            path = QDir(h.module.lessonFolder()).filePath("toefl.csv");
            QVERIFY(QDir().mkpath(h.module.lessonFolder()));
            QVERIFY(writeFileAtomically(path, "word,IPA,meaning\ngrit,/ɡrɪt/,砂砾\n"
                                              "plum,[plʌm],李子\npear,,梨\n")
                        .ok());
            known.insert("pear", {});
        } else {
            path = h.lesson("toefl.txt", {{"grit", "砂砾"}, {"plum", "李子"}});
            if (from == "beside")
                QVERIFY(writePronunciations(path, known).ok());
        }
        h.study({path});
        auto* label = h.find<QLabel>("Pronunciation");
        const auto expected = [&] {
            const QString word = h.engine().row(h.engine().currentWord()).fileWord;
            if (from != "espeak")
                return known.value(word);
            QProcess espeak;
            espeak.start("espeak-ng", {"-q", "--ipa", "-v", "en-us", word});
            espeak.waitForFinished();
            return '/' + QString::fromUtf8(espeak.readAllStandardOutput()).simplified() + '/';
        };
        for (int answer = 0; answer < 3 && h.engine().questionOpen(); ++answer, h.answerRight()) {
            if (!shown || expected().isEmpty()) {
                QTest::qWait(from == "espeak" ? 300 : 0);
                QVERIFY(label->isHidden());
                continue;
            }
            QTRY_COMPARE(label->text(), expected());
            QVERIFY(!label->isHidden());
            // Right below the question.
            QVERIFY(label->geometry().top() >= h.label("Label1")->geometry().center().y());
        }
        // Turned off and on again at Apply, on the question on show.
        if (!h.engine().questionOpen() || chinese || listening)
            return;
        h.module.ShowPronunciation = !show;
        h.engine().applySettings(h.module.Settings, h.module.Settings.TranslationDirection);
        if (show)
            QVERIFY(label->isHidden());
        else if (!expected().isEmpty())
            QTRY_COMPARE(label->text(), expected());
    }

    // A package's own recording of a word is played when the word is read aloud, as often as
    // the voice would read it; a word without one is read by the voice.
    void packageRecordingsAreHeard() {
        GivenPackage package;
        package.notes = {{"grit", "砂砾[sound:grit.mp3]"}, {"plum", "李子"}, {"fig", "无花果"}};
        package.media = {{"grit.mp3", "ID3 grit"}};
        setPackageReader([&package] { return &package; });
        Harness h(settingsWith([](SettingsRecord& s) { s.ReadCount = 2; }));
        QVERIFY(QDir().mkpath(h.module.lessonFolder()));
        const QString deck = QDir(h.module.lessonFolder()).filePath("deck.apkg");
        QVERIFY(writeFileAtomically(deck, zipOf({{"collection.anki2", {}}})).ok());
        h.study({deck});
        QStringList heard;
        for (int answer = 0; answer < 6 && h.engine().questionOpen(); ++answer) {
            heard << h.fakes.speech.calls.filter(QRegularExpression("^(speak|play) ")).mid(0);
            h.fakes.speech.calls.clear();
            h.answerRight();
        }
        setPackageReader({});
        const QString recording =
            QDir(h.module.recordingFolder())
                .filePath(QCryptographicHash::hash("ID3 grit", QCryptographicHash::Sha256).toHex() +
                          ".mp3");
        QCOMPARE(fileBytes(recording), "ID3 grit");
        // Each question twice: grit by its recording, the others by the voice.
        const QString grit = "play " + recording + " for grit 144";
        QVERIFY(heard.count(grit) >= 2);
        for (const QString& reading : std::as_const(heard))
            QVERIFY2(reading == grit || reading == "speak plum 144" || reading == "speak fig 144",
                     qPrintable(reading));
        QVERIFY(heard.size() > heard.count(grit));
    }

    void largeLessonIsDrilled() {
        Harness h;
        Pairs many;
        for (int i = 0; i < 100000; ++i)
            many.append({QStringLiteral("word%1").arg(i), QStringLiteral("意思%1").arg(i)});
        // Loaded on the worker thread: the event loop runs meanwhile, the window paints, and
        // a command that comes in waits for the lesson rather than acting on half of it.
        h.engine().setLoadAsideBytes(1 << 20);
        bool loadingSeen = false;
        QTimer::singleShot(0, h.window.get(), [&] {
            loadingSeen = h.engine().loading();
            h.window->repaint();
            h.engine().dispatch(Command::OpenSettings);
            h.engine().autoBrowseTick();
            QVERIFY(!topLevel<Form2>("Form2"));
        });
        h.study({h.lesson("big.txt", many)});
        QVERIFY(loadingSeen);
        QVERIFY(!h.engine().loading());
        QVERIFY(topLevel<Form2>("Form2")); // after the lesson, not during it
        topLevel<Form2>("Form2")->close();
        QCOMPARE(h.engine().wordCount(), 100000);
        QRandomGenerator generator(7);
        for (int answer = 0; answer < 200; ++answer) {
            h.fakes.random.values = {generator.generateDouble(), generator.generateDouble(),
                                     generator.generateDouble(), generator.generateDouble()};
            h.answerRight();
            // The question shown and the answer taken as right are of one row.
            QVERIFY(!h.question().isEmpty());
            QCOMPARE(h.rightAnswer(), h.question().replace("word", "意思"));
        }
    }
};

QTEST_MAIN(tst_Drill)
#include "tst_drill.moc"
