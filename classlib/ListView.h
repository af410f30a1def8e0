// A list of items in report style on the system list view: columns,
// sub-items, small pictures from an image list, check boxes, whole-row
// selection and hot tracking. Captions, pictures and checks live in the
// window; sub-items are kept here too, since an item may carry more of
// them than there are columns to show them. With OwnerData the captions
// and pictures are kept here as well and the window asks for those it
// shows, so thousands of items go in at once.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/ImgList.h"

namespace cls {

struct TListColumn {
    std::wstring Caption;
    int Width = 50;
};

using THotTrackStyles = unsigned;
constexpr THotTrackStyles htHandPoint = 1;
constexpr THotTrackStyles htUnderlineHot = 2;
constexpr THotTrackStyles htUnderlineCold = 4;

using TInfoTipEvent = std::function<void(TComponent* sender, int item, std::wstring& tip)>;

class TListView : public TWinControl {
public:
    struct Props {
        std::vector<TListColumn> Columns;
        bool ShowColumnHeaders = true;
        bool RowSelect = false;
        bool ReadOnly = false;
        bool Checkboxes = false;
        bool MultiSelect = false;
        bool HideSelection = true;
        bool HotTrack = false;  // the item under the mouse is selected
        THotTrackStyles HotTrackStyles = 0;
        TImageList* SmallImages = nullptr;
        // Not with check boxes, whose state lives in the window.
        bool OwnerData = false;
    };

    explicit TListView(TComponent* owner);
    ~TListView() override;
    void SetProps(const Props& props);

    int Count() const;
    // Between these, items go in without the list drawing or sizing its
    // scroll bars after each one (which makes a long fill slow), with room
    // made for Capacity items at once; the list is drawn again at the last
    // EndUpdate. Calls nest.
    void BeginUpdate(int capacity = 0);
    void EndUpdate();
    // Returns the new item's index.
    int AddItem(const std::wstring& caption, int imageIndex = -1);
    void DeleteItem(int index);
    void Clear();
    std::wstring ItemCaption(int index) const;
    void SetItemCaption(int index, const std::wstring& caption);
    // Sub-items count from 1 (the column after the caption).
    std::wstring SubItem(int index, int sub) const;
    void SetSubItem(int index, int sub, const std::wstring& text);
    int ImageIndex(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    // The selected (first selected) item, or -1.
    int ItemIndex() const;
    void SetItemIndex(int index);
    int ItemAt(POINT client) const;

    TImageList* SmallImages() const { return smallImages_; }
    void SetSmallImages(TImageList* images);
    THotTrackStyles HotTrackStyles() const { return hotTrackStyles_; }
    void SetHotTrackStyles(THotTrackStyles styles);

    TInfoTipEvent OnInfoTip;
    TNotifyEvent OnChange;  // the selection or a check mark changed

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool Notify(NMHDR& header, LRESULT& result) override;
    bool ClickOnMouseUp() const override { return false; }

private:
    HWND Wnd() const { return const_cast<TListView*>(this)->Handle(); }
    DWORD ExtendedStyle() const;
    void SetColumnText(int index, int column, const std::wstring& text);
    bool ValidIndex(int index) const { return index >= 0 && index < static_cast<int>(subItems_.size()); }
    // Owner data: the window's item count follows the items kept here.
    void SyncItemCount();
    // Owner data: the item whose caption starts with (or is) the text
    // typed into the list, from Start on.
    int FindCaption(UINT flags, const wchar_t* text, int start) const;

    struct TStoredItem {
        std::wstring Caption;
        int ImageIndex = -1;
    };
    std::vector<TStoredItem> stored_;  // owner data only
    std::vector<std::vector<std::wstring>> subItems_;
    std::vector<TListColumn> columns_;
    bool showColumnHeaders_ = true;
    bool rowSelect_ = false;
    bool readOnly_ = false;
    bool checkboxes_ = false;
    bool ownerData_ = false;
    bool multiSelect_ = false;
    bool hideSelection_ = true;
    bool hotTrack_ = false;
    THotTrackStyles hotTrackStyles_ = 0;
    TImageList* smallImages_ = nullptr;
    // The check boxes' pictures: the control makes them, but as it shares
    // its image lists it leaves them to be freed here.
    ImageList checkImages_;
    int updates_ = 0;
    bool redrawStopped_ = false;
};

// BeginUpdate for a scope.
class TListViewUpdate {
public:
    explicit TListViewUpdate(TListView& list, int capacity = 0) : list_(list) { list_.BeginUpdate(capacity); }
    ~TListViewUpdate() { list_.EndUpdate(); }
    TListViewUpdate(const TListViewUpdate&) = delete;
    TListViewUpdate& operator=(const TListViewUpdate&) = delete;

private:
    TListView& list_;
};

}  // namespace cls
