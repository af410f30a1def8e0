#include "Forms.h"

#include "Application.h"

namespace cls {

TForm::TForm(TComponent* owner) : TComponent(owner) {}

TForm::~TForm() {
    if (handle_) {
        HWND h = handle_;
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        handle_ = nullptr;
        DestroyWindow(h);
    }
}

void TForm::CreateHandle(const CreateParams& p) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(inst, p.className, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = &TForm::StaticWndProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = p.className;
        wc.hIcon = LoadIconW(inst, p.iconName);
        wc.hIconSm = static_cast<HICON>(LoadImageW(inst, p.iconName, IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), 0));
        RegisterClassExW(&wc);
    }
    RECT r = {0, 0, p.clientWidth, p.clientHeight};
    AdjustWindowRectEx(&r, p.style, FALSE, p.exStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    CreateWindowExW(p.exStyle, p.className, L"", p.style, x, y, w, h, p.parent, nullptr, inst, this);
}

std::wstring TForm::Caption() const {
    if (!handle_) return {};
    std::wstring s(GetWindowTextLengthW(handle_) + 1, L'\0');
    s.resize(GetWindowTextW(handle_, s.data(), static_cast<int>(s.size())));
    return s;
}

void TForm::SetCaption(const std::wstring& caption) {
    if (handle_) SetWindowTextW(handle_, caption.c_str());
}

void TForm::Show() {
    if (handle_) {
        ShowWindow(handle_, SW_SHOW);
        SetForegroundWindow(handle_);
    }
}

void TForm::Hide() {
    if (handle_) ShowWindow(handle_, SW_HIDE);
}

void TForm::Close() {
    if (handle_) SendMessageW(handle_, WM_CLOSE, 0, 0);
}

LRESULT TForm::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(handle_, msg, wp, lp);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY && handle_ == Application.MainFormHandle) {
        // The main window's end is the program's end.
        Application.MainFormHandle = nullptr;
        Application.Terminate();
    }
    return DefaultHandler(msg, wp, lp);
}

LRESULT CALLBACK TForm::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TForm* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->handle_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT r = self->WndProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
    }
    return r;
}

}  // namespace cls
