#include "dragdrop/DropTarget.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

#include "classlib/Colors.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropFormats.h"

namespace dragdrop {

namespace {

[[noreturn]] void OleError(HRESULT hr) { throw EOleError(hr); }
void OleCheck(HRESULT hr) {
    if (FAILED(hr)) OleError(hr);
}

bool IsDescendantOf(cls::TWinControl* control, cls::TWinControl* ancestor) {
    for (auto* p = control ? control->Parent() : nullptr; p; p = p->Parent())
        if (p == ancestor) return true;
    return false;
}

// A rich edit registers itself as a drop target; ours replaces that.
bool IsRichEdit(cls::TWinControl* control) {
    if (!control->HandleAllocated()) return false;
    wchar_t name[64] = {};
    GetClassNameW(control->Handle(), name, 63);
    std::wstring s = name;
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
    return s.find(L"richedit") != std::wstring::npos;
}

}  // namespace

EOleError::EOleError(HRESULT code)
    : EDragDrop("OLE error " + std::to_string(static_cast<unsigned long>(code))), Code(code) {}

// ---- pure decisions ----

LONG ValidDropEffect(TDragTypes dragTypes, cls::TShiftState shiftState, LONG allowed, bool applyKeys,
                     bool scrollable, bool insideNoScrollZone) {
    LONG r = DragTypesToDropEffect(dragTypes) & allowed;
    if (applyKeys) r = ShiftStateToDropEffect(shiftState, r, true);
    if (scrollable) {
        if (insideNoScrollZone)
            r &= ~static_cast<LONG>(DROPEFFECT_SCROLL);
        else
            r |= static_cast<LONG>(DROPEFFECT_SCROLL);
    }
    return r;
}

RECT NoScrollZone(const RECT& client, TScrollBars bars, int cyHScroll, int cxVScroll) {
    RECT r = client;
    if (bars & sbVertical) {
        r.top += 2 * cyHScroll;
        r.bottom -= 2 * cyHScroll;
    }
    if (bars & sbHorizontal) {
        r.left += 2 * cxVScroll;
        r.right -= 2 * cxVScroll;
    }
    return r;
}

TScrollDirections ScrollDirections(POINT p, const RECT& zone, TScrollBars bars, const SCROLLINFO& vert,
                                   const SCROLLINFO& horz) {
    TScrollDirections s = 0;
    if (bars & sbVertical) {
        if (p.y < zone.top) {
            if (vert.nPos > vert.nMin) s |= sdUp;
        } else if (p.y >= zone.bottom) {
            if (vert.nPos + static_cast<int>(vert.nPage) <= vert.nMax) s |= sdDown;
        }
    }
    if (bars & sbHorizontal) {
        if (p.x < zone.left) {
            if (horz.nPos > horz.nMin) s |= sdLeft;
        } else if (p.x >= zone.right) {
            if (horz.nPos + static_cast<int>(horz.nPage) <= horz.nMax) s |= sdRight;
        }
    }
    return s;
}

long long SquaredDistanceToRect(POINT p, const RECT& rc) {
    long long right = rc.right + 1, bottom = rc.bottom + 1;
    long long dx = 0, dy = 0;
    if (p.x < rc.left)
        dx = rc.left - p.x;
    else if (p.x >= right)
        dx = p.x - right;
    if (p.y < rc.top)
        dy = rc.top - p.y;
    else if (p.y >= bottom)
        dy = p.y - bottom;
    return dx * dx + dy * dy;
}

bool TMouseSpeedGate::Check(DWORD now, POINT point, bool reset) {
    bool result = true;
    if (reset) {
        sample_ = {now, point};
        next_.Time = 0;
        return true;
    }
    DWORD dt = now - sample_.Time;
    if (dt >= kMouseSampleTime) {
        long long dx = point.x - sample_.Pos.x, dy = point.y - sample_.Pos.y;
        long long speed2 = dt == 0 ? 0 : (dx * dx + dy * dy) * 1000000 / (static_cast<long long>(dt) * dt);
        result = speed2 <= static_cast<long long>(kScrollSpeedLimit) * kScrollSpeedLimit;
        if (next_.Time == 0) next_ = {now, point};
    }
    if (next_.Time != 0 && now - next_.Time >= kMouseSampleTime) {
        sample_ = next_;
        next_ = {now, point};
    }
    return result;
}

// ---- control list ----

int TControlList::IndexOf(cls::TWinControl* control) const {
    auto it = std::find(list_.begin(), list_.end(), control);
    return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

void TControlList::Remove(cls::TWinControl* control) {
    auto it = std::find(list_.begin(), list_.end(), control);
    if (it != list_.end()) list_.erase(it);
}

// ---- proxy window ----

TWinControlProxy::TWinControlProxy(TCustomDropTarget* owner) : cls::TCustomControl(owner), target_(owner) {}

TWinControlProxy::~TWinControlProxy() {
    if (target_ && Parent()) target_->ControlRemoved(Parent());
}

TControlWatch::TControlWatch(TCustomDropTarget* owner) : cls::TGraphicControl(owner), target_(owner) {
    SetVisible(false);
    SetBounds(0, 0, 0, 0);
}

TControlWatch::~TControlWatch() {
    if (target_ && Parent()) target_->ControlRemoved(Parent());
}

void TWinControlProxy::CreateParams(cls::TCreateParams& params) {
    cls::TCustomControl::CreateParams(params);
    params.ExStyle |= WS_EX_TRANSPARENT;
}

void TWinControlProxy::HandleCreated() {
    cls::TCustomControl::HandleCreated();
    OleCheck(RegisterDragDrop(Parent()->Handle(), static_cast<IDropTarget*>(target_)));
    Hide();
    SetWidth(0);
}

LRESULT TWinControlProxy::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY && Parent() && Parent()->HandleAllocated()) RevokeDragDrop(Parent()->Handle());
    return cls::TCustomControl::WndProc(msg, wp, lp);
}

// ---- drop target ----

TCustomDropTarget::TCustomDropTarget(cls::TComponent* owner) : TDragDropComponent(owner) {
    scrollTimer_ = new cls::TTimer(this);
    scrollTimer_->SetEnabled(false);
    scrollTimer_->OnTimer = [this](cls::TComponent*) { ScrollStep(); };
    images_ = new cls::TImageList(this);
    {
        // Image 0 is fully transparent: the cursor image while the
        // fallback drag image is shown.
        HDC screen = GetDC(nullptr);
        cls::Bitmap bmp(CreateCompatibleBitmap(screen, 32, 32));
        ReleaseDC(nullptr, screen);
        cls::MemoryDC dc;
        dc.SelectBitmap(bmp.get());
        RECT r{0, 0, 32, 32};
        FillRect(dc.get(), &r, GetSysColorBrush(COLOR_WINDOW));
        SelectObject(dc.get(), GetStockObject(NULL_BRUSH));
        images_->AddMasked(bmp.get(), cls::ColorToRGB(cls::clWindow));
    }
    SetShowImage(true);
}

TCustomDropTarget::~TCustomDropTarget() {
    dataObject_.reset();
    dropTargetHelper_.reset();
    Unregister(nullptr);
}

void* TCustomDropTarget::GetInterface(REFIID riid) {
    if (IsEqualIID(riid, IID_IDropTarget)) return static_cast<IDropTarget*>(this);
    return nullptr;
}

void TCustomDropTarget::GetCompatibleClipboardFormats(const DataFormatClass& dataFormat,
                                                      TClipboardFormats& formats) {
    DataFormatMap().GetClipboardFormats(dataFormat, formats, TDragDropTier::ddtTarget);
}

POINT TCustomDropTarget::ToClient(POINT p) const {
    if (target_ && target_->HandleAllocated()) ScreenToClient(target_->Handle(), &p);
    return p;
}

HRESULT STDMETHODCALLTYPE TCustomDropTarget::DragEnter(IDataObject* dataObj, DWORD grfKeyState, POINTL ptl,
                                                       DWORD* pdwEffect) {
    POINT pt{ptl.x, ptl.y};
    LONG effect = static_cast<LONG>(*pdwEffect);
    // The worker still reads through the data object and the formats:
    // a new drag is refused without touching either.
    if (isAsync_) {
        *pdwEffect = DROPEFFECT_NONE;
        return DV_E_CLIPFORMAT;
    }
    try {
        if (Enabled) {
            ClearData();
            dataObject_ = cls::ComPtr<IDataObject>(dataObj, true);
        }
        target_ = FindTarget(pt);
        if (!target_) {
            SetShowImage(false);
            AutoScroll = false;
            lastPoint_ = pt;
        } else {
            lastPoint_ = ToClient(pt);
        }
        CheckMouseSpeed(pt, true);
        if (Enabled && HasValidFormats(dataObject_.get())) {
            ResetScrollZone();
            if (GetDataOnEnter && !GetData(effect)) {
                // OLE sends nothing more after a failed DragEnter.
                AbandonEnter();
                *pdwEffect = DROPEFFECT_NONE;
                return DV_E_CLIPFORMAT;
            }
            cls::TShiftState shift = KeysToShiftState(grfKeyState);
            effect = GetValidDropEffect(shift, lastPoint_, effect);
            DoEnter(shift, lastPoint_, effect);
            if (IsRefusal(effect)) dataObject_.reset();
        } else {
            dataObject_.reset();
            effect = DROPEFFECT_NONE;
        }
        if (showImage_) {
            dropTargetHelper_.reset();
            if (SUCCEEDED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IDropTargetHelper, dropTargetHelper_.put_void())) &&
                dropTargetHelper_) {
                DWORD e = static_cast<DWORD>(effect);
                if (FAILED(dropTargetHelper_->DragEnter(target_ ? target_->Handle() : nullptr, dataObj, &pt, e)))
                    dropTargetHelper_.reset();
            }
            if (!dropTargetHelper_) {
                dragImageHandle_ = ImageList_GetDragImage(nullptr, &imageHotSpot_);
                if (dragImageHandle_ && target_) {
                    ImageList_SetDragCursorImage(images_->Handle(), 0, imageHotSpot_.x, imageHotSpot_.y);
                    POINT p = ClientPtToWindowPt(target_->Handle(), lastPoint_);
                    ImageList_DragEnter(target_->Handle(), p.x, p.y);
                }
            }
        } else {
            dragImageHandle_ = nullptr;
        }
        *pdwEffect = static_cast<DWORD>(effect);
        return S_OK;
    } catch (...) {
        AbandonEnter();
        *pdwEffect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
}

void TCustomDropTarget::AbandonEnter() {
    if (!isAsync_) {
        try {
            ClearData();
        } catch (...) {
            // Clearing is what failed: the formats are cleared on the next drag.
        }
        dataObject_.reset();
    }
    // Every failure comes before the drag image is set up: nothing to take down.
    dropTargetHelper_.reset();
    dragImageHandle_ = nullptr;
    target_ = nullptr;
}

HRESULT STDMETHODCALLTYPE TCustomDropTarget::DragOver(DWORD grfKeyState, POINTL ptl, DWORD* pdwEffect) {
    if (!target_) {
        *pdwEffect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
    POINT pt{ptl.x, ptl.y};
    try {
        POINT p = ToClient(pt);
        cls::TShiftState shift = KeysToShiftState(grfKeyState);
        if (!customScrollZone_) ResetScrollZone();
        LONG effect = GetValidDropEffect(shift, p, static_cast<LONG>(*pdwEffect));
        HRESULT result;
        if (Enabled && dataObject_ && !isAsync_) {
            DoDragOver(shift, p, effect);
            result = S_OK;
        } else {
            // A refused drag must show "no drop", else OLE goes on to Drop.
            effect = DROPEFFECT_NONE;
            result = DV_E_CLIPFORMAT;
        }
        bool allowed = CheckMouseSpeed(pt, false);
        if (effect & static_cast<LONG>(DROPEFFECT_SCROLL)) {
            if (!scrollTimer_->Enabled()) scrollTimer_->SetInterval(kScrollFirstDelay);
            scrollTimer_->SetEnabled(allowed);
        } else {
            scrollTimer_->SetEnabled(false);
        }
        if (dropTargetHelper_) {
            OleCheck(dropTargetHelper_->DragOver(&pt, static_cast<DWORD>(effect)));
        } else if (dragImageHandle_ && (p.x != lastPoint_.x || p.y != lastPoint_.y)) {
            POINT w = ClientPtToWindowPt(target_->Handle(), p);
            ImageList_DragMove(w.x, w.y);
        }
        lastPoint_ = p;
        *pdwEffect = static_cast<DWORD>(effect);
        return result;
    } catch (...) {
        dataObject_.reset();
        *pdwEffect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE TCustomDropTarget::DragLeave() {
    try {
        scrollTimer_->SetEnabled(false);
        if (!isAsync_) {
            ClearData();
            dataObject_.reset();
        }
        if (dropTargetHelper_)
            dropTargetHelper_->DragLeave();
        else if (dragImageHandle_ && target_)
            ImageList_DragLeave(target_->Handle());
        cls::ScopeExit reset([this] {
            target_ = nullptr;
            dropTargetHelper_.reset();
        });
        DoLeave();
        return S_OK;
    } catch (...) {
        dataObject_.reset();
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE TCustomDropTarget::Drop(IDataObject* dataObj, DWORD grfKeyState, POINTL ptl,
                                                  DWORD* pdwEffect) {
    POINT pt{ptl.x, ptl.y};
    HRESULT result = S_OK;
    LONG effect = static_cast<LONG>(*pdwEffect);
    try {
        scrollTimer_->SetEnabled(false);
        if (!Enabled || !dataObject_ || isAsync_) {
            effect = DROPEFFECT_NONE;
            result = E_UNEXPECTED;
        } else {
            cls::TShiftState shift = KeysToShiftState(grfKeyState);
            POINT p = target_ ? ToClient(pt) : pt;
            effect = GetValidDropEffect(shift, p, effect);
            try {
                if (GetDataOnEnter || GetData(effect)) {
                    if (!isAsync_) DoDrop(shift, p, effect);
                } else
                    effect = DROPEFFECT_NONE;
            } catch (...) {
                effect = DROPEFFECT_NONE;
                result = E_UNEXPECTED;
            }
        }
        if (dropTargetHelper_) {
            DWORD e = static_cast<DWORD>(effect);
            dropTargetHelper_->Drop(dataObj, &pt, e);
        } else if (dragImageHandle_ && target_) {
            ImageList_DragLeave(target_->Handle());
        }
    } catch (...) {
        effect = DROPEFFECT_NONE;
        result = E_UNEXPECTED;
    }
    if (!isAsync_) {
        try {
            ClearData();
        } catch (...) {
            result = E_UNEXPECTED;
        }
        dataObject_.reset();
        target_ = nullptr;
    }
    dropTargetHelper_.reset();
    *pdwEffect = static_cast<DWORD>(effect);
    return result;
}

void TCustomDropTarget::DoEnter(cls::TShiftState shiftState, POINT point, LONG& effect) {
    if (OnEnter) OnEnter(this, shiftState, point, effect);
}

void TCustomDropTarget::DoDragOver(cls::TShiftState shiftState, POINT point, LONG& effect) {
    if (OnDragOver) OnDragOver(this, shiftState, point, effect);
}

void TCustomDropTarget::DoDrop(cls::TShiftState shiftState, POINT point, LONG& effect) {
    if (OnDrop) OnDrop(this, shiftState, point, effect);
    if (effect != DROPEFFECT_NONE) {
        LONG e = OptimizedMove && effect == DROPEFFECT_MOVE ? static_cast<LONG>(DROPEFFECT_COPY) : effect;
        if (SetPerformedDropEffect(e)) effect = e;
    }
}

void TCustomDropTarget::DoLeave() {
    if (OnLeave) OnLeave(this);
}

void TCustomDropTarget::DoPaste(LONG& effect) {
    DoDrop(0, POINT{0, 0}, effect);
    if (effect != DROPEFFECT_NONE) SetPasteSucceeded(effect);
}

void TCustomDropTarget::DoScroll(POINT point, TScrollDirections& scroll, int& interval) {
    if (OnScroll) OnScroll(this, point, scroll, interval);
}

bool TCustomDropTarget::GetData(LONG effect) {
    ClearData();
    if (AllowAsyncTransfer) {
        auto op = dataObject_.As<IDataObjectAsyncCapability>(IID_IDataObjectAsyncCapability);
        BOOL async = FALSE;
        if (op && SUCCEEDED(op->GetAsyncMode(&async)) && async && SUCCEEDED(op->StartOperation(nullptr))) {
            if (OnStartAsyncTransfer) OnStartAsyncTransfer(this);
            isAsync_ = true;
            try {
                (new TDropTargetTransferThread(this, dataObject_.get(), effect))->Start();
                return true;
            } catch (...) {
                op->EndOperation(E_UNEXPECTED, nullptr, 0);
                isAsync_ = false;  // nothing runs that would end it
                return false;
            }
        }
    }
    return DoGetData();
}

void TCustomDropTarget::EndAsyncTransfer() {
    dataObject_.reset();
    target_ = nullptr;
    isAsync_ = false;
    ClearData();
    if (OnEndAsyncTransfer) OnEndAsyncTransfer(this);
}

// ---- transfer thread ----

TDropTargetTransferThread::TDropTargetTransferThread(TCustomDropTarget* dropTarget, IDataObject* dataObject,
                                                     LONG effect)
    : cls::TThread(true), dropTarget_(dropTarget), dataObject_(dataObject, true), effect_(effect) {
    FreeOnTerminate = true;
    // The hand-back runs on the GUI thread, whose apartment the data object
    // belongs to; and once the end is announced nothing may hold it (this
    // object is freed later, on the worker).
    OnTerminate = [this, dropTarget](cls::TThread*) {
        dataObject_.reset();
        dropTarget->EndAsyncTransfer();
    };
    try {
        OleCheck(CoMarshalInterThreadInterfaceInStream(IID_IDataObject, dataObject, &dataObjectStream_));
        OleCheck(CoMarshalInterThreadInterfaceInStream(IID_IDataObjectAsyncCapability, dataObject,
                                                       &asyncOperationStream_));
    } catch (...) {
        // Never started: the base must not run the hand-back either.
        OnTerminate = nullptr;
        FreeOnTerminate = false;
        if (dataObjectStream_) {
            CoReleaseMarshalData(dataObjectStream_);
            dataObjectStream_->Release();
            dataObjectStream_ = nullptr;
        }
        throw;
    }
}

TDropTargetTransferThread::~TDropTargetTransferThread() {
    // Execute handed the streams back to COM; they are only left when it never ran.
    if (dataObjectStream_) dataObjectStream_->Release();
    if (asyncOperationStream_) asyncOperationStream_->Release();
    dataObject_.reset();
}

void TDropTargetTransferThread::Execute() {
    CoInitialize(nullptr);
    HRESULT outcome = S_OK;
    cls::ComPtr<IDataObject> dataObject;
    cls::ComPtr<IDataObjectAsyncCapability> operation;
    try {
        OleCheck(CoGetInterfaceAndReleaseStream(std::exchange(dataObjectStream_, nullptr), IID_IDataObject,
                                                dataObject.put_void()));
        OleCheck(CoGetInterfaceAndReleaseStream(std::exchange(asyncOperationStream_, nullptr),
                                                IID_IDataObjectAsyncCapability, operation.put_void()));
        dropTarget_->dataObject_ = dataObject;
        dropTarget_->DoGetData();
        dropTarget_->DoDrop(0, POINT{0, 0}, effect_);
    } catch (const EOleError& e) {
        outcome = e.Code;
    } catch (...) {
        outcome = E_UNEXPECTED;
    }
    if (operation) operation->EndOperation(outcome, nullptr, static_cast<DWORD>(effect_));
    dropTarget_->dataObject_.reset();
    dataObject.reset();
    operation.reset();
    CoUninitialize();
}

LONG TCustomDropTarget::GetValidDropEffect(cls::TShiftState shiftState, POINT point, LONG effect) {
    bool scrollable = AutoScroll && scrollBars_ != 0;
    bool inside = PtInRect(&noScrollZone_, point) != 0;
    LONG r = ValidDropEffect(DragTypes, shiftState, effect, !OnGetDropEffect, scrollable, inside);
    if (OnGetDropEffect) OnGetDropEffect(this, shiftState, point, r);
    return r;
}

LONG TCustomDropTarget::GetPreferredDropEffect() {
    TPreferredDropEffectClipboardFormat format;
    return format.GetData(dataObject_.get()) ? format.Value() : DROPEFFECT_NONE;
}

namespace {
template <class Format>
bool WriteEffect(IDataObject* dataObject, LONG effect) {
    Format format;
    format.SetValue(effect);
    STGMEDIUM medium{};
    FORMATETC fe = format.FormatEtc();
    fe.cfFormat = format.GetClipboardFormat();
    fe.tymed = TYMED_HGLOBAL;  // what drag sources take for these values
    return format.SetData(dataObject, fe, medium);
}
}  // namespace

bool TCustomDropTarget::SetPerformedDropEffect(LONG effect) {
    return WriteEffect<TPerformedDropEffectClipboardFormat>(dataObject_.get(), effect);
}

bool TCustomDropTarget::SetPasteSucceeded(LONG effect) {
    return WriteEffect<TPasteSucceededClipboardFormat>(dataObject_.get(), effect);
}

cls::TWinControl* TCustomDropTarget::FindTarget(POINT screenPoint) {
    cls::TWinControl* c = cls::TWinControl::FindControl(WindowFromPoint(screenPoint));
    while (c && targets_.IndexOf(c) < 0) c = c->Parent();
    return c;
}

cls::TWinControl* TCustomDropTarget::FindNearestTarget(POINT screenPoint) const {
    cls::TWinControl* best = nullptr;
    long long bestDistance = 0;
    for (int i = 0; i < targets_.Count(); ++i) {
        cls::TWinControl* c = targets_.Items(i);
        POINT p = c->ScreenToClient(screenPoint);
        long long d = SquaredDistanceToRect(p, c->ClientRect());
        if (d == 0) return c;
        if (!best || d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

LONG TCustomDropTarget::PasteFromClipboard() {
    target_ = nullptr;
    cls::ScopeExit release([this] { dataObject_.reset(); });
    OleCheck(OleGetClipboard(dataObject_.put()));
    LONG effect = GetPreferredDropEffect();
    if (!GetData(effect)) effect = DROPEFFECT_NONE;
    DoPaste(effect);
    return effect;
}

void TCustomDropTarget::Assign(TClipboardSource) { PasteFromClipboard(); }

void TCustomDropTarget::Assign(IUnknown* source) {
    cls::ComPtr<IDataObject> dataObject;
    if (source) source->QueryInterface(IID_IDataObject, dataObject.put_void());
    if (!dataObject) CannotAssign(source ? "an object without data" : "nil");
    dataObject_ = dataObject;
    bool read = false;
    try {
        read = GetData(DROPEFFECT_COPY);
    } catch (...) {
        if (!isAsync_) dataObject_.reset();
        throw;
    }
    // A transfer thread, when one started, lets go of it when it ends.
    if (!isAsync_) dataObject_.reset();
    if (!read) CannotAssign("a data object without usable data");
}

void TCustomDropTarget::Assign(cls::TComponent* source) {
    cls::ComPtr<IDataObject> dataObject;
    if (auto* component = dynamic_cast<TInterfacedComponent*>(source))
        component->QueryInterface(IID_IDataObject, dataObject.put_void());
    else if (auto* offered = dynamic_cast<IDataObject*>(source))
        dataObject = cls::ComPtr<IDataObject>(offered, true);
    if (dataObject) {
        Assign(static_cast<IUnknown*>(dataObject.get()));
        return;
    }
    CannotAssign(source ? cls::WideToCodePage(source->Name, CP_UTF8) : "nil");
}

void TCustomDropTarget::CannotAssign(const std::string& sourceName) const {
    throw EDragDrop("Cannot assign " + sourceName + " to " + cls::WideToCodePage(Name, CP_UTF8));
}

bool TCustomDropTarget::CanPasteFromClipboard() {
    cls::ComPtr<IDataObject> clip;
    OleCheck(OleGetClipboard(clip.put()));
    return HasValidFormats(clip.get());
}

void TCustomDropTarget::SetShowImage(bool value) {
    showImage_ = value;
    if (dropTargetHelper_)
        dropTargetHelper_->Show(value);
    else if (dataObject_)
        ImageList_DragShowNolock(value);
}

void TCustomDropTarget::SetTarget(cls::TWinControl* control) {
    if (control == target_) return;
    if (MultiTarget) Unregister(nullptr);
    Register(control);
}

void TCustomDropTarget::Register(cls::TWinControl* control) {
    if (control && targets_.IndexOf(control) >= 0) return;
    if (!MultiTarget) Unregister(nullptr);
    if (!control) return;
    // Registered ancestors stand before their descendants.
    int at = targets_.Count();
    for (int i = targets_.Count() - 1; i >= 0; --i)
        if (IsDescendantOf(control, targets_.Items(i))) {
            at = i + 1;
            break;
        }
    targets_.Insert(at, control);
    if (IsRichEdit(control)) RevokeDragDrop(control->Handle());
    try {
        if (AutoRegister) {
            auto* proxy = new TWinControlProxy(this);
            try {
                proxy->SetParent(control);
            } catch (...) {
                delete proxy;
                throw;
            }
        } else {
            OleCheck(RegisterDragDrop(control->Handle(), static_cast<IDropTarget*>(this)));
            // Tells us when the control is freed, as the proxy does.
            (new TControlWatch(this))->SetParent(control);
        }
    } catch (...) {
        targets_.Remove(control);
        throw;
    }
}

void TCustomDropTarget::Unregister(cls::TWinControl* control) {
    if (!control) {
        for (int i = targets_.Count() - 1; i >= 0; --i) Unregister(targets_.Items(i));
        return;
    }
    if (targets_.IndexOf(control) < 0) return;
    if (control == target_) target_ = nullptr;
    targets_.Remove(control);
    if (!AutoRegister && control->HandleAllocated()) RevokeDragDrop(control->Handle());
    for (int i = control->ControlCount() - 1; i >= 0; --i) {
        cls::TControl* child = control->Controls(i);
        if (child->Owner() != this) continue;
        if (auto* proxy = dynamic_cast<TWinControlProxy*>(child)) {
            if (control->HandleAllocated()) RevokeDragDrop(control->Handle());
            proxy->Detach();
            delete proxy;
            break;
        }
        if (auto* watch = dynamic_cast<TControlWatch*>(child)) {
            watch->Detach();
            delete watch;
            break;
        }
    }
}

void TCustomDropTarget::ControlRemoved(cls::TWinControl* control) {
    if (control == target_) target_ = nullptr;
    targets_.Remove(control);
    if (control->HandleAllocated()) RevokeDragDrop(control->Handle());
}

// ---- auto-scroll ----

void TCustomDropTarget::ResetScrollZone() {
    customScrollZone_ = false;
    scrollBars_ = 0;
    if (!AutoScroll || !target_) return;
    LONG style = GetWindowLongW(target_->Handle(), GWL_STYLE);
    if (style & WS_HSCROLL) scrollBars_ |= sbHorizontal;
    if (style & WS_VSCROLL) scrollBars_ |= sbVertical;
    if (scrollBars_) {
        RECT client{};
        GetClientRect(target_->Handle(), &client);
        noScrollZone_ =
            NoScrollZone(client, scrollBars_, GetSystemMetrics(SM_CYHSCROLL), GetSystemMetrics(SM_CXVSCROLL));
    }
}

bool TCustomDropTarget::CheckMouseSpeed(POINT screenPoint, bool reset) {
    return speedGate_.Check(GetTickCount(), screenPoint, reset);
}

void TCustomDropTarget::ShowDragImage(bool show) {
    if (dropTargetHelper_) {
        dropTargetHelper_->Show(show);
    } else if (dragImageHandle_ && target_) {
        if (show) {
            POINT w = ClientPtToWindowPt(target_->Handle(), lastPoint_);
            ImageList_DragEnter(target_->Handle(), w.x, w.y);
        } else {
            ImageList_DragLeave(target_->Handle());
        }
    }
}

void TCustomDropTarget::ScrollStep() {
    scrollTimer_->SetEnabled(false);
    int interval = kScrollRepeatInterval;
    TScrollDirections scroll = 0;
    POINT cursor{};
    GetCursorPos(&cursor);
    if (target_ && !PtInRect(&noScrollZone_, lastPoint_) && CheckMouseSpeed(cursor, false)) {
        SCROLLINFO vert{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS}, horz = vert;
        if (scrollBars_ & sbVertical) GetScrollInfo(target_->Handle(), SB_VERT, &vert);
        if (scrollBars_ & sbHorizontal) GetScrollInfo(target_->Handle(), SB_HORZ, &horz);
        scroll = ScrollDirections(lastPoint_, noScrollZone_, scrollBars_, vert, horz);
    }
    if (scroll) DoScroll(lastPoint_, scroll, interval);
    if (scroll && target_) {
        ShowDragImage(false);
        cls::ScopeExit showAgain([this] { ShowDragImage(true); });
        if (scroll & sdUp)
            target_->Perform(WM_VSCROLL, SB_LINEUP, 0);
        else if (scroll & sdDown)
            target_->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
        if (scroll & sdLeft)
            target_->Perform(WM_HSCROLL, SB_LINELEFT, 0);
        else if (scroll & sdRight)
            target_->Perform(WM_HSCROLL, SB_LINERIGHT, 0);
        scrollTimer_->SetInterval(static_cast<unsigned>(std::max(interval, 1)));
        scrollTimer_->SetEnabled(true);
    }
}

// ---- multi target ----

TCustomDropMultiTarget::TCustomDropMultiTarget(cls::TComponent* owner) : TCustomDropTarget(owner) {
    DragTypes = dtCopy | dtLink;
    GetDataOnEnter = false;
    dataFormats_ = std::make_unique<TDataFormats>();
}

TCustomDropMultiTarget::~TCustomDropMultiTarget() {
    // Each format leaves the list as it goes.
    while (dataFormats_->Count() > 0) delete dataFormats_->Formats(dataFormats_->Count() - 1);
}

bool TCustomDropMultiTarget::DoGetData() {
    bool result = false;
    for (int i = 0; i < dataFormats_->Count(); ++i) {
        TCustomDataFormat* f = dataFormats_->Formats(i);
        if (!f->HasValidFormats(dataObject_.get())) continue;
        bool accept = true;
        DoAcceptFormat(f, accept);
        if (accept) result = f->GetData(dataObject_.get()) || result;
    }
    return result;
}

void TCustomDropMultiTarget::ClearData() {
    if (AsyncTransfer()) throw EDragDrop("Can't clear data while async data transfer is in progress");
    for (int i = 0; i < dataFormats_->Count(); ++i) dataFormats_->Formats(i)->Clear();
}

bool TCustomDropMultiTarget::HasValidFormats(IDataObject* dataObject) {
    if (!dataObject) return false;
    cls::ComPtr<IEnumFORMATETC> formats;
    if (dataObject->EnumFormatEtc(DATADIR_GET, formats.put()) != S_OK || !formats || formats->Reset() != S_OK)
        return false;
    bool result = false;
    FORMATETC fe{};
    ULONG fetched = 0;
    // An enumerator that never ends must not hang the drag.
    for (int walked = 0; walked < kMaxEnumeratedFormats && formats->Next(1, &fe, &fetched) == S_OK && fetched == 1;
         ++walked) {
        cls::ScopeExit freeDevice([&fe] {
            if (fe.ptd) CoTaskMemFree(fe.ptd);
        });
        for (int i = 0; i < dataFormats_->Count(); ++i) {
            TCustomDataFormat* f = dataFormats_->Formats(i);
            if (f->AcceptFormat(fe) && f->HasValidFormats(dataObject)) {
                result = true;
                bool accept = true;
                DoAcceptFormat(f, accept);
                if (accept) return true;
            }
        }
    }
    return result;
}

void TCustomDropMultiTarget::DoAcceptFormat(TCustomDataFormat* dataFormat, bool& accept) {
    if (OnAcceptFormat) OnAcceptFormat(this, dataFormat, accept);
}

}  // namespace dragdrop
