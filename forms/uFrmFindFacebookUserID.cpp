#include "forms/uFrmFindFacebookUserID.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ComboBox.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Hooks.h"
#include "classlib/Image.h"
#include "classlib/Label.h"
#include "classlib/Picture.h"
#include "classlib/Raii.h"
#include "classlib/Strings.h"
#include "forms/LinkDropTarget.h"
#include "engine/FBapi.h"
#include "engine/ProfileSearch.h"
#include "forms/LoginState.h"
#include "forms/uFrmSearchFacebookVideoLinks.h"

namespace app {

using namespace cls;

TFrmFindFacebookUserID* FrmFindFacebookUserID = nullptr;
std::wstring LastUserLink;
int LastLinkFormat = 0;
bool UserIdFormStarting = false;
std::function<void()> UserIdLoginHook;

namespace {

const wchar_t* const ShortSiteDomain = L"fb.com";
const wchar_t* const SamplePageName = L"facebook";
const wchar_t* const BusyPicture = L"KV_MSG_WORK";

const wchar_t* const EmptyLinkText = L"Facebook URL field is empty. Please enter the required data.";
const wchar_t* const InvalidLinkText = L"Invalid URL format. Please enter a valid Facebook user URL.";
const wchar_t* const AnalyzingText = L"Analyzing Facebook URL, please wait...";
const wchar_t* const NoIdText = L"Unable to get the Facebook user ID for the entered URL.";
const wchar_t* const SuccessText = L"Success! Facebook user ID recovered.";
const wchar_t* const EditedText = L"Type or paste a Facebook user link in the text bar above and click Scan.";
const wchar_t* const ShownText =
    L"Paste a Facebook user link in the text bar above and click Scan, or simply drag and drop the link from "
    L"your browser to this window.";

constexpr int SampleRowHeight = 13;
constexpr int SampleLinkTop = 102;
constexpr int FullPanelHeight = 128;

std::wstring Web(const std::wstring& path) { return L"https://" + engine::WebHost + path; }

engine::TLoggedInUser LoggedInUser() { return {LoggedInUserId, LoggedInUsername}; }

void LoadBusyPicture(TImage* image) {
    try {
        TPicture picture;
        picture.LoadFromResource(GetModuleHandleW(nullptr), BusyPicture);
        image->AssignPicture(picture);
    } catch (...) {
        // Without the resource the indicator stays blank.
    }
}

}  // namespace

// --- plain routines -----------------------------------------------------------

std::wstring NormalizeProfileLink(const std::wstring& link) {
    std::wstring s = ReplaceAll(Trim(link), ShortSiteDomain, engine::SiteDomain, true);
    return ReplaceAll(s, engine::SiteDomain, LowerCase(engine::SiteDomain), true);
}

std::wstring CanonicalProfileLink(int kind, const std::wstring& n, const std::wstring& loggedInId,
                                  const std::wstring& loggedInUsername) {
    using namespace engine;
    switch (kind) {
        case plkName:
            if (n == loggedInUsername || n == loggedInId) {
                if (!loggedInUsername.empty()) return Web(L"/" + loggedInUsername);
                if (!loggedInId.empty()) return Web(L"/profile.php?id=" + loggedInId);
            }
            return Web(L"/" + n);
        case plkProfileId: return Web(L"/profile.php?id=" + n);
        case plkPages: return Web(L"/pages/" + n);
        case plkVideoSet:
        case plkVideoPhpSet: return Web(L"/media/set/?set=vb." + n + L"&type=2");
        case plkPeople: return Web(L"/people/" + n);
        case plkAlbumSet: return Web(L"/media/set/?set=o." + n + L"&type=2");
        case plkPhotoSet: return Web(L"/media/set/?set=p." + n + L"&type=2");
        case plkGroups: return Web(L"/groups/" + n);
        case plkEvents: return Web(L"/events/" + n);
        case plkMessages: return Web(L"/messages/" + n);
        default: return {};
    }
}

std::wstring ProfileLinkOfType(int index, const std::wstring& id) {
    switch (index) {
        case 0: return Web(L"/profile.php?id=" + id);
        case 1: return Web(L"/" + id);
        case 2: return L"https://" + engine::MobileHost + L"/" + id;
        case 3: return L"https://" + engine::ShortWebHost() + L"/" + id;
        case 4: return Web(L"/media/set/?set=vb." + id + L"&type=2");
        default: return {};
    }
}

bool IsNumber(const std::wstring& text) {
    // Digits only: a sign, blanks or a "$" hex prefix would build links to
    // some other profile. Too long a number does not fit and gives -1.
    return IsAsciiDigits(text) && StrToInt64Def(text, -1) >= 0;
}

std::wstring SampleProfileLink() { return Web(std::wstring(L"/") + SamplePageName); }

// --- the window ---------------------------------------------------------------

TFrmFindFacebookUserID::TFrmFindFacebookUserID(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmFindFacebookUserID::~TFrmFindFacebookUserID() {
    if (FrmFindFacebookUserID == this) FrmFindFacebookUserID = nullptr;
    // The drop target goes before the library it needs.
    FreeLinkDropTarget(DropURLTarget1);
}

void TFrmFindFacebookUserID::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poMainFormCenter,
        .KeyPreview = true,
    });
    OnCreate = Method(this, &TFrmFindFacebookUserID::FormCreate);
    OnShow = Method(this, &TFrmFindFacebookUserID::FormShow);
    OnKeyDown = Method(this, &TFrmFindFacebookUserID::FormKeyDown);
    SetMessageHandler(CM_ANALYZEDROPPEDLINK, Method(this, &TFrmFindFacebookUserID::AnalyzeDroppedLink));
    // Links dragged from a browser.
    DropURLTarget1 = PlaceLinkDropTarget(
        this, {.OnEnter = [this](const std::wstring& url, DWORD& effect) { DropURLTarget1Enter(url, effect); },
               .OnDrop = [this](const std::wstring& url, DWORD& effect) { DropURLTarget1Drop(url, effect); },
               .ShowImage = [this] { return DropShowImage(); }});

    Panel1 = New<TPanel>(this, {.Name = L"Panel1", .Height = FullPanelHeight, .Align = alTop, .TabOrder = 0},
                         {.BevelOuter = bvNone});
    Label3 = New<TLabel>(Panel1, {.Name = L"Label3", .Left = 8, .Top = 11}, {.Caption = L"Facebook URL:"});
    // As tall as its wrapped text, so none of it hides behind the row below.
    LblMsg = New<TLabel>(Panel1, {.Name = L"LblMsg", .Left = 8, .Top = 86, .Width = 485, .Height = 26},
                         {.AutoSize = true, .WordWrap = true, .ShowAccelChar = false});
    Label1 = New<TLabel>(Panel1, {.Name = L"Label1", .Left = 8, .Top = 63}, {.Caption = L"UID:"});
    Label2 = New<TLabel>(Panel1, {.Name = L"Label2", .Left = 8, .Top = 37}, {.Caption = L"PID:"});
    EdtLink = New<TEdit>(Panel1, {.Name = L"EdtLink", .Left = 89, .Top = 7, .Width = 407, .TabOrder = 0},
                         {.TextHint = L"Type or paste here a Facebook user URL."});
    EdtLink->OnChange = Method(this, &TFrmFindFacebookUserID::EdtLinkChange);
    EdtLink->OnClick = Method(this, &TFrmFindFacebookUserID::EdtLinkClick);
    EdtUID = New<TEdit>(Panel1, {.Name = L"EdtUID", .Left = 89, .Top = 59, .Width = 407, .TabStop = false},
                        {.ReadOnly = true});
    EdtPID = New<TEdit>(Panel1, {.Name = L"EdtPID", .Left = 89, .Top = 33, .Width = 314, .TabStop = false},
                        {.ReadOnly = true});
    for (TEdit* box : {EdtUID, EdtPID}) {
        box->OnEnter = Method(this, &TFrmFindFacebookUserID::EdtPIDEnter);
        box->OnMouseMove = Method(this, &TFrmFindFacebookUserID::EdtPIDMouseMove);
        box->OnMouseLeave = Method(this, &TFrmFindFacebookUserID::EdtPIDMouseLeave);
    }
    CmbPIDFmt = New<TComboBox>(
        Panel1,
        {.Name = L"CmbPIDFmt", .Left = 409, .Top = 33, .Width = 87, .Hint = L"Link Type", .ShowHint = true,
         .TabStop = false},
        {.Style = csDropDownList,
         .Items = {L"Profile Link", L"Common Link", L"Mobile Link", L"Short Link", L"Videos Link"}});
    CmbPIDFmt->OnSelect = Method(this, &TFrmFindFacebookUserID::CmbPIDFmtSelect);
    ImgProcesando = New<TImage>(Panel1, {.Name = L"ImgProcesando", .Left = 480, .Top = 91, .Width = 16,
                                          .Height = 11, .Visible = false},
                                {.Transparent = true});
    LoadBusyPicture(ImgProcesando);
    LblTestFBLink = New<TLabel>(Panel1, {.Name = L"LblTestFBLink", .Left = 151, .Top = SampleLinkTop,
                                         .Cursor = crHandPoint,
                                         .Font = TFontSpec{.Style = fsUnderline, .Color = 8404992}},
                                {.Caption = L"Test a link now!"});
    LblTestFBLink->OnClick = Method(this, &TFrmFindFacebookUserID::LblTestFBLinkClick);

    Bevel1 = New<TBevel>(this, {.Name = L"Bevel1", .Top = FullPanelHeight, .Height = 2, .Align = alTop},
                         {.Shape = bsTopLine});

    auto button = [&](const wchar_t* name, const wchar_t* caption, int left, int tab) {
        return New<TButton>(this, {.Name = name, .Left = left, .Top = 136, .Width = 75, .Height = 25, .TabOrder = tab},
                            {.Caption = caption});
    };
    BtnScan = button(L"BtnScan", L"Scan", 97, 1);
    BtnScan->SetDefault(true);
    BtnScan->OnClick = Method(this, &TFrmFindFacebookUserID::BtnScanClick);
    BtnTestUID = button(L"BtnTestUID", L"Test PID", 178, 2);
    BtnTestUID->OnClick = Method(this, &TFrmFindFacebookUserID::BtnTestUIDClick);
    BtnCopyPID = button(L"BtnCopyPID", L"Copy PID", 259, 3);
    BtnCopyPID->OnClick = Method(this, &TFrmFindFacebookUserID::BtnCopyPIDClick);
    BtnCopyUID = button(L"BtnCopyUID", L"Copy UID", 340, 4);
    BtnCopyUID->OnClick = Method(this, &TFrmFindFacebookUserID::BtnCopyUIDClick);
    BtnClose = button(L"BtnClose", L"Close", 421, 5);
    BtnClose->ModalResult = mrClose;
}

void TFrmFindFacebookUserID::FormCreate(TComponent*) {
    SetCaption(L"Find Facebook User ID");
    UserIdFormStarting = true;
    EdtLink->SetText(LastUserLink);
    for (TControl* c : std::initializer_list<TControl*>{BtnCopyUID, BtnCopyPID, BtnTestUID, EdtUID, EdtPID})
        c->SetEnabled(false);
    CmbPIDFmt->SetItemIndex(LastLinkFormat);
    LblTestFBLink->Show();
}

void TFrmFindFacebookUserID::FormShow(TComponent*) {
    LblMsg->SetCaption(ShownText);
    PlaceSampleLink();
    UserIdFormStarting = false;
}

void TFrmFindFacebookUserID::PlaceSampleLink() {
    // The opening text can wrap further in the program's font than the row
    // was laid out for: the sample link then goes below it instead of over it.
    LblTestFBLink->SetTop(SampleLinkTop);
    RECT text = LblMsg->BoundsRect(), link = LblTestFBLink->BoundsRect(), both{};
    if (IntersectRect(&both, &text, &link)) LblTestFBLink->SetTop(text.bottom);
}

void TFrmFindFacebookUserID::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

void TFrmFindFacebookUserID::CollapseSampleRow() {
    if (Panel1->Height() != FullPanelHeight) return;
    Panel1->SetHeight(FullPanelHeight - SampleRowHeight);
    for (TButton* b : {BtnScan, BtnTestUID, BtnCopyPID, BtnCopyUID, BtnClose}) b->SetTop(b->Top() - SampleRowHeight);
    SetClientHeight(ClientHeight() - SampleRowHeight);
}

void TFrmFindFacebookUserID::LoginFirst() {
    if (LoggedInUserId.empty() && UserIdLoginHook) UserIdLoginHook();
}

void TFrmFindFacebookUserID::AnalyzeUserLink(const std::wstring& text) {
    LblTestFBLink->Hide();
    CollapseSampleRow();

    const std::wstring link = NormalizeProfileLink(text);
    if (link.empty()) {
        LblMsg->SetCaption(EmptyLinkText);
        return;
    }
    const engine::TLoggedInUser user = LoggedInUser();
    const engine::TProfileLink parsed = engine::ParseProfileLink(link, user);
    if (!engine::IsFacebookLink(link) || parsed.Kind == engine::plkNone) {
        LblMsg->SetCaption(InvalidLinkText);
        EdtLink->SetFocus();
        return;
    }

    EdtLink->SetText(CanonicalProfileLink(parsed.Kind, parsed.Part, user.Id, user.Username));
    LastUserLink = EdtLink->Text();
    EdtLink->SetSelStart(0);

    for (TControl* c : std::initializer_list<TControl*>{BtnScan, BtnClose, BtnCopyUID, BtnCopyPID, BtnTestUID,
                                                         EdtUID, EdtPID, CmbPIDFmt})
        c->SetEnabled(false);
    EdtPID->SetHint(L"");
    LblMsg->SetCaption(AnalyzingText);
    ImgProcesando->Show();
    ImgProcesando->SetAnimate(true);
    EdtUID->Clear();
    EdtPID->Clear();
    EdtLink->SetEnabled(false);

    std::wstring id;
    try {
        id = engine::FetchUserId(parsed.Part, parsed.Kind, user);
    } catch (...) {
        // Counts as no ID; the window must not stay disabled.
    }

    if (id.empty() || !IsNumber(id)) {
        LblMsg->SetCaption(NoIdText);
    } else {
        EdtPID->SetHint(id);
        EdtUID->SetEnabled(true);
        EdtPID->SetEnabled(true);
        EdtUID->SetText(id);
        for (TButton* b : {BtnCopyUID, BtnCopyPID, BtnTestUID}) b->SetEnabled(true);
        LblMsg->SetCaption(SuccessText);
        if (EdtLink->Text() == Web(L"/profile.php?id=" + id) && CmbPIDFmt->ItemIndex() == 0) {
            // Showing the link just typed would tell nothing new.
            EdtPID->SetText(ProfileLinkOfType(1, id));
            CmbPIDFmt->SetItemIndex(1);
        } else {
            EdtPID->SetText(ProfileLinkOfType(CmbPIDFmt->ItemIndex(), id));
        }
    }

    for (TControl* c : std::initializer_list<TControl*>{BtnScan, BtnClose, EdtLink, CmbPIDFmt}) c->SetEnabled(true);
    ImgProcesando->Hide();
    ImgProcesando->SetAnimate(false);
}

void TFrmFindFacebookUserID::BtnScanClick(TComponent*) {
    LoginFirst();
    AnalyzeUserLink(EdtLink->Text());
}

void TFrmFindFacebookUserID::LblTestFBLinkClick(TComponent*) {
    LoginFirst();
    AnalyzeUserLink(SampleProfileLink());
}

void TFrmFindFacebookUserID::DropURLTarget1Enter(const std::wstring& url, DWORD& effect) {
    const std::wstring link = NormalizeProfileLink(url);
    if (BtnScan->Enabled() && engine::IsFacebookLink(link) &&
        engine::ParseProfileLink(link, LoggedInUser()).Kind != engine::plkNone) {
        dropShowImage_ = true;
    } else {
        dropShowImage_ = false;
        effect = DROPEFFECT_NONE;
    }
}

void TFrmFindFacebookUserID::DropURLTarget1Drop(const std::wstring& url, DWORD&) {
    // The lookup waits for the network: it runs once the drop has returned,
    // so the program the link came from is not kept waiting.
    droppedLink_ = url;
    PostMessageW(Handle(), CM_ANALYZEDROPPEDLINK, 0, 0);
}

void TFrmFindFacebookUserID::AnalyzeDroppedLink(TMessage& msg) {
    msg.Handled = true;
    const std::wstring link = std::exchange(droppedLink_, std::wstring());
    if (link.empty() || !BtnScan->Enabled()) return;
    AnalyzeUserLink(link);
}

void TFrmFindFacebookUserID::CmbPIDFmtSelect(TComponent*) {
    LastLinkFormat = CmbPIDFmt->ItemIndex();
    if (!EdtPID->Hint().empty()) EdtPID->SetText(ProfileLinkOfType(LastLinkFormat, EdtPID->Hint()));
}

void TFrmFindFacebookUserID::BtnTestUIDClick(TComponent*) {
    ShellExecuteStr(GetDesktopWindow(), L"Open", EdtPID->Text(), L"", L"", SW_SHOW);
}

void TFrmFindFacebookUserID::BtnCopyUIDClick(TComponent*) {
    EdtUID->SelectAll();
    EdtUID->CopyToClipboard();
}

void TFrmFindFacebookUserID::BtnCopyPIDClick(TComponent*) {
    EdtPID->SelectAll();
    EdtPID->CopyToClipboard();
    EdtPID->SetSelStart(1);
    EdtPID->SetSelLength(0);
}

void TFrmFindFacebookUserID::EdtLinkChange(TComponent*) {
    if (!UserIdFormStarting) CollapseSampleRow();
    LblTestFBLink->Hide();
    EdtUID->Clear();
    EdtPID->Clear();
    EdtPID->SetHint(L"");
    for (TControl* c : std::initializer_list<TControl*>{EdtUID, EdtPID, BtnCopyPID, BtnCopyUID, BtnTestUID})
        c->SetEnabled(false);
    LblMsg->SetCaption(EditedText);
}

void TFrmFindFacebookUserID::EdtLinkClick(TComponent*) {
    if (EdtLink->SelLength() == 0) EdtLink->SelectAll();
}

void TFrmFindFacebookUserID::EdtPIDEnter(TComponent*) {
    if (BtnScan->Enabled()) BtnScan->SetFocus();
}

void TFrmFindFacebookUserID::EdtPIDMouseMove(TComponent* sender, TShiftState, int, int) {
    if (auto* box = dynamic_cast<TEdit*>(sender); box && box->ReadOnly()) box->SetCursor(crArrow);
}

void TFrmFindFacebookUserID::EdtPIDMouseLeave(TComponent* sender) {
    if (auto* box = dynamic_cast<TEdit*>(sender)) box->SetCursor(crDefault);
}

// --- opening from the main window --------------------------------------------

void OpenFindUserIdWindow(TForm* mainForm) {
    FreeSearchLinksForm();
    std::unique_ptr<TFrmFindFacebookUserID> form(new TFrmFindFacebookUserID(nullptr));
    FrmFindFacebookUserID = form.get();
    ScopeExit clear([] { FrmFindFacebookUserID = nullptr; });
    form->SetPopupParent(mainForm);
    form->ShowModal();
}

bool UserIdFormExists() { return FrmFindFacebookUserID != nullptr; }

}  // namespace app
