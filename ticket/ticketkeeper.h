#pragma once

#include <QString>

class TicketGrid;

// Keeps the unprinted-rows file equal to the ticket as the operator sees it,
// so that a crash or a power cut loses nothing that was booked. Each write is
// the same atomic replace as at close: the file holds either the previous or
// the new ticket, never a torn one.
class TicketKeeper {
public:
    explicit TicketKeeper(QString path) : m_path(std::move(path)) {}

    // Writes the ticket unless this revision is already on disk. A failure is
    // returned as the operator's message the first time only; the next change
    // tries again, and a success re-arms the message.
    QString keep(const TicketGrid& grid, quint64 revision);

    // After a write done elsewhere (the closing steps).
    void markWritten(quint64 revision) {
        m_written = revision;
        m_hasWritten = true;
    }

private:
    QString m_path;
    quint64 m_written = 0;
    bool m_hasWritten = false;
    bool m_failing = false;
};
