#include "sync/folderwatch.h"

#include "fileio.h"
#include "module1.h"
#include "services/messageboxes.h"
#include "sqlitehistory.h"
#include "sync/conflictcopies.h"
#include "sync/folderguard.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <utility>

FolderWatch::FolderWatch(const Module1& module, SqliteHistory& history, MessageBoxes& messages,
                         QObject* parent)
    : QObject(parent)
    , module_(module)
    , history_(history)
    , messages_(messages)
    , watcher_(new QFileSystemWatcher(this))
    , quiet_(new QTimer(this)) {
    quiet_->setSingleShot(true);
    // A sync program writes a file in several steps; one merge after the last of them.
    quiet_->setInterval(700);
    connect(quiet_, &QTimer::timeout, this, &FolderWatch::catchUp);
    const auto soon = [this] { quiet_->start(); };
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, soon);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, soon);
    // The copies wait for the whole merge: what the other computers took out of the notebook
    // comes with their logs.
    history_.setMergedHandler([this](bool finished) {
        if (finished)
            tidy();
        emit changed();
    });
}

void FolderWatch::guard() {
    if (module_.DataFolder.isEmpty())
        return;
    const Guarded guarded = guardDataFolder(module_.dataFolder());
    for (const Guarded::Moved& moved : guarded.setApart)
        untold_ << setApartMessage(moved.place, moved.now);
    for (const QString& stuck : guarded.stuck)
        untold_ << setApartMessage(stuck, {});
}

void FolderWatch::catchUp() {
    // Without a data folder of the learner's own there is no other computer to hear from.
    if (module_.DataFolder.isEmpty())
        return;
    guard();
    // Told once each, together; a place that stays stuck is told again only in a later run.
    QStringList texts;
    for (const QString& text : std::exchange(untold_, {}))
        if (!told_.contains(text)) {
            told_.insert(text);
            texts << text;
        }
    if (!texts.isEmpty())
        messages_.ok(texts.join(QStringLiteral("\n\n")));
    if (!history_.merge())
        tidy();
    watchAgain();
}

// The notebook's copies merged into it, without the words taken out of it on any computer
// since they were put in (as the history knows them after a whole merge).
void FolderWatch::tidy() {
    if (module_.DataFolder.isEmpty())
        return;
    const Answered<QSet<QString>> takenOut = history_.takenOutOfNotebook();
    if (!takenOut)
        return; // the copies wait until the history can be read
    const CopiesTidied tidied = tidyConflictCopies(module_.notebookPath(), module_.dataFolder(),
                                                   module_.mergedFolder(), *takenOut);
    if (!tidied.merged.isEmpty())
        emit copiesTidied(tidied.merged);
}

// The folders, and every log in them: a log grown in place (as some sync programs write)
// changes no folder. A file replaced is no longer watched, so the list is made again.
void FolderWatch::watchAgain() {
    QDir().mkpath(module_.historyFolder());
    QStringList paths = {module_.dataFolder(), module_.lessonFolder(), module_.historyFolder()};
    for (const QString& log :
         QDir(module_.historyFolder())
             .entryList({QStringLiteral("*.log")}, QDir::Files | QDir::NoSymLinks))
        paths << QDir(module_.historyFolder()).filePath(log);
    const QStringList watched = watcher_->files() + watcher_->directories();
    if (!watched.isEmpty())
        watcher_->removePaths(watched);
    watcher_->addPaths(paths);
}
