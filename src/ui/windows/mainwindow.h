#pragma once

#include "drill/drillengine.h"
#include "drill/mainview.h"

#include <QPointer>
#include <QWidget>
#include <array>

class Form1;
class Form2;
class Form3;
class Formopen;
class HelpWindow;
class QAction;
class QFrame;
class QLabel;
class SpokenIpa;
class QLineEdit;
class QStatusBar;
class QTimer;
class QToolBar;
struct Module1;
struct Platform;

// The main window: the question, up to five choices, the typing box, the toolbar that the
// top-left corner calls up, and the status bar. Controls are placed by hand in twips, as the
// layout pass works them out from the window's size.
class frmMain final : public QWidget, public MainView {
    Q_OBJECT

public:
    frmMain(Module1& module, const Platform& platform, QWidget* parent = nullptr);
    ~frmMain() override;

    DrillEngine& engine() { return engine_; }
    const Notebook& notebook() const { return engine_.notebook(); }

    // Closes the secondary windows and then this one, which ends the program.
    void closeEverything();
    // The session ends (a logout, a signal): the window closes at once, without waiting for a
    // command under way.
    void endSession();
    // What follows the first paint: the notebook review when there is one. Once only.
    void startUp();

    // MainView
    void setQuestion(const QString& text) override;
    void setQuestionColour(quint32 colour) override;
    void setNumber(int position, const QString& text) override;
    void setChoice(int position, const QString& text) override;
    void setChoiceBackColour(int position, quint32 colour) override;
    void clearChoices() override;
    void clscreen(const QuestionArea& area) override;
    void Form_Resize(const QuestionArea& area) override;
    void setCaption(const QString& text) override;
    void setStatusText(const QString& text) override;
    void setReviewTip(const QString& text) override;
    void setTypingBoxVisible(bool visible) override;
    void focusTypingBox() override;
    void setTypingText(const QString& text) override;
    void showCorrection(const QString& answer) override;
    void showPronunciation(const QString& word, const QString& pronunciation) override;
    void announce(const QString& text) override;
    void bringToTop() override;
    void applyColours(const QuestionArea& area) override;
    void setAutoBrowseInterval(int milliseconds) override;
    void showLessonChooser() override;
    void showEndOfLessonDialog(qint32 practiceMinutes) override;
    // The word-file editor and the settings dialog; showing an open one raises it.
    void showEditor() override;
    void showSettings() override;
    void showStatistics() override;
    // Files named on the command line: drilled at start instead of the notebook review.
    void setStartFiles(const QStringList& files) { startFiles_ = files; }
    // Files given to a later start: drilled as if chosen in the lesson chooser, as soon as no
    // message waits for an answer.
    void studyFiles(const QStringList& files);

    // The short help, at the given part (from the top when empty).
    void showHelp(const QString& part);

    QColor backColor() const;
    QString statusText() const;

    // The commands, as the toolbar, the keys and the mouse give them.
    void tbToolBar_ButtonClick(const QAction* button);
    void Form_KeyPress(char16_t key);
    void Text1_KeyPress(char16_t key);
    void Label3_MouseMove(int position);
    void Form_MouseMove(float xTwips, float yTwips);
    // The auto-browse tick: accepts the word shown and moves on.
    void Timer1_Timer();
    // The learner's midnight: words come due with the new day.
    void newDay();
    // When newDay() comes next, in milliseconds.
    int untilNewDay() const;

signals:
    // The window has been painted once and the start-up work follows.
    void startingUp();
    // The settings dialog moved the learner's files into another data folder.
    void dataFolderChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void createToolBar();
    void Form_Load();
    void placeBars();
    QSize frameExtra() const;
    void setOuterSize(float widthTwips, float heightTwips);
    int positionOf(const QObject* label) const;
    // The layout pass for the area last given.
    void layOut();
    void fitTypingText();

    Module1& module_;
    const Platform& platform_;
    DrillEngine engine_;
    QuestionArea area_; // as the drill last gave it

    QLabel* Label1 = nullptr;
    std::array<QLabel*, 6> Label2{}; // 1 to 5
    std::array<QLabel*, 6> Label3{}; // 1 to 5
    QLineEdit* Text1 = nullptr;
    QLabel* Correction = nullptr;    // the right answer below the box, after a wrong one
    QLabel* Pronunciation = nullptr; // the asked word's, below it, when the learner wants it
    QString pronouncedWord_;         // the word it is for; empty while hidden
    SpokenIpa* spokenIpa_ = nullptr; // for words without one, made when first needed
    QFrame* Label4 = nullptr;
    QToolBar* tbToolBar = nullptr;
    QStatusBar* sbStatusBar = nullptr;
    QLabel* statusPanel_ = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* midnight_ = nullptr;

    QPointer<Formopen> chooser_;
    QPointer<Form3> endOfLesson_;
    QPointer<Form1> editor_;
    QPointer<Form2> settings_;
    QPointer<QWidget> statistics_;
    QPointer<HelpWindow> help_;
    QStringList startFiles_;
    double typingPoints_ = 24; // the typing box's size and place, as the layout gives them
    QRect typingRect_;
    bool composing_ = false; // the input method holds text not yet confirmed in Text1
    QObject* pressedLabel_ = nullptr;
    bool startedUp_ = false;
    bool sessionEnding_ = false;
};
