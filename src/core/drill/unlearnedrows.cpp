#include "drill/unlearnedrows.h"

namespace {

qint32 lowBit(qint32 i) {
    return i & -i;
}

} // namespace

void UnlearnedRows::reset(qint32 rows) {
    size_ = qMax(0, rows);
    tree_.resize(size_t(size_));
    tree_.shrink_to_fit();
    for (qint32 i = 1; i <= size_; ++i)
        tree_[size_t(i - 1)] = lowBit(i);
}

qint32 UnlearnedRows::countUpTo(qint32 number) const {
    qint32 count = 0;
    for (qint32 i = number; i > 0; i -= lowBit(i))
        count += tree_[size_t(i - 1)];
    return count;
}

qint32 UnlearnedRows::at(qint32 index) const {
    const qint32 rows = qint32(tree_.size());
    qint32 step = 1;
    while (step * 2 <= rows)
        step *= 2;
    // The last place whose count stays at or below index; the row wanted is the next.
    qint32 place = 0, wanted = index + 1;
    for (; step > 0; step /= 2) {
        const qint32 next = place + step;
        if (next <= rows && tree_[size_t(next - 1)] < wanted) {
            place = next;
            wanted -= tree_[size_t(next - 1)];
        }
    }
    return place + 1;
}

void UnlearnedRows::remove(qint32 number) {
    const qint32 rows = qint32(tree_.size());
    if (number < 1 || number > rows || countUpTo(number) == countUpTo(number - 1))
        return;
    for (qint32 i = number; i <= rows; i += lowBit(i))
        --tree_[size_t(i - 1)];
    --size_;
}
