#include "drill/drillengine.h"

#include "drill/lessonloader.h"
#include "drill/mainview.h"
#include "drill/practicetime.h"
#include "lessons/answermatch.h"
#include "lessons/lessonfile.h"
#include "module1.h"
#include "services/clock.h"
#include "services/history.h"
#include "services/messageboxes.h"
#include "services/platform.h"
#include "services/random.h"
#include "services/sound.h"
#include "services/speech.h"
#include "settings/settingsfile.h"
#include "sync/folderguard.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

namespace {

constexpr qint32 SpeakFlags = 144;
// A damaged settings file must not keep the speech engine busy for ever.
constexpr qint32 MostReadings = 100;
// Distractors are drawn at random like the question; after this many misses the draw picks
// among the rows that can still serve, so it always ends.
constexpr int DistractorDraws = 64;
constexpr int MostChoices = 5;
// A D review: its name, and how many of the learner's other words it keeps as wrong choices.
const QString ReviewName = QStringLiteral("今日复习.txt");
constexpr qint32 MostReviewChoices = 200;

quint32 colourValue(const QString& text) {
    return colourFromText(text).value_or(0);
}

QString shownPath(const QString& path) {
    return displayPath(path);
}

QList<WordPair> notebookFile(const QString& path, const QString& within) {
    QList<WordPair> pairs;
    QSet<QString> words;
    if (QFileInfo::exists(path))
        readNotebookFile(path, pairs, words, within);
    return pairs;
}

} // namespace

DrillEngine::DrillEngine(Module1& module, const Platform& platform, MainView& view)
    : module_(module)
    , platform_(platform)
    , view_(view) {}

// The front door. Judging an answer and loading a lesson may run nested event loops (the
// alarm, a message, the load on the worker thread), in which a key, a tick, a later start's
// files or a dialog's button can arrive: they wait their turn and run, in the order they came,
// as soon as the command under way is done. Nothing here throws (Qt does not, and the core
// never does): a command always ends and gives the turn back.
DrillEngine::Turn::Turn(DrillEngine& engine)
    : engine_(engine)
    , outermost_(!engine.busy_) {
    engine_.busy_ = true;
}

DrillEngine::Turn::~Turn() {
    if (!outermost_)
        return;
    engine_.busy_ = false;
    while (!engine_.waiting_.empty()) {
        const std::function<void()> next = std::move(engine_.waiting_.front());
        engine_.waiting_.pop_front();
        next();
    }
}

bool DrillEngine::queued(std::function<void()> command) {
    if (!busy_)
        return false;
    waiting_.push_back(std::move(command));
    return true;
}

void DrillEngine::dayTurned() {
    if (queued([this] { dayTurned(); }))
        return;
    const Turn turn(*this);
    refreshDue();
}

void DrillEngine::historyChanged() {
    if (queued([this] { historyChanged(); }))
        return;
    const Turn turn(*this);
    refreshDue();
}

void DrillEngine::lessonsChosen(const QStringList& files) {
    if (queued([=, this] { lessonsChosen(files); }))
        return;
    const Turn turn(*this);
    module_.SelectedFiles = files;
    module_.SelectedFileCount = qint32(files.size());
    CurrentFileIndex = 0;
    打开();
}

QuestionArea DrillEngine::questionArea() const {
    const SettingsRecord& s = module_.Settings;
    return {.choiceCount = qBound(1, s.ChoiceCount, 5),
            .typing = s.ChoiceMode == VbFalse,
            .autoBrowse = s.AutoBrowse != VbFalse,
            .autoBrowseInterval = autoBrowseInterval(s),
            .windowColour = colourValue(s.WindowBackColor),
            .questionColour = colourValue(s.QuestionColor1),
            .hoverColour = colourValue(s.HoverColor),
            .wrongColour = colourValue(s.WrongColor)};
}

void DrillEngine::showQuestion(const QString& text) {
    shownQuestion_ = text;
    view_.setQuestion(text);
}

void DrillEngine::showPronunciation() {
    const bool shown = module_.ShowPronunciation && !reversed_ &&
                       module_.Settings.ListeningMode == VbFalse && CurrentWord >= 1 &&
                       CurrentWord <= table_.size();
    if (!shown)
        return view_.showPronunciation({}, {});
    const QString word = table_.word(CurrentWord).toString();
    view_.showPronunciation(word, pronunciations_.value(word));
}

void DrillEngine::showChoice(int position, const QString& text) {
    shownChoices_[position] = text;
    view_.setChoice(position, text);
}

void DrillEngine::clearChoices() {
    shownChoices_ = {};
    view_.clearChoices();
}

void DrillEngine::clearScreen() {
    shownQuestion_.clear();
    shownChoices_ = {};
    view_.clscreen(questionArea());
    view_.showCorrection({});
}

void DrillEngine::lessonFolderMoved(const QString& before) {
    const QDir old(before), now(module_.lessonFolder());
    const auto moved = [&](const QString& path) {
        const QString inside = old.relativeFilePath(path);
        return inside.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(inside)
                   ? path
                   : now.filePath(inside);
    };
    for (QString& file : module_.SelectedFiles)
        file = moved(file);
    const QString was = std::exchange(CurrentFilePath, moved(CurrentFilePath));
    if (!was.isEmpty() && was != CurrentFilePath)
        setCaption(QString(caption_).replace(shownPath(was), shownPath(CurrentFilePath)));
}

void DrillEngine::setCaption(const QString& text) {
    caption_ = text;
    view_.setCaption(text);
}

void DrillEngine::startUp(const QStringList& files) {
    if (queued([=, this] { startUp(files); }))
        return;
    const Turn turn(*this);
    rescueNotebookWords();
    // With a data folder shared with other computers, what the notebook held at the start
    // tells their words from the ones reviewed now (see savescb).
    if (!module_.DataFolder.isEmpty())
        for (const WordPair& pair : notebookFile(module_.notebookPath(), module_.sharedFolder()))
            notebookAtStart_.insert(pair.word);
    refreshDue();
    if (!files.isEmpty())
        return studyFiles(files);
    // The words missed last time come first, when there are any.
    if (module_.Settings.ReviewNotebookAtStart == VbFalse ||
        !QFileInfo::exists(module_.notebookPath()))
        return;
    setCaption(QStringLiteral(" Vokarin2.0: 正在复习上次的生词 "));
    reviewNotebook(module_.notebookPath());
    if (!questionOpen_) // a notebook that cannot be studied: nothing to review
        setCaption(QStringLiteral("Vokarin2.0"));
}

void DrillEngine::studyFiles(const QStringList& files) {
    if (queued([=, this] { studyFiles(files); }))
        return;
    const Turn turn(*this);
    if (files.isEmpty())
        return;
    ReviewingNotebook = false;
    module_.Settings.ChoiceCount = module_.SavedChoiceCount;
    lessonsChosen(files);
}

void DrillEngine::dispatch(Command command, int position) {
    if (queued([=, this] { dispatch(command, position); }))
        return;
    const Turn turn(*this);
    switch (command) {
    case Command::OpenEditor:
        view_.showEditor();
        break;
    case Command::OpenSettings:
        view_.showSettings();
        break;
    case Command::ReviewDue:
        reviewDue();
        break;
    case Command::ShowStatistics:
        view_.showStatistics();
        break;
    case Command::ChooseLessons:
        ReviewingNotebook = false;
        选择();
        break;
    case Command::Repeat:
        重复();
        break;
    case Command::SwitchAnswerMode:
        changechild();
        break;
    case Command::ReadAloud:
        朗读();
        break;
    case Command::Help:
        帮助();
        break;
    case Command::PressNumber:
        if (questionShown())
            Label2_Click(position);
        break;
    case Command::PressSpace:
        if (questionShown() && module_.Settings.ChoiceCount == 1)
            Label3_Click(1);
        break;
    case Command::ClickNumber:
        Label2_Click(position);
        break;
    case Command::ClickChoice:
        Label3_Click(position);
        break;
    }
}

void DrillEngine::autoBrowseTick() {
    // Ticks come again: one waiting is enough.
    if (busy_) {
        if (!tickWaiting_) {
            tickWaiting_ = true;
            waiting_.push_back([this] {
                tickWaiting_ = false;
                autoBrowseTick();
            });
        }
        return;
    }
    const Turn turn(*this);
    if (!questionShown() || module_.Settings.AutoBrowse == VbFalse)
        return;
    module_.Settings.ChoiceCount = 1;
    Label3_Click(1);
}

bool DrillEngine::mainWindowClosing(std::function<void()> again, bool now) {
    if (busy_ && !now) {
        if (again)
            waiting_.push_back(std::move(again));
        return false;
    }
    const Turn turn(*this);
    // An orderly end: the notebook file has the run's words (a lone word is let go, as at the
    // end of a selection), so the history need keep them no longer, unless the file could not
    // be written.
    if (notebook_.unsaved() == 0 || notebook_.count() < 2 || savescb()) {
        QStringList saved;
        for (const WordPair& pair : notebook_.entries())
            saved << pair.word;
        platform_.history.clearNotebookWords(saved);
    }
    keepOpenRun();
    return true;
}

void DrillEngine::onceMore() {
    if (queued([=, this] { onceMore(); }))
        return;
    const Turn turn(*this);
    if (module_.SelectedFileCount == 1) {
        重复();
    } else {
        CurrentFileIndex = 0;
        打开();
    }
}

void DrillEngine::otherLessons() {
    if (queued([=, this] { otherLessons(); }))
        return;
    const Turn turn(*this);
    CurrentFileIndex = 0;
    选择();
}

void DrillEngine::applySettings(const SettingsRecord& draft, qint16 directionOnOpen) {
    if (queued([=, this] { applySettings(draft, directionOnOpen); }))
        return;
    const Turn turn(*this);
    SettingsRecord& s = module_.Settings;
    s.SpeechSpeed = draft.SpeechSpeed;
    s.ReadCount = draft.ReadCount;
    s.ChoiceCount = draft.ChoiceCount;
    s.InitialUnfamiliarity = draft.InitialUnfamiliarity;
    s.WrongRepeatCount = draft.WrongRepeatCount;

    s.TranslationDirection = draft.TranslationDirection;
    // Every Apply restarts the lesson while the direction differs from the one at opening.
    if (s.TranslationDirection != directionOnOpen)
        重复();

    s.ListeningMode = draft.ListeningMode;
    s.ReviewNotebookAtStart = draft.ReviewNotebookAtStart;
    if (draft.AutoBrowse != VbFalse) {
        s.AutoBrowse = VbTrue;
        s.ChoiceCount = 1;
        s.AutoBrowseSpeed = draft.AutoBrowseSpeed;
        view_.setAutoBrowseInterval(autoBrowseInterval(s));
    } else {
        s.AutoBrowse = VbFalse;
    }
    s.AutoBrowseSpeed = draft.AutoBrowseSpeed;

    s.WindowBackColor = draft.WindowBackColor;
    s.QuestionColor1 = draft.QuestionColor1;
    s.QuestionColor2 = draft.QuestionColor2;
    s.QuestionColor3 = draft.QuestionColor3;
    s.QuestionColor4 = draft.QuestionColor4;
    s.HoverColor = draft.HoverColor;
    s.WrongColor = draft.WrongColor;
    s.AnswerColor = draft.AnswerColor;
    view_.applyColours(questionArea());
    // The pronunciation, asked for or not any more, on the question on show.
    if (questionOpen_)
        showPronunciation();

    if (const FileResult saved = module_.SaveSettings(); !saved.ok())
        platform_.messages.ok(QStringLiteral("设置没能保存：") + saved.description);
}

void DrillEngine::reviewNotebook(const QString& path) {
    CurrentFilePath = path;
    ReviewingNotebook = true;
    打开();
}

void DrillEngine::打开() {
    const Turn turn(*this);
    const SettingsRecord& s = module_.Settings;
    const bool reviewing = ReviewingNotebook;
    const QString previousPath = CurrentFilePath;
    const QString previousCaption = caption_;
    if (!reviewing) {
        CurrentFilePath = module_.SelectedFiles.value(CurrentFileIndex);
        setCaption(QStringLiteral(" Vokarin2.0 :正在学习") + shownPath(CurrentFilePath));
    }
    const QString path = CurrentFilePath;

    // A file that cannot be studied changes nothing: the table, the question on screen and
    // the caption stay as they were.
    auto fail = [&](const QString& message) {
        if (!message.isEmpty())
            platform_.messages.ok(message);
        if (!reviewing) {
            CurrentFilePath = previousPath;
            setCaption(previousCaption);
        }
    };

    loading_ = true;
    LoadedLesson loaded = loadLessonAside(path, qMax(1, s.InitialUnfamiliarity), loadAsideBytes_,
                                          module_.recordingFolder());
    loading_ = false;
    if (!loaded.result.ok())
        return fail(loaded.result.description);
    // Another program's list says why it gave so few: the rows it left out.
    if (loaded.lines < 2)
        return fail(reviewing ? QString()
                              : shownPath(path) + QStringLiteral("单词少于2个,无法学习") +
                                    (loaded.leftOut.isEmpty()
                                         ? QString()
                                         : QStringLiteral("（%1）").arg(loaded.leftOut)));
    if (loaded.emptyRecord > 0) {
        ReviewingNotebook = false;
        return fail(shownPath(path) + QStringLiteral("中第 %1行有空词！").arg(loaded.emptyRecord));
    }

    // The rows of a word list that could not be read are told before the drill begins.
    if (!loaded.leftOut.isEmpty())
        platform_.messages.ok(QStringLiteral("“%1”").arg(shownPath(path)) + loaded.leftOut);
    const qint32 drilled = loaded.table.size();
    drillTable(std::move(loaded.table), drilled, std::move(loaded.pronunciations),
               std::move(loaded.recordings));
}

void DrillEngine::drillTable(WordTable table, qint32 drilled,
                             QHash<QString, QString> pronunciations,
                             QHash<QString, QString> recordings) {
    const SettingsRecord& s = module_.Settings;
    table_ = std::move(table);
    pronunciations_ = std::move(pronunciations);
    recordings_ = std::move(recordings);
    reversed_ = false;
    WordCount = drilled;
    if (s.TranslationDirection == VbFalse)
        eczh();
    restartTable();
    platform_.random.reseed();
    if (CurrentFileIndex == 0) {
        beginRun();
        PracticeStart = platform_.clock.now();
    }
    showTypingBoxWhenTyping();
    clearScreen();
    出题();
}

void DrillEngine::showTypingBoxWhenTyping() {
    if (module_.Settings.ChoiceMode == VbFalse) {
        view_.setTypingBoxVisible(true);
        view_.focusTypingBox();
    }
}

void DrillEngine::重复() {
    if (WordCount == 0)
        return;
    const SettingsRecord& s = module_.Settings;
    const qint32 start = qMax(1, s.InitialUnfamiliarity);
    table_.setEveryUnfamiliarity(start);
    // Again after the end of a run (its dialog, a switch of the answer mode): a run of its own.
    if (runRecorded_)
        beginRun();
    reversed_ = false;
    if (s.TranslationDirection == VbFalse)
        eczh();
    restartTable();
    // After the end of a run the box is hidden; a repeat in typing mode needs it back.
    showTypingBoxWhenTyping();
    clearScreen();
    出题();
}

void DrillEngine::eczh() {
    reversed_ = !reversed_;
}

QStringView DrillEngine::questionOf(qint32 number) const {
    return reversed_ ? table_.meaning(number) : table_.word(number);
}

QStringView DrillEngine::answerOf(qint32 number) const {
    return reversed_ ? table_.word(number) : table_.meaning(number);
}

WordRow DrillEngine::row(qint32 number) const {
    return {questionOf(number).toString(), answerOf(number).toString(),
            table_.word(number).toString(), table_.meaning(number).toString(),
            table_.unfamiliarity(number)};
}

void DrillEngine::restartTable() {
    RemainingCount = WordCount;
    unlearned_.reset(WordCount);
    // No more than five choices are ever shown, so five different answers are enough to know.
    // Rows past the drilled ones serve as choices only.
    QStringList answers;
    for (qint32 number = 1; number <= table_.size() && answers.size() < MostChoices; ++number)
        if (!answers.contains(answerOf(number)))
            answers << answerOf(number).toString();
    distinctAnswers_ = int(answers.size());
    view_.setStatusText(QStringLiteral("共计 %1").arg(WordCount));
}

void DrillEngine::出题() {
    SettingsRecord& s = module_.Settings;
    view_.bringToTop();
    if (table_.size() < s.ChoiceCount)
        s.ChoiceCount = table_.size();
    CurrentWord = pickRow();
    questionOpen_ = true;
    askedAt_ = platform_.clock.epochMs();
    revealed_ = false;
    showStatus();

    const qint32 c = table_.unfamiliarity(CurrentWord);
    if (c >= 1)
        view_.setQuestionColour(colourValue(c <= 2   ? s.QuestionColor1
                                            : c <= 4 ? s.QuestionColor2
                                            : c <= 6 ? s.QuestionColor3
                                                     : s.QuestionColor4));
    if (s.ListeningMode == VbFalse)
        showQuestion(questionOf(CurrentWord).toString());
    showPronunciation();
    if (Speech* speech = module_.SpeechObject)
        speech->setSpeed(s.SpeechSpeed);
    朗读();
    if (s.ChoiceMode != VbFalse)
        placeChoices();
    view_.Form_Resize(questionArea());
    announceQuestion();
}

// The verdict of the last answer, if right, the question and the choices, in one breath.
void DrillEngine::announceQuestion() {
    QString text = std::exchange(verdict_, {});
    if (module_.Settings.ListeningMode == VbFalse)
        text += questionOf(CurrentWord).toString() + u'。';
    for (int i = 1; i <= 5; ++i)
        if (!shownChoices_[i].isEmpty())
            text += QStringLiteral("%1 %2；").arg(i).arg(shownChoices_[i]);
    view_.announce(text);
}

// Every row not yet learned is equally likely, in the same time whatever the lesson's size.
qint32 DrillEngine::pickRow() {
    const int index = platform_.random.upTo(unlearned_.size()) - 1;
    return unlearned_.at(qBound(0, index, unlearned_.size() - 1));
}

void DrillEngine::markLearned(qint32 number) {
    unlearned_.remove(number);
    RemainingCount = unlearned_.size();
}

void DrillEngine::placeChoices() {
    // A lesson with fewer different answers than choices shows each of them once.
    const int n = qMin(qBound(1, module_.Settings.ChoiceCount, 5), distinctAnswers_);
    AnswerSlot = platform_.random.upTo(n);
    const QString answer = answerOf(CurrentWord).toString();
    showChoice(AnswerSlot, answer);
    QStringList placed{answer};
    for (int i = 1; i <= n; ++i) {
        view_.setNumber(i, QString::number(i));
        if (i == AnswerSlot)
            continue;
        const int d = distractorFor(placed);
        if (d == 0)
            break;
        placed << answerOf(d).toString();
        showChoice(i, placed.last());
    }
}

// A row other than the question whose answer is not shown yet; 0 when there is none.
int DrillEngine::distractorFor(const QStringList& placed) {
    auto usable = [&](int d) { return d != CurrentWord && !placed.contains(answerOf(d)); };
    const int rows = table_.size();
    for (int attempt = 0; attempt < DistractorDraws; ++attempt) {
        const int d = qBound(1, platform_.random.upTo(rows), rows);
        if (usable(d))
            return d;
    }
    QList<int> candidates;
    for (int d = 1; d <= rows; ++d)
        if (usable(d))
            candidates << d;
    if (candidates.isEmpty())
        return 0;
    const int pick = platform_.random.upTo(int(candidates.size()));
    return candidates[qBound(1, pick, int(candidates.size())) - 1];
}

void DrillEngine::showStatus() {
    const QString six(6, u' ');
    view_.setStatusText(QStringLiteral("共计 %1").arg(WordCount) + six +
                        QStringLiteral("剩余 %1").arg(RemainingCount) + six +
                        QStringLiteral(" 生疏系数  %1").arg(table_.unfamiliarity(CurrentWord)));
}

void DrillEngine::朗读() {
    Speech* speech = module_.SpeechObject;
    if (!speech)
        return;
    const SettingsRecord& s = module_.Settings;
    speech->setEnabled(true);
    if (s.TranslationDirection == VbFalse && s.ListeningMode == VbFalse)
        return;
    if (CurrentWord < 1 || CurrentWord > WordCount)
        return;
    // A package's own recording of the word where it has one, the voice otherwise.
    const QString word = table_.word(CurrentWord).toString();
    const QString recording = recordings_.value(word);
    for (qint32 i = 0; i < qMin(s.ReadCount, MostReadings); ++i)
        if (recording.isEmpty())
            speech->speak(word, SpeakFlags);
        else
            speech->speakRecording(recording, word, SpeakFlags);
}

void DrillEngine::判定() {
    const Turn turn(*this);
    if (!questionOpen_)
        return;
    const SettingsRecord& s = module_.Settings;
    const qint32 c = table_.unfamiliarity(CurrentWord);
    const bool right = givenIsRight();
    recordAnswer(right);
    if (!right) {
        const qint64 raised = qint64(c) + s.WrongRepeatCount + 1;
        const qint32 wrong = qint32(std::clamp<qint64>(raised, std::numeric_limits<qint32>::min(),
                                                       std::numeric_limits<qint32>::max()));
        table_.setUnfamiliarity(CurrentWord, wrong);
        if (wrong > qint64(2) * s.WrongRepeatCount && !ReviewingNotebook)
            joinscb();
        platform_.sound.play(QDir(module_.ResourceFolder).filePath(QStringLiteral("ERROR.wav")));
        if (s.ChoiceMode != VbFalse && ClickedSlot >= 1 && ClickedSlot <= 5)
            view_.setChoiceBackColour(ClickedSlot, colourValue(s.WrongColor));
        wrongAnswerShown();
        return;
    }
    verdict_ = QStringLiteral("答对了。");
    table_.setUnfamiliarity(CurrentWord, c - 1);
    if (c - 1 <= 0)
        markLearned(CurrentWord);
    if (RemainingCount > 0) {
        clearScreen();
        出题();
        return;
    }
    fileFinished();
}

// After a wrong answer: the right one, when the learner wants it at once (marked as 帮助 marks
// it, or beside the typing box), and, once, that forgiving typing would have taken the answer.
void DrillEngine::wrongAnswerShown() {
    const SettingsRecord& s = module_.Settings;
    const QString answer = answerOf(CurrentWord).toString();
    const bool typed = s.ChoiceMode == VbFalse && ClickedSlot == 0;
    QString said = QStringLiteral("答错了。");
    if (module_.ShowRightAnswer) {
        revealed_ = true;
        said += QStringLiteral("正确答案：") + answer;
        if (typed)
            view_.showCorrection(answer);
        else if (AnswerSlot >= 1 && AnswerSlot <= 5)
            view_.setChoiceBackColour(AnswerSlot, colourValue(s.AnswerColor));
    }
    view_.announce(said);
    if (typed && !module_.ForgivingTyping && !forgivingHintGiven_ &&
        forgivingMatch(GivenAnswer, answer)) {
        forgivingHintGiven_ = true;
        platform_.messages.ok(QStringLiteral("“%1”在宽松判定下算对。想这样判定，请在设置（C）里选上"
                                             "“输入答案时宽松判定”。")
                                  .arg(GivenAnswer));
    }
}

void DrillEngine::fileFinished() {
    questionOpen_ = false;
    clearScreen();
    view_.setTypingBoxVisible(false);
    if (ReviewingNotebook) {
        // The review of the notebook at start is a run of its own.
        recordSession(::practiceMinutes(PracticeStart, platform_.clock.now()));
        ReviewingNotebook = false;
        refreshDue();
        选择();
        return;
    }
    if (CurrentFileIndex < module_.SelectedFileCount - 1) {
        ++CurrentFileIndex;
        打开();
        return;
    }
    // The selection is finished.
    if (notebook_.count() > 1)
        savescb();
    jstime();
    recordSession(PracticeMinutes);
    refreshDue();
    view_.showEndOfLessonDialog(PracticeMinutes);
}

void DrillEngine::joinscb() {
    const QString word = table_.word(CurrentWord).toString();
    const QString meaning = table_.meaning(CurrentWord).toString();
    if (notebook_.add(word, meaning))
        platform_.history.keepNotebookWord(word, meaning);
}

void DrillEngine::keepNotebookPlain() {
    const QString path = module_.notebookPath();
    if (module_.sharedFolder().isEmpty() || isPlainEntry(path, false))
        return;
    platform_.messages.ok(setApartMessage(path, setApart(path)));
}

bool DrillEngine::savescb() {
    keepNotebookPlain();
    // In a data folder shared with other computers, the notebook may hold words another
    // computer collected since this one started: they stay. Those it held at the start (the
    // words reviewed then) make way as they always do.
    QList<WordPair> others;
    if (!module_.DataFolder.isEmpty())
        for (const WordPair& pair : notebookFile(module_.notebookPath(), module_.sharedFolder()))
            if (!notebookAtStart_.contains(pair.word))
                others.append(pair);
    const FileResult saved =
        notebook_.write(module_.notebookPath(), others, module_.sharedFolder());
    if (!saved.ok()) {
        platform_.messages.ok(QStringLiteral("生词没能存进生词本：") + saved.description);
        return false;
    }
    // The words of the start that made way were learnt here: told to the other computers once,
    // so that their copies of the notebook do not bring them back. One they put in again
    // later is theirs (see above).
    if (!notebookAtStart_.isEmpty()) {
        QSet<QString> kept;
        for (const WordPair& pair : notebook_.entries() + others)
            kept.insert(pair.word);
        QStringList takenOut;
        for (const QString& word : std::as_const(notebookAtStart_))
            if (!kept.contains(word))
                takenOut << word;
        takenOut.sort();
        platform_.history.takeOutOfNotebook(takenOut);
        for (const QString& word : std::as_const(takenOut))
            notebookAtStart_.remove(word);
    }
    return true;
}

void DrillEngine::rescueNotebookWords() {
    // Not read yet (a history busy merging): the words wait for the next start.
    const Answered<QList<NotebookWord>> known = platform_.history.notebookWords();
    if (!known || known->isEmpty())
        return;
    const QList<NotebookWord>& kept = *known;
    // The words of a run that ended without closing (killed, its display gone) join the
    // notebook file's own, each word once, the file's meaning first.
    keepNotebookPlain();
    const QString path = module_.notebookPath();
    Notebook notebook;
    if (QFileInfo::exists(path)) {
        LessonText text;
        if (!text.read(path, module_.sharedFolder()).ok() ||
            !text.readPairs(text.countLines(),
                            [&](QStringView word, QStringView meaning) {
                                notebook.add(word.toString(), meaning.toString());
                                return true;
                            })
                 .ok())
            return; // a notebook file that cannot be read is not replaced; the words wait
    }
    for (const NotebookWord& word : kept)
        notebook.add(word.english, word.chinese);
    // A lesson needs two words: a lone word waits for more.
    if (notebook.count() < 2)
        return;
    QDir().mkpath(module_.lessonFolder());
    if (notebook.write(path, {}, module_.sharedFolder()).ok()) {
        QStringList saved;
        for (const NotebookWord& word : kept)
            saved << word.english;
        platform_.history.clearNotebookWords(saved);
    }
}

void DrillEngine::jstime() {
    PracticeEnd = platform_.clock.now();
    PracticeMinutes = ::practiceMinutes(PracticeStart, PracticeEnd);
}

void DrillEngine::帮助() {
    if (!questionOpen_)
        return;
    revealed_ = true;
    const SettingsRecord& s = module_.Settings;
    if (s.ChoiceMode != VbFalse) {
        if (RemainingCount > 0 && AnswerSlot >= 1 && AnswerSlot <= 5)
            view_.setChoiceBackColour(AnswerSlot, colourValue(s.AnswerColor));
        朗读();
    } else {
        view_.setTypingText(answerOf(CurrentWord).toString());
    }
}

void DrillEngine::changechild() {
    SettingsRecord& s = module_.Settings;
    if (!questionShown()) {
        platform_.messages.ok(QStringLiteral("文件未选择或正在练听力！"));
        return;
    }
    if (s.ChoiceMode != VbFalse) {
        s.ChoiceMode = VbFalse;
        view_.setTypingBoxVisible(true);
        view_.focusTypingBox();
        clearChoices();
    } else {
        s.ChoiceMode = VbTrue;
        view_.setTypingBoxVisible(false);
        重复();
    }
    view_.Form_Resize(questionArea());
}

void DrillEngine::选择() {
    module_.Settings.ChoiceCount = module_.SavedChoiceCount;
    view_.showLessonChooser();
}

void DrillEngine::Label2_Click(int position) {
    Label3_Click(position);
}

void DrillEngine::Label3_Click(int position) {
    if (!questionOpen_ || position < 1 || position > 5)
        return;
    GivenAnswer = shownChoices_[position];
    if (module_.Settings.AutoBrowse != VbFalse && AnswerSlot >= 1 && AnswerSlot <= 5)
        GivenAnswer = shownChoices_[AnswerSlot];
    ClickedSlot = position;
    判定();
}

void DrillEngine::answerTyped(const QString& text) {
    if (queued([=, this] { answerTyped(text); }))
        return;
    const Turn turn(*this);
    if (!questionOpen_)
        return;
    if (text.isEmpty()) {
        帮助();
        return;
    }
    GivenAnswer = text;
    ClickedSlot = 0;
    判定();
}

bool DrillEngine::givenIsRight() const {
    const QStringView answer = answerOf(CurrentWord);
    if (GivenAnswer == answer)
        return true;
    const bool typed = ClickedSlot == 0 && module_.Settings.ChoiceMode == VbFalse;
    return typed && module_.ForgivingTyping && forgivingMatch(GivenAnswer, answer);
}

QString DrillEngine::lessonName(const QString& path) const {
    return QDir(module_.lessonFolder()).relativeFilePath(path);
}

// A run begins; one still open before it (left for other lessons, the review) is kept first.
// The history keeps one run per start, so no two begin in the same millisecond.
void DrillEngine::beginRun() {
    keepOpenRun();
    runStartedAt_ = qMax(platform_.clock.epochMs(), runStartedAt_ + 1);
    runRecorded_ = false;
    runFiles_.clear();
    if (ReviewingNotebook)
        runFiles_ << lessonName(CurrentFilePath);
    else
        for (const QString& file : std::as_const(module_.SelectedFiles))
            runFiles_ << lessonName(file);
}

// A run that drilled and was left unfinished is a run all the same.
void DrillEngine::keepOpenRun() {
    if (questionOpen_ && !runRecorded_)
        recordSession(::practiceMinutes(PracticeStart, platform_.clock.now()));
}

void DrillEngine::recordSession(qint32 minutes) {
    runRecorded_ = true;
    platform_.history.recordSession({runStartedAt_, platform_.clock.epochMs(), minutes, runFiles_});
}

void DrillEngine::recordAnswer(bool correct) {
    const SettingsRecord& s = module_.Settings;
    // The slide show answers by itself; only the learner's own answers are history.
    if (s.AutoBrowse != VbFalse)
        return;
    const qint64 now = platform_.clock.epochMs();
    const AnswerMode mode = s.ListeningMode != VbFalse ? AnswerMode::Listening
                            : s.ChoiceMode != VbFalse  ? AnswerMode::Choice
                                                       : AnswerMode::Typing;
    platform_.history.recordAnswer({now,
                                    lessonName(CurrentFilePath),
                                    table_.word(CurrentWord).toString(),
                                    table_.meaning(CurrentWord).toString(),
                                    reversed_,
                                    {correct, revealed_, qMax<qint64>(0, now - askedAt_), mode}});
}

void DrillEngine::refreshDue() {
    const qint64 now = platform_.clock.epochMs();
    // What is not known yet is said to be on its way, never taken for "none"; the count follows
    // when the history has it (historyChanged).
    const bool merging = platform_.history.merging();
    const Answered<qint32> due = merging ? std::nullopt : platform_.history.dueCount(now);
    const Answered<std::optional<qint64>> next =
        due && *due == 0 ? platform_.history.nextDue(now) : std::nullopt;
    const QString waiting = merging ? QStringLiteral("正在合并别的电脑的答题记录……")
                                    : QStringLiteral("正在读学习记录……");
    view_.setReviewTip(!due       ? QStringLiteral("今日复习(D)：") + waiting
                       : *due > 0 ? QStringLiteral("今日复习(D)：%1 个单词该复习了").arg(*due)
                                  : QStringLiteral("今日复习(D)：现在没有要复习的单词"));
    if (questionOpen_)
        return;
    // The line of the run that ended does not stay.
    if (!due || (*due == 0 && !next))
        view_.setStatusText(waiting);
    else if (*due > 0)
        view_.setStatusText(QStringLiteral("今天有 %1 个单词该复习了，按 D 开始").arg(*due));
    else if (!*next) // nothing learnt yet: how to begin
        view_.setStatusText(QStringLiteral("按 O 选择课文，按 F 编辑单词文件，按 D 今日复习"));
    else
        view_.setStatusText(QStringLiteral("现在没有要复习的单词，按 O 选择课文"));
}

void DrillEngine::reviewDue() {
    const qint64 now = platform_.clock.epochMs();
    const bool merging = platform_.history.merging();
    const Answered<QList<DueWord>> known =
        merging ? std::nullopt : platform_.history.dueWords(now, MostDueWords);
    const Answered<std::optional<qint64>> next =
        known && known->isEmpty() ? platform_.history.nextDue(now) : std::nullopt;
    if (!known || (known->isEmpty() && !next)) {
        platform_.messages.ok(merging ? QStringLiteral("正在合并别的电脑的答题记录，合并完就知道"
                                                       "哪些单词该复习了。请稍后再按 D。")
                                      : QStringLiteral("学习记录暂时读不出来（可能正被别的程序"
                                                       "占用），请稍后再按 D。"));
        return;
    }
    QList<DueWord> due = *known;
    if (due.isEmpty()) {
        platform_.messages.ok(
            *next ? QStringLiteral("现在没有要复习的单词。下一个要复习的单词在 %1 到期。")
                        .arg(QDateTime::fromMSecsSinceEpoch(**next).toString(
                            QStringLiteral("yyyy-MM-dd HH:mm")))
                  : QStringLiteral("还没有要复习的单词：答过题的单词会按记忆规律排定复习的日子。"));
        return;
    }
    // The due words are drilled; the learner's other words (the history's, and those of the
    // lessons the due words came from) serve as wrong choices, so that the answers cannot be
    // found by elimination. Nothing is written into the lesson folder.
    const qint32 unfamiliarity = qMax(1, module_.Settings.InitialUnfamiliarity);
    WordTable table;
    QSet<QString> words, meanings;
    for (const DueWord& word : std::as_const(due)) {
        table.append(word.english, word.chinese, unfamiliarity);
        words.insert(word.english);
        meanings.insert(word.chinese);
    }
    const qint32 drilled = table.size();
    const auto offer = [&](QStringView english, QStringView chinese) {
        if (table.size() - drilled >= MostReviewChoices || english.isEmpty() || chinese.isEmpty())
            return;
        const QString word = english.toString(), meaning = chinese.toString();
        if (words.contains(word) || meanings.contains(meaning))
            return;
        words.insert(word);
        meanings.insert(meaning);
        table.append(word, meaning, unfamiliarity);
    };
    for (const DueWord& word : platform_.history.someWords(MostReviewChoices))
        offer(word.english, word.chinese);
    QStringList english;
    QHash<QString, QString> pronunciations, recordings;
    for (const DueWord& word : std::as_const(due))
        english << word.english;
    for (const QString& lesson : platform_.history.lessonsOf(english)) {
        const QString path = QDir(module_.lessonFolder()).filePath(lesson);
        if (lesson == ReviewName || !QFileInfo(path).isFile())
            continue;
        const LoadedLesson loaded = loadLesson(path, unfamiliarity, module_.recordingFolder());
        for (qint32 row = 1; loaded.result.ok() && row <= loaded.table.size(); ++row)
            offer(loaded.table.word(row), loaded.table.meaning(row));
        pronunciations.insert(loaded.pronunciations);
        recordings.insert(loaded.recordings);
    }
    ReviewingNotebook = false;
    module_.Settings.ChoiceCount = module_.SavedChoiceCount;
    // The run is named as the review always was, in the history and the caption.
    const QString name = QDir(module_.lessonFolder()).filePath(ReviewName);
    module_.SelectedFiles = {name};
    module_.SelectedFileCount = 1;
    CurrentFileIndex = 0;
    CurrentFilePath = name;
    setCaption(QStringLiteral(" Vokarin2.0 :正在学习") + shownPath(name));
    drillTable(std::move(table), drilled, std::move(pronunciations), std::move(recordings));
}
