#pragma once

#include "scheduling/grading.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One judged answer, as the drill saw it. Times are milliseconds since the Unix epoch (UTC).
struct AnswerRecord final {
    qint64 answeredAt = 0;
    QString lesson;  // relative to the lesson folder
    QString english; // as in the file
    QString chinese;
    bool chineseAsked = false; // the question was the Chinese ("zh-en")
    AnswerFacts facts;
};

// One run of a selection, from its first question to its end-of-run report.
struct SessionRecord final {
    qint64 startedAt = 0;
    qint64 endedAt = 0;
    qint32 minutes = 0; // as the end-of-run report counts them
    QStringList lessonFiles;
};

// A word whose review is due.
struct DueWord final {
    QString english;
    QString chinese;
    qint64 due = 0;
};

// A word collected for the notebook, kept until the notebook file has it.
struct NotebookWord final {
    QString english;
    QString chinese;
};

// A read of the history: answered in full, or empty when it is not answered yet (the history is
// busy merging, locked or cannot be read). Not answered is never "none": nobody acts on it.
template <typename T> using Answered = std::optional<T>;

// The learner's history across days: every answer, each word's memory and its due day. It
// never stops the drill: when it cannot be kept, the learner is told once and the drill goes on.
class History {
public:
    virtual ~History() = default;
    virtual void recordAnswer(const AnswerRecord& answer) = 0;
    virtual void recordSession(const SessionRecord& session) = 0;
    // Due at or before now, most overdue first, at most limit of them.
    virtual Answered<QList<DueWord>> dueWords(qint64 now, int limit) = 0;
    virtual Answered<qint32> dueCount(qint64 now) = 0;
    // The earliest due time after now, if any word has one.
    virtual Answered<std::optional<qint64>> nextDue(qint64 now) = 0;
    // Words of the history at random, at most limit: wrong choices for a review.
    virtual QList<DueWord> someWords(int limit) = 0;
    // The lessons (relative to the lesson folder) in which these English words were answered.
    virtual QStringList lessonsOf(const QStringList& english) = 0;
    // Whether other computers' answers are being merged in: what is read meanwhile is what is
    // known so far.
    virtual bool merging() const = 0;

    // The run's notebook words, kept as they are collected so that a program that is killed
    // or loses its display does not lose them; the next start adds them to the notebook.
    // Once the notebook file has them, they are cleared, those words only.
    virtual void keepNotebookWord(const QString& english, const QString& chinese) = 0;
    virtual void clearNotebookWords(const QStringList& english) = 0;
    virtual Answered<QList<NotebookWord>> notebookWords() = 0;
    // Words taken out of the notebook file (learnt in its review): with a shared data folder,
    // another computer's copy of the notebook does not bring them back.
    virtual void takeOutOfNotebook(const QStringList& english) = 0;

    // From now on this computer (device) logs its answers and runs in folder, where other
    // computers' logs are merged from; what it learnt before goes into its log too.
    virtual void keepLogIn(const QString& folder, const QString& device) = 0;
};
