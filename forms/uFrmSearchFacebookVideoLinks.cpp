#include "forms/uFrmSearchFacebookVideoLinks.h"

#include <windows.h>

#include <string>

#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ComboBox.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Hooks.h"
#include "classlib/Label.h"
#include "classlib/Strings.h"
#include "engine/FBapi.h"
#include "forms/Settings.h"

namespace app {

using namespace cls;

TFrmSearchFacebookVideoLinks* FrmSearchFacebookVideoLinks = nullptr;
std::wstring LastSearchKeyword;

namespace {

const wchar_t* const HintText = L"Please enter any word to search Facebook public video links on the Web.";
const wchar_t* const EmptyKeywordText = L"Keyword field is empty. Please enter the required data.";

std::vector<std::wstring> EngineCaptions() {
    std::vector<std::wstring> captions;
    for (const auto& e : SearchEngines()) captions.push_back(e.Caption);
    return captions;
}

}  // namespace

// --- plain routines -----------------------------------------------------------

const std::vector<TSearchEngineEntry>& SearchEngines() {
    static const std::wstring separator(90, L'-');
    static const std::vector<TSearchEngineEntry> engines = {
        {L"Google", L""},
        {L"Google English", L"hl=en"},
        {separator.c_str(), L""},
        {L"Google Afrikaans", L"hl=af"},
        {L"Google Albanian", L"hl=sq"},
        {L"Google Amharic", L"hl=am"},
        {L"Google Arabic", L"hl=ar"},
        {L"Google Azerbaijani", L"hl=az"},
        {L"Google Basque", L"hl=eu"},
        {L"Google Belarusian", L"hl=be"},
        {L"Google Bengali", L"hl=bn"},
        {L"Google Bihari", L"hl=bh"},
        {L"Google Bosnian", L"hl=bs"},
        {L"Google Bulgarian", L"hl=bg"},
        {L"Google Catalan", L"hl=ca"},
        {L"Google Chinese (Simplified)", L"hl=zh-CN"},
        {L"Google Chinese (Traditional)", L"hl=zh-TW"},
        {L"Google Croatian", L"hl=hr"},
        {L"Google Czech", L"hl=cs"},
        {L"Google Danish", L"hl=da"},
        {L"Google Dutch", L"hl=nl"},
        {L"Google English", L"hl=en"},
        {L"Google Esperanto", L"hl=eo"},
        {L"Google Estonian", L"hl=et"},
        {L"Google Faroese", L"hl=fo"},
        {L"Google Finnish", L"hl=fi"},
        {L"Google French", L"hl=fr"},
        {L"Google Frisian", L"hl=fy"},
        {L"Google Galician", L"hl=gl"},
        {L"Google Georgian", L"hl=ka"},
        {L"Google German", L"hl=de"},
        {L"Google Greek", L"hl=el"},
        {L"Google Gujarati", L"hl=gu"},
        {L"Google Hebrew", L"hl=iw"},
        {L"Google Hindi", L"hl=hi"},
        {L"Google Hungarian", L"hl=hu"},
        {L"Google Icelandic", L"hl=is"},
        {L"Google Indonesian", L"hl=id"},
        {L"Google Interlingua", L"hl=ia"},
        {L"Google Irish", L"hl=ga"},
        {L"Google Italian", L"hl=it"},
        {L"Google Japanese", L"hl=ja"},
        {L"Google Javanese", L"hl=jw"},
        {L"Google Kannada", L"hl=kn"},
        {L"Google Korean", L"hl=ko"},
        {L"Google Latin", L"hl=la"},
        {L"Google Latvian", L"hl=lv"},
        {L"Google Lithuanian", L"hl=lt"},
        {L"Google Macedonian", L"hl=mk"},
        {L"Google Malay", L"hl=ms"},
        {L"Google Malayam", L"hl=ml"},
        {L"Google Maltese", L"hl=mt"},
        {L"Google Marathi", L"hl=mr"},
        {L"Google Nepali", L"hl=ne"},
        {L"Google Norwegian", L"hl=no"},
        {L"Google Norwegian (Nynorsk)", L"hl=nn"},
        {L"Google Occitan", L"hl=oc"},
        {L"Google Persian", L"hl=fa"},
        {L"Google Polish", L"hl=pl"},
        {L"Google Portuguese (Brazil)", L"hl=pt-BR"},
        {L"Google Portuguese (Portugal)", L"hl=pt-PT"},
        {L"Google Punjabi", L"hl=pa"},
        {L"Google Romanian", L"hl=ro"},
        {L"Google Russian", L"hl=ru"},
        {L"Google Scots Gaelic", L"hl=gd"},
        {L"Google Serbian", L"hl=sr"},
        {L"Google Sinhalese", L"hl=si"},
        {L"Google Slovak", L"hl=sk"},
        {L"Google Slovenian", L"hl=sl"},
        {L"Google Spanish", L"hl=es"},
        {L"Google Sudanese", L"hl=su"},
        {L"Google Swahili", L"hl=sw"},
        {L"Google Swedish", L"hl=sv"},
        {L"Google Tagalog", L"hl=tl"},
        {L"Google Tamil", L"hl=ta"},
        {L"Google Telugu", L"hl=te"},
        {L"Google Thai", L"hl=th"},
        {L"Google Tigrinya", L"hl=ti"},
        {L"Google Turkish", L"hl=tr"},
        {L"Google Ukrainian", L"hl=uk"},
        {L"Google Urdu", L"hl=ur"},
        {L"Google Uzbek", L"hl=uz"},
        {L"Google Vietnamese", L"hl=vi"},
        {L"Google Welsh", L"hl=cy"},
        {L"Google Xhosa", L"hl=xh"},
        {L"Google Zulu", L"hl=zu"},
    };
    return engines;
}

std::wstring EncodeSearchKeyword(const std::wstring& keyword) {
    static const char hex[] = "0123456789ABCDEF";
    std::wstring out;
    // "&", "#", "+" and "%" typed into the box would otherwise end or change
    // the query; everything but the plainest characters is escaped.
    for (unsigned char c : WideToUtf8(Trim(keyword))) {
        if (c == ' ') {
            out += L'+';
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '_' || c == '.' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(hex[c >> 4]);
            out += static_cast<wchar_t>(hex[c & 15]);
        }
    }
    return out;
}

std::wstring BuildSearchAddress(const std::wstring& keyword, int engineIndex, int typeIndex) {
    const bool videos = typeIndex == 0;
    const std::wstring phrase = videos ? L"%22video+php+v%22" : L"%22type+2%22";
    const std::wstring site = engine::SiteDomain + (videos ? L"/video" : L"/media");
    const auto& engines = SearchEngines();
    std::wstring language;
    if (engineIndex >= 0 && engineIndex < static_cast<int>(engines.size()))
        language = engines[engineIndex].Language;
    return L"https://" + std::wstring(SearchEngineHost) + L"/search?" + language + L"&as_q=" +
           EncodeSearchKeyword(keyword) + L"&as_epq=" + phrase + L"&as_sitesearch=" + site;
}

// --- the window ---------------------------------------------------------------

TFrmSearchFacebookVideoLinks::TFrmSearchFacebookVideoLinks(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

TFrmSearchFacebookVideoLinks::~TFrmSearchFacebookVideoLinks() {
    if (FrmSearchFacebookVideoLinks == this) FrmSearchFacebookVideoLinks = nullptr;
}

void TFrmSearchFacebookVideoLinks::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poMainFormCenter,
        .KeyPreview = true,
    });
    OnCreate = Method(this, &TFrmSearchFacebookVideoLinks::FormCreate);
    OnClose = Method(this, &TFrmSearchFacebookVideoLinks::FormClose);
    OnKeyDown = Method(this, &TFrmSearchFacebookVideoLinks::FormKeyDown);

    Panel1 = New<TPanel>(this, {.Name = L"Panel1", .Height = 115, .Align = alTop, .TabOrder = 0},
                         {.BevelOuter = bvNone});
    Label3 = New<TLabel>(Panel1, {.Name = L"Label3", .Left = 8, .Top = 11}, {.Caption = L"Keyword:"});
    EdtKeyword = New<TEdit>(Panel1, {.Name = L"EdtKeyword", .Left = 89, .Top = 7, .Width = 312, .TabOrder = 0});
    EdtKeyword->OnChange = Method(this, &TFrmSearchFacebookVideoLinks::EdtKeywordChange);
    LblMsg = New<TLabel>(Panel1, {.Name = L"LblMsg", .Left = 8, .Top = 89}, {.ShowAccelChar = false});
    Label1 = New<TLabel>(Panel1, {.Name = L"Label1", .Left = 8, .Top = 63}, {.Caption = L"Engine:"});
    CmbEngine = New<TComboBox>(Panel1,
                               {.Name = L"CmbEngine", .Left = 89, .Top = 59, .Width = 312, .TabOrder = 2},
                               {.Style = csDropDownList, .Items = EngineCaptions(), .DropDownCount = 16});
    CmbEngine->OnClick = Method(this, &TFrmSearchFacebookVideoLinks::CmbEngineClick);
    CmbEngine->OnKeyDown = Method(this, &TFrmSearchFacebookVideoLinks::CmbEngineKeyDown);
    CmbEngine->OnSelect = Method(this, &TFrmSearchFacebookVideoLinks::CmbEngineSelect);
    Label2 = New<TLabel>(Panel1, {.Name = L"Label2", .Left = 8, .Top = 37}, {.Caption = L"Type:"});
    CmbType = New<TComboBox>(Panel1, {.Name = L"CmbType", .Left = 89, .Top = 33, .Width = 312, .TabOrder = 1},
                             {.Style = csDropDownList, .Items = {L"Video Links", L"Video Album Links"}, .ItemIndex = 0});

    Bevel1 = New<TBevel>(this, {.Name = L"Bevel1", .Top = 115, .Height = 2, .Align = alTop}, {.Shape = bsTopLine});

    BtnSearch = New<TButton>(this, {.Name = L"BtnSearch", .Left = 245, .Top = 123, .TabOrder = 1},
                             {.Caption = L"Search", .Default = true});
    BtnSearch->OnClick = Method(this, &TFrmSearchFacebookVideoLinks::BtnSearchClick);
    BtnCancel = New<TButton>(this, {.Name = L"BtnCancel", .Left = 326, .Top = 123, .TabOrder = 2},
                             {.Caption = L"Close", .ModalResult = mrClose});
    BtnCancel->OnClick = Method(this, &TFrmSearchFacebookVideoLinks::BtnCancelClick);
    ChkDontClose = New<TCheckBox>(this,
                                  {.Name = L"ChkDontClose", .Left = 8, .Top = 127, .Width = 225, .TabOrder = 3},
                                  {.Caption = L"Do not close this window when searching"});
}

void TFrmSearchFacebookVideoLinks::FormCreate(TComponent*) {
    SetCaption(L"Search Facebook Video Links");
    LblMsg->SetCaption(HintText);
    EdtKeyword->SetText(LastSearchKeyword);
    CmbEngine->SetItemIndex(SearchEngineIndex - 1);
    CmbType->SetItemIndex(SearchKind - 1);
    ChkDontClose->SetChecked(KeepSearchFormOpen);
}

void TFrmSearchFacebookVideoLinks::FormClose(TComponent*, TCloseAction& action) {
    action = caFree;
    if (FrmSearchFacebookVideoLinks == this) FrmSearchFacebookVideoLinks = nullptr;
}

void TFrmSearchFacebookVideoLinks::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

void TFrmSearchFacebookVideoLinks::BtnCancelClick(TComponent*) { Close(); }

void TFrmSearchFacebookVideoLinks::BtnSearchClick(TComponent*) {
    KeepSearchFormOpen = ChkDontClose->Checked();
    EscribirArchivoConfig(L"NoCerrarFormBuscarLinks", KeepSearchFormOpen ? L"1" : L"0");
    if (Trim(EdtKeyword->Text()).empty()) {
        LblMsg->SetCaption(EmptyKeywordText);
        EdtKeyword->SetFocus();
        return;
    }
    LastSearchKeyword = EdtKeyword->Text();
    SearchEngineIndex = CmbEngine->ItemIndex() + 1;
    SearchKind = CmbType->ItemIndex() + 1;
    EscribirArchivoConfig(L"MotorBusqueda", IntToStr(SearchEngineIndex));
    EscribirArchivoConfig(L"TipoBusqueda", IntToStr(SearchKind));

    const std::wstring address = BuildSearchAddress(LastSearchKeyword, CmbEngine->ItemIndex(), CmbType->ItemIndex());
    ShellExecuteStr(Application.Handle(), L"Open", address, L"", L"", SW_SHOW);
    if (!ChkDontClose->Checked()) Close();
}

void TFrmSearchFacebookVideoLinks::CmbEngineClick(TComponent*) {
    if (CmbEngine->ItemIndex() == SearchEngineSeparator) CmbEngine->SetItemIndex(0);
}

void TFrmSearchFacebookVideoLinks::CmbEngineKeyDown(TComponent*, WORD& key, TShiftState) {
    // The list's own key handling then steps over the separator.
    const int index = CmbEngine->ItemIndex();
    if ((key == VK_DOWN || key == VK_RIGHT) && index == SearchEngineSeparator - 1)
        CmbEngine->SetItemIndex(SearchEngineSeparator);
    else if ((key == VK_UP || key == VK_LEFT) && index == SearchEngineSeparator + 1)
        CmbEngine->SetItemIndex(SearchEngineSeparator);
}

void TFrmSearchFacebookVideoLinks::CmbEngineSelect(TComponent*) {}

void TFrmSearchFacebookVideoLinks::EdtKeywordChange(TComponent*) { LblMsg->SetCaption(HintText); }

// --- opening from the main window --------------------------------------------

void ShowSearchLinksForm(TForm* mainForm) {
    if (auto* form = FrmSearchFacebookVideoLinks) {
        form->Show();
        form->BringToFront();
        form->EdtKeyword->SetFocus();
        return;
    }
    try {
        FrmSearchFacebookVideoLinks = new TFrmSearchFacebookVideoLinks(nullptr);
        FrmSearchFacebookVideoLinks->SetPopupParent(mainForm);
        FrmSearchFacebookVideoLinks->Show();
    } catch (...) {
        // The menu command then simply shows nothing.
    }
}

bool SearchLinksFormExists() { return FrmSearchFacebookVideoLinks != nullptr; }

void FreeSearchLinksForm() {
    if (auto* form = FrmSearchFacebookVideoLinks) {
        FrmSearchFacebookVideoLinks = nullptr;
        form->Free();
    }
}

}  // namespace app
