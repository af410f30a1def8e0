// The window that deletes the ticked entries of the video history together
// with their thumbnails. The main window opens it modally, and only when
// its list is not empty.
#pragma once
#include "classlib/Forms.h"

namespace cls {
class TButton;
class TListView;
class TMenuItem;
class TPopupMenu;
}  // namespace cls

namespace app {

class TFrmHistorial : public cls::TForm {
public:
    // Fills the list from the history file (which that also cleans).
    explicit TFrmHistorial(cls::TComponent* owner = nullptr);

    static constexpr const wchar_t* WindowClass = L"TFrmHistorial";
    static constexpr int DesignClientWidth = 450;
    static constexpr int DesignClientHeight = 178;

    // The entries listed: the window is worth showing only with one at least.
    int ItemCount() const;

    cls::TPopupMenu* PopupMenu1 = nullptr;
    cls::TMenuItem* MnuChequearTodos = nullptr;
    cls::TMenuItem* MnuChequearNada = nullptr;
    cls::TListView* LstHistorial = nullptr;
    cls::TButton* BtnLimpiar = nullptr;
    cls::TButton* BtnCancelar = nullptr;

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void LstHistorialClick(cls::TComponent* sender);
    void MnuChequearTodosClick(cls::TComponent* sender);
    void MnuChequearNadaClick(cls::TComponent* sender);
    void BtnLimpiarClick(cls::TComponent* sender);

    void SetAllChecked(bool checked);
    void UpdateBtnLimpiar();
};

extern TFrmHistorial* FrmHistorial;

}  // namespace app
