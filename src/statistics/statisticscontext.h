#pragma once

#include <QString>
#include <QTimeZone>

class FileDialogs;
class MessageBoxes;

// What the statistics window needs from the program: the module's entry point takes it.
struct StatisticsContext final {
    QString databasePath;
    QString lessonFolder;
    MessageBoxes* messages = nullptr;
    FileDialogs* files = nullptr;
    QTimeZone zone = QTimeZone::systemTimeZone();
    qint64 now = 0; // epoch ms; 0 for the present
};
