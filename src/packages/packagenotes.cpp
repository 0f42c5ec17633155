// Reading a package: the zip, zstd and the collection's SQLite.
#include "packagenotes.h"
#include "zipentries.h"

#include "aside.h"
#include "lessons/wordlists.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <chrono>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <zstd.h>

namespace {

// No collection of words comes near this once unpacked.
constexpr qint64 LargestUnpacked = 256 * 1024 * 1024;

FileResult refusedPackage(const QString& path, const QString& why) {
    return {FileError::BadList,
            QStringLiteral("“%1”%2，没有读入任何单词").arg(displayPath(path), why)};
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

namespace {

// A collection's notes read from its file through SQLite, within what a package may cost: only
// real tables, read-only, temporary storage in memory, stopping at the pair bound, and ended
// by SQLite's progress handler once stop is set or deadline passed.
struct CollectionRead final {
    QString file;
    bool newest = false;
    const std::atomic<bool>* stop = nullptr;
    std::chrono::steady_clock::time_point deadline;
    PackageNotes notes;
    QString refusal; // empty: read
    bool interrupted = false;

    static int progress(void* self) {
        auto* read = static_cast<CollectionRead*>(self);
        if (*read->stop || std::chrono::steady_clock::now() > read->deadline)
            read->interrupted = true;
        return read->interrupted ? 1 : 0;
    }

    void run() {
        const QString connection =
            QStringLiteral("vokarin-package-") + QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            if (db.open()) {
                const QVariant handle = db.driver()->handle();
                if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
                    sqlite3_progress_handler(*static_cast<sqlite3* const*>(handle.constData()),
                                             1000, &CollectionRead::progress, this);
                readFrom(db);
            } else {
                refusal = QStringLiteral("里的闪卡数据读不出来（%1）").arg(db.lastError().text());
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    void readFrom(QSqlDatabase& db) {
        QSqlQuery query(db);
        // What the collection calls notes, col and fields must be plain tables: a view (or a
        // virtual table) can make a query run without end.
        if (!query.exec(QStringLiteral("PRAGMA temp_store = MEMORY")) ||
            !query.exec(QStringLiteral("SELECT name, type, sql FROM sqlite_master"
                                       " WHERE name IN ('notes', 'col', 'fields')"))) {
            refusal = QStringLiteral("里的闪卡数据读不出来（%1）").arg(query.lastError().text());
            return;
        }
        bool hasNotes = false;
        while (query.next()) {
            const bool table =
                query.value(1).toString() == u"table" &&
                !query.value(2).toString().contains(QLatin1String("VIRTUAL"), Qt::CaseInsensitive);
            if (!table) {
                refusal = QStringLiteral("里的“%1”不是数据表，不像闪卡程序自己写的")
                              .arg(query.value(0).toString());
                return;
            }
            hasNotes = hasNotes || query.value(0).toString() == u"notes";
        }
        if (!hasNotes) {
            refusal = QStringLiteral("里没有闪卡（notes 表）");
            return;
        }
        if (!query.exec(QStringLiteral("SELECT mid, flds FROM notes ORDER BY id"))) {
            refusal =
                interrupted
                    ? QString()
                    : QStringLiteral("里的闪卡数据读不出来（%1）").arg(query.lastError().text());
            return;
        }
        qint64 type = 0;
        while (query.next()) {
            if (notes.notes.size() >= MostListPairs) {
                refusal = QStringLiteral("里的卡片超过 %1 张，不像是单词").arg(MostListPairs);
                notes = {};
                return;
            }
            if (notes.notes.isEmpty())
                type = query.value(0).toLongLong();
            notes.notes << query.value(1).toString().split(QChar(0x1F));
        }
        query.finish();
        if (interrupted)
            return;
        notes.fieldNames = fieldNames(db, type);
        // Newer programs leave one note for older ones, asking them to update.
        if (!newest && notes.notes.size() == 1 &&
            notes.notes[0].value(0).contains(QLatin1String("update to the latest"))) {
            refusal = QStringLiteral("是新版闪卡程序导出的，这里只能读到一张要求升级的占位卡片"
                                     "（“%1”），没有单词")
                          .arg(notes.notes[0].value(0));
            notes = {};
        }
    }
};

// A SQLite file in WAL mode opened read-only leaves -wal and -shm beside it: the unpacked copy
// is marked as an ordinary (rollback-journal) database instead, which reads the same.
void withoutWal(QByteArray& database) {
    if (database.size() >= 100 && database.startsWith("SQLite format 3") &&
        (database[18] == 2 || database[19] == 2)) {
        database[18] = 1;
        database[19] = 1;
    }
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
    if (std::optional<QByteArray> packed =
            zipEntry(archive.get(), "collection.anki21b", LargestUnpacked)) {
        database = unzstd(*packed, LargestUnpacked);
        if (!database)
            return refusedPackage(path, QStringLiteral("里的 collection.anki21b 解不开（已损坏，"
                                                       "或解开后超过 256 MB）"));
        newest = true;
    } else if (!(database = zipEntry(archive.get(), "collection.anki21", LargestUnpacked)) &&
               !(database = zipEntry(archive.get(), "collection.anki2", LargestUnpacked))) {
        return refusedPackage(path, QStringLiteral("里没有闪卡的数据（collection.anki2）"));
    }
    withoutWal(*database);

    // A folder of its own, removed with whatever SQLite puts beside the file, in every case.
    const QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("Vokarin-XXXXXX")));
    const QString file = folder.filePath(QStringLiteral("collection.db"));
    {
        QFile out(file);
        if (!folder.isValid() || !out.open(QIODevice::WriteOnly) ||
            out.write(*database) != database->size() || !out.flush())
            return refusedPackage(path, QStringLiteral("无法解到临时文件里"));
    }
    database.reset();

    CollectionRead read;
    read.file = file;
    read.newest = newest;
    read.stop = &stopped_;
    read.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs_);
    QCoreApplication* const app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        // From the window's thread: the window goes on painting (the learner's input waits),
        // and the read is ended when the program is told to quit.
        runAside([&read] { read.run(); }, [this] { stopped_ = true; });
    else
        read.run();
    if (read.interrupted)
        return refusedPackage(
            path, stopped_ ? QStringLiteral("的读取因程序关闭而中止")
                           : QStringLiteral("读了 %1 秒还没读完，不像是单词").arg(limitMs_ / 1000));
    if (!read.refusal.isEmpty())
        return refusedPackage(path, read.refusal);
    notes = std::move(read.notes);
    return FileResult::success();
}
