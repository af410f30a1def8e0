// Drop data from sources that lie about counts, sizes and lifetimes: every
// read stays bounded and nothing outlives what it uses.
#include <gtest/gtest.h>

#include <cstring>

#include "TestDataObject.h"
#include "TestFormats.h"
#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropPIDL.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

ULONGLONG StreamSize(IStream* s) {
    STATSTG st{};
    s->Stat(&st, STATFLAG_NONAME);
    return st.cbSize.QuadPart;
}

constexpr ULONGLONG kEndless = ~0ull;

TEST(HostileData, SimpleFormatsReadNoMoreThanTheCap) {
    const ULONGLONG cap = kMaxSimpleReadSize;
    struct Case {
        const char* what;
        ULONGLONG claimed, real;
        bool taken;
    } cases[] = {
        {"claims 2 GB, delivers a link", 0x7FFFFFF0, 24, true},
        {"claims more than 32 bits", 1ull << 40, 24, true},
        {"claims 2 GB, never ends", 0x7FFFFFF0, kEndless, false},
        {"claims little, never ends", 24, kEndless, true},
        {"exactly the cap", cap, cap, true},
        {"one byte over", cap + 1, cap + 1, false},
    };
    for (const Case& c : cases) {
        auto* stream = new LyingStream(c.claimed, c.real);
        stream->AddRef();
        TestDataObject data;
        STGMEDIUM m{};
        m.tymed = TYMED_ISTREAM;
        m.pstm = stream;
        data.Put(ClipA::Id(), m);
        ClipA f;
        EXPECT_EQ(f.GetData(&data), c.taken) << c.what;
        if (c.taken) EXPECT_EQ(f.Data().size(), std::min({c.claimed, c.real, cap})) << c.what;
        // What was read, not what was claimed, bounds the work.
        EXPECT_LE(stream->Delivered, cap + 1) << c.what;
        stream->Release();
    }
    // Memory blocks are held to the same cap.
    TestDataObject over, at;
    over.PutBytes(ClipA::Id(), std::string(cap + 1, 'x'));
    at.PutBytes(ClipA::Id(), std::string(cap, 'x'));
    ClipA f;
    EXPECT_FALSE(f.GetData(&over));
    EXPECT_TRUE(f.GetData(&at));
}

TEST(HostileData, ContentsCopyStopsAtTheRealEndAndTheCap) {
    // A stated size that is only an upper bound, and one without end.
    LyingStream shortOne(0x7FFFFFF0, 100), endless(0x7FFFFFF0, kEndless), atCap(0x7FFFFFF0, 1 << 20);
    cls::ComPtr<IStream> copy = CopyToMemoryStream(&shortOne);
    ASSERT_TRUE(copy);
    EXPECT_EQ(StreamSize(copy.get()), 100u);
    EXPECT_FALSE(CopyToMemoryStream(&endless, 1 << 20)) << "contents beyond the cap are refused";
    EXPECT_LE(endless.Delivered, (1u << 20) + 1);
    copy = CopyToMemoryStream(&atCap, 1 << 20);
    ASSERT_TRUE(copy);
    EXPECT_EQ(StreamSize(copy.get()), 1u << 20);

    // A large honest stream copies in linear time (it grew quadratically).
    LyingStream big(32 << 20, 32 << 20);
    DWORD start = GetTickCount();
    copy = CopyToMemoryStream(&big);
    DWORD took = GetTickCount() - start;
    ASSERT_TRUE(copy);
    EXPECT_EQ(StreamSize(copy.get()), 32u << 20);
    EXPECT_LT(took, 5000u);
    copy.reset();

    // Through a data object: the short stream is taken as it really is.
    TestDataObject data;
    data.Put(FileContentsId(), LyingStream::Medium(0x7FFFFFF0, 100));
    TFileContentsStreamClipboardFormat format;
    ASSERT_TRUE(format.GetData(&data));
    ASSERT_EQ(format.Streams().Count(), 1);
    EXPECT_EQ(StreamSize(format.Streams().Streams(0)), 100u);
}

// One item-ID list of nearly 64 KB named by every offset.
std::string SharedListCida(uint32_t offsets) {
    std::string list = std::string("\xF0\xFD", 2) + std::string(0xFDF0 - 2, 'i') + std::string(2, '\0');
    uint32_t at = 4 + 4 * offsets;
    std::string block = U32(offsets - 1);
    for (uint32_t i = 0; i < offsets; ++i) block += U32(at);
    return block + list;
}

TEST(HostileData, ItemIdListCopiesAreCapped) {
    const size_t listSize = 0xFDF0 + 2;
    const uint32_t fitting = static_cast<uint32_t>(kMaxCIDACopyBytes / listSize);
    for (uint32_t offsets : {fitting, fitting + 1, 4000u}) {
        std::string block = SharedListCida(offsets);
        TPIDLList list;
        bool read = ReadCIDA(block.data(), static_cast<int>(block.size()), list);
        EXPECT_EQ(read, offsets == fitting) << offsets;
        EXPECT_EQ(list.Count(), read ? static_cast<int>(offsets) : 0) << "nothing kept of a refused block";
    }
    // Through a data object, the same.
    TestDataObject data;
    data.PutBytes(TPIDLClipboardFormat::Id(), SharedListCida(4000));
    TPIDLClipboardFormat format;
    EXPECT_FALSE(format.GetData(&data));
    EXPECT_EQ(format.PIDLs().Count(), 0);
}

TEST(HostileData, OnlyAbsoluteWindowsNamesReachTheShellParser) {
    for (const wchar_t* good : {L"C:\\", L"z:\\a\\b.url", L"\\\\server\\share\\x.url"})
        EXPECT_TRUE(IsAbsoluteWindowsPath(good)) << good;
    for (const wchar_t* bad : {L"", L"/", L"/etc/passwd", L"//server/share", L"C:", L"C:x", L"C:/x", L"x.url",
                               L"\\x", L"\\\\", L"\\\\\\x", L"\\\\?\\C:\\x", L"\\\\.\\pipe\\x", L"1:\\x"})
        EXPECT_FALSE(IsAbsoluteWindowsPath(bad)) << bad;
    EXPECT_FALSE(FilenameToPIDL(L"/etc/passwd"));

    // A dropped list naming Unix-style files: refused, not parsed.
    TUnicodeStringList files;
    files.Add(L"/usr/share/x.url");
    files.Add(L"/tmp/y.url");
    TPIDLList list;
    EXPECT_THROW(FilenamesToPIDLs(files, list), EDragDrop);
    EXPECT_EQ(list.Count(), 0);
    std::wstring names = L"/tmp/a.url";
    names.append(2, L'\0');
    std::string drop = U32(20) + U32(0) + U32(0) + U32(0) + U32(1) +
                       std::string(reinterpret_cast<const char*>(names.data()), names.size() * 2);
    TestDataObject data;
    data.PutBytes(CF_HDROP, drop);
    TFileClipboardFormat hdrop;
    ASSERT_TRUE(hdrop.GetData(&data));
    TPIDLDataFormat pidls(nullptr);
    EXPECT_THROW(pidls.Assign(hdrop), EDragDrop);
    EXPECT_EQ(pidls.PIDLs().Count(), 0);
}

TEST(HostileData, LentContentsStayValidWhileTheStreamReads) {
    const std::string shortcut = "[InternetShortcut]\r\nURL=https://www.facebook.com/video.php?v=1\r\n";
    MemoryLender lender;
    TestDataObject data;
    data.Lend(FileContentsId(), shortcut, &lender, 0);
    lender.Block = data.Block(FileContentsId());
    FORMATETC fe{FileContentsId(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    cls::ComPtr<IStream> stream;
    ASSERT_TRUE(TFileContentsStreamOnDemandClipboardFormat::GetStreamFrom(&data, fe, 0, stream));
    EXPECT_FALSE(lender.Freed) << "the medium went while its stream still reads it";
    std::string got(shortcut.size(), '\0');
    ULONG n = 0;
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(stream->Read(got.data(), static_cast<ULONG>(got.size()), &n), S_OK);
    EXPECT_EQ(got.substr(0, n), shortcut);
    stream.reset();
    EXPECT_TRUE(lender.Freed) << "let go once the stream is done";
}

}  // namespace
