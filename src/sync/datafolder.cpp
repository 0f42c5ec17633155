#include "sync/datafolder.h"

#include "drill/notebook.h"
#include "lessons/lessonfile.h"
#include "sync/conflictcopies.h"
#include "sync/folderguard.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

const QStringList Folders = {QStringLiteral("lesson"), QStringLiteral("history"), SetAsideName};

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "name (本机).ext", or with a number when that is taken too.
QString besideName(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString beside =
        info.dir().filePath(info.completeBaseName() + QStringLiteral(" (本机)") + suffix);
    for (int n = 2; QFileInfo::exists(beside); ++n)
        beside = info.dir().filePath(
            QStringLiteral("%1 (本机 %2)%3").arg(info.completeBaseName()).arg(n).arg(suffix));
    return beside;
}

// Removes the folders under root, and root, that are empty; a folder still holding a file
// (one that could not be removed, or came meanwhile) stays with it.
void removeEmptyFolders(const QString& root) {
    QStringList folders;
    QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        folders << it.next();
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : std::as_const(folders))
        QDir().rmdir(folder);
    QDir().rmdir(root);
}

FileResult failed(const QString& what) {
    return {FileError::WriteFailed, what};
}

} // namespace

bool holdsVokarinFiles(const QString& folder) {
    const QDir dir(folder);
    return dir.exists(QStringLiteral("lesson")) || dir.exists(QStringLiteral("history")) ||
           dir.exists(QStringLiteral("csh2.dat"));
}

FileResult moveDataFiles(const QString& from, const QString& to, bool withSettings) {
    const QDir source(from), target(to);
    if (QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath())
        return FileResult::success();
    if (!QDir().mkpath(to))
        return {FileError::CannotOpen, QStringLiteral("文件夹“%1”无法建立").arg(displayPath(to))};

    // Every file to move, relative to the folder.
    QStringList files;
    for (const QString& folder : Folders) {
        // Regular files only: a link someone put in a shared folder is not carried along (its
        // target could be any file of the learner's).
        QDirIterator it(source.filePath(folder), QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << source.relativeFilePath(it.next());
    }
    if (withSettings && isPlainEntry(source.filePath(QStringLiteral("csh2.dat")), false) &&
        source.exists(QStringLiteral("csh2.dat")))
        files << QStringLiteral("csh2.dat");

    QStringList created;               // in the new folder, to be removed should a copy fail
    QHash<QString, QByteArray> before; // notebooks merged there: their bytes, to be put back
    const auto undo = [&] {
        for (const QString& path : std::as_const(created))
            QFile::remove(path);
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QFile file(it.key());
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(it.value());
        }
    };
    for (const QString& name : std::as_const(files)) {
        const QString mine = source.filePath(name);
        QString theirs = target.filePath(name);
        // Nothing in the new folder (which others may write) leads out of it.
        if (FileResult inside = confinedTo(to, theirs); !inside.ok()) {
            undo();
            return inside;
        }
        if (!QDir().mkpath(QFileInfo(theirs).absolutePath())) {
            undo();
            return failed(QStringLiteral("文件夹“%1”无法建立")
                              .arg(displayPath(QFileInfo(theirs).absolutePath())));
        }
        if (QFileInfo::exists(theirs)) {
            if (bytesOf(mine) == bytesOf(theirs))
                continue;
            if (QFileInfo(name).fileName().compare(QStringLiteral("scb.txt"),
                                                   Qt::CaseInsensitive) == 0) {
                QList<WordPair> pairs;
                QSet<QString> words;
                if (readNotebookFile(theirs, pairs, words, to) &&
                    readNotebookFile(mine, pairs, words)) {
                    before.insert(theirs, bytesOf(theirs));
                    if (!writepairs(theirs, pairs, to).ok()) {
                        undo();
                        return failed(
                            QStringLiteral("生词本“%1”无法写入").arg(displayPath(theirs)));
                    }
                    continue;
                }
            }
            theirs = besideName(theirs);
        }
        if (!QFile::copy(mine, theirs)) {
            undo();
            return failed(
                QStringLiteral("“%1”无法复制到“%2”").arg(displayPath(mine), displayPath(theirs)));
        }
        created << theirs;
    }
    // Every copy is in place: the originals go (a folder left empty too).
    for (const QString& name : std::as_const(files))
        QFile::remove(source.filePath(name));
    for (const QString& folder : Folders)
        if (source.exists(folder))
            removeEmptyFolders(source.filePath(folder));
    return FileResult::success();
}
