// A drop-down list of texts on the system COMBOBOX window. Picking an item
// runs OnClick, then OnSelect (or OnChange when OnSelect is unset); typing
// in an editable one runs OnChange.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Controls.h"

namespace cls {

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TWinControl {
public:
    struct Props {
        TComboBoxStyle Style = csDropDown;
        std::vector<std::wstring> Items;
        int ItemIndex = -1;
        int DropDownCount = 8;
    };

    explicit TComboBox(TComponent* owner);
    void SetProps(const Props& props);

    int Count() const { return static_cast<int>(items_.size()); }
    const std::wstring& Item(int index) const { return items_.at(index); }
    void SetItems(const std::vector<std::wstring>& items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    std::wstring Text() const { return Caption(); }

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    virtual void DoChange();
    virtual void DoSelect();

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool CommandNotify(WORD code, WORD id) override;
    SIZE WindowSize() const override;
    bool ClickOnMouseUp() const override { return false; }

private:
    HWND Wnd() const { return const_cast<TComboBox*>(this)->Handle(); }
    void FillWindow();

    TComboBoxStyle style_ = csDropDown;
    std::vector<std::wstring> items_;
    int itemIndex_ = -1;
    int dropDownCount_ = 8;
};

}  // namespace cls
