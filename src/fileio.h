#pragma once

#include <QByteArray>
#include <QString>

// Why a file operation failed. Every file the program reads or writes reports through this.
enum class FileError {
    None,
    CannotOpen,    // not found, no name given, or the folder for a new file is missing
    AccessRefused, // the path names a folder, or the system refuses access
    FieldsRanOut,  // a lesson file ended before the records it promised
    NotText,       // a lesson file holds bytes that no text file has
    WriteFailed,   // the data could not be written completely; the old file is untouched
};

struct FileResult final {
    FileError kind = FileError::None;
    QString description; // for the learner, in Chinese

    bool ok() const { return kind == FileError::None; }
    static FileResult success() { return {}; }
};

// Reads at most maxBytes (all when negative) from the start of path.
FileResult readFileBytes(const QString& path, QByteArray& out, qint64 maxBytes = -1);

// Replaces path with bytes all at once: on any failure the previous file stays as it was.
FileResult writeFileAtomically(const QString& path, const QByteArray& bytes);
