#include "settings/settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr qsizetype recordOffset(int record) {
    return (record - 1) * SettingsRecordLength;
}
constexpr qsizetype MaxTextLength = SettingsRecordLength - 2;

struct IntField {
    int record;
    qint32 SettingsRecord::*member;
};
struct ShortField {
    int record;
    qint16 SettingsRecord::*member;
};
struct TextField {
    int record;
    QString SettingsRecord::*member;
};

constexpr IntField IntFields[] = {
    {1, &SettingsRecord::SpeechSpeed},      {2, &SettingsRecord::ReadCount},
    {3, &SettingsRecord::ChoiceCount},      {4, &SettingsRecord::InitialUnfamiliarity},
    {5, &SettingsRecord::WrongRepeatCount},
};
constexpr ShortField ShortFields[] = {
    {6, &SettingsRecord::TranslationDirection}, {ChoiceModeRecord, &SettingsRecord::ChoiceMode},
    {8, &SettingsRecord::ListeningMode},        {9, &SettingsRecord::ReviewNotebookAtStart},
    {10, &SettingsRecord::AutoBrowse},          {11, &SettingsRecord::AutoBrowseSpeed},
};
constexpr TextField ColourFields[] = {
    {12, &SettingsRecord::WindowBackColor}, {13, &SettingsRecord::QuestionColor1},
    {14, &SettingsRecord::QuestionColor2},  {15, &SettingsRecord::QuestionColor3},
    {16, &SettingsRecord::QuestionColor4},  {17, &SettingsRecord::HoverColor},
    {18, &SettingsRecord::WrongColor},      {19, &SettingsRecord::AnswerColor},
};

// What the settings dialog's steppers can reach.
struct SteppedRange {
    qint32 SettingsRecord::*member;
    qint32 lowest, highest;
};
constexpr SteppedRange SteppedRanges[] = {
    {&SettingsRecord::SpeechSpeed, 80, 280},   {&SettingsRecord::ReadCount, 1, 5},
    {&SettingsRecord::ChoiceCount, 1, 5},      {&SettingsRecord::InitialUnfamiliarity, 1, 10},
    {&SettingsRecord::WrongRepeatCount, 1, 5},
};

template <typename T> void put(QByteArray& image, qsizetype offset, T value) {
    qToLittleEndian(value, image.data() + offset);
}

template <typename T> bool get(QByteArrayView bytes, qsizetype offset, T& value) {
    if (offset + qsizetype(sizeof(T)) > bytes.size())
        return false;
    value = qFromLittleEndian<T>(bytes.data() + offset);
    return true;
}

std::optional<quint32> parseDigits(QStringView digits, int base) {
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : digits) {
        const int digit = c.isDigit() && c.unicode() < 0x80 ? c.unicode() - '0'
                          : base == 16 && c.toUpper() >= u'A' && c.toUpper() <= u'F'
                              ? c.toUpper().unicode() - 'A' + 10
                              : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return quint32(value);
}

} // namespace

QString settingsPathFor(const QString& appFolder) {
    return QDir(appFolder).filePath(QStringLiteral("csh2.dat"));
}

QByteArray encodeSettings(const SettingsRecord& settings) {
    QByteArray image(SettingsFileLength, '\0');
    for (const auto& f : IntFields)
        put<qint32>(image, recordOffset(f.record), settings.*f.member);
    for (const auto& f : ShortFields)
        put<qint16>(image, recordOffset(f.record), settings.*f.member);
    for (const auto& f : ColourFields) {
        const QByteArray text = (settings.*f.member).toLatin1().left(MaxTextLength);
        const qsizetype offset = recordOffset(f.record);
        put<quint16>(image, offset, quint16(text.size()));
        image.replace(offset + 2, text.size(), text);
    }
    return image;
}

SettingsRecord decodeSettings(QByteArrayView bytes) {
    SettingsRecord settings;
    for (const auto& f : IntFields)
        get<qint32>(bytes, recordOffset(f.record), settings.*f.member);
    for (const auto& f : ShortFields)
        get<qint16>(bytes, recordOffset(f.record), settings.*f.member);
    for (const auto& f : ColourFields) {
        const qsizetype offset = recordOffset(f.record);
        quint16 length = 0;
        if (!get<quint16>(bytes, offset, length) || length > MaxTextLength ||
            offset + 2 + length > bytes.size())
            continue;
        const QString text = QString::fromLatin1(bytes.sliced(offset + 2, length));
        if (colourFromText(text))
            settings.*f.member = text;
    }
    // The counts the dialog steps through are brought into the range its steppers allow, to
    // the nearer end; a value inside stays as stored. A damaged file can then neither start a
    // lesson that never ends nor a word that can never be learned.
    // A boolean holds -1 or 0. Anything else counts as true wherever it is read, so it is
    // made -1, and the settings dialog shows what the drill does.
    for (const auto& f : ShortFields)
        if (f.member != &SettingsRecord::AutoBrowseSpeed && settings.*f.member != VbFalse)
            settings.*f.member = VbTrue;
    for (const auto& range : SteppedRanges)
        settings.*range.member = std::clamp(settings.*range.member, range.lowest, range.highest);
    return settings;
}

FileResult csh(const QString& path, const QString& within) {
    return writeFileAtomically(path, encodeSettings({}), within);
}

FileResult readSettingsFile(const QString& path, SettingsRecord& settings, const QString& within) {
    QByteArray bytes;
    FileResult result = readFileHead(path, bytes, SettingsFileLength, within);
    settings = decodeSettings(bytes);
    return result;
}

FileResult writeSettingsFile(const QString& path, const SettingsRecord& settings,
                             const QString& within) {
    QByteArray existing;
    if (QFileInfo::exists(path))
        (void)readFileHead(path, existing, SettingsFileLength, within);
    QByteArray image = encodeSettings(settings);
    const qsizetype offset = recordOffset(ChoiceModeRecord);
    QByteArray kept = existing.mid(offset, SettingsRecordLength);
    kept.resize(SettingsRecordLength, '\0');
    image.replace(offset, SettingsRecordLength, kept);
    return writeFileAtomically(path, image, within);
}

std::optional<quint32> colourFromText(QStringView text) {
    if (text.size() >= 2 && text[0] == u'&' && (text[1] == u'H' || text[1] == u'h'))
        return parseDigits(text.sliced(2), 16);
    return parseDigits(text, 10);
}

QString colourToText(quint32 colour) {
    return QString::number(colour);
}
