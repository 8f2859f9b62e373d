// One kivo per user at a time, and the request of a later start to raise the running one's window.
#include "app/single_instance.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kivo {

namespace {
#if defined(Q_OS_UNIX)
// The pipe on which the signal handler notes a request; a handler can reach nothing else.
int raisePipe[2] = {-1, -1};

extern "C" void noteRaiseRequest(int) {
    const char note = 1;
    [[maybe_unused]] const auto written = ::write(raisePipe[1], &note, 1);
}
#endif
} // namespace

SingleInstance::SingleInstance(const QString& folder) {
    if (!folder.isEmpty())
        lock_ = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("kivo.lock")));
}

QString SingleInstance::runtimeFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool SingleInstance::acquire(std::chrono::milliseconds wait) {
    if (!lock_)
        return true;
    lock_->setStaleLockTime(0); // only a dead holder makes a lock stale
    if (lock_->tryLock(static_cast<int>(wait.count())))
        return true;
    // A folder that cannot hold the lock refuses no run.
    return lock_->error() != QLockFile::LockFailedError;
}

bool SingleInstance::askHolderToRaise() const {
#if defined(Q_OS_UNIX)
    if (!lock_)
        return false;
    // The holder creates the lock file first and writes its pid into it a moment later: a start
    // that comes in between finds the file still empty, and gives the holder that moment.
    for (int tries = 0; tries < 100; ++tries) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock_->getLockInfo(&pid, &host, &application) && pid > 0)
            return ::kill(static_cast<pid_t>(pid), SIGUSR1) == 0;
        QThread::msleep(10);
    }
    return false;
#else
    return false;
#endif
}

int listenForRaiseRequests() {
#if defined(Q_OS_UNIX)
    if (raisePipe[0] >= 0)
        return raisePipe[0];
    if (::pipe(raisePipe) != 0)
        return -1;
    for (int fd : raisePipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = noteRaiseRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &action, nullptr);
    return raisePipe[0];
#else
    return -1;
#endif
}

void takeRaiseRequests(int requests) {
#if defined(Q_OS_UNIX)
    char notes[16];
    while (requests >= 0 && ::read(requests, notes, sizeof notes) > 0) {
    }
#else
    (void)requests;
#endif
}

} // namespace kivo
