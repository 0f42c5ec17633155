#pragma once

#include "lessons/flashcardpackage.h"

// The reader of packages the packages module gives (and tests use as it is).
class ZipPackageReader final : public PackageReader {
public:
    FileResult readNotes(const QByteArray& bytes, const QString& path,
                         PackageNotes& notes) override;
};
