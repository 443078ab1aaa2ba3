#pragma once

#include "platform/uniquefd.h"

#include <QString>

// One program per folder: a second copy would find the port busy and, on
// closing, overwrite the first copy's unprinted rows and settings. The lock
// is an flock on a file beside the executable, held by the open descriptor
// for the whole run and released by the system however the process ends, so
// a crash never leaves the folder locked. The file itself is never written or
// removed.
class RunLock {
public:
    enum class State {
        Held,          // this copy runs
        HeldElsewhere, // another copy runs in this folder
        Unavailable    // no lock can be had here (read-only folder, no locking)
    };

    explicit RunLock(const QString& path);

    State state() const { return m_state; }
    QString reason() const { return m_reason; } // why Unavailable

private:
    UniqueFd m_fd;
    State m_state = State::Unavailable;
    QString m_reason;
};

QString runLockFile(); // <executable>.lock

// What the second copy tells the operator before it ends.
QString alreadyRunningMessage(const QString& folder);
