#include "qtservices/qtfiledialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace {

QString startPath(const FileDialogs::Request& request) {
    return request.fileName.isEmpty() ? request.folder
                                      : QDir(request.folder).filePath(request.fileName);
}

std::optional<QString> chosen(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

// Shows the dialog with the request's filter chosen first; the path, and the filter left chosen.
template <typename Dialog>
std::optional<FileDialogs::Chosen> withFilters(const FileDialogs::Request& request,
                                               const QString& caption, Dialog dialog) {
    const QStringList filters = QtFileDialogs::qtFilter(request.filter).split(QStringLiteral(";;"));
    QString selected = filters.value(request.shownFilter);
    const QString path = dialog(QApplication::activeWindow(), caption, startPath(request),
                                filters.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty())
        return std::nullopt;
    return FileDialogs::Chosen{path, int(qMax<qsizetype>(0, filters.indexOf(selected)))};
}

} // namespace

QString QtFileDialogs::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        filters << (description.endsWith(u')')
                        ? description
                        : QStringLiteral("%1 (%2)").arg(description, pattern));
    }
    return filters.isEmpty() ? filter : filters.join(QStringLiteral(";;"));
}

std::optional<FileDialogs::Chosen> QtFileDialogs::openFile(const Request& request) {
    return withFilters(request, QStringLiteral("打开"),
                       [](auto... args) { return QFileDialog::getOpenFileName(args...); });
}

std::optional<FileDialogs::Chosen> QtFileDialogs::saveFile(const Request& request) {
    return withFilters(request, QStringLiteral("另存为"),
                       [](auto... args) { return QFileDialog::getSaveFileName(args...); });
}

std::optional<QString> QtFileDialogs::chooseFolder(const QString& start) {
    return chosen(QFileDialog::getExistingDirectory(QApplication::activeWindow(),
                                                    QStringLiteral("选择数据文件夹"), start));
}
