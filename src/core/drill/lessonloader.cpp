#include "drill/lessonloader.h"
#include "lessons/lessonfile.h"
#include "lessons/wordlists.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

// How many lines a text has, a bound on its rows, so that the table is made once. An XML file's
// or a package's lines say nothing of their entries: those tables grow as they are read.
qsizetype rowBound(const QByteArray& bytes, ListFormat format) {
    if (format == ListFormat::Kvtml || format == ListFormat::Package)
        return 0;
    qsizetype lines = 1;
    for (const char *p = bytes.constData(), *end = p + bytes.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))); ++p)
        ++lines;
    return lines;
}

} // namespace

LoadedLesson loadLesson(const QString& path, qint32 unfamiliarity) {
    LoadedLesson loaded;
    QByteArray bytes;
    if (loaded.result = readFileBytes(path, bytes); !loaded.result.ok())
        return loaded;
    if (const ListFormat format = listFormatOf(path, bytes); format != ListFormat::Lesson) {
        // Another program's list: its complete pairs, each checked as it was read, straight
        // into the table, with the file's bytes let go once decoded.
        WordTable& table = loaded.table;
        table.reserve(qMin<qsizetype>(rowBound(bytes, format), MostListPairs), 0);
        ListReading reading;
        loaded.result = readWordList(
            std::move(bytes), format, path,
            [&](QStringView word, QStringView meaning) {
                table.append(word, meaning, unfamiliarity);
            },
            reading);
        loaded.leftOut = leftOutText(reading);
        if (!loaded.result.ok()) {
            table.clear();
            return loaded;
        }
        loaded.lines = table.size();
        if (loaded.lines < 2)
            table.clear();
        return loaded;
    }
    LessonText lesson;
    if (loaded.result = lesson.take(bytes, path); !loaded.result.ok())
        return loaded;
    loaded.lines = lesson.countLines();
    if (loaded.lines > MostListPairs) {
        loaded.result = tooManyPairs(path);
        loaded.lines = 0;
        return loaded;
    }
    if (loaded.lines < 2)
        return loaded;

    WordTable& table = loaded.table;
    table.reserve(qMin(loaded.lines, 1 << 20), lesson.characterBound());
    loaded.result = lesson.readPairs(loaded.lines, [&](QStringView word, QStringView meaning) {
        if (word.isEmpty() || meaning.isEmpty()) {
            loaded.emptyRecord = table.size() + 1;
            return false;
        }
        table.append(word, meaning, unfamiliarity);
        return true;
    });
    table.squeeze();
    return loaded;
}

LoadedLesson loadLessonAside(const QString& path, qint32 unfamiliarity, qint64 asideBytes) {
    struct stat status {};
    const bool large = ::stat(nativePath(path).constData(), &status) == 0 &&
                       S_ISREG(status.st_mode) && status.st_size >= asideBytes;
    if (!large || !QCoreApplication::instance())
        return loadLesson(path, unfamiliarity);

    LoadedLesson loaded;
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(
        QThread::create([&] { loaded = loadLesson(path, unfamiliarity); }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the application is told to quit; the lesson is finished anyway.
    worker->wait();
    return loaded;
}
