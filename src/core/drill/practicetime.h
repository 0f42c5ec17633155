#pragma once

#include <QTime>

// Whole minutes practised from start to end, leftover seconds dropped: the minutes and hours
// of the end borrow when its seconds or minutes are the smaller. A practice that runs past
// midnight counts on into the next day rather than going negative.
inline int practiceMinutes(const QTime& start, const QTime& end) {
    if (!start.isValid() || !end.isValid())
        return 0;
    int hE = end.hour(), mE = end.minute();
    if (end.second() < start.second())
        mE -= 1;
    if (mE < start.minute()) {
        mE += 60;
        hE -= 1;
    }
    const int minutes = 60 * (hE - start.hour()) + (mE - start.minute());
    return minutes < 0 ? minutes + 24 * 60 : minutes;
}
