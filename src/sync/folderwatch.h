#pragma once

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class MessageBoxes;
class QFileSystemWatcher;
class SqliteHistory;
struct Module1;

// Watches the learner's data folder for what a sync program brings while Vokarin runs: other
// computers' logs (new, replaced or grown) and copies of Vokarin's own files. A little after
// the last change, the logs are merged into the history and the copies tidied; changed() says
// when that brought something new.
class FolderWatch final : public QObject {
    Q_OBJECT

public:
    FolderWatch(const Module1& module, SqliteHistory& history, MessageBoxes& messages,
                QObject* parent = nullptr);

    // Sets apart whatever stands where Vokarin's own folders and files belong in the data folder
    // but is not a plain folder or file (a link, a pipe, a device); the learner is told at the
    // next catchUp, once for each.
    void guard();
    // Guards, merges and tidies now, and watches the data folder as it now is (done at start,
    // and when the learner chose another); nothing without a data folder of the learner's own.
    void catchUp();
    // Quiet time after a change before the merge, in milliseconds.
    void setQuietMs(int ms) { quiet_->setInterval(ms); }

signals:
    void changed();
    // Copies merged into the notebook or set aside, by file name.
    void copiesTidied(const QStringList& names);

private:
    void tidy();
    void watchAgain();

    const Module1& module_;
    SqliteHistory& history_;
    MessageBoxes& messages_;
    QStringList untold_; // set apart, the learner not told yet
    QSet<QString> told_;
    QFileSystemWatcher* watcher_;
    QTimer* quiet_;
};
