// The keyboard alone and a screen reader: the typing box's keys, the dialogs' default and
// cancel buttons and their keys, F1's help in every window, every control named, the drill said.
#include "windowharness.h"
#include "windows/helpwindow.h"
#include "windows/settingsdialog.h"
#include "windows/wordfileeditor.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

namespace {

const QString Devote = QStringLiteral("vt. 致力于；献身；把…奉献给；使专心于（某事）");

QWidget* activeShown(const char* name) {
    QWidget* window = topLevel<QWidget>(name);
    if (window && QTest::qWaitForWindowExposed(window)) {
        window->activateWindow(); // as a window manager would
        (void)QTest::qWaitForWindowActive(window);
    }
    return window;
}

} // namespace

class tst_Keyboard final : public QObject {
    Q_OBJECT

private slots:
    // In the typing box Ctrl+H shows the answer (the letters are the answer's); whatever showed
    // it, the answer is seen whole and the box keeps the keyboard.
    void typingBoxShowsTheAnswerWhole_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Ctrl+H") << true;
        QTest::newRow("toolbar") << false;
    }
    void typingBoxShowsTheAnswerWhole() {
        QFETCH(bool, byKey);
        Harness h(settingsWith([](SettingsRecord& s) { s.ChoiceMode = VbFalse; }));
        h.window->show();
        h.study({h.lesson("devote.txt", {{"devote", Devote}, {"apple", "苹果"}})});
        while (h.rightAnswer() != Devote)
            h.engine().dispatch(Command::Repeat);
        QLineEdit* box = h.typingBox();
        QTRY_VERIFY(box->hasFocus());
        if (byKey) {
            QTest::keyClick(box, Qt::Key_H, Qt::ControlModifier);
        } else {
            h.window->setFocus();
            h.engine().dispatch(Command::Help);
        }
        QCOMPARE(box->text(), Devote);
        QVERIFY(box->hasFocus());
        QVERIFY2(QFontMetrics(box->font()).horizontalAdvance(Devote) <= box->contentsRect().width(),
                 qPrintable(QString::number(box->font().pointSizeF())));
        // The next question is in the box's own size again.
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(box->text().isEmpty());
        QCOMPARE(box->font().pointSizeF(), h.label("Label1")->font().pointSizeF() - 4);
    }

    // In the settings Enter is 确 定 wherever the focus is (on "+" too), Escape 取 消, and the
    // three have keys.
    void settingsKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifier");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("choices"); // after "+" was pressed once
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << true << 4;
        QTest::newRow("Alt+O") << int(Qt::Key_O) << int(Qt::AltModifier) << true << 4;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << true << 3;
        QTest::newRow("Alt+C") << int(Qt::Key_C) << int(Qt::AltModifier) << true << 3;
        QTest::newRow("Alt+A") << int(Qt::Key_A) << int(Qt::AltModifier) << false << 4;
    }
    void settingsKeys() {
        QFETCH(int, key);
        QFETCH(int, modifier);
        QFETCH(bool, closes);
        QFETCH(int, choices);
        Harness h;
        h.window->show();
        QCOMPARE(h.module.Settings.ChoiceCount, 3);
        QTest::keyClick(h.window.get(), Qt::Key_C);
        const QPointer<QWidget> settings = activeShown("Form2");
        QVERIFY(settings);
        auto* plus = settings->findChild<QPushButton*>("Command5"); // the choices' "+"
        plus->setFocus();
        QTest::keyClick(plus, Qt::Key_Space);
        QTest::keyClick(plus, Qt::Key(key), Qt::KeyboardModifiers(modifier));
        QCOMPARE(h.module.Settings.ChoiceCount, choices);
        QTRY_COMPARE(!settings || !settings->isVisible(), closes);
    }

    // F1 opens the help in every window, the typing box too; the help names the learner's
    // folders and says how to study on two computers.
    void helpInEveryWindow_data() {
        QTest::addColumn<QString>("window");
        for (const char* window : {"frmMain", "Text1", "Form1", "Form2"})
            QTest::newRow(window) << QString(window);
    }
    void helpInEveryWindow() {
        QFETCH(QString, window);
        Harness h(settingsWith(
            [&](SettingsRecord& s) { s.ChoiceMode = window == "Text1" ? VbFalse : VbTrue; }));
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.study({h.lesson("fruit.txt", {{"apple", "苹果"}, {"pear", "梨"}})});
        QWidget* target = h.window.get();
        if (window == "Text1")
            target = h.typingBox();
        else if (window != "frmMain")
            QTest::keyClick(h.window.get(), window == "Form1" ? Qt::Key_F : Qt::Key_C),
                target = activeShown(qPrintable(window));
        QVERIFY(target);
        QTest::keyClick(target, Qt::Key_F1);
        if (window == "Text1")
            QVERIFY(h.typingBox()->text().isEmpty()); // no answer shown, nothing typed
        auto* help = qobject_cast<HelpWindow*>(activeShown("HelpWindow"));
        QVERIFY(help);
        const QString text = help->findChild<QTextBrowser*>("Text")->toPlainText();
        QVERIFY(text.contains(QDir::toNativeSeparators(h.module.lessonFolder())));
        QVERIFY(text.contains(QStringLiteral("在两台电脑上学习")));
        QTest::keyClick(help, Qt::Key_Escape);
        QTRY_VERIFY(!topLevel<QWidget>("HelpWindow") ||
                    !topLevel<QWidget>("HelpWindow")->isVisible());
    }

    // Every control a learner can use has a name a screen reader says: buttons by what they do
    // (the toolbar's icons too), fields, lists, the colour swatches each by its role; the main
    // window is a frame.
    void everyControlIsNamed_data() {
        QTest::addColumn<QString>("window");
        for (const char* window : {"frmMain", "Form1", "Form2", "Formopen"})
            QTest::newRow(window) << QString(window);
    }
    void everyControlIsNamed() {
        QFETCH(QString, window);
        Harness h;
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        const char key = window == "Form1" ? 'F' : window == "Form2" ? 'C' : 'O';
        if (window != "frmMain")
            QTest::keyClick(h.window.get(), key);
        QWidget* shown = window == "frmMain" ? h.window.get() : activeShown(qPrintable(window));
        QVERIFY(shown);
        QStringList unnamed, names;
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            const bool usable =
                qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                qobject_cast<QAbstractItemView*>(control) || qobject_cast<QComboBox*>(control) ||
                (qobject_cast<QLabel*>(control) && control->focusPolicy() != Qt::NoFocus);
            if (!usable || control->objectName().startsWith("qt_"))
                continue;
            const QString name =
                QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
            if (name.trimmed().isEmpty())
                unnamed << control->objectName() + "/" + control->metaObject()->className();
            names << name;
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        if (window == "frmMain") {
            QCOMPARE(QAccessible::queryAccessibleInterface(shown)->role(), QAccessible::Window);
            QVERIFY(names.contains("打开单词文件(O)"));
        }
        if (window == "Form2") // each swatch its own name
            QCOMPARE(names.filter("颜色").size() + names.filter("背景色").size(), 8);
    }

    // A screen reader hears each question with its choices, and each verdict: the main
    // window's description says them (Qt tells the reader of each change).
    void theDrillIsSaid() {
        Harness h;
        h.study({h.lesson("fruit.txt", {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}})});
        const auto said = [&] { return h.window->accessibleDescription(); };
        QVERIFY2(said().startsWith(h.question() + "。") && said().contains("1 ") &&
                     said().contains(h.rightAnswer()),
                 qPrintable(said()));
        h.answerWrong();
        QVERIFY2(said().startsWith("答错了"), qPrintable(said()));
        h.answerRight();
        QVERIFY2(said().startsWith("答对了。" + h.question() + "。"), qPrintable(said()));
    }
};

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
