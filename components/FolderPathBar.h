// A breadcrumb bar for one folder: the folder's shell icon, then one button
// per folder level captioned with the shell's name for it, each followed by
// an arrow that drops down that level's sub-folders; a leading arrow opens
// the root menu (hidden ancestors, a new folder, standard shell folders, favourites
// and drives). A click on the empty area turns the bar into an edit box with
// path completion.
//
// The work is split over four sources: this class with its path model
// (FolderPathBar.cpp), layout and painting (FolderPathBarLayout.*), mouse,
// keyboard and focus (FolderPathBarInput.cpp), and the menus and edit mode
// (FolderPathBarMenus.*). The shell calls live in FolderPathBarShell.*.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/Bitmap.h"
#include "classlib/Controls.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/StringList.h"

namespace cls {
class TEdit;
}

namespace components {

// The state of the part under the pointer or with the keyboard's highlight.
enum TspItemState : uint8_t { spNormal, spButtonPressed, spArrowPressed, spButtonHot, spArrowHot };

// The standard shell folders the root menu offers, one bit each.
using TspPaths = uint8_t;
constexpr TspPaths spDesktop = 1;
constexpr TspPaths spDocuments = 2;
constexpr TspPaths spPictures = 4;
constexpr TspPaths spMusic = 8;
constexpr TspPaths spVideos = 16;

// Draws one part in place of the bar: a button, or an arrow (Text is then
// the caption of the button before it, empty for the root arrow).
using TOnOwnerDrawEvent = std::function<void(cls::TComponent* sender, HDC canvas, const RECT& rect,
                                             const std::wstring& text, TspItemState state, bool button)>;
// A folder could not be created; the code is always 0.
using TOnErrorEvent = std::function<void(cls::TComponent* sender, uint8_t exception)>;

// The root arrow's folder marker and the private message the bar posts to
// itself once a folder menu has closed.
constexpr const wchar_t* HomeFolderMarker = L"HomeFolder";
constexpr UINT CM_PATHBAR_MENUCLOSED = WM_USER + 1295;
// Posted to free an edit box after the notification that closed it.
constexpr UINT CM_PATHBAR_FREEEDIT = WM_USER + 1296;

// The eleven colours, in the order of their property index.
enum TspColorIndex {
    ciBtnGreyGrad1,
    ciBtnGreyGrad2,
    ciBtnNormGrad1,
    ciBtnNormGrad2,
    ciBtnHotGrad1,
    ciBtnHotGrad2,
    ciBtnPenGray,
    ciBtnPenNorm,
    ciBtnPenShade1,
    ciBtnPenShade2,
    ciBtnPenArrow,
    ciColorCount
};
struct PathBarColors {
    cls::TColor C[ciColorCount] = {0xF2F2F2, 0xE3E3E3, 0xFDF6EA, 0xF4D9A6, 0xFDF6EA, 0xFADFAC,
                                   0x8F8F8F, 0xB17F3C, 0x927764, 0xEACF9C, cls::clBlack};
};

// --- the path model -----------------------------------------------------------

// S with "\" appended unless it already ends in one; empty stays empty.
std::wstring AddBackslash(std::wstring_view s);
// The folder levels of a path that ends in "\": "C:\Data\" gives C: and Data;
// a network path gives "\\server", then the share and the folders.
std::vector<std::wstring> SplitPathParts(std::wstring_view path);
// The folder of each level, each ending in "\": C:\, C:\Data\, ...
std::vector<std::wstring> CumulativePaths(const std::vector<std::wstring>& parts);
// The hidden ancestors listed first in the root menu: levels 0 .. i joined,
// for i from PathOff - 1 down to 0 (deepest first).
std::vector<std::wstring> HiddenAncestors(const std::vector<std::wstring>& parts, int pathOff);

class TFolderPathBar : public cls::TCustomControl {
public:
    // The settings of a form resource, applied in this order.
    struct Props {
        bool AllowEdit = true;
        bool AllowKeyNav = false;
        bool Auto = true;
        bool AutoComplete = true;
        cls::TColor BorderColor = cls::clSilver;
        cls::TFormBorderStyle BorderStyle = cls::bsNone;
        bool ClickSetPath = true;
        PathBarColors Colors;
        cls::TPopupMenu* CustomPopupMenu = nullptr;
        bool ComputerAsDefault = true;
        bool DirMustExist = true;
        std::optional<int> EmptyPathIcon;
        std::optional<std::wstring> EmptyPathText;
        std::vector<std::wstring> Favorites;
        bool Framed = true;
        bool NetDiskWait = false;
        std::wstring NewFolderName = L"NewFolder";
        bool OwnerDraw = false;
        std::optional<std::wstring> Path;
        bool ShowNewFolder = true;
        TspPaths SpecialFolders = spDesktop | spDocuments;
        bool Transparent = false;
    };

    explicit TFolderPathBar(cls::TComponent* owner);
    ~TFolderPathBar() override;
    void SetProps(const Props& props);

    // --- properties ---
    const std::wstring& Path() const { return path_; }
    // Refused silently (no change, no event) when DirMustExist is on and the
    // value is not an existing folder; the same path again changes nothing.
    void SetPath(const std::wstring& value);

    bool AllowEdit() const { return allowEdit_; }
    void SetAllowEdit(bool v) { allowEdit_ = v; }
    bool AllowKeyNav() const { return allowKeyNav_; }
    void SetAllowKeyNav(bool v) { allowKeyNav_ = v; }
    bool Auto() const { return auto_; }
    void SetAuto(bool v) { auto_ = v; }
    bool AutoComplete() const { return autoComplete_; }
    void SetAutoComplete(bool v) { autoComplete_ = v; }
    cls::TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(cls::TColor v);
    cls::TFormBorderStyle BorderStyle() const { return borderStyle_; }
    // bsNone or bsSingle (a sunken edge).
    void SetBorderStyle(cls::TFormBorderStyle v);
    bool ClickSetPath() const { return clickSetPath_; }
    void SetClickSetPath(bool v) { clickSetPath_ = v; }
    cls::TColor ColorOf(TspColorIndex index) const { return colors_.C[index]; }
    void SetColorOf(TspColorIndex index, cls::TColor value);
    const PathBarColors& Colors() const { return colors_; }
    cls::TPopupMenu* CustomPopupMenu() const { return customPopup_; }
    void SetCustomPopupMenu(cls::TPopupMenu* menu) { customPopup_ = menu; }
    bool ComputerAsDefault() const { return computerAsDefault_; }
    // True fetches the computer folder's name and icon for the empty path.
    void SetComputerAsDefault(bool v);
    bool DirMustExist() const { return dirMustExist_; }
    void SetDirMustExist(bool v) { dirMustExist_ = v; }
    int EmptyPathIcon() const { return emptyPathIcon_; }
    void SetEmptyPathIcon(int v) { emptyPathIcon_ = v; }
    const std::wstring& EmptyPathText() const { return emptyPathText_; }
    void SetEmptyPathText(const std::wstring& v) { emptyPathText_ = v; }
    const cls::TStringList& Favorites() const { return customPaths_; }
    void SetFavorites(const std::vector<std::wstring>& paths);
    bool Framed() const { return framed_; }
    void SetFramed(bool v);
    // The shell's small system image list, shared: never destroyed here.
    HIMAGELIST Images() const { return images_; }
    bool NetDiskWait() const { return netDiskWait_; }
    void SetNetDiskWait(bool v) { netDiskWait_ = v; }
    const std::wstring& NewFolderName() const { return newFolder_; }
    void SetNewFolderName(const std::wstring& v) { newFolder_ = v; }
    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool v);
    bool ShowNewFolder() const { return showNewFolder_; }
    void SetShowNewFolder(bool v) { showNewFolder_ = v; }
    TspPaths SpecialFolders() const { return specialFolders_; }
    void SetSpecialFolders(TspPaths v) { specialFolders_ = v; }  // no repaint
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);

    TOnOwnerDrawEvent OnOwnerDraw;
    cls::TNotifyEvent OnPathChanged;
    TOnErrorEvent OnError;

    // --- operations ---
    // Lays out, hit-tests and paints the bar now.
    void UpdateView();
    // Turns the bar into an edit box: for a typed path, or (CreateFolder)
    // for the name of a new folder in the current one.
    void DoEdit(bool createFolder);
    void ExitEditMode();

    // --- what the bar shows now (read-only views of its state) ---
    const cls::TStringList& Parts() const { return paths_; }
    const cls::TStringList& Captions() const { return pathsShow_; }
    int ImageIndex() const { return imageIdx_; }
    bool ShowArrow() const { return showArrow_; }
    int PathOff() const { return pathOff_; }
    TspItemState State() const { return state_; }
    int HotPos() const { return hotPos_; }
    POINT HotPoint() const { return hotPt_; }
    const std::wstring& PopupPath() const { return popupPath_; }
    POINT PopupPos() const { return popupPos_; }
    int PopUpX() const { return popUpX_; }
    bool Clicked() const { return clicked_; }
    bool MenuOpen() const { return popUp_; }
    bool KeyNavActive() const { return keys_; }
    bool EditMode() const { return editMode_; }
    cls::TEdit* PathEdit() const { return pathEdit_.get(); }
    bool CreatingFolder() const { return createFolder_; }
    // The shell's path completion is attached to the edit box.
    bool CompletionAttached() const { return completion_; }
    // The built-in folder menu (tracked with the bar as its owner, which
    // draws the icons) and what each of its items stands for.
    cls::TPopupMenu* FolderMenu() const { return menu_; }
    const cls::TStringList& MenuLookup() const { return menuLookup_; }
    int MenuItemImage(int tag) const;
    // The off-screen picture of the last paint.
    cls::TBitmap& Canvas() { return bmp_; }

    // Width of a caption in the control's font.
    int TextWidth(const std::wstring& text) const;
    // The number of leading parts hidden for lack of room now.
    int CalcPathOff() const;
    // Finds the part under HotPoint and records its state, folder and menu
    // position.
    void HitTest();
    // Rebuilds the folder menu's items for PopupPath (its OnPopup).
    void BuildPopupMenu();
    // The folder menu's item action.
    void MenuItemClick(cls::TComponent* sender);

    // The shell's path of a standard shell folder by its CSIDL; empty on failure.
    static std::wstring GetSpecialFolderPath(int csidl);
    // The system image list (small icons unless asked for large); 0 on failure.
    static HIMAGELIST SysImageListHandle(const std::wstring& path, bool wantLargeIcons);

    void DoMouseDown(cls::TMouseButton button, cls::TShiftState shift, int x, int y) override;
    void DoMouseUp(cls::TMouseButton button, cls::TShiftState shift, int x, int y) override;
    void DoMouseMove(cls::TShiftState shift, int x, int y) override;
    void DoMouseEnter() override;
    void DoMouseLeave() override;
    void DoKeyDown(WORD& key, cls::TShiftState shift) override;
    void DoEnter() override;
    void DoExit() override;

protected:
    void CreateParams(cls::TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void Paint(HDC dc, const RECT& client) override;

private:
    // Layout and painting.
    std::vector<int> CaptionWidths() const;
    void ComposeView();
    void DrawParentBackground(HDC dc);
    // Input.
    void KeyNav(WORD key);
    void OpenMenu();
    void MenuClosed();
    void Resize();
    // Menus and edit mode.
    void NewFolderMenu();
    void AddMenuItem(const std::wstring& lookup, const std::wstring& caption, int imageIndex);
    void ClearMenu();
    void ApplyMenuIcons();
    // The menu's icons, drawn when the menu asks its owner (the bar).
    int ImageOfCommand(UINT command) const;
    bool MeasureMenuIcon(MEASUREITEMSTRUCT& mis) const;
    bool DrawMenuIcon(const DRAWITEMSTRUCT& dis) const;
    void EditKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void EditKeyPress(cls::TComponent* sender, wchar_t& key);
    void EditExit(cls::TComponent* sender);
    void CommitEdit();
    void ReportCreateFailure(DWORD code);
    void FreeRetiredEdits();
    void ApplyBorderStyle();

    bool auto_ = true;
    bool allowEdit_ = true;
    bool allowKeyNav_ = false;
    bool autoComplete_ = true;
    cls::TBitmap bmp_;
    cls::TColor borderColor_ = cls::clSilver;
    cls::TFormBorderStyle borderStyle_ = cls::bsNone;
    bool clicked_ = false;
    bool clickSetPath_ = true;
    PathBarColors colors_;
    cls::TStringList customPaths_;
    cls::TPopupMenu* customPopup_ = nullptr;  // not owned
    bool computerAsDefault_ = false;
    std::wstring desktopFolder_;
    bool dirMustExist_ = true;
    bool editMode_ = false;
    int emptyPathIcon_ = -1;
    std::wstring emptyPathText_;
    bool framed_ = true;
    HIMAGELIST images_ = nullptr;  // shared system list
    bool keys_ = false;
    POINT lastPoint_ = {-1, -1};
    cls::TPopupMenu* menu_ = nullptr;  // owned as a component, replaced per opening
    cls::TStringList menuLookup_;
    std::vector<int> menuImages_;
    bool netDiskWait_ = false;
    std::wstring newFolder_ = L"NewFolder";
    bool ownerDraw_ = false;
    std::wstring path_;
    std::unique_ptr<cls::TEdit> pathEdit_;
    std::vector<std::unique_ptr<cls::TEdit>> retiredEdits_;
    cls::TStringList paths_;
    cls::TStringList pathsShow_;
    std::wstring popupPath_;
    bool popUp_ = false;
    int popUpX_ = -2;
    bool showArrow_ = false;
    bool showNewFolder_ = true;
    TspPaths specialFolders_ = spDesktop | spDocuments;
    TspItemState state_ = spNormal;
    bool transparent_ = false;
    POINT popupPos_ = {0, 0};
    int pathOff_ = -1;
    int imageIdx_ = -1;
    bool createFolder_ = false;
    POINT hotPt_ = {-1, -1};
    int hotPos_ = -2;
    bool leavingEdit_ = false;
    bool completion_ = false;
    bool destroying_ = false;
};

}  // namespace components
