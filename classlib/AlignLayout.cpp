#include "AlignLayout.h"

#include <algorithm>

namespace cls {

namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// True when a goes nearer to the edge of its kind than b.
bool Before(TAlign align, const RECT& a, const RECT& b) {
    switch (align) {
        case alTop: return a.top < b.top;
        case alBottom: return a.bottom > b.bottom;
        case alLeft: return a.left < b.left;
        case alRight: return a.right > b.right;
        default: return false;
    }
}

}  // namespace

std::vector<RECT> AlignLayout(const RECT& client, const std::vector<AlignItem>& items) {
    std::vector<RECT> out(items.size());
    for (size_t i = 0; i < items.size(); ++i) out[i] = items[i].bounds;

    RECT rest = client;
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        std::vector<size_t> order;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].align == align) order.push_back(i);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return Before(align, items[a].bounds, items[b].bounds);
        });
        for (size_t i : order) {
            const RECT& b = items[i].bounds;
            RECT& r = out[i];
            switch (align) {
                case alTop:
                    r = {rest.left, rest.top, rest.right, rest.top + Height(b)};
                    rest.top += Height(b);
                    break;
                case alBottom:
                    r = {rest.left, rest.bottom - Height(b), rest.right, rest.bottom};
                    rest.bottom -= Height(b);
                    break;
                case alLeft:
                    r = {rest.left, rest.top, rest.left + Width(b), rest.bottom};
                    rest.left += Width(b);
                    break;
                case alRight:
                    r = {rest.right - Width(b), rest.top, rest.right, rest.bottom};
                    rest.right -= Width(b);
                    break;
                default:
                    r = {rest.left, rest.top, std::max(rest.left, rest.right),
                         std::max(rest.top, rest.bottom)};
                    break;
            }
        }
    }
    return out;
}

}  // namespace cls
