#include "ticket/ticketkeeper.h"

#include "platform/apperror.h"
#include "ticket/unprintedrows.h"

QString TicketKeeper::keep(const TicketGrid& grid, quint64 revision) {
    if (m_hasWritten && revision == m_written)
        return {};
    try {
        saveUnprintedRows(grid, m_path);
    } catch (const AppError& e) {
        if (m_failing)
            return {};
        m_failing = true;
        return e.message();
    }
    m_failing = false;
    markWritten(revision);
    return {};
}
