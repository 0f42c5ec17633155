#pragma once

#include "drill/mainview.h"

#include <QStringList>
#include <array>

// Keeps what the engine last showed, as the window would show it, and counts the rest.
class RecordingView final : public MainView {
public:
    void setQuestion(const QString& text) override { question = text; }
    void setQuestionColour(quint32 colour) override { questionColour = colour; }
    void setNumber(int position, const QString& text) override { numbers[position] = text; }
    void setChoice(int position, const QString& text) override { choices[position] = text; }
    void setChoiceBackColour(int position, quint32 colour) override {
        backColours[position] = colour;
    }
    void clearChoices() override {
        numbers = {};
        choices = {};
        backColours = {};
    }
    void clscreen(const QuestionArea& laidOut) override {
        question.clear();
        pronounced.clear();
        clearChoices();
        area = laidOut;
    }
    void Form_Resize(const QuestionArea& laidOut) override { area = laidOut; }
    void setCaption(const QString& text) override { caption = text; }
    void setStatusText(const QString& text) override { status = text; }
    void setReviewTip(const QString& text) override { reviewTip = text; }
    void setTypingBoxVisible(bool visible) override { typingBox = visible; }
    void focusTypingBox() override {}
    void setTypingText(const QString& text) override { typed = text; }
    void showCorrection(const QString& answer) override { correction = answer; }
    void showPronunciation(const QString& word, const QString& known) override {
        pronounced = word.isEmpty() ? QString() : word + u' ' + known;
    }
    void announce(const QString& text) override { announced << text; }
    void bringToTop() override { ++broughtToTop; }
    void applyColours(const QuestionArea& laidOut) override {
        area = laidOut;
        shown << "colours";
    }
    void setAutoBrowseInterval(int milliseconds) override { interval = milliseconds; }
    void showLessonChooser() override { shown << "chooser"; }
    void showEndOfLessonDialog(qint32 minutes) override {
        practiceMinutes = minutes;
        shown << "end of lesson";
    }
    void showEditor() override { shown << "editor"; }
    void showStatistics() override { shown << "statistics"; }
    void showSettings() override { shown << "settings"; }

    // The choices on show, in order of position.
    QStringList choicesShown() const {
        QStringList texts;
        for (int i = 1; i <= 5; ++i)
            if (!choices[i].isEmpty())
                texts << choices[i];
        return texts;
    }

    QString question, caption, status, typed, reviewTip, correction;
    QString pronounced; // "word /pronunciation/" as last shown, or nothing
    QStringList announced;
    quint32 questionColour = 0;
    std::array<QString, 6> numbers, choices; // 1 to 5
    std::array<quint32, 6> backColours{};
    bool typingBox = false;
    int broughtToTop = 0;
    int interval = 0;
    QuestionArea area;
    qint32 practiceMinutes = -1;
    QStringList shown;
};
