// The video history in the main window: the drop-down under the link box
// (filled in full or filtered by the link box text, with thumbnails), its
// handlers, and the History menu's clean, backup and import commands. The
// file itself is handled by app/History.
#include "uFrmKorvelink.h"

#include <exception>
#include <map>
#include <memory>

#include "app/History.h"
#include "app/StartupChecks.h"
#include "classlib/Application.h"
#include "classlib/Bitmap.h"
#include "classlib/Dialogs.h"
#include "classlib/Edit.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Files.h"
#include "classlib/ImgList.h"
#include "classlib/JpegImage.h"
#include "classlib/Label.h"
#include "classlib/ListView.h"
#include "classlib/Strings.h"
#include "components/PictureScaler.h"
#include "engine/FBapi.h"
#include "HistoryItems.h"
#include "uFrmHistorial.h"

namespace app {

using namespace cls;

namespace {

const wchar_t* const EmptyHistoryMessage = L"The History is empty.";
const wchar_t* const InvalidEntryMessage = L"Invalid URL format. Please enter a valid Facebook video URL.";
const wchar_t* const HistoryFilter = L"Korvelink History File (*.kvhist)|*.kvhist";
const wchar_t* const HistoryExtension = L"kvhist";
// The "Clean History..." label under the mouse.
constexpr TColor CleanLabelHotColor = 14052403;

std::wstring TodayText() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t text[16];
    swprintf(text, 16, L"%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
    return text;
}

// The picture of an entry without a thumbnail, when the program's own is
// missing: a grey frame with a play sign.
void DrawDefaultThumbnail(TBitmap& bmp) {
    const int w = bmp.Width(), h = bmp.Height();
    bmp.Fill(MakeBGRA(0xF0, 0xF0, 0xF0));
    HDC dc = bmp.DC();
    HBRUSH box = CreateSolidBrush(RGB(0xD0, 0xD0, 0xD0));
    HGDIOBJ oldBrush = SelectObject(dc, box);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    RoundRect(dc, w / 3, h / 4, w - w / 3, h - h / 4, 6, 6);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    POINT play[3] = {{w / 2 - 3, h / 2 - 5}, {w / 2 - 3, h / 2 + 5}, {w / 2 + 5, h / 2}};
    Polygon(dc, play, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(box);
    GdiFlush();
}

}  // namespace

// --- filling the lists --------------------------------------------------------------------

void TFrmKorvelink::ClearHistoryImages() {
    for (int i = ImageList2->Count() - 1; i >= 1; --i) ImageList2->Delete(i);
    if (ImageList2->Count() == 0) {
        TBitmap bmp(ImageList2->Width(), ImageList2->Height());
        DrawDefaultThumbnail(bmp);
        ImageList2->AddGraphic(bmp);
    }
}

int TFrmKorvelink::AddHistoryThumbnail(const std::wstring& file) {
    try {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(file);
        TBitmap thumb;
        components::MakeThumbnail(jpeg, ImageList2->Width(), ImageList2->Height(), thumb, RGB(255, 255, 255));
        int index = ImageList2->AddGraphic(thumb);
        return index >= 1 ? index : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

std::function<int(const std::wstring&)> TFrmKorvelink::HistoryPictures() {
    return [this, present = ListThumbnails(), added = std::map<std::wstring, int>()](const std::wstring& id) mutable {
        // Only a valid video ID ever names a file: the history may be
        // edited by hand or imported.
        std::wstring file = HistoryThumbnailFile(id);
        if (file.empty() || !present.count(LowerCase(id) + L".jpg")) return 0;
        auto known = added.find(id);
        if (known == added.end()) known = added.emplace(id, AddHistoryThumbnail(file)).first;
        return known->second;
    };
}

void TFrmKorvelink::LlenarLstHistorialTodos(TListView* listView, bool checkAll, int mode) {
    ClearHistoryImages();
    FillHistoryItems(*listView, LoadAndCleanHistory(), mode, kCaptionLength, checkAll,
                     mode == 1 ? HistoryPictures() : nullptr);
    Label1->SetCaption(HistoryCountText(LstHistorial->Count(), false));
}

void TFrmKorvelink::FillHistoryListFiltered(const std::wstring& text) {
    ClearHistoryImages();
    THistoryFilter found = FilterHistory(text);
    FillHistoryItems(*LstHistorial, found.Entries, 1, found.CaptionLength(), false, HistoryPictures());
    Label1->SetCaption(HistoryCountText(LstHistorial->Count(), true));
}

// --- the drop-down ------------------------------------------------------------------------

void TFrmKorvelink::BindHistoryEvents() {
    LstHistorial->OnKeyDown = Method(this, &TFrmKorvelink::LstHistorialKeyDown);
    LstHistorial->OnMouseDown = Method(this, &TFrmKorvelink::LstHistorialMouseDown);
    LstHistorial->OnInfoTip = Method(this, &TFrmKorvelink::LstHistorialInfoTip);
    LstHistorial->OnExit = Method(this, &TFrmKorvelink::LstHistorialExit);
    Panel1->OnMouseDown = Method(this, &TFrmKorvelink::Panel1MouseDown);
    LblLimpiarHistorial->OnMouseMove = Method(this, &TFrmKorvelink::LblLimpiarHistorialMouseMove);
    LblLimpiarHistorial->OnMouseLeave = Method(this, &TFrmKorvelink::LblLimpiarHistorialMouseLeave);
}

void TFrmKorvelink::BtnHistorialClick(TComponent*) {
    if (PnlHistorial->Visible()) {
        PnlHistorial->Hide();
        LstHistorial->Clear();
        ClearHistoryImages();
        FocusLinkBox();
        CaretToEnd();
        return;
    }
    LlenarLstHistorialTodos(LstHistorial, false, 1);
    if (LstHistorial->Count() >= 1) {
        ShowHistoryPanel();
        LstHistorial->SetFocus();
    } else {
        MostrarPnlMsgs(EmptyHistoryMessage, MsgInformation);
    }
}

void TFrmKorvelink::OpenSelectedHistoryEntry() {
    int item = LstHistorial->ItemIndex();
    if (item < 0 || searching_) return;
    std::wstring id = LstHistorial->SubItem(item, 1);
    // An entry the file was given by hand or by an import may hold anything:
    // only a real video ID is searched (and so names a thumbnail).
    if (!engine::IsValidVideoId(id)) {
        MostrarPnlMsgs(InvalidEntryMessage, MsgError);
        return;
    }
    SuppressLinkChange = true;
    EdtEnlace->SetText(CanonicalVideoAddress(id));
    try {
        AnalyzeLink(id, 2);
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

void TFrmKorvelink::LstHistorialKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) HideHistoryPanel();
    if (key == VK_RETURN) {
        HideHistoryPanel();
        OpenSelectedHistoryEntry();
    }
}

void TFrmKorvelink::LstHistorialMouseDown(TComponent*, TMouseButton, TShiftState, int x, int y) {
    // The click picks the item under it, even when the mouse came without
    // hovering (hot tracking selects on hover).
    int hit = LstHistorial->ItemAt({x, y});
    if (hit >= 0 && hit != LstHistorial->ItemIndex()) LstHistorial->SetItemIndex(hit);
    HideHistoryPanel();
    OpenSelectedHistoryEntry();
}

void TFrmKorvelink::LstHistorialInfoTip(TComponent*, int item, std::wstring& tip) {
    if (item >= 0 && item < LstHistorial->Count()) tip = CanonicalVideoAddress(LstHistorial->SubItem(item, 1));
}

void TFrmKorvelink::LstHistorialExit(TComponent*) {
    HideHistoryPanel();
    FocusLinkBox();
    CaretToEnd();
}

void TFrmKorvelink::Panel1MouseDown(TComponent*, TMouseButton, TShiftState, int, int) {
    HideHistoryPanel();
    FocusLinkBox();
    CaretToEnd();
}

void TFrmKorvelink::LblLimpiarHistorialMouseMove(TComponent*, TShiftState, int, int) {
    LblLimpiarHistorial->Font().SetColor(CleanLabelHotColor);
}

void TFrmKorvelink::LblLimpiarHistorialMouseLeave(TComponent*) {
    LblLimpiarHistorial->Font().SetColor(clWindowText);
}

// --- the History commands -----------------------------------------------------------------

void TFrmKorvelink::LblLimpiarHistorialClick(TComponent*) {
    HideHistoryPanel();
    OpenCleanHistoryWindow();
    FocusLinkBox();
}

void TFrmKorvelink::OpenCleanHistoryWindow() {
    std::unique_ptr<TFrmHistorial> form(new TFrmHistorial(nullptr));
    FrmHistorial = form.get();
    struct ClearVariable {
        ~ClearVariable() { FrmHistorial = nullptr; }
    } clear;
    if (form->ItemCount() > 0) {
        form->SetPopupParent(this);
        form->ShowModal();
    } else {
        MostrarPnlMsgs(EmptyHistoryMessage, MsgInformation);
    }
}

void TFrmKorvelink::MnuRespaldarHistorialClick(TComponent*) {
    HideHistoryPanel();
    OcultarPnlMsgs();
    // The full fill also cleans and caps the file that is copied.
    LlenarLstHistorialTodos(LstHistorial, false, 1);
    if (LstHistorial->Count() == 0) {
        MostrarPnlMsgs(EmptyHistoryMessage, MsgInformation);
        return;
    }
    SaveDialog1->Options = ofOverwritePrompt | ofHideReadOnly | ofEnableSizing;
    SaveDialog1->Title = L"Backup History";
    SaveDialog1->Filter = HistoryFilter;
    SaveDialog1->DefaultExt = HistoryExtension;
    SaveDialog1->FileName = L"Korvelink History " + TodayText();
    if (!SaveDialog1->Execute()) return;
    SaveDialog1->InitialDir = ExtractFilePath(SaveDialog1->FileName);
    if (!BackupHistory(SaveDialog1->FileName))
        MostrarPnlMsgs(L"An error has occurred while trying to create the backup.", MsgError);
}

void TFrmKorvelink::MnuImportarHistorialClick(TComponent*) {
    HideHistoryPanel();
    OcultarPnlMsgs();
    OpenDialog1->Options = ofFileMustExist | ofHideReadOnly | ofEnableSizing;
    OpenDialog1->Title = L"Import History";
    OpenDialog1->Filter = HistoryFilter;
    OpenDialog1->DefaultExt = HistoryExtension;
    OpenDialog1->FileName.clear();
    if (!OpenDialog1->Execute()) return;
    OpenDialog1->InitialDir = ExtractFilePath(OpenDialog1->FileName);
    if (Application.MessageBox(L"Are you sure you want to import the history file?", L"Confirmation",
                               MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // Only a file that reads as history text replaces the history.
    if (!ImportHistory(OpenDialog1->FileName))
        MostrarPnlMsgs(L"An error has occurred while trying to import the History file.", MsgError);
}

}  // namespace app
