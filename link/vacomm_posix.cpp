#include "link/vacomm_os.h"

#include "platform/uniquefd.h"
#include "platform/wholefile.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString withCode(const char* text, int err) {
    return QString::fromLatin1(text).arg(err).arg(wholefile::systemReason(err));
}

// Unplugging an adapter or closing the far end of a pseudo-terminal.
bool isGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

// Drivers without the feature (every pseudo-terminal) answer so.
bool isUnsupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

EVaCommError dcbError(int err, const QString& detail = {}) {
    QString text = withCode("Error writing dcb (%1), %2", err);
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    return EVaCommError(text);
}

// The operator reads the channel's English text to the administrator; the
// one thing they can act on themselves is knowing whom to ask for what.
QString missingRightsSentence(const QString& path) {
    QString group = QStringLiteral("dialout");
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        if (const struct group* g = ::getgrgid(st.st_gid); g && st.st_gid != 0)
            group = QString::fromLocal8Bit(g->gr_name);
    return QStringLiteral("Uživatel nemá právo používat sériovou linku váhy: správce ho musí "
                          "přidat do skupiny %1 a uživatel se pak musí odhlásit a znovu "
                          "přihlásit.")
        .arg(group);
}

EVaCommError notAvailable(const QString& what) {
    return dcbError(EINVAL, what + QStringLiteral(" not available on this system"));
}

speed_t speedFor(int rate) {
    struct Pair {
        int rate;
        speed_t speed;
    };
    static const Pair table[] = {
        {50, B50},         {75, B75},         {110, B110},        {134, B134},
        {150, B150},       {200, B200},       {300, B300},        {600, B600},
        {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}};
    for (const Pair& p : table)
        if (p.rate == rate)
            return p.speed;
    return B0;
}

termios buildTermios(termios t, const vacomm_os::LineSettings& s) {
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    const speed_t speed = speedFor(s.baudrate);
    if (speed == B0)
        throw notAvailable(QStringLiteral("baud rate %1 bit/s is").arg(s.baudrate));
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);

    t.c_cflag &= ~tcflag_t(CSIZE);
    switch (s.databits) {
    case db4:
        throw notAvailable(QStringLiteral("4 data bits are"));
    case db5:
        t.c_cflag |= CS5;
        break;
    case db6:
        t.c_cflag |= CS6;
        break;
    case db7:
        t.c_cflag |= CS7;
        break;
    case db8:
        t.c_cflag |= CS8;
        break;
    }

    t.c_cflag &= ~tcflag_t(PARENB | PARODD | CMSPAR);
    switch (s.parity) {
    case paNone:
        break;
    case paOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case paEven:
        t.c_cflag |= PARENB;
        break;
    case paMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case paSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }

    switch (s.stopbits) {
    case sb1:
        t.c_cflag &= ~tcflag_t(CSTOPB);
        break;
    case sb15:
        throw notAvailable(QStringLiteral("1.5 stop bits are"));
    case sb2:
        t.c_cflag |= CSTOPB;
        break;
    }

    // Linux has one switch for both hardware handshake directions and none
    // for DSR, so any other combination is refused rather than half applied.
    t.c_cflag &= ~tcflag_t(CRTSCTS);
    const bool handshaking = s.controlRts == rtsHandshake;
    if (s.outCtsFlow != handshaking)
        throw notAvailable(
            QStringLiteral("CTS output flow without RTS handshake (or the reverse) is"));
    if (s.outCtsFlow)
        t.c_cflag |= CRTSCTS;
    if (s.outDsrFlow)
        throw notAvailable(QStringLiteral("DSR output flow control is"));
    if (s.dsrSensitivity)
        throw notAvailable(QStringLiteral("DSR sensitivity is"));
    if (s.controlDtr == dtrHandshake)
        throw notAvailable(QStringLiteral("DTR handshake is"));
    if (s.controlRts == rtsToggle)
        throw notAvailable(QStringLiteral("RTS toggle is"));
    if (s.xonXoffIn && !s.txContinueOnXoff)
        throw notAvailable(QStringLiteral("holding transmission after sending XOFF is"));

    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (s.xonXoffOut)
        t.c_iflag |= IXON;
    if (s.xonXoffIn)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(s.xonChar);
    t.c_cc[VSTOP] = cc_t(s.xoffChar);

    if (s.options & coErrorChar)
        throw notAvailable(QStringLiteral("replacing bytes with parity errors is"));
    if (s.options & coNullStrip)
        throw notAvailable(QStringLiteral("discarding NUL bytes is"));
    if (s.options & coParityCheck)
        t.c_iflag |= INPCK;

    // A break must not arrive as a NUL byte in the weight text.
    t.c_iflag |= IGNBRK;
    return t;
}

// tcsetattr succeeds when any one change applied, so the result is compared.
QString firstDifference(const termios& want, const termios& got) {
    if (::cfgetispeed(&want) != ::cfgetispeed(&got) || ::cfgetospeed(&want) != ::cfgetospeed(&got))
        return QStringLiteral("baud rate");
    if ((want.c_cflag & CSIZE) != (got.c_cflag & CSIZE))
        return QStringLiteral("data bits");
    if ((want.c_cflag & (PARENB | PARODD | CMSPAR)) != (got.c_cflag & (PARENB | PARODD | CMSPAR)))
        return QStringLiteral("parity");
    if ((want.c_cflag & CSTOPB) != (got.c_cflag & CSTOPB))
        return QStringLiteral("stop bits");
    if ((want.c_cflag & (CRTSCTS | CLOCAL | CREAD)) != (got.c_cflag & (CRTSCTS | CLOCAL | CREAD)))
        return QStringLiteral("flow control");
    const tcflag_t in = IXON | IXOFF | IXANY | INPCK | IGNBRK | ICRNL | ISTRIP;
    if ((want.c_iflag & in) != (got.c_iflag & in))
        return QStringLiteral("input processing");
    const tcflag_t local = ICANON | ECHO | ISIG | IEXTEN;
    if ((want.c_lflag & local) != (got.c_lflag & local) || got.c_cc[VMIN] != 0 ||
        got.c_cc[VTIME] != 0)
        return QStringLiteral("raw mode");
    return {};
}

void setModemLine(int fd, int line, bool on) {
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) < 0 && !isUnsupported(errno))
        throw dcbError(errno, QStringLiteral("modem control lines"));
}

EVaCommError maskError(int err) {
    return EVaCommError(withCode(" Error setting EventMask (%1), %2", err));
}

constexpr std::uint32_t kWake = 0;
constexpr std::uint32_t kPort = 1;
// Only what arrives with input can be told apart without polling the modem
// lines on a timer, which would cost CPU time while the line is quiet.
constexpr TVaCommEvents kInputEvents = ceRxChar | ceError;

void runEventThread(std::shared_ptr<TVaCommShared> shared, int portFd, int epollFd,
                    TVaCommEvents mask) {
    const UniqueFd port(portFd);
    const UniqueFd ep(epollFd);
    for (;;) {
        epoll_event got[2];
        const int n = ::epoll_wait(ep.get(), got, 2, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (shared->closed.load())
            return;
        bool input = false;
        for (int i = 0; i < n; ++i) {
            if (got[i].data.u32 == kWake)
                return;
            // A hung-up descriptor stays ready for ever; watching it any
            // longer would spin.
            if (got[i].events & (EPOLLHUP | EPOLLERR)) {
                TVaCommEventThread::reportHangUp(shared);
                return;
            }
            if (got[i].events & EPOLLIN)
                input = true;
        }
        if (!input)
            continue;
        int waiting = 0;
        if (::ioctl(port.get(), FIONREAD, &waiting) < 0 && isGone(errno)) {
            TVaCommEventThread::reportHangUp(shared);
            return;
        }
        TVaCommEventThread::handOver(shared, mask);
    }
}

} // namespace

void TVaCommEventThread::start(std::shared_ptr<TVaCommShared> shared, int portFd,
                               TVaCommEvents mask) {
    // The thread needs a descriptor of its own: closing the port's does not
    // wake a waiting epoll, and its number may be reused at once.
    UniqueFd own(::fcntl(portFd, F_DUPFD_CLOEXEC, 0));
    if (!own)
        throw maskError(errno);
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake)
        throw maskError(errno);
    UniqueFd ep(::epoll_create1(EPOLL_CLOEXEC));
    if (!ep)
        throw maskError(errno);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u32 = kWake;
    if (::epoll_ctl(ep.get(), EPOLL_CTL_ADD, wake.get(), &ev) < 0)
        throw maskError(errno);
    // Edge-triggered: like EV_RXCHAR, an event means new bytes arrived, so
    // bytes a handler leaves unread do not keep the thread busy.
    ev.events = EPOLLET | ((mask & kInputEvents) ? EPOLLIN : 0u);
    ev.data.u32 = kPort;
    if (::epoll_ctl(ep.get(), EPOLL_CTL_ADD, own.get(), &ev) < 0)
        throw maskError(errno);
    shared->wakeFd = wake.release();
    try {
        std::thread(runEventThread, shared, own.get(), ep.get(), mask & kInputEvents).detach();
    } catch (const std::system_error& e) {
        throw maskError(e.code().value());
    }
    own.release();
    ep.release();
}

void TVaCommWriteThread::start(std::shared_ptr<TVaCommShared> shared) {
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake)
        throw EVaCommError(withCode("Error starting the transmit thread (%1), %2", errno));
    shared->wakeFd = wake.release();
    try {
        std::thread([shared] {
            pollfd p{shared->wakeFd, POLLIN, 0};
            while (!shared->closed.load())
                if (::poll(&p, 1, -1) < 0 && errno != EINTR)
                    return;
        }).detach();
    } catch (const std::system_error& e) {
        throw EVaCommError(
            withCode("Error starting the transmit thread (%1), %2", e.code().value()));
    }
}

namespace vacomm_os {

QString devicePathFor(const QString& portName) {
    static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(portName);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        return n >= 1 ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : QString();
    }
    if (portName.startsWith(QLatin1Char('/')))
        return portName;
    return portName.isEmpty() ? QString() : QStringLiteral("/dev/") + portName;
}

int openPort(const QString& portName, const QString& path) {
    const bool samePath = path.isEmpty() || path == portName;
    int fd = -1;
    int err = ENOENT;
    if (!path.isEmpty()) {
        fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        err = errno;
    }
    // A node with no hardware behind it (PCs have /dev/ttyS0 to ttyS3 whether
    // or not a UART is fitted) answers EIO: to the operator it is missing.
    if (fd < 0 && (err == ENOENT || err == ENODEV || err == ENXIO || err == EIO)) {
        const QString names = samePath ? portName : portName + QStringLiteral(", ") + path;
        throw EVaCommError(QStringLiteral("Specified device not found (%1).").arg(names));
    }
    const QString names =
        samePath ? portName : portName + QStringLiteral(" (") + path + QLatin1Char(')');
    auto cantOpen = [&](int code) {
        QString text = QStringLiteral("Can't open specified device %1 (Error %2, %3)")
                           .arg(names)
                           .arg(code)
                           .arg(wholefile::systemReason(code));
        if (code == EACCES || code == EPERM)
            text += u'\n' + missingRightsSentence(path.isEmpty() ? portName : path);
        return EVaCommError(text);
    };
    if (fd < 0)
        throw cantOpen(err);
    UniqueFd guard(fd);
    // TIOCEXCL does not stop a second process with the same rights, and root
    // passes it anyway; the lock is the real guard.
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0)
        throw cantOpen(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) < 0 && !isUnsupported(errno))
        throw cantOpen(errno);
    return guard.release();
}

void closePort(int fd) {
    // An event thread may hold a duplicate for a moment longer; the port must
    // be free for the next Open already.
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

void applyLineSettings(int fd, const LineSettings& settings) {
    termios current{};
    if (::tcgetattr(fd, &current) < 0)
        throw dcbError(errno);
    const termios want = buildTermios(current, settings);
    if (::tcsetattr(fd, TCSANOW, &want) < 0)
        throw dcbError(errno);
    termios got{};
    if (::tcgetattr(fd, &got) < 0)
        throw dcbError(errno);
    const QString difference = firstDifference(want, got);
    if (!difference.isEmpty()) {
        ::tcsetattr(fd, TCSANOW, &current);
        throw dcbError(EINVAL, QStringLiteral("the device did not take the ") + difference);
    }
    if (settings.controlDtr != dtrHandshake)
        setModemLine(fd, TIOCM_DTR, settings.controlDtr == dtrEnabled);
    if (settings.controlRts == rtsDisabled || settings.controlRts == rtsEnabled)
        setModemLine(fd, TIOCM_RTS, settings.controlRts == rtsEnabled);
}

void flushInput(int fd) {
    ::tcflush(fd, TCIFLUSH);
}

int bytesWaiting(int fd) {
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) < 0) {
        if (isGone(errno))
            return 0;
        throw EVaCommError(withCode("Error retrieving statistics (%1), %2", errno));
    }
    return waiting;
}

int readPort(int fd, char* buffer, int count) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size_t(count));
        if (n >= 0)
            return int(n);
        if (errno == EINTR)
            continue;
        // A device that went away reads as empty; the event thread reports
        // the hang-up once, rather than every handler failing on it.
        if (errno == EAGAIN || errno == EWOULDBLOCK || isGone(errno))
            return 0;
        throw EVaCommError(withCode("Read error (%1), %2", errno));
    }
}

bool lineCounters(int fd, TVaLineCounters& counters) {
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) < 0) {
        if (isUnsupported(errno) || isGone(errno))
            return false;
        throw EVaCommError(withCode("Error retrieving statistics (%1), %2", errno));
    }
    counters.frame = std::uint64_t(ic.frame);
    counters.overrun = std::uint64_t(ic.overrun);
    counters.parity = std::uint64_t(ic.parity);
    counters.brk = std::uint64_t(ic.brk);
    counters.bufOverrun = std::uint64_t(ic.buf_overrun);
    return true;
}

} // namespace vacomm_os
