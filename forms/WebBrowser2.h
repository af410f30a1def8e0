// The system's web browser control, hosted in a window of ours, with the
// user agent it sends chosen by the program.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "classlib/OleControl.h"

namespace app {

// The ambient property through which the control asks for its agent.
constexpr DISPID DispIdAmbientUserAgent = -5513;
// Properties of the control's automation interface.
constexpr DISPID DispIdBrowserDocument = 203;
constexpr DISPID DispIdBrowserSilent = 551;
// Its events.
constexpr DISPID DispIdBeforeNavigate2 = 250;
constexpr DISPID DispIdDocumentComplete = 259;

using TBrowserNavigateEvent = std::function<void(cls::TComponent* sender, const std::wstring& url)>;

class TWebBrowser2 : public cls::TOleControl {
public:
    // Throws cls::EOleError when the control cannot be created or offers
    // no events.
    explicit TWebBrowser2(cls::TComponent* owner);
    ~TWebBrowser2() override;

    const std::wstring& UserAgent() const { return userAgent_; }
    // Stores the agent and has the running control read it again.
    void SetUserAgent(const std::wstring& value);

    // No dialogs of the control's own (script errors and the like).
    bool Silent() const;
    void SetSilent(bool value);

    void Navigate(const std::wstring& url);
    // The current document's automation object; null when there is none.
    cls::ComPtr<IDispatch> Document() const;

    // Before every navigation (frames and redirections too) and after every
    // completed document. They stop when the window goes.
    TBrowserNavigateEvent OnBeforeNavigate2;
    TBrowserNavigateEvent OnDocumentComplete;

    // The agent (with a trailing CR LF) for the control's question about
    // it; everything else as any container answers it.
    HRESULT Invoke(DISPID dispId, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

protected:
    virtual void DoBeforeNavigate2(const std::wstring& url);
    virtual void DoDocumentComplete(const std::wstring& url);
    void BeforeControlFreed() override;

private:
    void ControlEvent(DISPID id, DISPPARAMS& params);

    std::wstring userAgent_;
    cls::TEventSink events_;
};

// The current document as the document itself saves it (its bytes, in its
// own encoding); empty when there is no document or it cannot be saved.
std::string GetDocumentHtml(TWebBrowser2& browser);

}  // namespace app
