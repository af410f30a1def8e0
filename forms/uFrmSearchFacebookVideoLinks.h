// The video-link search window: builds a web-search address for public
// video links of the site from a keyword, a kind and an engine language, and
// opens it in the default browser. Non-modal; at most one exists.
#pragma once
#include <string>
#include <vector>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TLabel;
class TPanel;
}  // namespace cls

namespace app {

// The search engine every entry of the engine list searches with.
constexpr const wchar_t* SearchEngineHost = L"www.google.com";

struct TSearchEngineEntry {
    const wchar_t* Caption;
    const wchar_t* Language;  // "hl=.." or empty
};
// The engine list, in its order; entry 2 is a separator line.
const std::vector<TSearchEngineEntry>& SearchEngines();
constexpr int SearchEngineSeparator = 2;

// The keyword as a query value: trimmed, blanks as "+", every other byte of
// its UTF-8 form that is not a letter, digit or one of "-_.~" as %XX.
std::wstring EncodeSearchKeyword(const std::wstring& keyword);
// The search address for a keyword, the engine list's index and the kind
// list's index (0 video links, any other album links).
std::wstring BuildSearchAddress(const std::wstring& keyword, int engineIndex, int typeIndex);

class TFrmSearchFacebookVideoLinks : public cls::TForm {
public:
    explicit TFrmSearchFacebookVideoLinks(cls::TComponent* owner = nullptr);
    ~TFrmSearchFacebookVideoLinks() override;

    static constexpr const wchar_t* WindowClass = L"TFrmSearchFacebookVideoLinks";
    static constexpr int DesignClientWidth = 409;
    static constexpr int DesignClientHeight = 156;

    cls::TPanel* Panel1 = nullptr;
    cls::TLabel* Label3 = nullptr;
    cls::TEdit* EdtKeyword = nullptr;
    cls::TLabel* LblMsg = nullptr;
    cls::TLabel* Label1 = nullptr;
    cls::TComboBox* CmbEngine = nullptr;
    cls::TLabel* Label2 = nullptr;
    cls::TComboBox* CmbType = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnSearch = nullptr;
    cls::TButton* BtnCancel = nullptr;
    cls::TCheckBox* ChkDontClose = nullptr;

    void BtnSearchClick(cls::TComponent* sender);
    void CmbEngineClick(cls::TComponent* sender);
    void CmbEngineKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormClose(cls::TComponent* sender, cls::TCloseAction& action);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void BtnCancelClick(cls::TComponent* sender);
    void CmbEngineSelect(cls::TComponent* sender);
    void EdtKeywordChange(cls::TComponent* sender);
};

// The window while it exists and is not closing; null otherwise.
extern TFrmSearchFacebookVideoLinks* FrmSearchFacebookVideoLinks;
// The keyword box's text at the last search, as typed.
extern std::wstring LastSearchKeyword;

// Options > Facebook Tools > Search Facebook Video Links...: raises the
// window and focuses its keyword box when it exists, else makes it with
// MainForm as its pop-up parent and shows it.
void ShowSearchLinksForm(cls::TForm* mainForm);
bool SearchLinksFormExists();
// Destroys the window now, before the main window shows a modal one.
void FreeSearchLinksForm();

}  // namespace app
