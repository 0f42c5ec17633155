#pragma once

// How large a merge's slices are. A merge goes in slices, each in a transaction of its own, so
// that the run's own answers go in between, a read waits for one slice at most and so does a
// closing program. (Each slice writes again every page of the indexes it touched: slices much
// smaller make a large merge several times slower.) Tests make them small, to see many.

#include <QtGlobal>

struct MergeSlices final {
    // At most about this many records read, or this long, in a slice.
    qint64 records = 20000;
    int ms = 200;
    // Once every log is read, the words they touched are worked out, reading about this many
    // answers in a slice.
    qint64 answers = 100000;
    // A log is read this many bytes at a time, whatever its size.
    qint64 pieceBytes = 512 * 1024;
};
