#pragma once

// The serial channel to the weighing indicator. TVaComm opens one port, an
// event thread waits for input and hands each event to the GUI thread with a
// blocking call, so handlers never overlap and text arriving meanwhile waits
// in the driver's queue. The operating-system side lives in vacomm_posix.cpp.

#include "platform/apperror.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class EVaCommError : public AppError {
public:
    using AppError::AppError;
};

enum TVaBaudrate {
    brUser,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TVaDatabits { db4, db5, db6, db7, db8 };
enum TVaParity { paNone, paOdd, paEven, paMark, paSpace };
enum TVaStopbits { sb1, sb15, sb2 };
enum TVaControlDtr { dtrDisabled, dtrEnabled, dtrHandshake };
enum TVaControlRts { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };
enum TVaThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Set members carry the Win32 bit values (DCB flags, EV_ events), so that a
// Windows back end can hand a set to the system as it is.
using TVaCommOptions = unsigned;
constexpr TVaCommOptions coErrorChar = 0x400;
constexpr TVaCommOptions coNullStrip = 0x800;
constexpr TVaCommOptions coParityCheck = 0x2;

using TVaCommEvents = unsigned;
constexpr TVaCommEvents ceRxChar = 0x1;
constexpr TVaCommEvents ceRxFlag = 0x2;
constexpr TVaCommEvents ceTxEmpty = 0x4;
constexpr TVaCommEvents ceCts = 0x8;
constexpr TVaCommEvents ceDsr = 0x10;
constexpr TVaCommEvents ceRlsd = 0x20;
constexpr TVaCommEvents ceBreak = 0x40;
constexpr TVaCommEvents ceError = 0x80;
constexpr TVaCommEvents ceRing = 0x100;
constexpr TVaCommEvents cePErr = 0x200;
constexpr TVaCommEvents ceRx80Full = 0x400;
constexpr TVaCommEvents ceEvent1 = 0x800;
constexpr TVaCommEvents ceEvent2 = 0x1000;
constexpr TVaCommEvents ceAll = 0x1FFF;
constexpr TVaCommEvents ceDefault = ceError | ceRxChar | ceTxEmpty;

// Line error bits handed to OnError (the Win32 CE_ values).
constexpr int ceRxOver = 0x1;
constexpr int ceOverrun = 0x2;
constexpr int ceRxParity = 0x4;
constexpr int ceFrame = 0x8;
constexpr int ceBreakError = 0x10;

// The rate in bit/s that a Baudrate value names; 0 for brUser.
int baudrateValue(TVaBaudrate baudrate);

class TVaCustomComm;

// A group of properties. Groups that belong to the line settings re-apply
// them to an open port at once.
class TVaPersistent {
public:
    TVaPersistent(const TVaPersistent&) = delete;
    TVaPersistent& operator=(const TVaPersistent&) = delete;
    virtual ~TVaPersistent() = default;

protected:
    explicit TVaPersistent(TVaCustomComm* owner) : m_owner(owner) {}
    // The open port must run with what the group says, so a value the port
    // refuses is taken back before the error goes on.
    template <class T> void changeLineValue(T& field, T value);
    template <class T> void changeClosedValue(T& field, T value);

    TVaCustomComm* m_owner;
};

class TVaFlowControl : public TVaPersistent {
public:
    explicit TVaFlowControl(TVaCustomComm* owner) : TVaPersistent(owner) {}

    bool OutCtsFlow() const { return m_outCtsFlow; }
    bool OutDsrFlow() const { return m_outDsrFlow; }
    bool XonXoffOut() const { return m_xonXoffOut; }
    bool XonXoffIn() const { return m_xonXoffIn; }
    bool DsrSensitivity() const { return m_dsrSensitivity; }
    bool TxContinueOnXoff() const { return m_txContinueOnXoff; }
    TVaControlDtr ControlDtr() const { return m_controlDtr; }
    TVaControlRts ControlRts() const { return m_controlRts; }

    void setOutCtsFlow(bool v) { changeLineValue(m_outCtsFlow, v); }
    void setOutDsrFlow(bool v) { changeLineValue(m_outDsrFlow, v); }
    void setXonXoffOut(bool v) { changeLineValue(m_xonXoffOut, v); }
    void setXonXoffIn(bool v) { changeLineValue(m_xonXoffIn, v); }
    void setDsrSensitivity(bool v) { changeLineValue(m_dsrSensitivity, v); }
    void setTxContinueOnXoff(bool v) { changeLineValue(m_txContinueOnXoff, v); }
    void setControlDtr(TVaControlDtr v) { changeLineValue(m_controlDtr, v); }
    void setControlRts(TVaControlRts v) { changeLineValue(m_controlRts, v); }

private:
    bool m_outCtsFlow = false;
    bool m_outDsrFlow = false;
    bool m_xonXoffOut = false;
    bool m_xonXoffIn = false;
    bool m_dsrSensitivity = false;
    bool m_txContinueOnXoff = false;
    TVaControlDtr m_controlDtr = dtrDisabled;
    TVaControlRts m_controlRts = rtsDisabled;
};

class TVaEventChars : public TVaPersistent {
public:
    explicit TVaEventChars(TVaCustomComm* owner) : TVaPersistent(owner) {}

    std::uint8_t XonChar() const { return m_xonChar; }
    std::uint8_t XoffChar() const { return m_xoffChar; }
    std::uint8_t ErrorChar() const { return m_errorChar; }
    std::uint8_t EventChar() const { return m_eventChar; }
    std::uint8_t EofChar() const { return m_eofChar; }

    void setXonChar(std::uint8_t v) { changeLineValue(m_xonChar, v); }
    void setXoffChar(std::uint8_t v) { changeLineValue(m_xoffChar, v); }
    void setErrorChar(std::uint8_t v) { changeLineValue(m_errorChar, v); }
    void setEventChar(std::uint8_t v) { changeLineValue(m_eventChar, v); }
    void setEofChar(std::uint8_t v) { changeLineValue(m_eofChar, v); }

private:
    std::uint8_t m_xonChar = 17;
    std::uint8_t m_xoffChar = 19;
    std::uint8_t m_errorChar = 0;
    std::uint8_t m_eventChar = 0;
    std::uint8_t m_eofChar = 0;
};

// Driver queue sizes and time-outs. Linux has no per-port queue sizes and the
// port is read without blocking, so they are kept for callers only.
class TVaBuffers : public TVaPersistent {
public:
    explicit TVaBuffers(TVaCustomComm* owner) : TVaPersistent(owner) {}

    int ReadSize() const { return m_readSize; }
    int WriteSize() const { return m_writeSize; }
    int ReadTimeout() const { return m_readTimeout; }
    int WriteTimeout() const { return m_writeTimeout; }
    int XonLimit() const { return m_xonLimit; }
    int XoffLimit() const { return m_xoffLimit; }

    void setReadSize(int v) { changeClosedValue(m_readSize, v); }
    void setWriteSize(int v) { changeClosedValue(m_writeSize, v); }
    void setReadTimeout(int v) { changeClosedValue(m_readTimeout, v); }
    void setWriteTimeout(int v) { changeClosedValue(m_writeTimeout, v); }
    void setXonLimit(int v) { changeClosedValue(m_xonLimit, v); }
    void setXoffLimit(int v) { changeClosedValue(m_xoffLimit, v); }

private:
    int m_readSize = 4096;
    int m_writeSize = 2048;
    int m_readTimeout = 1000;
    int m_writeTimeout = 1000;
    int m_xonLimit = 1024;
    int m_xoffLimit = 1024;
};

// Counters of line errors since the device was opened; they only grow.
struct TVaLineCounters {
    std::uint64_t frame = 0;
    std::uint64_t overrun = 0;
    std::uint64_t parity = 0;
    std::uint64_t brk = 0;
    std::uint64_t bufOverrun = 0;
};

// What an event thread shares with the GUI thread for one opening of a port.
// Everything but `closed` and the wake-up descriptor is touched on the GUI
// thread only.
struct TVaCommShared {
    TVaCommShared(quint64 gen, std::shared_ptr<std::atomic<int>> inFlight);
    ~TVaCommShared();
    TVaCommShared(const TVaCommShared&) = delete;
    TVaCommShared& operator=(const TVaCommShared&) = delete;

    std::atomic<bool> closed{false};
    const quint64 generation;
    int wakeFd = -1; // written once at Close, never read back
    std::shared_ptr<std::atomic<int>> pending;
    std::atomic<quint64> handled{0}; // hand-overs the GUI thread has finished
    TVaCustomComm* port = nullptr;
};

// Waits for input and hang-up on its own duplicate of the port's descriptor
// and hands every input event to the GUI thread, waiting until it has been
// handled. Detached: Close signals it and never waits for it.
class TVaCommEventThread {
public:
    // Watches its own duplicate of `portFd`; throws EVaCommError when the
    // waiting cannot be set up.
    static void start(std::shared_ptr<TVaCommShared> shared, int portFd, TVaCommEvents mask);
    static void handOver(const std::shared_ptr<TVaCommShared>& shared, TVaCommEvents mask);
    // Tells the GUI thread that the device went away; does not wait.
    static void reportHangUp(const std::shared_ptr<TVaCommShared>& shared);
};

// The transmit side. Nothing is ever sent to the indicator, so it only waits
// for Close.
class TVaCommWriteThread {
public:
    static void start(std::shared_ptr<TVaCommShared> shared);
};

class TVaCustomComm : public QObject {
    Q_OBJECT
public:
    explicit TVaCustomComm(QObject* parent = nullptr);
    ~TVaCustomComm() override;

    // Properties that need a closed port.
    int PortNum() const { return m_portNum; }
    void setPortNum(int portNum);
    QString DeviceName() const { return m_deviceName; }
    void setDeviceName(const QString& deviceName);
    // When not empty, this path is opened instead of the device the COM name
    // maps to (COM1 is /dev/ttyS0).
    QString devicePath() const { return m_devicePath; }
    void setDevicePath(const QString& path);
    TVaCommEvents MonitorEvents() const { return m_monitorEvents; }
    void setMonitorEvents(TVaCommEvents events);
    bool UpdateDCB() const { return m_updateDCB; }
    void setUpdateDCB(bool update);
    bool DirectWrite() const { return m_directWrite; }
    void setDirectWrite(bool direct);

    // Line settings, applied to an open port at once.
    TVaBaudrate Baudrate() const { return m_baudrate; }
    void setBaudrate(TVaBaudrate baudrate);
    int UserBaudrate() const { return m_userBaudrate; }
    void setUserBaudrate(int rate);
    TVaDatabits Databits() const { return m_databits; }
    void setDatabits(TVaDatabits databits);
    TVaParity Parity() const { return m_parity; }
    void setParity(TVaParity parity);
    TVaStopbits Stopbits() const { return m_stopbits; }
    void setStopbits(TVaStopbits stopbits);
    TVaCommOptions Options() const { return m_options; }
    void setOptions(TVaCommOptions options);
    TVaFlowControl& FlowControl() { return m_flowControl; }
    const TVaFlowControl& FlowControl() const { return m_flowControl; }
    TVaEventChars& EventChars() { return m_eventChars; }
    const TVaEventChars& EventChars() const { return m_eventChars; }
    TVaBuffers& Buffers() { return m_buffers; }
    const TVaBuffers& Buffers() const { return m_buffers; }

    // Kept for callers; an unprivileged Linux process cannot raise a thread's
    // priority, so the threads run at the normal one.
    TVaThreadPriority EventPriority() const { return m_eventPriority; }
    void setEventPriority(TVaThreadPriority p) { m_eventPriority = p; }
    TVaThreadPriority WritePriority() const { return m_writePriority; }
    void setWritePriority(TVaThreadPriority p) { m_writePriority = p; }
    bool AutoOpen() const { return m_autoOpen; }
    void setAutoOpen(bool autoOpen) { m_autoOpen = autoOpen; }
    // Called once the owner has set the properties up; opens when AutoOpen.
    void Loaded();

    // The port's name as the operator knows it ("COM3") and the device tried.
    QString PortName() const;
    QString DevicePathInUse() const;
    // The events the event thread is asked to report.
    TVaCommEvents EventMask() const;

    void Open();
    // Also stops the reopening after a hang-up.
    void Close();
    bool Active() const { return m_fd >= 0; }
    // True between a hang-up and the reopening that succeeds (or a Close or
    // Open by the program).
    bool Reopening() const { return m_reopening; }
    // Time between attempts to reopen a device that hung up, in ms.
    int ReopenInterval() const { return m_reopenTimer.interval(); }
    void setReopenInterval(int ms) { m_reopenTimer.setInterval(ms); }
    // Every byte waiting in the input queue, unconverted; empty when closed.
    QByteArray ReadText();
    // Reads at most `count` waiting bytes; returns how many it read.
    int ReadBuf(char* buffer, int count);
    // Bytes in the input queue; 0 when closed.
    int InQueCount();
    // Hand-overs made by event threads and not yet handled (any generation).
    int PendingHandOvers() const { return m_pending->load(); }

    // Received text is handled one delivery at a time. OnRxChar runs under a
    // hold, and so must any other handler that decodes received text (a
    // timer that releases what a delivery left): while one runs, even in the
    // loop of a modal box it opened, deliveries leave the bytes in the port.
    // When the outermost hold ends, bytes that came meanwhile are reported
    // again.
    class RxHold {
    public:
        explicit RxHold(TVaCustomComm& comm);
        ~RxHold();
        RxHold(const RxHold&) = delete;
        RxHold& operator=(const RxHold&) = delete;

    private:
        TVaCustomComm& m_comm;
    };
    bool RxHeld() const { return m_rxHolds > 0; }

    std::function<void(QObject* sender, int count)> OnRxChar;
    std::function<void(QObject* sender)> OnOpen;
    std::function<void(QObject* sender)> OnClose;
    std::function<void(QObject* sender, int errors)> OnError;
    // The device went away by itself (unplugged, far end closed). The port
    // is closed already and is reopened every ReopenInterval until that
    // succeeds, which calls OnOpen. Without a handler the text is shown as
    // an error, once per hang-up.
    std::function<void(QObject* sender, const QString& message)> OnHangUp;

protected:
    // Reads the driver's line error counters; false when the driver keeps
    // none. A seam, as no pseudo-terminal can produce a line error.
    virtual bool queryLineCounters(TVaLineCounters& counters);

private:
    friend class TVaPersistent;
    friend class TVaCommEventThread;

    void checkClosed() const;
    void lineSettingsChanged();
    template <class T> void changeLineSetting(T& field, T value);
    void stopThreads();
    void dispatch(const TVaCommShared& shared, TVaCommEvents mask);
    void rxChar();
    int takeLineErrors();
    static void deliver(const std::shared_ptr<TVaCommShared>& shared, TVaCommEvents mask);
    static void hangUp(const std::shared_ptr<TVaCommShared>& shared);
    // For the GUI thread, the descriptor in use; null when it is not.
    static TVaCustomComm* current(const std::shared_ptr<TVaCommShared>& shared);
    void openDevice();
    void loseDevice();
    void retryOpen();
    void stopReopening();

    int m_portNum = 0;
    QString m_deviceName = QStringLiteral("\\\\.\\COM%d");
    QString m_devicePath;
    TVaBaudrate m_baudrate = br1200;
    int m_userBaudrate = 0;
    TVaDatabits m_databits = db8;
    TVaParity m_parity = paNone;
    TVaStopbits m_stopbits = sb1;
    TVaCommOptions m_options = 0;
    TVaCommEvents m_monitorEvents = ceDefault;
    TVaThreadPriority m_eventPriority = tpNormal;
    TVaThreadPriority m_writePriority = tpHighest;
    bool m_updateDCB = true;
    bool m_directWrite = false;
    bool m_autoOpen = false;
    bool m_destroying = false;
    bool m_reopening = false;
    int m_rxHolds = 0;
    bool m_rxDeferred = false;
    QTimer m_reopenTimer;
    TVaFlowControl m_flowControl{this};
    TVaEventChars m_eventChars{this};
    TVaBuffers m_buffers{this};

    int m_fd = -1;
    quint64 m_generation = 0;
    std::shared_ptr<TVaCommShared> m_shared;
    std::shared_ptr<TVaCommShared> m_writeShared;
    std::shared_ptr<std::atomic<int>> m_pending = std::make_shared<std::atomic<int>>(0);
    TVaLineCounters m_lastCounters;
    std::mutex m_readLock;
};

// The component placed on the main window.
class TVaComm : public TVaCustomComm {
    Q_OBJECT
public:
    explicit TVaComm(QObject* parent = nullptr) : TVaCustomComm(parent) {}
};

template <class T> void TVaPersistent::changeLineValue(T& field, T value) {
    m_owner->changeLineSetting(field, value);
}

template <class T> void TVaPersistent::changeClosedValue(T& field, T value) {
    if (field == value)
        return;
    m_owner->checkClosed();
    field = value;
}

template <class T> void TVaCustomComm::changeLineSetting(T& field, T value) {
    if (field == value)
        return;
    const T previous = field;
    field = value;
    try {
        lineSettingsChanged();
    } catch (...) {
        field = previous;
        throw;
    }
}
