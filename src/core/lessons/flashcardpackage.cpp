#include "lessons/flashcardpackage.h"
#include "lessons/listreaders.h"

#include <QMutex>
#include <QtEndian>
#include <cstring>

namespace {

struct Finder final {
    QMutex mutex;
    std::function<PackageReader*()> find;
    PackageReader* reader = nullptr;
    bool asked = false;
};

Finder& finder() {
    static Finder f;
    return f;
}

quint32 le32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}

quint16 le16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}

} // namespace

bool isFlashCardPackage(const QByteArray& bytes) {
    if (!bytes.startsWith("PK\x03\x04"))
        return false;
    // The end of the central directory: 22 bytes and a comment of at most 65,535.
    const char* const data = bytes.constData();
    const qsizetype size = bytes.size();
    constexpr qsizetype EndSize = 22;
    qsizetype end = -1;
    for (qsizetype at = size - EndSize; at >= 0 && at >= size - EndSize - 0xFFFF; --at)
        if (std::memcmp(data + at, "PK\x05\x06", 4) == 0) {
            end = at;
            break;
        }
    if (end < 0)
        return false;
    const qsizetype entries = le16(data + end + 10);
    qsizetype at = le32(data + end + 16);
    // Each entry: 46 bytes, then its name, extra field and comment.
    for (qsizetype i = 0; i < entries; ++i) {
        if (at < 0 || at + 46 > end || std::memcmp(data + at, "PK\x01\x02", 4) != 0)
            return false;
        const qsizetype nameSize = le16(data + at + 28);
        const qsizetype extraSize = le16(data + at + 30);
        const qsizetype commentSize = le16(data + at + 32);
        if (at + 46 + nameSize > end)
            return false;
        const QByteArrayView name(data + at + 46, nameSize);
        if (name == "collection.anki21b" || name == "collection.anki21" ||
            name == "collection.anki2")
            return true;
        at += 46 + nameSize + extraSize + commentSize;
    }
    return false;
}

void setPackageReader(std::function<PackageReader*()> find) {
    Finder& f = finder();
    const QMutexLocker lock(&f.mutex);
    f.find = std::move(find);
    f.reader = nullptr;
    f.asked = false;
}

FileResult readPackageNotes(const QByteArray& bytes, const QString& path, PackageNotes& notes) {
    notes = {};
    Finder& f = finder();
    PackageReader* reader = nullptr;
    {
        const QMutexLocker lock(&f.mutex);
        if (!f.asked && f.find) {
            f.reader = f.find();
            f.asked = true;
        }
        reader = f.reader;
    }
    if (!reader)
        return {
            FileError::BadList,
            QStringLiteral("“%1”是卡片包，但读卡片包的模块 vokarin-packages 不在，没有读入任何单词")
                .arg(displayPath(path))};
    return reader->readNotes(bytes, path, notes);
}

void stopPackageReads() {
    Finder& f = finder();
    const QMutexLocker lock(&f.mutex);
    if (f.reader)
        f.reader->stop();
}

// The notes of a package as the rows of a list.
FileResult readPackage(QByteArray& bytes, const QString& path, const ListRequest& request,
                       ListOutput& out) {
    PackageNotes package;
    if (FileResult r = readPackageNotes(bytes, path, package); !r.ok())
        return r;
    out.reading.encoding = QStringLiteral("UTF-8");
    qsizetype at = 0;
    const auto next = [&](Record& record) {
        if (at >= package.notes.size())
            return false;
        const QStringList& note = package.notes[at];
        record.fields.assign(note.cbegin(), note.cend());
        record.line = qint32(at + 1);
        record.bad = false;
        ++at;
        return true;
    };
    const auto cells = [](const QStringList& fields) {
        QStringList text;
        for (const QString& field : fields)
            text << plainText(field);
        return text;
    };
    return readRows(next, QChar(), false, package.fieldNames, cells, path, request, out);
}
