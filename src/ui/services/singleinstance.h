#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class MessageBoxes;
class QSocketNotifier;

// One program per application folder, so that two never overwrite each other's notebook and
// settings. The first start holds a lock in the folder and listens on a local socket named
// after the folder; a later start asks the first to come to the front (and to drill the files
// it was given, if any) and ends. The socket is
// a plain one: Qt Network and the dozen libraries it brings would slow every start.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Start {
        First,       // the lock is ours: go on
        Unlocked,    // no lock can be written here (a read-only folder): go on without one
        OtherRaised, // another program runs here and was asked to come forward: end
        OtherSilent, // another program holds the lock but does not answer: told, end
    };

    explicit SingleInstance(const QString& appFolder);
    ~SingleInstance() override;

    // Says so in a message box when the other program cannot be reached. files go to the
    // other program, when there is one.
    Start claim(MessageBoxes& messages, const QStringList& files = {});

signals:
    // Another start in this folder wants this program's window in front.
    void raiseRequested();
    // ... and these files drilled (after raiseRequested).
    void filesRequested(const QStringList& files);

private:
    void listen();
    void acceptAll();

    QString folder_;
    QLockFile lock_;
    int server_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};
