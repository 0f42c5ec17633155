#include "module1.h"

#include "settings/settingsfile.h"
#include "sync/conflictcopies.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>
#include <QUuid>

Module1::Module1(QString appFolder, QString resourceFolder)
    : AppFolder(std::move(appFolder))
    , ResourceFolder(resourceFolder.isEmpty() ? AppFolder : std::move(resourceFolder)) {}

FileResult Module1::LoadSettings() {
    SettingsPath = settingsPathFor(ShareSettings ? dataFolder() : AppFolder);
    FileResult result;
    // An empty file is what an earlier write on a full disk may have left: as good as none.
    const QFileInfo file(SettingsPath);
    if (!file.exists() || (file.isFile() && file.size() == 0))
        result = csh(SettingsPath, ShareSettings ? sharedFolder() : QString());
    const FileResult read =
        readSettingsFile(SettingsPath, Settings, ShareSettings ? sharedFolder() : QString());
    if (result.ok())
        result = read;
    SavedChoiceCount = Settings.ChoiceCount;
    return result;
}

FileResult Module1::SaveSettings() const {
    return writeSettingsFile(SettingsPath, Settings, ShareSettings ? sharedFolder() : QString());
}

QString Module1::dataFolder() const {
    return DataFolder.isEmpty() ? AppFolder : DataFolder;
}

QString Module1::lessonFolder() const {
    return QDir(dataFolder()).filePath(QStringLiteral("lesson"));
}

QString Module1::recordingFolder() const {
    return QDir(lessonFolder()).filePath(QStringLiteral(".recordings"));
}

QString Module1::historyFolder() const {
    return QDir(dataFolder()).filePath(QStringLiteral("history"));
}

QString Module1::mergedFolder() const {
    return QDir(dataFolder()).filePath(SetAsideName);
}

QString Module1::notebookPath() const {
    return QDir(lessonFolder()).filePath(QStringLiteral("scb.txt"));
}

namespace {

constexpr auto ForgivingKey = "typing/forgiving";
constexpr auto OpenFilterKey = "editor/openFilter";
constexpr auto ShowRightKey = "drill/showRightAnswer";
constexpr auto AccentKey = "speech/accent"; // "American" or "British"
constexpr auto PronunciationKey = "drill/showPronunciation";
constexpr auto DataFolderKey = "data/folder";
constexpr auto ShareSettingsKey = "data/shareSettings";
constexpr auto DeviceKey = "data/device";
constexpr auto MachineKey = "data/machine";

// What tells this computer from another: the system's machine id, else the host's name.
QString thisMachine() {
    const QByteArray id = QSysInfo::machineUniqueId();
    return id.isEmpty() ? QSysInfo::machineHostName() : QString::fromLatin1(id);
}

// A short name for this computer: its host name (letters and digits only) and a random part.
QString newDeviceId() {
    QString host;
    for (const QChar c : QSysInfo::machineHostName().left(20))
        if (c.unicode() < 0x80 && c.isLetterOrNumber())
            host += c.toLower();
    const QString random = QUuid::createUuid().toString(QUuid::Id128).left(8);
    return host.isEmpty() ? random : host + u'-' + random;
}

QString preferencesPath(const QString& appFolder) {
    return QDir(appFolder).filePath(QStringLiteral("vokarin.ini"));
}

} // namespace

void Module1::nameThisComputer() {
    if (DeviceId.isEmpty())
        DeviceId = newDeviceId();
}

void Module1::LoadPreferences() {
    QSettings ini(preferencesPath(AppFolder), QSettings::IniFormat);
    ForgivingTyping = ini.value(QLatin1String(ForgivingKey), false).toBool();
    EditorOpenFilter = ini.value(QLatin1String(OpenFilterKey), 0).toInt();
    ShowRightAnswer = ini.value(QLatin1String(ShowRightKey), false).toBool();
    ShowPronunciation = ini.value(QLatin1String(PronunciationKey), false).toBool();
    SpeechAccent = ini.value(QLatin1String(AccentKey)).toString() == QLatin1String("British")
                       ? Accent::British
                       : Accent::American;
    DataFolder = ini.value(QLatin1String(DataFolderKey)).toString();
    ShareSettings = ini.value(QLatin1String(ShareSettingsKey), false).toBool();
    DeviceId = ini.value(QLatin1String(DeviceKey)).toString();
    if (ini.value(QLatin1String(MachineKey)).toString() != thisMachine())
        DeviceId.clear(); // vokarin.ini came from another computer
    // Only a learner with a data folder of his own needs to name this computer.
    if (!DataFolder.isEmpty() && DeviceId.isEmpty()) {
        DeviceId = newDeviceId();
        ini.setValue(QLatin1String(DeviceKey), DeviceId);
        ini.setValue(QLatin1String(MachineKey), thisMachine());
    }
}

bool Module1::SavePreferences() const {
    QSettings ini(preferencesPath(AppFolder), QSettings::IniFormat);
    ini.setValue(QLatin1String(ForgivingKey), ForgivingTyping);
    ini.setValue(QLatin1String(OpenFilterKey), EditorOpenFilter);
    ini.setValue(QLatin1String(ShowRightKey), ShowRightAnswer);
    ini.setValue(QLatin1String(PronunciationKey), ShowPronunciation);
    ini.setValue(QLatin1String(AccentKey), SpeechAccent == Accent::British
                                               ? QLatin1String("British")
                                               : QLatin1String("American"));
    ini.setValue(QLatin1String(DataFolderKey), DataFolder);
    ini.setValue(QLatin1String(ShareSettingsKey), ShareSettings);
    if (!DeviceId.isEmpty()) {
        ini.setValue(QLatin1String(DeviceKey), DeviceId);
        ini.setValue(QLatin1String(MachineKey), thisMachine());
    }
    ini.sync();
    return ini.status() == QSettings::NoError;
}
