#include "link/vacomm.h"
#include "platform/uniquefd.h"
#include "tests/support/messages.h"
#include "tools/indicator-sim/ptypair.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>

namespace {

const QString kPortOpen = QStringLiteral("Can't perform this operation while port is open");

// Waits for a condition without running the event loop, so that a hand-over
// posted meanwhile stays pending.
bool waitWithoutEvents(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// Points `link` at `target` in one step, as udev re-creates a device link.
bool repoint(const QString& link, const QString& target) {
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::link(target, fresh) && std::rename(QFile::encodeName(fresh).constData(),
                                                     QFile::encodeName(link).constData()) == 0;
}

// Runs the event loop for a while the way the program idles, for checks of
// what must not happen in that time.
void idle(int ms) {
    QEventLoop window;
    QTimer::singleShot(ms, &window, &QEventLoop::quit);
    window.exec();
}

qint64 processCpuMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

QString errorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const EVaCommError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// Counters the test sets; a pseudo-terminal keeps none of its own.
class CountingComm : public TVaComm {
public:
    TVaLineCounters counters;

protected:
    bool queryLineCounters(TVaLineCounters& out) override {
        out = counters;
        return true;
    }
};

} // namespace

class VaCommTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PtyPair> m_pty;
    std::optional<RecordedMessages> m_messages;

    void configure(TVaCustomComm& comm) {
        comm.setPortNum(1);
        comm.setDevicePath(m_pty->slavePath());
        comm.setBaudrate(br9600);
        comm.setMonitorEvents(ceAll);
    }

    termios slaveSettings() {
        termios t{};
        tcgetattr(m_pty->slave(), &t);
        return t;
    }

private slots:
    void init() {
        m_pty = std::make_unique<PtyPair>();
        m_messages.emplace();
    }

    void cleanup() {
        m_messages.reset();
        m_pty.reset();
    }

    void classDefaults() {
        TVaComm comm;
        QCOMPARE(comm.PortNum(), 0);
        QCOMPARE(comm.DeviceName(), QStringLiteral("\\\\.\\COM%d"));
        QCOMPARE(comm.Baudrate(), br1200);
        QCOMPARE(comm.UserBaudrate(), 0);
        QCOMPARE(comm.Databits(), db8);
        QCOMPARE(comm.Parity(), paNone);
        QCOMPARE(comm.Stopbits(), sb1);
        QCOMPARE(comm.Options(), 0u);
        QCOMPARE(comm.MonitorEvents(), ceError | ceRxChar | ceTxEmpty);
        QCOMPARE(comm.EventPriority(), tpNormal);
        QCOMPARE(comm.WritePriority(), tpHighest);
        QVERIFY(comm.UpdateDCB());
        QVERIFY(!comm.DirectWrite());
        QVERIFY(!comm.AutoOpen());
        QVERIFY(!comm.Active());
        const TVaFlowControl& f = comm.FlowControl();
        QVERIFY(!f.OutCtsFlow() && !f.OutDsrFlow() && !f.XonXoffOut() && !f.XonXoffIn() &&
                !f.DsrSensitivity() && !f.TxContinueOnXoff());
        QCOMPARE(f.ControlDtr(), dtrDisabled);
        QCOMPARE(f.ControlRts(), rtsDisabled);
        const TVaEventChars& c = comm.EventChars();
        QCOMPARE(int(c.XonChar()), 17);
        QCOMPARE(int(c.XoffChar()), 19);
        QCOMPARE(int(c.ErrorChar()) + int(c.EventChar()) + int(c.EofChar()), 0);
        const TVaBuffers& b = comm.Buffers();
        QCOMPARE(b.ReadSize(), 4096);
        QCOMPARE(b.WriteSize(), 2048);
        QCOMPARE(b.ReadTimeout(), 1000);
        QCOMPARE(b.WriteTimeout(), 1000);
        QCOMPARE(b.XonLimit(), 1024);
        QCOMPARE(b.XoffLimit(), 1024);
    }

    void eventMask_data() {
        QTest::addColumn<uint>("events");
        QTest::addColumn<bool>("directWrite");
        QTest::addColumn<uint>("mask");
        QTest::newRow("all thirteen, transmit thread") << uint(ceAll) << false << 0x1FFBu;
        QTest::newRow("all thirteen, direct write") << uint(ceAll) << true << 0x1FFFu;
        QTest::newRow("class default") << uint(ceDefault) << false << 0x81u;
        QTest::newRow("none") << 0u << false << 0u;
    }
    void eventMask() {
        QFETCH(uint, events);
        QFETCH(bool, directWrite);
        QFETCH(uint, mask);
        TVaComm comm;
        comm.setMonitorEvents(events);
        comm.setDirectWrite(directWrite);
        QCOMPARE(comm.EventMask(), mask);
    }

    void deviceMapping_data() {
        QTest::addColumn<QString>("deviceName");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        const QString com = QStringLiteral("\\\\.\\COM%d");
        QTest::newRow("COM1") << com << 1 << "COM1"
                              << "/dev/ttyS0";
        QTest::newRow("COM10") << com << 10 << "COM10"
                               << "/dev/ttyS9";
        QTest::newRow("plain template") << QStringLiteral("COM%d") << 3 << "COM3"
                                        << "/dev/ttyS2";
        QTest::newRow("absolute template") << QStringLiteral("/dev/ttyUSB%d") << 0 << "/dev/ttyUSB0"
                                           << "/dev/ttyUSB0";
    }
    void deviceMapping() {
        QFETCH(QString, deviceName);
        QFETCH(int, port);
        QFETCH(QString, name);
        QFETCH(QString, path);
        TVaComm comm;
        comm.setDeviceName(deviceName);
        comm.setPortNum(port);
        QCOMPARE(comm.PortName(), name);
        QCOMPARE(comm.DevicePathInUse(), path);
        comm.setDevicePath(QStringLiteral("/tmp/elsewhere"));
        QCOMPARE(comm.DevicePathInUse(), QStringLiteral("/tmp/elsewhere"));
    }

    void missingDeviceNamesPortAndPath() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("ttyS6"));
        TVaComm comm;
        comm.setPortNum(7);
        comm.setDevicePath(missing);
        QCOMPARE(errorText([&] { comm.Open(); }),
                 QStringLiteral("Specified device not found (COM7, %1).").arg(missing));
        QVERIFY(!comm.Active());
    }

    void missingDefaultDevice() {
        if (QFile::exists(QStringLiteral("/dev/ttyS6")))
            QSKIP("this machine has /dev/ttyS6");
        TVaComm comm;
        comm.setPortNum(7);
        QCOMPARE(errorText([&] { comm.Open(); }),
                 QStringLiteral("Specified device not found (COM7, /dev/ttyS6)."));
    }

    void nodeWithoutHardwareIsNotFound() {
        // A pty slave whose master is still locked answers EIO, as a serial
        // node without a UART behind it does.
        const UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        QVERIFY(master && grantpt(master.get()) == 0);
        TVaComm comm;
        comm.setDevicePath(QString::fromLocal8Bit(ptsname(master.get())));
        QCOMPARE(errorText([&] { comm.Open(); }),
                 QStringLiteral("Specified device not found (COM0, %1).").arg(comm.devicePath()));
    }

    void deviceThatIsNoTerminal() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plain"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TVaComm comm;
        comm.setPortNum(2);
        comm.setDevicePath(path);
        QCOMPARE(errorText([&] { comm.Open(); }),
                 QStringLiteral("Error writing dcb (25), Inappropriate ioctl for device"));
        QVERIFY(!comm.Active());
    }

    void secondOpenOfSameDeviceIsBusy() {
        TVaComm first;
        configure(first);
        first.Open();
        TVaComm second;
        configure(second);
        second.setPortNum(3);
        QCOMPARE(errorText([&] { second.Open(); }),
                 QStringLiteral("Can't open specified device COM3 (%1) "
                                "(Error 16, Device or resource busy)")
                     .arg(m_pty->slavePath()));
        QVERIFY(first.Active());
        QVERIFY(!second.Active());
        // The event thread may still hold its duplicate; the device must be
        // free at once all the same.
        first.Close();
        second.Open();
        QVERIFY(second.Active());
    }

    void deviceWithoutRightsNamesTheGroup() {
        // Root opens whatever the mode says, so the open runs as nobody.
        const QByteArray path = m_pty->slavePath().toLocal8Bit();
        struct stat st {};
        QVERIFY(::stat(path.constData(), &st) == 0 && ::chmod(path.constData(), 0) == 0);
        const bool root = ::geteuid() == 0;
        TVaComm comm;
        configure(comm);
        if (root)
            QVERIFY(::seteuid(65534) == 0);
        const QString text = errorText([&] { comm.Open(); });
        if (root)
            QVERIFY(::seteuid(0) == 0);
        QCOMPARE(text,
                 QStringLiteral("Can't open specified device COM1 (%1) (Error 13, Permission "
                                "denied)\nUživatel nemá právo používat sériovou linku "
                                "váhy: správce ho musí přidat do skupiny %2 a uživatel "
                                "se pak musí odhlásit a znovu přihlásit.")
                     .arg(m_pty->slavePath(),
                          st.st_gid == 0 ? QStringLiteral("dialout")
                                         : QString::fromLocal8Bit(getgrgid(st.st_gid)->gr_name)));
    }

    void openWhileOpenRaisesAndStaysOpen() {
        TVaComm comm;
        configure(comm);
        int calls = 0;
        comm.OnRxChar = [&](QObject*, int) {
            comm.ReadText();
            ++calls;
        };
        comm.Open();
        QCOMPARE(errorText([&] { comm.Open(); }), kPortOpen);
        QVERIFY(comm.Active());
        QVERIFY(m_pty->write("ST,GS,+  1.000kg\r\n"));
        QTRY_COMPARE(calls, 1);
    }

    void closedOnlySettings_data() {
        QTest::addColumn<std::function<void(TVaComm&)>>("change");
        QTest::addColumn<std::function<bool(const TVaComm&)>>("unchanged");
        using Change = std::function<void(TVaComm&)>;
        using Check = std::function<bool(const TVaComm&)>;
        QTest::newRow("PortNum") << Change([](TVaComm& c) { c.setPortNum(5); })
                                 << Check([](const TVaComm& c) { return c.PortNum() == 1; });
        QTest::newRow("DeviceName")
            << Change([](TVaComm& c) { c.setDeviceName(QStringLiteral("COM%d")); })
            << Check([](const TVaComm& c) { return c.DeviceName().startsWith('\\'); });
        QTest::newRow("devicePath")
            << Change([](TVaComm& c) { c.setDevicePath(QStringLiteral("/dev/null")); })
            << Check([](const TVaComm& c) { return c.devicePath() != "/dev/null"; });
        QTest::newRow("MonitorEvents")
            << Change([](TVaComm& c) { c.setMonitorEvents(ceRxChar); })
            << Check([](const TVaComm& c) { return c.MonitorEvents() == ceAll; });
        QTest::newRow("UpdateDCB") << Change([](TVaComm& c) { c.setUpdateDCB(false); })
                                   << Check([](const TVaComm& c) { return c.UpdateDCB(); });
        QTest::newRow("DirectWrite") << Change([](TVaComm& c) { c.setDirectWrite(true); })
                                     << Check([](const TVaComm& c) { return !c.DirectWrite(); });
        QTest::newRow("Buffers.ReadSize")
            << Change([](TVaComm& c) { c.Buffers().setReadSize(100); })
            << Check([](const TVaComm& c) { return c.Buffers().ReadSize() == 4096; });
        QTest::newRow("Buffers.XoffLimit")
            << Change([](TVaComm& c) { c.Buffers().setXoffLimit(7); })
            << Check([](const TVaComm& c) { return c.Buffers().XoffLimit() == 1024; });
    }
    void closedOnlySettings() {
        QFETCH(std::function<void(TVaComm&)>, change);
        QFETCH(std::function<bool(const TVaComm&)>, unchanged);
        TVaComm comm;
        configure(comm);
        comm.Open();
        QCOMPARE(errorText([&] { change(comm); }), kPortOpen);
        QVERIFY(unchanged(comm));
        QVERIFY(comm.Active());
        comm.Close();
        change(comm);
        QVERIFY(!unchanged(comm));
    }

    void lineSettingsOfOpenPort() {
        TVaComm comm;
        configure(comm);
        comm.Open();
        termios t = slaveSettings();
        QCOMPARE(cfgetispeed(&t), speed_t(B9600));
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INPCK), tcflag_t(0));
        QVERIFY(t.c_iflag & IGNBRK);
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(int(t.c_cc[VMIN]), 0);
        QCOMPARE(int(t.c_cc[VTIME]), 0);

        // Line settings reach the open port at once.
        comm.setBaudrate(br19200);
        comm.setStopbits(sb2);
        t = slaveSettings();
        QCOMPARE(cfgetispeed(&t), speed_t(B19200));
        QVERIFY(t.c_cflag & CSTOPB);
        comm.setUserBaudrate(115200);
        QCOMPARE(comm.Baudrate(), brUser);
        t = slaveSettings();
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        comm.FlowControl().setXonXoffOut(true);
        QVERIFY(slaveSettings().c_iflag & IXON);
        comm.EventChars().setXonChar(1);
        QCOMPARE(int(slaveSettings().c_cc[VSTART]), 1);
    }

    void settingsLinuxCannotDo_data() {
        QTest::addColumn<std::function<void(TVaComm&)>>("change");
        QTest::addColumn<std::function<bool(const TVaComm&)>>("unchanged");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("kernelMayRefuseFirst");
        using Change = std::function<void(TVaComm&)>;
        using Check = std::function<bool(const TVaComm&)>;
        QTest::newRow("1.5 stop bits")
            << Change([](TVaComm& c) { c.setStopbits(sb15); })
            << Check([](const TVaComm& c) { return c.Stopbits() == sb1; })
            << "1.5 stop bits are not available on this system" << false;
        QTest::newRow("4 data bits") << Change([](TVaComm& c) { c.setDatabits(db4); })
                                     << Check([](const TVaComm& c) { return c.Databits() == db8; })
                                     << "4 data bits are not available on this system" << false;
        QTest::newRow("14400 bit/s")
            << Change([](TVaComm& c) { c.setBaudrate(br14400); })
            << Check([](const TVaComm& c) { return c.Baudrate() == br9600; })
            << "baud rate 14400 bit/s is not available on this system" << false;
        QTest::newRow("user rate 12345")
            << Change([](TVaComm& c) { c.setUserBaudrate(12345); }) << Check([](const TVaComm& c) {
                   return c.Baudrate() == br9600 && c.UserBaudrate() == 0;
               })
            << "baud rate 12345 bit/s is not available on this system" << false;
        QTest::newRow("null stripping")
            << Change([](TVaComm& c) { c.setOptions(coNullStrip); })
            << Check([](const TVaComm& c) { return c.Options() == 0; })
            << "discarding NUL bytes is not available on this system" << false;
        QTest::newRow("DSR flow") << Change([](TVaComm& c) {
            c.FlowControl().setOutDsrFlow(true);
        }) << Check([](const TVaComm& c) { return !c.FlowControl().OutDsrFlow(); })
                                  << "DSR output flow control is not available on this system"
                                  << false;
        // A pseudo-terminal always runs 8 bits without parity; depending on
        // the kernel, tcsetattr refuses it or the readback finds it missing.
        QTest::newRow("parity the device refuses")
            << Change([](TVaComm& c) { c.setParity(paEven); })
            << Check([](const TVaComm& c) { return c.Parity() == paNone; })
            << "the device did not take the parity" << true;
    }
    void settingsLinuxCannotDo() {
        QFETCH(std::function<void(TVaComm&)>, change);
        QFETCH(std::function<bool(const TVaComm&)>, unchanged);
        QFETCH(QString, detail);
        QFETCH(bool, kernelMayRefuseFirst);
        const QString refused = QStringLiteral("Error writing dcb (22), Invalid argument");
        const QString expected = refused + QStringLiteral(" (%1)").arg(detail);
        auto check = [&](const QString& text) {
            return text == expected || (kernelMayRefuseFirst && text == refused);
        };
        TVaComm comm;
        configure(comm);
        comm.Open();
        const QString whileOpen = errorText([&] { change(comm); });
        QVERIFY2(check(whileOpen), qPrintable(whileOpen));
        QVERIFY(unchanged(comm));
        QVERIFY(comm.Active());
        termios t = slaveSettings();
        QCOMPARE(cfgetispeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

        // While closed the value is only stored; Open then refuses it and
        // leaves the port closed.
        comm.Close();
        change(comm);
        QVERIFY(!unchanged(comm));
        const QString onOpen = errorText([&] { comm.Open(); });
        QVERIFY2(check(onOpen), qPrintable(onOpen));
        QVERIFY(!comm.Active());
    }

    void burstGivesOneRxCharWithQueueLength() {
        TVaComm comm;
        configure(comm);
        QList<int> counts;
        QByteArray received;
        comm.OnRxChar = [&](QObject* sender, int count) {
            QCOMPARE(sender, &comm);
            counts.append(count);
            received += comm.ReadText();
        };
        comm.Open();
        QByteArray burst;
        for (int i = 0; i < 10; ++i)
            burst += "ST,GS,+  12.500kg\r\n";
        QVERIFY(m_pty->write(burst));
        QVERIFY(waitWithoutEvents(
            [&] { return comm.PendingHandOvers() > 0 && m_pty->slaveWaiting() == burst.size(); }));
        QTRY_COMPARE(counts.size(), 1);
        QCOMPARE(counts.first(), int(burst.size()));
        QCOMPARE(received, burst);
        QTRY_COMPARE(comm.PendingHandOvers(), 0);
        QCOMPARE(counts.size(), 1);
        QCOMPARE(comm.ReadText(), QByteArray());
    }

    void eventWithNothingWaitingCallsNothing() {
        TVaComm comm;
        configure(comm);
        int calls = 0;
        comm.OnRxChar = [&](QObject*, int) { ++calls; };
        comm.Open();
        QVERIFY(m_pty->write("US,NT,-   0.35 kg\r\n"));
        QVERIFY(waitWithoutEvents([&] { return comm.PendingHandOvers() > 0; }));
        // The bytes are taken before the hand-over runs.
        QByteArray taken;
        QVERIFY(waitWithoutEvents([&] {
            taken += comm.ReadText();
            return taken.size() == 19;
        }));
        QTRY_COMPARE(comm.PendingHandOvers(), 0);
        QCOMPARE(calls, 0);
    }

    void closeWithHandOverPendingCallsNothing() {
        TVaComm comm;
        configure(comm);
        int calls = 0;
        int closes = 0;
        comm.OnRxChar = [&](QObject*, int) { ++calls; };
        comm.OnClose = [&](QObject*) { ++closes; };
        comm.Open();
        QVERIFY(m_pty->write("ST,GS,+  12.500kg\r\n"));
        QVERIFY(waitWithoutEvents([&] { return comm.PendingHandOvers() > 0; }));
        comm.Close();
        QCOMPARE(closes, 1);
        QTRY_COMPARE(comm.PendingHandOvers(), 0);
        QCOMPARE(calls, 0);
        comm.Close();
        QCOMPARE(closes, 1);
        QCOMPARE(comm.ReadText(), QByteArray());
    }

    void closeAndReopenWithHandOverPending() {
        TVaComm comm;
        configure(comm);
        QList<QByteArray> texts;
        comm.OnRxChar = [&](QObject*, int) { texts.append(comm.ReadText()); };
        comm.Open();
        QVERIFY(m_pty->write("ST,GS,+  12.500kg\r\n"));
        QVERIFY(waitWithoutEvents([&] { return comm.PendingHandOvers() > 0; }));
        comm.Close();
        comm.Open();
        // The stale hand-over must not read what the new opening receives.
        QVERIFY(m_pty->write("US,GS,+   1.000kg\r\n"));
        QVERIFY(waitWithoutEvents([&] { return m_pty->slaveWaiting() > 0; }));
        QTRY_VERIFY(!texts.isEmpty());
        QTRY_COMPARE(comm.PendingHandOvers(), 0);
        QCOMPARE(texts, QList<QByteArray>{"US,GS,+   1.000kg\r\n"});
    }

    void handlersNeverOverlapEvenInModalLoop() {
        TVaComm comm;
        configure(comm);
        int depth = 0;
        int deepest = 0;
        int calls = 0;
        QByteArray received;
        comm.OnRxChar = [&](QObject*, int) {
            ++depth;
            deepest = std::max(deepest, depth);
            ++calls;
            received += comm.ReadText();
            if (calls == 1) {
                // A modal window shown from the handler runs its own loop;
                // text arriving meanwhile must wait in the port.
                QVERIFY(m_pty->write("second\r\n"));
                QEventLoop modal;
                QTimer poll;
                QObject::connect(&poll, &QTimer::timeout, [&] {
                    if (m_pty->slaveWaiting() >= 8)
                        modal.quit();
                });
                poll.start(1);
                modal.exec();
            }
            --depth;
        };
        comm.Open();
        QVERIFY(m_pty->write("first\r\n"));
        QTRY_COMPARE(calls, 2);
        QCOMPARE(deepest, 1);
        QCOMPARE(received, QByteArray("first\r\nsecond\r\n"));
    }

    void handlerErrorIsShownAndReceptionGoesOn() {
        TVaComm comm;
        configure(comm);
        int calls = 0;
        comm.OnRxChar = [&](QObject*, int) {
            comm.ReadText();
            if (++calls == 1)
                throw AppError(QStringLiteral("'x' is not a valid floating point value"));
        };
        comm.Open();
        QVERIFY(m_pty->write("a"));
        QTRY_COMPARE(m_messages->texts, QStringList{"'x' is not a valid floating point value"});
        QVERIFY(m_pty->write("b"));
        QTRY_COMPARE(calls, 2);
        QCOMPARE(m_messages->texts.size(), 1);
    }

    void openAndCloseEvents() {
        TVaComm comm;
        configure(comm);
        QStringList seen;
        comm.OnOpen = [&](QObject* s) { seen << (s == &comm ? "open" : "?"); };
        comm.OnClose = [&](QObject* s) { seen << (s == &comm ? "close" : "?"); };
        comm.Open();
        comm.Close();
        comm.Close();
        QCOMPARE(seen, (QStringList{"open", "close"}));
    }

    void lineErrorsClearedSilently() {
        CountingComm comm;
        configure(comm);
        QList<int> errors;
        int calls = 0;
        comm.OnRxChar = [&](QObject*, int) {
            comm.ReadText();
            ++calls;
        };
        comm.OnError = [&](QObject*, int e) { errors.append(e); };
        comm.Open();
        comm.counters.frame = 2;
        comm.counters.overrun = 1;
        QVERIFY(m_pty->write("x"));
        QTRY_COMPARE(calls, 1);
        QTRY_COMPARE(errors, QList<int>{ceFrame | ceOverrun});
        // Remembered counters are cleared errors: a quiet line reports none.
        QVERIFY(m_pty->write("y"));
        QTRY_COMPARE(calls, 2);
        QTRY_COMPARE(comm.PendingHandOvers(), 0);
        QCOMPARE(errors.size(), 1);
        comm.counters.parity = 1;
        comm.counters.brk = 4;
        QVERIFY(m_pty->write("z"));
        QTRY_COMPARE(errors.size(), 2);
        QCOMPARE(errors.last(), ceRxParity | ceBreakError);
        QVERIFY(m_messages->texts.isEmpty());
    }

    void lineErrorsWithoutHandlerGoUnnoticed() {
        CountingComm comm;
        configure(comm);
        int calls = 0;
        comm.OnRxChar = [&](QObject*, int) {
            comm.ReadText();
            ++calls;
        };
        comm.Open();
        comm.counters.frame = 1;
        QVERIFY(m_pty->write("x"));
        QTRY_COMPARE(calls, 1);
        QVERIFY(m_messages->texts.isEmpty());
    }

    void farEndVanishingDoesNotSpin() {
        TVaComm comm;
        configure(comm);
        int calls = 0;
        comm.OnRxChar = [&](QObject*, int) {
            comm.ReadText();
            ++calls;
        };
        comm.Open();
        QVERIFY(m_pty->write("x"));
        QTRY_COMPARE(calls, 1);
        m_pty->closeSlave();
        m_pty->closeMaster();

        const qint64 cpuBefore = processCpuMicroseconds();
        bool timerRan = false;
        QTimer::singleShot(0, [&] { timerRan = true; });
        // A measuring window, not a wait: a thread stuck on the dead
        // descriptor would burn the whole window.
        idle(300);
        const qint64 cpuUsed = processCpuMicroseconds() - cpuBefore;
        QVERIFY(timerRan);
        QVERIFY2(cpuUsed < 100000, qPrintable(QStringLiteral("%1 us").arg(cpuUsed)));
        QCOMPARE(comm.ReadText(), QByteArray());
        QCOMPARE(calls, 1);
        // Without a hang-up handler the channel's error is shown, once.
        QTRY_COMPARE(
            m_messages->texts,
            QStringList{QStringLiteral("Device disconnected (COM1, %1).").arg(m_pty->slavePath())});

        comm.Close();
        QVERIFY(!comm.Active());
        m_pty = std::make_unique<PtyPair>();
        comm.setDevicePath(m_pty->slavePath());
        comm.Open();
        QVERIFY(m_pty->write("y"));
        QTRY_COMPARE(calls, 2);
    }

    void unplugAndReplugThroughDeviceLink() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyScale"));
        QVERIFY(repoint(link, m_pty->slavePath()));
        TVaComm comm;
        configure(comm);
        comm.setDevicePath(link);
        comm.setReopenInterval(20);
        QByteArray received;
        QStringList hangUps;
        int opens = 0;
        comm.OnRxChar = [&](QObject*, int) { received += comm.ReadText(); };
        comm.OnOpen = [&](QObject*) { ++opens; };
        comm.OnHangUp = [&](QObject*, const QString& text) { hangUps << text; };
        comm.Open();
        auto unplugAndWaitForHangUp = [&] {
            // The node goes away with the device, as a USB adapter's does; a
            // link left on the old pseudo-terminal's number could meet another
            // test's new one.
            QVERIFY(repoint(link, dir.filePath(QStringLiteral("gone"))));
            m_pty->closeSlave();
            m_pty->closeMaster();
            QTRY_COMPARE(hangUps.size(), opens);
            QVERIFY(!comm.Active());
        };
        unplugAndWaitForHangUp();
        QCOMPARE(hangUps.first(), QStringLiteral("Device disconnected (COM1, %1).").arg(link));
        idle(200); // every try fails while the device is away, quietly
        QVERIFY(!comm.Active() && m_messages->texts.isEmpty());

        m_pty = std::make_unique<PtyPair>();
        QVERIFY(repoint(link, m_pty->slavePath()));
        QTRY_COMPARE(opens, 2);
        QVERIFY(m_pty->write("b"));
        QTRY_COMPARE(received, QByteArray("b"));

        // A Close by the program ends the reopening for good.
        unplugAndWaitForHangUp();
        comm.Close();
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(repoint(link, m_pty->slavePath()));
        idle(200);
        QVERIFY(!comm.Active() && m_messages->texts.isEmpty());
    }

    void readTextWhenClosedIsEmpty() {
        TVaComm comm;
        QCOMPARE(comm.ReadText(), QByteArray());
        QCOMPARE(comm.InQueCount(), 0);
    }

    void destroyingOpenPortWithHandOverPending() {
        auto comm = std::make_unique<TVaComm>();
        configure(*comm);
        int calls = 0;
        int closes = 0;
        comm->OnRxChar = [&](QObject*, int) { ++calls; };
        comm->OnClose = [&](QObject*) { ++closes; };
        comm->Open();
        QVERIFY(m_pty->write("x"));
        QVERIFY(waitWithoutEvents([&] { return comm->PendingHandOvers() > 0; }));
        comm.reset();
        // Posted after the hand-over, so it runs after it.
        bool later = false;
        QMetaObject::invokeMethod(
            qApp, [&] { later = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(later);
        QCOMPARE(calls, 0);
        QCOMPARE(closes, 0);
    }
};

QTEST_GUILESS_MAIN(VaCommTest)
#include "vacomm_test.moc"
