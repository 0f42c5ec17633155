#include "services/modules.h"

#include <QDir>
#include <QLibrary>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcModules, "vokarin.modules")

} // namespace

QStringList moduleFolders(const QString& programFolder) {
    const QDir folder(programFolder);
    return {folder.absolutePath(),
            QDir::cleanPath(folder.filePath(QStringLiteral("../" VOKARIN_MODULE_DIR)))};
}

QFunctionPointer moduleEntry(const QStringList& folders, const QString& name, const char* symbol) {
    for (const QString& folder : folders) {
        QLibrary module(QDir(folder).filePath(name));
        if (!module.load()) {
            qCDebug(lcModules) << module.errorString();
            continue;
        }
        if (const QFunctionPointer entry = module.resolve(symbol))
            return entry;
        qCWarning(lcModules) << module.fileName() << "has no" << symbol;
    }
    qCWarning(lcModules) << "no module" << name << "in" << folders;
    return nullptr;
}
