#pragma once
// What the readers of the word-list formats share: where their pairs go and how they say why a
// file is refused. Inside the lessons folder only; wordlists.h is the front.
#include "lessons/wordlists.h"

// How many of a list's first rows a preview shows.
inline constexpr qsizetype PreviewRows = 20;
// How many rows left out are named by their line.
inline constexpr qsizetype LinesNamed = 20;

// "“path”what，没有读入任何单词"
FileResult refused(FileError kind, const QString& path, const QString& what);

// A pair the lesson format can hold: no double quote, line end or other control character but
// the tab, no field longer than a word.
bool lessonCanHold(QStringView field);

// Where read pairs go, and what is told of the rest.
struct ListOutput final {
    const PairSink& sink;
    ListReading& reading;
    qint64 pairs = 0;
    qint64 passOver = 0; // pairs an earlier reading of the same file handed on already

    void leaveOut(qint32 line) {
        ++reading.unreadable;
        if (reading.unreadableLines.size() < LinesNamed)
            reading.unreadableLines << line;
    }

    // Hands a pair on, or leaves its row out; refuses the file, at once, past the most pairs
    // a list may have.
    FileResult put(QStringView word, QStringView meaning, qint32 line, const QString& path) {
        return putAt(
            word, meaning, [line] { return line; }, path);
    }
    // The same, with the row's line asked for only when it is left out.
    template <class Line>
    FileResult putAt(QStringView word, QStringView meaning, const Line& line, const QString& path) {
        if (word.isEmpty() || meaning.isEmpty()) {
            ++reading.incomplete;
            return FileResult::success();
        }
        if (!lessonCanHold(word) || !lessonCanHold(meaning)) {
            leaveOut(line());
            return FileResult::success();
        }
        if (++pairs > MostListPairs)
            return tooManyPairs(path);
        if (pairs > passOver)
            sink(word, meaning);
        return FileResult::success();
    }

    // Reads the file again from its start: what was found is forgotten, and the pairs handed
    // on already are not handed on again.
    void readAgain() {
        passOver = qMax(passOver, pairs);
        pairs = 0;
        const ListFormat format = reading.format;
        reading = {};
        reading.format = format;
    }
};

// KVTML 2: the quick reader of the usual files, with Qt's XML reader for whatever it is not sure
// of (other encodings, DTDs with declarations, anything malformed), which then reads the whole
// file and says what is wrong with it.
FileResult readKvtml(const QByteArray& bytes, const QString& path, const ListRequest& request,
                     ListOutput& out);
// The quick reader alone: nothing when it is not sure of the file, and then some pairs may have
// been handed on already.
std::optional<FileResult> readKvtmlQuickly(const QByteArray& bytes, const QString& path,
                                           const ListRequest& request, ListOutput& out);
// Qt's XML reader alone: what the quick reader must agree with.
FileResult readKvtmlGenerally(const QByteArray& bytes, const QString& path,
                              const ListRequest& request, ListOutput& out);
QByteArray kvtmlBytes(const QList<WordPair>& pairs, const QString& title);
