// What became of an SQLite statement, from its result code (see sqliteoutcome.h).

#include "sqliteoutcome.h"

#include <QSqlError>
#include <sqlite3.h>

Outcome outcomeOf(const QSqlError& error) {
    if (!error.isValid())
        return Outcome::Done;
    bool number = false;
    const int code = error.nativeErrorCode().toInt(&number) & 0xFF;
    if (!number)
        return Outcome::Failed;
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Outcome::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Outcome::Corrupt;
    case SQLITE_FULL:
        return Outcome::Full;
    default:
        return Outcome::Failed;
    }
}
