#include "aside.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <memory>

void runAside(const std::function<void()>& work, const std::function<void()>& stop) {
    if (!QCoreApplication::instance()) {
        work();
        return;
    }
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create(work));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!worker->isFinished() && stop)
        stop();
    worker->wait();
}
