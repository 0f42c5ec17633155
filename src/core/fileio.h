#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Why a file operation failed. Every file the program reads or writes reports through this.
enum class FileError {
    None,
    CannotOpen,    // not found, no name given, or the folder for a new file is missing
    AccessRefused, // the path names a folder, or the system refuses access
    FieldsRanOut,  // a lesson file ended before the records it promised
    NotText,       // a lesson file holds bytes that no text file has
    WriteFailed,   // the data could not be written completely; the old file is untouched
    NotAFile,      // a pipe, a device or a socket: never read from or written to
    TooLarge,      // far larger than any file of words
    FieldTooLong,  // a lesson line with a field no word can fill
    BadList,       // another program's word list that is malformed or holds what no lesson can
};

struct FileResult final {
    FileError kind = FileError::None;
    QString description; // for the learner, in Chinese

    bool ok() const { return kind == FileError::None; }
    static FileResult success() { return {}; }
};

// No lesson comes near this; anything larger is refused before it is read.
inline constexpr qint64 LargestReadBytes = 64 * 1024 * 1024;

// The functions below take within, a folder that other people and programs write into (the
// learner's shared data folder): a file there is used only when it is a regular file inside
// that folder, reached without following a link, so that nothing planted there leads outside.
// Empty within: a link is followed, as the learner's own files may be links.

// Reads the whole of path, a regular file (or a link to one) of at most LargestReadBytes.
// Never blocks: pipes and devices are refused without being read.
FileResult readFileBytes(const QString& path, QByteArray& out, const QString& within = {});

// Reads at most maxBytes from the start of path, whatever the file's size.
FileResult readFileHead(const QString& path, QByteArray& out, qint64 maxBytes,
                        const QString& within = {});

// Replaces path with bytes all at once: on any failure the previous file stays as it was.
// A link is followed to the file it names (within: refused, never written through); anything
// but a regular file is refused.
FileResult writeFileAtomically(const QString& path, const QByteArray& bytes,
                               const QString& within = {});

// Why path may not be used inside within: a folder on the way or the file itself that is a
// link, a pipe or a device, or a path outside within. Success when it may (or within is empty).
FileResult confinedTo(const QString& within, const QString& path);

// File names are bytes. A name that is not UTF-8 (GBK from a Chinese Windows machine, say)
// keeps each byte that does not decode as one of U+DC80..U+DCFF, so that it opens again by
// its real bytes; displayPath() shows such a name decoded as GB18030.
QString pathFromNative(const QByteArray& native);
QByteArray nativePath(const QString& path);
QString displayPath(const QString& path);

// An entry of a folder: its path, and its name as the learner sees it.
struct FolderEntry final {
    QString path;
    QString name;
};

// The regular files (or the folders) in folder, hidden ones left out, by their shown names,
// case ignored.
QList<FolderEntry> folderEntries(const QString& folder, bool folders);
