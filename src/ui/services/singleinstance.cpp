#include "services/singleinstance.h"

#include "services/messageboxes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace {

constexpr int AnswerWaitMs = 2000;

} // namespace

SingleInstance::SingleInstance(const QString& appFolder)
    : folder_(QDir(appFolder).absolutePath())
    , lock_(QDir(appFolder).filePath(QStringLiteral("vokarin.lock"))) {
    // The lock lasts as long as the program; only a dead owner makes it stale.
    lock_.setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            emit raiseRequested();
        }
    });
}

QString SingleInstance::serverName(const QString& appFolder) {
    const QByteArray folder = QDir(appFolder).canonicalPath().toUtf8();
    return QStringLiteral("vokarin-") +
           QString::fromLatin1(
               QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
}

SingleInstance::Start SingleInstance::claim(MessageBoxes& messages) {
    const QString name = serverName(folder_);
    if (lock_.tryLock(0)) {
        // A server left behind by a crash would stop listen().
        QLocalServer::removeServer(name);
        server_.listen(name);
        return Start::First;
    }
    if (lock_.error() != QLockFile::LockFailedError)
        return Start::Unlocked;

    QLocalSocket other;
    other.connectToServer(name);
    if (other.waitForConnected(AnswerWaitMs)) {
        other.write("raise\n");
        other.waitForBytesWritten(AnswerWaitMs);
        other.disconnectFromServer();
        return Start::OtherRaised;
    }
    messages.ok(QStringLiteral("Vokarin 已经在这个文件夹里运行了（%1），不能再打开一个。")
                    .arg(QDir::toNativeSeparators(folder_)));
    return Start::OtherSilent;
}
