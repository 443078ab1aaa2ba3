#include "platform/shutdownsignals.h"

#include "platform/wholefile.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the signal handler, so plain ints set once before it is installed.
int g_pipe[2] = {-1, -1};

constexpr int kCaught[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onShutdownSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    // A full pipe already holds enough requests to close the program.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool catchShutdownSignals(QString& reason) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        reason = wholefile::systemReason(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kCaught) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            reason = wholefile::systemReason(errno);
            return false;
        }
    }
    return true;
}

void releaseShutdownSignals() {
    for (const int signalNumber : kCaught)
        ::signal(signalNumber, SIG_DFL);
}

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] < 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::drain);
}

// One signal per activation, so that each is reported on its own turn of the
// event loop.
void ShutdownSignals::drain() {
    unsigned char byte = 0;
    ssize_t count;
    do
        count = ::read(g_pipe[0], &byte, 1);
    while (count < 0 && errno == EINTR);
    if (count == 1)
        emit received(byte);
}
