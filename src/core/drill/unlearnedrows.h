#pragma once

#include <QtGlobal>
#include <vector>

// The rows of a lesson not yet learned, in lesson order, counted in a Fenwick tree: finding the
// k-th of them and taking one out both cost O(log n), whatever the lesson's size, with four
// bytes a row. Rows are numbered from 1.
class UnlearnedRows final {
public:
    // Every row from 1 to rows, none learned.
    void reset(qint32 rows);
    qint32 size() const { return size_; }
    // The number of the index-th row still to learn, counting from 0.
    qint32 at(qint32 index) const;
    // Takes the row out; a row already out stays out.
    void remove(qint32 number);

private:
    qint32 countUpTo(qint32 number) const;

    std::vector<qint32> tree_; // tree_[i - 1] counts the rows in (i - lowbit(i), i]
    qint32 size_ = 0;
};
