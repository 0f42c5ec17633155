#include "drill/lessonloader.h"
#include "aside.h"
#include "lessons/flashcardpackage.h"
#include "lessons/wordfile.h"

#include <QCoreApplication>
#include <memory>
#include <sys/stat.h>

LoadedLesson loadLesson(const QString& path, qint32 unfamiliarity, const QString& recordingFolder) {
    LoadedLesson loaded;
    QByteArray bytes;
    if (loaded.result = readFileBytes(path, bytes); !loaded.result.ok())
        return loaded;
    // The pairs go straight into the table, with the file's bytes let go once decoded.
    WordTable& table = loaded.table;
    WordFileRules rules;
    rules.extras.pronounced = [&](QStringView word, const QString& pronunciation) {
        loaded.pronunciations.insert(word.toString(), pronunciation);
    };
    rules.extras.recordingFolder = recordingFolder;
    rules.extras.recorded = [&](QStringView word, const QString& file) {
        loaded.recordings.insert(word.toString(), file);
    };
    const WordFileReading read = readWordFile(
        std::move(bytes), path,
        [&](QStringView word, QStringView meaning) { table.append(word, meaning, unfamiliarity); },
        rules, [&](qsizetype pairs, qsizetype characters) { table.reserve(pairs, characters); });
    loaded.result = read.result;
    loaded.emptyRecord = read.emptyRecord;
    loaded.leftOut = read.leftOut();
    // A list's lines are its pairs; fewer than two are no lesson.
    loaded.lines = read.list.format == ListFormat::Lesson ? read.lines : table.size();
    if (!loaded.result.ok() || (read.list.format != ListFormat::Lesson && loaded.lines < 2)) {
        table.clear();
        loaded.pronunciations.clear();
        loaded.recordings.clear();
    }
    table.squeeze();
    return loaded;
}

LoadedLesson loadLessonAside(const QString& path, qint32 unfamiliarity, qint64 asideBytes,
                             const QString& recordingFolder) {
    struct stat status {};
    const bool large = ::stat(nativePath(path).constData(), &status) == 0 &&
                       S_ISREG(status.st_mode) && status.st_size >= asideBytes;
    if (!large || !QCoreApplication::instance())
        return loadLesson(path, unfamiliarity, recordingFolder);

    LoadedLesson loaded;
    // A package's read, which may take long, is ended when the program is told to quit.
    runAside([&] { loaded = loadLesson(path, unfamiliarity, recordingFolder); },
             [] { stopPackageReads(); });
    return loaded;
}
