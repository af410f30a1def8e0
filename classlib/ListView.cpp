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

void TListView::SetProps(const Props& p) {
    columns_ = p.Columns;
    showColumnHeaders_ = p.ShowColumnHeaders;
    rowSelect_ = p.RowSelect;
    readOnly_ = p.ReadOnly;
    checkboxes_ = p.Checkboxes;
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
    for (size_t i = 0; i < columns_.size(); ++i) {
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.cx = columns_[i].Width;
        col.pszText = columns_[i].Caption.data();
        col.iSubItem = static_cast<int>(i);
        SendMessageW(h, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    SetSmallImages(smallImages_);
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

int TListView::Count() const { return static_cast<int>(SendMessageW(Wnd(), LVM_GETITEMCOUNT, 0, 0)); }

int TListView::AddItem(const std::wstring& caption, int imageIndex) {
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
    if (!SendMessageW(Wnd(), LVM_DELETEITEM, index, 0)) return;
    if (index >= 0 && index < static_cast<int>(subItems_.size())) subItems_.erase(subItems_.begin() + index);
}

void TListView::Clear() {
    SendMessageW(Wnd(), LVM_DELETEALLITEMS, 0, 0);
    subItems_.clear();
}

std::wstring TListView::ItemCaption(int index) const {
    wchar_t buffer[1024] = {};
    LVITEMW item = {};
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(Wnd(), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void TListView::SetItemCaption(int index, const std::wstring& caption) { SetColumnText(index, 0, caption); }

std::wstring TListView::SubItem(int index, int sub) const {
    if (sub <= 0) return ItemCaption(index);
    if (index < 0 || index >= static_cast<int>(subItems_.size())) return {};
    const auto& subs = subItems_[index];
    return sub <= static_cast<int>(subs.size()) ? subs[sub - 1] : std::wstring();
}

void TListView::SetSubItem(int index, int sub, const std::wstring& text) {
    if (sub <= 0) {
        SetItemCaption(index, text);
        return;
    }
    if (index < 0 || index >= static_cast<int>(subItems_.size())) return;
    auto& subs = subItems_[index];
    if (static_cast<int>(subs.size()) < sub) subs.resize(sub);
    subs[sub - 1] = text;
    // Only sub-items with a column of their own show.
    if (sub < static_cast<int>(columns_.size())) SetColumnText(index, sub, text);
}

void TListView::SetColumnText(int index, int column, const std::wstring& text) {
    std::wstring s = text;
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = s.data();
    SendMessageW(Wnd(), LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
}

int TListView::ImageIndex(int index) const {
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

bool TListView::Notify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case NM_CLICK:
            DoClick();
            return true;
        case NM_DBLCLK:
            DoDblClick();
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
