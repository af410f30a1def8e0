#include <gtest/gtest.h>

#include <cstring>
#include <typeinfo>

#include "TestDataObject.h"
#include "TestFormats.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropFile.h"

#include <shellapi.h>

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string Wide(const std::wstring& s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2); }

std::string DropHeader(bool wide, uint32_t pFiles = 20) { return U32(pFiles) + U32(0) + U32(0) + U32(0) + U32(wide); }

std::vector<std::wstring> All(const TUnicodeStrings& s) {
    std::vector<std::wstring> out;
    for (int i = 0; i < s.Count(); ++i) out.push_back(s.Get(i));
    return out;
}

// A 16-bit descriptor block with the given names and a recognisable fixed part.
std::string WideGroup(const std::vector<std::wstring>& names) {
    std::string out = U32(static_cast<uint32_t>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        std::string d(kWideFileDescriptorSize, '\0');
        for (int b = 0; b < kFileDescriptorFixedSize; ++b) d[b] = static_cast<char>(b + 1 + i);
        std::memcpy(d.data() + kFileDescriptorFixedSize, names[i].data(), names[i].size() * 2);
        out += d;
    }
    return out;
}

std::string AnsiGroup(const std::vector<std::string>& names) {
    std::string out = U32(static_cast<uint32_t>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        std::string d(kAnsiFileDescriptorSize, '\0');
        for (int b = 0; b < kFileDescriptorFixedSize; ++b) d[b] = static_cast<char>(0x40 + b + i);
        std::memcpy(d.data() + kFileDescriptorFixedSize, names[i].data(), names[i].size());
        out += d;
    }
    return out;
}

class FileFormats : public ::testing::Test {
protected:
    // As the library's start-up and shut-down would run them.
    void SetUp() override {
        dragdrop::Initialize();
        RegisterPIDLUnit();
        RegisterFileUnit();
    }
    void TearDown() override {
        UnregisterFileUnit();
        UnregisterPIDLUnit();
        dragdrop::Finalize();
    }
};

}  // namespace

TEST(NameLists, ReadWithinTheBlock) {
    struct Case {
        const char* what;
        std::string block;
        bool wide;
        std::vector<std::wstring> names;
    } cases[] = {
        {"two wide names", Wide(std::wstring(L"abcdefgh\0ijklmnop\0\0", 20)), true, {L"abcdefgh", L"ijklmnop"}},
        {"low byte zero", Wide(std::wstring(L"a\0\u0100b\0\0", 6)), true, {L"a", L"\u0100b"}},
        {"no end of list", Wide(std::wstring(L"ab\0cd", 5)), true, {L"ab", L"cd"}},
        {"odd size", Wide(L"ab") + "c", true, {L"ab"}},
        {"8-bit", std::string("one\0two\0\0", 9), false, {L"one", L"two"}},
        {"8-bit unterminated", "abc", false, {L"abc"}},
        {"empty list", std::string(2, '\0'), true, {}},
    };
    for (auto& c : cases) {
        TUnicodeStringList out;
        out.Add(L"kept");
        bool added = MultiSzToStrings(c.block.data(), static_cast<int>(c.block.size()), c.wide, out);
        EXPECT_EQ(added, !c.names.empty()) << c.what;
        c.names.insert(c.names.begin(), L"kept");
        EXPECT_EQ(All(out), c.names) << c.what;
    }
}

TEST(NameLists, WritingCutsToTheBlock) {
    TUnicodeStringList names;
    names.Add(L"first");
    names.Add(L"second");
    for (bool wide : {true, false}) {
        int size = MultiSzSize(names, wide);
        EXPECT_EQ(size, wide ? (6 + 7 + 1) * 2 : 6 + 7 + 1);
        std::string block(size + 8, '\x55');  // guard bytes after the block
        std::memset(block.data(), 0, size);
        ASSERT_TRUE(StringsToMultiSz(block.data(), size, wide, names));
        EXPECT_EQ(block.substr(size), std::string(8, '\x55'));
        TUnicodeStringList back;
        MultiSzToStrings(block.data(), size, wide, back);
        EXPECT_EQ(All(back), All(names));

        // Too small: names are cut, nothing is written past the end.
        std::string small(9 + 4, '\x55');
        std::memset(small.data(), 0, 9);
        StringsToMultiSz(small.data(), 9, wide, names);
        EXPECT_EQ(small.substr(9), std::string(4, '\x55'));
    }
}

TEST_F(FileFormats, DroppedFilesFromEachMedium) {
    std::string wideList = DropHeader(true) + Wide(std::wstring(L"C:\\dir\\one.txt\0C:\\dir\\two.txt\0C:\\three\0\0", 39));
    std::string ansiList = DropHeader(false) + std::string("C:\\a.txt\0C:\\b.txt\0\0", 18);
    for (bool stream : {false, true}) {
        TestDataObject data;
        if (stream) data.PutStream(CF_HDROP, wideList);
        else data.PutBytes(CF_HDROP, wideList);
        TFileClipboardFormat format;
        ASSERT_TRUE(format.GetData(&data));
        EXPECT_EQ(All(format.Files()),
                  (std::vector<std::wstring>{L"C:\\dir\\one.txt", L"C:\\dir\\two.txt", L"C:\\three"}));
    }
    TestDataObject data;
    data.PutBytes(CF_HDROP, ansiList);
    TFileClipboardFormat format;
    ASSERT_TRUE(format.GetData(&data));
    EXPECT_EQ(All(format.Files()), (std::vector<std::wstring>{L"C:\\a.txt", L"C:\\b.txt"}));
}

TEST_F(FileFormats, HostileDroppedFileBlocks) {
    std::string names = Wide(std::wstring(L"abcdefgh\0", 9));
    struct Case {
        const char* what;
        std::string block;
        bool ok;
    } cases[] = {
        {"header only", DropHeader(true), false},
        {"empty list", DropHeader(true) + std::string(2, '\0'), false},
        {"pFiles past the end", DropHeader(true, 0x7FFFFFF0) + names, false},
        {"pFiles at the last byte", DropHeader(false, 23) + "abcd", true},
        {"no terminator at all", DropHeader(true) + Wide(L"abcdefgh"), true},
    };
    for (auto& c : cases) {
        TFileClipboardFormat format;
        EXPECT_EQ(format.ReadData(c.block.data(), static_cast<int>(c.block.size())), c.ok) << c.what;
    }
    TFileClipboardFormat format;
    std::string cut = DropHeader(false, 23) + "abcd";
    ASSERT_TRUE(format.ReadData(cut.data(), static_cast<int>(cut.size())));
    EXPECT_EQ(All(format.Files()), std::vector<std::wstring>{L"d"});
}

TEST_F(FileFormats, WrittenDropListsReadByTheShell) {
    for (bool wide : {true, false}) {
        TFileClipboardFormat format;
        format.SetWide(wide);
        format.Files().Add(L"C:\\abcde");
        format.Files().Add(L"C:\\hijkl");
        EXPECT_EQ(format.GetSize(), wide ? 58 : 20 + 9 + 9 + 2);
        FORMATETC fe{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        StgMedium medium;
        ASSERT_TRUE(format.WriteMedium(fe, medium.get()));
        auto drop = static_cast<HDROP>(medium->hGlobal);
        ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 2u);
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(drop, 1, name, MAX_PATH);
        EXPECT_STREQ(name, L"C:\\hijkl");

        TestDataObject data;
        data.Put(CF_HDROP, medium.release());
        TFileDataFormat files(nullptr);
        TFileClipboardFormat reader;
        ASSERT_TRUE(reader.GetData(&data));
        ASSERT_TRUE(files.Assign(reader));
        EXPECT_EQ(All(files.Files()), All(format.Files()));
    }
}

TEST_F(FileFormats, SingleNamesAppendOrReplace) {
    TFileDataFormat files(nullptr);
    files.Files().Add(L"C:\\old");
    TUnicodeFilenameClipboardFormat wide;
    wide.SetFilename(L"C:\\wide");
    ASSERT_TRUE(files.Assign(wide));
    EXPECT_EQ(All(files.Files()), (std::vector<std::wstring>{L"C:\\old", L"C:\\wide"}));
    TAnsiFilenameClipboardFormat ansi;
    ansi.SetFilename("C:\\ansi");
    ASSERT_TRUE(files.Assign(ansi));
    EXPECT_EQ(All(files.Files()), std::vector<std::wstring>{L"C:\\ansi"});

    TAnsiFilenameClipboardFormat out;
    EXPECT_TRUE(out.Assign(files));
    EXPECT_EQ(out.Filename(), "C:\\ansi");
    TFileDataFormat empty(nullptr);
    EXPECT_FALSE(out.Assign(empty));
}

TEST_F(FileFormats, RenameMapsRoundTrip) {
    TUnicodeFilenameMapClipboardFormat wide;
    wide.FileMaps().Add(L"new one.txt");
    wide.FileMaps().Add(L"new \u0101.txt");
    TAnsiFilenameMapClipboardFormat ansi;
    ansi.FileMaps().Add(L"plain.txt");
    TestDataObject data;
    for (TCustomSimpleClipboardFormat* f : std::initializer_list<TCustomSimpleClipboardFormat*>{&wide, &ansi}) {
        FORMATETC fe{f->GetClipboardFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM m{};
        ASSERT_TRUE(f->WriteMedium(fe, m));
        data.Put(f->GetClipboardFormat(), m);
    }
    TFileMapDataFormat maps(nullptr);
    TUnicodeFilenameMapClipboardFormat wideIn;
    ASSERT_TRUE(wideIn.GetData(&data));
    ASSERT_TRUE(maps.Assign(wideIn));
    EXPECT_EQ(All(maps.FileMaps()), All(wide.FileMaps()));
    TAnsiFilenameMapClipboardFormat ansiIn;
    ASSERT_TRUE(ansiIn.GetData(&data));
    ASSERT_EQ(ansiIn.FileMaps().Count(), 1);
    EXPECT_EQ(ansiIn.FileMaps()[0], L"plain.txt");
}

TEST_F(FileFormats, DescriptorBlocksAreChecked) {
    TUnicodeFileGroupDescriptorClipboardFormat wide;
    std::string three = WideGroup({L"a", L"b", L"c"});
    ASSERT_EQ(three.size(), 1780u);
    EXPECT_FALSE(wide.ReadData(three.data(), 1779));
    ASSERT_TRUE(wide.ReadData(three.data(), 1780));
    EXPECT_EQ(wide.Count(), 3);
    EXPECT_EQ(wide.Filenames(2), L"c");
    try {
        wide.Filenames(3);
        ADD_FAILURE() << "no error";
    } catch (const EDragDrop& e) {
        EXPECT_STREQ(e.what(), "Filename index out of bounds (3)");
    }
    EXPECT_THROW(wide.SetFilename(-1, L"x"), EDragDrop);

    std::string huge = U32(0xFFFFFFFF) + three.substr(4);
    EXPECT_FALSE(wide.ReadData(huge.data(), static_cast<int>(huge.size())));
    std::string none = U32(0);
    ASSERT_TRUE(wide.ReadData(none.data(), 4));
    EXPECT_FALSE(wide.HasData());

    // A name without NUL fills its field and stops there.
    std::string full = WideGroup({L""});
    for (int i = 0; i < kFileDescriptorNameChars; ++i) full[4 + 72 + 2 * i] = 'z';
    ASSERT_TRUE(wide.ReadData(full.data(), static_cast<int>(full.size())));
    EXPECT_EQ(wide.Filenames(0), std::wstring(260, L'z'));

    for (TFileGroupDescriptorCustomClipboardFormat* f :
         std::initializer_list<TFileGroupDescriptorCustomClipboardFormat*>{
             &wide, std::make_unique<TAnsiFileGroupDescriptorClipboardFormat>().release()}) {
        std::unique_ptr<TFileGroupDescriptorCustomClipboardFormat> owned(f == &wide ? nullptr : f);
        f->SetCount(2);
        EXPECT_EQ(f->GetSize(), f->GetBufferSize(2));
        f->SetFilename(1, std::wstring(300, L'q'));
        EXPECT_EQ(f->Filenames(1), std::wstring(259, L'q'));
        EXPECT_EQ(f->Filenames(0), L"");
    }
}

TEST_F(FileFormats, ContentsPerIndexAsStreams) {
    TestDataObject data;
    data.PutBytes(TUnicodeFileGroupDescriptorClipboardFormat::Id(), WideGroup({L"first.txt", L"second.txt"}));
    data.Put(FileContentsId(), TestDataObject::StreamMedium("one"), 0);
    data.Put(FileContentsId(), TestDataObject::StreamMedium("two two"), 1);
    TFileContentsStreamClipboardFormat format;
    ASSERT_TRUE(format.GetData(&data));
    ASSERT_EQ(format.Streams().Count(), 2);
    EXPECT_EQ(format.Streams().Names(0), L"first.txt");
    EXPECT_EQ(format.Streams().Names(1), L"second.txt");
    EXPECT_EQ(StreamBytes(format.Streams().Streams(0)), "one");
    EXPECT_EQ(StreamBytes(format.Streams().Streams(1)), "two two");

    TDataStreamDataFormat streams(nullptr);
    ASSERT_TRUE(format.AssignTo(streams));
    EXPECT_EQ(streams.Streams().Count(), 2);
    EXPECT_EQ(format.Streams().Count(), 0);

    // The on-request form fetches one index at a time.
    cls::ComPtr<IStream> one;
    FORMATETC fe{FileContentsId(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | TYMED_ISTREAM};
    ASSERT_TRUE(TFileContentsStreamOnDemandClipboardFormat::GetStreamFrom(&data, fe, 1, one));
    EXPECT_EQ(StreamBytes(one.get()), "two two");
}

TEST_F(FileFormats, LentContentsStayValidWhileTheStreamReads) {
    TestDataObject data;
    IUnknown* owner = data.Lend(FileContentsId(), "[InternetShortcut]\r\nURL=x\r\n", 0);
    auto refs = [owner] { return owner->AddRef(), owner->Release(); };
    FORMATETC fe{FileContentsId(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    cls::ComPtr<IStream> stream;
    ASSERT_TRUE(TFileContentsStreamOnDemandClipboardFormat::GetStreamFrom(&data, fe, 0, stream));
    EXPECT_EQ(refs(), 2u) << "the memory's owner is held while the stream reads it";
    EXPECT_EQ(StreamBytes(stream.get()), "[InternetShortcut]\r\nURL=x\r\n");
    stream.reset();
    EXPECT_EQ(refs(), 1u);
}

TEST_F(FileFormats, ContentsWithoutDescriptorAndOddMedia) {
    TestDataObject lone;
    lone.PutStream(FileContentsId(), "only");
    TFileContentsStreamClipboardFormat format;
    ASSERT_TRUE(format.GetData(&lone));
    ASSERT_EQ(format.Streams().Count(), 1);
    EXPECT_EQ(format.Streams().Names(0), L"");

    // A storage becomes a compound-file stream; the storage form skips streams.
    TestDataObject mixed;
    mixed.PutBytes(TUnicodeFileGroupDescriptorClipboardFormat::Id(), WideGroup({L"g", L"s"}));
    STGMEDIUM stg{};
    stg.tymed = TYMED_ISTORAGE;
    cls::ComPtr<ILockBytes> bytes;
    ASSERT_HRESULT_SUCCEEDED(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()));
    ASSERT_HRESULT_SUCCEEDED(
        StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0, &stg.pstg));
    mixed.Put(FileContentsId(), stg, 0);
    mixed.Put(FileContentsId(), TestDataObject::StreamMedium("plain"), 1);
    TFileContentsStreamClipboardFormat streams;
    ASSERT_TRUE(streams.GetData(&mixed));
    ASSERT_EQ(streams.Streams().Count(), 2);
    EXPECT_EQ(streams.Streams().Names(0), L"g");
    EXPECT_EQ(StreamBytes(streams.Streams().Streams(0)).substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    EXPECT_EQ(StreamBytes(streams.Streams().Streams(1)), "plain");
    TFileContentsStorageClipboardFormat storages;
    ASSERT_TRUE(storages.GetData(&mixed));
    ASSERT_EQ(storages.Storages().Count(), 1);
    EXPECT_EQ(storages.Storages().Names(0), L"g");
    FORMATETC fe{FileContentsId(), nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE};
    STGMEDIUM out{};
    ASSERT_TRUE(storages.WriteMedium(fe, out));
    EXPECT_EQ(out.pstg, storages.Storages().Storages(0));
    ReleaseStgMedium(&out);
    fe.lindex = 1;
    EXPECT_FALSE(storages.WriteMedium(fe, out));

    // A descriptor cut short is refused; the contents are still read, unnamed.
    TestDataObject truncated;
    truncated.PutBytes(TUnicodeFileGroupDescriptorClipboardFormat::Id(), WideGroup({L"x"}).substr(0, 300));
    truncated.PutStream(FileContentsId(), "abc");
    TFileContentsStreamClipboardFormat fromBroken;
    ASSERT_TRUE(fromBroken.GetData(&truncated));
    EXPECT_EQ(fromBroken.Streams().Names(0), L"");
}

TEST_F(FileFormats, OnRequestContentsForASource) {
    TFileContentsStreamOnDemandClipboardFormat format;
    FORMATETC fe{FileContentsId(), nullptr, DVASPECT_CONTENT, 1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    EXPECT_FALSE(format.WriteMedium(fe, m));  // no handler
    int asked = -1;
    format.OnGetStream = [&](TFileContentsStreamOnDemandClipboardFormat&, int index, cls::ComPtr<IStream>& s) {
        asked = index;
        STGMEDIUM sm = TestDataObject::StreamMedium("payload");
        s = cls::ComPtr<IStream>(sm.pstm);
    };
    ASSERT_TRUE(format.WriteMedium(fe, m));
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(m.tymed, DWORD(TYMED_HGLOBAL));
    EXPECT_EQ(GlobalSize(m.hGlobal), 7u);
    ReleaseStgMedium(&m);
    fe.tymed = TYMED_ISTREAM;
    fe.lindex = -1;
    ASSERT_TRUE(format.WriteMedium(fe, m));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(StreamBytes(m.pstm), "payload");
    ReleaseStgMedium(&m);

    // Fetching needs the drop target that owns the data format.
    TestComponent owner;
    TVirtualFileStreamDataFormat virt(&owner);
    cls::ComPtr<IStream> none;
    EXPECT_THROW(virt.FileContentsClipboardFormat().GetStream(0, none), std::bad_cast);
}

TEST_F(FileFormats, VirtualFilesConvertBetweenDescriptorForms) {
    TestComponent owner;
    TVirtualFileStreamDataFormat virt(&owner);
    TAnsiFileGroupDescriptorClipboardFormat ansiIn;
    std::string block = AnsiGroup({"report.txt", "caf\xE9.doc"});
    ASSERT_TRUE(ansiIn.ReadData(block.data(), static_cast<int>(block.size())));
    ASSERT_TRUE(virt.Assign(ansiIn));
    ASSERT_EQ(virt.FileNames().Count(), 2);
    EXPECT_EQ(virt.FileNames()[0], L"report.txt");
    EXPECT_FALSE(virt.HasData());  // no contents yet
    EXPECT_TRUE(virt.NeedsData());

    TUnicodeFileGroupDescriptorClipboardFormat wideOut;
    ASSERT_TRUE(virt.AssignTo(wideOut));
    EXPECT_EQ(wideOut.Filenames(1), cls::CodePageToWide("caf\xE9.doc", CP_ACP));
    TAnsiFileGroupDescriptorClipboardFormat ansiOut;
    ASSERT_TRUE(virt.AssignTo(ansiOut));
    std::string back(reinterpret_cast<const char*>(ansiOut.FileGroupDescriptor()), ansiOut.GetSize());
    EXPECT_EQ(back, block);

    TFileContentsStreamOnDemandClipboardFormat contents;
    ASSERT_TRUE(contents.GetData(nullptr));
    ASSERT_TRUE(virt.Assign(contents));
    EXPECT_TRUE(virt.HasData());

    virt.Clear();
    EXPECT_FALSE(virt.AssignTo(wideOut));
    TUnicodeStringList names;
    names.Add(L"x.txt");
    names.Add(std::wstring(300, L'y'));
    virt.SetFileNames(names);
    ASSERT_EQ(virt.FileNames().Count(), 2);
    EXPECT_EQ(virt.FileNames()[1], L"");  // too long for the field
    virt.FileNames().Insert(0, L"not appended");
    EXPECT_EQ(virt.FileNames().Count(), 2);
    virt.FileNames().Delete(0);
    EXPECT_EQ(virt.FileNames().Count(), 1);
}

TEST_F(FileFormats, FilesReadThroughTheMap) {
    TestComponent owner;
    TFileDataFormat files(&owner);
    TestDataObject data;
    data.PutBytes(TUnicodeFilenameClipboardFormat::Id(), Wide(std::wstring(L"C:\\w.txt\0", 9)));
    data.PutBytes(CF_HDROP, DropHeader(true) + Wide(std::wstring(L"C:\\x\0\0", 6)));
    ASSERT_TRUE(files.GetData(&data));
    EXPECT_EQ(All(files.Files()), std::vector<std::wstring>{L"C:\\x"});  // CF_HDROP comes first
    TestDataObject onlyName;
    onlyName.PutBytes(TUnicodeFilenameClipboardFormat::Id(), Wide(std::wstring(L"C:\\w.txt\0", 9)));
    files.Clear();
    ASSERT_TRUE(files.GetData(&onlyName));
    EXPECT_EQ(All(files.Files()), std::vector<std::wstring>{L"C:\\w.txt"});
}
