#include <gtest/gtest.h>

#include <ole2.h>

#include "dragdrop/UnicodeStrings.h"
#include "classlib/Raii.h"
#include "tests/support/TempFolder.h"

using namespace dragdrop;

namespace {

std::vector<std::wstring> All(const TUnicodeStrings& s) {
    std::vector<std::wstring> out;
    for (int i = 0; i < s.Count(); ++i) out.push_back(s[i]);
    return out;
}

TUnicodeStringList Of(std::initializer_list<const wchar_t*> items) {
    TUnicodeStringList l;
    for (auto* i : items) l.Add(i);
    return l;
}

using V = std::vector<std::wstring>;

TEST(UnicodeStringList, ExchangeMoveInsertAndIndexOf) {
    auto l = Of({L"a", L"b", L"c"});
    l.Exchange(0, 2);
    EXPECT_EQ(All(l), (V{L"c", L"b", L"a"}));
    l = Of({L"a", L"b", L"c"});
    l.Move(0, 2);
    EXPECT_EQ(All(l), (V{L"b", L"c", L"a"}));
    l.Move(2, 0);
    EXPECT_EQ(All(l), (V{L"a", L"b", L"c"}));
    l.Insert(3, L"d");
    l.Insert(0, L"z");
    EXPECT_EQ(All(l), (V{L"z", L"a", L"b", L"c", L"d"}));
    l.Delete(1);
    EXPECT_EQ(All(l), (V{L"z", L"b", L"c", L"d"}));

    auto x = Of({L"x", L"y", L"x"});
    EXPECT_EQ(x.IndexOf(L"x"), 2);
    EXPECT_EQ(x.IndexOf(L"X"), -1);
}

TEST(UnicodeStringList, BadIndexesRaiseTheListError) {
    auto l = Of({L"a", L"b"});
    struct { std::function<void()> call; const char* message; } cases[] = {
        {[&] { l.Insert(3, L"x"); }, "List index out of bounds (3)"},
        {[&] { l.Get(2); }, "List index out of bounds (2)"},
        {[&] { l.Put(-1, L"x"); }, "List index out of bounds (-1)"},
        {[&] { l.Delete(2); }, "List index out of bounds (2)"},
        {[&] { l.Exchange(5, 9); }, "List index out of bounds (5)"},  // the first index first
        {[&] { l.Move(0, 2); }, "List index out of bounds (2)"},
    };
    for (auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.message;
        } catch (const EListError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_EQ(All(l), (V{L"a", L"b"}));
    EXPECT_THROW(l.SetCapacity(1), std::logic_error);
}

TEST(UnicodeStringList, CapacityGrowsInSteps) {
    TUnicodeStringList l;
    std::vector<int> caps;
    for (int i = 0; i < 13; ++i) {
        l.Add(L"s");
        if (caps.empty() || caps.back() != l.GetCapacity()) caps.push_back(l.GetCapacity());
    }
    EXPECT_EQ(caps, (std::vector<int>{4, 8, 12, 28}));
    for (int i = 13; i < 77; ++i) l.Add(L"s");
    EXPECT_EQ(l.GetCapacity(), 95);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.GetCapacity(), 95);
}

TEST(UnicodeStringList, TextJoinsAndSplits) {
    EXPECT_EQ(Of({L"a", L"b"}).Text(), L"a\r\nb");
    EXPECT_EQ(Of({}).Text(), L"");
    struct { std::wstring text; V lines; } cases[] = {
        {L"a\r\nb\r\n", {L"a", L"b"}},
        {L"a\r\rb", {L"a", L"", L"b"}},
        {L"a\n\nb", {L"a", L"", L"b"}},
        {L"a\n\rb", {L"a", L"", L"b"}},
        {std::wstring(L"a\r\nb\0c\r\nd", 9), {L"a", L"b"}},
        {L"", {}},
        {L"\r\n", {L""}},
    };
    for (auto& c : cases) {
        TUnicodeStringList l;
        l.Add(L"old");
        l.SetText(c.text);
        EXPECT_EQ(All(l), c.lines);
    }
}

TEST(UnicodeStringList, ChangeNoticesFireOncePerUpdate) {
    TUnicodeStringList l;
    int changing = 0, changed = 0;
    l.OnChanging = [&](TUnicodeStrings&) { ++changing; };
    l.OnChange = [&](TUnicodeStrings&) { ++changed; };
    l.Add(L"a");
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);

    cls::TStringList source;
    source.Add(L"x");
    source.Add(L"y");
    source.Add(L"z");
    l.Assign(source);
    EXPECT_EQ(changing, 2);
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(All(l), (V{L"x", L"y", L"z"}));
    l.SetText(L"p\r\nq");
    l.Exchange(0, 1);
    EXPECT_EQ(changed, 4);

    cls::TStringList back;
    back.Add(L"gone");
    l.AssignTo(back);
    EXPECT_EQ(back.Lines(), (V{L"q", L"p"}));

    TUnicodeStringList copy;
    copy.Assign(l);
    EXPECT_EQ(All(copy), (V{L"q", L"p"}));
}

TEST(UnicodeStringList, SavesLittleEndianWithoutMarkOrTerminator) {
    cls::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    auto l = Of({L"ab"});
    ASSERT_TRUE(l.SaveToStream(stream.get()));
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    ASSERT_EQ(st.cbSize.QuadPart, 4u);
    HGLOBAL h = nullptr;
    GetHGlobalFromStream(stream.get(), &h);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(std::vector<unsigned char>(p, p + 4), (std::vector<unsigned char>{0x61, 0, 0x62, 0}));
    GlobalUnlock(h);

    testing_support::TempFolder dir;
    std::wstring file = dir.File(L"names.txt");
    auto two = Of({L"\u0100", L"z"});
    ASSERT_TRUE(two.SaveToFile(file));
    cls::FileHandle f(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f);
    char buf[16];
    DWORD n = 0;
    ReadFile(f.get(), buf, sizeof buf, &n, nullptr);
    EXPECT_EQ(std::string(buf, n), std::string("\x00\x01\r\0\n\0z\0", 8));
    f.reset();
    EXPECT_EQ(dir.Read(L"names.txt").size(), 8u);
}

TEST(UnicodeStringsAdapter, WorksOnTheWrappedList) {
    cls::TStringList inner;
    inner.Add(L"one");
    TUnicodeStringsAdapter a(inner);
    EXPECT_EQ(a.Add(L"two"), 1);
    EXPECT_EQ(inner.Lines(), (V{L"one", L"two"}));
    a.Insert(0, L"zero");
    a.Move(0, 2);
    EXPECT_EQ(inner.Lines(), (V{L"one", L"two", L"zero"}));
    a.Put(1, L"TWO");
    EXPECT_EQ(a.IndexOf(L"TWO"), 1);
    a.Delete(0);
    EXPECT_EQ(a.Text(), L"TWO\r\nzero");
    a.SetText(L"x\ny");
    EXPECT_EQ(inner.Lines(), (V{L"x", L"y"}));
    EXPECT_THROW(a.Get(2), EListError);
    a.Clear();
    EXPECT_EQ(inner.Count(), 0);
}

}  // namespace
