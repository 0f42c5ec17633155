#include "scheduling/wordmemory.h"

#include <QDateTime>
#include <algorithm>

qint64 learnersDay(qint64 ms, const QTimeZone& zone) {
    return QDateTime::fromMSecsSinceEpoch(ms, zone).date().toJulianDay();
}

bool applyAnswer(WordMemory& word, qint64 at, const AnswerFacts& facts, const QTimeZone& zone) {
    const qint64 today = learnersDay(at, zone);
    const bool first = word.figures.lastDay != today;
    const fsrs::Grade grade = gradeFor(facts);
    word.lastAnswer = qMax(word.lastAnswer, at);
    const bool stepCome = fsrs::isLearning(word.memory) && at >= word.memory.due;
    if (!first && !stepCome)
        return first;
    word.memory = fsrs::review(word.memory, grade, at);
    if (first) {
        ++word.figures.reviews;
        word.figures.right += grade != fsrs::Grade::Again;
        word.figures.forgotten += grade == fsrs::Grade::Again;
        word.figures.lastDay = today;
    }
    return first;
}

WordMemory replayAnswers(QList<TimedAnswer> answers, const QTimeZone& zone) {
    const auto before = [](const TimedAnswer& x, const TimedAnswer& y) {
        return x.at != y.at ? x.at < y.at : x.device < y.device;
    };
    std::stable_sort(answers.begin(), answers.end(), before);
    WordMemory word;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        if (i > 0 && answers[i].at == answers[i - 1].at &&
            answers[i].device == answers[i - 1].device)
            continue; // the same answer, read again
        applyAnswer(word, answers[i].at, answers[i].facts, zone);
    }
    return word;
}
