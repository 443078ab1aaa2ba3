#include "ticket/barlayout.h"

BarLayout spreadAcross(int barWidth, const std::vector<BarItem>& items) {
    int free = barWidth;
    int visible = 0;
    for (const BarItem& item : items) {
        if (item.visible) {
            free -= item.width;
            ++visible;
        }
    }
    BarLayout layout;
    layout.gap = free / (visible + 1); // C++ division truncates toward zero
    layout.lefts.assign(items.size(), 0);
    int next = layout.gap;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].visible)
            continue;
        layout.lefts[i] = next;
        next += items[i].width + layout.gap;
    }
    return layout;
}
