// The main road: a link from the link box, the analyse button, the sample
// link, the history or a drop is checked, normalised and searched, and the
// result or a message is shown. Also the link box's own handlers and the
// place of the history drop-down.
#include "uFrmKorvelink.h"

#include <exception>

#include "LoginState.h"
#include "app/History.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/ScrollBox.h"
#include "classlib/StringList.h"
#include "classlib/Strings.h"
#include "classlib/ToolBar.h"
#include "engine/FBapi.h"
#include "engine/VideoScraper.h"

namespace app {

using namespace cls;

namespace {

const wchar_t* const EmptyLinkMessage = L"The text field is empty. Please enter a valid Facebook video URL.";
const wchar_t* const InvalidLinkMessage = L"Invalid URL format. Please enter a valid Facebook video URL.";
const wchar_t* const SearchingMessage = L"Searching videos, please wait...";
const wchar_t* const ResultPanelName = L"PnlVideo";
// The short form of the site's domain, as people type it.
const wchar_t* const ShortSiteDomain = L"fb.com";

bool IsResultPanel(const TControl* c) {
    return dynamic_cast<const TPanel*>(c) && c->Name == ResultPanelName;
}

}  // namespace

// --- pure helpers -----------------------------------------------------------------

std::wstring NormalizeLinkText(const std::wstring& text) {
    return ReplaceAll(Trim(text), ShortSiteDomain, engine::SiteDomain, true);
}

TLinkVerdict ClassifyLink(const std::wstring& normalised) {
    if (normalised.empty()) return {TLinkKind::Empty, {}};
    if (engine::IsSiteHomeLink(normalised)) return {TLinkKind::SiteHome, {}};
    if (!engine::IsFacebookLink(normalised) || !engine::IsVideoLink(normalised)) return {TLinkKind::Invalid, {}};
    // The ID is taken on its own terms: a link that only looks like a video
    // link must not start a search for nothing.
    std::wstring id = engine::ExtractVideoId(normalised);
    if (!engine::IsValidVideoId(id)) return {TLinkKind::Invalid, {}};
    return {TLinkKind::Video, id};
}

std::wstring NoVideoResultsMessage(bool loggedIn) {
    return loggedIn ? L"No video results in the URL."
                    : L"No video results in the URL. Try again by logging in with your Facebook account.";
}

// --- the link box -------------------------------------------------------------------

void TFrmKorvelink::EdtEnlaceKeyDown(TComponent*, WORD& key, TShiftState) {
    // Keys posted to the box while a search disabled it are not the user's.
    if (!EdtEnlace->Enabled() || searching_) return;
    try {
        if (key == VK_RETURN) AnalyzeLink(LowerCase(EdtEnlace->Text()), 1);
        if (key == VK_ESCAPE) {
            if (PnlHistorial->Visible()) {
                PnlHistorial->Hide();
                FocusLinkBox();
                CaretToEnd();
            } else {
                EdtEnlace->Clear();
            }
        }
        if (key == VK_DOWN) {
            std::wstring text = Trim(EdtEnlace->Text());
            if (!text.empty()) {
                FillHistoryListFiltered(Trim(engine::DecodeUrl(EdtEnlace->Text())));
                ShowHistoryPanelIfNotEmpty();
                if (PnlHistorial->Visible()) {
                    LstHistorial->SetFocus();
                    LstHistorial->SetItemIndex(0);
                }
            } else {
                LlenarLstHistorialTodos(LstHistorial, false, 1);
                if (LstHistorial->Count() >= 1) {
                    ShowHistoryPanel();
                    LstHistorial->SetFocus();
                    LstHistorial->SetItemIndex(0);
                }
            }
        }
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TFrmKorvelink::EdtEnlaceKeyPress(TComponent*, wchar_t& key) {
    if (key == 13 || key == 27) key = 0;
}

void TFrmKorvelink::EdtEnlaceChange(TComponent*) {
    if (SuppressLinkChange) return;
    OcultarPnlMsgs();
    FillHistoryListFiltered(Trim(engine::DecodeUrl(EdtEnlace->Text())));
    ShowHistoryPanelIfNotEmpty();
}

void TFrmKorvelink::EdtEnlaceClick(TComponent*) {
    if (EdtEnlace->SelLength() == 0) EdtEnlace->SelectAll();
}

void TFrmKorvelink::EdtEnlaceMouseDown(TComponent*, TMouseButton, TShiftState, int, int) { HideHistoryPanel(); }

void TFrmKorvelink::BtnOcultarClick(TComponent*) {
    PnlHistorial->Hide();
    FocusLinkBox();
    CaretToEnd();
}

void TFrmKorvelink::PnlVideoMouseDown(TComponent*, TMouseButton, TShiftState, int, int) { HideHistoryPanel(); }

void TFrmKorvelink::BtnAnalizarClick(TComponent*) {
    if (searching_) return;
    try {
        AnalyzeLink(LowerCase(EdtEnlace->Text()), 1);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TFrmKorvelink::LblTestFBLinkClick(TComponent*) {
    if (searching_) return;
    HideHistoryPanel();
    SuppressLinkChange = true;
    EdtEnlace->SetText(CanonicalVideoAddress(SampleVideoId));
    try {
        AnalyzeLink(SampleVideoId, 2);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

// --- analysis and search --------------------------------------------------------------

void TFrmKorvelink::AnalyzeLink(const std::wstring& text, int mode) {
    // Messages are dispatched while a search waits: no second one inside it.
    if (searching_) return;
    FocusLinkBox();
    HideHistoryPanel();
    if (mode == 2) {
        FreeVideoPanels();
        SearchVideos(text);
        return;
    }
    TLinkVerdict verdict = ClassifyLink(NormalizeLinkText(text));
    switch (verdict.Kind) {
        case TLinkKind::Empty:
            MostrarPnlMsgs(EmptyLinkMessage, MsgError);
            return;
        case TLinkKind::SiteHome:
            MostrarFrmLogin(true);
            return;
        case TLinkKind::Invalid:
            EdtEnlace->SelectAll();
            MostrarPnlMsgs(InvalidLinkMessage, MsgError);
            return;
        case TLinkKind::Video:
            FreeVideoPanels();
            SearchVideos(verdict.VideoId);
            return;
    }
}

void TFrmKorvelink::SearchVideos(const std::wstring& videoId) {
    if (searching_) return;
    if (PnlInfoInicio->Visible()) PnlInfoInicio->Hide();
    // Busy from here on: the login window dispatches queued messages before
    // it disables this window, and the donation reminder waits for the end
    // of a search.
    searching_ = true;
    if (AskLoginBeforeSearch && LoggedInUserId.empty()) {
        AskLoginBeforeSearch = false;
        try {
            MostrarFrmLogin(false);
        } catch (...) {
            searching_ = false;
            throw;
        }
    }
    OcultarPnlMsgs();
    SetSearchControlsEnabled(false);
    SuppressLinkChange = true;
    EdtEnlace->SetText(CanonicalVideoAddress(videoId));
    EdtEnlace->SetSelStart(0);
    EdtEnlace->SetEnabled(false);
    MostrarPnlMsgs(SearchingMessage, MsgWorking);
    SuppressLinkChange = true;

    try {
        TStringList list;
        std::wstring title, shortTitle;
        engine::FetchVideoInfo(videoId, list, title, shortTitle);
        engine::FetchVideoSnapshot(videoId, list);
        if (list.Count() >= 1) CreateVideoPanel(list, videoId, title, shortTitle);
    } catch (...) {
        FinishSearch(videoId);
        throw;
    }
    FinishSearch(videoId);
}

void TFrmKorvelink::FinishSearch(const std::wstring& videoId) {
    searching_ = false;
    SetSearchControlsEnabled(true);
    EdtEnlace->SetEnabled(true);
    bool showing = IsWindowVisible(Handle()) != FALSE;
    if (HasVideoPanels()) {
        OcultarPnlMsgs();
        SubirAPosicionUnoEnHistorial(videoId);
        if (showing) {
            FocusLinkBox();
            EdtEnlace->SetSelStart(0);
        }
    } else {
        MostrarPnlMsgs(NoVideoResultsMessage(!LoggedInUserId.empty()), MsgError);
        if (showing && EdtEnlace->Enabled()) {
            FocusLinkBox();
            EdtEnlace->SelectAll();
        }
    }
    SuppressLinkChange = false;
}

void TFrmKorvelink::SetSearchControlsEnabled(bool enabled) {
    MnuArchivo->SetEnabled(enabled);
    MnuOpciones->SetEnabled(enabled);
    MnuAyuda->SetEnabled(enabled);
    PopItemSalir->SetEnabled(enabled);
    BtnHistorial->SetEnabled(enabled);
    BtnAnalizar->SetEnabled(enabled);
    BtnUsuario->SetEnabled(enabled);
}

void TFrmKorvelink::MostrarFrmLogin(bool showWelcome) {
    HideHistoryPanel();
    OcultarPnlMsgs();
    // The login window never runs beside the search window.
    if (SearchLinksFormExists()) FreeSearchLinksForm();
    OpenLoginWindow(showWelcome);
    FocusLinkBox();
}

void TFrmKorvelink::FreeVideoPanels() {
    for (int i = ScllVideos->ControlCount() - 1; i >= 0; --i) {
        TControl* c = ScllVideos->Controls(i);
        if (IsResultPanel(c)) delete c;
    }
}

bool TFrmKorvelink::HasVideoPanels() const {
    for (int i = ScllVideos->ControlCount() - 1; i >= 0; --i)
        if (IsResultPanel(ScllVideos->Controls(i))) return true;
    return false;
}

// --- drops ----------------------------------------------------------------------------------

void TFrmKorvelink::DropURLTarget1Enter(const std::wstring& url, DWORD& effect) {
    // A drop while a search runs or a modal window is open would start a
    // search inside it.
    if (!BtnAnalizar->Enabled() || searching_ || ModalWindowOpen() || UserIdFormExists()) {
        dropShowImage_ = false;
        effect = DROPEFFECT_NONE;
        return;
    }
    if (engine::IsVideoLink(url)) {
        dropShowImage_ = true;
    } else {
        dropShowImage_ = false;
        effect = DROPEFFECT_NONE;
    }
}

void TFrmKorvelink::DropURLTarget1Drop(const std::wstring& url, DWORD& effect) {
    std::wstring id = engine::ExtractVideoId(url);
    if (id.empty() || searching_ || ModalWindowOpen()) {
        effect = DROPEFFECT_NONE;
        return;
    }
    // The search runs once the drop has returned, so the program the link
    // came from is not kept waiting for it.
    droppedVideoId_ = id;
    PostMessageW(Handle(), CM_SEARCHDROPPEDLINK, 0, 0);
}

void TFrmKorvelink::SearchDroppedLink(TMessage& msg) {
    msg.Handled = true;
    std::wstring id = std::move(droppedVideoId_);
    droppedVideoId_.clear();
    if (id.empty() || searching_ || ModalWindowOpen()) return;
    try {
        FreeVideoPanels();
        SuppressLinkChange = true;
        EdtEnlace->SetText(CanonicalVideoAddress(id));
        SearchVideos(id);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

// --- the history drop-down's place -------------------------------------------------------

void TFrmKorvelink::HideHistoryPanel() {
    if (PnlHistorial->Visible()) PnlHistorial->Hide();
}

void TFrmKorvelink::ShowHistoryPanel() {
    PnlHistorial->Show();
    PnlHistorial->BringToFront();
}

void TFrmKorvelink::ShowHistoryPanelIfNotEmpty() {
    if (LstHistorial->Count() == 0)
        PnlHistorial->Hide();
    else
        ShowHistoryPanel();
}

// The drop-down's list and its commands: uFrmKorvelinkHistory.cpp.

}  // namespace app
