// The words a merge has put answers in for, and their working out (see waitingwords.h).

#include "waitingwords.h"

#include "wordstore.h"

#include <QSqlQuery>

namespace historyfile {

namespace {

// A statement of SQLite's own, for the many rows of a word's answers.
class Statement final {
public:
    Statement(sqlite3* db, const char* sql)
        : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
            statement_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ready() const { return statement_ != nullptr; }
    void bind(int column, const QByteArray& text) {
        sqlite3_bind_text(statement_, column, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    void bind(int column, qint64 value) { sqlite3_bind_int64(statement_, column, value); }
    // The next row; false at the end (failed() tells an end from a failure).
    bool next() {
        const int stepped = sqlite3_step(statement_);
        failed_ = stepped != SQLITE_ROW && stepped != SQLITE_DONE;
        return stepped == SQLITE_ROW;
    }
    bool failed() const { return failed_; }
    QSqlError done() {
        sqlite3_reset(statement_);
        return failed_ ? sqliteError(db_) : QSqlError();
    }
    qint64 integer(int column) const { return sqlite3_column_int64(statement_, column); }
    QByteArrayView text(int column) const {
        return {reinterpret_cast<const char*>(sqlite3_column_text(statement_, column)),
                sqlite3_column_bytes(statement_, column)};
    }

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
    bool failed_ = false;
};

// A word's answers in time order (by computer among answers of the same moment), all of them
// or those after a time.
constexpr const char* AnswersOfWord =
    "SELECT answered_at, direction, mode, correct, revealed, response_ms, rowid FROM answers"
    " WHERE english = ?1 AND chinese = ?2 AND answered_at > ?3 ORDER BY answered_at, device";

// A day's review, counted for the answer that is its first (sign -1: no longer its first).
void countReview(DayCounts& counts, qint64 day, QByteArrayView direction, AnswerMode mode,
                 const AnswerFacts& facts, int sign) {
    DayCount& count = counts[{day, QString::fromLatin1(direction), modeName(mode)}];
    count.reviews += sign;
    count.right += gradeFor(facts) != fsrs::Grade::Again ? sign : 0;
}

// The word worked out: from its row, or from all its answers when one of the new ones is not
// later than its last. The answers from firstRow on are new: the days have not counted their
// reviews yet, the others' they have.
QSqlError workOut(WordQueries& q, Statement& answers, const WordKey& word, qint64 from,
                  qint64 firstRow, LearnersDays& days, DayCounts& counts, qint64& read) {
    QSqlError error;
    const std::optional<WordState> stored = loadWord(q, word.first, word.second, error);
    if (error.isValid())
        return error;
    const bool onwards = stored && from > stored->lastAnswer;
    WordState state = onwards ? *stored : WordState();
    answers.bind(1, word.first.toUtf8());
    answers.bind(2, word.second.toUtf8());
    answers.bind(3, onwards ? stored->lastAnswer : std::numeric_limits<qint64>::min());
    qint64 oldLastDay = 0; // the day of the last answer counted before
    while (answers.next()) {
        ++read;
        const qint64 at = answers.integer(0);
        AnswerFacts facts;
        facts.mode = answerModeNamed(answers.text(2)).value_or(AnswerMode::Choice);
        facts.correct = answers.integer(3) != 0;
        facts.revealed = answers.integer(4) != 0;
        facts.responseMs = answers.integer(5);
        const qint64 day = days.of(at);
        if (applyAnswerOn(state, at, day, facts))
            countReview(counts, day, answers.text(1), facts.mode, facts, 1);
        if (!onwards && answers.integer(6) < firstRow && day != std::exchange(oldLastDay, day))
            countReview(counts, day, answers.text(1), facts.mode, facts, -1);
    }
    if (QSqlError e = answers.done(); e.isValid())
        return e;
    return storeWord(q, word.first, word.second, state);
}

} // namespace

void WaitingWords::note(const WordKey& word, qint64 at, qint64 row) {
    const auto written = written_.constFind(word);
    if (written != written_.cend() && *written <= at)
        return;
    written_[word] = at;
    const auto fresh = fresh_.find(word);
    if (fresh == fresh_.end())
        fresh_.insert(word, {at, row});
    else
        fresh->from = qMin(fresh->from, at);
}

QSqlError WaitingWords::write(QSqlDatabase& db) {
    QSqlQuery note(db);
    note.prepare(QStringLiteral(
        "INSERT INTO words_waiting(english, chinese, from_at, first_row) VALUES (?, ?, ?, ?)"
        " ON CONFLICT(english, chinese) DO UPDATE SET"
        " from_at = min(from_at, excluded.from_at), first_row = min(first_row, "
        "excluded.first_row)"));
    for (auto it = fresh_.cbegin(); it != fresh_.cend(); ++it) {
        for (const QVariant& value : {QVariant(it.key().first), QVariant(it.key().second),
                                      QVariant(it->from), QVariant(it->firstRow)})
            note.addBindValue(value);
        if (!note.exec())
            return note.lastError();
    }
    fresh_.clear();
    return {};
}

QSqlError workOutWaitingWords(QSqlDatabase& db, LearnersDays& days, qint64 budget,
                              const QDeadlineTimer& deadline, bool& more) {
    sqlite3* const handle = handleOf(db);
    if (!handle)
        return notSqlite();
    Statement answers(handle, AnswersOfWord);
    if (!answers.ready())
        return sqliteError(handle);
    QSqlQuery waiting(db), done(db);
    waiting.setForwardOnly(true);
    waiting.prepare(
        QStringLiteral("SELECT english, chinese, from_at, first_row FROM words_waiting LIMIT 256"));
    done.prepare(QStringLiteral("DELETE FROM words_waiting WHERE english = ? AND chinese = ?"));
    WordQueries q(db);
    DayCounts counts;
    qint64 read = 0;
    more = false;
    while (!more) {
        if (!waiting.exec())
            return waiting.lastError();
        struct Word final {
            WordKey key;
            qint64 from, firstRow;
        };
        QList<Word> words;
        while (waiting.next())
            words.append({{waiting.value(0).toString(), waiting.value(1).toString()},
                          waiting.value(2).toLongLong(),
                          waiting.value(3).toLongLong()});
        waiting.finish();
        if (words.isEmpty())
            break;
        for (const Word& word : std::as_const(words)) {
            if (read >= budget || deadline.hasExpired()) {
                more = true;
                break;
            }
            if (QSqlError e =
                    workOut(q, answers, word.key, word.from, word.firstRow, days, counts, read);
                e.isValid())
                return e;
            done.addBindValue(word.key.first);
            done.addBindValue(word.key.second);
            if (!done.exec())
                return done.lastError();
        }
    }
    return addToDays(db, counts);
}

QSqlError noteAnswerToWaitingWord(QSqlDatabase& db, const AnswerRecord& answer, bool& waiting) {
    QSqlQuery note(db);
    if (!exec(note,
              QStringLiteral("UPDATE words_waiting SET from_at = min(from_at, ?)"
                             " WHERE english = ? AND chinese = ?"),
              {answer.answeredAt, answer.english, answer.chinese}))
        return note.lastError();
    waiting = note.numRowsAffected() > 0;
    return {};
}

} // namespace historyfile
