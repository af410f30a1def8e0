#include "HistoryItems.h"

#include "app/StartupChecks.h"
#include "classlib/ListView.h"

namespace app {

namespace {
// Windows XP shows the drop-down's captions whole.
bool IsWindowsXP() {
    WindowsVersion v = GetWindowsVersion();
    return v.major == 5 && v.minor == 1;
}
}  // namespace

void FillHistoryItems(cls::TListView& list, const std::vector<THistoryEntry>& entries, int mode,
                      size_t captionLength, bool checkAll,
                      const std::function<int(const std::wstring& id)>& image) {
    const bool xp = mode == 1 && IsWindowsXP();
    cls::TListViewUpdate update(list, static_cast<int>(entries.size()));
    list.Clear();
    for (const THistoryEntry& e : entries) {
        int i = list.AddItem(HistoryCaption(e.Title, mode, xp, captionLength), image ? image(e.Id) : -1);
        if (checkAll) list.SetChecked(i, true);
        list.SetSubItem(i, 1, e.Id);
    }
}

}  // namespace app
