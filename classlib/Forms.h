// Top-level windows of the program. Each form object owns its window and
// receives its messages through WndProc; the window finds its object through
// the pointer stored at creation, so no global map is needed.
#pragma once
#include <windows.h>
#include <string>

#include "Component.h"

namespace cls {

class TForm : public TComponent {
public:
    explicit TForm(TComponent* owner = nullptr);
    ~TForm() override;

    HWND Handle() const { return handle_; }
    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);
    void Show();
    void Hide();
    // Asks the window to close, as its close button does.
    void Close();

protected:
    struct CreateParams {
        const wchar_t* className;
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        DWORD exStyle = 0;
        int clientWidth = 400, clientHeight = 300;
        HWND parent = nullptr;
        const wchar_t* iconName = L"MAINICON";
    };
    // Registers the class on first use and creates the window, centred on
    // the work area of the primary monitor.
    void CreateHandle(const CreateParams& params);
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND handle_ = nullptr;
};

}  // namespace cls
