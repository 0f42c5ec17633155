#pragma once
// A package's recordings and pictures: its "media" map names each file the notes refer to,
// kept in the zip under a number.
#include "fileio.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

// The files named that the package holds (name → bytes), within bounds: none larger than
// LargestRecording, no more than MostRecordings, 256 MB in all. A package without media, or
// with a map that cannot be read, holds none; only a package that is no zip is refused.
FileResult readMediaFiles(const QByteArray& bytes, const QString& path, const QStringList& names,
                          QHash<QString, QByteArray>& media);
