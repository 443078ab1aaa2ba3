#include "ticket/ticketgrid.h"

#include "platform/localeconventions.h"
#include "platform/numbers.h"

#include <algorithm>

TicketGrid::TicketGrid() : m_widths{169, 2, 2, 162} {
    setRowCount(2);
}

const QStringList& TicketGrid::captions() {
    static const QStringList c{QStringLiteral("Poř.číslo"), QStringLiteral("Čas"),
                               QStringLiteral("Popis"), QStringLiteral("Hmotnost")};
    return c;
}

void TicketGrid::setColumnCount(int columns) {
    columns = std::max(1, columns);
    m_columns = columns;
    for (QStringList& row : m_rows)
        row.resize(columns);
    m_widths.resize(size_t(columns), 64);
}

void TicketGrid::setRowCount(int rows) {
    rows = std::max(1, rows);
    const size_t old = m_rows.size();
    m_rows.resize(size_t(rows));
    for (size_t r = old; r < m_rows.size(); ++r)
        m_rows[r].resize(m_columns);
}

const QString& TicketGrid::cell(int column, int row) const {
    static const QString empty;
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns)
        return empty;
    return m_rows[size_t(row)][column];
}

void TicketGrid::setCell(int column, int row, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns)
        return;
    m_rows[size_t(row)][column] = text;
}

void TicketGrid::clearRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    for (QString& c : m_rows[size_t(row)])
        c.clear();
}

void TicketGrid::writeCaptions() {
    for (int c = 0; c < std::min(m_columns, kColumns); ++c)
        setCell(c, 0, captions()[c]);
}

void TicketGrid::writeTotals(TotalsWriter writer, const QDateTime& now, const QString& unit) {
    const LocaleConventions& lc = conventions();
    const bool colon = writer == TotalsWriter::StartUp || writer == TotalsWriter::ItemFrame ||
                       writer == TotalsWriter::ResetAfterTotalFrame;
    const int row = lastRow();
    setCell(Sequence, row, QStringLiteral("Celkem ") + QString::number(weighingCount));
    setCell(Time, row, lc.formatTime(now.time()));
    setCell(Description, row,
            (colon ? QStringLiteral("dne: ") : QStringLiteral("dne ")) + lc.formatDate(now.date()));
    if (writer == TotalsWriter::ResetAfterTotalFrame)
        setCell(Weight, row, QStringLiteral("0,000 ") + unit);
    else
        setCell(Weight, row, weightSum.toText() + QLatin1Char(' ') + unit);
}

int TicketGrid::addWeighing(const QString& sequence, const QString& time, const QString& weight,
                            TotalsWriter writer, const QDateTime& now, const QString& unit) {
    const DecimalWeight value =
        weight.isEmpty() ? DecimalWeight() : weightTextToDecimal(weight, unit);
    const int row = lastRow();
    clearRow(row);
    setCell(Sequence, row, sequence);
    setCell(Time, row, time);
    setCell(Weight, row, weight);
    weightSum += value;
    setRowCount(rowCount() + 1);
    ++weighingCount;
    writeTotals(writer, now, unit);
    return row;
}

void TicketGrid::reset(TotalsWriter writer, const QDateTime& now, const QString& unit) {
    weightSum = {};
    weighingCount = 0;
    for (int r = 1; r < rowCount(); ++r)
        clearRow(r);
    setRowCount(2);
    writeTotals(writer, now, unit);
}
