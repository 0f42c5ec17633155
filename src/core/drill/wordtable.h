#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// The lines of a lesson in one block of text: each row is where its word and meaning stand in
// that text and the row's coefficient, twelve bytes beside the characters themselves. Rows
// are numbered from 1.
class WordTable final {
public:
    void clear();
    void reserve(qsizetype rows, qsizetype characters);
    // Fields are at most LongestField characters, as the lesson reader lets through.
    void append(QStringView word, QStringView meaning, qint32 unfamiliarity);
    // Gives back what growing left over, once the last row is in.
    void squeeze();

    qint32 size() const { return qint32(rows_.size()); }
    QStringView word(qint32 number) const;
    QStringView meaning(qint32 number) const;
    qint32 unfamiliarity(qint32 number) const { return rows_[number - 1].unfamiliarity; }
    void setUnfamiliarity(qint32 number, qint32 value) { rows_[number - 1].unfamiliarity = value; }
    void setEveryUnfamiliarity(qint32 value);

private:
    struct Row {
        quint32 start; // of the word; the meaning follows it
        quint16 wordLength;
        quint16 meaningLength;
        qint32 unfamiliarity;
    };
    QString text_;
    std::vector<Row> rows_;
};
