#pragma once
#include <optional>

#include "services/clock.h"
#include "services/colourchooser.h"
#include "services/filedialogs.h"
#include "services/history.h"
#include "services/messageboxes.h"
#include "services/platform.h"
#include "services/random.h"
#include "services/sound.h"
#include "services/speech.h"

#include <QList>
#include <QStringList>
#include <QTime>
#include <algorithm>
#include <deque>
#include <functional>
#include <utility>

// Records the texts shown; answers Yes/No questions from a script (No when it runs dry).
class FakeMessageBoxes final : public MessageBoxes {
public:
    void ok(const QString& text) override { shown << text; }
    Answer yesNo(const QString& text) override {
        shown << text;
        if (answers.empty())
            return Answer::No;
        const Answer next = answers.front();
        answers.pop_front();
        return next;
    }
    QStringList shown;
    std::deque<Answer> answers;
};

// Answers with the scripted paths; an empty script means the learner cancels.
class FakeFileDialogs final : public FileDialogs {
public:
    std::optional<Chosen> openFile(const Request& request) override {
        const auto path = next(request);
        const int filter = openFilters.empty() ? request.shownFilter : openFilters.front();
        if (!openFilters.empty())
            openFilters.pop_front();
        return path ? std::optional(Chosen{*path, filter}) : std::nullopt;
    }
    std::optional<QString> chooseFolder(const QString& start) override {
        return next({{}, start, {}});
    }
    std::optional<Chosen> saveFile(const Request& request) override {
        const auto path = next(request);
        const int filter = filters.empty() ? 0 : filters.front();
        if (!filters.empty())
            filters.pop_front();
        return path ? std::optional(Chosen{*path, filter}) : std::nullopt;
    }
    QList<Request> requests;
    std::deque<std::optional<QString>> answers;
    std::deque<int> filters;     // the filter left chosen in each save dialog; the first without
    std::deque<int> openFilters; // and in each open dialog; the one shown first without

private:
    std::optional<QString> next(const Request& request) {
        requests << request;
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class FakeColourChooser final : public ColourChooser {
public:
    std::optional<quint32> choose(quint32 initial) override {
        offered << initial;
        return answer;
    }
    QList<quint32> offered;
    std::optional<quint32> answer; // empty: cancelled
};

class FakeSound final : public Sound {
public:
    void play(const QString& wavePath) override {
        played << wavePath;
        // What a real alarm's nested event loop could let in while it sounds.
        if (whilePlaying)
            std::exchange(whilePlaying, nullptr)();
    }
    QStringList played;
    std::function<void()> whilePlaying;
};

// Every call, in order, as readable text.
class FakeSpeech final : public Speech {
public:
    void open(const QString& site, const QString& app) override {
        calls << QStringLiteral("open[%1][%2]").arg(site, app);
    }
    void setSpeed(qint32 wpm) override { calls << QStringLiteral("speed %1").arg(wpm); }
    void setEnabled(bool on) override { calls << QStringLiteral("enabled %1").arg(on); }
    void speak(const QString& text, qint32 flags) override {
        calls << QStringLiteral("speak %1 %2").arg(text).arg(flags);
    }
    void speakRecording(const QString& file, const QString& text, qint32 flags) override {
        calls << QStringLiteral("play %1 for %2 %3").arg(file, text).arg(flags);
    }
    void setAccent(Accent a) override { accent = a; }
    QString voiceInUse() override { return voice; }
    QStringList voicesFound() override { return {voice}; }
    QString betterVoicePackage() override { return better; }
    QString better; // the package that would read the accent better
    QStringList calls;
    QString voice = QStringLiteral("fake · voice"); // empty: no English voice installed
    std::optional<Accent> accent;                   // the last accent asked for
};

class FakeClock final : public Clock {
public:
    QTime now() const override { return time; }
    qint64 epochMs() const override { return epoch; }
    QTime time{9, 0, 0};
    qint64 epoch = 1796634000000; // 2026-12-07 09:00 UTC
};

// Hands out the scripted values in turn, then 0.
class FakeRandom final : public Random {
public:
    double next() override {
        if (values.empty())
            return 0;
        const double r = values.front();
        values.pop_front();
        return r;
    }
    void reseed() override { ++reseeds; }
    std::deque<double> values;
    int reseeds = 0;
};

// Keeps what it is told; due words are what a test puts in. While late, no read is answered
// (a history busy with a long merge, or locked).
class FakeHistory final : public History {
public:
    void recordAnswer(const AnswerRecord& answer) override { answers.append(answer); }
    void recordSession(const SessionRecord& session) override { sessions.append(session); }
    Answered<QList<DueWord>> dueWords(qint64 now, int limit) override {
        if (late)
            return std::nullopt;
        QList<DueWord> out;
        for (const DueWord& word : due)
            if (word.due <= now && out.size() < limit)
                out.append(word);
        return out;
    }
    Answered<qint32> dueCount(qint64 now) override {
        if (late)
            return std::nullopt;
        return qint32(dueWords(now, 1 << 30)->size());
    }
    Answered<std::optional<qint64>> nextDue(qint64 now) override {
        if (late)
            return std::nullopt;
        std::optional<qint64> next;
        for (const DueWord& word : due)
            if (word.due > now && (!next || word.due < *next))
                next = word.due;
        return next;
    }
    QList<DueWord> someWords(int limit) override { return known.first(qMin(known.size(), limit)); }
    QStringList lessonsOf(const QStringList& english) override {
        QStringList found;
        for (const AnswerRecord& answer : std::as_const(answers))
            if (english.contains(answer.english) && !found.contains(answer.lesson))
                found << answer.lesson;
        return found;
    }
    bool merging() const override { return late; }
    void keepNotebookWord(const QString& english, const QString& chinese) override {
        if (std::none_of(kept.cbegin(), kept.cend(),
                         [&](const NotebookWord& w) { return w.english == english; }))
            kept.append({english, chinese});
    }
    void clearNotebookWords(const QStringList& english) override {
        kept.removeIf([&](const NotebookWord& w) { return english.contains(w.english); });
    }
    Answered<QList<NotebookWord>> notebookWords() override {
        if (late)
            return std::nullopt;
        return kept;
    }
    void takeOutOfNotebook(const QStringList& english) override { takenOut += english; }
    void keepLogIn(const QString& folder, const QString& device) override {
        logFolder = folder;
        logDevice = device;
    }
    bool late = false;
    QString logFolder, logDevice;
    QList<AnswerRecord> answers;
    QList<SessionRecord> sessions;
    QList<DueWord> due;
    QList<DueWord> known; // the words someWords() hands out
    QList<NotebookWord> kept;
    QStringList takenOut;
};

struct FakePlatform final {
    FakeMessageBoxes messages;
    FakeFileDialogs files;
    FakeColourChooser colours;
    FakeSound sound;
    FakeSpeech speech;
    FakeClock clock;
    FakeRandom random;
    FakeHistory history;
    Platform platform{messages, files, colours, sound, clock, random, history};
};
