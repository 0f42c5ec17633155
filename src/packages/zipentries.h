#pragma once
// A zip in memory, entry by entry, within bounds: what a package or a spreadsheet is.
#include <QByteArray>
#include <memory>
#include <optional>
#include <zip.h>

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Zip = std::unique_ptr<zip_t, ZipCloser>;

// The zip in bytes (which must outlive it), or none when it is not one.
Zip openZip(const QByteArray& bytes);

// A zstd frame unpacked, or nothing when it is damaged, cut off or larger than largest.
std::optional<QByteArray> unzstd(const QByteArray& packed, qint64 largest);

// An entry's bytes, or nothing when it is missing, damaged, larger than largest once unpacked,
// or (with mostRatio) unpacked more than mostRatio times its packed size past a megabyte, as
// nothing but a zip bomb is.
std::optional<QByteArray> zipEntry(zip_t* archive, const char* name, qint64 largest,
                                   qint64 mostRatio = 0);
