#pragma once

#include "fileio.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QtPlugin>
#include <functional>

// The notes of a flash-card program's package (.apkg, .colpkg): a zip holding the collection as
// SQLite, compressed with zstd in the newest layout (collection.anki21b), plain in the older
// ones (collection.anki21, collection.anki2).
struct PackageNotes final {
    QStringList fieldNames;   // of the first note type, in order
    QList<QStringList> notes; // each note's fields as stored (HTML)
};

// True when bytes are a zip whose directory names a flash-card collection. Read from the zip's
// own directory: telling a package needs none of the libraries that read one.
bool isFlashCardPackage(const QByteArray& bytes);
// The same for a spreadsheet: an Excel workbook (.xlsx, also WPS's) or an OpenDocument one (.ods).
bool isSpreadsheetFile(const QByteArray& bytes);

// What reads the notes, and the rows of spreadsheets: the packages module (a Qt plugin), loaded
// the first time a package or a spreadsheet is opened. A package whose only collection is the
// placeholder that asks for a newer program, or that is damaged, is refused with the reason.
// Nothing in the package may grow past bounds: an entry of more than 256 MB once unpacked refuses
// it.
class PackageReader {
public:
    virtual ~PackageReader() = default;
    virtual FileResult readNotes(const QByteArray& bytes, const QString& path,
                                 PackageNotes& notes) = 0;
    // The recordings of the names given that the package's media holds: name → bytes. A
    // recording of more than LargestRecording bytes, and any past MostRecordings, is left out.
    virtual FileResult readMedia(const QByteArray& bytes, const QString& path,
                                 const QStringList& names, QHash<QString, QByteArray>& media) = 0;
    // The rows of a spreadsheet's sheet with the most rows, each row's cells as text.
    virtual FileResult readSheet(const QByteArray& bytes, const QString& path,
                                 QList<QStringList>& rows) = 0;
    // Ends the reads under way as soon as they can stop (the program is closing); they are
    // refused.
    virtual void stop() = 0;
};

#define VokarinPackageReader_iid "Vokarin.PackageReader/4"
Q_DECLARE_INTERFACE(PackageReader, VokarinPackageReader_iid)

// How readPackageNotes finds the reader, asked once, when the first package is read (on
// whichever thread reads it): main() loads the module, tests hand over a reader of their own.
void setPackageReader(std::function<PackageReader*()> find);

// The notes, read by the reader found; without one the package is refused and says why.
FileResult readPackageNotes(const QByteArray& bytes, const QString& path, PackageNotes& notes);

// The recordings named that a package holds, read by the same reader.
FileResult readPackageMedia(const QByteArray& bytes, const QString& path, const QStringList& names,
                            QHash<QString, QByteArray>& media);

// The rows of a spreadsheet, read by the same reader.
FileResult readSpreadsheetRows(const QByteArray& bytes, const QString& path,
                               QList<QStringList>& rows);

// Ends the package reads under way (the program is closing), when the reader has been found.
void stopPackageReads();
