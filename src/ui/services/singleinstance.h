#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class MessageBoxes;

// One program per application folder, so that two never overwrite each other's notebook and
// settings. The first start holds a lock in the folder and listens; a later start asks the
// first to come to the front and ends.
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

    // Says so in a message box when the other program cannot be reached.
    Start claim(MessageBoxes& messages);

    static QString serverName(const QString& appFolder);

signals:
    // Another start in this folder wants this program's window in front.
    void raiseRequested();

private:
    QString folder_;
    QLockFile lock_;
    QLocalServer server_;
};
