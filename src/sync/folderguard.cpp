#include "sync/folderguard.h"

#include "fileio.h"
#include "sync/conflictcopies.h"
#include "sync/conflicts.h"

#include <QDateTime>
#include <QDir>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace {

const QString Mark = QStringLiteral(".已搁置-");

// The names in folder, whatever they are, read without following anything.
QStringList namesIn(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(nativePath(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << pathFromNative(name);
    }
    ::closedir(dir);
    return names;
}

bool isLog(const QString& name) {
    const QString original = isConflictCopy(name) ? conflictOriginal(name) : name;
    return original.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive);
}

bool isOwnName(const QString& name, const QString& own) {
    return name.compare(own, Qt::CaseInsensitive) == 0 ||
           conflictOriginal(name).compare(own, Qt::CaseInsensitive) == 0;
}

void check(const QString& path, bool folder, Guarded& guarded) {
    if (isPlainEntry(path, folder))
        return;
    if (const QString now = setApart(path); now.isEmpty())
        guarded.stuck << path;
    else
        guarded.setApart.append({path, now});
}

} // namespace

bool isPlainEntry(const QString& path, bool folder) {
    struct stat info {};
    if (::lstat(nativePath(path).constData(), &info) != 0)
        return true;
    return folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
}

QString setApart(const QString& path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + Mark + stamp;
    for (int n = 2; !isPlainEntry(target, false) || QFileInfo::exists(target); ++n)
        target = path + Mark + stamp + u'-' + QString::number(n);
    // rename() moves the entry itself: a link stays a link, pointing where it did.
    if (std::rename(nativePath(path).constData(), nativePath(target).constData()) != 0)
        return {};
    return target;
}

QString setApartMessage(const QString& place, const QString& now) {
    if (now.isEmpty())
        return QStringLiteral("数据文件夹里的“%1”不是普通的文件或文件夹（是链接、管道或设备），"
                              "又无法改名搁在一边：Vokarin 不经过它读写。")
            .arg(displayPath(place));
    return QStringLiteral("数据文件夹里的“%1”不是普通的文件或文件夹（是链接、管道或设备，"
                          "可能是别的电脑或别人放进来的）。Vokarin 不经过它读写，"
                          "已把它改名为“%2”放在原处，没有删除。")
        .arg(displayPath(place), QFileInfo(now).fileName());
}

bool isSetApart(const QString& fileName) {
    return fileName.contains(Mark);
}

Guarded guardDataFolder(const QString& root) {
    Guarded guarded;
    const QDir dir(root);
    const QString lesson = dir.filePath(QStringLiteral("lesson"));
    const QString history = dir.filePath(QStringLiteral("history"));
    const QString historyAside = QDir(history).filePath(SetAsideName);
    for (const QString& folder : {lesson, history, dir.filePath(SetAsideName), historyAside})
        check(folder, true, guarded);
    for (const QString& name : namesIn(root))
        if (isOwnName(name, QStringLiteral("csh2.dat")))
            check(dir.filePath(name), false, guarded);
    if (isPlainEntry(lesson, true))
        for (const QString& name : namesIn(lesson))
            if (isOwnName(name, QStringLiteral("scb.txt")))
                check(QDir(lesson).filePath(name), false, guarded);
    for (const QString& folder : {history, historyAside})
        if (isPlainEntry(folder, true))
            for (const QString& name : namesIn(folder))
                if (isLog(name) && !isSetApart(name))
                    check(QDir(folder).filePath(name), false, guarded);
    return guarded;
}
