#include "module1.h"

#include "settings/settingsfile.h"

#include <QDir>
#include <QFileInfo>

Module1::Module1(QString appFolder)
    : AppFolder(std::move(appFolder)) {}

FileResult Module1::LoadSettings() {
    SettingsPath = settingsPathFor(AppFolder);
    FileResult result;
    if (!QFileInfo::exists(SettingsPath))
        result = csh(SettingsPath);
    const FileResult read = readSettingsFile(SettingsPath, Settings);
    if (result.ok())
        result = read;
    SavedChoiceCount = Settings.ChoiceCount;
    return result;
}

FileResult Module1::SaveSettings() const {
    return writeSettingsFile(SettingsPath, Settings);
}

QString Module1::lessonFolder() const {
    return QDir(AppFolder).filePath(QStringLiteral("lesson"));
}

QString Module1::notebookPath() const {
    return QDir(lessonFolder()).filePath(QStringLiteral("scb.txt"));
}
