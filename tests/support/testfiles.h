#pragma once

#include "lessons/lessonfile.h"
#include "lessons/wordlists.h"
#include "module1.h"
#include "settings/settingsrecord.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>

using Pairs = QList<WordPair>;

// The default settings with one change made.
inline SettingsRecord settingsWith(const std::function<void(SettingsRecord&)>& change) {
    SettingsRecord s;
    change(s);
    return s;
}

// size random bytes, the same for the same seed.
inline QByteArray garbage(int size, quint32 seed) {
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(seed);
    for (char& b : bytes)
        b = char(generator.bounded(256));
    return bytes;
}

// Writes bytes to name inside dir and returns the full path.
inline QString putFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file %s", qPrintable(path));
    return path;
}

// Writes a lesson file into the lesson folder of module and returns its path.
inline QString writeLesson(const Module1& module, const QString& name, const Pairs& pairs) {
    QDir().mkpath(module.lessonFolder());
    QString path = QDir(module.lessonFolder()).filePath(name);
    if (!writepairs(path, pairs).ok())
        qFatal("cannot write lesson %s", qPrintable(path));
    return path;
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

// While it lives, no file this process writes can grow beyond bytes: a write past the cap
// fails (EFBIG) as on a full disk, for root too. The cap is lifted again at the end.
class FileSizeCap final {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = saved_;
        capped.rlim_cur = bytes;
        if (setrlimit(RLIMIT_FSIZE, &capped) != 0)
            qFatal("cannot cap the file size");
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

// Two-word first files in every format a start may be given, as test rows (name, bytes).
inline void addStartFileRows() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lesson") << "first.txt" << QByteArray("\"a\",\"b\"\r\n\"c\",\"d\"\r\n");
    QTest::newRow("csv") << "first.csv" << QByteArray("English,Chinese\na,甲\nc,丙\n");
    QTest::newRow("flash-card") << "first.txt"
                                << QByteArray("#separator:tab\n#html:true\n<b>a</b>\t甲\nc\t丙\n");
    QTest::newRow("kvtml") << "first.kvtml"
                           << wordListBytes({{"a", "甲"}, {"c", "丙"}}, ListFormat::Kvtml, "first");
}
