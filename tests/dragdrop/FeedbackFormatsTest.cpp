#include <gtest/gtest.h>

#include "TestDataObject.h"
#include "TestFormats.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

const GUID kSomeClsid = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(FeedbackFormats, DropEffectValuesThroughMedia) {
    TestDataObject obj;
    obj.PutBytes(TPreferredDropEffectClipboardFormat::GetClassClipboardFormat(), Dword(DROPEFFECT_COPY) + "tail");
    TPreferredDropEffectClipboardFormat preferred;
    ASSERT_TRUE(preferred.GetData(&obj));
    EXPECT_EQ(preferred.Value(), DROPEFFECT_COPY);  // first 4 bytes of a longer block

    TestDataObject shortBlock;
    shortBlock.PutBytes(TPreferredDropEffectClipboardFormat::GetClassClipboardFormat(), "\x01\x00");
    EXPECT_FALSE(preferred.GetData(&shortBlock));
    EXPECT_EQ(preferred.Value(), 0);
    EXPECT_TRUE(preferred.HasData());  // 0 is a value too

    // The drop target reports a performed move as a stream.
    TestDataObject target;
    TPerformedDropEffectClipboardFormat performed;
    performed.SetValue(DROPEFFECT_MOVE);
    STGMEDIUM m{};
    ASSERT_TRUE(performed.SetData(&target, performed.FormatEtc(), m));
    const STGMEDIUM* stored = target.Stored(TPerformedDropEffectClipboardFormat::Id());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->tymed, static_cast<DWORD>(TYMED_ISTREAM));
    TPerformedDropEffectClipboardFormat readBack;
    ASSERT_TRUE(readBack.GetData(&target));
    EXPECT_EQ(readBack.Value(), DROPEFFECT_MOVE);

    char four[4];
    EXPECT_FALSE(performed.WriteData(four, 8));
    EXPECT_TRUE(performed.WriteData(four, 4));
}

TEST(FeedbackFormats, InShellDragLoopAndTargetClsid) {
    TestDataObject obj;
    obj.PutStream(TInShellDragLoopClipboardFormat::Id(), Dword(7));
    obj.PutBytes(TTargetCLSIDClipboardFormat::Id(),
                 std::string(reinterpret_cast<const char*>(&kSomeClsid), 16));
    TInShellDragLoopClipboardFormat loop;
    ASSERT_TRUE(loop.GetData(&obj));
    EXPECT_TRUE(loop.InShellDragLoop());
    TTargetCLSIDClipboardFormat clsid;
    ASSERT_TRUE(clsid.GetData(&obj));
    EXPECT_TRUE(IsEqualGUID(clsid.CLSID(), kSomeClsid));
    clsid.Clear();
    EXPECT_FALSE(clsid.HasData());

    TestDataObject longer;
    longer.PutBytes(TTargetCLSIDClipboardFormat::Id(), std::string(20, '\x11'));
    EXPECT_FALSE(clsid.GetData(&longer));
    EXPECT_FALSE(clsid.HasData());
}

TEST(FeedbackFormats, DataFormatGathersEveryValue) {
    TestComponent owner;
    TFeedbackDataFormat feedback(&owner);
    int changes = 0;
    feedback.OnChanging = [&](TCustomDataFormat&) { ++changes; };

    TestDataObject obj;
    obj.PutBytes(TPreferredDropEffectClipboardFormat::GetClassClipboardFormat(), Dword(DROPEFFECT_LINK));
    obj.PutBytes(TPasteSucceededClipboardFormat::Id(), Dword(DROPEFFECT_COPY));
    obj.PutBytes(TLogicalPerformedDropEffectClipboardFormat::Id(), Dword(DROPEFFECT_MOVE));
    obj.PutBytes(TInShellDragLoopClipboardFormat::Id(), Dword(0));
    ASSERT_TRUE(feedback.GetData(&obj));
    EXPECT_EQ(feedback.PreferredDropEffect(), DROPEFFECT_LINK);
    EXPECT_EQ(feedback.PasteSucceeded(), DROPEFFECT_COPY);
    EXPECT_EQ(feedback.LogicalPerformedDropEffect(), DROPEFFECT_MOVE);
    EXPECT_FALSE(feedback.InShellDragLoop());
    EXPECT_TRUE(feedback.HasData());
    EXPECT_TRUE(feedback.NeedsData());  // no performed effect came
    EXPECT_EQ(changes, 0);              // reading raises no change notice

    feedback.Clear();
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(feedback.HasData());
    EXPECT_EQ(feedback.LogicalPerformedDropEffect(), DROPEFFECT_MOVE);  // kept by Clear

    feedback.SetPerformedDropEffect(DROPEFFECT_COPY);
    feedback.SetTargetCLSID(kSomeClsid);
    EXPECT_EQ(changes, 3);
    TPerformedDropEffectClipboardFormat performed;
    TTargetCLSIDClipboardFormat clsid;
    EXPECT_TRUE(feedback.AssignTo(performed));
    EXPECT_TRUE(feedback.AssignTo(clsid));
    EXPECT_EQ(performed.Value(), DROPEFFECT_COPY);
    EXPECT_TRUE(IsEqualGUID(clsid.CLSID(), kSomeClsid));
    ClipA unrelated;
    EXPECT_FALSE(feedback.AssignTo(unrelated));
    EXPECT_FALSE(feedback.Assign(unrelated));
}

TEST(OwningLists, StreamListMovesItsStreamsOnAssign) {
    TStreamList a, b;
    int notices = 0;
    a.OnChanging = [&](TStreamList&) { ++notices; };
    STGMEDIUM m = TestDataObject::StreamMedium("x");
    a.AddNamed(cls::ComPtr<IStream>(m.pstm), L"one.txt");
    EXPECT_EQ(notices, 1);
    b.Assign(a);
    EXPECT_EQ(a.Count(), 0);
    ASSERT_EQ(b.Count(), 1);
    EXPECT_EQ(b.Names(0), L"one.txt");
    cls::ComPtr<IStream> taken = b.Delete(0);
    EXPECT_TRUE(taken);
    EXPECT_EQ(b.Count(), 0);

    TestComponent owner;
    TDataStreamDataFormat data(&owner);
    int changes = 0;
    data.OnChanging = [&](TCustomDataFormat&) { ++changes; };
    EXPECT_TRUE(data.NeedsData());
    data.Streams().Add(taken);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(data.HasData());
    data.Clear();
    EXPECT_FALSE(data.HasData());
}

TEST(OwningLists, InterfaceListHoldsOneReferencePerEntry) {
    TestDataObject obj;  // counts its references
    ULONG base = obj.AddRef() - 1;
    obj.Release();
    {
        TNamedInterfaceList list, copy;
        list.AddNamed(&obj, L"first");
        list.Add(&obj);
        EXPECT_EQ(obj.AddRef(), base + 3);
        obj.Release();
        copy.Assign(list);
        copy.Assign(list);  // appends, does not replace
        EXPECT_EQ(copy.Count(), 4);
        EXPECT_EQ(copy.Names(2), L"first");
        copy.Delete(0);
        EXPECT_EQ(obj.AddRef(), base + 6);
        obj.Release();
    }
    EXPECT_EQ(obj.AddRef(), base + 1);
    obj.Release();
}

}  // namespace
