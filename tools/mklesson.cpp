// Turns a UTF-8 list of "word<TAB>meaning" lines into a GBK lesson file.
// Blank lines and lines starting with '#' are skipped.
#include "lessons/lessonfile.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: mklesson INPUT.tsv OUTPUT.txt\n");
        return 2;
    }
    QFile input(args[1]);
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), qPrintable(input.errorString()));
        return 1;
    }
    QList<WordPair> pairs;
    int lineNumber = 0;
    for (const QByteArray& raw : input.readAll().split('\n')) {
        ++lineNumber;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u'\t', Qt::SkipEmptyParts);
        if (fields.size() != 2 || line.contains(u'"')) {
            std::fprintf(stderr, "%s:%d: expected word<TAB>meaning\n", qPrintable(args[1]),
                         lineNumber);
            return 1;
        }
        pairs.append({fields[0].trimmed(), fields[1].trimmed()});
    }
    const FileResult result = writepairs(args[2], pairs);
    if (!result.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(result.description));
        return 1;
    }
    return 0;
}
