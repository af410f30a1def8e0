#include "ListView.h"

#include <commctrl.h>

#include <algorithm>

#include "classlib/ImgList.h"

namespace cls {

TListView::TListView(TComponent* owner) : TWinControl(owner) {
    width_ = 250;
    height_ = 150;
    color_ = clWindow;
    parentColor_ = false;
    SetTabStop(true);
}

TListView::~TListView() {
    // The window outlives this body: it must not draw with freed pictures.
    if (checkImages_ && HandleAllocated()) SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_STATE, 0);
}

void TListView::SetProps(const Props& p) {
    columns_ = p.Columns;
    showColumnHeaders_ = p.ShowColumnHeaders;
    rowSelect_ = p.RowSelect;
    readOnly_ = p.ReadOnly;
    checkboxes_ = p.Checkboxes;
    ownerData_ = p.OwnerData && !p.Checkboxes;
    multiSelect_ = p.MultiSelect;
    hideSelection_ = p.HideSelection;
    hotTrack_ = p.HotTrack;
    hotTrackStyles_ = p.HotTrackStyles;
    smallImages_ = p.SmallImages;
}

void TListView::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = WC_LISTVIEWW;
    p.Style |= LVS_REPORT | LVS_SHAREIMAGELISTS;
    if (!showColumnHeaders_) p.Style |= LVS_NOCOLUMNHEADER;
    if (!multiSelect_) p.Style |= LVS_SINGLESEL;
    if (!hideSelection_) p.Style |= LVS_SHOWSELALWAYS;
    if (!readOnly_) p.Style |= LVS_EDITLABELS;
    if (ownerData_) p.Style |= LVS_OWNERDATA;
    p.ExStyle |= WS_EX_CLIENTEDGE;
}

DWORD TListView::ExtendedStyle() const {
    DWORD ex = LVS_EX_INFOTIP;
    if (rowSelect_) ex |= LVS_EX_FULLROWSELECT;
    if (checkboxes_) ex |= LVS_EX_CHECKBOXES;
    if (hotTrack_) ex |= LVS_EX_TRACKSELECT;
    if (hotTrackStyles_ & htHandPoint) ex |= LVS_EX_ONECLICKACTIVATE;
    if (hotTrackStyles_ & htUnderlineHot) ex |= LVS_EX_UNDERLINEHOT;
    if (hotTrackStyles_ & htUnderlineCold) ex |= LVS_EX_UNDERLINECOLD;
    return ex;
}

void TListView::HandleCreated() {
    HWND h = Wnd();
    SendMessageW(h, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ExtendedStyle());
    if (checkboxes_)
        checkImages_.reset(reinterpret_cast<HIMAGELIST>(SendMessageW(h, LVM_GETIMAGELIST, LVSIL_STATE, 0)));
    for (size_t i = 0; i < columns_.size(); ++i) {
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.cx = columns_[i].Width;
        col.pszText = columns_[i].Caption.data();
        col.iSubItem = static_cast<int>(i);
        SendMessageW(h, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    SetSmallImages(smallImages_);
    if (ownerData_) SyncItemCount();
}

void TListView::SetSmallImages(TImageList* images) {
    smallImages_ = images;
    if (HandleAllocated())
        SendMessageW(Wnd(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images ? images->Handle() : nullptr));
}

void TListView::SetHotTrackStyles(THotTrackStyles styles) {
    hotTrackStyles_ = styles;
    if (HandleAllocated()) SendMessageW(Wnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ExtendedStyle());
}

int TListView::Count() const {
    if (ownerData_) return static_cast<int>(stored_.size());
    return static_cast<int>(SendMessageW(Wnd(), LVM_GETITEMCOUNT, 0, 0));
}

void TListView::BeginUpdate(int capacity) {
    if (capacity > 0) {
        subItems_.reserve(static_cast<size_t>(capacity));
        if (ownerData_) stored_.reserve(static_cast<size_t>(capacity));
        // Without owner data the count is only room to be made.
        else SendMessageW(Wnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(capacity), 0);
    }
    if (updates_++ > 0) return;
    // Only a window that shows stops drawing: turning drawing back on shows
    // a hidden one.
    redrawStopped_ = (GetWindowLongW(Wnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    if (redrawStopped_) SendMessageW(Wnd(), WM_SETREDRAW, FALSE, 0);
}

void TListView::EndUpdate() {
    if (updates_ == 0 || --updates_ > 0) return;
    if (ownerData_) SyncItemCount();
    if (!redrawStopped_) return;
    redrawStopped_ = false;
    SendMessageW(Wnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Wnd(), nullptr, TRUE);
}

void TListView::SyncItemCount() {
    if (HandleAllocated()) SendMessageW(Wnd(), LVM_SETITEMCOUNT, stored_.size(), 0);
}

int TListView::AddItem(const std::wstring& caption, int imageIndex) {
    if (ownerData_) {
        stored_.push_back({caption, imageIndex});
        subItems_.emplace_back();
        if (updates_ == 0) SyncItemCount();
        return static_cast<int>(stored_.size()) - 1;
    }
    std::wstring text = caption;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = Count();
    item.pszText = text.data();
    item.iImage = imageIndex;
    int index = static_cast<int>(SendMessageW(Wnd(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index >= 0) subItems_.insert(subItems_.begin() + std::min<size_t>(index, subItems_.size()), std::vector<std::wstring>());
    return index;
}

void TListView::DeleteItem(int index) {
    if (ownerData_) {
        if (!ValidIndex(index)) return;
        stored_.erase(stored_.begin() + index);
        subItems_.erase(subItems_.begin() + index);
        // The window counts one less and moves the selection along.
        SendMessageW(Wnd(), LVM_DELETEITEM, index, 0);
        return;
    }
    if (!SendMessageW(Wnd(), LVM_DELETEITEM, index, 0)) return;
    if (ValidIndex(index)) subItems_.erase(subItems_.begin() + index);
}

void TListView::Clear() {
    SendMessageW(Wnd(), LVM_DELETEALLITEMS, 0, 0);
    stored_.clear();
    subItems_.clear();
}

std::wstring TListView::ItemCaption(int index) const {
    if (ownerData_) return ValidIndex(index) ? stored_[index].Caption : std::wstring();
    wchar_t buffer[1024] = {};
    LVITEMW item = {};
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(Wnd(), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void TListView::SetItemCaption(int index, const std::wstring& caption) {
    if (ownerData_ && ValidIndex(index)) stored_[index].Caption = caption;
    SetColumnText(index, 0, caption);
}

std::wstring TListView::SubItem(int index, int sub) const {
    if (sub <= 0) return ItemCaption(index);
    if (!ValidIndex(index)) return {};
    const auto& subs = subItems_[index];
    return sub <= static_cast<int>(subs.size()) ? subs[sub - 1] : std::wstring();
}

void TListView::SetSubItem(int index, int sub, const std::wstring& text) {
    if (sub <= 0) {
        SetItemCaption(index, text);
        return;
    }
    if (!ValidIndex(index)) return;
    auto& subs = subItems_[index];
    if (static_cast<int>(subs.size()) < sub) subs.resize(sub);
    subs[sub - 1] = text;
    // Only sub-items with a column of their own show.
    if (sub < static_cast<int>(columns_.size())) SetColumnText(index, sub, text);
}

void TListView::SetColumnText(int index, int column, const std::wstring& text) {
    if (ownerData_) {
        // The window asks for the text when it draws the item again.
        SendMessageW(Wnd(), LVM_REDRAWITEMS, index, index);
        return;
    }
    std::wstring s = text;
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = s.data();
    SendMessageW(Wnd(), LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
}

int TListView::ImageIndex(int index) const {
    if (ownerData_) return ValidIndex(index) ? stored_[index].ImageIndex : -1;
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    SendMessageW(Wnd(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

bool TListView::Checked(int index) const {
    auto state = SendMessageW(Wnd(), LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void TListView::SetChecked(int index, bool checked) {
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(Wnd(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

int TListView::ItemIndex() const {
    return static_cast<int>(SendMessageW(Wnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TListView::SetItemIndex(int index) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageW(Wnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (index < 0) return;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Wnd(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    SendMessageW(Wnd(), LVM_ENSUREVISIBLE, index, FALSE);
}

int TListView::ItemAt(POINT client) const {
    LVHITTESTINFO hit = {};
    hit.pt = client;
    return static_cast<int>(SendMessageW(Wnd(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

int TListView::FindCaption(UINT flags, const wchar_t* text, int start) const {
    if (!(flags & (LVFI_STRING | LVFI_PARTIAL)) || !text) return -1;
    const std::wstring wanted = text;
    const int count = static_cast<int>(stored_.size());
    auto matches = [&](int i) {
        const std::wstring& c = stored_[i].Caption;
        // Typed text matches the start of a caption, any case.
        if (flags & LVFI_PARTIAL)
            return c.size() >= wanted.size() && lstrcmpiW(c.substr(0, wanted.size()).c_str(), wanted.c_str()) == 0;
        return lstrcmpiW(c.c_str(), wanted.c_str()) == 0;
    };
    start = std::clamp(start, 0, count);
    for (int i = start; i < count; ++i)
        if (matches(i)) return i;
    if (flags & LVFI_WRAP)
        for (int i = 0; i < start; ++i)
            if (matches(i)) return i;
    return -1;
}

bool TListView::Notify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case NM_CLICK:
            DoClick();
            return true;
        case NM_DBLCLK:
            DoDblClick();
            return true;
        case LVN_GETDISPINFOW: {
            auto& d = reinterpret_cast<NMLVDISPINFOW&>(header).item;
            if (!ownerData_ || !ValidIndex(d.iItem)) return true;
            if ((d.mask & LVIF_TEXT) && d.pszText && d.cchTextMax > 0)
                lstrcpynW(d.pszText, SubItem(d.iItem, d.iSubItem).c_str(), d.cchTextMax);
            if (d.mask & LVIF_IMAGE) d.iImage = stored_[d.iItem].ImageIndex;
            return true;
        }
        case LVN_ODFINDITEMW: {
            auto& find = reinterpret_cast<NMLVFINDITEMW&>(header);
            result = ownerData_ ? FindCaption(find.lvfi.flags, find.lvfi.psz, find.iStart) : -1;
            return true;
        }
        case LVN_ODSTATECHANGED:
            if (OnChange) OnChange(this);
            return true;
        case LVN_DELETEALLITEMS:
            // No notice per item: nothing here keeps anything per item in
            // the window, and a long list would send thousands.
            result = TRUE;
            return true;
        case LVN_ITEMCHANGED: {
            auto& nm = reinterpret_cast<NMLISTVIEW&>(header);
            if ((nm.uChanged & LVIF_STATE) && OnChange) OnChange(this);
            return true;
        }
        case LVN_GETINFOTIPW: {
            auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
            if (!OnInfoTip || !tip.pszText || tip.cchTextMax <= 0) return true;
            std::wstring text;
            OnInfoTip(this, tip.iItem, text);
            lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
            return true;
        }
    }
    return false;
}

}  // namespace cls
