#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// The end of the learner's desktop session, whichever way it comes: SIGTERM, SIGHUP or SIGINT
// (a logout, a shutdown, Ctrl+C in a terminal) or the session manager asking for the data to be
// kept. Each is turned into one signal on the event loop, so that the program can close as its
// close box closes it. The signal handler only writes a byte into a pipe.
class SessionEnd final : public QObject {
    Q_OBJECT

public:
    SessionEnd();
    ~SessionEnd() override;

    // True once an end was asked for.
    bool requested() const { return requested_; }

signals:
    void endRequested();

private:
    void pipeReadable();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    bool requested_ = false;
};
