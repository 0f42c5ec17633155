#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class MessageBoxes;
class QSocketNotifier;
class QTimer;

// One program per application folder, so that two never overwrite each other's notebook and
// settings. The first start holds a lock in the folder and listens on a local socket named
// after the folder; a later start asks the first to come to the front (and to drill the files
// it was given, if any) and ends. The socket is a plain one: Qt Network and the dozen
// libraries it brings would slow every start.
//
// Only the learner's own programs talk to each other. The socket lives in $XDG_RUNTIME_DIR
// (a folder only its user can enter) where there is one, otherwise under an abstract name; on
// both, each side asks the kernel who the other is (SO_PEERCRED) and has nothing to do with
// another user's program. A name held by someone else is passed over for the next of a few.
// Nothing a peer sends is waited for: each connection is read as its bytes arrive, within a
// short time, a small size and a small number of connections at once.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Start {
        First,       // the lock is ours: go on
        Unlocked,    // no lock can be had here (a read-only folder, a full disk with a stale
                     // lock, another user's program on the name): go on without one
        OtherRaised, // another program runs here and was asked to come forward: end
        OtherSilent, // another program holds the lock but does not answer: told, end
    };

    // Bounds on what peers may do.
    static constexpr int MostConnections = 4;
    static constexpr qsizetype MostRequestBytes = 256 * 1024;
    static constexpr int RequestDeadlineMs = 2000;
    // How many names are tried when the first ones are held by others.
    static constexpr int Names = 8;

    explicit SingleInstance(const QString& appFolder);
    ~SingleInstance() override;

    // Says so in a message box when the other program cannot be reached. files go to the
    // other program, when there is one.
    Start claim(MessageBoxes& messages, const QStringList& files = {});

    // Open connections being read (for tests).
    int connectionsOpen() const;

signals:
    // Another start in this folder wants this program's window in front.
    void raiseRequested();
    // ... and these files drilled (after raiseRequested).
    void filesRequested(const QStringList& files);

private:
    struct Peer;
    void listen();
    void acceptAll();
    void readFrom(Peer* peer);
    void drop(Peer* peer);

    QString folder_;
    QLockFile lock_;
    int server_ = -1;
    QByteArray boundPath_; // the socket file to remove at the end, when it is one
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<std::unique_ptr<Peer>> peers_;
};
