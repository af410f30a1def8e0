#include "components/FolderPathBar.h"

#include <shlobj.h>

#include <algorithm>

#include "classlib/Edit.h"
#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "components/FolderPathBarShell.h"

namespace components {

std::wstring AddBackslash(std::wstring_view s) {
    std::wstring out(s);
    if (!out.empty() && out.back() != L'\\') out += L'\\';
    return out;
}

std::vector<std::wstring> SplitPathParts(std::wstring_view path) {
    // One line per level: every "\" becomes a line break, and the breaks at
    // either end go with the trimming.
    std::wstring text(path);
    for (wchar_t& c : text)
        if (c == L'\\') c = L'\r';
    cls::TStringList lines;
    lines.SetText(cls::Trim(text));
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        // A network path: the server keeps its two backslashes.
        lines.SetText(L"\\\\" + lines.Text());
    }
    return lines.Lines();
}

std::vector<std::wstring> CumulativePaths(const std::vector<std::wstring>& parts) {
    std::vector<std::wstring> out;
    std::wstring path;
    for (const std::wstring& part : parts) {
        path += part + L"\\";
        out.push_back(path);
    }
    return out;
}

std::vector<std::wstring> HiddenAncestors(const std::vector<std::wstring>& parts, int pathOff) {
    std::vector<std::wstring> out;
    for (int i = std::min(pathOff, static_cast<int>(parts.size())) - 1; i >= 0; --i) {
        std::wstring path;
        for (int j = 0; j <= i; ++j) path += parts[j] + L"\\";
        out.push_back(path);
    }
    return out;
}

// --- TFolderPathBar ---------------------------------------------------------------

TFolderPathBar::TFolderPathBar(cls::TComponent* owner) : cls::TCustomControl(owner) {
    width_ = 150;
    height_ = 25;
    parentColor_ = false;
    parentFont_ = true;
    color_ = cls::clWindow;
    desktopFolder_ = GetSpecialFolderPath(CSIDL_PERSONAL);
    if (HIMAGELIST list = SysImageListHandle(L"", false)) images_ = list;
    NewFolderMenu();
    SetComputerAsDefault(true);
    SetPath(desktopFolder_);
    if (auto* parent = dynamic_cast<cls::TWinControl*>(owner)) SetParent(parent);
}

TFolderPathBar::~TFolderPathBar() {
    destroying_ = true;
    ExitEditMode();
    delete menu_;
    menu_ = nullptr;
}

void TFolderPathBar::SetProps(const Props& p) {
    allowEdit_ = p.AllowEdit;
    allowKeyNav_ = p.AllowKeyNav;
    auto_ = p.Auto;
    autoComplete_ = p.AutoComplete;
    SetBorderColor(p.BorderColor);
    SetBorderStyle(p.BorderStyle);
    clickSetPath_ = p.ClickSetPath;
    colors_ = p.Colors;
    customPopup_ = p.CustomPopupMenu;
    SetComputerAsDefault(p.ComputerAsDefault);
    dirMustExist_ = p.DirMustExist;
    if (p.EmptyPathIcon) emptyPathIcon_ = *p.EmptyPathIcon;
    if (p.EmptyPathText) emptyPathText_ = *p.EmptyPathText;
    SetFavorites(p.Favorites);
    SetFramed(p.Framed);
    netDiskWait_ = p.NetDiskWait;
    newFolder_ = p.NewFolderName;
    SetOwnerDraw(p.OwnerDraw);
    if (p.Path) SetPath(*p.Path);
    showNewFolder_ = p.ShowNewFolder;
    specialFolders_ = p.SpecialFolders;
    SetTransparent(p.Transparent);
}

void TFolderPathBar::SetPath(const std::wstring& value) {
    if (dirMustExist_ && !cls::DirectoryExists(value)) return;
    if (value.empty()) {
        // The computer's name and icon are fetched again.
        SetComputerAsDefault(computerAsDefault_);
        path_.clear();
        paths_.Clear();
        paths_.Add(emptyPathText_);
        pathsShow_.Clear();
        pathsShow_.Add(emptyPathText_);
        imageIdx_ = emptyPathIcon_;
        pathOff_ = 0;
        showArrow_ = false;
    } else {
        if (value == path_) return;
        path_ = AddBackslash(value);
        paths_.Clear();
        for (const std::wstring& part : SplitPathParts(path_)) paths_.Add(part);
        imageIdx_ = FolderIconIndex(path_);
        clicked_ = false;
        showArrow_ = false;
        pathsShow_.Clear();
        const std::vector<std::wstring> folders = CumulativePaths(paths_.Lines());
        for (size_t i = 0; i < folders.size(); ++i) {
            std::wstring name = DisplayNameOfPath(folders[i]);
            pathsShow_.Add(name.empty() ? paths_[static_cast<int>(i)] : name);
        }
        showArrow_ = HasVisibleSubfolder(value);
        pathOff_ = CalcPathOff();
    }
    Invalidate();
    if (OnPathChanged) OnPathChanged(this);
}

void TFolderPathBar::SetComputerAsDefault(bool v) {
    computerAsDefault_ = v;
    if (!v) return;
    ShellItemInfo info = ComputerFolderInfo();
    if (info.Ok) {
        emptyPathIcon_ = info.Icon;
        emptyPathText_ = info.DisplayName;
    }
    Invalidate();
}

void TFolderPathBar::SetBorderColor(cls::TColor v) {
    borderColor_ = v;
    Invalidate();
}

void TFolderPathBar::SetBorderStyle(cls::TFormBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    ApplyBorderStyle();
}

void TFolderPathBar::ApplyBorderStyle() {
    if (!HandleAllocated()) return;
    HWND h = Handle();
    LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    ex = borderStyle_ == cls::bsSingle ? ex | WS_EX_CLIENTEDGE : ex & ~WS_EX_CLIENTEDGE;
    SetWindowLongPtrW(h, GWL_EXSTYLE, ex);
    SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Invalidate();
}

void TFolderPathBar::SetColorOf(TspColorIndex index, cls::TColor value) {
    if (index < 0 || index >= ciColorCount) return;
    colors_.C[index] = value;
    Invalidate();
}

void TFolderPathBar::SetFavorites(const std::vector<std::wstring>& paths) {
    customPaths_.Clear();
    for (const std::wstring& p : paths) customPaths_.Add(p);
}

void TFolderPathBar::SetFramed(bool v) {
    framed_ = v;
    Invalidate();
}

void TFolderPathBar::SetOwnerDraw(bool v) {
    ownerDraw_ = v;
    Invalidate();
}

void TFolderPathBar::SetTransparent(bool v) {
    transparent_ = v;
    Invalidate();
}

std::wstring TFolderPathBar::GetSpecialFolderPath(int csidl) { return SpecialFolderPath(csidl); }

HIMAGELIST TFolderPathBar::SysImageListHandle(const std::wstring& path, bool wantLargeIcons) {
    return SystemImageList(path, wantLargeIcons);
}

void TFolderPathBar::CreateParams(cls::TCreateParams& p) {
    cls::TCustomControl::CreateParams(p);
    p.ClassName = L"TFolderPathBar";
    // A single border is the themed sunken edge.
    if (borderStyle_ == cls::bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

LRESULT TFolderPathBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_GETDLGCODE:
            cls::TCustomControl::WndProc(msg, wp, lp);
            // The arrow keys reach the bar inside dialogs.
            return DLGC_WANTARROWS;
        case CM_PATHBAR_MENUCLOSED:
            MenuClosed();
            return 0;
        case CM_PATHBAR_FREEEDIT:
            FreeRetiredEdits();
            return 0;
        case WM_MEASUREITEM:
            if (MeasureMenuIcon(*reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
            break;
        case WM_DRAWITEM:
            if (DrawMenuIcon(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
            break;
        case WM_WINDOWPOSCHANGED: {
            LRESULT r = cls::TCustomControl::WndProc(msg, wp, lp);
            Resize();
            return r;
        }
    }
    return cls::TCustomControl::WndProc(msg, wp, lp);
}

}  // namespace components
