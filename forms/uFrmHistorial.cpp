#include "uFrmHistorial.h"

#include <set>
#include <string>

#include "HistoryItems.h"
#include "app/History.h"
#include "classlib/Application.h"
#include "classlib/Button.h"
#include "classlib/ListView.h"
#include "classlib/Menus.h"
#include "classlib/Strings.h"
#include "uFrmKorvelink.h"

namespace app {

using namespace cls;

TFrmHistorial* FrmHistorial = nullptr;

namespace {
// Posted after a click on the list: where the list view ticks a box only
// after telling of the click, the ticks are looked at again once it has.
constexpr UINT CM_CHECKSCLICKED = WM_APP + 0x104;
}  // namespace

TFrmHistorial::TFrmHistorial(TComponent* owner) : TForm(owner) {
    CreateControls();
    DoCreate();
}

void TFrmHistorial::CreateControls() {
    CreateHandle({
        .WindowClass = WindowClass,
        .ClientWidth = DesignClientWidth,
        .ClientHeight = DesignClientHeight,
        .BorderStyle = bsDialog,
        .BorderIcons = biSystemMenu,
        .Position = poMainFormCenter,
        .KeyPreview = true,
    });
    OnCreate = Method(this, &TFrmHistorial::FormCreate);
    OnKeyDown = Method(this, &TFrmHistorial::FormKeyDown);
    SetMessageHandler(CM_CHECKSCLICKED, [this](TMessage& m) {
        UpdateBtnLimpiar();
        m.Handled = true;
    });

    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->Name = L"PopupMenu1";
    MnuChequearTodos = NewItem(PopupMenu1->Items(), {.Name = L"MnuChequearTodos", .Caption = L"Check All"});
    MnuChequearTodos->OnClick = Method(this, &TFrmHistorial::MnuChequearTodosClick);
    MnuChequearNada = NewItem(PopupMenu1->Items(), {.Name = L"MnuChequearNada", .Caption = L"Uncheck All"});
    MnuChequearNada->OnClick = Method(this, &TFrmHistorial::MnuChequearNadaClick);

    LstHistorial = New<TListView>(this,
                                  {.Name = L"LstHistorial", .Height = 137, .Align = alTop, .TabOrder = 0,
                                   .PopupMenu = PopupMenu1},
                                  {.Columns = {{.Width = 431}},
                                   .ShowColumnHeaders = false,
                                   .RowSelect = true,
                                   .ReadOnly = true,
                                   .Checkboxes = true});
    LstHistorial->OnClick = Method(this, &TFrmHistorial::LstHistorialClick);

    BtnLimpiar = New<TButton>(this, {.Name = L"BtnLimpiar", .Left = 276, .Top = 145, .Width = 85, .TabOrder = 1},
                              {.Caption = L"Clean", .DropDownMenu = PopupMenu1});
    BtnLimpiar->OnClick = Method(this, &TFrmHistorial::BtnLimpiarClick);

    BtnCancelar = New<TButton>(this, {.Name = L"BtnCancelar", .Left = 367, .Top = 145, .TabOrder = 2},
                               {.Caption = L"Cancel", .ModalResult = mrCancel});
}

int TFrmHistorial::ItemCount() const { return LstHistorial->Count(); }

void TFrmHistorial::FormCreate(TComponent*) {
    SetCaption(L"Clean History");
    // Every entry, ticked, with its plain trimmed title and its ID beside it.
    // Through the main window's full fill when there is one, which also
    // brings the drop-down's total line up to date.
    if (FrmKorvelink)
        FrmKorvelink->LlenarLstHistorialTodos(LstHistorial, true, 2);
    else
        FillHistoryItems(*LstHistorial, LoadAndCleanHistory(), 2, kCaptionLength, true);
}

void TFrmHistorial::FormKeyDown(TComponent*, WORD& key, TShiftState) {
    if (key == VK_ESCAPE) Close();
}

void TFrmHistorial::UpdateBtnLimpiar() {
    bool any = false;
    for (int i = 0; i < LstHistorial->Count() && !any; ++i) any = LstHistorial->Checked(i);
    BtnLimpiar->SetEnabled(any);
}

void TFrmHistorial::LstHistorialClick(TComponent*) {
    UpdateBtnLimpiar();
    PostMessageW(Handle(), CM_CHECKSCLICKED, 0, 0);
}

void TFrmHistorial::SetAllChecked(bool checked) {
    for (int i = 0; i < LstHistorial->Count(); ++i) LstHistorial->SetChecked(i, checked);
    BtnLimpiar->SetEnabled(checked);
}

void TFrmHistorial::MnuChequearTodosClick(TComponent*) { SetAllChecked(true); }

void TFrmHistorial::MnuChequearNadaClick(TComponent*) { SetAllChecked(false); }

void TFrmHistorial::BtnLimpiarClick(TComponent*) {
    if (Application.MessageBox(L"Are you sure that you want to permanently delete the clicked links from the History?",
                               L"Confirmation", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    SetModalResult(mrOk);
    std::set<std::wstring> ticked, kept;
    for (int i = 0; i < LstHistorial->Count(); ++i)
        (LstHistorial->Checked(i) ? ticked : kept).insert(Trim(LstHistorial->SubItem(i, 1)));
    // An ID listed twice stays when one of its items is kept.
    for (const auto& id : kept) ticked.erase(id);
    // The kept entries are written at once, never by emptying the file
    // first, so a failed save leaves the history as it was.
    RemoveHistoryEntries(ticked);
}

}  // namespace app
