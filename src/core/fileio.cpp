#include "fileio.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

FileResult failure(FileError kind, const QString& description) {
    return {kind, description};
}

QString systemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Sorts out why path cannot be written, from what the file system says about it.
FileResult writeFailure(const QString& path, const QString& reason) {
    const QFileInfo info(path);
    const QString shown = displayPath(path);
    const QFileInfo folder(info.absolutePath());
    if (folder.exists() && !folder.isDir())
        return failure(FileError::CannotOpen,
                       QStringLiteral("无法写入“%1”：“%2”应是文件夹，那里却是一个文件")
                           .arg(shown, displayPath(folder.filePath())));
    if (!folder.isDir())
        return failure(FileError::CannotOpen,
                       QStringLiteral("无法写入“%1”：%2")
                           .arg(shown, folder.isSymLink()
                                           ? QStringLiteral("文件夹的链接指向不存在的地方")
                                           : QStringLiteral("文件夹不存在")));
    if (!folder.isWritable() || (info.exists() && !info.isWritable()))
        return failure(FileError::AccessRefused,
                       QStringLiteral("无法写入“%1”：没有写入权限").arg(shown));
    return failure(FileError::CannotOpen, QStringLiteral("无法写入“%1”（%2）").arg(shown, reason));
}

FileResult notAFile(const QString& path) {
    return failure(
        FileError::NotAFile,
        QStringLiteral("“%1”不是普通文件（可能是管道或设备），不能读写").arg(displayPath(path)));
}

class Descriptor final {
public:
    explicit Descriptor(int fd)
        : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

FileResult notConfined(const QString& path) {
    return failure(FileError::NotAFile,
                   QStringLiteral("数据文件夹里的“%1”是链接、管道或设备，不是普通的文件或文件夹："
                                  "Vokarin 不经过它读写")
                       .arg(displayPath(path)));
}

// refuseLarger: a file above maxBytes is refused; otherwise its first maxBytes are read.
FileResult readRegular(const QString& path, QByteArray& out, qint64 maxBytes, bool refuseLarger,
                       const QString& within) {
    out.clear();
    if (path.isEmpty())
        return failure(FileError::CannotOpen, QStringLiteral("没有指定文件名"));
    if (FileResult r = confinedTo(within, path); !r.ok())
        return r;
    const QString shown = displayPath(path);
    // Non-blocking, so that opening a pipe returns at once instead of waiting for a writer;
    // inside a shared folder a link put in place since the look above is not followed either.
    const int noFollow = within.isEmpty() ? 0 : O_NOFOLLOW;
    const Descriptor fd(
        ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | noFollow));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ELOOP && noFollow)
            return notConfined(path);
        if (error == ENOENT || error == ENOTDIR)
            return failure(FileError::CannotOpen, QStringLiteral("找不到文件“%1”").arg(shown));
        if (error == EACCES || error == EPERM)
            return failure(FileError::AccessRefused,
                           QStringLiteral("无法读取“%1”：没有读取权限").arg(shown));
        return failure(FileError::CannotOpen,
                       QStringLiteral("无法打开“%1”（%2）").arg(shown, systemMessage(error)));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return failure(FileError::CannotOpen,
                       QStringLiteral("无法打开“%1”（%2）").arg(shown, systemMessage(errno)));
    if (S_ISDIR(info.st_mode))
        return failure(FileError::AccessRefused,
                       QStringLiteral("无法访问“%1”：这是一个文件夹，不是文件").arg(shown));
    if (!S_ISREG(info.st_mode))
        return notAFile(path);
    if (refuseLarger && info.st_size > maxBytes)
        return failure(FileError::TooLarge,
                       QStringLiteral("“%1”太大了（%2 MB），不是单词文件；单词文件不会超过 %3 MB")
                           .arg(shown)
                           .arg(info.st_size / (1024 * 1024))
                           .arg(maxBytes / (1024 * 1024)));
    const qint64 wanted = std::min<qint64>(info.st_size, maxBytes);
    out.resize(wanted);
    qint64 got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd.get(), out.data() + got, size_t(wanted - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            out.clear();
            return failure(FileError::CannotOpen,
                           QStringLiteral("读取“%1”时出错（%2）").arg(shown, systemMessage(error)));
        }
        if (n == 0)
            break; // the file shrank while it was read
        got += n;
    }
    out.truncate(got);
    return FileResult::success();
}

bool isEscape(char16_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

bool hasEscapes(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return isEscape(c.unicode()); });
}

} // namespace

FileResult readFileBytes(const QString& path, QByteArray& out, const QString& within) {
    return readRegular(path, out, LargestReadBytes, true, within);
}

FileResult readFileHead(const QString& path, QByteArray& out, qint64 maxBytes,
                        const QString& within) {
    return readRegular(path, out, maxBytes, false, within);
}

FileResult confinedTo(const QString& within, const QString& path) {
    if (within.isEmpty())
        return FileResult::success();
    const QString root = QDir::cleanPath(QDir(within).absolutePath());
    const QString full = QDir::cleanPath(QDir(root).absoluteFilePath(path));
    if (!full.startsWith(root + u'/'))
        return failure(FileError::AccessRefused,
                       QStringLiteral("“%1”不在数据文件夹里").arg(displayPath(path)));
    // Each step below the folder by itself (lstat): a folder on the way, and the file at the
    // end, must be what they seem. What does not exist yet is made inside, by name.
    const QStringList steps = full.sliced(root.size() + 1).split(u'/');
    QString at = root;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        at += u'/' + steps[i];
        struct stat info {};
        if (::lstat(nativePath(at).constData(), &info) != 0)
            return FileResult::success();
        const bool last = i + 1 == steps.size();
        if (last ? !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode) : !S_ISDIR(info.st_mode))
            return notConfined(at);
    }
    return FileResult::success();
}

FileResult writeFileAtomically(const QString& path, const QByteArray& bytes,
                               const QString& within) {
    if (path.isEmpty())
        return failure(FileError::CannotOpen, QStringLiteral("没有指定文件名"));
    // Checked to be no link, the file is then replaced by name: the new file takes the place of
    // whatever is there by then, and never writes through it.
    if (FileResult r = confinedTo(within, path); !r.ok())
        return r;
    // Links are followed (a learner may keep a file in a synced folder), but nothing is ever
    // written to, or put in place of, a pipe, a device or a folder.
    const QFileInfo target(path);
    if (target.isDir())
        return failure(
            FileError::AccessRefused,
            QStringLiteral("无法访问“%1”：这是一个文件夹，不是文件").arg(displayPath(path)));
    if (target.exists() && !target.isFile())
        return notAFile(path);
    // Unbuffered, so that a full disk fails the write() below and not, unseen, the commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailure(path, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        // Only a file that was there before can have stayed as it was.
        return failure(FileError::WriteFailed,
                       QStringLiteral("无法写入“%1”（%2），%3")
                           .arg(displayPath(path), reason,
                                target.exists() ? QStringLiteral("原文件未改动")
                                                : QStringLiteral("文件没有建成")));
    }
    return FileResult::success();
}

QString pathFromNative(const QByteArray& native) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString whole = utf8(native);
    if (!utf8.hasError())
        return whole;
    // Decode piece by piece: each byte that starts no valid UTF-8 sequence is kept as-is.
    QString text;
    const auto* p = reinterpret_cast<const unsigned char*>(native.constData());
    const auto* const end = p + native.size();
    while (p < end) {
        if (*p < 0x80) {
            text += QChar(*p++);
            continue;
        }
        const int length = *p >= 0xF0 ? 4 : *p >= 0xE0 ? 3 : *p >= 0xC2 ? 2 : 0;
        if (length > 0 && end - p >= length) {
            QStringDecoder one(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString decoded = one(QByteArrayView(reinterpret_cast<const char*>(p), length));
            if (!one.hasError() && decoded.size() >= 1 &&
                !decoded.contains(QChar::ReplacementCharacter)) {
                text += decoded;
                p += length;
                continue;
            }
        }
        text += QChar(char16_t(0xDC00 + *p++));
    }
    return text;
}

QByteArray nativePath(const QString& path) {
    if (!hasEscapes(path))
        return path.toUtf8();
    QByteArray bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isEscape(path[i].unicode()))
            continue;
        bytes += QStringView(path).sliced(from, i - from).toUtf8();
        if (i < path.size())
            bytes += char(path[i].unicode() - 0xDC00);
        from = i + 1;
    }
    return bytes;
}

QString displayPath(const QString& path) {
    if (!hasEscapes(path))
        return QDir::toNativeSeparators(path);
    QStringList parts = path.split(u'/');
    for (QString& part : parts) {
        if (!hasEscapes(part))
            continue;
        QStringDecoder gb18030("GB18030");
        part = gb18030(nativePath(part));
    }
    return QDir::toNativeSeparators(parts.join(u'/'));
}

QList<FolderEntry> folderEntries(const QString& folder, bool folders) {
    QList<FolderEntry> entries;
    const QByteArray base = nativePath(folder);
    DIR* dir = ::opendir(base.constData());
    if (!dir)
        return entries;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.')) // ".", ".." and hidden entries
            continue;
        // The entry's type comes with it; only links (and file systems that do not say)
        // need a look at what they are.
        bool isFolder = entry->d_type == DT_DIR, isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            const QByteArray full = base + (base.endsWith('/') ? "" : "/") + name;
            struct stat info {};
            if (::stat(full.constData(), &info) != 0)
                continue;
            isFolder = S_ISDIR(info.st_mode);
            isFile = S_ISREG(info.st_mode);
        }
        if (folders ? isFolder : isFile) {
            const QString own = pathFromNative(name);
            entries.append({prefix + own, displayPath(own)});
        }
    }
    ::closedir(dir);
    // Sort keys made once per name, case folded first: in the C locale the collator would
    // not ignore case.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keyed;
    keyed.reserve(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i)
        keyed.emplace_back(collator.sortKey(entries[i].name.toCaseFolded()), i);
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QList<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& [key, i] : keyed)
        sorted.append(std::move(entries[i]));
    return sorted;
}
