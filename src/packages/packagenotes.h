#pragma once

#include "lessons/flashcardpackage.h"
#include "packagemedia.h"
#include "sheetrows.h"

#include <atomic>

// The reader of packages (and spreadsheets) the packages module gives (and tests use as it is). A
// package is anyone's to make: its collection is read read-only, on a thread of its own (the window
// goes on meanwhile when it is read from the window's thread), within a time limit, and only from
// real tables; the unpacked collection goes in every case.
class ZipPackageReader final : public PackageReader {
public:
    FileResult readNotes(const QByteArray& bytes, const QString& path,
                         PackageNotes& notes) override;
    FileResult readSheet(const QByteArray& bytes, const QString& path,
                         QList<QStringList>& rows) override {
        return readSheetRows(bytes, path, rows, stopped_);
    }
    FileResult readMedia(const QByteArray& bytes, const QString& path, const QStringList& names,
                         QHash<QString, QByteArray>& media) override {
        return readMediaFiles(bytes, path, names, media);
    }
    void stop() override { stopped_ = true; }
    // A collection that takes longer to read than this is refused.
    void setTimeLimitMs(int ms) { limitMs_ = ms; }

private:
    std::atomic<bool> stopped_ = false;
    int limitMs_ = 20000;
};
