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
    std::optional<TicketGrid> pending;
    bool busy = false;
    bool stop = false;
    bool failing = false;
    QString untold; // a failure the operator has not been told of
};

TicketKeeper::TicketKeeper(QString path) : m_shared(std::make_shared<Shared>()) {
    m_shared->path = std::move(path);
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

QString TicketKeeper::keep(const TicketGrid& grid, quint64 revision) {
    std::lock_guard lock(m_shared->mutex);
    if (!m_hasHanded || revision != m_handed) {
        m_shared->pending = grid; // cells are shared, not copied
        m_handed = revision;
        m_hasHanded = true;
        m_shared->changed.notify_all();
    }
    return std::exchange(m_shared->untold, QString());
}

QString TicketKeeper::keepNow(const TicketGrid& grid, quint64 revision) {
    QString failure = keep(grid, revision);
    flush();
    std::lock_guard lock(m_shared->mutex);
    if (failure.isEmpty())
        failure = std::exchange(m_shared->untold, QString());
    return failure;
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
}

void TicketKeeper::writeLoop(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->pending || shared->stop; });
        if (!shared->pending)
            return; // stopped with nothing left to write
        const TicketGrid grid = std::move(*shared->pending);
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
        shared->busy = false;
        if (failure.isEmpty()) {
            shared->failing = false;
        } else if (!shared->failing) {
            shared->failing = true;
            shared->untold = failure;
        }
        shared->changed.notify_all();
    }
}
