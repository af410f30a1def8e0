#include <gtest/gtest.h>

#include <cstring>

#include "TestDataObject.h"
#include "TestFormats.h"
#include "dragdrop/DragDropFile.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

std::string GlobalBytes(HGLOBAL h) {
    GlobalLockGuard lock(h);
    return std::string(static_cast<const char*>(lock.Data()), GlobalSize(h));
}

// A source whose stream claims more bytes than it holds.
class BoastingStream : public TFixedStreamAdapter {
public:
    BoastingStream(cls::ComPtr<IStream> inner, ULONGLONG claimed)
        : TFixedStreamAdapter(std::move(inner)), claimed_(claimed) {}
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* st, DWORD flag) override {
        HRESULT hr = TFixedStreamAdapter::Stat(st, flag);
        st->cbSize.QuadPart = claimed_;
        return hr;
    }
    ULONG Reads = 0;
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
        ++Reads;
        return TFixedStreamAdapter::Read(pv, cb, read);
    }

private:
    ULONGLONG claimed_;
};

cls::ComPtr<IStream> MemoryStream(const std::string& bytes) {
    STGMEDIUM m = TestDataObject::StreamMedium(bytes);
    return cls::ComPtr<IStream>(m.pstm);
}

TEST(SimpleFormats, AnsiStringThroughEachMedium) {
    const std::string text("hello\0world", 11);
    TestDataObject global, stream, both;
    global.PutBytes(ClipA::Id(), text);
    stream.PutStream(ClipA::Id(), text);
    both.PutStream(ClipA::Id(), "from stream");
    both.PutBytes(ClipA::Id(), "from global");

    ClipA f;
    ASSERT_TRUE(f.GetData(&global));
    EXPECT_EQ(f.Data(), text);
    ASSERT_TRUE(f.GetData(&stream));
    EXPECT_EQ(f.Data(), text);
    f.TrimZeroes = true;
    ASSERT_TRUE(f.GetData(&stream));
    EXPECT_EQ(f.Data(), "hello");

    EXPECT_EQ(f.QueryMediumTypes(&stream), static_cast<DWORD>(TYMED_ISTREAM));
    EXPECT_EQ(f.QueryMediumTypes(&both), static_cast<DWORD>(TYMED_HGLOBAL | TYMED_ISTREAM));
    TestDataObject none;
    EXPECT_FALSE(f.HasValidFormats(&none));
    EXPECT_FALSE(f.GetData(&none));
    EXPECT_FALSE(f.HasData());
}

TEST(SimpleFormats, EmptyMediaReadAsSuccessWithNothingTaken) {
    TestDataObject obj;
    obj.PutBytes(ClipA::Id(), "");
    ClipA f;
    EXPECT_TRUE(f.GetData(&obj));
    EXPECT_FALSE(f.HasData());
    TestDataObject s;
    s.PutStream(ClipA::Id(), "");
    EXPECT_TRUE(f.GetData(&s));
    EXPECT_FALSE(f.HasData());
}

TEST(SimpleFormats, StreamThatClaimsMoreThanItHoldsGivesOnlyWhatArrived) {
    STGMEDIUM m{};
    m.tymed = TYMED_ISTREAM;
    auto* boaster = new BoastingStream(MemoryStream("abc"), 50 * 1024 * 1024);
    m.pstm = boaster;
    TestDataObject obj;
    obj.Put(ClipA::Id(), m);
    ClipA f;
    ASSERT_TRUE(f.GetData(&obj));
    EXPECT_EQ(f.Data(), "abc");

    // A stream that delivers nothing of what it claims is no data.
    STGMEDIUM e{};
    e.tymed = TYMED_ISTREAM;
    e.pstm = new BoastingStream(MemoryStream(""), 16);
    TestDataObject empty;
    empty.Put(ClipA::Id(), e);
    EXPECT_FALSE(f.GetData(&empty));
}

TEST(SimpleFormats, LargeStreamIsReadInBlocksOfOneMebibyte) {
    std::string big(0x280000, 'x');  // 2.5 MiB
    big[0] = 'A';
    big.back() = 'Z';
    STGMEDIUM m{};
    m.tymed = TYMED_ISTREAM;
    auto* counting = new BoastingStream(MemoryStream(big), static_cast<ULONG>(big.size()));
    m.pstm = counting;
    TestDataObject obj;
    obj.Put(ClipA::Id(), m);
    struct BigClip : ClipA {
        int MaxReadSize() const override { return 0x400000; }  // beyond what the library's formats take
    } f;
    ASSERT_TRUE(f.GetData(&obj));
    EXPECT_EQ(f.Data(), big);
    EXPECT_EQ(counting->Reads, 3u);
}

TEST(SimpleFormats, ReadsAreCappedWhateverTheSourceStates) {
    const int cap = kMaxSimpleReadSize;
    const struct { ULONGLONG claimed; size_t real; bool taken; } cases[] = {
        {0x7FFFFFF0, 24, true}, {1ull << 40, 24, true}, {0x7FFFFFF0, cap + 1u, false}, {cap, cap, true}};
    for (const auto& c : cases) {
        STGMEDIUM m{};
        m.tymed = TYMED_ISTREAM;
        m.pstm = new BoastingStream(MemoryStream(std::string(c.real, 'x')), c.claimed);
        TestDataObject obj, block;
        obj.Put(ClipA::Id(), m);
        block.PutBytes(ClipA::Id(), std::string(c.real, 'x'));
        ClipA f;
        EXPECT_EQ(f.GetData(&obj), c.taken) << c.claimed << " " << c.real;
        EXPECT_EQ(f.GetData(&block), c.taken) << c.real;
    }
}

TEST(SimpleFormats, ContentsCopyStopsAtTheRealEndAndTheCap) {
    BoastingStream shortOne(MemoryStream(std::string(100, 'x')), 0x7FFFFFF0);
    BoastingStream overCap(MemoryStream(std::string((1 << 20) + 1, 'x')), 0x7FFFFFF0);
    cls::ComPtr<IStream> copy = CopyToMemoryStream(&shortOne);
    EXPECT_TRUE(copy && StreamBytes(copy.get()) == std::string(100, 'x'));
    EXPECT_FALSE(CopyToMemoryStream(&overCap, 1 << 20)) << "not cut short silently";
    // Linear in the size (it grew quadratically: 64 MB took 30 s).
    std::string big(32 << 20, 'b');
    DWORD start = GetTickCount();
    copy = CopyToMemoryStream(MemoryStream(big).get());
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_TRUE(copy && StreamBytes(copy.get()) == big);
}

TEST(SimpleFormats, StorageIsReadAsItsCompoundFile) {
    cls::ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    cls::ComPtr<IStorage> stg;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0,
                                           stg.put()),
              S_OK);
    cls::ComPtr<IStream> inner;
    ASSERT_EQ(stg->CreateStream(L"Contents", STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0, 0, inner.put()),
              S_OK);
    ULONG n = 0;
    inner->Write("payload", 7, &n);
    inner.reset();
    stg->Commit(STGC_DEFAULT);

    cls::ComPtr<IStream> asStream = StorageToStream(stg.get());
    ASSERT_TRUE(asStream);
    std::string file = StreamBytes(asStream.get());
    ASSERT_GE(file.size(), 512u);
    EXPECT_EQ(file.substr(0, 4), "\xD0\xCF\x11\xE0");
    EXPECT_FALSE(StorageToStream(nullptr));

    // A simple format that also takes storages reads the compound file.
    class StorageClip : public ClipA {
    public:
        StorageClip() { formatEtc_.tymed |= TYMED_ISTORAGE; }
    } f;
    STGMEDIUM m{};
    m.tymed = TYMED_ISTORAGE;
    m.pstg = stg.get();
    stg->AddRef();
    TestDataObject obj;
    obj.Put(ClipA::Id(), m);
    ASSERT_TRUE(f.GetData(&obj));
    // Two copies of one storage may lay out their sectors differently, so
    // only the compound file's shape is compared.
    EXPECT_GE(f.Data().size(), 512u);
    EXPECT_EQ(f.Data().size() % 512, 0u);
    EXPECT_EQ(f.Data().substr(0, 4), "\xD0\xCF\x11\xE0");
    // The plain format does not ask for storages at all.
    ClipA plain;
    EXPECT_FALSE(plain.GetData(&obj));
}

TEST(SimpleFormats, WritingGivesGlobalMemoryOrAStreamByRequest) {
    ClipA f;
    f.SetData("abc");
    STGMEDIUM m{};
    FORMATETC any = f.FormatEtc();
    any.tymed = 0xFFFFFFFF;
    ASSERT_TRUE(f.SetDataToMedium(any, m));
    ASSERT_EQ(m.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(GlobalBytes(m.hGlobal), "abc");
    ReleaseStgMedium(&m);

    ASSERT_TRUE(f.SetDataToMedium(f.FormatEtc(), m));
    ASSERT_EQ(m.tymed, static_cast<DWORD>(TYMED_ISTREAM));
    ULARGE_INTEGER pos{};
    m.pstm->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &pos);
    EXPECT_EQ(pos.QuadPart, 3u);  // left at its end
    ReleaseStgMedium(&m);

    ASSERT_TRUE(f.SetDataToMedium(f.FormatEtc(), m));
    char buf[8] = {};
    ULONG n = 0;
    m.pstm->Read(buf, sizeof buf, &n);  // no seek: read from the start anyway
    EXPECT_EQ(std::string(buf, n), "abc");
    STATSTG st{};
    st.pwcsName = reinterpret_cast<LPOLESTR>(1);
    ASSERT_EQ(m.pstm->Stat(&st, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(st.pwcsName, nullptr);
    EXPECT_EQ(st.cbSize.QuadPart, 3u);
    ReleaseStgMedium(&m);

    FORMATETC wrong = f.FormatEtc();
    wrong.cfFormat = ClipB::Id();
    EXPECT_FALSE(f.SetDataToMedium(wrong, m));
    wrong = f.FormatEtc();
    wrong.tymed = TYMED_ISTORAGE;
    EXPECT_FALSE(f.SetDataToMedium(wrong, m));
    EXPECT_EQ(m.tymed, static_cast<DWORD>(TYMED_NULL));
    f.Clear();
    EXPECT_FALSE(f.SetDataToMedium(f.FormatEtc(), m));  // nothing to write
}

TEST(SimpleFormats, AdapterCopyToTakesTheRestOrEverythingFromTheEnd) {
    TestClip<1> f;
    f.SetData("0123456789");
    STGMEDIUM m{};
    ASSERT_TRUE(f.SetDataToMedium(f.FormatEtc(), m));
    StgMedium owner;
    *owner.put() = m;

    cls::ComPtr<IStream> target = MemoryStream("");
    ULARGE_INTEGER all, read{}, written{};
    all.QuadPart = static_cast<ULONGLONG>(-1);
    ASSERT_EQ(owner->pstm->CopyTo(target.get(), all, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 10u);
    EXPECT_EQ(written.QuadPart, 10u);
    EXPECT_EQ(StreamBytes(target.get()), "0123456789");

    LARGE_INTEGER mid;
    mid.QuadPart = 6;
    owner->pstm->Seek(mid, STREAM_SEEK_SET, nullptr);
    cls::ComPtr<IStream> rest = MemoryStream("");
    ASSERT_EQ(owner->pstm->CopyTo(rest.get(), all, nullptr, nullptr), S_OK);
    EXPECT_EQ(StreamBytes(rest.get()), "6789");
}

TEST(SimpleFormats, StringListReadsUpToTheFirstNulOrTheEnd) {
    class LineFormat : public TCustomStringListClipboardFormat {
    public:
        LineFormat() : TCustomStringListClipboardFormat(ClipC::Id()) {}
        const ClipboardFormatClass& Class() const override { return ClipC::ClassInfo; }
        CLIPFORMAT GetClipboardFormat() const override { return ClipC::Id(); }
    } f;
    EXPECT_TRUE(f.ReadData("one\r\ntwo\0three", 14));
    ASSERT_EQ(f.Lines().Count(), 2);
    EXPECT_EQ(f.Lines()[1], L"two");
    // No terminator: the block's end ends the text, nothing past it is read.
    TestDataObject obj;
    obj.PutBytes(ClipC::Id(), "alpha\nbeta");
    ASSERT_TRUE(f.GetData(&obj));
    ASSERT_EQ(f.Lines().Count(), 2);
    EXPECT_EQ(f.Lines()[1], L"beta");

    EXPECT_EQ(f.GetSize(), 14);  // "alpha\r\nbeta\r\n" and a NUL
    std::string out(14, 'x');
    EXPECT_FALSE(f.WriteData(out.data(), 13));
    ASSERT_TRUE(f.WriteData(out.data(), 14));
    EXPECT_EQ(out, std::string("alpha\r\nbeta\r\n\0", 14));
}

TEST(SimpleFormats, AnsiStringWritesAtMostItsTerminator) {
    ClipA f;
    f.SetData("ab");
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(f.WriteData(out, 4));
    EXPECT_EQ(out[0], 'x');
    ASSERT_TRUE(f.WriteData(out, 3));
    EXPECT_EQ(std::string(out, 3), std::string("ab\0", 3));
}

}  // namespace
