#include "lessons/flashcardpackage.h"
#include "lessons/listreaders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

namespace {

// Whether the zip's own directory names an entry that wanted takes; false for what is no zip.
template <class Wanted> bool zipDirectoryHas(const QByteArray& bytes, const Wanted& wanted) {
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
        if (wanted(QByteArrayView(data + at + 46, nameSize)))
            return true;
        at += 46 + nameSize + extraSize + commentSize;
    }
    return false;
}

} // namespace

bool isFlashCardPackage(const QByteArray& bytes) {
    return zipDirectoryHas(bytes, [](QByteArrayView name) {
        return name == "collection.anki21b" || name == "collection.anki21" ||
               name == "collection.anki2";
    });
}

bool isSpreadsheetFile(const QByteArray& bytes) {
    // An OpenDocument file's first entry is its type, stored as it is.
    const bool ods = bytes.first(qMin<qsizetype>(bytes.size(), 128))
                         .contains("application/vnd.oasis.opendocument.spreadsheet");
    return zipDirectoryHas(bytes, [ods](QByteArrayView name) {
        return name == "xl/workbook.xml" || (ods && name == "content.xml");
    });
}

void setPackageReader(std::function<PackageReader*()> find) {
    Finder& f = finder();
    const QMutexLocker lock(&f.mutex);
    f.find = std::move(find);
    f.reader = nullptr;
    f.asked = false;
}

namespace {

// The module's reader, found the first time one is needed; none when it is not there.
PackageReader* packageReader() {
    Finder& f = finder();
    const QMutexLocker lock(&f.mutex);
    if (!f.asked && f.find) {
        f.reader = f.find();
        f.asked = true;
    }
    return f.reader;
}

FileResult withoutModule(const QString& path, const QString& what) {
    return {FileError::BadList,
            QStringLiteral("“%1”是%2，但读它的模块 vokarin-packages 不在，没有读入任何单词")
                .arg(displayPath(path), what)};
}

} // namespace

FileResult readPackageNotes(const QByteArray& bytes, const QString& path, PackageNotes& notes) {
    notes = {};
    PackageReader* const reader = packageReader();
    return reader ? reader->readNotes(bytes, path, notes)
                  : withoutModule(path, QStringLiteral("卡片包"));
}

FileResult readSpreadsheetRows(const QByteArray& bytes, const QString& path,
                               QList<QStringList>& rows) {
    rows.clear();
    PackageReader* const reader = packageReader();
    return reader ? reader->readSheet(bytes, path, rows)
                  : withoutModule(path, QStringLiteral("电子表格"));
}

void stopPackageReads() {
    Finder& f = finder();
    const QMutexLocker lock(&f.mutex);
    if (f.reader)
        f.reader->stop();
}

namespace {

// The file types of recordings that are kept.
bool isRecordingType(const QString& suffix) {
    static const QStringList types = {"mp3", "wav", "ogg",  "oga", "opus",
                                      "m4a", "aac", "flac", "spx", "webm"};
    return types.contains(suffix);
}

// The first recording a note names ("[sound:apple.mp3]"), or nothing.
QString recordingOf(const QStringList& note) {
    static const QRegularExpression sound(QStringLiteral("\\[sound:([^\\]\\[<>]{1,200})\\]"));
    for (const QString& field : note)
        if (const QRegularExpressionMatch m = sound.match(field); m.hasMatch())
            return m.captured(1).trimmed();
    return {};
}

// Keeps a recording in folder under its content's hash; the file's path, or nothing when it
// is not a recording or cannot be kept. Nothing is written through a link in the folder's way.
QString keptRecording(const QString& folder, const QString& name, const QByteArray& bytes) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (!isRecordingType(suffix) || bytes.isEmpty() || bytes.size() > LargestRecording)
        return {};
    QString file = QDir(folder).filePath(
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) +
        u'.' + suffix);
    const QString within = QFileInfo(folder).path();
    if (!confinedTo(within, file).ok())
        return {};
    if (const QFileInfo kept(file); kept.isFile() && kept.size() == bytes.size())
        return file;
    if (!QDir().mkpath(folder) || !writeFileAtomically(file, bytes, within).ok())
        return {};
    return file;
}

} // namespace

FileResult readPackageMedia(const QByteArray& bytes, const QString& path, const QStringList& names,
                            QHash<QString, QByteArray>& media) {
    media.clear();
    PackageReader* const reader = packageReader();
    return reader ? reader->readMedia(bytes, path, names, media)
                  : withoutModule(path, QStringLiteral("卡片包"));
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
        // A side may be a picture or a recording, which has no text.
        record.media = std::any_of(note.cbegin(), note.cend(), [](const QString& field) {
            return field.contains(QLatin1String("<img")) ||
                   field.contains(QLatin1String("[sound:"));
        });
        ++at;
        return true;
    };
    const auto cells = [](const QStringList& fields) {
        QStringList text;
        for (const QString& field : fields)
            text << plainText(field);
        return text;
    };
    // The cards read whose pictures are left out, and the words whose recordings are wanted.
    const WordExtras* const extras = out.extras;
    const bool keep = extras && extras->recorded && !extras->recordingFolder.isEmpty();
    QHash<QString, QStringList> wordsOf; // a recording's name in the package → its words
    out.handedOn = [&](QStringView word, qint32 line) {
        const QStringList& note = package.notes.at(line - 1);
        out.reading.pictures += std::any_of(note.cbegin(), note.cend(), [](const QString& field) {
            return field.contains(QLatin1String("<img"));
        });
        if (keep)
            if (const QString name = recordingOf(note);
                !name.isEmpty() && (wordsOf.contains(name) || wordsOf.size() < MostRecordings))
                wordsOf[name] << word.toString();
    };
    FileResult read = readRows(next, QChar(), false, package.fieldNames, cells, path, request, out);
    out.handedOn = {};
    if (!read.ok() || wordsOf.isEmpty())
        return read;
    QHash<QString, QByteArray> recordings;
    readPackageMedia(bytes, path, wordsOf.keys(), recordings);
    for (auto it = recordings.cbegin(); it != recordings.cend(); ++it)
        if (const QString file = keptRecording(extras->recordingFolder, it.key(), it.value());
            !file.isEmpty())
            for (const QString& word : wordsOf.value(it.key()))
                extras->recorded(word, file);
    return read;
}

// A spreadsheet's rows as a list's, as a CSV of it would be read.
FileResult readSpreadsheet(QByteArray& bytes, const QString& path, const ListRequest& request,
                           ListOutput& out) {
    QList<QStringList> rows;
    FileResult r = readSpreadsheetRows(bytes, path, rows);
    bytes = {};
    if (!r.ok())
        return r;
    out.reading.encoding = QStringLiteral("UTF-8");
    qsizetype at = 0;
    const auto next = [&](Record& record) {
        if (at >= rows.size())
            return false;
        record.fields.assign(rows[at].cbegin(), rows[at].cend());
        record.line = qint32(at + 1);
        record.bad = false;
        ++at;
        return true;
    };
    return readRows(next, QChar(), true, {}, {}, path, request, out);
}
