// The word store: word rows and day figures (see wordstore.h).

#include "wordstore.h"

#include "waitingwords.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace historyfile {

namespace {

// A word's memory as stored, within what the scheduler can work with: the file may have been
// edited by hand or by another program.
fsrs::Memory storedMemory(const QSqlQuery& row) {
    // Times as a memory holds them: never due before 2000 or after 2100.
    auto time = [&](int column) {
        return std::clamp<qint64>(row.value(column).toLongLong(), fsrs::EarliestTime,
                                  fsrs::LatestTime);
    };
    auto count = [&](int column) {
        return qint32(std::clamp<qint64>(row.value(column).toLongLong(), 0, 1'000'000));
    };
    auto real = [&](int column, double low, double high) {
        const double x = row.value(column).toDouble();
        return std::isfinite(x) ? std::clamp(x, low, high) : low;
    };
    fsrs::Memory memory;
    memory.state = qint32(std::clamp<qint64>(row.value(0).toLongLong(), 0, 3));
    memory.stability = real(1, 0.001, 36500);
    memory.difficulty = real(2, 1, 10);
    memory.due = time(3);
    memory.reps = count(4);
    memory.lapses = count(5);
    memory.lastReview = time(6);
    memory.learningSteps = qint32(std::clamp<qint64>(row.value(7).toLongLong(), 0, 2));
    // A word reviewed is never new again.
    if (memory.reps > 0 && memory.state == int(fsrs::State::New))
        memory.state = int(fsrs::State::Review);
    return memory;
}

} // namespace

// Adds the counts to the days' rows, making rows where there are none; the days in skip are
// left alone.
QSqlError addToDays(QSqlDatabase& db, const DayCounts& counts, const std::set<qint64>& skip) {
    QSqlQuery add(db);
    add.prepare(
        QStringLiteral("INSERT INTO days(day, direction, mode, answers, reviews, reviews_right)"
                       " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT(day, direction, mode) DO UPDATE SET"
                       " answers = answers + excluded.answers,"
                       " reviews = reviews + excluded.reviews,"
                       " reviews_right = reviews_right + excluded.reviews_right"));
    for (const auto& [key, count] : counts) {
        if (skip.count(std::get<0>(key)))
            continue;
        for (const QVariant& value :
             {QVariant(std::get<0>(key)), QVariant(std::get<1>(key)), QVariant(std::get<2>(key)),
              QVariant(count.answers), QVariant(count.reviews), QVariant(count.right)})
            add.addBindValue(value);
        if (!add.exec())
            return add.lastError();
    }
    return {};
}

// Works out the statistics' figures from every answer a file of an earlier version holds, once.
// Those answers did not keep whether 帮助 showed the answer: a right one counts as right.
QSqlError fillFigures(QSqlDatabase& db, const QTimeZone& zone) {
    QSqlQuery answers(db);
    answers.setForwardOnly(true);
    if (!answers.exec(QStringLiteral("SELECT answered_at, english, chinese, direction, mode,"
                                     " correct FROM answers ORDER BY answered_at, rowid")))
        return answers.lastError();
    QHash<QPair<QString, QString>, Figures> words;
    DayCounts days;
    while (answers.next()) {
        const qint64 day = learnersDay(answers.value(0).toLongLong(), zone);
        const bool correct = answers.value(5).toLongLong() != 0;
        Figures& word = words[{answers.value(1).toString(), answers.value(2).toString()}];
        DayCount& count = days[{day, answers.value(3).toString(), answers.value(4).toString()}];
        ++count.answers;
        if (word.lastDay == day)
            continue;
        word.lastDay = day;
        ++word.reviews;
        word.right += correct;
        word.forgotten += !correct;
        ++count.reviews;
        count.right += correct;
    }
    QSqlQuery store(db);
    store.prepare(QStringLiteral("UPDATE words SET reviews = ?, reviews_right = ?, forgotten = ?,"
                                 " last_day = ? WHERE english = ? AND chinese = ?"));
    for (auto it = words.cbegin(); it != words.cend(); ++it) {
        for (const QVariant& value :
             {QVariant(it->reviews), QVariant(it->right), QVariant(it->forgotten),
              QVariant(it->lastDay), QVariant(it.key().first), QVariant(it.key().second)})
            store.addBindValue(value);
        if (!store.exec())
            return store.lastError();
    }
    return addToDays(db, days);
}

std::optional<WordState> loadWord(WordQueries& q, const QString& english, const QString& chinese,
                                  QSqlError& error) {
    QSqlQuery& find = q.load;
    find.addBindValue(english);
    find.addBindValue(chinese);
    if (!find.exec()) {
        error = find.lastError();
        return std::nullopt;
    }
    if (!find.next()) {
        find.finish();
        return std::nullopt;
    }
    WordState word;
    word.memory = storedMemory(find);
    word.figures = {find.value(8).toLongLong(), find.value(9).toLongLong(),
                    find.value(10).toLongLong(), find.value(11).toLongLong()};
    word.lastAnswer = find.value(12).toLongLong();
    find.finish();
    return word;
}

QSqlError storeWord(WordQueries& q, const QString& english, const QString& chinese,
                    const WordState& word) {
    QSqlQuery& store = q.store;
    const fsrs::Memory& m = word.memory;
    const Figures& f = word.figures;
    for (const QVariant& value :
         {QVariant(english), QVariant(chinese), QVariant(m.state), QVariant(m.stability),
          QVariant(m.difficulty), QVariant(m.due), QVariant(m.reps), QVariant(m.lapses),
          QVariant(m.lastReview), QVariant(m.learningSteps), QVariant(f.reviews), QVariant(f.right),
          QVariant(f.forgotten), QVariant(f.lastDay), QVariant(word.lastAnswer)})
        store.addBindValue(value);
    return store.exec() ? QSqlError() : store.lastError();
}

// The word worked out from all its answers, in order (by computer among answers of the same
// moment).
QSqlError replayWord(WordQueries& q, const QString& english, const QString& chinese,
                     const QTimeZone& zone) {
    QSqlQuery& answers = q.answers;
    answers.addBindValue(english);
    answers.addBindValue(chinese);
    if (!answers.exec())
        return answers.lastError();
    QList<TimedAnswer> all;
    while (answers.next()) {
        TimedAnswer answer;
        answer.at = answers.value(0).toLongLong();
        answer.facts.mode = modeNamed(answers.value(1).toString());
        answer.facts.correct = answers.value(2).toLongLong() != 0;
        answer.facts.revealed = answers.value(3).toLongLong() != 0;
        answer.facts.responseMs = answers.value(4).toLongLong();
        answer.device = answers.value(5).toString();
        all.append(answer);
    }
    answers.finish();
    return storeWord(q, english, chinese, replayAnswers(std::move(all), zone));
}

// The days' rows worked out again from their answers: a day's reviews are its first answers to
// each word.
QSqlError recountDays(QSqlDatabase& db, const std::set<qint64>& days, const QTimeZone& zone) {
    QSqlQuery drop(db), answers(db);
    drop.prepare(QStringLiteral("DELETE FROM days WHERE day = ?"));
    answers.setForwardOnly(true);
    answers.prepare(QStringLiteral(
        "SELECT english, chinese, direction, mode, correct, revealed, response_ms FROM answers"
        " WHERE answered_at >= ? AND answered_at < ? ORDER BY answered_at, device"));
    DayCounts counts;
    for (const qint64 day : days) {
        drop.addBindValue(day);
        if (!drop.exec())
            return drop.lastError();
        const QDate date = QDate::fromJulianDay(day);
        answers.addBindValue(QDateTime(date, QTime(0, 0), zone).toMSecsSinceEpoch());
        answers.addBindValue(QDateTime(date.addDays(1), QTime(0, 0), zone).toMSecsSinceEpoch());
        if (!answers.exec())
            return answers.lastError();
        QSet<QPair<QString, QString>> seen;
        while (answers.next()) {
            DayCount& count =
                counts[{day, answers.value(2).toString(), answers.value(3).toString()}];
            ++count.answers;
            if (seen.contains({answers.value(0).toString(), answers.value(1).toString()}))
                continue;
            seen.insert({answers.value(0).toString(), answers.value(1).toString()});
            AnswerFacts facts;
            facts.mode = modeNamed(answers.value(3).toString());
            facts.correct = answers.value(4).toLongLong() != 0;
            facts.revealed = answers.value(5).toLongLong() != 0;
            facts.responseMs = answers.value(6).toLongLong();
            ++count.reviews;
            count.right += gradeFor(facts) != fsrs::Grade::Again;
        }
    }
    return addToDays(db, counts);
}

// The answer logged, and the word's memory and the day's figures brought up to it. An answer
// older than the word's last (a computer whose clock is behind) has the word worked out again
// from all its answers.
QSqlError writeAnswer(QSqlDatabase& db, const AnswerRecord& answer, const QString& device,
                      const QTimeZone& zone) {
    sqlite3* const handle = handleOf(db);
    if (!handle)
        return notSqlite();
    AnswerInserter insert(handle);
    QSqlError error;
    if (!insert.insert(answer, device.toUtf8(), error))
        return error;
    const qint64 today = learnersDay(answer.answeredAt, zone);
    const QString direction = directionName(answer.chineseAsked);
    const QString mode = modeName(answer.facts.mode);
    // A word a merge has not worked out yet takes the answer with the others it waits with.
    bool waiting = false;
    if (QSqlError e = noteAnswerToWaitingWord(db, answer, waiting); e.isValid() || waiting)
        return e.isValid() ? e : addToDays(db, {{{today, direction, mode}, DayCount{1, 0, 0}}});
    WordQueries q(db);
    const std::optional<WordState> stored = loadWord(q, answer.english, answer.chinese, error);
    if (error.isValid())
        return error;
    if (stored && answer.answeredAt < stored->lastAnswer) {
        if (QSqlError e = replayWord(q, answer.english, answer.chinese, zone); e.isValid())
            return e;
        return recountDays(db, {today}, zone);
    }
    WordState word = stored.value_or(WordState());
    const bool first = applyAnswer(word, answer.answeredAt, answer.facts, zone);
    const DayCount count{1, first ? 1 : 0,
                         first && gradeFor(answer.facts) != fsrs::Grade::Again ? 1 : 0};
    if (QSqlError e = addToDays(db, {{{today, direction, mode}, count}}); e.isValid())
        return e;
    return storeWord(q, answer.english, answer.chinese, word);
}

} // namespace historyfile
