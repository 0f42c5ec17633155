#pragma once

// The history file's schema: each version's statements in one place, the migration from any
// earlier version, and the tables and columns the program reads.

#include <QSqlDatabase>
#include <QSqlError>
#include <QTimeZone>
#include <span>

namespace historyfile {

inline constexpr int SchemaVersion = 7;

// Every table and column the program uses, as queries that read none of them: a file in
// which one fails lacks what the program needs.
std::span<const char* const> probes();

// Takes the file from version to SchemaVersion in one transaction (nothing when it is there).
QSqlError migrate(QSqlDatabase& db, int version, const QTimeZone& zone);

} // namespace historyfile
