#include "folderwatch.h"

#include "module1.h"
#include "sqlitehistory.h"
#include "sync/conflictcopies.h"

#include <QDir>
#include <QFileSystemWatcher>

FolderWatch::FolderWatch(const Module1& module, SqliteHistory& history, QObject* parent)
    : QObject(parent)
    , module_(module)
    , history_(history)
    , watcher_(new QFileSystemWatcher(this))
    , quiet_(new QTimer(this)) {
    quiet_->setSingleShot(true);
    // A sync program writes a file in several steps; one merge after the last of them.
    quiet_->setInterval(700);
    connect(quiet_, &QTimer::timeout, this, &FolderWatch::catchUp);
    const auto soon = [this] { quiet_->start(); };
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, soon);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, soon);
    history_.setMergedHandler([this] { emit changed(); });
}

void FolderWatch::catchUp() {
    // Without a data folder of the learner's own there is no other computer to hear from.
    if (module_.DataFolder.isEmpty())
        return;
    const CopiesTidied tidied =
        tidyConflictCopies(module_.notebookPath(), module_.dataFolder(), module_.mergedFolder());
    if (!tidied.merged.isEmpty())
        emit copiesTidied(tidied.merged);
    history_.merge();
    watchAgain();
}

// The folders, and every log in them: a log grown in place (as some sync programs write)
// changes no folder. A file replaced is no longer watched, so the list is made again.
void FolderWatch::watchAgain() {
    QDir().mkpath(module_.historyFolder());
    QStringList paths = {module_.dataFolder(), module_.lessonFolder(), module_.historyFolder()};
    for (const QString& log :
         QDir(module_.historyFolder()).entryList({QStringLiteral("*.log")}, QDir::Files))
        paths << QDir(module_.historyFolder()).filePath(log);
    const QStringList watched = watcher_->files() + watcher_->directories();
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
    watcher_->addPaths(paths);
}
