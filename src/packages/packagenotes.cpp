// Reading a package: the zip, zstd and the collection's SQLite.
#include "packagenotes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUuid>
#include <memory>
#include <optional>
#include <zip.h>
#include <zstd.h>

namespace {

// No collection of words comes near this once unpacked.
constexpr qint64 LargestUnpacked = 256 * 1024 * 1024;

FileResult refusedPackage(const QString& path, const QString& why) {
    return {FileError::BadList,
            QStringLiteral("“%1”%2，没有读入任何单词").arg(displayPath(path), why)};
}

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Zip = std::unique_ptr<zip_t, ZipCloser>;

Zip openZip(const QByteArray& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (!source)
        return nullptr;
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive)
        zip_source_free(source);
    zip_error_fini(&error);
    return Zip(archive);
}

// An entry's bytes, or nothing when it is missing, damaged or too large once unpacked.
std::optional<QByteArray> entry(zip_t* archive, const char* name) {
    const zip_int64_t index = zip_name_locate(archive, name, 0);
    if (index < 0)
        return std::nullopt;
    zip_stat_t stat;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || stat.size > zip_uint64_t(LargestUnpacked))
        return std::nullopt;
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return std::nullopt;
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_fread(file, bytes.data(), stat.size);
    zip_fclose(file);
    if (read != zip_int64_t(stat.size))
        return std::nullopt;
    return bytes;
}

// A zstd frame unpacked a piece at a time, never past LargestUnpacked.
std::optional<QByteArray> unzstd(const QByteArray& packed) {
    std::unique_ptr<ZSTD_DStream, decltype(&ZSTD_freeDStream)> stream(ZSTD_createDStream(),
                                                                      &ZSTD_freeDStream);
    if (!stream)
        return std::nullopt;
    ZSTD_initDStream(stream.get());
    QByteArray out;
    QByteArray piece(qsizetype(ZSTD_DStreamOutSize()), Qt::Uninitialized);
    ZSTD_inBuffer in{packed.constData(), size_t(packed.size()), 0};
    size_t left = 1;
    while (in.pos < in.size || left != 0) {
        ZSTD_outBuffer o{piece.data(), size_t(piece.size()), 0};
        left = ZSTD_decompressStream(stream.get(), &o, &in);
        if (ZSTD_isError(left))
            return std::nullopt;
        out.append(piece.constData(), qsizetype(o.pos));
        if (out.size() > LargestUnpacked)
            return std::nullopt;
        if (o.pos == 0 && in.pos == in.size)
            break;
    }
    if (left != 0)
        return std::nullopt; // cut off
    return out;
}

// The fields of a note type by name: from its own table in the newest layout, else from the
// collection's JSON of note types.
QStringList fieldNames(QSqlDatabase& db, qint64 type) {
    QStringList names;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT name FROM fields WHERE ntid = ? ORDER BY ord"));
    query.addBindValue(type);
    if (query.exec()) {
        while (query.next())
            names << query.value(0).toString();
        if (!names.isEmpty())
            return names;
    }
    if (query.exec(QStringLiteral("SELECT models FROM col LIMIT 1")) && query.next()) {
        const QJsonObject models = QJsonDocument::fromJson(query.value(0).toByteArray()).object();
        const QJsonObject model = models.value(QString::number(type)).toObject();
        const auto fields = model.value(QLatin1String("flds")).toArray();
        for (const auto& field : fields)
            names << field.toObject().value(QLatin1String("name")).toString();
    }
    return names;
}

} // namespace

FileResult ZipPackageReader::readNotes(const QByteArray& bytes, const QString& path,
                                       PackageNotes& notes) {
    notes = {};
    const Zip archive = openZip(bytes);
    if (!archive)
        return refusedPackage(path, QStringLiteral("不是完好的 zip 压缩包"));
    // The newest collection the package has; older programs' placeholders stand beside it.
    std::optional<QByteArray> database;
    bool newest = false;
    if (std::optional<QByteArray> packed = entry(archive.get(), "collection.anki21b")) {
        database = unzstd(*packed);
        if (!database)
            return refusedPackage(path, QStringLiteral("里的 collection.anki21b 解不开（已损坏，"
                                                       "或解开后超过 256 MB）"));
        newest = true;
    } else if (!(database = entry(archive.get(), "collection.anki21")) &&
               !(database = entry(archive.get(), "collection.anki2"))) {
        return refusedPackage(path, QStringLiteral("里没有闪卡的数据（collection.anki2）"));
    }

    QTemporaryFile file;
    if (!file.open() || file.write(*database) != database->size() || !file.flush())
        return refusedPackage(path, QStringLiteral("无法解到临时文件里"));
    database.reset();
    const QString connection = QStringLiteral("vokarin-package-") + QUuid::createUuid().toString();
    FileResult result = FileResult::success();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file.fileName());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery query(db);
        if (!db.open() || !query.exec(QStringLiteral("SELECT mid, flds FROM notes ORDER BY id"))) {
            result = refusedPackage(
                path, QStringLiteral("里的闪卡数据读不出来（%1）").arg(query.lastError().text()));
        } else {
            qint64 type = 0;
            while (query.next()) {
                if (notes.notes.isEmpty())
                    type = query.value(0).toLongLong();
                notes.notes << query.value(1).toString().split(QChar(0x1F));
            }
            query.finish();
            notes.fieldNames = fieldNames(db, type);
            // Newer programs leave one note for older ones, asking them to update.
            if (!newest && notes.notes.size() == 1 &&
                notes.notes[0].value(0).contains(QLatin1String("update to the latest"))) {
                result = refusedPackage(
                    path, QStringLiteral("是新版闪卡程序导出的，这里只能读到一张要求升级的占位卡片"
                                         "（“%1”），没有单词")
                              .arg(notes.notes[0].value(0)));
                notes = {};
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}
