#pragma once

// The history file's records as statements: answers, runs and notebook events put in, the
// names the file keeps for directions and modes, and what every statement on it uses.

#include "scheduling/grading.h"
#include "services/history.h"
#include "sync/answerlog.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <sqlite3.h>

namespace historyfile {

// The file's names of a direction and a mode; a mode it does not know counts as choice (the
// file is anyone's to edit).
QString directionName(bool chineseAsked);
QString modeName(AnswerMode mode);
AnswerMode modeNamed(const QString& name);

// SQLite's own words, after the Chinese.
QString why(const QSqlError& error);
// The file's text columns are never NULL.
QString notNull(const QString& text);
// A statement with its values bound, run; false when it failed (the query says why).
bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values);
QSqlError run(QSqlDatabase& db, const QString& sql, const QVariantList& values);

// A word put into the notebook or taken out of it: the latest time of each is kept.
extern const QString NoteNotebookEvent;
QVariantList notebookEventValues(const NotebookEvent& event);
// A run, once: one already there is left as it is.
extern const QString InsertSession;
QVariantList sessionValues(const SessionRecord& run, const QString& device);
// An answer, once (known by its computer, time and word).
extern const QString InsertAnswer;

// SQLite's own connection under Qt's (see records.cpp); nullptr when the driver is not SQLite's.
sqlite3* handleOf(QSqlDatabase& db);
QSqlError notSqlite();
QSqlError sqliteError(sqlite3* db);

// The many answers of a merge, put in once each through SQLite itself.
class AnswerInserter final {
public:
    explicit AnswerInserter(sqlite3* db)
        : db_(db) {
        const QByteArray sql = InsertAnswer.toUtf8();
        if (sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &statement_, nullptr) !=
            SQLITE_OK)
            statement_ = nullptr;
    }
    ~AnswerInserter() { sqlite3_finalize(statement_); }
    AnswerInserter(const AnswerInserter&) = delete;
    AnswerInserter& operator=(const AnswerInserter&) = delete;

    // True when the answer was new; false with error set when it could not be put in.
    bool insert(const AnswerRecord& answer, const QByteArray& device, QSqlError& error) {
        if (!statement_) {
            error = sqliteError(db_);
            return false;
        }
        const auto text = [this](int column, const QByteArray& value) {
            sqlite3_bind_text(statement_, column, value.constData(), int(value.size()),
                              SQLITE_TRANSIENT);
        };
        sqlite3_bind_int64(statement_, 1, answer.answeredAt);
        text(2, answer.lesson.toUtf8());
        text(3, answer.english.toUtf8());
        text(4, answer.chinese.toUtf8());
        text(5, answer.chineseAsked ? QByteArrayLiteral("zh-en") : QByteArrayLiteral("en-zh"));
        text(6, modeName(answer.facts.mode).toUtf8());
        sqlite3_bind_int(statement_, 7, answer.facts.correct ? 1 : 0);
        sqlite3_bind_int64(statement_, 8, answer.facts.responseMs);
        text(9, device);
        sqlite3_bind_int(statement_, 10, answer.facts.revealed ? 1 : 0);
        const int stepped = sqlite3_step(statement_);
        sqlite3_reset(statement_);
        if (stepped != SQLITE_DONE) {
            error = sqliteError(db_);
            return false;
        }
        return sqlite3_changes(db_) > 0;
    }

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

} // namespace historyfile
