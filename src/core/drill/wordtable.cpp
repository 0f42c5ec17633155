#include "drill/wordtable.h"

void WordTable::clear() {
    text_.clear();
    rows_.clear();
}

void WordTable::reserve(qsizetype rows, qsizetype characters) {
    rows_.reserve(size_t(rows));
    text_.reserve(characters);
}

void WordTable::append(QStringView word, QStringView meaning, qint32 unfamiliarity) {
    rows_.push_back(
        {quint32(text_.size()), quint16(word.size()), quint16(meaning.size()), unfamiliarity});
    text_.append(word);
    text_.append(meaning);
}

void WordTable::squeeze() {
    text_.squeeze();
    rows_.shrink_to_fit();
}

QStringView WordTable::word(qint32 number) const {
    const Row& row = rows_[number - 1];
    return QStringView(text_).sliced(row.start, row.wordLength);
}

QStringView WordTable::meaning(qint32 number) const {
    const Row& row = rows_[number - 1];
    return QStringView(text_).sliced(row.start + row.wordLength, row.meaningLength);
}

void WordTable::setEveryUnfamiliarity(qint32 value) {
    for (Row& row : rows_)
        row.unfamiliarity = value;
}
