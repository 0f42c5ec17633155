#include "fileio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

FileResult failure(FileError kind, const QString& description) {
    return {kind, description};
}

// Sorts out why path cannot be opened, from what the file system says about it.
FileResult openFailure(const QString& path, const QString& systemMessage, bool forWriting) {
    if (path.isEmpty())
        return failure(FileError::CannotOpen, QStringLiteral("没有指定文件名"));
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (info.isDir())
        return failure(FileError::AccessRefused,
                       QStringLiteral("无法访问“%1”：这是一个文件夹，不是文件").arg(shown));
    if (forWriting) {
        const QFileInfo folder(info.absolutePath());
        if (!folder.isDir())
            return failure(FileError::CannotOpen,
                           QStringLiteral("无法写入“%1”：文件夹不存在").arg(shown));
        if (!folder.isWritable() || (info.exists() && !info.isWritable()))
            return failure(FileError::AccessRefused,
                           QStringLiteral("无法写入“%1”：没有写入权限").arg(shown));
        return failure(FileError::CannotOpen,
                       QStringLiteral("无法写入“%1”（%2）").arg(shown, systemMessage));
    }
    if (!info.exists())
        return failure(FileError::CannotOpen, QStringLiteral("找不到文件“%1”").arg(shown));
    if (!info.isReadable())
        return failure(FileError::AccessRefused,
                       QStringLiteral("无法读取“%1”：没有读取权限").arg(shown));
    return failure(FileError::CannotOpen,
                   QStringLiteral("无法打开“%1”（%2）").arg(shown, systemMessage));
}

} // namespace

FileResult readFileBytes(const QString& path, QByteArray& out, qint64 maxBytes) {
    out.clear();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return openFailure(path, {}, false);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return openFailure(path, file.errorString(), false);
    out = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        out.clear();
        return failure(FileError::CannotOpen,
                       QStringLiteral("读取“%1”时出错（%2）")
                           .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    return FileResult::success();
}

FileResult writeFileAtomically(const QString& path, const QByteArray& bytes) {
    if (path.isEmpty() || QFileInfo(path).isDir())
        return openFailure(path, {}, true);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return openFailure(path, file.errorString(), true);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(FileError::WriteFailed, QStringLiteral("无法写入“%1”（%2），原文件未改动")
                                                   .arg(QDir::toNativeSeparators(path), reason));
    }
    return FileResult::success();
}
