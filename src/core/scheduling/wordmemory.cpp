#include "scheduling/wordmemory.h"

#include <QDateTime>
#include <algorithm>

qint64 learnersDay(qint64 ms, const QTimeZone& zone) {
    return QDateTime::fromMSecsSinceEpoch(ms, zone).date().toJulianDay();
}

qint64 LearnersDays::of(qint64 ms) {
    auto after = days_.upper_bound(ms);
    if (after != days_.begin() && ms < std::prev(after)->second.end)
        return std::prev(after)->second.day;
    const qint64 day = learnersDay(ms, zone_);
    const QDate date = QDate::fromJulianDay(day);
    const qint64 start = QDateTime(date, QTime(0, 0), zone_).toMSecsSinceEpoch();
    const qint64 end = QDateTime(date.addDays(1), QTime(0, 0), zone_).toMSecsSinceEpoch();
    // Kept only when both ends are truly of the day (a midnight the clocks skip moves them).
    if (start <= ms && ms < end && learnersDay(start, zone_) == day &&
        learnersDay(end - 1, zone_) == day)
        days_.emplace(start, Bounds{end, day});
    return day;
}

bool applyAnswer(WordMemory& word, qint64 at, const AnswerFacts& facts, const QTimeZone& zone) {
    return applyAnswerOn(word, at, learnersDay(at, zone), facts);
}

bool applyAnswerOn(WordMemory& word, qint64 at, qint64 today, const AnswerFacts& facts) {
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
    LearnersDays days(zone);
    WordMemory word;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        if (i > 0 && answers[i].at == answers[i - 1].at &&
            answers[i].device == answers[i - 1].device)
            continue; // the same answer, read again
        applyAnswerOn(word, answers[i].at, days.of(answers[i].at), answers[i].facts);
    }
    return word;
}
