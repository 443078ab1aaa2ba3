#include "ticket/barlayout.h"
#include "ticket/cellstyle.h"

#include <gtest/gtest.h>

namespace {

using Fill = CellStyle::Fill;

struct StyleCase {
    const char* name;
    int column, row, rowCount;
    bool selected;
    int cellWidth, textWidth;
    Fill fill;
    int textLeft;
};

class TicketCellStyle : public testing::TestWithParam<StyleCase> {};

TEST_P(TicketCellStyle, FillAndTextPosition) {
    const StyleCase& c = GetParam();
    const CellStyle s =
        ticketCellStyle(c.column, c.row, c.rowCount, c.selected, c.cellWidth, c.textWidth);
    EXPECT_EQ(s.fill, c.fill);
    EXPECT_EQ(s.textLeft, c.textLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, TicketCellStyle,
    testing::Values(
        // column 0 starts at half the width, whatever the text's length
        StyleCase{"seq_short", 0, 1, 3, false, 169, 8, Fill::Background, 84},
        StyleCase{"seq_long", 0, 1, 3, false, 169, 400, Fill::Background, 84},
        // other columns are centred, both halves truncated
        StyleCase{"weight_centred", 3, 1, 3, false, 162, 51, Fill::Background, 81 - 25},
        StyleCase{"text_wider_than_cell", 1, 1, 3, false, 2, 40, Fill::Background, 1 - 20},
        // the totals row is aqua, also inside a selection
        StyleCase{"totals", 3, 2, 3, false, 162, 10, Fill::Aqua, 76},
        StyleCase{"totals_selected", 2, 2, 3, true, 100, 10, Fill::Aqua, 45},
        StyleCase{"title_row", 1, 0, 3, false, 85, 20, Fill::Yellow, 32},
        StyleCase{"selected_body", 2, 1, 3, true, 130, 30, Fill::Selection, 50},
        // a fresh ticket: row 1 is the totals row
        StyleCase{"fresh_totals", 0, 1, 2, false, 169, 60, Fill::Aqua, 84}),
    [](const testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

struct BarCase {
    const char* name;
    int barWidth;
    std::vector<BarItem> items;
    int gap;
    std::vector<int> lefts;
};

class ButtonBar : public testing::TestWithParam<BarCase> {};

TEST_P(ButtonBar, SpreadsVisibleItems) {
    const BarCase& c = GetParam();
    const BarLayout layout = spreadAcross(c.barWidth, c.items);
    EXPECT_EQ(layout.gap, c.gap);
    EXPECT_EQ(layout.lefts, c.lefts);
}

// Print, Settings, Archive, Close, live-weight panel
INSTANTIATE_TEST_SUITE_P(
    MainWindow, ButtonBar,
    testing::Values(BarCase{"archive_and_panel_hidden",
                            362,
                            {{75, true}, {89, true}, {75, false}, {75, true}, {127, false}},
                            30,
                            {30, 135, 0, 254, 0}},
                    BarCase{"all_five_overlap",
                            362,
                            {{75, true}, {89, true}, {75, true}, {75, true}, {127, true}},
                            -13,
                            {-13, 49, 125, 187, 249}},
                    // -1 / 3 truncates toward zero, not down
                    BarCase{
                        "negative_rounds_toward_zero", 150, {{75, true}, {76, true}}, 0, {0, 75}},
                    BarCase{"nothing_visible", 100, {{75, false}}, 100, {0}}),
    [](const testing::TestParamInfo<BarCase>& info) { return std::string(info.param.name); });

} // namespace
