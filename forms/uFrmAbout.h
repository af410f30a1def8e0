// The About window: the program's name, version, notice line and home page,
// a Donate button and a credits panel that opens below on request.
#pragma once
#include <string>

#include "classlib/Forms.h"

namespace cls {
class TBevel;
class TButton;
class TImage;
class TLabel;
class TMemo;
class TPanel;
}  // namespace cls

namespace app {

class TFrmAbout : public cls::TForm {
public:
    explicit TFrmAbout(cls::TComponent* owner = nullptr);

    static constexpr const wchar_t* WindowClass = L"TFrmAbout";
    static constexpr int DesignClientWidth = 322;

    cls::TPanel* Panel1 = nullptr;
    cls::TImage* Image1 = nullptr;
    cls::TLabel* Label1 = nullptr;
    cls::TLabel* Label2 = nullptr;
    cls::TLabel* Label3 = nullptr;
    cls::TLabel* Label4 = nullptr;
    cls::TLabel* Label5 = nullptr;
    cls::TMemo* Memo1 = nullptr;
    cls::TBevel* Bevel1 = nullptr;
    cls::TButton* BtnDonate = nullptr;
    cls::TButton* BtnCreditos = nullptr;
    cls::TButton* BtnAceptar = nullptr;

    void BtnCreditosClick(cls::TComponent* sender);
    void BtnDonateClick(cls::TComponent* sender);
    void Label4Click(cls::TComponent* sender);

private:
    void CreateControls();

    void FormCreate(cls::TComponent* sender);
    void FormActivate(cls::TComponent* sender);
    void FormKeyDown(cls::TComponent* sender, WORD& key, cls::TShiftState shift);
    void Label4MouseMove(cls::TComponent* sender, cls::TShiftState shift, int x, int y);
    void Label4MouseLeave(cls::TComponent* sender);
    // The compact (credits hidden) or the full layout.
    void Layout(int panelHeight, int buttonsTop, int clientHeight);
};

extern TFrmAbout* FrmAbout;

// "Version ... - Free" of the program's version.
std::wstring AboutVersionText();
// The home page as the window shows it: without its scheme.
std::wstring AboutAddressText(const std::wstring& address);

// Shows the About window modally over the main window.
void OpenAboutWindow(cls::TForm* mainForm);

}  // namespace app
