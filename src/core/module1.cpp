#include "module1.h"

#include "settings/settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

Module1::Module1(QString appFolder, QString resourceFolder)
    : AppFolder(std::move(appFolder))
    , ResourceFolder(resourceFolder.isEmpty() ? AppFolder : std::move(resourceFolder)) {}

FileResult Module1::LoadSettings() {
    SettingsPath = settingsPathFor(AppFolder);
    FileResult result;
    // An empty file is what an earlier write on a full disk may have left: as good as none.
    const QFileInfo file(SettingsPath);
    if (!file.exists() || (file.isFile() && file.size() == 0))
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

namespace {

constexpr auto ForgivingKey = "typing/forgiving";

QString preferencesPath(const QString& appFolder) {
    return QDir(appFolder).filePath(QStringLiteral("vokarin.ini"));
}

} // namespace

void Module1::LoadPreferences() {
    const QSettings ini(preferencesPath(AppFolder), QSettings::IniFormat);
    ForgivingTyping = ini.value(QLatin1String(ForgivingKey), false).toBool();
}

bool Module1::SavePreferences() const {
    QSettings ini(preferencesPath(AppFolder), QSettings::IniFormat);
    ini.setValue(QLatin1String(ForgivingKey), ForgivingTyping);
    ini.sync();
    return ini.status() == QSettings::NoError;
}
