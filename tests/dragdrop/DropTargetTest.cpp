#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <memory>
#include <stdexcept>

#include "TestDataObject.h"
#include "classlib/Forms.h"
#include "classlib/Thread.h"
#include "dragdrop/DragDropFormats.h"
#include "dragdrop/DragDropText.h"
#include "dragdrop/DropTarget.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

// ---- pure decisions ----

TEST(DropEffect, KeysAndDragTypesDecide) {
    const LONG copyLink = DROPEFFECT_COPY | DROPEFFECT_LINK;
    const LONG all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    struct Row {
        TDragTypes types;
        cls::TShiftState shift;
        LONG allowed;
        LONG expected;
    } rows[] = {
        {dtLink, 0, copyLink, DROPEFFECT_LINK},
        {dtLink, cls::ssCtrl, copyLink, DROPEFFECT_LINK},
        {dtLink, cls::ssCtrl | cls::ssShift, copyLink, DROPEFFECT_LINK},
        {dtLink, 0, DROPEFFECT_COPY, DROPEFFECT_NONE},
        {dtCopy | dtLink, 0, all, DROPEFFECT_COPY},  // move not wanted: first allowed
        {dtCopy | dtLink, cls::ssCtrl | cls::ssShift, all, DROPEFFECT_LINK},
        {dtCopy | dtMove, 0, all, DROPEFFECT_MOVE},
        {dtCopy | dtMove, cls::ssCtrl, all, DROPEFFECT_COPY},
        {dtMove, cls::ssCtrl, all, DROPEFFECT_MOVE},
        {0, 0, all, DROPEFFECT_NONE},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ValidDropEffect(r.types, r.shift, r.allowed, true, false, false), r.expected)
            << int(r.types) << " " << r.shift << " " << r.allowed;
    // Without the key rule (an OnGetDropEffect handler decides) both sides' effects stay.
    EXPECT_EQ(ValidDropEffect(dtCopy | dtLink, 0, all, false, false, false), copyLink);
}

TEST(DropEffect, ScrollBitOnlyOutsideTheZoneOfAScrollableTarget) {
    const LONG scroll = static_cast<LONG>(DROPEFFECT_SCROLL);
    EXPECT_EQ(ValidDropEffect(dtLink, 0, DROPEFFECT_LINK, true, true, false), DROPEFFECT_LINK | scroll);
    EXPECT_EQ(ValidDropEffect(dtLink, 0, DROPEFFECT_LINK | scroll, true, true, true), DROPEFFECT_LINK);
    EXPECT_EQ(ValidDropEffect(dtLink, 0, DROPEFFECT_LINK, true, false, false), DROPEFFECT_LINK);
    EXPECT_TRUE(IsRefusal(scroll));
    EXPECT_TRUE(IsRefusal(0));
    EXPECT_FALSE(IsRefusal(scroll | DROPEFFECT_COPY));
}

TEST(AutoScroll, NoScrollZoneLosesBandsOnTheScrollingSides) {
    const RECT client{0, 0, 200, 100};
    struct Row {
        TScrollBars bars;
        RECT expected;
    } rows[] = {
        {0, {0, 0, 200, 100}},
        {sbVertical, {0, 34, 200, 66}},
        {sbHorizontal, {40, 0, 160, 100}},
        {sbVertical | sbHorizontal, {40, 34, 160, 66}},
    };
    for (const auto& r : rows) {
        RECT z = NoScrollZone(client, r.bars, 17, 20);
        EXPECT_TRUE(EqualRect(&z, &r.expected)) << int(r.bars) << ": " << z.left << "," << z.top << "," << z.right
                                                << "," << z.bottom;
    }
}

TEST(AutoScroll, DirectionsStopAtTheEndsOfTheRange) {
    const RECT zone{10, 10, 90, 90};
    auto info = [](int pos, int page) {
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 100, static_cast<UINT>(page), pos, 0};
        return si;
    };
    const TScrollBars both = sbVertical | sbHorizontal;
    struct Row {
        POINT p;
        TScrollBars bars;
        SCROLLINFO vert, horz;
        TScrollDirections expected;
    } rows[] = {
        {{50, 5}, both, info(30, 10), info(30, 10), sdUp},
        {{50, 5}, both, info(0, 10), info(30, 10), 0},  // at the top already
        {{50, 95}, both, info(30, 10), info(30, 10), sdDown},
        {{50, 95}, both, info(91, 10), info(30, 10), 0},  // last page shown
        {{50, 95}, both, info(90, 10), info(30, 10), sdDown},
        {{5, 5}, both, info(30, 10), info(30, 10), sdUp | sdLeft},
        {{95, 95}, both, info(30, 10), info(30, 10), sdDown | sdRight},
        {{5, 50}, sbVertical, info(30, 10), info(30, 10), 0},  // no horizontal bar
        {{50, 50}, both, info(30, 10), info(30, 10), 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ScrollDirections(r.p, zone, r.bars, r.vert, r.horz), r.expected) << r.p.x << "," << r.p.y;
}

TEST(AutoScroll, SpeedGateAllowsOnlyANearlyRestingCursor) {
    TMouseSpeedGate gate;
    EXPECT_TRUE(gate.Check(1000, {100, 100}, true));
    EXPECT_TRUE(gate.Check(1005, {150, 100}, false));  // under one sample time: no measure yet
    EXPECT_FALSE(gate.Check(1010, {150, 100}, false)); // 50 px in 10 ms
    // Still measured against the first sample; then the one taken at 1010,
    // now 10 ms old, becomes the reference.
    EXPECT_FALSE(gate.Check(1020, {150, 100}, false));
    EXPECT_EQ(gate.Sample().Time, 1010u);
    EXPECT_TRUE(gate.Check(1030, {150, 100}, false));
    // 1 px over 1000 ms is 1 px/s; 30 px over 1000 ms is too fast.
    TMouseSpeedGate slow;
    slow.Check(0, {0, 0}, true);
    EXPECT_TRUE(slow.Check(1000, {1, 0}, false));
    TMouseSpeedGate fast;
    fast.Check(0, {0, 0}, true);
    EXPECT_FALSE(fast.Check(1000, {0, 30}, false));
    // The tick count wrapping around still measures the small difference.
    TMouseSpeedGate wrap;
    wrap.Check(0xFFFFFFF0u, {0, 0}, true);
    EXPECT_FALSE(wrap.Check(0x10u, {100, 0}, false));
}

TEST(NearestTarget, SquaredDistanceToTheGrownRectangle) {
    const RECT r{0, 0, 10, 10};
    EXPECT_EQ(SquaredDistanceToRect({5, 5}, r), 0);
    EXPECT_EQ(SquaredDistanceToRect({10, 10}, r), 0);  // grown by one at right and bottom
    EXPECT_EQ(SquaredDistanceToRect({14, 5}, r), 9);
    EXPECT_EQ(SquaredDistanceToRect({-3, -4}, r), 25);
    EXPECT_EQ(SquaredDistanceToRect({5, 13}, r), 4);
}

// ---- the component against a data object ----

// The listing test data object that can also fail its reads.
class ListingDataObject : public OfferingDataObject {
public:
    bool FailReads = false;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fe, STGMEDIUM* out) override {
        if (FailReads) return E_FAIL;
        return TestDataObject::GetData(fe, out);
    }
    LONG Performed() const {
        const STGMEDIUM* m = Stored(TPerformedDropEffectClipboardFormat::Id());
        if (!m || m->tymed != TYMED_HGLOBAL) return -1;
        GlobalLockGuard lock(m->hGlobal);
        return *static_cast<const LONG*>(lock.Data());
    }
};

std::string Ansi(const char* s) { return std::string(s) + '\0'; }

class TestDropTarget : public TCustomDropMultiTarget {
public:
    explicit TestDropTarget(cls::TComponent* owner = nullptr) : TCustomDropMultiTarget(owner) {
        Text = new TTextDataFormat(this);
    }
    TTextDataFormat* Text;
};

cls::TFormProps TestForm(int left, int top) {
    return {.WindowClass = L"TDropTargetTestForm", .Left = left, .Top = top, .ClientWidth = 300,
            .ClientHeight = 200, .BorderStyle = cls::bsSingle};
}

// A shown form registered with the program's settings: links only, data
// read on entry.
class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.Show();
        SetWindowPos(form.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        target.DragTypes = dtLink;
        target.GetDataOnEnter = true;
        target.SetTarget(&form);
        data.Offer(CF_TEXT, Ansi("http://example.com/"));
    }
    void TearDown() override {
        target.Unregister();
        form.Hide();
    }
    POINTL Inside() const {
        POINT p = form.ClientToScreen({150, 100});
        return {p.x, p.y};
    }
    HRESULT Enter(DWORD& effect, DWORD keys = MK_LBUTTON, IDataObject* obj = nullptr) {
        return target.DragEnter(obj ? obj : &data, keys, Inside(), &effect);
    }

    cls::TForm form{nullptr, TestForm(100, 100)};
    TestDropTarget target;
    ListingDataObject data;
};

TEST_F(DropTargetTest, LinkDropReadsOnEnterAndDropsWithTheData) {
    std::wstring seenOnEnter;
    POINT enterPoint{-1, -1};
    target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT p, LONG&) {
        seenOnEnter = target.Text->Text();
        enterPoint = p;
    };
    std::wstring dropped;
    LONG dropEffect = -1;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG& e) {
        dropped = target.Text->Text();
        dropEffect = e;
    };
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect, MK_LBUTTON | MK_CONTROL), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    EXPECT_EQ(seenOnEnter, L"http://example.com/");
    EXPECT_EQ(enterPoint.x, 150);
    EXPECT_EQ(enterPoint.y, 100);
    EXPECT_EQ(target.Target(), &form);
    EXPECT_EQ(target.DataObject(), &data);

    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));

    int readsBeforeDrop = data.GetDataCalls;
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    EXPECT_EQ(target.Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(data.GetDataCalls, readsBeforeDrop);  // read once, on entry
    EXPECT_EQ(dropped, L"http://example.com/");
    EXPECT_EQ(dropEffect, DROPEFFECT_LINK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    EXPECT_EQ(data.Performed(), DROPEFFECT_LINK);
    // The drag is over: data cleared, nothing held.
    EXPECT_TRUE(target.Text->Text().empty());
    EXPECT_EQ(target.DataObject(), nullptr);
    EXPECT_EQ(target.Target(), nullptr);
}

TEST_F(DropTargetTest, SourceAllowingNoLinkIsRefused) {
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(Enter(effect), S_OK);
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(target.DataObject(), nullptr);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, Inside(), &effect), DV_E_CLIPFORMAT);
    EXPECT_EQ(effect, 0u);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.Drop(&data, 0, Inside(), &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, 0u);
}

TEST_F(DropTargetTest, DataWithoutUsableFormatIsRefused) {
    ListingDataObject other;
    other.Offer(CF_BITMAP, "x");
    bool entered = false;
    target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { entered = true; };
    DWORD effect = DROPEFFECT_LINK;
    EXPECT_EQ(Enter(effect, MK_LBUTTON, &other), S_OK);
    EXPECT_EQ(effect, 0u);
    EXPECT_FALSE(entered);
    EXPECT_EQ(target.DataObject(), nullptr);
    effect = DROPEFFECT_LINK;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, Inside(), &effect), DV_E_CLIPFORMAT);
    EXPECT_EQ(target.DragLeave(), S_OK);
    EXPECT_EQ(target.Target(), nullptr);
}

TEST_F(DropTargetTest, FailedReadOnEnterAnswersClipFormat) {
    data.FailReads = true;
    bool entered = false;
    target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { entered = true; };
    DWORD effect = DROPEFFECT_LINK;
    EXPECT_EQ(Enter(effect), DV_E_CLIPFORMAT);
    EXPECT_EQ(effect, 0u);
    EXPECT_FALSE(entered);
    EXPECT_EQ(target.DataObject(), nullptr);
}

TEST_F(DropTargetTest, OnEnterRefusesWithZeroOrScrollOnly) {
    for (LONG refusal : {LONG(0), static_cast<LONG>(DROPEFFECT_SCROLL)}) {
        target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT, LONG& e) { e = refusal; };
        DWORD effect = DROPEFFECT_LINK;
        EXPECT_EQ(Enter(effect), S_OK);
        EXPECT_EQ(effect, DWORD(refusal));
        EXPECT_EQ(target.DataObject(), nullptr) << refusal;
        effect = DROPEFFECT_LINK;
        EXPECT_EQ(target.DragOver(MK_LBUTTON | MK_CONTROL, Inside(), &effect), DV_E_CLIPFORMAT);
        EXPECT_EQ(effect, 0u) << "a link cursor here makes OLE go on to Drop";
        EXPECT_EQ(target.DragLeave(), S_OK);
    }
}

TEST_F(DropTargetTest, ExceptionsInHandlersBecomeUnexpected) {
    target.OnEnter = [](cls::TComponent*, cls::TShiftState, POINT, LONG&) { throw std::runtime_error("enter"); };
    DWORD effect = DROPEFFECT_LINK;
    EXPECT_EQ(Enter(effect), E_UNEXPECTED);
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(target.DataObject(), nullptr);
    target.DragLeave();

    target.OnEnter = nullptr;
    target.OnDragOver = [](cls::TComponent*, cls::TShiftState, POINT, LONG&) { throw 42; };
    effect = DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect), S_OK);
    effect = DROPEFFECT_LINK;
    EXPECT_EQ(target.DragOver(MK_LBUTTON, Inside(), &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(target.DataObject(), nullptr);
    target.DragLeave();

    target.OnDragOver = nullptr;
    target.OnDrop = [](cls::TComponent*, cls::TShiftState, POINT, LONG&) { throw std::runtime_error("drop"); };
    effect = DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect), S_OK);
    effect = DROPEFFECT_LINK;
    EXPECT_EQ(target.Drop(&data, MK_LBUTTON, Inside(), &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, 0u);
    EXPECT_TRUE(target.Text->Text().empty());
    EXPECT_EQ(target.DataObject(), nullptr);

    target.OnDrop = nullptr;
    target.OnLeave = [](cls::TComponent*) { throw std::runtime_error("leave"); };
    effect = DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect), S_OK);
    EXPECT_EQ(target.DragLeave(), E_UNEXPECTED);
    EXPECT_EQ(target.Target(), nullptr);
}

TEST_F(DropTargetTest, FailedEnterLeavesNothingBehind) {
    // OLE sends nothing more after a failed DragEnter.
    target.OnEnter = [](cls::TComponent*, cls::TShiftState, POINT, LONG&) { throw std::runtime_error("enter"); };
    DWORD effect = DROPEFFECT_LINK;
    EXPECT_EQ(Enter(effect), E_UNEXPECTED);
    EXPECT_TRUE(target.Text->Text().empty() && !target.Target() && !target.DataObject());
    target.OnEnter = nullptr;
    data.FailReads = true;
    EXPECT_EQ(Enter(effect), DV_E_CLIPFORMAT);
    EXPECT_EQ(target.Target(), nullptr);
    // A format list that never ends is cut off.
    struct EndlessSource : ListingDataObject {
        HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override { return *out = &list, S_OK; }
        EndlessFormats list;
    } endless;
    EXPECT_EQ(Enter(effect = DROPEFFECT_LINK, MK_LBUTTON, &endless), S_OK);
    EXPECT_EQ(endless.list.NextCalls, ULONG(kMaxEnumeratedFormats));
}

TEST_F(DropTargetTest, AssignReadsADataObjectOrTheClipboard) {
    target.Assign(static_cast<IUnknown*>(static_cast<IDataObject*>(&data)));
    EXPECT_TRUE(target.Text->Text() == L"http://example.com/" && !target.DataObject());
    data.FailReads = true;
    EXPECT_THROW(target.Assign(static_cast<IUnknown*>(static_cast<IDataObject*>(&data))), EDragDrop);
    cls::TComponent plain;
    EXPECT_THROW(target.Assign(&plain), EDragDrop);
    ListingDataObject clip;
    clip.Offer(CF_TEXT, Ansi("pasted"));
    ASSERT_EQ(OleSetClipboard(&clip), S_OK);
    cls::ScopeExit empty([] { OleSetClipboard(nullptr); });
    bool pasted = false;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { pasted = true; };
    target.Assign(Clipboard);
    EXPECT_TRUE(pasted);
}

TEST_F(DropTargetTest, ReadOnDropWhenNotReadOnEnter) {
    target.GetDataOnEnter = false;
    std::wstring seenOnEnter = L"unset", dropped;
    target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { seenOnEnter = target.Text->Text(); };
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { dropped = target.Text->Text(); };
    DWORD effect = DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect), S_OK);
    EXPECT_EQ(seenOnEnter, L"");
    EXPECT_EQ(target.Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(dropped, L"http://example.com/");

    // A drop whose read fails ends with effect 0 and no OnDrop.
    dropped.clear();
    ASSERT_EQ(Enter(effect = DROPEFFECT_LINK), S_OK);
    data.FailReads = true;
    EXPECT_EQ(target.Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(dropped, L"");
}

TEST_F(DropTargetTest, OptimizedMoveReportsCopy) {
    target.DragTypes = dtCopy | dtMove;
    target.OptimizedMove = true;
    DWORD effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    ASSERT_EQ(Enter(effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_MOVE));
    EXPECT_EQ(target.Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(data.Performed(), DROPEFFECT_COPY);
}

TEST_F(DropTargetTest, OnGetDropEffectHasTheLastWord) {
    target.OnGetDropEffect = [](cls::TComponent*, cls::TShiftState, POINT, LONG& e) {
        e = e & DROPEFFECT_LINK ? DROPEFFECT_LINK : DROPEFFECT_NONE;
    };
    target.DragTypes = dtCopy | dtLink;
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect), S_OK);  // the key rule would have chosen copy
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    target.DragLeave();
}

TEST_F(DropTargetTest, PointOutsideEveryTargetTurnsImageAndScrollOff) {
    POINT away = form.ClientToScreen({-60, -60});  // on the desktop above the form
    DWORD effect = DROPEFFECT_LINK;
    EXPECT_EQ(target.DragEnter(&data, MK_LBUTTON, {away.x, away.y}, &effect), S_OK);
    EXPECT_EQ(target.Target(), nullptr);
    EXPECT_FALSE(target.ShowImage());
    EXPECT_FALSE(target.AutoScroll);
    target.DragLeave();
    ASSERT_EQ(Enter(effect = DROPEFFECT_LINK), S_OK);
    EXPECT_FALSE(target.ShowImage());  // for good
    target.DragLeave();
}

TEST_F(DropTargetTest, RefusedFormatIsNotRead) {
    target.OnAcceptFormat = [](cls::TComponent*, TCustomDataFormat*, bool& accept) { accept = false; };
    DWORD effect = DROPEFFECT_LINK;
    EXPECT_EQ(Enter(effect), DV_E_CLIPFORMAT);  // valid but refused: the read gets nothing
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(data.GetDataCalls, 0);
}

TEST_F(DropTargetTest, PasteReadsTheClipboardAsADrop) {
    ListingDataObject clip;
    clip.Offer(CF_TEXT, Ansi("pasted"));
    DWORD move = DROPEFFECT_MOVE;
    clip.Offer(TPreferredDropEffectClipboardFormat::GetClassClipboardFormat(),
               std::string(reinterpret_cast<const char*>(&move), 4));
    ASSERT_EQ(OleSetClipboard(&clip), S_OK);
    cls::ScopeExit empty([] { OleSetClipboard(nullptr); });
    EXPECT_TRUE(target.CanPasteFromClipboard());
    std::wstring dropped;
    LONG dropEffect = -1;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState shift, POINT p, LONG& e) {
        dropped = target.Text->Text();
        dropEffect = e;
        EXPECT_EQ(shift, 0u);
        EXPECT_EQ(p.x, 0);
    };
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_MOVE);
    EXPECT_STREQ(dropped.c_str(), L"pasted");  // the clipboard may hand the text over with its NUL
    EXPECT_EQ(dropEffect, DROPEFFECT_MOVE);
    EXPECT_EQ(target.DataObject(), nullptr);

    OleSetClipboard(nullptr);
    ListingDataObject unusable;
    unusable.Offer(CF_BITMAP, "x");
    ASSERT_EQ(OleSetClipboard(&unusable), S_OK);
    EXPECT_FALSE(target.CanPasteFromClipboard());
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_NONE);
}

// A source that offers asynchronous transfer; its pointer may cross threads.
class AsyncDataObject : public ListingDataObject, public IDataObjectAsyncCapability {
public:
    AsyncDataObject() { CoCreateFreeThreadedMarshaler(static_cast<IDataObject*>(this), marshaler_.put()); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override {
        if (IsEqualIID(riid, IID_IDataObjectAsyncCapability)) {
            *obj = static_cast<IDataObjectAsyncCapability*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(riid, IID_IMarshal) && marshaler_) return marshaler_->QueryInterface(riid, obj);
        return ListingDataObject::QueryInterface(riid, obj);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* async) override {
        *async = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override {
        Started = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL* in) override {
        *in = Started;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx*, DWORD effect) override {
        EndResult = result;
        EndEffect = effect;
        return S_OK;
    }
    ULONG Refs() const { return refs_; }
    bool Started = false;
    HRESULT EndResult = E_PENDING;
    DWORD EndEffect = 0;

private:
    cls::ComPtr<IUnknown> marshaler_;
    std::atomic<ULONG> refs_{1};
};

TEST_F(DropTargetTest, AsyncTransferReadsAndDropsOnAWorker) {
    AsyncDataObject source;
    source.Offer(CF_TEXT, Ansi("async"));
    target.GetDataOnEnter = false;
    target.AllowAsyncTransfer = true;
    int starts = 0, ends = 0;
    target.OnStartAsyncTransfer = [&](cls::TComponent*) { ++starts; };
    // At the end neither the target nor its worker may hold the source.
    ULONG refsAtEnd = 0;
    target.OnEndAsyncTransfer = [&](cls::TComponent*) {
        ++ends;
        refsAtEnd = source.Refs();
    };
    std::wstring dropped;
    bool onWorker = false;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) {
        dropped = target.Text->Text();
        onWorker = !cls::TThread::IsGuiThread();
    };
    DWORD effect = DROPEFFECT_LINK;
    ASSERT_EQ(Enter(effect, MK_LBUTTON, &source), S_OK);
    EXPECT_EQ(target.Drop(&source, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    EXPECT_TRUE(source.Started);
    EXPECT_EQ(starts, 1);
    // The end comes back through the GUI thread's messages.
    EXPECT_TRUE(target.AsyncTransfer());
    EXPECT_EQ(ends, 0);
    // A new drag meanwhile leaves the worker's data object alone.
    EXPECT_EQ(Enter(effect = DROPEFFECT_LINK, MK_LBUTTON, &data), DV_E_CLIPFORMAT);
    EXPECT_EQ(effect, 0u);
    for (DWORD start = GetTickCount(); target.AsyncTransfer() && GetTickCount() - start < 5000;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(1);
    }
    EXPECT_FALSE(target.AsyncTransfer());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(refsAtEnd, 1u);
    EXPECT_STREQ(dropped.c_str(), L"async");
    EXPECT_TRUE(onWorker);
    EXPECT_EQ(source.EndResult, S_OK);
    EXPECT_EQ(source.EndEffect, DWORD(DROPEFFECT_LINK));
    EXPECT_TRUE(target.Text->Text().empty());
    EXPECT_EQ(target.DataObject(), nullptr);
    EXPECT_EQ(target.Target(), nullptr);
}

// ---- registration ----

bool IsRegistered(HWND h) {
    // Registering again fails exactly when a drop target is registered.
    TestDropTarget probe;
    HRESULT hr = RegisterDragDrop(h, static_cast<IDropTarget*>(&probe));
    if (SUCCEEDED(hr)) RevokeDragDrop(h);
    return hr == DRAGDROP_E_ALREADYREGISTERED;
}

class Panel : public cls::TCustomControl {
public:
    using cls::TCustomControl::TCustomControl;
};

TEST(DropTargetRegistration, RegisterAndUnregisterOnRealWindows) {
    for (bool autoRegister : {true, false}) {
        cls::TForm form(nullptr, TestForm(50, 50));
        auto* outer = new Panel(&form);
        outer->SetBounds(0, 0, 200, 150);
        outer->SetParent(&form);
        auto* inner = new Panel(&form);
        inner->SetBounds(10, 10, 50, 50);
        inner->SetParent(outer);
        TestDropTarget target;
        target.AutoRegister = autoRegister;
        target.MultiTarget = true;
        target.Register(&form);
        target.Register(inner);
        target.Register(outer);  // goes before its descendant
        target.Register(outer);  // twice: once
        ASSERT_EQ(target.Targets().Count(), 3);
        // Ancestors stand before their descendants.
        EXPECT_EQ(target.Targets().Items(0), &form);
        EXPECT_EQ(target.Targets().Items(1), outer);
        EXPECT_EQ(target.Targets().Items(2), inner);
        for (cls::TWinControl* c : {static_cast<cls::TWinControl*>(&form), static_cast<cls::TWinControl*>(outer),
                                    static_cast<cls::TWinControl*>(inner)})
            EXPECT_TRUE(IsRegistered(c->Handle())) << autoRegister;
        if (autoRegister) {
            // The proxy window is hidden and takes no room.
            EXPECT_EQ(inner->ControlCount(), 1);
            EXPECT_FALSE(IsWindowVisible(static_cast<cls::TWinControl*>(inner->Controls(0))->Handle()));
        }
        target.Unregister(outer);
        EXPECT_FALSE(IsRegistered(outer->Handle()));
        EXPECT_TRUE(IsRegistered(inner->Handle()));
        target.Unregister();
        EXPECT_EQ(target.Targets().Count(), 0);
        EXPECT_FALSE(IsRegistered(form.Handle()));
        EXPECT_FALSE(IsRegistered(inner->Handle()));
        EXPECT_EQ(inner->ControlCount(), 0);
    }
}

TEST(DropTargetRegistration, SingleTargetReplacesAndReadsBackNil) {
    cls::TForm a(nullptr, TestForm(50, 50)), b(nullptr, TestForm(60, 60));
    TestDropTarget target;
    target.SetTarget(&a);
    EXPECT_EQ(target.Target(), nullptr);  // names the control under a drag only
    target.SetTarget(&b);
    ASSERT_EQ(target.Targets().Count(), 1);
    EXPECT_EQ(target.Targets().Items(0), &b);
    EXPECT_FALSE(IsRegistered(a.Handle()));
    EXPECT_TRUE(IsRegistered(b.Handle()));
}

TEST(DropTargetRegistration, DestructionUnregisters) {
    cls::TForm form(nullptr, TestForm(50, 50));
    auto* panel = new Panel(&form);
    panel->SetParent(&form);
    auto target = std::make_unique<TestDropTarget>();
    target->Register(panel);
    ASSERT_TRUE(IsRegistered(panel->Handle()));
    target.reset();
    EXPECT_FALSE(IsRegistered(panel->Handle()));
    EXPECT_EQ(panel->ControlCount(), 0);
}

TEST(DropTargetRegistration, FreedControlIsForgotten) {
    auto* form = new cls::TForm(nullptr, TestForm(50, 50));
    auto* target = new TestDropTarget(form);  // as a window holds its drop target
    target->MultiTarget = true;
    auto* panel = new Panel(form);
    panel->SetParent(form);
    target->Register(form);
    target->Register(panel);
    panel->Handle();  // the proxy registers once the window exists
    delete panel;
    ASSERT_EQ(target->Targets().Count(), 1);
    EXPECT_EQ(target->Targets().Items(0), form);
    delete form;  // the form goes before its drop target lets go of it
}

TEST(DropTargetRegistration, FreedControlIsForgottenWithoutAutoRegister) {
    cls::TForm form(nullptr, TestForm(50, 50));
    TestDropTarget target;
    target.AutoRegister = false;
    auto* panel = new Panel(&form);
    panel->SetParent(&form);
    target.Register(panel);
    delete panel;
    EXPECT_EQ(target.Targets().Count(), 0);
}

TEST(DropTargetRegistration, NearestTargetIsTheOneHoldingThePointElseTheClosest) {
    cls::TForm form(nullptr, TestForm(50, 50));
    auto* left = new Panel(&form);
    left->SetBounds(0, 0, 50, 50);
    left->SetParent(&form);
    auto* right = new Panel(&form);
    right->SetBounds(200, 0, 50, 50);
    right->SetParent(&form);
    TestDropTarget target;
    EXPECT_EQ(target.FindNearestTarget({0, 0}), nullptr);
    target.MultiTarget = true;
    target.AutoRegister = false;
    target.Register(left);
    target.Register(right);
    EXPECT_EQ(target.FindNearestTarget(form.ClientToScreen({220, 20})), right);
    EXPECT_EQ(target.FindNearestTarget(form.ClientToScreen({100, 20})), left);
    EXPECT_EQ(target.FindNearestTarget(form.ClientToScreen({160, 20})), right);
    target.Unregister();
}

// ---- auto-scroll over a real window ----

class ScrollPanel : public cls::TCustomControl {
public:
    using cls::TCustomControl::TCustomControl;
    int LinesDown = 0;

protected:
    void CreateParams(cls::TCreateParams& p) override {
        cls::TCustomControl::CreateParams(p);
        p.Style |= WS_VSCROLL;
    }
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_VSCROLL && LOWORD(wp) == SB_LINEDOWN) ++LinesDown;
        return cls::TCustomControl::WndProc(msg, wp, lp);
    }
};

TEST(DropTargetScroll, ScrollBitInTheBandsOfAScrollingTarget) {
    cls::TForm form(nullptr, TestForm(100, 100));
    auto* panel = new ScrollPanel(&form);
    panel->SetBounds(0, 0, 300, 200);
    panel->SetParent(&form);
    form.Show();
    SetWindowPos(form.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 10, 20, 0};
    SetScrollInfo(panel->Handle(), SB_VERT, &si, FALSE);

    TestDropTarget target;
    target.DragTypes = dtLink;
    target.Register(panel);
    ListingDataObject data;
    data.Offer(CF_TEXT, Ansi("x"));
    int scrolls = 0;
    target.OnScroll = [&](cls::TComponent*, POINT, TScrollDirections& s, int& interval) {
        ++scrolls;
        EXPECT_EQ(s, sdDown);
        interval = 120;
    };
    const int band = 2 * GetSystemMetrics(SM_CYHSCROLL);
    auto at = [&](int y) {
        POINT p = panel->ClientToScreen({50, y});
        return POINTL{p.x, p.y};
    };
    DWORD effect = DROPEFFECT_LINK;
    ASSERT_EQ(target.DragEnter(&data, MK_LBUTTON, at(100), &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    EXPECT_EQ(target.ScrollBars(), sbVertical);
    RECT client{};
    GetClientRect(panel->Handle(), &client);
    EXPECT_EQ(target.GetNoScrollZone().top, band);
    EXPECT_EQ(target.GetNoScrollZone().bottom, client.bottom - band);

    effect = DROPEFFECT_LINK;
    target.DragOver(MK_LBUTTON, at(client.bottom - 2), &effect);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK | DROPEFFECT_SCROLL));
    // Resting in the band: the samples catch up with the cursor.
    for (int i = 0; i < 12; ++i) {
        Sleep(12);
        target.DragOver(MK_LBUTTON, at(client.bottom - 2), &(effect = DROPEFFECT_LINK));
        if (i >= 4 && target.ScrollTimerRunning()) break;
    }
    EXPECT_TRUE(target.ScrollTimerRunning());
    EXPECT_EQ(target.ScrollTimerInterval(), kScrollFirstDelay);

    // A resting cursor: the step scrolls and takes the handler's interval.
    POINT cursor = panel->ClientToScreen({50, client.bottom - 2});
    SetCursorPos(cursor.x, cursor.y);
    Sleep(30);
    POINT got{};
    GetCursorPos(&got);
    EXPECT_EQ(got.y, cursor.y);
    target.ScrollStep();
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(panel->LinesDown, 1);
    EXPECT_TRUE(target.ScrollTimerRunning());
    EXPECT_EQ(target.ScrollTimerInterval(), 120);

    effect = DROPEFFECT_LINK;
    target.DragOver(MK_LBUTTON, at(100), &effect);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    EXPECT_FALSE(target.ScrollTimerRunning());
    EXPECT_EQ(target.DragLeave(), S_OK);
    target.Unregister();
}

}  // namespace
