#include "lessons/answermatch.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// Notes in any of the usual brackets, half- or full-width (full-width ones are folded first).
const QRegularExpression& notes() {
    static const QRegularExpression pattern(
        QStringLiteral(R"(\([^)]*\)|\[[^\]]*\]|【[^】]*】|〔[^〕]*〕)"));
    return pattern;
}

// Parts of speech as word lists write them, possibly several: "n.", "vt.", "adj./adv.".
const QRegularExpression& partOfSpeech() {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(?:(?:n|v|vt|vi|adj|adv|prep|conj|pron|num|art|int|interj|aux|abbr|)"
                       R"(a|ad|pl|phr)\.\s*(?:[&/]\s*)?)+)"));
    return pattern;
}

} // namespace

QString normalisedAnswer(QStringView text) {
    QString s = text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
    s.remove(notes());
    s = s.simplified();
    s.remove(partOfSpeech());
    return s.simplified();
}

bool forgivingMatch(QStringView typed, QStringView stored) {
    const QString given = normalisedAnswer(typed);
    if (given.isEmpty())
        return false;
    if (given == normalisedAnswer(stored))
        return true;
    // Notes go first: a note may hold a separator of its own.
    static const QRegularExpression separators(QStringLiteral("[；;，,、/]"));
    QString meanings = stored.toString().normalized(QString::NormalizationForm_KC);
    meanings.remove(notes());
    for (const QString& meaning : meanings.split(separators, Qt::SkipEmptyParts))
        if (given == normalisedAnswer(meaning))
            return true;
    return false;
}
