#include "link/vacomm.h"

#include "link/vacomm_os.h"
#include "platform/boundary.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <utility>

#include <unistd.h>

namespace {

const QString kPortOpen = QStringLiteral("Can't perform this operation while port is open");

} // namespace

int baudrateValue(TVaBaudrate baudrate) {
    static const int rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const int i = int(baudrate);
    return i >= 0 && i < int(std::size(rates)) ? rates[i] : 0;
}

TVaCommShared::TVaCommShared(quint64 gen, std::shared_ptr<std::atomic<int>> inFlight)
    : generation(gen), pending(std::move(inFlight)) {}

TVaCommShared::~TVaCommShared() {
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void TVaCommEventThread::handOver(const std::shared_ptr<TVaCommShared>& shared,
                                  TVaCommEvents mask) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || shared->closed.load())
        return;
    // Waiting on the GUI thread from the GUI thread would never end.
    Q_ASSERT(QThread::currentThread() != app->thread());
    shared->pending->fetch_add(1);
    // Blocking: the next event is waited for only after this one has been
    // handled, so handlers never overlap.
    QMetaObject::invokeMethod(
        app,
        [shared, mask] {
            TVaCustomComm::deliver(shared, mask);
            shared->handled.fetch_add(1, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    // Qt's semaphore already orders the handler before this point; the
    // acquire states it in terms ThreadSanitizer can check, since the
    // distribution's Qt is not instrumented.
    shared->handled.load(std::memory_order_acquire);
    shared->pending->fetch_sub(1);
}

void TVaCommEventThread::reportHangUp(const std::shared_ptr<TVaCommShared>& shared) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || shared->closed.load())
        return;
    // Not blocking: the thread ends right after, and the GUI thread may be
    // closing the port at this moment.
    shared->pending->fetch_add(1);
    QMetaObject::invokeMethod(
        app,
        [shared] {
            TVaCustomComm::hangUp(shared);
            shared->pending->fetch_sub(1);
        },
        Qt::QueuedConnection);
}

TVaCustomComm::TVaCustomComm(QObject* parent) : QObject(parent) {
    m_reopenTimer.setSingleShot(true);
    m_reopenTimer.setInterval(1000);
    connect(&m_reopenTimer, &QTimer::timeout, this, [this] { retryOpen(); });
}

TVaCustomComm::~TVaCustomComm() {
    m_destroying = true;
    Close();
}

void TVaCustomComm::checkClosed() const {
    if (Active())
        throw EVaCommError(kPortOpen);
}

void TVaCustomComm::setPortNum(int portNum) {
    checkClosed();
    m_portNum = portNum;
}

void TVaCustomComm::setDeviceName(const QString& deviceName) {
    checkClosed();
    m_deviceName = deviceName;
}

void TVaCustomComm::setDevicePath(const QString& path) {
    checkClosed();
    m_devicePath = path;
}

void TVaCustomComm::setMonitorEvents(TVaCommEvents events) {
    checkClosed();
    m_monitorEvents = events & ceAll;
}

void TVaCustomComm::setUpdateDCB(bool update) {
    checkClosed();
    m_updateDCB = update;
}

void TVaCustomComm::setDirectWrite(bool direct) {
    checkClosed();
    m_directWrite = direct;
}

void TVaCustomComm::setBaudrate(TVaBaudrate baudrate) {
    changeLineSetting(m_baudrate, baudrate);
}

void TVaCustomComm::setUserBaudrate(int rate) {
    if (m_userBaudrate == rate && m_baudrate == brUser)
        return;
    const int previousRate = m_userBaudrate;
    const TVaBaudrate previous = m_baudrate;
    m_userBaudrate = rate;
    m_baudrate = brUser;
    try {
        lineSettingsChanged();
    } catch (...) {
        m_userBaudrate = previousRate;
        m_baudrate = previous;
        throw;
    }
}

void TVaCustomComm::setDatabits(TVaDatabits databits) {
    changeLineSetting(m_databits, databits);
}

void TVaCustomComm::setParity(TVaParity parity) {
    changeLineSetting(m_parity, parity);
}

void TVaCustomComm::setStopbits(TVaStopbits stopbits) {
    changeLineSetting(m_stopbits, stopbits);
}

void TVaCustomComm::setOptions(TVaCommOptions options) {
    changeLineSetting(m_options, options);
}

void TVaCustomComm::lineSettingsChanged() {
    if (!Active() || !m_updateDCB)
        return;
    vacomm_os::LineSettings s;
    s.baudrate = m_baudrate == brUser ? m_userBaudrate : baudrateValue(m_baudrate);
    s.databits = m_databits;
    s.parity = m_parity;
    s.stopbits = m_stopbits;
    s.options = m_options;
    s.outCtsFlow = m_flowControl.OutCtsFlow();
    s.outDsrFlow = m_flowControl.OutDsrFlow();
    s.xonXoffOut = m_flowControl.XonXoffOut();
    s.xonXoffIn = m_flowControl.XonXoffIn();
    s.dsrSensitivity = m_flowControl.DsrSensitivity();
    s.txContinueOnXoff = m_flowControl.TxContinueOnXoff();
    s.controlDtr = m_flowControl.ControlDtr();
    s.controlRts = m_flowControl.ControlRts();
    s.xonChar = m_eventChars.XonChar();
    s.xoffChar = m_eventChars.XoffChar();
    vacomm_os::applyLineSettings(m_fd, s);
}

void TVaCustomComm::Loaded() {
    if (m_autoOpen && !Active())
        Open();
}

QString TVaCustomComm::PortName() const {
    QString name = m_deviceName;
    name.replace(QStringLiteral("%d"), QString::number(m_portNum));
    // The Win32 device namespace prefix means nothing to an operator.
    const QString prefix = QStringLiteral("\\\\.\\");
    if (name.startsWith(prefix))
        name.remove(0, prefix.size());
    return name;
}

QString TVaCustomComm::DevicePathInUse() const {
    return m_devicePath.isEmpty() ? vacomm_os::devicePathFor(PortName()) : m_devicePath;
}

TVaCommEvents TVaCustomComm::EventMask() const {
    TVaCommEvents mask = m_monitorEvents;
    if (!m_directWrite)
        mask &= ~ceTxEmpty;
    return mask;
}

void TVaCustomComm::Open() {
    checkClosed();
    stopReopening();
    openDevice();
    if (OnOpen)
        atBoundary([this] { OnOpen(this); });
}

void TVaCustomComm::openDevice() {
    const int fd = vacomm_os::openPort(PortName(), DevicePathInUse());
    m_fd = fd;
    try {
        lineSettingsChanged();
        vacomm_os::flushInput(fd);
        m_lastCounters = TVaLineCounters{};
        queryLineCounters(m_lastCounters);
        ++m_generation;
        const TVaCommEvents mask = EventMask();
        if (mask != 0) {
            auto shared = std::make_shared<TVaCommShared>(m_generation, m_pending);
            shared->port = this;
            TVaCommEventThread::start(shared, fd, mask);
            m_shared = std::move(shared);
        }
        if (!m_directWrite) {
            auto shared = std::make_shared<TVaCommShared>(m_generation, m_pending);
            TVaCommWriteThread::start(shared);
            m_writeShared = std::move(shared);
        }
    } catch (...) {
        stopThreads();
        m_fd = -1;
        vacomm_os::closePort(fd);
        throw;
    }
}

void TVaCustomComm::stopThreads() {
    for (std::shared_ptr<TVaCommShared>* s : {&m_shared, &m_writeShared}) {
        if (!*s)
            continue;
        (*s)->closed.store(true);
        (*s)->port = nullptr;
        // The descriptor is never read back, so every later wait of the
        // thread returns at once.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write((*s)->wakeFd, &one, sizeof one);
        s->reset();
    }
}

void TVaCustomComm::Close() {
    stopReopening();
    if (!Active())
        return;
    {
        std::lock_guard<std::mutex> lock(m_readLock);
        stopThreads();
        vacomm_os::closePort(m_fd);
        m_fd = -1;
    }
    if (OnClose && !m_destroying)
        OnClose(this);
}

int TVaCustomComm::InQueCount() {
    std::lock_guard<std::mutex> lock(m_readLock);
    return Active() ? vacomm_os::bytesWaiting(m_fd) : 0;
}

int TVaCustomComm::ReadBuf(char* buffer, int count) {
    if (!Active() || count <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_readLock);
    return vacomm_os::readPort(m_fd, buffer, count);
}

QByteArray TVaCustomComm::ReadText() {
    const int waiting = InQueCount();
    if (waiting <= 0)
        return {};
    QByteArray text(waiting, Qt::Uninitialized);
    text.truncate(ReadBuf(text.data(), waiting));
    return text;
}

bool TVaCustomComm::queryLineCounters(TVaLineCounters& counters) {
    return Active() && vacomm_os::lineCounters(m_fd, counters);
}

int TVaCustomComm::takeLineErrors() {
    TVaLineCounters now;
    if (!queryLineCounters(now))
        return 0;
    int errors = 0;
    if (now.bufOverrun > m_lastCounters.bufOverrun)
        errors |= ceRxOver;
    if (now.overrun > m_lastCounters.overrun)
        errors |= ceOverrun;
    if (now.parity > m_lastCounters.parity)
        errors |= ceRxParity;
    if (now.frame > m_lastCounters.frame)
        errors |= ceFrame;
    if (now.brk > m_lastCounters.brk)
        errors |= ceBreakError;
    // The counters only grow; remembering them is what clears the errors.
    m_lastCounters = now;
    return errors;
}

TVaCustomComm* TVaCustomComm::current(const std::shared_ptr<TVaCommShared>& shared) {
    // A hand-over made before Close, or for an earlier opening, finds the
    // port closed and must call nothing.
    if (shared->closed.load())
        return nullptr;
    TVaCustomComm* port = shared->port;
    if (port == nullptr || port->m_generation != shared->generation || port->m_shared != shared)
        return nullptr;
    return port;
}

void TVaCustomComm::deliver(const std::shared_ptr<TVaCommShared>& shared, TVaCommEvents mask) {
    if (TVaCustomComm* port = current(shared))
        atBoundary([&] { port->dispatch(*shared, mask); });
}

void TVaCustomComm::hangUp(const std::shared_ptr<TVaCommShared>& shared) {
    if (TVaCustomComm* port = current(shared))
        atBoundary([&] { port->loseDevice(); });
}

void TVaCustomComm::loseDevice() {
    const QString path = DevicePathInUse();
    const QString name = PortName();
    const QString names =
        path.isEmpty() || path == name ? name : name + QStringLiteral(", ") + path;
    {
        std::lock_guard<std::mutex> lock(m_readLock);
        stopThreads();
        vacomm_os::closePort(m_fd);
        m_fd = -1;
    }
    // The same device comes back under the same path when the adapter is
    // plugged in again; the operator should not have to reopen it.
    m_reopening = true;
    m_reopenTimer.start();
    const QString text = QStringLiteral("Device disconnected (%1).").arg(names);
    if (OnHangUp)
        OnHangUp(this, text);
    else
        showError(text);
}

void TVaCustomComm::retryOpen() {
    if (!m_reopening || Active())
        return;
    try {
        openDevice();
    } catch (const AppError&) {
    } catch (const std::exception&) {
    }
    if (Active()) {
        m_reopening = false;
        if (OnOpen)
            atBoundary([this] { OnOpen(this); });
        return;
    }
    // Failures are expected while the device is away; only the hang-up
    // itself was worth telling.
    m_reopenTimer.start();
}

void TVaCustomComm::stopReopening() {
    m_reopening = false;
    m_reopenTimer.stop();
}

TVaCustomComm::RxHold::RxHold(TVaCustomComm& comm) : m_comm(comm) {
    ++m_comm.m_rxHolds;
}

TVaCustomComm::RxHold::~RxHold() {
    if (--m_comm.m_rxHolds > 0 || !std::exchange(m_comm.m_rxDeferred, false))
        return;
    // The event thread reports only bytes that are new, so the ones a
    // delivery left in the port would wait for the next frame. Queued: the
    // holder is still on the stack and may throw after this.
    TVaCustomComm* comm = &m_comm;
    QMetaObject::invokeMethod(
        comm, [comm] { atBoundary([comm] { comm->rxChar(); }); }, Qt::QueuedConnection);
}

void TVaCustomComm::rxChar() {
    if (RxHeld()) {
        m_rxDeferred = true;
        return;
    }
    const int count = InQueCount();
    if (count > 0 && OnRxChar) {
        RxHold hold(*this);
        OnRxChar(this, count);
    }
}

void TVaCustomComm::dispatch(const TVaCommShared& shared, TVaCommEvents mask) {
    if (mask & ceRxChar)
        rxChar();
    // The handler may have closed the port (the settings dialog does).
    if ((mask & ceError) && !shared.closed.load()) {
        const int errors = takeLineErrors();
        if (errors != 0 && OnError)
            OnError(this, errors);
    }
}
