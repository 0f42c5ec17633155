#pragma once

#include <QString>
#include <QtGlobal>

// What the question area is laid out for, as the drill has it now. The window keeps the last
// one it was given for the layout passes the window system asks for.
struct QuestionArea final {
    int choiceCount = 3;        // 1 to 5
    bool typing = false;        // answers typed in the box rather than chosen
    bool autoBrowse = false;    // the window may shrink to a strip
    int autoBrowseInterval = 0; // milliseconds
    quint32 windowColour = 0;   // the colours, as 0x00BBGGRR values
    quint32 questionColour = 0; // the first question colour, which an emptied area starts in
    quint32 hoverColour = 0;
    quint32 wrongColour = 0;
};

// How the drill shows things in the main window. It only shows: the engine keeps what is on
// screen itself. Choice positions run from 1 to 5; colours are 0x00BBGGRR values.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void setQuestion(const QString& text) = 0;
    virtual void setQuestionColour(quint32 colour) = 0;

    virtual void setNumber(int position, const QString& text) = 0;
    virtual void setChoice(int position, const QString& text) = 0;
    virtual void setChoiceBackColour(int position, quint32 colour) = 0;
    // Empties every number and choice and gives them the window's colour again.
    virtual void clearChoices() = 0;

    // Empties the whole question area.
    virtual void clscreen(const QuestionArea& area) = 0;
    // Lays the question and the choices out for the window's size.
    virtual void Form_Resize(const QuestionArea& area) = 0;

    virtual void setCaption(const QString& text) = 0;
    virtual void setStatusText(const QString& text) = 0;
    // The tooltip of the 今日复习 button.
    virtual void setReviewTip(const QString& text) = 0;

    virtual void setTypingBoxVisible(bool visible) = 0;
    virtual void focusTypingBox() = 0;
    virtual void setTypingText(const QString& text) = 0;
    // After a wrong typed answer, the right one beside the box (when the learner wants it).
    virtual void showCorrection(const QString& answer) = 0;
    // The asked word's pronunciation beside it ("/ɡrɪt/"), or nothing: an empty word hides it.
    // For a word whose pronunciation is not known the window may find one itself.
    virtual void showPronunciation(const QString& word, const QString& pronunciation) = 0;
    // What a screen reader says: a question with its choices, the verdict of an answer.
    virtual void announce(const QString& text) = 0;

    // Keeps the window above all others, without moving or resizing it.
    virtual void bringToTop() = 0;
    // The window colour on the window, its question and its choices, and the first question
    // colour on the question.
    virtual void applyColours(const QuestionArea& area) = 0;
    virtual void setAutoBrowseInterval(int milliseconds) = 0;

    virtual void showLessonChooser() = 0;
    virtual void showEndOfLessonDialog(qint32 practiceMinutes) = 0;
    virtual void showEditor() = 0;
    virtual void showSettings() = 0;
    virtual void showStatistics() = 0;
};
