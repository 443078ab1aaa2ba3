#include "ticket/cellstyle.h"

CellStyle ticketCellStyle(int column, int row, int rowCount, bool selected, int cellWidth,
                          int textWidth) {
    CellStyle style;
    if (row == rowCount - 1)
        style.fill = CellStyle::Fill::Aqua;
    else if (row == 0)
        style.fill = CellStyle::Fill::Yellow;
    else if (selected)
        style.fill = CellStyle::Fill::Selection;
    style.textLeft = column == 0 ? cellWidth / 2 : cellWidth / 2 - textWidth / 2;
    return style;
}
