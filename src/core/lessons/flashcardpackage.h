#pragma once

#include "fileio.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The notes of a flash-card program's package (.apkg, .colpkg): a zip holding the collection as
// SQLite, compressed with zstd in the newest layout (collection.anki21b), plain in the older
// ones (collection.anki21, collection.anki2).
struct PackageNotes final {
    QStringList fieldNames;   // of the first note type, in order
    QList<QStringList> notes; // each note's fields as stored (HTML)
};

// True when bytes are a zip holding a flash-card collection.
bool isFlashCardPackage(const QByteArray& bytes);

// Reads the notes; a package whose only collection is the placeholder that asks for a newer
// program, or that is damaged, is refused with the reason. Nothing in the package may grow
// past bounds: an entry of more than 256 MB once unpacked refuses it.
FileResult readPackageNotes(const QByteArray& bytes, const QString& path, PackageNotes& notes);
