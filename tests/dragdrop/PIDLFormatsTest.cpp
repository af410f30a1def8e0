#include <gtest/gtest.h>

#include <cstring>

#include "TestDataObject.h"
#include "dragdrop/DragDropPIDL.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

// An ID list of items whose bodies are the given bytes.
std::string Items(std::initializer_list<std::string> bodies, bool terminated = true) {
    std::string out;
    for (auto& b : bodies) {
        uint16_t cb = static_cast<uint16_t>(b.size() + 2);
        out.append(reinterpret_cast<const char*>(&cb), 2);
        out += b;
    }
    if (terminated) out.append(2, '\0');
    return out;
}

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// A CIDA block: count, offsets, then the lists in order.
std::string Cida(const std::vector<std::string>& lists) {
    std::string out = U32(static_cast<uint32_t>(lists.size() - 1));
    uint32_t offset = static_cast<uint32_t>(4 + 4 * lists.size());
    for (auto& l : lists) {
        out += U32(offset);
        offset += static_cast<uint32_t>(l.size());
    }
    for (auto& l : lists) out += l;
    return out;
}

std::wstring Canonical(const std::wstring& path) {
    wchar_t buf[MAX_PATH] = {};
    DWORD n = GetLongPathNameW(path.c_str(), buf, MAX_PATH);
    std::wstring out = n && n < MAX_PATH ? std::wstring(buf) : path;
    CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

// A temporary tree: root\a\one.txt, root\a\two.txt, root\b\three.txt.
class TempTree : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t tmp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, tmp);
        root_ = Canonical(std::wstring(tmp) + L"kvpidl" + std::to_wstring(GetCurrentProcessId()));
        CreateDirectoryW(root_.c_str(), nullptr);
        CreateDirectoryW((root_ + L"\\a").c_str(), nullptr);
        CreateDirectoryW((root_ + L"\\b").c_str(), nullptr);
        for (auto* f : {L"\\a\\one.txt", L"\\a\\two.txt", L"\\b\\three.txt"}) {
            HANDLE h = CreateFileW((root_ + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            CloseHandle(h);
        }
    }
    void TearDown() override {
        for (auto* f : {L"\\a\\one.txt", L"\\a\\two.txt", L"\\b\\three.txt"}) DeleteFileW((root_ + f).c_str());
        RemoveDirectoryW((root_ + L"\\a").c_str());
        RemoveDirectoryW((root_ + L"\\b").c_str());
        RemoveDirectoryW(root_.c_str());
    }
    std::wstring P(const wchar_t* rel) const { return root_ + rel; }
    std::wstring root_;
};

int ItemCount(const std::string& pidl) {
    int n = 0;
    for (size_t pos = 0; pos + 2 <= pidl.size();) {
        uint16_t cb;
        std::memcpy(&cb, pidl.data() + pos, 2);
        if (cb == 0) break;
        pos += cb;
        ++n;
    }
    return n;
}

}  // namespace

TEST(PIDLHelpers, SizesJoinsAndCopies) {
    std::string two = Items({"ab", "cde"});
    EXPECT_EQ(GetPIDLSize(nullptr), 0);
    EXPECT_EQ(GetPIDLSize(reinterpret_cast<LPCITEMIDLIST>(two.data())), 4 + 5 + 2);
    EXPECT_EQ(PIDLToString(reinterpret_cast<LPCITEMIDLIST>(two.data())), two);

    struct Case {
        std::string parent, child, joined;
    } cases[] = {
        {Items({}), Items({"x"}), Items({"x"})},            // the desktop adds nothing
        {"", Items({"x"}), Items({"x"})},                   // nor does nothing at all
        {Items({"p"}), Items({"x"}), Items({"p", "x"})},
        {Items({"p", "q"}), Items({}), Items({"p", "q"})},
    };
    for (auto& c : cases) EXPECT_EQ(JoinPIDLStrings(c.parent, c.child), c.joined);

    // A copy from foreign bytes keeps whole items only and is always terminated.
    std::string cut = Items({"ab", "cde"}, false);
    EXPECT_EQ(PIDLToString(StringToPIDL(cut).get()), two);
    EXPECT_EQ(PIDLToString(StringToPIDL(cut.substr(0, 6)).get()), Items({"ab"}));
    EXPECT_EQ(PIDLToString(StringToPIDL("").get()), Items({}));
    std::string zeroCb = std::string("\x01\x00zz", 4);  // cb below 2 never advances
    EXPECT_EQ(PIDLToString(StringToPIDL(zeroCb).get()), Items({}));

    EXPECT_EQ(BoundedPIDLSize(two.data(), two.size()), two.size());
    EXPECT_EQ(BoundedPIDLSize(two.data(), two.size() - 1), 0u);
    EXPECT_EQ(BoundedPIDLSize(cut.data(), cut.size()), 0u);
}

TEST(PIDLHelpers, ListCopiesAndNotifies) {
    TPIDLList list, copy;
    int notices = 0;
    list.OnChanging = [&](TPIDLList&) { ++notices; };
    list.Add(static_cast<LPCITEMIDLIST>(nullptr));
    list.Add(Items({"p"}));
    list.Add(reinterpret_cast<LPCITEMIDLIST>(Items({"x", "y"}).data()));
    EXPECT_EQ(notices, 2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetString(1), Items({"x", "y"}));
    copy.Assign(list);
    list.Clear();
    EXPECT_EQ(notices, 3);
    EXPECT_EQ(list.Count(), 0);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.GetString(0), Items({"p"}));
}

TEST(PIDLHelpers, ReadsWellFormedBlocks) {
    TPIDLList list;
    std::string block = Cida({Items({"root"}), Items({"one"}), Items({"two", "deep"})});
    ASSERT_TRUE(ReadCIDA(block.data(), static_cast<int>(block.size()), list));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetString(2), Items({"two", "deep"}));

    // A parent without items: read, but not a drop of anything.
    std::string lone = Cida({Items({"root"})});
    EXPECT_FALSE(ReadCIDA(lone.data(), static_cast<int>(lone.size()), list));
    EXPECT_EQ(list.Count(), 1);
    TPIDLsToFilenamesStrings view(list);
    EXPECT_EQ(view.Count(), 0);
    EXPECT_THROW(view.Get(0), EDragDrop);
}

TEST(PIDLHelpers, RefusesHostileBlocks) {
    std::string good = Cida({Items({"root"}), Items({"one"}), Items({"two"})});
    std::string hugeCount = U32(0x40000000) + good.substr(4);
    std::string farOffset = good;
    uint32_t beyond = 0x7FFFFFF0;
    std::memcpy(farOffset.data() + 8, &beyond, 4);
    std::string overlong = good;
    overlong[overlong.size() - 7] = '\x40';  // last item's cb runs past the end
    std::string tiny = good.substr(0, 10);
    struct Case {
        const char* what;
        std::string block;
    } cases[] = {
        {"count beyond the block", hugeCount},
        {"offset beyond the block", farOffset},
        {"item past the end", overlong},
        {"missing terminator", good.substr(0, good.size() - 2)},
        {"cut in the table", tiny},
        {"no count", good.substr(0, 3)},
    };
    for (auto& c : cases) {
        TPIDLList list;
        EXPECT_FALSE(ReadCIDA(c.block.data(), static_cast<int>(c.block.size()), list)) << c.what;
        EXPECT_EQ(list.Count(), 0) << c.what;
    }
    TPIDLList list;
    EXPECT_FALSE(ReadCIDA(nullptr, 100, list));

    // The same through a data object: nothing is taken.
    TestDataObject data;
    data.PutBytes(TPIDLClipboardFormat::Id(), overlong);
    TPIDLClipboardFormat format;
    EXPECT_FALSE(format.GetData(&data));
    EXPECT_FALSE(format.HasData());
}

TEST(PIDLHelpers, CopiesOfOneSharedListAreCapped) {
    // Every offset names one list of nearly 64 KB: the block is small, the copies are not.
    const std::string list = Items({std::string(0xFDEE, 'i')});
    const uint32_t fitting = static_cast<uint32_t>(kMaxCIDACopyBytes / list.size());
    for (uint32_t offsets : {fitting, fitting + 1, 4000u}) {
        std::string block = U32(offsets - 1);
        for (uint32_t i = 0; i < offsets; ++i) block += U32(4 + 4 * offsets);
        block += list;
        TPIDLList read;
        EXPECT_EQ(ReadCIDA(block.data(), static_cast<int>(block.size()), read), offsets == fitting) << offsets;
        EXPECT_EQ(read.Count(), offsets == fitting ? static_cast<int>(offsets) : 0) << "nothing kept when refused";
    }
}

TEST(PIDLHelpers, OnlyAbsoluteWindowsNamesReachTheShellParser) {
    for (const wchar_t* name : {L"C:\\", L"z:\\a\\b.url", L"\\\\server\\share\\x"})
        EXPECT_TRUE(IsAbsoluteWindowsPath(name)) << name;
    for (const wchar_t* name : {L"", L"/etc/passwd", L"//server/share", L"C:x", L"C:/x", L"x.url", L"\\x",
                                L"\\\\\\x", L"\\\\?\\C:\\x", L"\\\\.\\pipe", L"1:\\x"})
        EXPECT_FALSE(IsAbsoluteWindowsPath(name)) << name;
    // A dropped Unix name brought the shell down when parsed.
    TUnicodeStringList files;
    files.Add(L"/tmp/a.url");
    TPIDLList list;
    EXPECT_THROW(FilenamesToPIDLs(files, list), EDragDrop);
    EXPECT_FALSE(FilenameToPIDL(L"/tmp/a.url"));
}

TEST_F(TempTree, FilesOfOneFolder) {
    TUnicodeStringList files;
    files.Add(P(L"\\a\\one.txt"));
    files.Add(P(L"\\a\\two.txt"));
    TPIDLList list;
    ASSERT_TRUE(FilenamesToPIDLs(files, list));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(ItemCount(list.GetString(1)), 1);
    EXPECT_EQ(ItemCount(list.GetString(2)), 1);
    TPIDLsToFilenamesStrings view(list);
    ASSERT_EQ(view.Count(), 2);
    EXPECT_EQ(Canonical(view[0]), Canonical(files[0]));
    EXPECT_EQ(Canonical(view[1]), Canonical(files[1]));
    EXPECT_THROW(view.Get(2), EDragDrop);
    EXPECT_THROW(view.Get(-1), EDragDrop);
}

TEST_F(TempTree, FilesOfTwoFoldersShareTheirParent) {
    TUnicodeStringList files;
    files.Add(P(L"\\a\\one.txt"));
    files.Add(P(L"\\b\\three.txt"));
    std::string common = GetCommonPath(files);
    UniquePIDL root = FilenameToPIDL(root_);
    ASSERT_TRUE(root);
    EXPECT_EQ(common, PIDLToString(root.get()));

    TPIDLList list;
    ASSERT_TRUE(FilenamesToPIDLs(files, list));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(ItemCount(list.GetString(1)), 2);
    EXPECT_EQ(ItemCount(list.GetString(2)), 2);
    TPIDLsToFilenamesStrings view(list);
    EXPECT_EQ(Canonical(view[1]), Canonical(files[1]));
}

TEST_F(TempTree, UnparsableNamesFail) {
    TUnicodeStringList files;
    files.Add(P(L"\\a\\one.txt"));
    files.Add(P(L"\\a\\missing.txt"));
    TPIDLList list;
    EXPECT_FALSE(FilenamesToPIDLs(files, list));
    EXPECT_EQ(list.Count(), 0);
    TUnicodeStringList none;
    EXPECT_FALSE(FilenamesToPIDLs(none, list));
    TUnicodeStringList badFolder;
    badFolder.Add(P(L"\\nowhere\\x.txt"));
    EXPECT_THROW(GetCommonPath(badFolder), EDragDrop);
}

TEST_F(TempTree, BlockThroughADataObject) {
    TPIDLClipboardFormat source;
    TUnicodeStringList files;
    files.Add(P(L"\\a\\two.txt"));
    files.Add(P(L"\\b\\three.txt"));
    source.Filenames().Assign(files);
    ASSERT_EQ(source.PIDLs().Count(), 3);
    int expected = (3 + 1) * 4 + GetPIDLSize(source.PIDLs().Items(0)) + GetPIDLSize(source.PIDLs().Items(1)) +
                   GetPIDLSize(source.PIDLs().Items(2));
    EXPECT_EQ(source.GetSize(), expected);

    for (DWORD tymed : {DWORD(TYMED_HGLOBAL), DWORD(TYMED_ISTREAM)}) {
        FORMATETC fe{TPIDLClipboardFormat::Id(), nullptr, DVASPECT_CONTENT, -1, tymed};
        STGMEDIUM medium{};
        ASSERT_TRUE(source.WriteMedium(fe, medium));
        TestDataObject data;
        data.Put(TPIDLClipboardFormat::Id(), medium);
        TPIDLDataFormat target(nullptr);
        TPIDLClipboardFormat reader;
        ASSERT_TRUE(reader.GetData(&data));
        int changes = 0;
        target.OnChanging = [&](TCustomDataFormat&) { ++changes; };
        ASSERT_TRUE(target.Assign(reader));
        EXPECT_GT(changes, 0);
        ASSERT_EQ(target.Filenames().Count(), 2);
        EXPECT_EQ(Canonical(target.Filenames()[0]), Canonical(files[0]));
        EXPECT_EQ(Canonical(target.Filenames()[1]), Canonical(files[1]));
    }
}
