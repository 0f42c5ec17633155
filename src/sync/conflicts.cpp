#include "sync/conflicts.h"

#include <QRegularExpression>

QString conflictOriginal(const QString& fileName) {
    // The name, the mark, and the ending the original had.
    static const QRegularExpression syncthing(
        QStringLiteral("^(.*)\\.sync-conflict-\\d{8}-\\d{6}-[A-Z0-9]{7}(\\.[^.]*)?$"));
    static const QRegularExpression copy(
        QStringLiteral("^(.*?) \\([^()]*conflicted copy[^()]*\\)(\\.[^.]*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    // Nextcloud's desktop client before 3.x: name_conflict-20261208-101500.txt
    static const QRegularExpression nextcloud(
        QStringLiteral("^(.*)_conflict-\\d{8}-\\d{6}(\\.[^.]*)?$"));
    for (const QRegularExpression* pattern : {&syncthing, &copy, &nextcloud}) {
        const QRegularExpressionMatch m = pattern->match(fileName);
        if (m.hasMatch() && !m.captured(1).isEmpty())
            return m.captured(1) + m.captured(2);
    }
    return {};
}

bool isCopyOfOwnFile(const QString& fileName) {
    const QString original = conflictOriginal(fileName);
    return !original.isEmpty() &&
           (original.compare(QStringLiteral("scb.txt"), Qt::CaseInsensitive) == 0 ||
            original.compare(QStringLiteral("csh2.dat"), Qt::CaseInsensitive) == 0 ||
            original.compare(QStringLiteral("vokarin.ini"), Qt::CaseInsensitive) == 0 ||
            original.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive));
}
