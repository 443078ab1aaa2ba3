#pragma once

// How one cell of the ticket grid is painted: the totals row is aqua even
// inside a selection, the column-title row yellow, other cells keep the
// grid's own background or selection colour. Text sits at the cell's top
// edge; column 0 starts at half the cell's width (not centred), the other
// columns are centred, all divisions truncating toward zero.
struct CellStyle {
    enum class Fill { Aqua, Yellow, Selection, Background };
    Fill fill = Fill::Background;
    int textLeft = 0; // from the cell's left edge
};

CellStyle ticketCellStyle(int column, int row, int rowCount, bool selected, int cellWidth,
                          int textWidth);
