// The media map is JSON in the older packages ({"0": "apple.mp3", …}) and, in the newest, a
// zstd-packed protocol-buffer list whose n-th entry is the zip's entry "n", itself zstd-packed:
//   message MediaEntries { repeated MediaEntry entries = 1; }
//   message MediaEntry { string name = 1; uint32 size = 2; bytes sha1 = 3;
//                        optional uint32 legacy_zip_filename = 255; }
#include "packagemedia.h"
#include "zipentries.h"

#include "lessons/wordlists.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 LargestMediaMap = 16 << 20;
constexpr qint64 MostMediaBytes = 256 << 20;
// Sound barely packs; a file packed far beyond this is no recording.
constexpr qint64 MostMediaRatio = 100;

bool isZstd(const QByteArray& bytes) {
    return bytes.startsWith("\x28\xB5\x2F\xFD");
}

// A protocol-buffer field's key or number, at at; false past the end or over ten bytes.
bool varint(const QByteArray& bytes, qsizetype& at, quint64& value) {
    value = 0;
    for (int shift = 0; shift < 70 && at < bytes.size(); shift += 7) {
        const auto byte = quint8(bytes[at++]);
        value |= quint64(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

// The fields of one message: number, wire type, and a length-delimited field's bytes or a
// number's value; false when the message is malformed.
template <class Field> bool fields(const QByteArray& message, const Field& field) {
    qsizetype at = 0;
    while (at < message.size()) {
        quint64 key = 0, value = 0;
        if (!varint(message, at, key))
            return false;
        switch (key & 7) {
        case 0:
            if (!varint(message, at, value))
                return false;
            field(key >> 3, QByteArray(), value);
            break;
        case 1:
            at += 8;
            break;
        case 2:
            if (!varint(message, at, value) || value > quint64(message.size() - at))
                return false;
            field(key >> 3, message.mid(at, qsizetype(value)), 0);
            at += qsizetype(value);
            break;
        case 5:
            at += 4;
            break;
        default:
            return false;
        }
    }
    return at == message.size();
}

// Each file's name → its entry in the zip.
QHash<QString, QString> entriesOfList(const QByteArray& list) {
    QHash<QString, QString> entries;
    quint64 index = 0;
    fields(list, [&](quint64 number, const QByteArray& entry, quint64) {
        if (number != 1)
            return;
        QString name, zipName = QString::number(index++);
        fields(entry, [&](quint64 n, const QByteArray& bytes, quint64 value) {
            if (n == 1)
                name = QString::fromUtf8(bytes);
            else if (n == 255)
                zipName = QString::number(value);
        });
        if (!name.isEmpty())
            entries.insert(name, zipName);
    });
    return entries;
}

QHash<QString, QString> entriesOfJson(const QByteArray& json) {
    QHash<QString, QString> entries;
    const QJsonObject map = QJsonDocument::fromJson(json).object();
    for (auto it = map.begin(); it != map.end(); ++it)
        if (it.value().isString())
            entries.insert(it.value().toString(), it.key());
    return entries;
}

} // namespace

FileResult readMediaFiles(const QByteArray& bytes, const QString& path, const QStringList& names,
                          QHash<QString, QByteArray>& media) {
    media.clear();
    const Zip archive = openZip(bytes);
    if (!archive)
        return {FileError::BadList,
                QStringLiteral("“%1”不是完好的 zip 压缩包").arg(displayPath(path))};
    std::optional<QByteArray> map = zipEntry(archive.get(), "media", LargestMediaMap, 1000);
    if (map && isZstd(*map))
        map = unzstd(*map, LargestMediaMap);
    if (!map)
        return FileResult::success();
    const QHash<QString, QString> entryOf =
        map->trimmed().startsWith('{') ? entriesOfJson(*map) : entriesOfList(*map);
    qint64 total = 0;
    for (const QString& name : names) {
        if (media.size() >= MostRecordings)
            break;
        const QString entry = entryOf.value(name);
        if (entry.isEmpty())
            continue;
        std::optional<QByteArray> file =
            zipEntry(archive.get(), entry.toUtf8().constData(), LargestRecording, MostMediaRatio);
        if (file && isZstd(*file))
            file = unzstd(*file, LargestRecording);
        if (!file || file->isEmpty())
            continue;
        if ((total += file->size()) > MostMediaBytes)
            break;
        media.insert(name, *file);
    }
    return FileResult::success();
}
