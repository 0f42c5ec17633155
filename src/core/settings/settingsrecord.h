#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <limits>

// Booleans are kept as 16-bit integers, as they are stored in csh2.dat.
inline constexpr qint16 VbTrue = -1;
inline constexpr qint16 VbFalse = 0;

// The learner's preferences, in the order of their records in csh2.dat.
// Colours are text: "&H" and upper-case hex digits, or decimal digits (0x00BBGGRR).
struct SettingsRecord final {
    qint32 SpeechSpeed = 160;
    qint32 ReadCount = 1;
    qint32 ChoiceCount = 3;
    qint32 InitialUnfamiliarity = 2;
    qint32 WrongRepeatCount = 2;
    qint16 TranslationDirection = VbTrue; // true: English word shown, meaning chosen
    qint16 ChoiceMode = VbTrue;           // true: choose among choices; false: type
    qint16 ListeningMode = VbFalse;
    qint16 ReviewNotebookAtStart = VbTrue;
    qint16 AutoBrowse = VbFalse;
    qint16 AutoBrowseSpeed = 3;
    QString WindowBackColor = QStringLiteral("&H808000");
    QString QuestionColor1 = QStringLiteral("&HFF0000");
    QString QuestionColor2 = QStringLiteral("&HFF00");
    QString QuestionColor3 = QStringLiteral("&HFFFF");
    QString QuestionColor4 = QStringLiteral("&HFF");
    QString HoverColor = QStringLiteral("&HFFFF00");
    QString WrongColor = QStringLiteral("&HFF0000");
    QString AnswerColor = QStringLiteral("&HFF00");

    bool operator==(const SettingsRecord&) const = default;
};

// Milliseconds between auto-browse ticks: AutoBrowseSpeed seconds for every reading of the
// word. Worked out in 64 bits, and never under a second, so that no value in a damaged file
// can make the timer spin.
inline int autoBrowseInterval(const SettingsRecord& settings) {
    const qint64 ms = qint64(settings.AutoBrowseSpeed) * 1000 * settings.ReadCount;
    return int(std::clamp<qint64>(ms, 1000, std::numeric_limits<int>::max()));
}
