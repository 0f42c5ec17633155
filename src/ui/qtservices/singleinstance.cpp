#include "qtservices/singleinstance.h"

#include "services/messageboxes.h"

#include "fileio.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The runtime folder when it is what it should be: ours, and closed to everyone else.
QByteArray privateRuntimeFolder() {
    QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (folder.isEmpty() || !folder.startsWith('/') || ::lstat(folder.constData(), &info) != 0 ||
        !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0)
        return {};
    return folder;
}

struct Address final {
    sockaddr_un address{};
    socklen_t length = 0;
    QByteArray path; // empty for an abstract name
};

// The index-th name for folder: a socket file in the private runtime folder, or (without one)
// an abstract name (Linux), which leaves nothing on disk after a crash.
std::optional<Address> addressFor(const QString& folder, int index) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir(folder).canonicalPath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    QByteArray name = "vokarin-" + QByteArray::number(::getuid()) + '-' + hash;
    if (index > 0)
        name += '-' + QByteArray::number(index);
    Address a;
    a.address.sun_family = AF_UNIX;
    if (const QByteArray runtime = privateRuntimeFolder(); !runtime.isEmpty()) {
        a.path = runtime + '/' + name + ".sock";
        if (size_t(a.path.size()) >= sizeof a.address.sun_path)
            return std::nullopt;
        std::memcpy(a.address.sun_path, a.path.constData(), size_t(a.path.size()));
        a.length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(a.path.size()) + 1);
    } else {
        std::memcpy(a.address.sun_path + 1, name.constData(), size_t(name.size()));
        a.length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    }
    return a;
}

// The other end of a connected socket belongs to this program's user.
bool peerIsOurs(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           size == sizeof credentials && credentials.uid == ::getuid();
}

// What a later start sends: "raise\n", then each file's name as bytes ending in a zero byte.
QByteArray request(const QStringList& files) {
    QByteArray message = "raise\n";
    for (const QString& file : files)
        message += nativePath(file) + '\0';
    return message;
}

QStringList requestedFiles(const QByteArray& message) {
    QStringList files;
    qsizetype from = 6;
    for (qsizetype end; (end = message.indexOf('\0', from)) >= 0; from = end + 1)
        if (end > from)
            files << pathFromNative(message.sliced(from, end - from));
    return files;
}

bool sendAll(int fd, const QByteArray& message) {
    for (qsizetype sent = 0; sent < message.size();) {
        const ssize_t now =
            ::send(fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
        if (now <= 0)
            return false;
        sent += now;
    }
    return true;
}

// The owner of the lock is gone: it never wrote who it is, its process no longer runs (or has
// ended and waits only to be reaped), or its number now belongs to another program.
bool lockIsStale(const QLockFile& lock) {
    qint64 pid = 0;
    QString host, application;
    if (!lock.getLockInfo(&pid, &host, &application) || pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false; // no /proc: trust the number
    // "pid (name) state ...": the name may hold blanks and parentheses, the last ")" ends it.
    const QByteArray line = stat.read(1024);
    const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
    if (open < 0 || close < open || close + 2 >= line.size())
        return false;
    if (line[close + 2] == 'Z')
        return true;
    // The kernel keeps 15 bytes of a program's name.
    const QByteArray name = line.sliced(open + 1, close - open - 1);
    return !application.isEmpty() && !application.toLocal8Bit().startsWith(name);
}

} // namespace

// A connection being read: what came so far, and how long it may take.
struct SingleInstance::Peer final {
    int fd = -1;
    bool dead = false;
    QByteArray received;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> deadline;
    ~Peer() {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

SingleInstance::SingleInstance(const QString& appFolder)
    : folder_(QDir(appFolder).absolutePath())
    , lock_(QDir(appFolder).filePath(QStringLiteral("vokarin.lock"))) {
    // The lock lasts as long as the program; only a dead owner makes it stale.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    peers_.clear();
    notifier_.reset();
    if (server_ >= 0)
        ::close(server_);
    if (!boundPath_.isEmpty())
        ::unlink(boundPath_.constData());
}

void SingleInstance::listen() {
    for (int index = 0; index < Names; ++index) {
        const std::optional<Address> a = addressFor(folder_, index);
        if (!a)
            return;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return;
        // We hold the folder's lock, and the runtime folder is ours alone: a socket file
        // left there by a program that crashed is this folder's, and goes.
        if (!a->path.isEmpty())
            ::unlink(a->path.constData());
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&a->address), a->length) == 0 &&
            ::listen(fd, 8) == 0) {
            server_ = fd;
            boundPath_ = a->path;
            break;
        }
        ::close(fd);
        // An abstract name someone else holds: the next name.
    }
    if (server_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(server_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptAll);
}

void SingleInstance::acceptAll() {
    for (int fd; (fd = ::accept4(server_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
        if (!peerIsOurs(fd)) {
            ::close(fd);
            continue;
        }
        // The newest request is the learner's own start more likely than the oldest.
        if (connectionsOpen() >= MostConnections)
            drop(std::find_if(peers_.begin(), peers_.end(), [](const auto& p) {
                     return !p->dead;
                 })->get());
        auto peer = std::make_unique<Peer>();
        Peer* const p = peer.get();
        p->fd = fd;
        p->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(p->notifier.get(), &QSocketNotifier::activated, this, [this, p] { readFrom(p); });
        p->deadline = std::make_unique<QTimer>();
        p->deadline->setSingleShot(true);
        connect(p->deadline.get(), &QTimer::timeout, this, [this, p] { drop(p); });
        p->deadline->start(RequestDeadlineMs);
        peers_.push_back(std::move(peer));
    }
}

void SingleInstance::drop(Peer* peer) {
    // Deferred: the peer's own notifier or timer may be what called.
    peer->dead = true;
    peer->notifier->setEnabled(false);
    peer->deadline->stop();
    QTimer::singleShot(0, this,
                       [this] { std::erase_if(peers_, [](const auto& p) { return p->dead; }); });
}

int SingleInstance::connectionsOpen() const {
    return int(
        std::count_if(peers_.cbegin(), peers_.cend(), [](const auto& p) { return !p->dead; }));
}

void SingleInstance::readFrom(Peer* peer) {
    // The request to come forward and the file names; the other start closes its end when it
    // has sent them. Whatever is not complete in time, or is too long, is dropped unheard.
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(peer->fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            peer->received.append(buffer, got);
            if (peer->received.size() > MostRequestBytes) {
                drop(peer);
                return;
            }
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        break; // the end of the request, or a broken connection
    }
    const QByteArray message = std::move(peer->received);
    drop(peer);
    if (!message.startsWith("raise\n"))
        return;
    emit raiseRequested();
    if (const QStringList files = requestedFiles(message); !files.isEmpty())
        emit filesRequested(files);
}

SingleInstance::Start SingleInstance::claim(MessageBoxes& messages, const QStringList& files) {
    if (lock_.tryLock(0)) {
        listen();
        return Start::First;
    }
    if (lock_.error() != QLockFile::LockFailedError)
        return Start::Unlocked;

    // The program holding the lock is one of ours on one of the names; another user's program
    // is never told anything.
    for (int index = 0; index < Names; ++index) {
        const std::optional<Address> a = addressFor(folder_, index);
        if (!a)
            break;
        const int other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (other < 0)
            break;
        const timeval wait{1, 0};
        ::setsockopt(other, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        const bool reached =
            ::connect(other, reinterpret_cast<const sockaddr*>(&a->address), a->length) == 0;
        const bool ours = reached && peerIsOurs(other);
        // Being reached is the request: the first program may close before the line arrives.
        if (ours)
            sendAll(other, request(files));
        ::close(other);
        if (ours)
            return Start::OtherRaised;
    }

    // Nobody answers. A lock whose owner is gone never keeps the learner out, even where a new
    // one cannot be written (a full disk).
    if (lockIsStale(lock_)) {
        lock_.removeStaleLockFile();
        if (lock_.tryLock(0)) {
            listen();
            return Start::First;
        }
        return Start::Unlocked;
    }
    messages.ok(QStringLiteral("Vokarin 已经在这个文件夹里运行了（%1），不能再打开一个。")
                    .arg(QDir::toNativeSeparators(folder_)));
    return Start::OtherSilent;
}
