#pragma once

#include "fakeplatform.h"
#include "lessons/lessonfile.h"
#include "module1.h"
#include "settings/settingsfile.h"
#include "testfiles.h"
#include "windows/mainwindow.h"
#include "windows/twips.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <memory>

namespace {

// A window of its own (the editor, the settings dialog), found by its name.
template <typename T> T* topLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(name))
            if (T* window = qobject_cast<T*>(widget))
                return window;
    return nullptr;
}

// A main window on a temporary application folder, with fake services behind it.
struct Harness {
    explicit Harness(const SettingsRecord* settings = nullptr, bool startNow = true) {
        if (settings)
            putFile(dir, "csh2.dat", encodeSettings(*settings));
        if (startNow)
            start();
    }
    explicit Harness(const SettingsRecord& settings, bool startNow = true)
        : Harness(&settings, startNow) {}

    void start() {
        module.SpeechObject = &fakes.speech;
        window = std::make_unique<frmMain>(module, fakes.platform);
        window->startUp(); // as the first paint would
    }

    // Writes a lesson file into the lesson folder and returns its path.
    QString lesson(const QString& name, const Pairs& pairs) {
        return writeLesson(module, name, pairs);
    }

    // Chooses the files as the chooser would and starts studying the first.
    void study(const QStringList& paths) { engine().lessonsChosen(paths); }

    DrillEngine& engine() const { return window->engine(); }
    QString question() const { return label("Label1")->text(); }
    QString status() const { return window->statusText(); }
    QLineEdit* typingBox() const { return find<QLineEdit>("Text1"); }
    QColor backOf(const QWidget* w) const { return w->palette().color(QPalette::Window); }
    QString rightAnswer() const { return engine().row(engine().currentWord()).answer; }
    qint32 coefficient() const { return engine().row(engine().currentWord()).unfamiliarity; }
    // Answers by clicking the right or a wrong (non-empty) choice.
    void answerRight() { engine().dispatch(Command::ClickChoice, engine().answerSlot()); }
    void answerWrong() {
        const int wrong = engine().answerSlot() == 1 ? 2 : 1;
        engine().dispatch(Command::ClickChoice, wrong);
    }

    // One answer: wrong when the word asked is to be missed and not yet in the notebook.
    void answerOnce(const QStringList& wordsToMiss) {
        const QString word = engine().row(engine().currentWord()).fileWord;
        const auto& entries = window->notebook().entries();
        const bool collected =
            std::any_of(entries.cbegin(), entries.cend(),
                        [&](const WordPair& entry) { return entry.word == word; });
        if (wordsToMiss.contains(word) && !collected)
            answerWrong();
        else
            answerRight();
    }
    // Misses the given words until they are collected, and learns the file to its end.
    void missThenLearn(const QStringList& wordsToMiss) {
        for (int guard = 0; engine().questionOpen(); ++guard) {
            if (guard > 1000)
                qFatal("the lesson never ends: %s", qPrintable(status()));
            answerOnce(wordsToMiss);
        }
    }

    template <typename T = QLabel> T* find(const QString& name) const {
        T* control = window->findChild<T*>(name);
        if (!control)
            qFatal("no control %s", qPrintable(name));
        return control;
    }
    QLabel* label(const char* name) const { return find(QString::fromLatin1(name)); }
    QLabel* choice(int i) const { return find(QStringLiteral("Label3_%1").arg(i)); }
    QLabel* number(int i) const { return find(QStringLiteral("Label2_%1").arg(i)); }

    QSize frameExtra() const { return window->frameGeometry().size() - window->size(); }

    // Shows the window with the given outer size in pixels and waits for the layout.
    void showOuter(int width, int height) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        resizeOuter(width, height);
    }
    void resizeOuter(int width, int height) {
        const QSize extra = frameExtra();
        const QSize before = window->size();
        const QSize wanted(width - extra.width(), height - extra.height());
        window->resize(wanted);
        // The layout pass may snap a small window back, so any change of size will do.
        (void)QTest::qWaitFor([&] { return window->size() == wanted || window->size() != before; });
        QCoreApplication::processEvents();
    }
    float W() const { return toTwips(window->frameGeometry().width()); }
    float H() const { return toTwips(window->frameGeometry().height()); }

    QTemporaryDir dir;
    Module1 module{dir.path()};
    FakePlatform fakes;
    std::unique_ptr<frmMain> window;
};

} // namespace
