#include "components/FolderPathBarMenus.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "classlib/Application.h"
#include "classlib/Edit.h"
#include "classlib/Files.h"
#include "classlib/Hooks.h"
#include "classlib/Strings.h"
#include "components/FolderPathBar.h"
#include "components/FolderPathBarShell.h"

namespace components {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring LowerAscii(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

// A digit run's value; a run too long for 64 bits counts as 0.
int64_t RunValue(std::wstring_view digits) {
    int64_t v = 0;
    for (wchar_t c : digits) {
        const int d = c - L'0';
        if (v > (std::numeric_limits<int64_t>::max() - d) / 10) return 0;
        v = v * 10 + d;
    }
    return v;
}

// "&" would mark a hot key and a lone "-" would become a separator.
std::wstring MenuCaption(const std::wstring& text) {
    std::wstring out = cls::ReplaceAll(text, L"&", L"&&");
    return out == L"-" ? L"&-" : out;
}

}  // namespace

int NaturalCompare(std::wstring_view a0, std::wstring_view b0) {
    const std::wstring a = LowerAscii(a0), b = LowerAscii(b0);
    if (a == b) return 0;
    if (a.empty() || b.empty()) return a.size() < b.size() ? -1 : 1;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            const int64_t x = RunValue(std::wstring_view(a).substr(i, ei - i));
            const int64_t y = RunValue(std::wstring_view(b).substr(j, ej - j));
            if (x != y) return x < y ? -1 : 1;
            i = ei, j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            ++i, ++j;
        }
    }
    if (i < a.size()) return 1;  // B ran out first
    if (j < b.size()) return -1;
    return 0;
}

void SortNatural(std::vector<std::wstring>& names) {
    std::stable_sort(names.begin(), names.end(),
                     [](const std::wstring& x, const std::wstring& y) { return NaturalCompare(x, y) < 0; });
}

std::wstring UniqueFolderName(const std::wstring& base, const std::wstring& name,
                              const std::function<bool(const std::wstring&)>& exists) {
    std::wstring candidate = base + name;
    for (int n = 2; exists(candidate); ++n) candidate = base + name + L" " + std::to_wstring(n);
    return candidate;
}

std::vector<std::wstring> RootMenuEntries(const std::vector<std::wstring>& hiddenAncestors, bool showNewFolder,
                                          const std::vector<std::wstring>& specialFolders,
                                          const std::vector<std::wstring>& favorites,
                                          const std::vector<std::wstring>& drives) {
    std::vector<std::wstring> out(hiddenAncestors);
    if (!hiddenAncestors.empty()) out.push_back(SeparatorEntry);
    if (showNewFolder) {
        out.push_back(NewFolderEntry);
        out.push_back(SeparatorEntry);
    }
    out.insert(out.end(), specialFolders.begin(), specialFolders.end());
    out.push_back(SeparatorEntry);
    out.insert(out.end(), favorites.begin(), favorites.end());
    out.push_back(SeparatorEntry);
    out.insert(out.end(), drives.begin(), drives.end());
    return out;
}

std::vector<int> SpecialFolderIds(unsigned char specialFolders) {
    static const int ids[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO};
    std::vector<int> out;
    for (int bit = 0; bit < 5; ++bit)
        if (specialFolders & (1 << bit)) out.push_back(ids[bit]);
    return out;
}

bool IsAbsoluteFolderPath(std::wstring_view p) {
    const bool letter = p.size() >= 3 && ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z'));
    if (letter && p[1] == L':' && p[2] == L'\\') return true;
    return p.size() > 2 && p[0] == L'\\' && p[1] == L'\\' && p[2] != L'\\';
}

// --- the bar's menus ----------------------------------------------------------------

namespace {

// The folder menu is tracked with the bar as its owner, so that the bar
// hears the menu's requests to draw the folder icons.
class TFolderPopupMenu : public cls::TPopupMenu {
public:
    explicit TFolderPopupMenu(TFolderPathBar* bar) : cls::TPopupMenu(bar), bar_(bar) {}
    void Popup(int x, int y) override {
        if (OnPopup) OnPopup(this);
        const UINT command = TrackPopupMenuEx(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                              x, y, bar_->Handle(), nullptr);
        if (command) DispatchCommand(command);
    }

private:
    TFolderPathBar* bar_;
};

}  // namespace

void TFolderPathBar::NewFolderMenu() {
    ClearMenu();
    delete menu_;
    menu_ = new TFolderPopupMenu(this);
    menu_->OnPopup = [this](cls::TComponent*) { BuildPopupMenu(); };
}

void TFolderPathBar::ClearMenu() {
    if (menu_) {
        cls::TMenuItem* root = menu_->Items();
        while (root->Count() > 0) delete root->Items(root->Count() - 1);
    }
    menuLookup_.Clear();
    menuImages_.clear();
}

void TFolderPathBar::AddMenuItem(const std::wstring& lookup, const std::wstring& caption, int imageIndex) {
    auto* item = new cls::TMenuItem(nullptr);
    item->SetCaption(lookup == SeparatorEntry ? caption : MenuCaption(caption));
    item->Tag = menuLookup_.Count();
    item->OnClick = cls::Method(this, &TFolderPathBar::MenuItemClick);
    menu_->Items()->Add(item);
    menuLookup_.Add(lookup);
    menuImages_.push_back(imageIndex);
}

int TFolderPathBar::MenuItemImage(int tag) const {
    return tag >= 0 && tag < static_cast<int>(menuImages_.size()) ? menuImages_[tag] : -1;
}

void TFolderPathBar::ApplyMenuIcons() {
    if (!images_) return;
    HMENU menu = menu_->Handle();  // the system menu, with every item in it
    for (int i = 0; i < static_cast<int>(menuImages_.size()); ++i) {
        if (menuImages_[i] < 0) continue;
        MENUITEMINFOW mii{sizeof(mii)};
        mii.fMask = MIIM_BITMAP;
        // Drawn by the owner: a bitmap would lose the icon's transparency
        // where the system draws menu bitmaps without their alpha.
        mii.hbmpItem = HBMMENU_CALLBACK;
        SetMenuItemInfoW(menu, i, TRUE, &mii);
    }
}

int TFolderPathBar::ImageOfCommand(UINT command) const {
    if (!menu_) return -1;
    cls::TMenuItem* root = menu_->Items();
    for (int i = 0; i < root->Count(); ++i)
        if (root->Items(i)->Command() == command) return MenuItemImage(root->Items(i)->Tag);
    return -1;
}

bool TFolderPathBar::MeasureMenuIcon(MEASUREITEMSTRUCT& mis) const {
    if (mis.CtlType != ODT_MENU || ImageOfCommand(mis.itemID) < 0) return false;
    int w = 16, h = 16;
    ImageList_GetIconSize(images_, &w, &h);
    mis.itemWidth = w;
    mis.itemHeight = h;
    return true;
}

bool TFolderPathBar::DrawMenuIcon(const DRAWITEMSTRUCT& dis) const {
    if (dis.CtlType != ODT_MENU) return false;
    const int image = ImageOfCommand(dis.itemID);
    if (image < 0 || !images_) return false;
    int w = 16, h = 16;
    ImageList_GetIconSize(images_, &w, &h);
    const int top = dis.rcItem.top + (dis.rcItem.bottom - dis.rcItem.top - h) / 2;
    ImageList_Draw(images_, image, dis.hDC, dis.rcItem.left, top, ILD_TRANSPARENT);
    return true;
}

void TFolderPathBar::BuildPopupMenu() {
    popUpX_ = hotPos_;
    HCURSOR previous = ::SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    cls::ScopeExit restoreCursor([previous] { ::SetCursor(previous); });
    ClearMenu();
    // A folder the shell cannot name is still listed under its own name.
    auto addFolder = [this](const std::wstring& lookup, const std::wstring& path, const std::wstring& fallback) {
        ShellItemInfo info = FolderInfo(path);
        AddMenuItem(lookup, info.DisplayName.empty() ? fallback : info.DisplayName, info.Ok ? info.Icon : -1);
    };
    if (popupPath_ == HomeFolderMarker) {
        std::vector<std::wstring> special, drives;
        for (int id : SpecialFolderIds(specialFolders_))
            if (std::wstring path = GetSpecialFolderPath(id); !path.empty()) special.push_back(path);
        for (const std::wstring& root : LogicalDriveRoots())
            if (DriveListed(root, netDiskWait_)) drives.push_back(root);
        for (const std::wstring& entry :
             RootMenuEntries(HiddenAncestors(paths_.Lines(), pathOff_), showNewFolder_, special, customPaths_.Lines(), drives)) {
            if (entry == SeparatorEntry)
                AddMenuItem(entry, L"-", -1);
            else if (entry == NewFolderEntry)
                AddMenuItem(entry, newFolder_, -1);
            else
                addFolder(entry, entry, entry);
        }
    } else {
        std::vector<std::wstring> names = ListSubfolders(popupPath_);
        SortNatural(names);
        for (const std::wstring& name : names) addFolder(name, popupPath_ + name, name);
    }
    ApplyMenuIcons();
}

void TFolderPathBar::MenuItemClick(cls::TComponent* sender) {
    auto* item = dynamic_cast<cls::TMenuItem*>(sender);
    if (!item || item->Tag < 0 || item->Tag >= menuLookup_.Count()) return;
    const std::wstring entry = menuLookup_[item->Tag];
    if (popupPath_ != HomeFolderMarker)
        SetPath(popupPath_ + entry);
    else if (entry == NewFolderEntry)
        DoEdit(true);
    else if (entry != SeparatorEntry)
        SetPath(entry);
}

// --- edit mode ----------------------------------------------------------------------

void TFolderPathBar::DoEdit(bool createFolder) {
    if (editMode_) ExitEditMode();  // never two boxes
    createFolder_ = createFolder;
    pathEdit_ = std::make_unique<cls::TEdit>(nullptr);
    cls::TEdit* edit = pathEdit_.get();
    edit->SetProps({.BorderStyle = false});
    edit->SetParentFont(false);
    edit->SetVisible(false);
    edit->OnKeyDown = cls::Method(this, &TFolderPathBar::EditKeyDown);
    edit->OnKeyPress = cls::Method(this, &TFolderPathBar::EditKeyPress);
    edit->OnExit = cls::Method(this, &TFolderPathBar::EditExit);
    edit->SetParent(this);
    editMode_ = true;
    completion_ = autoComplete_ && edit->HandleAllocated() &&
                  SUCCEEDED(SHAutoComplete(edit->Handle(), SHACF_FILESYS_DIRS | SHACF_URLHISTORY | SHACF_URLMRU |
                                                               SHACF_AUTOSUGGEST_FORCE_ON | SHACF_AUTOAPPEND_FORCE_ON));
    edit->SetColor(Color());
    edit->Font() = Font();
    const int height = Font().Size() + 6;
    edit->SetBounds(4, (ClientHeight() - height) / 2, ClientWidth() - 8, height);
    size_t selStart = 0;
    if (createFolder) {
        const std::wstring base = AddBackslash(path_);
        edit->SetText(UniqueFolderName(base, newFolder_, [](const std::wstring& p) { return cls::DirectoryExists(p); }));
        selStart = base.size();  // the new folder's name is selected
    } else {
        edit->SetText(path_);
    }
    edit->Show();
    UpdateView();  // only the background and frame behind the box
    auto alive = alive_;
    edit->SetFocus();
    if (!*alive || !editMode_ || pathEdit_.get() != edit) return;
    if (edit->HandleAllocated()) SendMessageW(edit->Handle(), EM_SETSEL, selStart, -1);
}

void TFolderPathBar::ExitEditMode() {
    if (!editMode_ || leavingEdit_) return;
    leavingEdit_ = true;
    std::unique_ptr<cls::TEdit> edit = std::move(pathEdit_);
    // A notification that arrives while the box goes must not leave again.
    edit->OnExit = nullptr;
    edit->OnKeyDown = nullptr;
    edit->OnKeyPress = nullptr;
    const bool hadFocus = edit->HandleAllocated() && GetFocus() == edit->Handle();
    if (!destroying_) {
        Invalidate();
        // Only a box that still has the focus hands it to the bar; a click
        // elsewhere keeps the focus where it went.
        if (hadFocus && CanFocus()) SetFocus();
    }
    edit->Hide();
    if (cls::TForm* form = ParentForm(); form && form->ActiveControl() == edit.get()) form->SetActiveControl(nullptr);
    editMode_ = false;
    leavingEdit_ = false;
    if (destroying_ || !HandleAllocated()) return;  // freed here, outside any of its handlers
    // The box may be inside its own key or focus notification: it goes once
    // that has returned.
    retiredEdits_.push_back(std::move(edit));
    PostMessageW(Handle(), CM_PATHBAR_FREEEDIT, 0, 0);
}

void TFolderPathBar::FreeRetiredEdits() { retiredEdits_.clear(); }

void TFolderPathBar::EditKeyDown(cls::TComponent*, WORD& key, cls::TShiftState) {
    if (key == VK_ESCAPE) {
        key = 0;
        ExitEditMode();
    } else if (key == VK_RETURN) {
        key = 0;
        CommitEdit();
    }
}

void TFolderPathBar::EditKeyPress(cls::TComponent*, wchar_t& key) {
    if (key == L'\r' || key == 27) key = 0;  // no beep
}

void TFolderPathBar::EditExit(cls::TComponent*) { ExitEditMode(); }

void TFolderPathBar::CommitEdit() {
    if (!pathEdit_) return;
    auto alive = alive_;
    const std::wstring text = pathEdit_->Text();
    // A relative name would land in whatever folder is current.
    const bool absolute = IsAbsoluteFolderPath(text);
    if (createFolder_) {
        if (!absolute) {
            ReportCreateFailure(ERROR_BAD_PATHNAME);
        } else if (!CreateDirectoryW(text.c_str(), nullptr)) {
            ReportCreateFailure(GetLastError());
        }
        if (!*alive) return;
    }
    if (absolute) {
        SetPath(text);
        if (!*alive) return;
    }
    ExitEditMode();
}

void TFolderPathBar::ReportCreateFailure(DWORD code) {
    if (OnError) {
        OnError(this, 0);
        return;
    }
    cls::ShowMessageBox(GetActiveWindow(), CreateFolderFailedText + std::to_wstring(code), cls::Application.Title(),
                        MB_OK);
}

}  // namespace components
