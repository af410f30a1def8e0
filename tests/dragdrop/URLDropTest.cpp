#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "TestDataObject.h"
#include "classlib/Forms.h"
#include "classlib/Raii.h"
#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropFormats.h"
#include "dragdrop/DragDropInternet.h"

using namespace dragdrop;
using namespace dragdrop_test;

namespace {

// ---- shortcut files ----

TEST(URLShortcut, ParsesTheFirstInternetShortcutSection) {
    using namespace std::literals;
    struct Row {
        std::string_view contents;
        bool found;
        const char* url;
    };
    const Row rows[] = {
        {"[InternetShortcut]\r\nURL=http://a/b\r\n"sv, true, "http://a/b"},
        {"[InternetShortcut]\nURL=http://a/b\n"sv, true, "http://a/b"},
        {"[InternetShortcut]\rURL=http://a/b"sv, true, "http://a/b"},  // last line without break
        {"[internetshortcut]\r\nIDList=\r\nurl=ftp://x/ y \r\n"sv, true, "ftp://x/ y "},
        {"[Other]\r\nURL=http://wrong/\r\n[InternetShortcut]\r\nURL=http://right/\r\n"sv, true, "http://right/"},
        {"[InternetShortcut]\r\n[Other]\r\nURL=http://a/\r\n"sv, false, ""},
        {"[InternetShortcut]\r\n"sv, false, ""},
        {"[InternetShortcut]\r\nIconIndex=0\r\n"sv, false, ""},
        {"URL=http://a/\r\n[InternetShortcut]\r\n"sv, false, ""},
        {"URL=http://a/\r\n"sv, false, ""},                            // no section
        {" [InternetShortcut]\r\nURL=http://a/\r\n"sv, false, ""},      // blanks make another line
        {""sv, false, ""},
        {"\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://bom/\r\n"sv, true, "http://bom/"},
        {"[InternetShortcut]\r\nURL=http://cut/\0rest\r\n"sv, true, "http://cut/"},
        {"[InternetShortcut]\0\r\nURL=http://after-nul/\r\n"sv, false, ""},
    };
    for (const Row& r : rows) {
        std::string url;
        EXPECT_EQ(ParseURLShortcut(r.contents, url), r.found) << r.contents;
        if (r.found) {
            EXPECT_EQ(url, r.url) << r.contents;
        }
    }
}

TEST(URLShortcut, Utf16FileWithByteOrderMark) {
    std::wstring text = L"\xFEFF[InternetShortcut]\r\nURL=http://wide/\r\n";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    std::string url;
    ASSERT_TRUE(ReadURLShortcutString(bytes, url));
    EXPECT_EQ(url, "http://wide/");
}

class TempFile {
public:
    TempFile(const std::wstring& name, const std::string& contents) {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        path = std::wstring(dir) + name;
        cls::FileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD n = 0;
        WriteFile(f.get(), contents.data(), static_cast<DWORD>(contents.size()), &n, nullptr);
    }
    ~TempFile() { DeleteFileW(path.c_str()); }
    std::wstring path;
};

TEST(URLShortcut, FileIsReadOnlyUpToTheCap) {
    std::string url;
    TempFile small(L"urldrop small.url", "[InternetShortcut]\r\nURL=http://file/\r\n");
    ASSERT_TRUE(ReadURLShortcutFile(small.path, url));
    EXPECT_EQ(url, "http://file/");

    // The link lies beyond what is read from a file, though a string of
    // the same bytes gives it.
    std::string padded = "[InternetShortcut]\r\n" + std::string(kMaxURLShortcutSize, 'x') + "\r\nURL=http://far/\r\n";
    TempFile big(L"urldrop big.url", padded);
    url.clear();
    EXPECT_FALSE(ReadURLShortcutFile(big.path, url));
    EXPECT_TRUE(ReadURLShortcutString(padded, url));

    EXPECT_THROW(ReadURLShortcutFile(small.path + L".missing", url), EDragDrop);
}

TEST(URLShortcut, FileNames) {
    struct Row {
        std::string name, expected;
    };
    const Row rows[] = {
        {"http://example/path/page.html", "example.url"},
        {"MAILTO:someone@host", "someone@host.url"},
        {"ftp://files", "files.url"},
        {"file:C:\\x", "C x.url"},
        {"a:b", "a b.url"},
        {"what?", "what.url"},
        {"a<>|b", "a b.url"},
        {"**name", " name.url"},
        {"", "untitled.url"},
        {"http://", "untitled.url"},
        {"???", "untitled.url"},
        {"https://host/x", "https.url"},  // only the listed prefixes are taken off
        {std::string(200, 'n'), std::string(120, 'n') + ".url"},
        {std::string(119, 'n') + "?abc", std::string(119, 'n') + ".url"},
    };
    for (const Row& r : rows) EXPECT_EQ(MakeURLShortcutFileName(r.name), r.expected) << r.name;
}

TEST(URLShortcut, Extension) {
    EXPECT_EQ(FileExtension(L"C:\\a.b\\c.URL"), L".URL");
    EXPECT_EQ(FileExtension(L"C:\\a.b\\c"), L"");
    EXPECT_EQ(FileExtension(L"x.tar.url"), L".url");
    EXPECT_EQ(FileExtension(L"c:.url"), L".url");
}

// ---- the data format reading a data object ----

std::string Ansi(const std::string& s) { return s + '\0'; }

std::string WideDescriptor(const std::wstring& name) {
    FILEGROUPDESCRIPTORW g{};
    g.cItems = 1;
    wcsncpy(g.fgd[0].cFileName, name.c_str(), MAX_PATH - 1);
    return std::string(reinterpret_cast<const char*>(&g), sizeof g);
}

std::string AnsiDescriptor(const std::string& name) {
    FILEGROUPDESCRIPTORA g{};
    g.cItems = 1;
    strncpy(g.fgd[0].cFileName, name.c_str(), MAX_PATH - 1);
    return std::string(reinterpret_cast<const char*>(&g), sizeof g);
}

std::string DropFiles(const std::wstring& file) {
    DROPFILES df{};
    df.pFiles = sizeof df;
    df.fWide = TRUE;
    std::string block(reinterpret_cast<const char*>(&df), sizeof df);
    std::wstring names = file + L'\0' + L'\0';
    block.append(reinterpret_cast<const char*>(names.data()), names.size() * 2);
    return block;
}

const char kShortcut[] = "[InternetShortcut]\r\nURL=http://contents/\r\n";

class URLFormatRead : public ::testing::Test {
protected:
    void SetUp() override { dragdrop::Initialize(); }
    void TearDown() override { dragdrop::Finalize(); }
    TURLDataFormat& Format() { return *static_cast<TURLDataFormat*>(target.DataFormats()->Formats(0)); }
    void Contents(const std::string& bytes) { data.Put(FileContentsId(), TestDataObject::HGlobalMedium(bytes), 0); }

    TDropURLTarget target;
    TestDataObject data;
};

TEST_F(URLFormatRead, TargetHoldsOneURLFormatWithTheFormatsInPriorityOrder) {
    ASSERT_EQ(target.DataFormats()->Count(), 1);
    EXPECT_EQ(target.DragTypes, dtCopy | dtLink);
    EXPECT_TRUE(target.GetDataOnEnter);
    TClipboardFormats& formats = Format().CompatibleFormats();
    ASSERT_EQ(formats.Count(), 6);
    const ClipboardFormatClass* expected[] = {
        &TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo, &TAnsiFileGroupDescriptorClipboardFormat::ClassInfo,
        &TFileContentsClipboardFormat::ClassInfo,               &TAnsiURLClipboardFormat::ClassInfo,
        &TAnsiTextClipboardFormat::ClassInfo,                   &TFileClipboardFormat::ClassInfo};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(&formats.Formats(i)->Class(), expected[i]) << i;
    EXPECT_EQ(TAnsiURLClipboardFormat().GetClipboardFormat(), RegisterClipboardFormatW(L"UniformResourceLocator"));
}

TEST_F(URLFormatRead, BrowserShortcutGivesTitleAndLinkAndReadsNoFurther) {
    data.PutBytes(TUnicodeFileGroupDescriptorClipboardFormat::Id(), WideDescriptor(L"Some Page.URL"));
    Contents(kShortcut);
    data.PutBytes(TAnsiURLClipboardFormat::Id(), Ansi("http://url-format/"));
    data.PutBytes(CF_TEXT, Ansi("http://text/"));
    ASSERT_TRUE(Format().GetData(&data));
    EXPECT_EQ(Format().Title(), L"Some Page");
    EXPECT_EQ(Format().URL(), "http://contents/");
    EXPECT_FALSE(Format().NeedsData());
}

TEST_F(URLFormatRead, AnsiDescriptorWithContents) {
    data.PutBytes(TAnsiFileGroupDescriptorClipboardFormat::Id(), AnsiDescriptor("Page.uRl"));
    Contents(kShortcut);
    ASSERT_TRUE(Format().GetData(&data));
    EXPECT_EQ(Format().Title(), L"Page");
    EXPECT_EQ(Format().URL(), "http://contents/");
}

TEST_F(URLFormatRead, ContentsWithoutADescriptorOrOfAnotherFileGiveNothing) {
    Contents(kShortcut);
    EXPECT_FALSE(Format().GetData(&data));
    EXPECT_FALSE(Format().HasData());

    TestDataObject other;
    other.PutBytes(TUnicodeFileGroupDescriptorClipboardFormat::Id(), WideDescriptor(L"notes.txt"));
    other.Put(FileContentsId(), TestDataObject::HGlobalMedium(kShortcut), 0);
    Format().Clear();
    EXPECT_FALSE(Format().GetData(&other));
    EXPECT_TRUE(Format().Title().empty());
}

TEST_F(URLFormatRead, URLFormatGoesBeforeText) {
    data.PutBytes(CF_TEXT, Ansi("http://text/"));
    data.PutBytes(TAnsiURLClipboardFormat::Id(), Ansi("http://url-format/"));
    ASSERT_TRUE(Format().GetData(&data));
    EXPECT_EQ(Format().URL(), "http://url-format/");
    EXPECT_TRUE(Format().Title().empty());
    EXPECT_TRUE(Format().NeedsData());  // still wants a title
}

TEST_F(URLFormatRead, TextNeedsSchemeSeparatorAfterItsStart) {
    struct Row {
        const char* text;
        const char* url;
    };
    const Row rows[] = {{"see http://x/ now", "see http://x/ now"}, {"a://", "a://"}, {"://x", ""},
                        {"no link here", ""}, {"", ""}};
    for (const Row& r : rows) {
        TestDataObject text;
        text.PutBytes(CF_TEXT, Ansi(r.text));
        Format().Clear();
        EXPECT_EQ(Format().GetData(&text), *r.url != 0) << r.text;
        EXPECT_EQ(Format().URL(), r.url) << r.text;
    }
}

TEST_F(URLFormatRead, DroppedShortcutFileGivesLinkAndTitle) {
    TempFile file(L"urldrop Dropped.Url", "[InternetShortcut]\nURL=http://dropped/\n");
    data.PutBytes(CF_HDROP, DropFiles(file.path));
    ASSERT_TRUE(Format().GetData(&data));
    EXPECT_EQ(Format().URL(), "http://dropped/");
    EXPECT_EQ(Format().Title(), L"urldrop Dropped");

    TempFile notShortcut(L"urldrop plain.txt", "[InternetShortcut]\nURL=http://no/\n");
    TestDataObject other;
    other.PutBytes(CF_HDROP, DropFiles(notShortcut.path));
    Format().Clear();
    EXPECT_FALSE(Format().GetData(&other));
}

TEST_F(URLFormatRead, WritesShortcutFormats) {
    TURLDataFormat& f = Format();
    f.SetURL("http://a");
    TAnsiFileGroupDescriptorClipboardFormat ansi;
    ASSERT_TRUE(f.AssignTo(ansi));
    ASSERT_EQ(ansi.Count(), 1);
    EXPECT_EQ(ansi.Filenames(0), L"a.url");
    EXPECT_EQ(ansi.FileGroupDescriptor()->fgd[0].nFileSizeLow, 34u);
    EXPECT_EQ(ansi.FileGroupDescriptor()->fgd[0].dwFlags, DWORD(FD_FILESIZE | FD_PROGRESSUI));

    f.SetTitle(L"My: Title?");
    TUnicodeFileGroupDescriptorClipboardFormat wide;
    ASSERT_TRUE(f.AssignTo(wide));
    EXPECT_EQ(wide.Filenames(0), L"My  Title.url");

    TFileContentsClipboardFormat contents;
    ASSERT_TRUE(f.AssignTo(contents));
    EXPECT_EQ(contents.Data(), "[InternetShortcut]\r\nURL=http://a\r\n");
    EXPECT_EQ(contents.Data().size(), 26u + 8u);

    TAnsiURLClipboardFormat url;
    ASSERT_TRUE(f.AssignTo(url));
    EXPECT_EQ(url.URL(), "http://a");

    // Reading back what was written restores both.
    TURLDataFormat& back = f;
    back.Clear();
    EXPECT_FALSE(back.HasData());
    ASSERT_TRUE(back.Assign(wide));
    ASSERT_TRUE(back.Assign(contents));
    EXPECT_EQ(back.Title(), L"My  Title");
    EXPECT_EQ(back.URL(), "http://a");
}

TEST_F(URLFormatRead, ChangesAreAnnounced) {
    int changes = 0;
    Format().OnChanging = [&](TCustomDataFormat&) { ++changes; };
    Format().SetURL("x");
    Format().SetTitle(L"y");
    Format().Clear();
    EXPECT_EQ(changes, 3);
    Format().OnChanging = nullptr;
}

// ---- the drop target ----

class URLDropTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        dragdrop::Initialize();
        form.Show();
        target.DragTypes = dtLink;
        target.SetTarget(&form);
    }
    void TearDown() override {
        target.Unregister();
        form.Hide();
        dragdrop::Finalize();
    }
    POINTL Inside() const {
        POINT p = form.ClientToScreen({50, 50});
        return {p.x, p.y};
    }

    cls::TForm form{nullptr, cls::TFormProps{.WindowClass = L"TURLDropTestForm", .Left = 100, .Top = 100,
                                             .ClientWidth = 200, .ClientHeight = 120, .BorderStyle = cls::bsSingle}};
    TDropURLTarget target;
    OfferingDataObject data;
};

TEST_F(URLDropTargetTest, HandsTheLinkToEnterAndDropThenClears) {
    data.Offer(TAnsiURLClipboardFormat::Id(), Ansi("http://dragged/"));
    std::string onEnter, onDrop;
    target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { onEnter = target.URL(); };
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { onDrop = target.URL(); };
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(target.DragEnter(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
    EXPECT_EQ(onEnter, "http://dragged/");
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    ASSERT_EQ(target.Drop(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(onDrop, "http://dragged/");
    EXPECT_TRUE(target.URL().empty());
}

TEST_F(URLDropTargetTest, RefusalInEnterMeansNoDrop) {
    data.Offer(CF_TEXT, Ansi("http://refused/"));
    bool dropped = false;
    target.OnEnter = [&](cls::TComponent*, cls::TShiftState, POINT, LONG& e) { e = DROPEFFECT_NONE; };
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG&) { dropped = true; };
    DWORD effect = DROPEFFECT_LINK;
    ASSERT_EQ(target.DragEnter(&data, MK_LBUTTON, Inside(), &effect), S_OK);
    EXPECT_EQ(effect, 0u);
    EXPECT_EQ(target.DataObject(), nullptr);
    effect = DROPEFFECT_LINK;
    target.Drop(&data, MK_LBUTTON, Inside(), &effect);
    EXPECT_FALSE(dropped);
}

TEST_F(URLDropTargetTest, PasteWithoutPreferredEffectLinks) {
    OfferingDataObject clip;
    clip.Offer(TAnsiURLClipboardFormat::Id(), Ansi("http://pasted/"));
    ASSERT_EQ(OleSetClipboard(&clip), S_OK);
    cls::ScopeExit empty([] { OleSetClipboard(nullptr); });
    std::string pasted;
    LONG pasteEffect = -1;
    target.OnDrop = [&](cls::TComponent*, cls::TShiftState, POINT, LONG& e) {
        pasted = target.URL();
        pasteEffect = e;
    };
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_LINK);
    EXPECT_STREQ(pasted.c_str(), "http://pasted/");
    EXPECT_EQ(pasteEffect, DROPEFFECT_LINK);
}

}  // namespace
