#pragma once

#include "fileio.h"
#include "settings/settingsrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// csh2.dat: 19 records of 128 bytes, one field each, little-endian.
inline constexpr qsizetype SettingsRecordLength = 128;
inline constexpr int SettingsRecordCount = 19;
inline constexpr qsizetype SettingsFileLength = SettingsRecordLength * SettingsRecordCount;
inline constexpr int ChoiceModeRecord = 7;

// Where csh2.dat lives for a given application folder.
QString settingsPathFor(const QString& appFolder);

// The whole file image of a record; every record is zero-padded to 128 bytes.
QByteArray encodeSettings(const SettingsRecord& settings);

// Reads a file image. A field that lies beyond the end of a short file, a text whose length
// does not fit its record, or a colour in neither text form keeps its default. The five
// counts the settings dialog steps through are brought into the dialog's ranges: speed 80 to
// 280, readings 1 to 5, choices 1 to 5, initial coefficient 1 to 10, repeats 1 to 5. A
// boolean other than 0 reads as -1, as everything that uses it takes it.
SettingsRecord decodeSettings(QByteArrayView bytes);

// Writes the file of defaults.
FileResult csh(const QString& path, const QString& within = {});

// Reads the first 2432 bytes of path; fields that cannot be read keep their defaults.
FileResult readSettingsFile(const QString& path, SettingsRecord& settings,
                            const QString& within = {});

// Writes every record but the typing/choosing mode (record 7), whose bytes stay as the file
// holds them (zero for a new file). The file is replaced as a whole or not at all.
FileResult writeSettingsFile(const QString& path, const SettingsRecord& settings,
                             const QString& within = {});

// "&H" + hex digits (either case) or decimal digits; anything else has no value.
std::optional<quint32> colourFromText(QStringView text);
QString colourToText(quint32 colour);
