#include "folders.h"

#include "fileio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

Folders locateFolders(const QString& programFolder, const QString& userData,
                      const std::function<bool(const QString&)>& writable) {
    const QDir program(programFolder);
    const QString installed = QDir::cleanPath(program.filePath(QStringLiteral("../share/vokarin")));
    if (program.dirName() == u"bin" && QFileInfo(installed).isDir())
        return {QDir::cleanPath(userData), installed, true};
    const bool canWrite =
        writable ? writable(programFolder) : QFileInfo(programFolder).isWritable();
    if (!canWrite)
        return {QDir::cleanPath(userData), QDir::cleanPath(programFolder), true};
    return {QDir::cleanPath(programFolder), QDir::cleanPath(programFolder), false};
}

bool prepareAppFolder(const Folders& folders) {
    if (!folders.perUser)
        return true;
    const QDir data(folders.app);
    if (!data.mkpath(QStringLiteral(".")))
        return false;
    const QString lessons = data.filePath(QStringLiteral("lesson"));
    if (QFileInfo::exists(lessons))
        return true;
    if (!data.mkpath(QStringLiteral("lesson")))
        return false;
    for (const FolderEntry& sample :
         folderEntries(QDir(folders.resources).filePath(QStringLiteral("lesson")), false)) {
        const QString copy = QDir(lessons).filePath(QFileInfo(sample.path).fileName());
        QFile::copy(sample.path, copy);
        // Copies keep the installed files' read-only mode; the learner's own may be edited.
        QFile::setPermissions(copy, QFile::permissions(copy) | QFile::WriteOwner);
    }
    return true;
}
