#include <gtest/gtest.h>

#include "TestDataObject.h"
#include "TestFormats.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

// The library starts once for the whole run, as the program starts it.
class LibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { dragdrop::Initialize(); }
    void TearDown() override { dragdrop::Finalize(); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Each test leaves the map without its test rows.
class FormatMap : public ::testing::Test {
protected:
    void TearDown() override {
        TCustomDataFormat::UnregisterDataFormat(TextData::ClassInfo);
        TCustomDataFormat::UnregisterDataFormat(TextDataChild::ClassInfo);
    }
    // The clipboard-format classes of Data's rows, in map order.
    static std::vector<const ClipboardFormatClass*> RowsOf(const DataFormatClass& data) {
        std::vector<const ClipboardFormatClass*> out;
        for (int i = 0; i < DataFormatMap().Count(); ++i)
            if (DataFormatMap().Rows(i).DataFormat == &data) out.push_back(DataFormatMap().Rows(i).ClipboardFormat);
        return out;
    }
    static const DataFormatMapRow* Row(const DataFormatClass& d, const ClipboardFormatClass& c) {
        for (int i = 0; i < DataFormatMap().Count(); ++i)
            if (DataFormatMap().Rows(i).DataFormat == &d && DataFormatMap().Rows(i).ClipboardFormat == &c)
                return &DataFormatMap().Rows(i);
        return nullptr;
    }
};

constexpr auto kBoth = ccWriteToDataFormat | ccReadFromDataFormat;

TEST_F(FormatMap, RowsStandInAscendingPriorityNewestFirstAmongEquals) {
    TextData::Map(ClipA::ClassInfo, 2, kBoth);
    TextData::Map(ClipB::ClassInfo, 0, kBoth);
    TextData::Map(ClipC::ClassInfo, 1, kBoth);
    EXPECT_EQ(RowsOf(TextData::ClassInfo),
              (std::vector<const ClipboardFormatClass*>{&ClipB::ClassInfo, &ClipC::ClassInfo, &ClipA::ClassInfo}));

    TCustomDataFormat::UnregisterDataFormat(TextData::ClassInfo);
    TextData::Map(ClipA::ClassInfo, 5, kBoth);
    TextData::Map(ClipB::ClassInfo, 5, kBoth);
    EXPECT_EQ(RowsOf(TextData::ClassInfo),
              (std::vector<const ClipboardFormatClass*>{&ClipB::ClassInfo, &ClipA::ClassInfo}));
}

TEST_F(FormatMap, RowsOfOneClassStayTogetherBetweenOtherClasses) {
    TextData::Map(ClipA::ClassInfo, 3, kBoth);
    TextDataChild::Map(ClipA::ClassInfo, 0, kBoth);
    TextData::Map(ClipB::ClassInfo, 1, kBoth);
    auto rows = RowsOf(TextData::ClassInfo);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], &ClipB::ClassInfo);
    // The two TextData rows are adjacent.
    int first = -1;
    for (int i = 0; i < DataFormatMap().Count(); ++i)
        if (DataFormatMap().Rows(i).DataFormat == &TextData::ClassInfo) {
            if (first < 0) first = i;
            else EXPECT_EQ(i, first + 1);
        }
}

TEST_F(FormatMap, RegisteringAPairAgainUpdatesItsOneRow) {
    TextData::Map(ClipA::ClassInfo, 4, ccWriteToDataFormat);
    ASSERT_NE(Row(TextData::ClassInfo, ClipA::ClassInfo), nullptr);
    EXPECT_EQ(Row(TextData::ClassInfo, ClipA::ClassInfo)->Priority, 0);  // drop-side rows keep 0

    TextData::Map(ClipA::ClassInfo, 7, ccReadFromDataFormat);
    EXPECT_EQ(RowsOf(TextData::ClassInfo).size(), 1u);
    EXPECT_EQ(Row(TextData::ClassInfo, ClipA::ClassInfo)->Priority, 7);
    EXPECT_EQ(Row(TextData::ClassInfo, ClipA::ClassInfo)->Capabilities, kBoth);

    TextData::Map(ClipA::ClassInfo, 1, ccWriteToDataFormat);
    EXPECT_EQ(Row(TextData::ClassInfo, ClipA::ClassInfo)->Priority, 7);

    // The default mapping is a drop-side row: priority 0, not the maximum.
    TClipboardFormat::MapToDataFormatDefault(ClipC::ClassInfo, TextData::ClassInfo);
    EXPECT_EQ(Row(TextData::ClassInfo, ClipC::ClassInfo)->Priority, 0);
    EXPECT_EQ(Row(TextData::ClassInfo, ClipC::ClassInfo)->Capabilities, ccWriteToDataFormat);
}

TEST_F(FormatMap, BaseClassesMatchTheirDescendantsRows) {
    TextData::Map(ClipBChild::ClassInfo, 0, kBoth);
    EXPECT_TRUE(DataFormatMap().CanMap(TextData::ClassInfo, ClipB::ClassInfo));
    EXPECT_TRUE(DataFormatMap().CanMap(TextData::ClassInfo, TCustomSimpleClipboardFormat::ClassInfo));
    EXPECT_FALSE(DataFormatMap().CanMap(TextData::ClassInfo, ClipA::ClassInfo));
    EXPECT_FALSE(DataFormatMap().CanMap(TextDataChild::ClassInfo, ClipB::ClassInfo));
    // Adding the base pair updates the descendant's row instead.
    TextData::Map(ClipB::ClassInfo, 3, kBoth);
    ASSERT_EQ(RowsOf(TextData::ClassInfo).size(), 1u);
    EXPECT_EQ(RowsOf(TextData::ClassInfo)[0], &ClipBChild::ClassInfo);

    TextDataChild::Map(ClipA::ClassInfo, 0, kBoth);
    TClipboardFormats formats(nullptr, true);
    DataFormatMap().GetClipboardFormats(TextData::ClassInfo, formats, TDragDropTier::ddtTarget);
    EXPECT_EQ(formats.Count(), 2);
    EXPECT_NE(formats.FindFormat(ClipA::ClassInfo), nullptr);
    DataFormatMap().GetClipboardFormats(TextDataChild::ClassInfo, formats, TDragDropTier::ddtTarget);
    EXPECT_EQ(formats.Count(), 1);

    DataFormatMap().DeleteByClipboardFormat(ClipB::ClassInfo);
    EXPECT_FALSE(DataFormatMap().CanMap(TextData::ClassInfo, ClipBChild::ClassInfo));
}

TEST_F(FormatMap, TiersTakeRowsByCapabilityOrDirection) {
    TextData::Map(WriteOnlyClip::ClassInfo, 0, ccReadFromDataFormat);
    TextData::Map(ClipA::ClassInfo, 1, ccReadFromDataFormat);  // read-capable class
    TClipboardFormats formats(nullptr, true);
    DataFormatMap().GetClipboardFormats(TextData::ClassInfo, formats, TDragDropTier::ddtTarget);
    ASSERT_EQ(formats.Count(), 1);
    EXPECT_EQ(&formats.Formats(0)->Class(), &ClipA::ClassInfo);
    DataFormatMap().GetClipboardFormats(TextData::ClassInfo, formats, TDragDropTier::ddtSource);
    EXPECT_EQ(formats.Count(), 2);

    TCustomDataFormat::UnregisterDataFormat(TextData::ClassInfo);
    TextData::Map(ClipA::ClassInfo, 0, ccWriteToDataFormat);
    TextData::Map(WriteOnlyClip::ClassInfo, 0, ccWriteToDataFormat);
    DataFormatMap().GetClipboardFormats(TextData::ClassInfo, formats, TDragDropTier::ddtSource);
    ASSERT_EQ(formats.Count(), 1);  // only the writing class serves the drag side
    EXPECT_EQ(&formats.Formats(0)->Class(), &WriteOnlyClip::ClassInfo);
}

TEST_F(FormatMap, FeedbackFormatsAreListedNewestFirst) {
    auto rows = RowsOf(TFeedbackDataFormat::ClassInfo);
    EXPECT_EQ(rows, (std::vector<const ClipboardFormatClass*>{
                        &TLogicalPerformedDropEffectClipboardFormat::ClassInfo,
                        &TTargetCLSIDClipboardFormat::ClassInfo, &TInShellDragLoopClipboardFormat::ClassInfo,
                        &TPasteSucceededClipboardFormat::ClassInfo, &TPerformedDropEffectClipboardFormat::ClassInfo,
                        &TPreferredDropEffectClipboardFormat::ClassInfo}));
    EXPECT_GE(DataFormatClasses().IndexOf(TDataStreamDataFormat::ClassInfo), 0);
    EXPECT_GE(DataFormatClasses().IndexOf(TFeedbackDataFormat::ClassInfo), 0);
}

TEST_F(FormatMap, RegistrationIsIgnoredOnceFinalisationBegan) {
    TCustomDataFormat::RegisterDataFormat(TextData::ClassInfo);
    EXPECT_EQ(TDataFormatClasses::Add(TextData::ClassInfo), DataFormatClasses().IndexOf(TextData::ClassInfo));
    int count = DataFormatClasses().Count();
    TDataFormatClasses::Add(TextData::ClassInfo);
    EXPECT_EQ(DataFormatClasses().Count(), count);  // no duplicates

    dragdrop::Finalize();
    EXPECT_TRUE(ShuttingDown());
    TCustomDataFormat::RegisterDataFormat(TextData::ClassInfo);
    TextData::Map(ClipA::ClassInfo, 0, kBoth);
    // The registries were freed; what a late caller finds is empty.
    EXPECT_EQ(DataFormatClasses().IndexOf(TextData::ClassInfo), -1);
    EXPECT_FALSE(DataFormatMap().CanMap(TextData::ClassInfo, ClipA::ClassInfo));
    TCustomDataFormat::UnregisterDataFormat(TFeedbackDataFormat::ClassInfo);  // nothing to undo, no failure

    dragdrop::Initialize();
    EXPECT_FALSE(ShuttingDown());
    EXPECT_TRUE(DataFormatMap().CanMap(TFeedbackDataFormat::ClassInfo, TTargetCLSIDClipboardFormat::ClassInfo));
}

TEST_F(FormatMap, DataFormatReadsItsFormatsInPriorityOrder) {
    TextData::Map(ClipA::ClassInfo, 1, kBoth);
    TextData::Map(ClipB::ClassInfo, 0, kBoth);
    TextData::Map(ClipC::ClassInfo, 2, kBoth);
    TestComponent owner;
    TextData data(&owner);
    EXPECT_EQ(owner.DataFormats()->IndexOf(&data), 0);

    TestDataObject obj;
    obj.PutBytes(ClipA::Id(), "a");
    obj.PutStream(ClipC::Id(), "c");
    ASSERT_TRUE(data.HasValidFormats(&obj));
    ASSERT_TRUE(data.GetData(&obj));
    EXPECT_EQ(data.Got, std::vector<std::string>{"a"});  // one piece was enough

    data.Clear();
    data.Wanted = 3;
    ASSERT_TRUE(data.GetData(&obj));
    EXPECT_EQ(data.Got, (std::vector<std::string>{"a", "c"}));

    TestDataObject empty;
    EXPECT_FALSE(data.HasValidFormats(&empty));
    data.Clear();
    EXPECT_FALSE(data.GetData(&empty));
    EXPECT_TRUE(data.AcceptFormat(FORMATETC{ClipB::Id(), nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM}));
    EXPECT_FALSE(data.AcceptFormat(FORMATETC{ClipB::Id(), nullptr, DVASPECT_THUMBNAIL, -1, TYMED_ISTREAM}));
    EXPECT_FALSE(data.AcceptFormat(FORMATETC{ClipB::Id(), nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE}));
}

TEST_F(FormatMap, DataFormatsLeaveTheirOwnersList) {
    TestComponent owner;
    {
        TextData a(&owner), b(&owner);
        EXPECT_EQ(owner.DataFormats()->Count(), 2);
        EXPECT_EQ(owner.DataFormats()->Add(&a), 0);
    }
    EXPECT_EQ(owner.DataFormats()->Count(), 0);

    TDragDropComponent bare;  // holds no data-format list
    EXPECT_THROW(TextData x(&bare), EDragDropAssertion);
    TextData orphan(nullptr);
    EXPECT_THROW(orphan.CompatibleFormats(), EDragDropAssertion);
}

TEST_F(FormatMap, DataFormatWithoutOwnerTakesItsFormatsFromTheMap) {
    auto consumer = CreateDataFormat(TFeedbackDataFormat::ClassInfo, TDataFormatDirection::dfdConsumer);
    EXPECT_EQ(consumer->CompatibleFormats().Count(), 6);
    EXPECT_EQ(consumer->CompatibleFormats().Formats(5)->DataFormat(), consumer.get());
}

TEST(ClipboardFormatList, FindsByClassOrIdAndNamesTheMissing) {
    TextData data(nullptr);
    TClipboardFormats list(&data, true);
    list.Add(std::make_unique<ClipA>());
    list.Add(std::make_unique<ClipBChild>());
    EXPECT_EQ(list.Formats(0)->DataFormat(), &data);
    EXPECT_EQ(&list.GetFormat(ClipB::ClassInfo), list.Formats(1));
    EXPECT_EQ(&list.GetFormat(ClipA::Id()), list.Formats(0));
    EXPECT_EQ(list.FindFormat(ClipC::ClassInfo), nullptr);
    try {
        list.GetFormat(ClipC::ClassInfo);
        FAIL();
    } catch (const EDragDrop& e) {
        EXPECT_STREQ(e.what(), "Clipboard format TestClip does not exist in TextData's list of copatible formats");
    }
    try {
        list.GetFormat(CLIPFORMAT(7));
        FAIL();
    } catch (const EDragDrop& e) {
        EXPECT_STREQ(e.what(), "Clipboard format 7 does not exist in TextData's list of copatible formats");
    }
    TClipboardFormats shared(nullptr, true);
    shared.Assign(list);
    EXPECT_FALSE(shared.OwnsObjects());
    EXPECT_EQ(shared.Formats(1), list.Formats(1));
}

// A format that forgot to name its id.
class NamelessClip : public TCustomDWORDClipboardFormat {
public:
    NamelessClip() : TCustomDWORDClipboardFormat(0) {}
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static const ClipboardFormatClass ClassInfo;
};
const ClipboardFormatClass NamelessClip::ClassInfo{L"NamelessClip", &TCustomDWORDClipboardFormat::ClassInfo,
                                                   nullptr, ddRead, nullptr};

TEST(ClipboardFormatIds, RegisteredOnceAndNamed) {
    CLIPFORMAT id = TPerformedDropEffectClipboardFormat::Id();
    EXPECT_GE(id, 0xC000);
    EXPECT_EQ(id, TPerformedDropEffectClipboardFormat().FormatEtc().cfFormat);
    EXPECT_EQ(id, RegisterClipboardFormatW(L"Performed DropEffect"));
    EXPECT_EQ(TPerformedDropEffectClipboardFormat().GetClipboardFormatName(), L"Performed DropEffect");
    EXPECT_EQ(TPreferredDropEffectClipboardFormat::GetClassClipboardFormat(),
              RegisterClipboardFormatW(L"Preferred DropEffect"));
    EXPECT_EQ(GetClipboardFormatNameStr(TTargetCLSIDClipboardFormat::Id()), L"TargetCLSID");
    EXPECT_EQ(GetClipboardFormatNameStr(TInShellDragLoopClipboardFormat::Id()), L"InShellDragLoop");
    EXPECT_EQ(GetClipboardFormatNameStr(TLogicalPerformedDropEffectClipboardFormat::Id()),
              L"Logical Performed DropEffect");
    EXPECT_EQ(GetClipboardFormatNameStr(TPasteSucceededClipboardFormat::Id()), L"Paste Succeeded");

    NamelessClip nameless;
    try {
        nameless.GetClipboardFormat();
        FAIL();
    } catch (const EDragDrop& e) {
        EXPECT_STREQ(e.what(), "Internal error: NamelessClip.GetClipboardFormat needs implementation");
    }
    try {
        nameless.SetClipboardFormatName(L"x");
        FAIL();
    } catch (const EDragDrop& e) {
        EXPECT_STREQ(e.what(), "NamelessClip.ClipboardFormat is read-only");
    }
}

TEST(ClipboardFormatIds, StandardNames) {
    struct { UINT id; const wchar_t* name; } cases[] = {
        {1, L"CF_TEXT"},  {13, L"CF_UNICODETEXT"}, {15, L"CF_HDROP"},        {16, L"CF_LOCALE"},
        {17, L"CF_DIBV5"}, {18, L"CF_MAX_XP"},     {128, L"CF_OWNERDISPLAY"}, {142, L"CF_DSPENHMETAFILE"},
        {19, L""},
    };
    for (auto& c : cases) EXPECT_EQ(GetClipboardFormatNameStr(c.id), c.name) << c.id;
}

TEST(DropEffects, FromKeysAndDragTypes) {
    EXPECT_EQ(DragTypesToDropEffect(dtCopy | dtLink), DROPEFFECT_COPY | DROPEFFECT_LINK);
    EXPECT_EQ(DragTypesToDropEffect(0), DROPEFFECT_NONE);
    EXPECT_EQ(KeysToShiftState(MK_SHIFT | MK_CONTROL | MK_LBUTTON), cls::ssShift | cls::ssCtrl | cls::ssLeft);
    EXPECT_EQ(KeysToShiftState(MK_ALT | MK_RBUTTON | MK_MBUTTON | 0x40), cls::ssAlt | cls::ssRight | cls::ssMiddle);

    const LONG all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    struct { cls::TShiftState keys; LONG allowed; bool fallback; LONG want; } cases[] = {
        {0, all, false, DROPEFFECT_MOVE},
        {cls::ssShift, all, false, DROPEFFECT_MOVE},
        {cls::ssCtrl, all, false, DROPEFFECT_COPY},
        {cls::ssCtrl | cls::ssShift, all, false, DROPEFFECT_LINK},
        {cls::ssAlt | cls::ssLeft, all, false, DROPEFFECT_MOVE},  // other keys do not count
        {cls::ssCtrl, DROPEFFECT_MOVE, true, DROPEFFECT_MOVE},
        {cls::ssCtrl, DROPEFFECT_MOVE, false, DROPEFFECT_NONE},
        {0, DROPEFFECT_LINK | DROPEFFECT_COPY, true, DROPEFFECT_COPY},
        {0, DROPEFFECT_LINK, true, DROPEFFECT_LINK},
        {0, DROPEFFECT_NONE, true, DROPEFFECT_NONE},
    };
    for (auto& c : cases)
        EXPECT_EQ(ShiftStateToDropEffect(c.keys, c.allowed, c.fallback), c.want) << c.keys << " " << c.allowed;
}

TEST(WideBuffers, CopyAtMostMaxCharsAndTerminate) {
    wchar_t buf[5];
    wmemset(buf, L'#', 5);
    CopyWideBuffer(buf, L"abcdef", 4);
    EXPECT_EQ(std::wstring(buf), L"abcd");
    CopyStringToWideBuffer(buf, L"", 4);
    EXPECT_EQ(buf[0], L'\0');
    CopyStringToWideBuffer(buf, L"xy", 4);
    EXPECT_EQ(std::wstring(buf), L"xy");
}

TEST(InterfacedComponent, AnswersIUnknownAndIgnoresCounting) {
    TDragDropComponent c;
    IUnknown* u = nullptr;
    ASSERT_EQ(c.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u)), S_OK);
    EXPECT_EQ(u, static_cast<IUnknown*>(&c));
    EXPECT_EQ(u->Release(), static_cast<ULONG>(-1));  // the owner governs, not OLE
    void* p = nullptr;
    EXPECT_EQ(c.QueryInterface(IID_IDropTarget, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
}

}  // namespace
