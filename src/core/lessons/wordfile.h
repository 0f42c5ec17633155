#pragma once

#include "lessons/wordlists.h"

// The one way into a word file, whatever its format: Vokarin's own lesson file or another
// program's list. The drill and the word-file editor both read through here; where they want
// different things, they say so in the rules.

// How a caller wants a word file read.
struct WordFileRules final {
    // A lesson file's record with an empty word or meaning: the drill cannot ask it, so reading
    // stops there and says which it was; the editor takes it like any other, to be put right.
    bool stopAtEmptyRecord = true;
    // Pairs past this many are not handed on (the editor's list holds no more).
    qint64 mostPairs = MostListPairs;
    // The learner's corrections of a list's guessed columns and encoding (the import preview).
    ListRequest request;
    // Where the words' pronunciations go (a list's own, or those kept beside a lesson), and a
    // package's recordings.
    WordExtras extras;
};

// What reading found and decided.
struct WordFileReading final {
    FileResult result;
    // The format (ListFormat::Lesson for Vokarin's own), the encoding taken, a list's columns
    // and first rows, and the rows left out.
    ListReading list;
    // A lesson file's lines as counted (nothing is read below two); a list's pairs handed on.
    qint32 lines = 0;
    // The record with an empty field that stopped reading, from 1, or 0.
    qint32 emptyRecord = 0;

    // "另有 M 行没有读入…" for the learner, or nothing.
    QString leftOut() const { return leftOutText(list); }
};

// Told how many pairs and characters at most to expect, before the first pair, when that is
// known (a lesson file's lines, a list's lines), so that what holds them is made once.
using PairBound = std::function<void(qsizetype pairs, qsizetype characters)>;

// Reads a file's bytes (path names it in messages and its ending helps tell the format),
// handing each pair to sink as it is read. A failure may come after some pairs were handed
// on: the caller drops them. bytes are let go once decoded.
WordFileReading readWordFile(QByteArray bytes, const QString& path, const PairSink& sink,
                             const WordFileRules& rules = {}, const PairBound& bound = {});

// The same into a list of pairs, which is empty when reading failed.
WordFileReading readWordFile(const QByteArray& bytes, const QString& path, QList<WordPair>& pairs,
                             const WordFileRules& rules = {});
