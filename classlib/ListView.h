// A list of items in report style on the system list view: columns,
// sub-items, small pictures from an image list, check boxes, whole-row
// selection and hot tracking. Captions, pictures and checks live in the
// window; sub-items are kept here too, since an item may carry more of
// them than there are columns to show them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "classlib/Controls.h"

namespace cls {

class TImageList;

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
    };

    explicit TListView(TComponent* owner);
    void SetProps(const Props& props);

    int Count() const;
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

    std::vector<std::vector<std::wstring>> subItems_;
    std::vector<TListColumn> columns_;
    bool showColumnHeaders_ = true;
    bool rowSelect_ = false;
    bool readOnly_ = false;
    bool checkboxes_ = false;
    bool multiSelect_ = false;
    bool hideSelection_ = true;
    bool hotTrack_ = false;
    THotTrackStyles hotTrackStyles_ = 0;
    TImageList* smallImages_ = nullptr;
};

}  // namespace cls
