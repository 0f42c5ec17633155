// The main window's keys, toolbar and mouse.
#include "windowharness.h"

#include <QAction>
#include <QToolBar>

namespace {

const Pairs Fruit = {{"apple", "苹果"}, {"pear", "梨"}, {"peach", "桃子"}, {"plum", "李子"}};
const QColor Blue(0, 0, 255), Green(0, 255, 0), Cyan(0, 255, 255);

// What a command did, as the learner would notice it.
struct Effects {
    QString question;
    int spoken = 0;
    int alarms = 0;
    int coefficient = 0;
    bool chooserShown = false;
    bool typing = false;
    bool answerRevealed = false;
};

Effects effectsOf(const Harness& h) {
    Effects e;
    e.question = h.question();
    e.spoken = int(h.fakes.speech.calls.filter("speak").size());
    e.alarms = int(h.fakes.sound.played.size());
    e.coefficient = h.engine().row(1).unfamiliarity;
    e.chooserShown = h.window->findChild<QWidget*>("Formopen") != nullptr;
    e.typing = h.typingBox()->isVisibleTo(h.window.get());
    for (int i = 1; i <= 5; ++i)
        e.answerRevealed |= h.backOf(h.choice(i)) == Green;
    return e;
}

} // namespace

class tst_Commands final : public QObject {
    Q_OBJECT

private slots:
    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("effect");
        QTest::newRow("H") << int(Qt::Key_H) << "H"
                           << "reveal";
        QTest::newRow("h") << int(Qt::Key_H) << "h"
                           << "reveal";
        QTest::newRow("Enter") << int(Qt::Key_Return) << "\r"
                               << "reveal";
        QTest::newRow("S") << int(Qt::Key_S) << "S"
                           << "speak";
        QTest::newRow("s") << int(Qt::Key_S) << "s"
                           << "speak";
        QTest::newRow("R") << int(Qt::Key_R) << "R"
                           << "restart";
        QTest::newRow("r") << int(Qt::Key_R) << "r"
                           << "restart";
        QTest::newRow("O") << int(Qt::Key_O) << "O"
                           << "chooser";
        QTest::newRow("o") << int(Qt::Key_O) << "o"
                           << "chooser";
        QTest::newRow("T") << int(Qt::Key_T) << "T"
                           << "typing";
        QTest::newRow("t") << int(Qt::Key_T) << "t"
                           << "typing";
        QTest::newRow("space with three choices") << int(Qt::Key_Space) << " "
                                                  << "nothing";
        QTest::newRow("x") << int(Qt::Key_X) << "x"
                           << "nothing";
        QTest::newRow("6") << int(Qt::Key_6) << "6"
                           << "nothing";
        QTest::newRow("5, an empty choice") << int(Qt::Key_5) << "5"
                                            << "wrong";
    }
    void keys() {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(QString, effect);
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        h.answerRight(); // row 1 now at 1
        const Effects before = effectsOf(h);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(h.window.get(), &press);
        const Effects after = effectsOf(h);

        QCOMPARE(after.answerRevealed, effect == "reveal");
        QCOMPARE(after.spoken - before.spoken,
                 effect == "speak" || effect == "reveal" || effect == "restart" ? 1 : 0);
        QCOMPARE(after.coefficient, effect == "restart" ? 2 : effect == "wrong" ? 4 : 1);
        QCOMPARE(after.chooserShown, effect == "chooser");
        QCOMPARE(after.typing, effect == "typing");
        QCOMPARE(after.alarms, effect == "wrong" ? 1 : 0);
    }

    void digitsChooseTheirChoice() {
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        const int right = h.engine().answerSlot();
        QTest::keyClick(h.window.get(), char('0' + right));
        QCOMPARE(h.engine().row(1).unfamiliarity, 1);
        QCOMPARE(h.fakes.sound.played.size(), 0);
    }

    void spaceAcceptsTheOnlyChoice() {
        SettingsRecord s;
        s.ChoiceCount = 1;
        Harness h(s);
        h.study({h.lesson("fruit.txt", Fruit)});
        QCOMPARE(h.choice(1)->text(), QStringLiteral("苹果"));
        QVERIFY(h.number(1)->isHidden());
        QTest::keyClick(h.window.get(), Qt::Key_Space);
        QCOMPARE(h.engine().row(1).unfamiliarity, 1);
    }

    void keysWithoutAQuestionDoNothing() {
        Harness h;
        for (const char key : {'1', '3', ' ', 'h', 'r', 's'})
            QTest::keyClick(h.window.get(), key);
        h.engine().dispatch(Command::ClickChoice, 1);
        QVERIFY(h.fakes.sound.played.isEmpty());
        QVERIFY(h.fakes.speech.calls.filter("speak").isEmpty());
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    void modeSwitchNeedsAShownQuestion_data() {
        QTest::addColumn<bool>("load");
        QTest::addColumn<qint16>("listening");
        QTest::newRow("nothing loaded") << false << VbFalse;
        QTest::newRow("listening practice") << true << VbTrue;
    }
    void modeSwitchNeedsAShownQuestion() {
        QFETCH(bool, load);
        QFETCH(qint16, listening);
        SettingsRecord s;
        s.ListeningMode = listening;
        Harness h(s);
        if (load)
            h.study({h.lesson("fruit.txt", Fruit)});
        QTest::keyClick(h.window.get(), Qt::Key_T);
        QCOMPARE(h.fakes.messages.shown, QStringList{"文件未选择或正在练听力！"});
        QCOMPARE(h.module.Settings.ChoiceMode, VbTrue);
    }

    void toolbarDispatchesOnKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("effect");
        QTest::newRow("打开") << "打开"
                              << "chooser";
        QTest::newRow("重复") << "重复"
                              << "restart";
        QTest::newRow("modechange") << "modechange"
                                    << "typing";
        QTest::newRow("朗读") << "朗读"
                              << "speak";
        QTest::newRow("帮助") << "帮助"
                              << "reveal";
    }
    void toolbarDispatchesOnKeys() {
        QFETCH(QString, key);
        QFETCH(QString, effect);
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        h.answerRight();
        const Effects before = effectsOf(h);
        QAction* button = nullptr;
        for (QAction* action : h.find<QToolBar>("tbToolBar")->actions())
            if (action->data().toString() == key)
                button = action;
        QVERIFY(button);
        button->trigger();
        const Effects after = effectsOf(h);
        QCOMPARE(after.chooserShown, effect == "chooser");
        QCOMPARE(after.typing, effect == "typing");
        QCOMPARE(after.answerRevealed, effect == "reveal");
        QCOMPARE(after.coefficient, effect == "restart" ? 2 : 1);
        QCOMPARE(after.spoken - before.spoken, effect == "typing" || effect == "chooser" ? 0 : 1);
    }

    void mouseClicksAnswer() {
        Harness h;
        h.showOuter(400, 400);
        h.study({h.lesson("fruit.txt", Fruit)});
        const int right = h.engine().answerSlot();
        const int wrong = right == 1 ? 2 : 1;
        QTest::mouseClick(h.choice(wrong), Qt::LeftButton);
        QCOMPARE(h.fakes.sound.played.size(), 1);
        QCOMPARE(h.backOf(h.choice(wrong)), Blue);
        QTest::mouseClick(h.number(right), Qt::LeftButton); // the number counts as its choice
        QCOMPARE(h.engine().row(1).unfamiliarity, 2 + 3 - 1);
    }

    void hoverColours() {
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        const QColor back = h.window->backColor();
        const int right = h.engine().answerSlot();
        const int wrong = right == 1 ? 2 : 1;
        const int other = 6 - right - wrong; // the third choice
        h.answerWrong();
        h.window->Label3_MouseMove(other);
        QCOMPARE(h.backOf(h.choice(other)), Cyan);
        QCOMPARE(h.backOf(h.choice(wrong)), Blue); // a wrong choice keeps its colour
        QCOMPARE(h.backOf(h.choice(right)), back);

        QTest::keyClick(h.window.get(), Qt::Key_H);
        QCOMPARE(h.backOf(h.choice(right)), Green);
        h.window->Label3_MouseMove(other);
        QCOMPARE(h.backOf(h.choice(right)), back); // the revealed answer returns to normal
        QCOMPARE(h.backOf(h.choice(4)), back);     // beyond the choices: untouched
    }

    void noHoverWhileTyping() {
        Harness h;
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        QTest::keyClick(h.window.get(), Qt::Key_T);
        h.window->Label3_MouseMove(1);
        QCOMPARE(h.backOf(h.choice(1)), h.window->backColor());
    }

    void toolbarHotZone_data() {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<bool>("shown");
        QTest::newRow("inside") << 2399.0f << 349.0f << true;
        QTest::newRow("right edge") << 2400.0f << 100.0f << false;
        QTest::newRow("bottom edge") << 100.0f << 350.0f << false;
        QTest::newRow("far away") << 3000.0f << 3000.0f << false;
    }
    void toolbarHotZone() {
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(bool, shown);
        Harness h;
        h.showOuter(400, 400);
        auto* bar = h.find<QToolBar>("tbToolBar");
        QVERIFY(bar->isVisible()); // shown until the pointer first moves away
        h.window->Form_MouseMove(x, y);
        QCOMPARE(bar->isVisible(), shown);
    }

    void pointerOverTheSurfaceMovesTheToolbar() {
        Harness h;
        h.showOuter(400, 400);
        auto* bar = h.find<QToolBar>("tbToolBar");
        QMouseEvent away(QEvent::MouseMove, QPointF(200, 200), QPointF(200, 200), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(h.window.get(), &away);
        QVERIFY(!bar->isVisible());
        QMouseEvent corner(QEvent::MouseMove, QPointF(100, 10), QPointF(100, 10), Qt::NoButton,
                           Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(h.window.get(), &corner);
        QVERIFY(bar->isVisible());
    }
};

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"
