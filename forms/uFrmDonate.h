// The Donate window: asks for a donation and opens the donation page. From
// the Help menu (mode 1) it closes at once; as the reminder (mode 2) its OK
// button counts down five seconds first and a check box turns the reminder
// off.
#pragma once
#include <optional>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TButton;
class TCheckBox;
class TImage;
class TLabel;
class TPanel;
class TTimer;
}  // namespace cls

namespace app {

class TFrmDonate : public cls::TForm {
public:
    explicit TFrmDonate(cls::TComponent* owner = nullptr);
    ~TFrmDonate() override;

    static constexpr const wchar_t* WindowClass = L"TFrmDonate";
    static constexpr int DesignClientWidth = 430;
    static constexpr int DesignClientHeight = 181;
    // Seconds the reminder keeps its OK button disabled.
    static constexpr int CountdownSeconds = 5;

    cls::TPanel* Panel1 = nullptr;
    cls::TLabel* Label1 = nullptr;
    cls::TImage* Image1 = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnAceptar = nullptr;
    cls::TButton* BtnDonate = nullptr;
    cls::TCheckBox* ChkNoMostrarMsg = nullptr;
    cls::TTimer* Tmr = nullptr;

    // 1 from the menu, 2 as the reminder; set before the window is shown.
    int FMode = 1;

private:
    // The form resource: the window, its controls and their event bindings.
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormShow(cls::TComponent* sender);
    void FormActivate(cls::TComponent* sender);
    void FormCloseQuery(cls::TComponent* sender, bool& canClose);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void TmrTimer(cls::TComponent* sender);
    void BtnDonateClick(cls::TComponent* sender);
};

// The window while it exists; null otherwise.
extern TFrmDonate* FrmDonate;
// Seconds left before OK is enabled.
extern int DonateCountdown;

// Shows the Donate window modally over MainForm in Mode and releases it;
// gives the state of "Do not show this message at startup" when the window
// showed that box.
std::optional<bool> OpenDonateWindow(cls::TForm* mainForm, int mode);
// The same, then writes "NoMostrarMsgDonar" ("1" ticked, "0" not) when the
// box was shown.
void ShowDonateForm(cls::TForm* mainForm, int mode);

}  // namespace app
