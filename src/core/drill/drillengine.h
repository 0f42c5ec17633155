#pragma once

#include "drill/command.h"
#include "drill/lessonloader.h"
#include "drill/notebook.h"
#include "drill/unlearnedrows.h"
#include "drill/wordtable.h"
#include "settings/settingsrecord.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QTime>
#include <array>
#include <deque>
#include <functional>

class MainView;
struct QuestionArea;
struct Module1;
struct Platform;

// One line of the lesson being studied, as the drill sees it.
struct WordRow final {
    QString question;     // shown: the word, or the meaning in the reversed direction
    QString answer;       // to be given: the meaning, or the word
    QString fileWord;     // as read from the file; always the word that is spoken
    QString fileMeaning;  // as read from the file
    qint32 unfamiliarity; // right answers still needed; 0 means learned
};

// The drill: the word table of the current lesson file, asking, judging and revealing, the
// notebook, and the flow of a run around them. It reaches the window only through MainView,
// which only shows things, and the outside world through the services.
class DrillEngine final {
public:
    DrillEngine(Module1& module, const Platform& platform, MainView& view);

    // What the window does once it stands: the files given, if any, as a selection; otherwise
    // the notebook review, when asked for and there is a notebook.
    void startUp(const QStringList& files = {});
    // Drills files as if chosen in the lesson chooser (files given to a later start).
    void studyFiles(const QStringList& files);
    // Carries out a command of the learner's; position is the choice for the number and
    // click commands.
    void dispatch(Command command, int position = 0);
    // The auto-browse tick: accepts the word shown and moves on.
    void autoBrowseTick();
    // The main window closes: words collected since the notebook was last written are kept.
    // It takes its turn like every command: while one is under way (the alarm, a message box)
    // nothing is done and false returned; again is called once the turn is free. A session
    // that ends waits for nothing: now does it at once.
    bool mainWindowClosing(std::function<void()> again = {}, bool now = false);
    // The end-of-lesson dialog's "once more": the selection again from its first file.
    void onceMore();
    // The end-of-lesson dialog's "other lessons".
    void otherLessons();
    // The settings dialog's Apply: takes the draft into effect and saves it. The lesson
    // starts again while the direction differs from the one the dialog opened with.
    // The lessons moved with the learner's data folder from before: the run goes on with them
    // where they are now.
    void lessonFolderMoved(const QString& before);
    void applySettings(const SettingsRecord& draft, qint16 directionOnOpen);
    // The lesson chooser has handed its selection over: it is kept as the run's selection and
    // its first file is studied.
    void lessonsChosen(const QStringList& files);
    // The learner's midnight: words have come due with the new day.
    void dayTurned();
    // Answers from another computer came into the history: the due words may have changed.
    void historyChanged();
    // The commands above run one at a time: one that arrives while another is under way
    // (judging an answer, loading a lesson: both may run nested event loops) waits for it.
    bool busy() const { return busy_; }

    // Files at least this large load on a worker thread while the window keeps painting.
    void setLoadAsideBytes(qint64 bytes) { loadAsideBytes_ = bytes; }
    // True while a lesson loads on the worker thread.
    bool loading() const { return loading_; }
    // Enter in the typing box: an empty box reveals the answer, text is judged.
    void answerTyped(const QString& text);

    // True from a question until the file's last word is learned.
    bool questionOpen() const { return questionOpen_; }
    // True while a question's text is on screen (never in listening practice).
    bool questionShown() const { return !shownQuestion_.isEmpty(); }
    const Notebook& notebook() const { return notebook_; }

    qint32 wordCount() const { return WordCount; }
    qint32 remainingCount() const { return RemainingCount; }
    qint32 currentWord() const { return CurrentWord; }
    qint32 answerSlot() const { return AnswerSlot; }
    bool reviewingNotebook() const { return ReviewingNotebook; }
    // The entry of the selection being studied, from 0.
    qint32 currentFileIndex() const { return CurrentFileIndex; }
    // The selection's practice: begun at its first file, ended and counted when it is done.
    QTime practiceStart() const { return PracticeStart; }
    QTime practiceEnd() const { return PracticeEnd; }
    qint32 practiceMinutes() const { return PracticeMinutes; }
    // The question area as the settings and the run now have it.
    QuestionArea questionArea() const;
    QString currentFilePath() const { return CurrentFilePath; }
    WordRow row(qint32 number) const;

    static constexpr int MostDueWords = 200;

private:
    // The drill's own steps, reached only through the commands above.
    // Starts a drill of every word due for review (at most MostDueWords), most overdue first;
    // tells when the next is due when none is.
    void reviewDue();
    // How many words are due: in the 今日复习 tooltip always, and in the status bar while no
    // question is open (or, with nothing learnt yet, which keys begin).
    void refreshDue();
    // Loads the current lesson file (the selection's entry, or the notebook under review)
    // and asks its first question. A file that cannot be studied leaves everything as it was.
    void 打开();
    // Starts the current file again with fresh coefficients, in the direction now set.
    void 重复();
    // Swaps question and answer of every row.
    void eczh();
    // Asks the next question.
    void 出题();
    // Judges GivenAnswer against the question asked.
    void 判定();
    // Shows the right answer (and says the word again in choice answering).
    void 帮助();
    // Says the word of the question ReadCount times, when direction or listening asks for it.
    void 朗读();
    // Switches between choosing and typing answers.
    void changechild();
    // Restores the number of choices and shows the lesson chooser.
    void 选择();

    void Label2_Click(int position);
    void Label3_Click(int position);

    // Collects the word asked into the new-word notebook.
    void joinscb();
    // Writes the notebook file; a failure is told to the learner and the run goes on. True
    // when written.
    bool savescb();
    // Works out the minutes practised on the selection just finished.
    void jstime();

    QString lessonName(const QString& path) const;
    // Drills the first drilled rows of table; the rows after them serve as wrong choices only.
    void drillTable(WordTable table, qint32 drilled, QHash<QString, QString> pronunciations,
                    QHash<QString, QString> recordings);
    // The asked word's pronunciation beside it, when the learner wants it and the word is shown.
    void showPronunciation();
    // The answer given matches: exactly, or typed and forgivingly when the learner wants that.
    bool givenIsRight() const;
    void recordAnswer(bool correct);
    // The run in the history: its files are the selection's unless given.
    void announceQuestion();
    void wrongAnswerShown();
    void beginRun();
    void keepOpenRun();
    void recordSession(qint32 minutes);
    // The two sides of a row, the direction applied.
    QStringView questionOf(qint32 number) const;
    QStringView answerOf(qint32 number) const;
    // What goes to the view goes through these, so the engine knows what is on screen
    // without reading it back.
    void showQuestion(const QString& text);
    void showChoice(int position, const QString& text);
    void clearChoices();
    void clearScreen();
    void setCaption(const QString& text);
    void reviewNotebook(const QString& path);
    // Adds the words a run that ended abruptly kept in the history to the notebook file.
    void rescueNotebookWords();
    // In a shared data folder, whatever stands in the notebook's place that is no regular file
    // (a link, a pipe) is set apart before the notebook is read or written, and the learner told.
    void keepNotebookPlain();

    void restartTable();
    void showTypingBoxWhenTyping();
    void markLearned(qint32 number);
    qint32 pickRow();
    int distractorFor(const QStringList& placed);
    void placeChoices();
    void fileFinished();
    void showStatus();

    Module1& module_;
    const Platform& platform_;
    MainView& view_;
    Notebook notebook_;
    QSet<QString> notebookAtStart_; // the words of the notebook file as the program started

    WordTable table_;
    QHash<QString, QString> pronunciations_; // of the words drilled, where known
    QHash<QString, QString> recordings_;     // of the words drilled, a package's, where it has one
    bool reversed_ = false;                  // question and answer swapped, as eczh leaves them
    qint32 WordCount = 0;
    qint32 RemainingCount = 0;
    qint32 CurrentWord = 0;
    qint32 AnswerSlot = 0;
    qint32 ClickedSlot = 0;
    QString GivenAnswer;
    QString CurrentFilePath;
    bool ReviewingNotebook = false;
    qint32 CurrentFileIndex = 0;
    QTime PracticeStart;
    QTime PracticeEnd;
    qint32 PracticeMinutes = 0;

    bool questionOpen_ = false;
    bool loading_ = false;

    // The front door: the command under way holds the turn; what arrives meanwhile waits.
    class Turn final {
    public:
        explicit Turn(DrillEngine& engine);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        DrillEngine& engine_;
        const bool outermost_;
    };
    // Keeps command for later when another holds the turn; false when it may run now.
    bool queued(std::function<void()> command);
    bool busy_ = false;
    bool tickWaiting_ = false;
    std::deque<std::function<void()>> waiting_;
    qint64 askedAt_ = 0;       // when the open question was shown, epoch ms
    bool revealed_ = false;    // its answer has been shown
    qint64 runStartedAt_ = 0;  // the run's first question, epoch ms
    bool runRecorded_ = false; // its session is in the history
    QStringList runFiles_;     // its lessons, as the history names them
    QString verdict_;          // said before the next question
    bool forgivingHintGiven_ = false;
    qint64 loadAsideBytes_ = LoadAsideBytes;
    QString shownQuestion_;
    std::array<QString, 6> shownChoices_;            // 1 to 5
    QString caption_ = QStringLiteral("Vokarin2.0"); // the window's caption as it opens
    UnlearnedRows unlearned_;
    int distinctAnswers_ = 0; // different answer texts in the table, counted up to five
};
