#pragma once

#include "sync/answerlog.h"

#include <QFile>

// A computer's log of count answers on 20,000 words ("word17" / "意思17"), from first on,
// step ms apart; seed varies the words and which answers are wrong.
inline QByteArray deviceLog(const QString& device, int count, qint64 first, qint64 step, int seed) {
    QByteArray log = logHeader(device);
    log.reserve(qsizetype(count) * 80);
    for (int i = 0; i < count; ++i) {
        const int word = (i * 7919 + seed) % 20000;
        log += logLine(AnswerRecord{first + i * step,
                                    QStringLiteral("unit.txt"),
                                    QStringLiteral("word%1").arg(word),
                                    QStringLiteral("意思%1").arg(word),
                                    false,
                                    {(i + seed) % 4 != 0, false, 1800, AnswerMode::Choice}});
    }
    return log;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
