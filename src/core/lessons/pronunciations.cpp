#include "lessons/pronunciations.h"
#include "lessons/listreaders.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

const QString FolderName = QStringLiteral(".pronunciations");

} // namespace

QString pronunciationsPathOf(const QString& lessonPath) {
    const QFileInfo lesson(lessonPath);
    return lesson.dir().filePath(FolderName + u'/' + lesson.fileName() + QStringLiteral(".tsv"));
}

void readPronunciations(const QString& lessonPath, const PronunciationSink& pronounced) {
    const QString path = pronunciationsPathOf(lessonPath);
    QByteArray bytes;
    if (!QFileInfo::exists(path) ||
        !readFileHead(path, bytes, LargestPronunciationsBytes, QFileInfo(lessonPath).path()).ok())
        return;
    const QString text = QString::fromUtf8(bytes);
    bytes = {};
    Lines lines{text};
    for (QStringView line; lines.next(line);) {
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0)
            continue;
        const QStringView word = line.first(tab);
        if (sideFault(word) != SideFault::None)
            continue;
        if (const QString shown = shownPronunciation(line.sliced(tab + 1)); !shown.isEmpty())
            pronounced(word, shown);
    }
}

FileResult writePronunciations(const QString& lessonPath,
                               const QHash<QString, QString>& pronunciations) {
    const QString path = pronunciationsPathOf(lessonPath);
    if (pronunciations.isEmpty()) {
        if (QFileInfo(path).isFile() && !QFile::remove(path))
            return {FileError::WriteFailed, QStringLiteral("“%1”没能删除").arg(displayPath(path))};
        return FileResult::success();
    }
    QStringList words = pronunciations.keys();
    std::sort(words.begin(), words.end());
    QString text;
    for (const QString& word : std::as_const(words))
        if (!word.contains(u'\t') && !word.contains(u'\n'))
            text += word + u'\t' + pronunciations.value(word) + u'\n';
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return {FileError::CannotOpen, QStringLiteral("“%1”没能建立").arg(displayPath(folder))};
    return writeFileAtomically(path, text.toUtf8(), QFileInfo(lessonPath).path());
}
