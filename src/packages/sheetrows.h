#pragma once
// The rows of a spreadsheet file: Excel's and WPS's .xlsx, LibreOffice's .ods.
#include "fileio.h"

#include <QList>
#include <QStringList>
#include <atomic>

// No word list has more columns than this; cells past it are passed over.
inline constexpr qsizetype MostSheetColumns = 64;

// The rows of the sheet with the most rows (the first of equals), each row's cells as the
// learner sees them written (numbers too), rows without any text left out. A file that is not
// a spreadsheet, is damaged, unpacks to too much or has more rows than any list is refused,
// saying why; stopped ends the reading early, refused too.
FileResult readSheetRows(const QByteArray& bytes, const QString& path, QList<QStringList>& rows,
                         const std::atomic<bool>& stopped);
