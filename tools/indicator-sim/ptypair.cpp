#include "tools/indicator-sim/ptypair.h"

#include <cerrno>
#include <climits>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    char name[PATH_MAX] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) < 0)
        throw std::runtime_error("openpty failed");
    termios t{};
    // The master must not echo or translate; the slave starts raw as well so
    // that nothing is altered before the program configures it.
    if (::tcgetattr(m_slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
    }
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair() {
    closeSlave();
    closeMaster();
}

bool PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void PtyPair::closeMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyPair::closeSlave() {
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

int PtyPair::slaveWaiting() const {
    int n = 0;
    if (m_slave < 0 || ::ioctl(m_slave, FIONREAD, &n) < 0)
        return -1;
    return n;
}
