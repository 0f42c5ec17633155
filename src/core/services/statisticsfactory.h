#pragma once

#include <QString>
#include <QTimeZone>
#include <QtPlugin>

class FileDialogs;
class MessageBoxes;
class QWidget;

// What the statistics window needs from the program.
struct StatisticsContext final {
    QString databasePath;
    QString lessonFolder;
    MessageBoxes* messages = nullptr;
    FileDialogs* files = nullptr;
    QTimeZone zone = QTimeZone::systemTimeZone();
    qint64 now = 0; // epoch ms; 0 for the present
};

// What the statistics module (a Qt plugin) gives: the window, owned by the caller.
class StatisticsFactory {
public:
    virtual ~StatisticsFactory() = default;
    virtual QWidget* createWindow(const StatisticsContext& context) = 0;
};

#define VokarinStatisticsFactory_iid "Vokarin.StatisticsFactory/1"
Q_DECLARE_INTERFACE(StatisticsFactory, VokarinStatisticsFactory_iid)
