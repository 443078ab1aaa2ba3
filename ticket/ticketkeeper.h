#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <thread>

class TicketGrid;

// Keeps the unprinted-rows file equal to the ticket as the operator sees it,
// so that a crash or a power cut loses nothing that was booked. Each write is
// the same atomic replace as at close: the file holds either the previous or
// the new ticket, never a torn one.
//
// A synced replace costs several milliseconds and far more on a busy disk,
// which the OK action must not wait for: a worker thread writes, and it only
// ever writes the latest ticket handed to it, so a burst of changes costs one
// or two writes. After a print the caller waits (keepNow), so that a printed
// ticket can never come back after a crash.
class TicketKeeper {
public:
    // Called on the worker thread as soon as a write fails, with the
    // operator's message: once for a run of failures, not once per retry. The
    // next change tries again, and a success re-arms it.
    using FailureReport = std::function<void(const QString& message)>;

    explicit TicketKeeper(QString path, FailureReport report = {});
    ~TicketKeeper(); // finishes the last write
    TicketKeeper(const TicketKeeper&) = delete;
    TicketKeeper& operator=(const TicketKeeper&) = delete;

    // Hands the ticket to the worker unless this revision is already handed
    // over.
    void keep(const TicketGrid& grid, quint64 revision);
    // The same, and waits; true when the file holds this revision.
    bool keepNow(const TicketGrid& grid, quint64 revision);
    // Waits for the write in progress, if any.
    void flush();
    // After a write done elsewhere (the closing steps), or a file that must
    // stay as it is until the ticket changes.
    void markWritten(quint64 revision);

private:
    struct Shared;
    static void writeLoop(const std::shared_ptr<Shared>& shared);
    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    quint64 m_handed = 0;
    bool m_hasHanded = false;
};
