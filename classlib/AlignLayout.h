// Where aligned controls go: the top, bottom, left and right ones stack
// from their edges in that order, and the client ones take what is left.
#pragma once
#include <windows.h>

#include <vector>

namespace cls {

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

struct AlignItem {
    TAlign align = alNone;
    RECT bounds = {};  // the control's current place
};

// The new place of every item, in the order given. Items of one kind stack
// in the order of their current places (the topmost top item first, the
// lowest bottom item at the very bottom); ties keep the given order. Items
// with alNone or alCustom stay where they are.
std::vector<RECT> AlignLayout(const RECT& client, const std::vector<AlignItem>& items);

}  // namespace cls
