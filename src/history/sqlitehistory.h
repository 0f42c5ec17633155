#pragma once

#include "services/history.h"

#include <QString>
#include <QTimeZone>
#include <memory>

class MessageBoxes;
class QSqlDatabase;
class QSqlError;
class QSqlQuery;

// The history in an SQLite file (vokarin.db beside csh2.dat): answers, words and sessions,
// in WAL mode, the schema version in PRAGMA user_version. The file is opened when first
// needed. A file that is not a database, or is damaged, is moved aside as
// vokarin.db.corrupt-<date> and a fresh one started; one that cannot be opened or written costs
// the learner one message for the run, and the drill goes on without a history.
class SqliteHistory final : public History {
public:
    // Days begin at midnight in zone: a word's first answer of the day is its review.
    SqliteHistory(const QString& path, MessageBoxes& messages,
                  const QTimeZone& zone = QTimeZone::systemTimeZone());
    ~SqliteHistory() override;

    void recordAnswer(const AnswerRecord& answer) override;
    void recordSession(const SessionRecord& session) override;
    QList<DueWord> dueWords(qint64 now, int limit) override;
    qint32 dueCount(qint64 now) override;
    std::optional<qint64> nextDue(qint64 now) override;

    // The open database, or null when there is none to be had; for the statistics window.
    QSqlDatabase* database();
    static constexpr int SchemaVersion = 1;

private:
    bool open();
    QSqlError openFile(); // no error when open and up to date
    QSqlError migrate();
    void moveAside();
    void fail(const QString& what, const QString& reason);

    QString path_;
    MessageBoxes& messages_;
    QTimeZone zone_;
    QString connection_;
    std::unique_ptr<QSqlDatabase> db_;
    bool tried_ = false;
    bool broken_ = false; // told once; nothing more is written this run
};
