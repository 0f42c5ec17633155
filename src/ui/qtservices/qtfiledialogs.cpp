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

std::optional<QString> QtFileDialogs::openFile(const Request& request) {
    return chosen(QFileDialog::getOpenFileName(QApplication::activeWindow(), QStringLiteral("打开"),
                                               startPath(request), qtFilter(request.filter)));
}

std::optional<FileDialogs::Chosen> QtFileDialogs::saveFile(const Request& request) {
    const QString filters = qtFilter(request.filter);
    QString selected;
    const QString path =
        QFileDialog::getSaveFileName(QApplication::activeWindow(), QStringLiteral("另存为"),
                                     startPath(request), filters, &selected);
    if (path.isEmpty())
        return std::nullopt;
    return Chosen{path,
                  int(qMax<qsizetype>(0, filters.split(QStringLiteral(";;")).indexOf(selected)))};
}

std::optional<QString> QtFileDialogs::chooseFolder(const QString& start) {
    return chosen(QFileDialog::getExistingDirectory(QApplication::activeWindow(),
                                                    QStringLiteral("选择数据文件夹"), start));
}
