// The OLE drop target: registers windowed controls as drop sites, picks the
// drop effect, reads the dropped data through its data formats, shows the
// shell's drag image and scrolls the target while the cursor rests at an edge.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <functional>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/ImgList.h"
#include "classlib/Raii.h"
#include "classlib/Thread.h"
#include "classlib/Timer.h"
#include "dragdrop/DragDrop.h"

namespace dragdrop {

// Effect is the set of drop-effect bits the handler may change.
using TDropTargetEvent =
    std::function<void(cls::TComponent* sender, cls::TShiftState shiftState, POINT point, LONG& effect)>;

using TScrollDirections = uint8_t;
constexpr TScrollDirections sdUp = 1, sdDown = 2, sdLeft = 4, sdRight = 8;
using TDropTargetScrollEvent =
    std::function<void(cls::TComponent* sender, POINT point, TScrollDirections& scroll, int& interval)>;
using TAcceptFormatEvent = std::function<void(cls::TComponent* sender, TCustomDataFormat* dataFormat, bool& accept)>;

using TScrollBars = uint8_t;
constexpr TScrollBars sbHorizontal = 1, sbVertical = 2;

struct TMouseSample {
    DWORD Time = 0;
    POINT Pos{};
};

// Timing of auto-scroll, in milliseconds; the speed limit in pixels per second.
constexpr int kScrollFirstDelay = 50;
constexpr int kScrollRepeatInterval = 50;
constexpr DWORD kMouseSampleTime = 10;
constexpr int kScrollSpeedLimit = 20;
// Far more formats than any source offers; an enumerator that never ends
// is cut off here.
constexpr int kMaxEnumeratedFormats = 1024;

// A failing OLE call, with its code.
class EOleError : public EDragDrop {
public:
    explicit EOleError(HRESULT code);
    HRESULT Code;
};

// ---- pure decisions ----

// The effect both sides allow, narrowed by the keys (when ApplyKeys) and
// given the scroll bit when the target scrolls and the point lies outside
// its no-scroll zone.
LONG ValidDropEffect(TDragTypes dragTypes, cls::TShiftState shiftState, LONG allowed, bool applyKeys,
                     bool scrollable, bool insideNoScrollZone);
// A refusal is an effect without any bit but the scroll bit.
inline bool IsRefusal(LONG effect) { return (effect & ~static_cast<LONG>(DROPEFFECT_SCROLL)) == 0; }
// The client rectangle less the scroll bands: twice the scroll bar size at
// the edges the bars scroll towards.
RECT NoScrollZone(const RECT& client, TScrollBars bars, int cyHScroll, int cxVScroll);
// The ways the target can scroll from Point, given its scroll bars' state.
TScrollDirections ScrollDirections(POINT point, const RECT& noScrollZone, TScrollBars bars, const SCROLLINFO& vert,
                                   const SCROLLINFO& horz);
// Squared distance from Point to Rect grown by one pixel at the right and
// bottom; 0 inside.
long long SquaredDistanceToRect(POINT point, const RECT& rect);

// Lets scrolling go on only while the cursor nearly rests: the speed is
// measured against a sample between one and two sample times old.
class TMouseSpeedGate {
public:
    bool Check(DWORD now, POINT point, bool reset);
    const TMouseSample& Sample() const { return sample_; }

private:
    TMouseSample sample_, next_;
};

// ---- components ----

class TCustomDropTarget;

// The target controls of one drop target; not owned.
class TControlList {
public:
    void Add(cls::TWinControl* control) { list_.push_back(control); }
    void Insert(int index, cls::TWinControl* control) { list_.insert(list_.begin() + index, control); }
    int IndexOf(cls::TWinControl* control) const;
    cls::TWinControl* Items(int index) const { return list_.at(index); }
    int Count() const { return static_cast<int>(list_.size()); }
    void Remove(cls::TWinControl* control);

private:
    std::vector<cls::TWinControl*> list_;
};

// A hidden child inside a target control whose window carries the OLE
// registration of its parent: when the class library re-creates the
// parent's window, the registration is made again with the child's.
// It also goes first when the target control is freed, which tells the
// drop target to forget the control.
class TWinControlProxy : public cls::TCustomControl {
public:
    explicit TWinControlProxy(TCustomDropTarget* owner);
    ~TWinControlProxy() override;
    // The drop target removes the proxy itself: nothing to tell it.
    void Detach() { target_ = nullptr; }

protected:
    void CreateParams(cls::TCreateParams& params) override;
    void HandleCreated() override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    TCustomDropTarget* target_;
};

// Without AutoRegister the control carries no proxy window; this child
// without window goes with it instead and tells the drop target.
class TControlWatch : public cls::TGraphicControl {
public:
    explicit TControlWatch(TCustomDropTarget* owner);
    ~TControlWatch() override;
    void Detach() { target_ = nullptr; }

private:
    TCustomDropTarget* target_;
};

// The system clipboard as a source for Assign.
struct TClipboardSource {};
inline constexpr TClipboardSource Clipboard{};

class TCustomDropTarget : public TDragDropComponent, public IDropTarget {
public:
    explicit TCustomDropTarget(cls::TComponent* owner = nullptr);
    ~TCustomDropTarget() override;

    // IUnknown of the component: OLE's references never free it.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        return TInterfacedComponent::QueryInterface(riid, obj);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return TInterfacedComponent::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return TInterfacedComponent::Release(); }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* dataObj, DWORD grfKeyState, POINTL pt,
                                        DWORD* pdwEffect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* dataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;

    void GetCompatibleClipboardFormats(const DataFormatClass& dataFormat, TClipboardFormats& formats) override;

    void Register(cls::TWinControl* target);
    // Null unregisters every control.
    void Unregister(cls::TWinControl* target = nullptr);
    cls::TWinControl* FindNearestTarget(POINT screenPoint) const;
    virtual LONG PasteFromClipboard();
    virtual bool CanPasteFromClipboard();

    // Reads a source as if it were dropped: the clipboard is pasted; an
    // object offering IDataObject is read for a copy. Anything else, or a
    // data object with nothing usable, cannot be assigned (EDragDrop).
    void Assign(TClipboardSource);
    void Assign(IUnknown* source);
    void Assign(cls::TComponent* source);

    // Properties.
    TDragTypes DragTypes = 0;
    bool GetDataOnEnter = false;
    bool Enabled = true;
    bool MultiTarget = false;
    bool AutoRegister = true;
    bool AutoScroll = true;
    // A drop that moved is reported to the source as a copy.
    bool OptimizedMove = false;
    TDropTargetEvent OnEnter, OnDragOver, OnDrop, OnGetDropEffect;
    cls::TNotifyEvent OnLeave;
    TDropTargetScrollEvent OnScroll;
    // Reads on a worker thread when the source supports it.
    bool AllowAsyncTransfer = false;
    cls::TNotifyEvent OnStartAsyncTransfer, OnEndAsyncTransfer;
    // True while a transfer thread runs.
    bool AsyncTransfer() const { return isAsync_; }

    bool ShowImage() const { return showImage_; }
    void SetShowImage(bool value);
    // The control under the cursor of the drag in progress, else null.
    cls::TWinControl* Target() const { return target_; }
    // Registers the control (after unregistering all unless MultiTarget).
    void SetTarget(cls::TWinControl* control);
    IDataObject* DataObject() const { return dataObject_.get(); }
    const TControlList& Targets() const { return targets_; }
    const RECT& GetNoScrollZone() const { return noScrollZone_; }
    // Kept through the following DragOver calls until the next DragEnter.
    void SetNoScrollZone(const RECT& zone) {
        noScrollZone_ = zone;
        customScrollZone_ = true;
    }
    TScrollBars ScrollBars() const { return scrollBars_; }
    bool ScrollTimerRunning() const { return scrollTimer_->Enabled(); }
    int ScrollTimerInterval() const { return static_cast<int>(scrollTimer_->Interval()); }
    // One step of auto-scroll, as the scroll timer runs it.
    void ScrollStep();

protected:
    void* GetInterface(REFIID riid) override;

    virtual void DoEnter(cls::TShiftState shiftState, POINT point, LONG& effect);
    virtual void DoDragOver(cls::TShiftState shiftState, POINT point, LONG& effect);
    virtual void DoDrop(cls::TShiftState shiftState, POINT point, LONG& effect);
    virtual void DoLeave();
    virtual void DoPaste(LONG& effect);
    virtual void DoScroll(POINT point, TScrollDirections& scroll, int& interval);
    virtual bool GetData(LONG effect);
    virtual bool DoGetData() = 0;
    virtual void ClearData() = 0;
    virtual LONG GetValidDropEffect(cls::TShiftState shiftState, POINT point, LONG effect);
    virtual LONG GetPreferredDropEffect();
    virtual bool SetPerformedDropEffect(LONG effect);
    virtual bool SetPasteSucceeded(LONG effect);
    virtual cls::TWinControl* FindTarget(POINT screenPoint);
    virtual bool HasValidFormats(IDataObject* dataObject) = 0;
    virtual void ResetScrollZone();
    // The scroll gate against the current tick count.
    bool CheckMouseSpeed(POINT screenPoint, bool reset);

    cls::ComPtr<IDataObject> dataObject_;

private:
    friend class TWinControlProxy;
    friend class TControlWatch;
    friend class TDropTargetTransferThread;
    // A DragEnter that failed: OLE sends nothing more for this drag.
    void AbandonEnter();
    [[noreturn]] void CannotAssign(const std::string& sourceName) const;
    void EndAsyncTransfer();
    // A registered control is being freed.
    void ControlRemoved(cls::TWinControl* control);
    POINT ToClient(POINT screenPoint) const;
    void ShowDragImage(bool show);

    TControlList targets_;
    cls::TWinControl* target_ = nullptr;
    cls::TImageList* images_ = nullptr;
    HIMAGELIST dragImageHandle_ = nullptr;
    bool showImage_ = true;
    POINT imageHotSpot_{};
    cls::ComPtr<IDropTargetHelper> dropTargetHelper_;
    POINT lastPoint_{};
    TScrollBars scrollBars_ = 0;
    cls::TTimer* scrollTimer_ = nullptr;
    RECT noScrollZone_{};
    bool customScrollZone_ = false;
    TMouseSpeedGate speedGate_;
    bool isAsync_ = false;
};

// Reads the data and fires the drop on its own thread, then hands the end
// of the transfer back to the GUI thread; frees itself.
class TDropTargetTransferThread : public cls::TThread {
public:
    TDropTargetTransferThread(TCustomDropTarget* dropTarget, IDataObject* dataObject, LONG effect);
    ~TDropTargetTransferThread() override;

protected:
    void Execute() override;

private:
    TCustomDropTarget* dropTarget_;
    cls::ComPtr<IDataObject> dataObject_;
    LONG effect_;
    IStream* dataObjectStream_ = nullptr;
    IStream* asyncOperationStream_ = nullptr;
};

// A drop target reading through a list of data formats it owns.
class TCustomDropMultiTarget : public TCustomDropTarget {
public:
    explicit TCustomDropMultiTarget(cls::TComponent* owner = nullptr);
    ~TCustomDropMultiTarget() override;

    TAcceptFormatEvent OnAcceptFormat;

protected:
    bool DoGetData() override;
    void ClearData() override;
    bool HasValidFormats(IDataObject* dataObject) override;
    virtual void DoAcceptFormat(TCustomDataFormat* dataFormat, bool& accept);
};

}  // namespace dragdrop
