#include "forms/WebBrowser2.h"

#include <exdisp.h>
#include <objidl.h>

namespace app {

namespace {

// An event argument given as text, directly or through a reference.
std::wstring ArgText(const VARIANT& arg) {
    const VARIANT* v = &arg;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    BSTR text = nullptr;
    if (v->vt == VT_BSTR) text = v->bstrVal;
    else if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal) text = *v->pbstrVal;
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

}  // namespace

TWebBrowser2::TWebBrowser2(cls::TComponent* owner)
    : cls::TOleControl(owner, CLSID_WebBrowser),
      events_(DIID_DWebBrowserEvents2, [this](DISPID id, DISPPARAMS& params) { ControlEvent(id, params); }) {
    events_.Connect(OleObject());
}

TWebBrowser2::~TWebBrowser2() {
    // Here, while our BeforeControlFreed is still the one that runs.
    FreeControl();
}

void TWebBrowser2::BeforeControlFreed() {
    events_.Disconnect();
}

void TWebBrowser2::SetUserAgent(const std::wstring& value) {
    userAgent_ = value;
    if (!OleObject()) return;
    // A control without IOleControl keeps the agent it read before.
    cls::ComPtr<IOleControl> control;
    if (SUCCEEDED(OleObject()->QueryInterface(IID_IOleControl, control.put_void())) && control)
        control->OnAmbientPropertyChange(DispIdAmbientUserAgent);
}

HRESULT TWebBrowser2::Invoke(DISPID dispId, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (!userAgent_.empty() && (flags & DISPATCH_PROPERTYGET) && result && dispId == DispIdAmbientUserAgent) {
        std::wstring answer = userAgent_ + L"\r\n";
        BSTR text = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
        if (!text) return E_OUTOFMEMORY;
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = text;
        return S_OK;
    }
    return cls::TOleControl::Invoke(dispId, riid, lcid, flags, params, result, excepInfo, argErr);
}

bool TWebBrowser2::Silent() const {
    return cls::GetProperty(DefaultDispatch().get(), DispIdBrowserSilent).AsBool();
}

void TWebBrowser2::SetSilent(bool value) {
    cls::SetProperty(DefaultDispatch().get(), DispIdBrowserSilent, cls::TVariant(value));
}

void TWebBrowser2::Navigate(const std::wstring& url) {
    cls::ComPtr<IWebBrowser2> web;
    if (OleObject()) OleObject()->QueryInterface(IID_IWebBrowser2, web.put_void());
    if (!web) throw cls::EOleError("no browser to navigate", E_NOINTERFACE);
    cls::TVariant address(url), none;
    cls::OleCheck(web->Navigate(address.get()->bstrVal, none.get(), none.get(), none.get(), none.get()),
                  "IWebBrowser2::Navigate");
}

cls::ComPtr<IDispatch> TWebBrowser2::Document() const {
    if (!OleObject()) return {};
    cls::TVariant doc;
    try {
        doc = cls::GetProperty(DefaultDispatch().get(), DispIdBrowserDocument);
    } catch (const cls::EOleError&) {
        return {};
    }
    if (doc.Type() != VT_DISPATCH || !doc.get()->pdispVal) return {};
    return doc.AsDispatch();
}

void TWebBrowser2::ControlEvent(DISPID id, DISPPARAMS& params) {
    // A handler may free this browser; the control stays until its call
    // into us has returned, and nothing of ours is touched after a handler.
    cls::ComPtr<IOleObject> keep(OleObject(), true);
    // The URL is the second argument of both events; rgvarg runs last to first.
    if (params.cArgs < 2) return;
    std::wstring url = ArgText(params.rgvarg[params.cArgs - 2]);
    if (id == DispIdBeforeNavigate2) DoBeforeNavigate2(url);
    else if (id == DispIdDocumentComplete) DoDocumentComplete(url);
}

void TWebBrowser2::DoBeforeNavigate2(const std::wstring& url) {
    TBrowserNavigateEvent handler = OnBeforeNavigate2;
    if (handler) handler(this, url);
}

void TWebBrowser2::DoDocumentComplete(const std::wstring& url) {
    TBrowserNavigateEvent handler = OnDocumentComplete;
    if (handler) handler(this, url);
}

std::string GetDocumentHtml(TWebBrowser2& browser) {
    cls::ComPtr<IDispatch> doc = browser.Document();
    if (!doc) return {};
    auto persist = doc.As<IPersistStreamInit>(IID_IPersistStreamInit);
    if (!persist) return {};
    cls::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return {};
    if (FAILED(persist->Save(stream.get(), TRUE))) return {};
    STATSTG stat = {};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream.get(), &memory)))
        return {};
    size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    if (size == 0) return {};
    const char* bytes = static_cast<const char*>(GlobalLock(memory));
    if (!bytes) return {};
    std::string html(bytes, size);
    GlobalUnlock(memory);
    return html;
}

}  // namespace app
