#include "classlib/OleControl.h"

#include <olectl.h>

namespace cls {

namespace {

// The IDispatch of an object that is called by dispatch ID only and has no
// type information: the ambient properties and the event sink.
struct TUntypedDispatch : IDispatch {
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
};

}  // namespace

// ---- the site the control talks to ----

// The in-place frame is an object of its own because its window (the
// top-level one) differs from the site's (the container's).
class TOleControl::TSite final : public IOleClientSite,
                           public IOleInPlaceSite,
                           public IOleControlSite,
                           public TUntypedDispatch {
public:
    explicit TSite(TOleControl* owner) : owner_(owner), frame_(this) {}

    // The container lets go of the control: later calls find nobody.
    void Detach() {
        owner_ = nullptr;
        active_ = false;
    }
    bool Active() const { return active_; }
    IOleClientSite* ClientSite() { return this; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (!obj) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *obj = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
            *obj = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleControlSite))
            *obj = static_cast<IOleControlSite*>(this);
        else if (IsEqualIID(riid, IID_IDispatch))
            *obj = static_cast<IDispatch*>(this);
        else {
            *obj = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow / IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = owner_ && owner_->HandleAllocated() ? owner_->Handle() : nullptr;
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return owner_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
        if (!owner_) return E_UNEXPECTED;
        active_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
        *frame = nullptr;
        *doc = nullptr;
        if (!owner_ || !owner_->HandleAllocated()) return E_UNEXPECTED;
        *frame = &frame_;
        frame_.AddRef();
        *pos = owner_->ControlRect();
        *clip = *pos;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(owner_->Handle(), GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        active_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
        if (!owner_ || !rect) return E_UNEXPECTED;
        if (owner_->inPlaceObject_) owner_->inPlaceObject_->SetObjectRects(rect, rect);
        return S_OK;
    }

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** disp) override {
        if (disp) *disp = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch: the ambient properties
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (!owner_) return E_UNEXPECTED;
        try {
            return owner_->Invoke(id, riid, lcid, flags, params, result, excep, argErr);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

private:
    class TFrame final : public IOleInPlaceFrame {
    public:
        explicit TFrame(TSite* site) : site_(site) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
            if (!obj) return E_POINTER;
            if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
                IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame)) {
                *obj = static_cast<IOleInPlaceFrame*>(this);
                AddRef();
                return S_OK;
            }
            *obj = nullptr;
            return E_NOINTERFACE;
        }
        // The frame lives as long as its site.
        ULONG STDMETHODCALLTYPE AddRef() override { return site_->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return site_->Release(); }

        HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
            if (!window) return E_POINTER;
            TOleControl* owner = site_->owner_;
            *window = owner && owner->HandleAllocated() ? GetAncestor(owner->Handle(), GA_ROOT) : nullptr;
            return *window ? S_OK : E_FAIL;
        }
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
        // No toolbars or menus of the control's own in this container.
        HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
        HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
        HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    private:
        TSite* site_;
    };

    ~TSite() = default;

    TOleControl* owner_;
    TFrame frame_;
    ULONG refs_ = 1;
    bool active_ = false;
};

// ---- the container ----

TOleControl::TOleControl(TComponent* owner, REFCLSID clsid) : TWinControl(owner) {
    OleCheck(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, oleObject_.put_void()),
             "creating the control");
    site_ = new TSite(this);
    try {
        DWORD misc = 0;
        oleObject_->GetMiscStatus(DVASPECT_CONTENT, &misc);
        if (misc & OLEMISC_SETCLIENTSITEFIRST)
            OleCheck(oleObject_->SetClientSite(site_->ClientSite()), "IOleObject::SetClientSite");
        // A control with persistent state starts from a fresh one.
        if (auto init = oleObject_.As<IPersistStreamInit>(IID_IPersistStreamInit)) init->InitNew();
    } catch (...) {
        oleObject_->SetClientSite(nullptr);
        oleObject_.reset();
        site_->Detach();
        site_->Release();
        throw;
    }
}

TOleControl::~TOleControl() {
    FreeControl();
    site_->Release();
}

ComPtr<IDispatch> TOleControl::DefaultDispatch() const {
    auto disp = oleObject_.As<IDispatch>(IID_IDispatch);
    if (!disp) throw EOleError("the control offers no automation", E_NOINTERFACE);
    return disp;
}

IUnknown* TOleControl::SiteUnknown() const { return site_->ClientSite(); }

RECT TOleControl::ControlRect() const { return {0, 0, width_, height_}; }

void TOleControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassName = L"TOleControl";
    p.OwnClass = true;
    p.Style |= WS_CLIPCHILDREN;
    p.ParentWindow = parentWindow_;
}

void TOleControl::HandleCreated() {
    TWinControl::HandleCreated();
    if (!oleObject_) return;
    DWORD misc = 0;
    oleObject_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    if (!(misc & OLEMISC_SETCLIENTSITEFIRST))
        OleCheck(oleObject_->SetClientSite(site_->ClientSite()), "IOleObject::SetClientSite");
    RECT r = ControlRect();
    OleCheck(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_->ClientSite(), 0, Handle(), &r),
             "in-place activation");
    if (!site_->Active()) throw EOleError("the control did not activate in place", E_FAIL);
    inPlaceObject_ = oleObject_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    if (inPlaceObject_) inPlaceObject_->SetObjectRects(&r, &r);
}

void TOleControl::BoundsChanged(const RECT& old) {
    TWinControl::BoundsChanged(old);
    if (!inPlaceObject_) return;
    RECT r = ControlRect();
    inPlaceObject_->SetObjectRects(&r, &r);
}

LRESULT TOleControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // The window goes (its own close or its parent's): the control and
    // its events go with it.
    if (msg == WM_DESTROY) FreeControl();
    return TWinControl::WndProc(msg, wp, lp);
}

void TOleControl::FreeControl() {
    if (!oleObject_ || freeing_) return;
    freeing_ = true;
    BeforeControlFreed();
    if (inPlaceObject_) {
        inPlaceObject_->InPlaceDeactivate();
        inPlaceObject_.reset();
    }
    ComPtr<IOleObject> object = std::move(oleObject_);
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    site_->Detach();
    object.reset();
    freeing_ = false;
}

HRESULT TOleControl::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    auto answer = [result](VARTYPE vt) -> VARIANT& {
        VariantInit(result);
        result->vt = vt;
        return *result;
    };
    switch (dispId) {
        case DISPID_AMBIENT_USERMODE:
        case DISPID_AMBIENT_SUPPORTSMNEMONICS:
        case DISPID_AMBIENT_AUTOCLIP:
            answer(VT_BOOL).boolVal = VARIANT_TRUE;
            return S_OK;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
        case DISPID_AMBIENT_MESSAGEREFLECT:
        case DISPID_AMBIENT_DISPLAYASDEFAULT:
            answer(VT_BOOL).boolVal = VARIANT_FALSE;
            return S_OK;
        // Our colours are OLE_COLOR values already (system colours included).
        case DISPID_AMBIENT_BACKCOLOR:
            answer(VT_I4).lVal = Color();
            return S_OK;
        case DISPID_AMBIENT_FORECOLOR:
            answer(VT_I4).lVal = Font().Color();
            return S_OK;
        case DISPID_AMBIENT_LOCALEID:
            answer(VT_I4).lVal = static_cast<LONG>(GetUserDefaultLCID());
            return S_OK;
        case DISPID_AMBIENT_DISPLAYNAME: {
            BSTR name = SysAllocStringLen(Name.data(), static_cast<UINT>(Name.size()));
            if (!name) return E_OUTOFMEMORY;
            answer(VT_BSTR).bstrVal = name;
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- event sink ----

class TEventSink::TSink final : public TUntypedDispatch {
public:
    TSink(REFIID events, THandler handler) : events_(events), handler_(std::move(handler)) {}
    void Detach() { handler_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (!obj) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, events_)) {
            *obj = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *obj = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        // The handler may free the sink's owner (and disconnect us): hold
        // ourselves and a copy of the handler until it returns.
        ComPtr<IDispatch> self(this, true);
        THandler handler = handler_;
        if (!handler) return S_OK;
        DISPPARAMS none = {};
        try {
            handler(id, params ? *params : none);
        } catch (...) {
            return E_UNEXPECTED;
        }
        return S_OK;
    }

private:
    ~TSink() = default;
    IID events_;
    THandler handler_;
    ULONG refs_ = 1;
};

TEventSink::TEventSink(REFIID events, THandler handler)
    : events_(events), sink_(new TSink(events, std::move(handler))) {}

TEventSink::~TEventSink() {
    Disconnect();
    sink_->Detach();
    sink_->Release();
}

void TEventSink::Connect(IUnknown* source) {
    Disconnect();
    if (!source) throw EOleError("no event source", E_POINTER);
    ComPtr<IConnectionPointContainer> container;
    OleCheck(source->QueryInterface(IID_IConnectionPointContainer, container.put_void()),
             "IConnectionPointContainer");
    ComPtr<IConnectionPoint> point;
    OleCheck(container->FindConnectionPoint(events_, point.put()), "FindConnectionPoint");
    DWORD cookie = 0;
    OleCheck(point->Advise(static_cast<IDispatch*>(sink_), &cookie), "IConnectionPoint::Advise");
    point_ = std::move(point);
    cookie_ = cookie;
}

void TEventSink::Disconnect() {
    if (!point_) return;
    ComPtr<IConnectionPoint> point = std::move(point_);
    DWORD cookie = std::exchange(cookie_, 0);
    point->Unadvise(cookie);
}

}  // namespace cls
