#include "sync/conflictcopies.h"

#include "drill/notebook.h"
#include "lessons/lessonfile.h"
#include "sync/conflicts.h"
#include "sync/folderguard.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// The copies of name in folder, oldest name first.
QStringList copiesOf(const QString& folder, const QString& name) {
    QStringList copies;
    // Only regular files: a link among them is the guard's to set apart, never read.
    for (const QString& file : QDir(folder).entryList(QDir::Files | QDir::NoSymLinks, QDir::Name))
        if (conflictOriginal(file).compare(name, Qt::CaseInsensitive) == 0)
            copies << QDir(folder).filePath(file);
    return copies;
}

} // namespace

bool setAside(const QString& file, const QString& folder) {
    // The folder is the shared one's: a link in its place would carry the copies out of it.
    if (!isPlainEntry(folder, true) || !QDir().mkpath(folder) || !isPlainEntry(folder, true))
        return false;
    const QFileInfo info(file);
    QString target = QDir(folder).filePath(info.fileName());
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(folder).filePath(
            QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    return QFile::rename(file, target);
}

CopiesTidied tidyConflictCopies(const QString& notebookPath, const QString& dataFolder,
                                const QString& setAsideFolder, const QSet<QString>& takenOut) {
    CopiesTidied tidied;
    const QFileInfo notebook(notebookPath);
    const QStringList copies = copiesOf(notebook.absolutePath(), notebook.fileName());
    QList<WordPair> pairs;
    QSet<QString> words;
    if (notebook.exists() && !readNotebookFile(notebookPath, pairs, words, dataFolder)) {
        // A notebook that cannot be read is not replaced: the copies wait with it.
        tidied.unreadable = copies;
    } else {
        const QList<WordPair> own = pairs;
        QStringList read;
        for (const QString& copy : copies) {
            if (readNotebookFile(copy, pairs, words, dataFolder))
                read << copy;
            else
                tidied.unreadable << QFileInfo(copy).fileName();
        }
        pairs.removeIf([&](const WordPair& pair) { return takenOut.contains(pair.word); });
        // Written only when it changes: two computers merging the same copies must not make
        // the sync program copy the notebook again.
        if (pairs != own && (notebook.exists() || !pairs.isEmpty()))
            tidied.written = writepairs(notebookPath, pairs, dataFolder);
        if (tidied.written.ok())
            for (const QString& copy : std::as_const(read))
                if (setAside(copy, setAsideFolder))
                    tidied.merged << QFileInfo(copy).fileName();
    }
    for (const QString& copy : copiesOf(dataFolder, QStringLiteral("csh2.dat")))
        if (setAside(copy, setAsideFolder))
            tidied.merged << QFileInfo(copy).fileName();
    return tidied;
}
