#pragma once

#include "platform/numbers.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// The ticket being built: the column-title row (row 0), one body row per
// weighing, and the totals row, always last. Beside it the weighing count and
// the weight sum, from which the totals row is written. Plain data; the main
// window's grid view shows it.
class TicketGrid {
public:
    static constexpr int kColumns = 4;
    static constexpr int kHidden = -1; // column width of a hidden column

    enum Column { Sequence = 0, Time = 1, Description = 2, Weight = 3 };

    // Who writes the totals row decides its date prefix and sum text.
    enum class TotalsWriter {
        StartUp,             // "dne: "
        Weighing,            // "dne "   (OK button, digit, timer)
        ItemFrame,           // "dne: "
        ResetAfterPrint,     // "dne ", sum 0
        ResetAfterTotalFrame // "dne: ", "0,000 " + unit
    };

    TicketGrid();

    int columnCount() const { return m_columns; }
    int rowCount() const { return int(m_rows.size()); }
    int lastRow() const { return rowCount() - 1; }
    int bodyRowCount() const { return rowCount() - 2; }
    bool isBodyRow(int row) const { return row > 0 && row < lastRow(); }

    void setColumnCount(int columns); // at least 1
    void setRowCount(int rows);       // at least 1; new rows are empty

    const QString& cell(int column, int row) const;
    void setCell(int column, int row, const QString& text);
    void clearRow(int row);

    // Pixel widths; kHidden marks a hidden column.
    int columnWidth(int column) const { return m_widths[size_t(column)]; }
    void setColumnWidth(int column, int width) { m_widths[size_t(column)] = width; }
    bool isShown(int column) const { return columnWidth(column) > 0; }
    bool isHidden(int column) const { return columnWidth(column) < 0; }

    int weighingCount = 0;
    DecimalWeight weightSum; // exact: a long ticket never drifts

    // The captions of the column-title row.
    void writeCaptions();
    // Fills all four cells of the last row.
    void writeTotals(TotalsWriter writer, const QDateTime& now, const QString& unit);

    // A new weighing: the totals row becomes the body row holding these texts,
    // the grid grows by one row, the count by one and the sum by the weight's
    // number (when the weight text is not empty), and the totals row is
    // written. The weight is converted before anything changes, so a weight
    // that cannot be converted throws ConversionError and leaves the ticket as
    // it was. Returns the new body row's index.
    int addWeighing(const QString& sequence, const QString& time, const QString& weight,
                    TotalsWriter writer, const QDateTime& now, const QString& unit);

    // Back to an empty ticket: two rows, count and sum 0, totals row written.
    void reset(TotalsWriter writer, const QDateTime& now, const QString& unit);

    static const QStringList& captions();

private:
    int m_columns = kColumns;
    std::vector<QStringList> m_rows;
    std::vector<int> m_widths;
};
