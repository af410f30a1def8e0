// Text boxes: the one-line TEdit (grey text hint while empty, length limit,
// read-only and password modes) and the multi-line TMemo on the system
// EDIT window. OnChange follows every change of the text, by the user or
// by code.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Controls.h"

namespace cls {

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TEdit : public TWinControl {
public:
    struct Props {
        std::wstring Text;
        std::wstring TextHint;  // shown grey while the box is empty
        int MaxLength = 0;      // 0: no limit
        bool ReadOnly = false;
        wchar_t PasswordChar = 0;
        bool BorderStyle = true;  // sunken edge
        TAlignment Alignment = taLeftJustify;
    };

    explicit TEdit(TComponent* owner);
    void SetProps(const Props& props);

    std::wstring Text() const { return Caption(); }
    void SetText(const std::wstring& text) { SetCaption(text); }
    void Clear() { SetText(L""); }

    const std::wstring& TextHint() const { return textHint_; }
    void SetTextHint(const std::wstring& hint);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    wchar_t PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(wchar_t ch);

    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int start);
    void SetSelLength(int length);
    std::wstring SelText() const;
    void SelectAll();
    void ClearSelection();
    void CopyToClipboard();

    TNotifyEvent OnChange;
    virtual void DoChange();

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool CommandNotify(WORD code, WORD id) override;
    HBRUSH CtlColor(HDC dc) override;
    void CaptionChanged() override;

    bool borderStyle_ = true;
    TAlignment alignment_ = taLeftJustify;

private:
    HWND Wnd() const { return const_cast<TEdit*>(this)->Handle(); }

    std::wstring textHint_;
    int maxLength_ = 0;
    bool readOnly_ = false;
    wchar_t passwordChar_ = 0;
    bool changeSeen_ = false;
};

class TMemo : public TEdit {
public:
    struct Props {
        std::vector<std::wstring> Lines;
        bool ReadOnly = false;
        bool WordWrap = true;
        TScrollStyle ScrollBars = ssNone;
        bool WantReturns = true;
        bool BorderStyle = true;
    };

    explicit TMemo(TComponent* owner);
    void SetProps(const Props& props);

    std::vector<std::wstring> Lines() const;
    void SetLines(const std::vector<std::wstring>& lines);
    int LineCount() const;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    bool wordWrap_ = true;
    TScrollStyle scrollBars_ = ssNone;
    bool wantReturns_ = true;
};

}  // namespace cls
