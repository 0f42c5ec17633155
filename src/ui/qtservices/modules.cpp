#include "qtservices/modules.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QPluginLoader>
#include <QSet>

namespace {

Q_LOGGING_CATEGORY(lcModules, "vokarin.modules")

} // namespace

QStringList moduleFolders(const QString& programFolder) {
    const QDir folder(programFolder);
    return {QDir::cleanPath(folder.filePath(QStringLiteral("../" VOKARIN_MODULE_DIR))),
            folder.absolutePath()};
}

QObject* moduleInstance(const QStringList& folders, const QString& name) {
    // Modules are asked for on any thread (packages are read where the lesson loads).
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    static QSet<QString> told;
    const auto tellOnce = [&](const QString& why) {
        if (!told.contains(name)) {
            told.insert(name);
            qCWarning(lcModules, "%s", qPrintable(why));
        }
    };
    for (const QString& folder : folders) {
        // Only a file that is there is loaded: the others are not worth a message.
        const QString file = QDir(folder).filePath(name + QStringLiteral(".so"));
        if (!QFileInfo(file).isFile())
            continue;
        QPluginLoader module(file);
        if (QObject* instance = module.instance())
            return instance;
        tellOnce(module.errorString());
        return nullptr;
    }
    tellOnce(QStringLiteral("no module %1 in %2").arg(name, folders.join(QStringLiteral(", "))));
    return nullptr;
}
