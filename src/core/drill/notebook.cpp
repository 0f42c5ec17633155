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

FileResult Notebook::write(const QString& path, const QList<WordPair>& others) {
    QList<WordPair> all = entries_;
    for (const WordPair& other : others)
        if (std::none_of(all.cbegin(), all.cend(),
                         [&](const WordPair& pair) { return pair.word == other.word; }))
            all.append(other);
    FileResult result = writepairs(path, all);
    if (result.ok())
        unsaved_ = 0;
    return result;
}
