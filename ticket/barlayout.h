#pragma once

#include <cstddef>
#include <vector>

// Spreads the visible items of a button bar evenly: the free width (bar width
// minus the visible items' widths) is split into one more gap than there are
// visible items, in whole pixels truncated toward zero, so the gap is
// negative and the items overlap when they do not fit. Hidden items take no
// place and no gap. Used by the main window, the preview and the archive bar.
struct BarItem {
    int width = 0;
    bool visible = true;
};

struct BarLayout {
    int gap = 0;
    std::vector<int> lefts; // one per item; a hidden item's entry is 0
};

BarLayout spreadAcross(int barWidth, const std::vector<BarItem>& items);
