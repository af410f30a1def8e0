// The browser control against this system's real one, and against a
// stand-in where the real one shows nothing (ambient re-reads, documents).
#include <gtest/gtest.h>

#include <exdisp.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "forms/LoginBrowser.h"
#include "forms/WebBrowser2.h"
#include "tests/classlib/FormsTestSupport.h"

using namespace cls;
using namespace app;

namespace {

const std::wstring Agent = L"Mozilla/5.0 (X11; Linux x86_64; rv:10.0) Gecko/20100101 Firefox/10.0 (Chrome)";

// An automation object whose members are lambdas; with Saved set it also
// saves itself as a document does.
class Scripted : public IDispatch, public IPersistStreamInit {
public:
    using Member = std::function<HRESULT(WORD flags, DISPPARAMS& params, VARIANT* result)>;
    std::vector<std::pair<std::wstring, Member>> Members;
    std::string Saved;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        *obj = nullptr;
        if (IsEqualIID(riid, IID_IPersistStreamInit) && !Saved.empty()) *obj = static_cast<IPersistStreamInit*>(this);
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) *obj = static_cast<IDispatch*>(this);
        return *obj ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // the test owns it
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
        for (size_t i = 0; i < Members.size(); ++i)
            if (Members[i].first == names[0]) return *id = DISPID(i + 1), S_OK;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id < 1 || size_t(id) > Members.size()) return DISP_E_MEMBERNOTFOUND;
        return Members[id - 1].second(flags, *params, result);
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream* s, BOOL) override { return s->Write(Saved.data(), ULONG(Saved.size()), nullptr); }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }
};

Scripted::Member Returns(IDispatch* object) {
    return [object](WORD, DISPPARAMS&, VARIANT* r) {
        r->vt = VT_DISPATCH;
        r->pdispVal = object;
        return S_OK;
    };
}

// A stand-in for the browser control, given by CoCreateInstance of the
// browser's class in this process while it lives; logs what its container
// does to it.
class FakeControl : public IOleObject,
                    public IOleControl,
                    public IConnectionPointContainer,
                    public IConnectionPoint,
                    public IDispatch,
                    public IClassFactory {
public:
    FakeControl() {
        CoRegisterClassObject(CLSID_WebBrowser, static_cast<IClassFactory*>(this), CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &cookie_);
    }
    ~FakeControl() { CoRevokeClassObject(cookie_); }

    bool OffersOleControl = true;
    bool RefusesActivation = false;
    std::vector<std::string> Log;
    Scripted* Document = nullptr;
    ComPtr<IOleClientSite> Site;
    ComPtr<IDispatch> Sink;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        *obj = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleObject)) *obj = static_cast<IOleObject*>(this);
        if (IsEqualIID(riid, IID_IOleControl) && OffersOleControl) *obj = static_cast<IOleControl*>(this);
        if (IsEqualIID(riid, IID_IConnectionPointContainer)) *obj = static_cast<IConnectionPointContainer*>(this);
        if (IsEqualIID(riid, IID_IDispatch)) *obj = static_cast<IDispatch*>(this);
        if (IsEqualIID(riid, IID_IClassFactory)) *obj = static_cast<IClassFactory*>(this);
        return *obj ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // the test owns it
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** obj) override {
        return QueryInterface(riid, obj);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override { return Site = ComPtr(site, true), S_OK; }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override { return Log.push_back("close"), S_OK; }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override {
        auto inPlace = ComPtr<IOleClientSite>(site, true).As<IOleInPlaceSite>(IID_IOleInPlaceSite);
        Log.push_back("activate");
        return RefusesActivation ? E_FAIL : inPlace->OnInPlaceActivate();
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {  // the connection point's
        Sink.reset();
        Log.push_back("unadvise " + std::to_string(cookie));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* s) override { return *s = OLEMISC_SETCLIENTSITEFIRST, S_OK; }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }
    // IOleControl: a changed agent is read again at once, as a browser does.
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override {
        TVariant agent;
        DISPPARAMS none = {};
        Site.As<IDispatch>(IID_IDispatch)->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, agent.put(),
                                                  nullptr, nullptr);
        Log.push_back("ambient " + std::to_string(id) + " " + Narrow(agent.AsString()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }
    // IConnectionPointContainer with its one point
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        if (!IsEqualIID(riid, DIID_DWebBrowserEvents2)) return E_NOINTERFACE;
        return *point = this, S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        sink->QueryInterface(IID_IDispatch, Sink.put_void());
        Log.push_back("advise");
        return *cookie = 7, S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    // IDispatch: Document and Silent
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id == DispIdBrowserSilent) return S_OK;
        if (id != DispIdBrowserDocument) return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_DISPATCH;
        result->pdispVal = Document;
        return S_OK;
    }

    static std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

private:
    DWORD cookie_ = 0;
};

// Asks the container for an ambient property as a control asks its site.
HRESULT Ambient(TOleControl& c, DISPID id, WORD flags, VARIANT* result) {
    DISPPARAMS none = {};
    auto site = ComPtr<IUnknown>(c.SiteUnknown(), true).As<IDispatch>(IID_IDispatch);
    return site->Invoke(id, IID_NULL, 0, flags, &none, result, nullptr, nullptr);
}

class WebBrowser2Test : public ::testing::Test {
protected:
    WebBrowser2Test() {
        Application.Initialize();
        ole_ = SUCCEEDED(OleInitialize(nullptr));
        form_ = std::make_unique<TForm>(nullptr, TFormProps{.WindowClass = L"TWebBrowser2TestForm"});
        panel_ = new TPanel(form_.get());
        panel_->SetVisible(false);
        panel_->SetParent(form_.get());
        panel_->SetBounds(0, 0, 1, 1);
    }
    ~WebBrowser2Test() override {
        form_.reset();
        if (ole_) OleUninitialize();
    }

    // The browser as the login window makes it: in the hidden 1x1 panel.
    std::unique_ptr<TWebBrowser2> PlacedBrowser() {
        auto b = std::make_unique<TWebBrowser2>(nullptr);
        b->SetUserAgent(Agent);
        b->SetParentWindow(panel_->Handle());
        b->SetBounds(0, 0, 1, 1);
        b->Handle();
        return b;
    }

    bool ole_ = false;
    std::unique_ptr<TForm> form_;
    TPanel* panel_ = nullptr;
};

}  // namespace

TEST_F(WebBrowser2Test, RealControlActivatesInTheHiddenPanelAndStopsWithItsWindow) {
    auto b = PlacedBrowser();
    ASSERT_TRUE(b->InPlaceActive());
    EXPECT_EQ(GetParent(b->Handle()), panel_->Handle());
    EXPECT_NE(GetWindow(b->Handle(), GW_CHILD), nullptr) << "the control's own window lies in ours";
    EXPECT_FALSE(b->Silent());
    b->SetSilent(true);
    EXPECT_TRUE(b->Silent());
    TVariant answer;
    EXPECT_EQ(Ambient(*b, DispIdAmbientUserAgent, DISPATCH_PROPERTYGET, answer.put()), S_OK);
    EXPECT_EQ(answer.AsString(), Agent + L"\r\n");
    std::vector<std::wstring> seen;
    b->OnBeforeNavigate2 = [&](TComponent* sender, const std::wstring& url) {
        EXPECT_EQ(sender, b.get());
        seen.push_back(url);
    };
    b->Navigate(L"about:blank");
    ASSERT_TRUE(formstest::PumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::vector<std::wstring>{L"about:blank"});
    // This system's control loads no document.
    EXPECT_EQ(b->Document().get(), nullptr);
    EXPECT_EQ(GetDocumentHtml(*b), "");

    // The window closing frees the host panel, and our window with it.
    delete panel_;
    panel_ = nullptr;
    EXPECT_EQ(b->OleObject(), nullptr);
    EXPECT_THROW(b->Navigate(L"about:blank"), EOleError);
}

TEST_F(WebBrowser2Test, AmbientUserAgentAnsweredOnlyWhenAskedForItsValue) {
    struct Case {
        const wchar_t* agent;
        WORD flags;
        bool withResult;
        HRESULT hr;
        const wchar_t* answer;  // null: the container's own answer, which has none
    } cases[] = {
        {L"", DISPATCH_PROPERTYGET, true, DISP_E_MEMBERNOTFOUND, nullptr},
        {L"abc", DISPATCH_PROPERTYGET, false, DISP_E_MEMBERNOTFOUND, nullptr},
        {L"abc", DISPATCH_METHOD, true, DISP_E_MEMBERNOTFOUND, nullptr},
        {L"abc", DISPATCH_PROPERTYGET, true, S_OK, L"abc\r\n"},
        {L"abc", DISPATCH_METHOD | DISPATCH_PROPERTYGET, true, S_OK, L"abc\r\n"},
    };
    TWebBrowser2 b(nullptr);
    for (const Case& c : cases) {
        b.SetUserAgent(c.agent);
        TVariant result;
        EXPECT_EQ(Ambient(b, DispIdAmbientUserAgent, c.flags, c.withResult ? result.put() : nullptr), c.hr)
            << "agent '" << FakeControl::Narrow(c.agent) << "' flags " << c.flags;
        if (c.answer) EXPECT_EQ(result.AsString(), c.answer);
        else EXPECT_EQ(result.Type(), VT_EMPTY);
    }
    EXPECT_EQ(b.UserAgent(), L"abc");
    TVariant userMode;  // the other ambient properties stay the container's
    EXPECT_EQ(Ambient(b, DISPID_AMBIENT_USERMODE, DISPATCH_PROPERTYGET, userMode.put()), S_OK);
    EXPECT_TRUE(userMode.AsBool());
}

TEST_F(WebBrowser2Test, NewAgentReachesTheRunningControlAndEventsEndBeforeItIsFreed) {
    FakeControl fake;
    {
        auto b = PlacedBrowser();
        b->SetUserAgent(L"abc");
        fake.OffersOleControl = false;
        b->SetUserAgent(L"xyz");  // nothing to tell, nothing thrown
        EXPECT_EQ(b->UserAgent(), L"xyz");
    }
    EXPECT_EQ(fake.Log, (std::vector<std::string>{"advise", "ambient -5513 " + FakeControl::Narrow(Agent) + "\r\n",
                                                  "activate", "ambient -5513 abc\r\n", "unadvise 7", "close"}));
    EXPECT_FALSE(fake.Site) << "the control is left without a site";
}

TEST_F(WebBrowser2Test, LoginBrowserFillsThePageAndReadsItsBytes) {
    FakeControl fake;
    std::vector<std::wstring> log;
    auto setter = [&log](const wchar_t* name) {
        return [&log, name](WORD flags, DISPPARAMS& p, VARIANT*) {
            log.push_back(name + std::wstring(flags == DISPATCH_PROPERTYPUT ? L".value=" : L"?") + p.rgvarg[0].bstrVal);
            return S_OK;
        };
    };
    auto byName = [](std::map<std::wstring, IDispatch*> objects) {
        return [objects](WORD, DISPPARAMS& p, VARIANT* r) {
            auto it = objects.find(p.rgvarg[0].bstrVal);
            return Returns(it == objects.end() ? nullptr : it->second)(0, p, r);
        };
    };
    Scripted email, pass, login, inputs, all, doc;
    email.Members = {{L"value", setter(L"email")}};
    pass.Members = {{L"value", setter(L"pass")}};
    login.Members = {{L"click", [&log](WORD, DISPPARAMS&, VARIANT*) { return log.push_back(L"login.click"), S_OK; }}};
    inputs.Members = {{L"item", byName({{L"email", &email}, {L"pass", &pass}})}};
    all.Members = {{L"tags", byName({{L"input", &inputs}})}, {L"item", byName({{L"login", &login}})}};
    doc.Members = {{L"all", Returns(&all)}};
    doc.Saved = "<html>Jos\xC3\xA9</html>";

    auto browser = CreateLoginBrowser(panel_->Handle(), Agent);
    int completes = 0;
    browser->OnDocumentComplete = [&] { ++completes; };
    TVariant url(L"https://m.example.com/"), frame(static_cast<IDispatch*>(&fake));
    VARIANT args[2] = {};
    args[0].vt = VT_VARIANT | VT_BYREF;  // URL, by reference as the control gives it
    args[0].pvarVal = url.get();
    args[1] = *frame.get();
    DISPPARAMS params = {args, nullptr, 2, 0};
    fake.Sink->Invoke(DispIdDocumentComplete, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    EXPECT_EQ(completes, 1);
    EXPECT_EQ(browser->GetDocumentHtml(), "") << "no document yet";
    fake.Document = &doc;
    EXPECT_EQ(browser->GetDocumentHtml(), doc.Saved);
    browser->SubmitLogin(L"me@example.com", L"secret");
    EXPECT_EQ(log, (std::vector<std::wstring>{L"email.value=me@example.com", L"pass.value=secret", L"login.click"}));

    // A page without the password box: nothing clicked, the caller told.
    inputs.Members = {{L"item", byName({{L"email", &email}})}};
    log.clear();
    EXPECT_THROW(browser->SubmitLogin(L"a", L"b"), std::runtime_error);
    EXPECT_EQ(log, std::vector<std::wstring>{L"email.value=a"});
}

TEST_F(WebBrowser2Test, LoginBrowserThatCannotStartThrows) {
    auto* factory = LoginBrowserFactory.target<std::unique_ptr<TLoginBrowser> (*)(HWND, const std::wstring&)>();
    EXPECT_TRUE(factory && *factory == &CreateLoginBrowser) << "the program's browser is the real one";
    EXPECT_THROW(CreateLoginBrowser(nullptr, Agent), std::runtime_error) << "no window to live in";
    FakeControl fake;
    fake.RefusesActivation = true;
    EXPECT_THROW(CreateLoginBrowser(panel_->Handle(), Agent), std::runtime_error);
    EXPECT_EQ(fake.Log.back(), "close") << "the refused control is let go";
}
