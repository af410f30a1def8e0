// Container for ActiveX controls: TOleControl creates a control by class ID
// and keeps it in-place active inside its own child window, answering the
// control's questions to its site (client site, in-place site and frame,
// control site, ambient properties). TEventSink receives a control's
// events through one of its connection points.
//
// The site objects the control holds are separate, reference-counted
// objects that point back at the container; the container cuts them loose
// when it lets go of the control, so a late call from the control finds no
// freed container.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <functional>

#include "classlib/Controls.h"
#include "classlib/OleAuto.h"
#include "classlib/Raii.h"

namespace cls {

class TOleControl : public TWinControl {
public:
    // Creates the control; throws EOleError when it cannot be created.
    // It is activated in place when the window is made (Handle()).
    TOleControl(TComponent* owner, REFCLSID clsid);
    ~TOleControl() override;

    // For a control placed in a window that is not one of ours; it needs
    // no Parent then.
    void SetParentWindow(HWND parent) { parentWindow_ = parent; }

    // Null once the control has been let go.
    IOleObject* OleObject() const { return oleObject_.get(); }
    // The control's automation interface; throws when it has none.
    ComPtr<IDispatch> DefaultDispatch() const;
    bool InPlaceActive() const { return inPlaceObject_.get() != nullptr; }

    // The container's ambient properties, read by the control through the
    // site's IDispatch. Answers the standard ones as a container showing
    // its controls in user mode; DISP_E_MEMBERNOTFOUND for the others.
    virtual HRESULT Invoke(DISPID dispId, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

    // The site object handed to the control (IOleClientSite and the rest).
    IUnknown* SiteUnknown() const;

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void BoundsChanged(const RECT& old) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

    // Deactivates, closes and releases the control, once. Descendants that
    // hold more of the control (event connections) let go of it in
    // BeforeControlFreed, and call FreeControl from their own destructor.
    void FreeControl();
    virtual void BeforeControlFreed() {}

private:
    class TSite;
    friend class TSite;
    RECT ControlRect() const;

    ComPtr<IOleObject> oleObject_;
    ComPtr<IOleInPlaceObject> inPlaceObject_;
    TSite* site_ = nullptr;  // one reference held here
    HWND parentWindow_ = nullptr;
    bool freeing_ = false;
};

// One connection to a control's outgoing dispatch interface. Events come
// to Handler until Disconnect (or destruction); the sink object that the
// control holds stays harmless after that.
class TEventSink {
public:
    using THandler = std::function<void(DISPID id, DISPPARAMS& params)>;

    TEventSink(REFIID events, THandler handler);
    ~TEventSink();
    TEventSink(const TEventSink&) = delete;
    TEventSink& operator=(const TEventSink&) = delete;

    // Advises the source's connection point for the events; throws
    // EOleError when it has none or refuses.
    void Connect(IUnknown* source);
    void Disconnect();
    bool Connected() const { return cookie_ != 0; }

private:
    class TSink;
    IID events_;
    TSink* sink_;  // one reference held here
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace cls
