#pragma once

#include "fileio.h"
#include "lessons/lessonfile.h"

#include <QList>
#include <QSet>

// The new-word notebook: words the learner kept getting wrong during this run, each once,
// word and meaning as the lesson file has them.
class Notebook final {
public:
    static constexpr int Capacity = 100;

    // Adds the word unless it is already there (whatever its meaning) or the notebook is
    // full. True when it was added.
    bool add(const QString& word, const QString& meaning);

    // Writes every entry to path as a lesson file, all at once or not at all; the words of
    // others (another computer's, arrived in a shared data folder) follow them. within: the
    // shared folder path must stay inside (see writeFileAtomically).
    FileResult write(const QString& path, const QList<WordPair>& others = {},
                     const QString& within = {});

    int count() const { return int(entries_.size()); }
    const QList<WordPair>& entries() const { return entries_; }
    // Entries added since the file was last written.
    int unsaved() const { return unsaved_; }

private:
    QList<WordPair> entries_;
    int unsaved_ = 0;
};

// Adds the words of a notebook file to pairs, each word once (a word in words already is passed
// over), up to the file's first blank record, which ends a notebook as it ends its review.
// False when the file cannot be read. within: as for readFileBytes.
bool readNotebookFile(const QString& path, QList<WordPair>& pairs, QSet<QString>& words,
                      const QString& within = {});
