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
// does not fit its record, or a colour in neither text form keeps its default. The number of
// choices is kept within 1 to 5, the initial coefficient at 1 or more and the wrong-word
// repeats at 0 or more.
SettingsRecord decodeSettings(QByteArrayView bytes);

// Writes the file of defaults.
FileResult csh(const QString& path);

// Reads path; fields that cannot be read keep their defaults.
FileResult readSettingsFile(const QString& path, SettingsRecord& settings);

// Writes every record but the typing/choosing mode (record 7), whose bytes stay as the file
// holds them (zero for a new file). The file is replaced as a whole or not at all.
FileResult writeSettingsFile(const QString& path, const SettingsRecord& settings);

// "&H" + hex digits (either case) or decimal digits; anything else has no value.
std::optional<quint32> colourFromText(QStringView text);
QString colourToText(quint32 colour);
