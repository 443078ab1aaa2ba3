#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// Logout and shutdown send SIGTERM, a closed terminal SIGHUP, Ctrl+C SIGINT.
// Each of them would end the process at once, without the closing steps that
// save the settings and the unprinted rows. The handler only writes the
// signal's number into a pipe; the event loop reads it from there, where the
// program may do anything.

// From this call on the three signals no longer end the process: each waits
// in the pipe until a ShutdownSignals object reports it. False, with the
// system's reason, when the pipe or a handler cannot be set up (the signals
// then keep their default effect).
bool catchShutdownSignals(QString& reason);

// Gives the three signals their default effect back: once the closing steps
// have run, nothing is left that a signal should wait for.
void releaseShutdownSignals();

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    // Reports, once the event loop runs, the signals caught since
    // catchShutdownSignals(), those before this object was made included.
    // Made after a successful catchShutdownSignals(); one object at a time.
    explicit ShutdownSignals(QObject* parent = nullptr);

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};
