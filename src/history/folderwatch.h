#pragma once

#include <QObject>
#include <QTimer>

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
    FolderWatch(const Module1& module, SqliteHistory& history, QObject* parent = nullptr);

    // Merges and tidies now, and watches the data folder as it now is (done at start, and
    // when the learner chose another); nothing without a data folder of the learner's own.
    void catchUp();
    // Quiet time after a change before the merge, in milliseconds.
    void setQuietMs(int ms) { quiet_->setInterval(ms); }

signals:
    void changed();
    // Copies merged into the notebook or set aside, by file name.
    void copiesTidied(const QStringList& names);

private:
    void watchAgain();

    const Module1& module_;
    SqliteHistory& history_;
    QFileSystemWatcher* watcher_;
    QTimer* quiet_;
};
