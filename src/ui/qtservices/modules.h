#pragma once

#include <QStringList>

// The parts of Vokarin kept in modules of their own (sound and speech, the statistics window,
// the reader of flash-card packages),
// so that their libraries load only when they are first used.

class QObject;

// The folders a program in programFolder looks in for its modules: the installed library
// folder, then beside itself (a build, a portable folder).
QStringList moduleFolders(const QString& programFolder);

// The Qt plugin name (without ".so") from the first folder that has its file; null when none
// has it or it cannot be loaded, which the log says once. Modules are never unloaded.
QObject* moduleInstance(const QStringList& folders, const QString& name);
