#include "drill/notebook.h"

#include <algorithm>

bool Notebook::add(const QString& word, const QString& meaning) {
    if (entries_.size() >= Capacity)
        return false;
    if (std::any_of(entries_.cbegin(), entries_.cend(),
                    [&](const WordPair& entry) { return entry.word == word; }))
        return false;
    entries_.append({word, meaning});
    ++unsaved_;
    return true;
}

FileResult Notebook::write(const QString& path, const QList<WordPair>& others,
                           const QString& within) {
    QList<WordPair> all = entries_;
    for (const WordPair& other : others)
        if (std::none_of(all.cbegin(), all.cend(),
                         [&](const WordPair& pair) { return pair.word == other.word; }))
            all.append(other);
    FileResult result = writepairs(path, all, within);
    if (result.ok())
        unsaved_ = 0;
    return result;
}

bool readNotebookFile(const QString& path, QList<WordPair>& pairs, QSet<QString>& words,
                      const QString& within) {
    LessonText text;
    if (!text.read(path, within).ok())
        return false;
    return text
        .readPairs(text.countLines(),
                   [&](QStringView word, QStringView meaning) {
                       if (word.isEmpty() || meaning.isEmpty())
                           return false;
                       if (!words.contains(word.toString())) {
                           words.insert(word.toString());
                           pairs.append({word.toString(), meaning.toString()});
                       }
                       return true;
                   })
        .ok();
}
