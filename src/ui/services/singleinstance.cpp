#include "services/singleinstance.h"

#include "services/messageboxes.h"

#include "fileio.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSocketNotifier>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An abstract socket (Linux): nothing on disk to clean up after a crash, gone with its owner.
sockaddr_un addressFor(const QString& folder, socklen_t& length) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir(folder).canonicalPath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QByteArray name = "vokarin-" + hash;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    return address;
}

// Far more than any list of file names on a command line.
constexpr qsizetype MostRequestBytes = 1 << 20;

} // namespace

SingleInstance::SingleInstance(const QString& appFolder)
    : folder_(QDir(appFolder).absolutePath())
    , lock_(QDir(appFolder).filePath(QStringLiteral("vokarin.lock"))) {
    // The lock lasts as long as the program; only a dead owner makes it stale.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    notifier_.reset();
    if (server_ >= 0)
        ::close(server_);
}

void SingleInstance::listen() {
    socklen_t length = 0;
    const sockaddr_un address = addressFor(folder_, length);
    server_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (server_ < 0)
        return;
    if (::bind(server_, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(server_, 8) != 0) {
        ::close(server_);
        server_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(server_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptAll);
}

namespace {

// What a later start sends: "raise\n", then each file's name as bytes ending in a zero byte.
QByteArray request(const QStringList& files) {
    QByteArray message = "raise\n";
    for (const QString& file : files)
        message += nativePath(file) + '\0';
    return message;
}

QStringList requestedFiles(const QByteArray& message) {
    QStringList files;
    if (!message.startsWith("raise\n"))
        return files;
    qsizetype from = 6;
    for (qsizetype end; (end = message.indexOf('\0', from)) >= 0; from = end + 1)
        if (end > from)
            files << pathFromNative(message.sliced(from, end - from));
    return files;
}

} // namespace

void SingleInstance::acceptAll() {
    // Coming is the request to come forward; the file names follow, and the other start closes
    // its end when it has sent them. A start that hangs is waited for a second at most.
    for (int other; (other = ::accept4(server_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        timeval wait{1, 0};
        ::setsockopt(other, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        QByteArray message;
        char buffer[4096];
        for (ssize_t got; message.size() < MostRequestBytes &&
                          (got = ::recv(other, buffer, sizeof buffer, 0)) > 0;)
            message.append(buffer, got);
        ::close(other);
        emit raiseRequested();
        if (const QStringList files = requestedFiles(message); !files.isEmpty())
            emit filesRequested(files);
    }
}

SingleInstance::Start SingleInstance::claim(MessageBoxes& messages, const QStringList& files) {
    if (lock_.tryLock(0)) {
        listen();
        return Start::First;
    }
    if (lock_.error() != QLockFile::LockFailedError)
        return Start::Unlocked;

    socklen_t length = 0;
    const sockaddr_un address = addressFor(folder_, length);
    const int other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Being reached is the request: the first program may close before the line arrives.
    const bool reached =
        other >= 0 && ::connect(other, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    if (reached) {
        const QByteArray message = request(files);
        for (qsizetype sent = 0, now; sent < message.size(); sent += now)
            if ((now = ::send(other, message.constData() + sent, size_t(message.size() - sent),
                              MSG_NOSIGNAL)) <= 0)
                break;
    }
    if (other >= 0)
        ::close(other);
    if (reached)
        return Start::OtherRaised;
    messages.ok(QStringLiteral("Vokarin 已经在这个文件夹里运行了（%1），不能再打开一个。")
                    .arg(QDir::toNativeSeparators(folder_)));
    return Start::OtherSilent;
}
