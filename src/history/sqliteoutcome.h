#pragma once

class QSqlError;

// What became of an SQLite statement, told by SQLite's result code (Qt's driver hands it on as
// the error's native code; an extended code keeps the primary one in its low byte).
enum class Outcome {
    Done,
    Busy,    // another program holds the file (SQLITE_BUSY, SQLITE_LOCKED): try again later
    Corrupt, // the file is not, or no longer, a database (SQLITE_CORRUPT, SQLITE_NOTADB)
    Full,    // the disk is full (SQLITE_FULL)
    Failed,  // anything else (a read-only file, an I/O error, a statement the file cannot take)
};

Outcome outcomeOf(const QSqlError& error);
