// Mouse, keyboard and focus of the folder path bar: hot tracking, presses on
// buttons and arrows, keyboard navigation over the root arrow and the
// visible buttons, and the resets after focus changes, the pointer leaving
// and a folder menu closing.
#include <algorithm>
#include <cstdlib>

#include "components/FolderPathBar.h"
#include "components/FolderPathBarLayout.h"

namespace components {

void TFolderPathBar::OpenMenu() {
    if (!popUp_ || popupPath_.empty()) return;
    auto alive = alive_;
    if (auto_) {
        // A fresh menu each time: its items are added before the system
        // menu exists, instead of rebuilding that menu for every item.
        NewFolderMenu();
        menu_->Popup(popupPos_.x, popupPos_.y);
    } else if (customPopup_) {
        customPopup_->Popup(popupPos_.x, popupPos_.y);
    }
    // The chosen item's action has run; the reset follows through the queue.
    if (*alive && HandleAllocated()) PostMessageW(Handle(), CM_PATHBAR_MENUCLOSED, 0, 0);
}

void TFolderPathBar::DoMouseDown(cls::TMouseButton button, cls::TShiftState shift, int x, int y) {
    auto alive = alive_;
    if (button == cls::mbLeft && !editMode_) {
        hotPt_ = {x, y};
        HitTest();
        // The press that dismissed this arrow's menu does not open it again.
        if (popUpX_ == hotPos_ && state_ != spNormal) {
            popUpX_ = -2;
            return;
        }
        popUp_ = state_ == spArrowHot;
        clicked_ = true;
        UpdateView();  // painted pressed before any menu opens
        // A press that opened a menu never opens the editor as well: a menu
        // item that moved the focus (New Folder into its box) has reset the
        // state through the bar's exit, which would read as a press on no part.
        const bool menu = popUp_ && !popupPath_.empty();
        if (menu) {
            OpenMenu();
        } else if (state_ == spButtonPressed && clickSetPath_) {
            SetPath(popupPath_);
        }
        if (!*alive) return;
        if (!menu && !editMode_ && state_ == spNormal && allowEdit_) {
            DoEdit(false);
            if (!*alive) return;
        }
    }
    if (state_ == spNormal) popupPath_ = path_;
    cls::TCustomControl::DoMouseDown(button, shift, x, y);
}

void TFolderPathBar::DoMouseUp(cls::TMouseButton button, cls::TShiftState shift, int x, int y) {
    if (popUp_) return;  // a menu is open
    clicked_ = false;
    popUp_ = false;
    Invalidate();
    cls::TCustomControl::DoMouseUp(button, shift, x, y);
}

void TFolderPathBar::DoMouseMove(cls::TShiftState shift, int x, int y) {
    if (editMode_) return;
    if (!keys_) {
        hotPt_ = {x, y};
        hotPos_ = -2;
        Invalidate();  // the paint's hit test finds the new hot part
    } else if (lastPoint_.x == -1 && lastPoint_.y == -1) {
        lastPoint_ = {x, y};
    } else if (std::abs(x - lastPoint_.x) > 5 || std::abs(y - lastPoint_.y) > 5) {
        // A small nudge of the mouse keeps the keyboard's highlight.
        keys_ = false;
    }
    cls::TCustomControl::DoMouseMove(shift, x, y);
}

void TFolderPathBar::DoMouseEnter() {
    popUpX_ = -2;
    Invalidate();
    cls::TCustomControl::DoMouseEnter();
}

void TFolderPathBar::DoMouseLeave() {
    if (popUp_) return;  // the open menu took the pointer
    keys_ = false;
    clicked_ = false;
    popUp_ = false;
    hotPt_ = {-1, -1};
    hotPos_ = -2;
    state_ = spNormal;
    Invalidate();
    cls::TCustomControl::DoMouseLeave();
}

void TFolderPathBar::DoEnter() {
    auto alive = alive_;
    cls::TCustomControl::DoEnter();
    if (!*alive) return;
    popUpX_ = -2;
    if (allowKeyNav_) KeyNav(VK_HOME);
}

void TFolderPathBar::DoExit() {
    auto alive = alive_;
    cls::TCustomControl::DoExit();
    if (!*alive) return;
    keys_ = false;
    hotPos_ = -2;
    hotPt_ = {-1, -1};
    state_ = spNormal;
    popupPath_.clear();
    clicked_ = false;
    popUp_ = false;
    Invalidate();
}

void TFolderPathBar::MenuClosed() {
    if (destroying_) return;
    if (!keys_) {
        hotPos_ = -2;
        hotPt_ = {-1, -1};
        state_ = spNormal;
    }
    keys_ = false;
    popupPath_.clear();
    clicked_ = false;
    popUp_ = false;
    Invalidate();
}

void TFolderPathBar::DoKeyDown(WORD& key, cls::TShiftState) {
    if (allowKeyNav_) KeyNav(key);
}

void TFolderPathBar::KeyNav(WORD key) {
    if (editMode_) return;
    clicked_ = false;
    keys_ = true;
    lastPoint_ = {-1, -1};
    const int midY = ClientHeight() / 2;
    if (hotPos_ == -2) {
        // Any key first highlights the root arrow.
        hotPt_ = {kPartsLeft, midY};
        HitTest();
        Invalidate();
        return;
    }
    const std::vector<int> widths = CaptionWidths();
    const int count = static_cast<int>(widths.size());
    // A path change may have left fewer parts than the highlight counted.
    hotPos_ = std::clamp(hotPos_, -1, count - 1);
    auto edge = [&](int k) { return KeyNavEdge(widths, pathOff_, k); };
    // The point inside button k, or on the root arrow.
    auto pointAt = [&](int k) -> POINT { return {k == -1 ? kPartsLeft : edge(k) - 14, midY}; };
    switch (key) {
        case VK_RIGHT:
            if (++hotPos_ >= count) hotPos_ = -1;
            hotPt_ = pointAt(hotPos_);
            HitTest();
            Invalidate();
            break;
        case VK_LEFT:
            if (--hotPos_ < pathOff_ - 1) hotPos_ = count - 1;
            if (hotPos_ == pathOff_ - 1) hotPos_ = -1;
            hotPt_ = pointAt(hotPos_);
            HitTest();
            Invalidate();
            break;
        case VK_UP:
        case VK_DOWN:
            if (hotPos_ == pathOff_ - 1) hotPos_ = -1;
            hotPt_ = pointAt(hotPos_);
            HitTest();
            popUp_ = true;
            clicked_ = true;
            UpdateView();
            OpenMenu();
            break;
        case VK_RETURN: {
            hotPt_ = {edge(hotPos_) - 14, midY};
            clicked_ = true;
            HitTest();
            if (state_ == spButtonPressed && clickSetPath_) SetPath(popupPath_);
            break;
        }
    }
}

}  // namespace components
