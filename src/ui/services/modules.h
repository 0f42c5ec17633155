#pragma once

#include <QStringList>

// The parts of Vokarin kept in modules of their own (sound and speech, the statistics window),
// so that their libraries load only when they are first used.

// The folders a program in programFolder looks in for its modules: beside itself, then the
// installed library folder.
QStringList moduleFolders(const QString& programFolder);

// Loads the module name (without ".so") from the first folder that has it, and gives its
// entry point symbol; null when no folder has a module with it. Modules are never unloaded.
QFunctionPointer moduleEntry(const QStringList& folders, const QString& name, const char* symbol);
