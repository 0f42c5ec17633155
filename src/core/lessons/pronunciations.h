#pragma once

#include "lessons/wordlists.h"

#include <QHash>

// A lesson's pronunciations, kept beside it: the lesson format has no room for them, so a lesson
// made from a list that had them keeps them in ".pronunciations/<lesson's name>.tsv" in the
// lesson's folder, a line "word<TAB>/ɡrɪt/" each, UTF-8. The folder is hidden: it is no lesson.

// Where the pronunciations of the lesson at lessonPath are kept.
QString pronunciationsPathOf(const QString& lessonPath);

// The file beside a lesson is read up to this size; what lies beyond is not used.
inline constexpr qint64 LargestPronunciationsBytes = 8 << 20;

// Hands on each pronunciation kept beside the lesson; nothing when there is no such file. The
// file is used only when it is a regular file in the lesson's folder, never through a link.
void readPronunciations(const QString& lessonPath, const PronunciationSink& pronounced);

// Keeps pronunciations (word → as shown) beside the lesson, replacing what was kept; with none,
// what was kept is removed.
FileResult writePronunciations(const QString& lessonPath,
                               const QHash<QString, QString>& pronunciations);
