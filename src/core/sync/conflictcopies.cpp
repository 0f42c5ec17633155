#include "sync/conflictcopies.h"

#include "lessons/lessonfile.h"
#include "sync/conflicts.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// The copies of name in folder, oldest name first.
QStringList copiesOf(const QString& folder, const QString& name) {
    QStringList copies;
    for (const QString& file : QDir(folder).entryList(QDir::Files, QDir::Name))
        if (conflictOriginal(file).compare(name, Qt::CaseInsensitive) == 0)
            copies << QDir(folder).filePath(file);
    return copies;
}

bool readInto(const QString& path, QList<WordPair>& pairs, QSet<QString>& words) {
    qint32 lines = 0;
    if (!countlines(path, lines).ok())
        return false;
    return readpairs(path, lines,
                     [&](QStringView word, QStringView meaning) {
                         // A blank record ends a notebook, as it ends its review.
                         if (word.isEmpty() || meaning.isEmpty())
                             return false;
                         if (!words.contains(word.toString())) {
                             words.insert(word.toString());
                             pairs.append({word.toString(), meaning.toString()});
                         }
                         return true;
                     })
        .ok();
}

} // namespace

bool setAside(const QString& file, const QString& folder) {
    if (!QDir().mkpath(folder))
        return false;
    const QFileInfo info(file);
    QString target = QDir(folder).filePath(info.fileName());
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(folder).filePath(
            QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    return QFile::rename(file, target);
}

CopiesTidied tidyConflictCopies(const QString& notebookPath, const QString& dataFolder,
                                const QString& setAsideFolder) {
    CopiesTidied tidied;
    const QFileInfo notebook(notebookPath);
    const QStringList copies = copiesOf(notebook.absolutePath(), notebook.fileName());
    if (!copies.isEmpty()) {
        QList<WordPair> pairs;
        QSet<QString> words;
        if (notebook.exists() && !readInto(notebookPath, pairs, words)) {
            // A notebook that cannot be read is not replaced: the copies wait with it.
            tidied.unreadable = copies;
        } else {
            QStringList read;
            const qsizetype own = pairs.size();
            for (const QString& copy : copies) {
                if (readInto(copy, pairs, words))
                    read << copy;
                else
                    tidied.unreadable << QFileInfo(copy).fileName();
            }
            // Written only when a copy had words the notebook lacks: two computers merging
            // the same copies must not make the sync program copy the notebook again.
            if (!read.isEmpty()) {
                if (pairs.size() > own)
                    tidied.written = writepairs(notebookPath, pairs);
                if (tidied.written.ok())
                    for (const QString& copy : read)
                        if (setAside(copy, setAsideFolder))
                            tidied.merged << QFileInfo(copy).fileName();
            }
        }
    }
    for (const QString& copy : copiesOf(dataFolder, QStringLiteral("csh2.dat")))
        if (setAside(copy, setAsideFolder))
            tidied.merged << QFileInfo(copy).fileName();
    return tidied;
}
