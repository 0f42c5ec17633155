#pragma once

#include <QString>
#include <QStringView>

// Typed answers judged as a person would: NFKC (full-width letters and punctuation fold),
// case ignored, blanks at the ends and repeated blanks ignored, a part-of-speech prefix such
// as "n." or "vt." and a bracketed note ignored on both sides. The typed answer may be the
// stored one or any one of its meanings, when the stored answer lists several separated by
// ；;，,、 or /.
bool forgivingMatch(QStringView typed, QStringView stored);

// One side as it is compared.
QString normalisedAnswer(QStringView text);
