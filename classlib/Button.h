// Push buttons and check boxes: system BUTTON windows. A button's click
// gives the form its ModalResult; Default and Cancel buttons answer Enter
// and Esc.
#pragma once
#include <windows.h>

#include <string>

#include "classlib/Controls.h"

namespace cls {

class TButton : public TWinControl {
public:
    struct Props {
        std::wstring Caption;
        bool Default = false;
        bool Cancel = false;
        int ModalResult = 0;
        // A split button whose arrow opens this menu.
        TPopupMenu* DropDownMenu = nullptr;
    };

    explicit TButton(TComponent* owner);
    void SetProps(const Props& props);

    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel = false;
    // Given to the form when the button is clicked; a modal form then closes.
    int ModalResult = 0;
    TPopupMenu* DropDownMenu = nullptr;

    // A click as the user makes it.
    void Click() { DoClick(); }
    void DoClick() override;

protected:
    void CreateParams(TCreateParams& params) override;
    bool CommandNotify(WORD code, WORD id) override;
    bool Notify(NMHDR& header, LRESULT& result) override;
    bool ClickOnMouseUp() const override { return false; }

private:
    bool default_ = false;
};

class TCheckBox : public TWinControl {
public:
    struct Props {
        std::wstring Caption;
        bool Checked = false;
    };

    explicit TCheckBox(TComponent* owner);
    void SetProps(const Props& props);

    bool Checked() const;
    // Changing it by code runs no OnClick.
    void SetChecked(bool checked);

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool CommandNotify(WORD code, WORD id) override;
    HBRUSH CtlColor(HDC dc) override;
    bool ClickOnMouseUp() const override { return false; }

private:
    bool checked_ = false;
};

}  // namespace cls
