#pragma once

#include "lessons/lessonfile.h"

#include <functional>

// The word lists of other programs, read beside Vokarin's own lesson files and written on
// request. Pairs are always the first two columns (or translations): the word, then its meaning.
enum class ListFormat {
    Lesson,    // Vokarin's own: "word","meaning" per line, GBK
    Delimited, // a spreadsheet's CSV or TSV: comma, semicolon or tab, quoted as RFC 4180
    FlashCard, // the plain-text export of the big flash-card programs: #separator:, #html: ...
    Kvtml,     // KVTML 2, the XML vocabulary files of the KDE trainers
};

// What a file holds: by its start first (XML, flash-card header lines), then by its name's
// ending (.kvtml, .csv, .tsv). Everything else is a lesson file, read as it always was.
ListFormat listFormatOf(const QString& path, const QByteArray& bytes);

struct WordList final {
    QList<WordPair> pairs;
    qint32 incomplete = 0; // rows or entries without a word or a meaning, left out
};

// No list of words comes near this many pairs; a file with more is refused as soon as it
// shows, before its pairs take the memory.
inline constexpr qint64 MostListPairs = 2'000'000;

// The refusal of a file with more than MostListPairs pairs, lesson files included.
FileResult tooManyPairs(const QString& path);

// Receives the pairs of a list as they are read.
using PairSink = std::function<void(QStringView word, QStringView meaning)>;

// Reads a list in one of the other programs' formats (not ListFormat::Lesson), in any encoding
// a lesson may have. Bad input loads nothing: the message names the file and the line (or the
// KVTML element). So does a pair the lesson format cannot hold (a double quote, CR or LF in a
// field) or a field longer than any word.
FileResult readWordList(const QByteArray& bytes, ListFormat format, const QString& path,
                        WordList& list);

// The same, each pair handed to sink as it is read, so that a long list is held only where it
// goes. On a failure some pairs may have been handed over already: the caller drops them.
// bytes are let go once decoded. incomplete counts the rows left out.
FileResult readWordList(QByteArray bytes, ListFormat format, const QString& path,
                        const PairSink& sink, qint32& incomplete);

// The pairs in a format: TSV (UTF-8) for ListFormat::Delimited, the flash-card text with its
// header lines, KVTML 2 titled title, or the lesson format.
QByteArray wordListBytes(const QList<WordPair>& pairs, ListFormat format, const QString& title);

// The first pair (counted from 0) holding a character XML cannot carry (control characters,
// U+FFFE, U+FFFF), which KVTML therefore cannot hold either; -1 when there is none.
qsizetype firstPairOutsideXml(const QList<WordPair>& pairs);

// Replaces path with the pairs in format, all at once, or leaves the old file untouched. KVTML
// is not written when a pair holds what it cannot carry.
FileResult writeWordList(const QString& path, const QList<WordPair>& pairs, ListFormat format);
