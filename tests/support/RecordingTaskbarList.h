// A taskbar list that records the progress calls made to it, for tests of
// the taskbar progress and of the windows that drive it.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <utility>
#include <vector>

namespace testing_support {

// Records what the taskbar progress routines ask of the shell.
class RecordingTaskbarList : public ITaskbarList3 {
public:
    struct StateCall {
        HWND wnd;
        TBPFLAG flags;
    };
    struct ValueCall {
        HWND wnd;
        ULONGLONG done, total;
    };
    std::vector<StateCall> states;
    std::vector<ValueCall> values;
    HRESULT initResult = S_OK;
    HRESULT callResult = S_OK;
    LONG refs = 1;

    std::vector<TBPFLAG> Flags() const {
        std::vector<TBPFLAG> r;
        for (const auto& c : states) r.push_back(c.flags);
        return r;
    }
    std::vector<std::pair<ULONGLONG, ULONGLONG>> Progress() const {
        std::vector<std::pair<ULONGLONG, ULONGLONG>> r;
        for (const auto& c : values) r.push_back({c.done, c.total});
        return r;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ITaskbarList || iid == IID_ITaskbarList2 ||
            iid == IID_ITaskbarList3) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE HrInit() override { return initResult; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND wnd, ULONGLONG done, ULONGLONG total) override {
        values.push_back({wnd, done, total});
        return callResult;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND wnd, TBPFLAG flags) override {
        states.push_back({wnd, flags});
        return callResult;
    }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return E_NOTIMPL; }
};

}  // namespace testing_support
