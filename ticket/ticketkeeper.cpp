#include "ticket/ticketkeeper.h"

#include "platform/apperror.h"
#include "ticket/ticketgrid.h"
#include "ticket/unprintedrows.h"

#include <condition_variable>
#include <mutex>
#include <optional>

struct TicketKeeper::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    QString path;
    FailureReport report;
    std::optional<TicketGrid> pending;
    quint64 pendingRevision = 0;
    bool busy = false;
    bool stop = false;
    bool failing = false;
    bool holdsWritten = false; // the file holds `written`
    quint64 written = 0;
};

TicketKeeper::TicketKeeper(QString path, FailureReport report)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->path = std::move(path);
    m_shared->report = std::move(report);
    m_worker = std::thread([shared = m_shared] { writeLoop(shared); });
}

TicketKeeper::~TicketKeeper() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stop = true;
    }
    m_shared->changed.notify_all();
    m_worker.join();
}

void TicketKeeper::keep(const TicketGrid& grid, quint64 revision) {
    std::lock_guard lock(m_shared->mutex);
    if (!m_hasHanded || revision != m_handed) {
        m_shared->pending = grid; // cells are shared, not copied
        m_shared->pendingRevision = revision;
        m_handed = revision;
        m_hasHanded = true;
        m_shared->changed.notify_all();
    }
}

bool TicketKeeper::keepNow(const TicketGrid& grid, quint64 revision) {
    keep(grid, revision);
    flush();
    std::lock_guard lock(m_shared->mutex);
    return m_shared->holdsWritten && m_shared->written == revision;
}

void TicketKeeper::flush() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait(lock, [&] { return !m_shared->pending && !m_shared->busy; });
}

void TicketKeeper::markWritten(quint64 revision) {
    flush();
    std::lock_guard lock(m_shared->mutex);
    m_handed = revision;
    m_hasHanded = true;
    m_shared->written = revision;
    m_shared->holdsWritten = true;
}

void TicketKeeper::writeLoop(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->pending || shared->stop; });
        if (!shared->pending)
            return; // stopped with nothing left to write
        const TicketGrid grid = std::move(*shared->pending);
        const quint64 revision = shared->pendingRevision;
        shared->pending.reset();
        shared->busy = true;
        lock.unlock();
        QString failure;
        try {
            saveUnprintedRows(grid, shared->path);
        } catch (const AppError& e) {
            failure = e.message();
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        lock.lock();
        const bool tell = !failure.isEmpty() && !shared->failing;
        shared->failing = !failure.isEmpty();
        shared->holdsWritten = failure.isEmpty();
        shared->written = revision;
        if (tell && shared->report) {
            // Told before the write counts as finished, so that whoever
            // waits for it sees the report made; without the lock, so that
            // the report may take its time.
            lock.unlock();
            shared->report(failure);
            lock.lock();
        }
        shared->busy = false;
        shared->changed.notify_all();
    }
}
