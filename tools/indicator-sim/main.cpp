// indicator-sim: plays a weighing indicator on a pseudo-terminal or a serial
// device, for trying the program without a scale.

#include "tools/indicator-sim/ptypair.h"
#include "tools/indicator-sim/simulator.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

const char* const kUsage =
    "Usage: indicator-sim [options]\n"
    "Plays a weighing indicator. Without --device it creates a pseudo-terminal\n"
    "and prints the path of its serial end on the first line of standard output.\n"
    "\n"
    "  --link PATH        also make PATH a symbolic link to that serial end\n"
    "  --device DEV       drive a real serial device instead (e.g. /dev/ttyUSB0)\n"
    "  --baud N           rate for --device (default 9600; 8 data bits, no parity)\n"
    "  --script FILE      run the commands in FILE, then keep sending until killed\n"
    "                     or 'quit'; commands from standard input still work\n"
    "  --mode live|print  live readings (default) or print frames on request\n"
    "  --weight W         starting weight (default 0)\n"
    "  --format N         live layout 0..3 (default 0)\n"
    "  --unit U           unit name (default kg)\n"
    "  --period MS        time between live frames (default 200, five a second)\n"
    "  --split            cut every live frame in two writes\n"
    "  --burst N          N live frames in one write\n"
    "  --gap MS           pause between the writes of one period (default 20)\n"
    "  --usb              pass everything on as a USB serial adapter does, in\n"
    "                     pieces of 15 characters every 16 ms\n"
    "  --usb-piece N      ... in pieces of N characters (implies --usb)\n"
    "  --usb-gap MS       ... every MS ms (implies --usb)\n"
    "  --help             this text\n"
    "\n"
    "Without --script the program ends at the end of standard input.\n"
    "Commands (from the script or typed):\n";

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool configureDevice(int fd, int baud) {
    speed_t speed = B0;
    switch (baud) {
    case 1200:
        speed = B1200;
        break;
    case 2400:
        speed = B2400;
        break;
    case 4800:
        speed = B4800;
        break;
    case 9600:
        speed = B9600;
        break;
    case 19200:
        speed = B19200;
        break;
    case 38400:
        speed = B38400;
        break;
    case 57600:
        speed = B57600;
        break;
    case 115200:
        speed = B115200;
        break;
    default:
        return false;
    }
    termios t{};
    if (::tcgetattr(fd, &t) < 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~tcflag_t(CRTSCTS | CSTOPB | PARENB);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

enum class WriteResult { Done, Dropped, Failed };

// The line is non-blocking: when the program is not reading, frames are
// dropped as a real indicator's would be lost.
WriteResult writeBytes(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return WriteResult::Dropped;
        return WriteResult::Failed;
    }
    return WriteResult::Done;
}

struct Options {
    QString link;
    QString device;
    QString script;
    int baud = 9600;
    int gapMs = 20;
    bool usb = false;
    QString usbPiece = QStringLiteral("15");
    QString usbGap = QStringLiteral("16");
    QStringList commands; // settings given as options, applied first
};

bool parse(int argc, char** argv, Options& o, QString& error) {
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString& out) {
            if (i + 1 >= argc) {
                error = a + QStringLiteral(" needs a value");
                return false;
            }
            out = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            error.clear();
            return false;
        } else if (a == QLatin1String("--link")) {
            if (!value(o.link))
                return false;
        } else if (a == QLatin1String("--device")) {
            if (!value(o.device))
                return false;
        } else if (a == QLatin1String("--script")) {
            if (!value(o.script))
                return false;
        } else if (a == QLatin1String("--baud")) {
            if (!value(v))
                return false;
            o.baud = v.toInt();
        } else if (a == QLatin1String("--gap")) {
            if (!value(v))
                return false;
            o.gapMs = std::max(0, v.toInt());
        } else if (a == QLatin1String("--usb")) {
            o.usb = true;
        } else if (a == QLatin1String("--usb-piece")) {
            if (!value(o.usbPiece))
                return false;
            o.usb = true;
        } else if (a == QLatin1String("--usb-gap")) {
            if (!value(o.usbGap))
                return false;
            o.usb = true;
        } else if (a == QLatin1String("--split")) {
            o.commands << QStringLiteral("split on");
        } else if (a == QLatin1String("--mode") || a == QLatin1String("--weight") ||
                   a == QLatin1String("--format") || a == QLatin1String("--unit") ||
                   a == QLatin1String("--period") || a == QLatin1String("--burst")) {
            if (!value(v))
                return false;
            o.commands << a.mid(2) + QLatin1Char(' ') + v;
        } else {
            error = QStringLiteral("unknown option ") + a;
            return false;
        }
    }
    if (o.usb)
        o.commands << QStringLiteral("usb %1 %2").arg(o.usbPiece, o.usbGap);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);

    Options opt;
    QString error;
    if (!parse(argc, argv, opt, error)) {
        if (!error.isEmpty()) {
            say(QStringLiteral("indicator-sim: ") + error);
            return 2;
        }
        std::fputs(kUsage, stdout);
        std::puts(indicator::Simulator::help().toLocal8Bit().constData());
        return 0;
    }

    indicator::Simulator sim;
    for (const QString& c : opt.commands) {
        const indicator::CommandResult r = sim.command(c);
        if (!r.error.isEmpty()) {
            say(QStringLiteral("indicator-sim: ") + r.error);
            return 2;
        }
    }

    std::deque<QString> script;
    if (!opt.script.isEmpty()) {
        QFile f(opt.script);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            say(QStringLiteral("indicator-sim: cannot read ") + opt.script);
            return 2;
        }
        for (const QByteArray& line : f.readAll().split('\n'))
            script.push_back(QString::fromLocal8Bit(line));
    }

    std::unique_ptr<PtyPair> pty;
    int out = -1;
    QString linePath;
    if (!opt.device.isEmpty()) {
        out = ::open(QFile::encodeName(opt.device).constData(),
                     O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (out < 0 || !configureDevice(out, opt.baud)) {
            say(QStringLiteral("indicator-sim: cannot use %1: %2")
                    .arg(opt.device, QString::fromLocal8Bit(std::strerror(errno))));
            return 1;
        }
        linePath = opt.device;
    } else {
        try {
            pty = std::make_unique<PtyPair>();
        } catch (const std::exception& e) {
            say(QStringLiteral("indicator-sim: ") + QString::fromLocal8Bit(e.what()));
            return 1;
        }
        out = pty->master();
        ::fcntl(out, F_SETFL, ::fcntl(out, F_GETFL) | O_NONBLOCK);
        linePath = pty->slavePath();
    }

    bool linked = false;
    if (!opt.link.isEmpty()) {
        const QByteArray link = QFile::encodeName(opt.link);
        struct stat st {};
        // Replace a link left by an earlier run, never a real file.
        if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(link.constData());
        if (::symlink(QFile::encodeName(linePath).constData(), link.constData()) < 0) {
            say(QStringLiteral("indicator-sim: cannot create link %1: %2")
                    .arg(opt.link, QString::fromLocal8Bit(std::strerror(errno))));
            return 1;
        }
        linked = true;
    }
    std::printf("%s\n", QFile::encodeName(linePath).constData());
    std::fflush(stdout);
    if (linked)
        say(QStringLiteral("indicator-sim: %1 -> %2").arg(opt.link, linePath));

    std::deque<std::pair<Clock::time_point, QByteArray>> writes;
    Clock::time_point nextLive = Clock::now();
    Clock::time_point scriptResume = Clock::now();
    bool stdinOpen = true;
    bool quit = false;
    bool endWhenIdle = false;
    QByteArray stdinText;
    long dropped = 0;
    int exitCode = 0;

    // Behind a USB adapter a write goes out in pieces; either way a write
    // never overtakes the one queued before it.
    auto queue = [&](Clock::time_point at, const QByteArray& bytes) {
        if (!writes.empty())
            at = std::max(at, writes.back().first);
        for (const QByteArray& piece : sim.usbPieces(bytes)) {
            writes.emplace_back(at, piece);
            at += milliseconds(sim.usbGapMs());
        }
    };

    auto run = [&](const QString& line) {
        const indicator::CommandResult r = sim.command(line);
        if (!r.error.isEmpty())
            say(r.error);
        if (!r.reply.isEmpty())
            say(r.reply);
        if (r.quit)
            quit = true;
        return r.waitMs;
    };

    while (!quit && !g_stop) {
        Clock::time_point now = Clock::now();
        while (!script.empty() && now >= scriptResume && !quit) {
            const QString line = script.front();
            script.pop_front();
            const int wait = run(line);
            if (wait > 0)
                scriptResume = Clock::now() + milliseconds(wait);
        }
        now = Clock::now();
        for (const QByteArray& frame : sim.takePending())
            queue(now, frame);
        if (sim.mode() == indicator::Mode::Live && now >= nextLive) {
            Clock::time_point at = now;
            for (const QByteArray& piece : sim.livePeriod()) {
                queue(at, piece);
                at += milliseconds(opt.gapMs);
            }
            nextLive += milliseconds(sim.periodMs());
            if (nextLive < now)
                nextLive = now + milliseconds(sim.periodMs());
        }
        while (!writes.empty() && writes.front().first <= now) {
            const WriteResult w = writeBytes(out, writes.front().second);
            writes.pop_front();
            if (w == WriteResult::Dropped)
                ++dropped;
            if (w == WriteResult::Failed && !pty) {
                say(QStringLiteral("indicator-sim: %1 failed: %2")
                        .arg(opt.device, QString::fromLocal8Bit(std::strerror(errno))));
                quit = true;
                exitCode = 1;
            }
        }
        if (endWhenIdle && script.empty() && writes.empty())
            quit = true;
        if (quit)
            break;

        Clock::time_point wake = now + milliseconds(1000);
        if (sim.mode() == indicator::Mode::Live)
            wake = std::min(wake, nextLive);
        if (!script.empty())
            wake = std::min(wake, scriptResume);
        if (!writes.empty())
            wake = std::min(wake, writes.front().first);
        const auto timeout = std::chrono::duration_cast<milliseconds>(wake - Clock::now()).count();

        pollfd fds[2] = {{out, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int nfds = stdinOpen ? 2 : 1;
        if (::poll(fds, nfds_t(nfds), int(std::max<long long>(0, timeout + 1))) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            // Anything the program sends is read and forgotten so that the
            // line never backs up.
            char sink[256];
            [[maybe_unused]] const ssize_t n = ::read(out, sink, sizeof sink);
        }
        if (!pty && (fds[0].revents & (POLLHUP | POLLERR))) {
            say(QStringLiteral("indicator-sim: %1 went away").arg(opt.device));
            exitCode = 1;
            break;
        }
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buf[1024];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;
                endWhenIdle = opt.script.isEmpty();
            } else {
                stdinText.append(buf, n);
                qsizetype nl;
                while ((nl = stdinText.indexOf('\n')) >= 0) {
                    const QString line = QString::fromLocal8Bit(stdinText.left(nl));
                    stdinText.remove(0, nl + 1);
                    // Typed commands queue behind a running script and its
                    // waits, so "wait" typed or piped in works the same.
                    script.push_back(line);
                }
            }
        }
    }

    if (dropped > 0)
        say(QStringLiteral("indicator-sim: %1 writes dropped while nobody read").arg(dropped));
    if (linked)
        ::unlink(QFile::encodeName(opt.link).constData());
    if (!pty && out >= 0)
        ::close(out);
    return exitCode;
}
