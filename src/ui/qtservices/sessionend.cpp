#include "qtservices/sessionend.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int writeEnd = -1;

void onSignal(int number) {
    const int saved = errno;
    const char byte = char(number);
    if (writeEnd >= 0)
        (void)!::write(writeEnd, &byte, 1);
    errno = saved;
}

constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};

} // namespace

SessionEnd::SessionEnd() {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SessionEnd::pipeReadable);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Signals)
        ::sigaction(number, &action, nullptr);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            requested_ = true;
            emit endRequested();
        });
}

SessionEnd::~SessionEnd() {
    for (const int number : Signals)
        std::signal(number, SIG_DFL);
    writeEnd = -1;
    notifier_.reset();
    for (const int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void SessionEnd::pipeReadable() {
    char bytes[16];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0)
        ;
    if (requested_)
        return; // one end is enough
    requested_ = true;
    emit endRequested();
}
