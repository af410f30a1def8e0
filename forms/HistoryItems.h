// History entries turned into list view items, for the drop-down under the
// link box and for the clean-history window. A history may hold thousands
// of entries (Import takes a file of up to 1 MiB), so the items go in
// without the list being drawn in between.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/History.h"

namespace cls {
class TListView;
}

namespace app {

// Replaces the items of List with one per entry: the caption as
// HistoryCaption gives it for Mode, the picture Image gives for the ID
// (none without Image), ticked when CheckAll, and the ID as the first
// sub-item.
void FillHistoryItems(cls::TListView& list, const std::vector<THistoryEntry>& entries, int mode,
                      size_t captionLength, bool checkAll,
                      const std::function<int(const std::wstring& id)>& image = nullptr);

}  // namespace app
