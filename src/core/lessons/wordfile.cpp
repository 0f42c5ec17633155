#include "lessons/wordfile.h"
#include "lessons/pronunciations.h"

#include <cstring>

namespace {

// How many lines a text has: a bound on its rows. An XML file's or a package's lines say
// nothing of their entries.
qsizetype lineBound(const QByteArray& bytes, ListFormat format) {
    if (format == ListFormat::Kvtml || format == ListFormat::Package ||
        format == ListFormat::Spreadsheet || format == ListFormat::YoudaoBook)
        return 0;
    qsizetype lines = 1;
    for (const char *p = bytes.constData(), *end = p + bytes.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))); ++p)
        ++lines;
    return lines;
}

// Why a file read as a lesson gave fewer than two lines, where its bytes show it: lines ended
// the Unix way, or lines of no list Vokarin knows.
QString lessonShapeWhy(const QByteArray& bytes) {
    const QByteArrayView text = QByteArrayView(bytes).trimmed();
    if (text.isEmpty())
        return {};
    const qsizetype lineEnd = text.indexOf('\n');
    if (lineEnd > 0 && !text.contains('\r') && text.first(lineEnd).contains(','))
        return QStringLiteral("它的行尾只有 LF（换行），课文文件的每行以 CR LF（回车换行）结尾");
    const QByteArrayView first = lineEnd > 0 ? text.first(lineEnd) : text;
    if (!first.contains(','))
        return QStringLiteral("看不出是哪种单词表：课文文件每行是 \"单词\",\"汉语\"，"
                              "其他程序的单词表也认不出来");
    return {};
}

WordFileReading readLesson(const QByteArray& bytes, const QString& path, const PairSink& sink,
                           const WordFileRules& rules, const PairBound& bound) {
    WordFileReading read;
    read.list.format = ListFormat::Lesson;
    LessonText lesson;
    if (read.result = lesson.take(bytes, path); !read.result.ok())
        return read;
    read.list.encoding = lesson.encoding();
    read.lines = lesson.countLines();
    if (read.lines > MostListPairs) {
        read.result = tooManyPairs(path);
        read.lines = 0;
        return read;
    }
    if (read.lines < 2) {
        read.list.why = lessonShapeWhy(bytes);
        return read;
    }
    const qint32 records = qint32(qMin<qint64>(read.lines, rules.mostPairs));
    if (bound)
        bound(qMin(records, 1 << 20), lesson.characterBound());
    qint32 handed = 0;
    read.result = lesson.readPairs(records, [&](QStringView word, QStringView meaning) {
        if (rules.stopAtEmptyRecord && (word.isEmpty() || meaning.isEmpty())) {
            read.emptyRecord = handed + 1;
            return false;
        }
        ++handed;
        sink(word, meaning);
        return true;
    });
    return read;
}

} // namespace

WordFileReading readWordFile(QByteArray bytes, const QString& path, const PairSink& sink,
                             const WordFileRules& rules, const PairBound& bound) {
    const ListFormat format = listFormatOf(path, bytes);
    if (format == ListFormat::Lesson) {
        WordFileReading read = readLesson(bytes, path, sink, rules, bound);
        if (read.result.ok() && rules.extras.pronounced)
            readPronunciations(path, rules.extras.pronounced);
        return read;
    }

    WordFileReading read;
    if (bound)
        bound(qMin<qsizetype>(lineBound(bytes, format), qMin(MostListPairs, rules.mostPairs)), 0);
    qint64 handed = 0;
    read.result = readWordList(
        std::move(bytes), format, path,
        [&](QStringView word, QStringView meaning) {
            if (handed++ < rules.mostPairs)
                sink(word, meaning);
        },
        read.list, rules.request, rules.extras);
    read.lines = read.result.ok() ? qint32(qMin(handed, rules.mostPairs)) : 0;
    return read;
}

WordFileReading readWordFile(const QByteArray& bytes, const QString& path, QList<WordPair>& pairs,
                             const WordFileRules& rules) {
    pairs.clear();
    WordFileReading read = readWordFile(
        bytes, path,
        [&pairs](QStringView word, QStringView meaning) {
            pairs.append({word.toString(), meaning.toString()});
        },
        rules, [&pairs](qsizetype bound, qsizetype) { pairs.reserve(bound); });
    if (!read.result.ok())
        pairs.clear();
    return read;
}
