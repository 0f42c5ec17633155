// The packages module: a Qt plugin that reads the big flash-card program's packages and
// spreadsheets. zip, zstd and SQLite come with it, loaded the first time one is opened.
#include "packagenotes.h"

#include <QObject>

class PackagesModule final : public QObject, public PackageReader {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VokarinPackageReader_iid)
    Q_INTERFACES(PackageReader)

public:
    FileResult readNotes(const QByteArray& bytes, const QString& path,
                         PackageNotes& notes) override {
        return reader_.readNotes(bytes, path, notes);
    }
    FileResult readSheet(const QByteArray& bytes, const QString& path,
                         QList<QStringList>& rows) override {
        return reader_.readSheet(bytes, path, rows);
    }
    FileResult readMedia(const QByteArray& bytes, const QString& path, const QStringList& names,
                         QHash<QString, QByteArray>& media) override {
        return reader_.readMedia(bytes, path, names, media);
    }
    void stop() override { reader_.stop(); }

private:
    ZipPackageReader reader_;
};

#include "packagesmodule.moc"
