#include "engine/PageFetch.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/Files.h"
#include "classlib/Strings.h"
#include "engine/Constants.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace {

using Lines = std::vector<std::wstring>;
using testing_support::LoopbackResponse;

struct TextCase {
    std::wstring in, out;
};

TEST(DecodeHtmlEntities, AppliesTheTableInOrder) {
    const TextCase cases[] = {
        {L"Caf\u00e9 &amp; \u00f1", L"Caf\u00e9 & \u00f1"},
        // The doubly escaped forms decode once, to the character.
        {L"say &amp;quot;hi&amp;quot; it&amp;#39;s a&amp;amp;b", L"say \"hi\" it's a&b"},
        // A later rule sees what an earlier one produced.
        {L"&amp;amp;quot; &amp;amp;lt;", L"\" &lt;"},
        {L"&#39;&#039;&quot;&#034;", L"''\"\""},
        // Only the listed entities are decoded.
        {L"&lt;b&gt; &#60; &nbsp;", L"&lt;b&gt; &#60; &nbsp;"},
        // Letters in any case.
        {L"&AMP;QUOT;x&Quot; \\U00253a\\u00253A", L"\"x\" ::"},
        {L"https\\u00253A\\u00252F\\u00252Fh\\u00252Fa\\u00253Fb\\u00253Dc\\u002526d\\u00253De\\u00252Cf",
         L"https://h/a?b=c&d=e,f"},
        {L"\\u002522q\\u002522 \\u00255C", L"\"q\" \\"},
        // The escaped "\=" goes before the backslash rule.
        {L"x\\u00255Cu00253Dy", L"x%3Dy"},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::DecodeHtmlEntities(c.in), c.out) << c.in;
}

TEST(StripHtml, RemovesCaptionMarkup) {
    const TextCase cases[] = {
        {L"<span class=\"x\">hidden</span>Visible text", L"Visible text"},
        {L"<a href=\"https://h/p\">Name</a>", L"Name"},
        {L"<a class=\"profileLink\" href=\"/p\">Ann</a> shared", L"Ann shared"},
        {L"<i class=\"img\"><u>smile</u></i>Hi", L"Hi"},
        {L"one<br />two<BR />three<wbr />four", L"onetwothreefour"},
        // Unclosed direction spans only lose their tag.
        {L"<span dir=\"rtl\">right <SPAN DIR=\"LTR\">left", L"right left"},
        {L" \t Tom &amp;amp; Jerry \r\n", L"Tom & Jerry"},
        // The end is searched exactly from the given distance.
        {L"<a class>a<a href>b<i class</i>c<span</span>d", L"abcd"},
        // Nested: the first end tag closes the first span.
        {L"<span><span>a</span>b</span>c", L"bc"},
        // Steps before the final deletions are case-sensitive.
        {L"<A HREF=\"x\">Name</A>", L"<A HREF=\"x\">Name"},
        // Malformed input ends.
        {L"<a class", L"<a class"},
        {L"<i class=\"a\">unclosed <span x", L"<i class=\"a\">unclosed <span x"},
        {L"</span></span><span", L"<span"},
        {L"<a href<a href<a href>>>", L">>"},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::StripHtml(c.in), c.out) << c.in;
}

// The removal loops as first written: restart at the start, erase from the
// middle. The one-pass removal must give the same text on any input.
std::wstring StripHtmlByRestarting(std::wstring_view text) {
    std::wstring s = engine::DecodeHtmlEntities(text);
    for (auto [open, end] : {std::pair{L"<a class", L">"}, {L"<a href", L">"}, {L"<i class", L"</i>"},
                             {L"<span", L"</span>"}})
        for (size_t p; (p = s.find(open)) != std::wstring::npos;) {
            size_t e = s.find(end, p + wcslen(open));
            if (e == std::wstring::npos) break;
            s.erase(p, e + wcslen(end) - p);
        }
    for (auto tag : {L"<br />", L"</a>", L"<wbr />", L"</span>", L"<span>", L"<span dir=\"rtl\">", L"<span dir=\"ltr\">"})
        s = cls::ReplaceAll(s, tag, L"", true);
    return cls::Trim(s);
}

TEST(StripHtml, OnePassGivesWhatRestartingGave) {
    // The captions of the site fixtures, and pieces that join into new tags
    // once the text between them is deleted.
    std::vector<std::wstring> inputs = {
        L"Ana &amp;amp; Bo<br /> with <a href=\"https://www.facebook.com/carla.m\" data-hovercard=\"/ajax/"
        L"hovercard/user.php?id=4\">Carla</a> at <a class=\"profileLink\" href=\"https://www.facebook.com/"
        L"lake.tahoe\">Lake <span>Tahoe</span></a> &#039;19",
        L"<a <a class x>class y>z",
        L"<sp<span>.</span>an>q</span>r",
        L"<i <a href=1>class <i class></i>k</i>",
    };
    const wchar_t* const pieces[] = {L"<a class", L"<a href", L"<a ", L"class", L"href", L">", L"<i class",
                                     L"</i>", L"<i ", L"<span", L"</span>", L"<sp", L"an", L"x", L" "};
    std::mt19937 rng(11);
    for (int i = 0; i < 3000; ++i) {
        std::wstring s;
        for (int n = rng() % 24; n > 0; --n) s += pieces[rng() % std::size(pieces)];
        inputs.push_back(s);
    }
    for (const auto& in : inputs) ASSERT_EQ(engine::StripHtml(in), StripHtmlByRestarting(in)) << cls::WideToUtf8(in);

    // A page-sized caption of links keeps just the names.
    std::wstring page, names;
    for (int i = 0; page.size() < 4u * 1024 * 1024; ++i) {
        const std::wstring n = L"n" + std::to_wstring(i);
        page += L"<a class=\"p\" href=\"/" + n + L"\">" + n + L"</a> <a href=\"/x\">" + n + L"</a><i class=\"e\">:)</i> ";
        names += n + L" " + n + L" ";
    }
    EXPECT_EQ(engine::StripHtml(page), cls::Trim(names));
}

TEST(DrawFreeFileName, DrawsAgainWhileTheNameIsTaken) {
    testing_support::TempFolder dir;
    dir.Write(L"~1.tmp", "x");
    cls::ForceDirectories(dir.File(L"~2.tmp"));
    const Lines names = {L"~1.tmp", L"~2.tmp", L"~3.tmp"};
    size_t drawn = 0;
    auto draw = [&] { return names[drawn++ % names.size()]; };
    EXPECT_EQ(engine::DrawFreeFileName(dir.Path(), draw, 5), L"~3.tmp");
    EXPECT_EQ(drawn, 3u);
    drawn = 0;
    EXPECT_EQ(engine::DrawFreeFileName(dir.Path(), draw, 2), L"");
    EXPECT_EQ(drawn, 2u);
}

Lines FilesIn(const std::wstring& folder) {
    Lines names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

// The engine's folders, not created yet, in a temporary folder.
class PageFetchFrame : public ::testing::Test {
protected:
    void SetUp() override {
        engine::CacheFolder = dir_.Path() + L"Cache\\";
        engine::ThumbnailsFolder = dir_.Path() + L"Thumbs\\";
    }
    void TearDown() override {
        engine::CacheFolder = saved_[0];
        engine::ThumbnailsFolder = saved_[1];
    }
    // Lines the scanner saw, stopping after the line Last.
    Lines Scan(const std::string& path, const std::wstring& last = L"") {
        Lines seen;
        stored_ = engine::FetchPageLines(server_.Url(path), [&](const std::wstring& line) {
            seen.push_back(line);
            filesWhileScanning_ = FilesIn(engine::CacheFolder);
            return line != last;
        });
        return seen;
    }

    testing_support::TempFolder dir_;
    testing_support::LoopbackServer server_;
    std::wstring saved_[2] = {engine::CacheFolder, engine::ThumbnailsFolder};
    bool stored_ = false;
    Lines filesWhileScanning_;
};

TEST_F(PageFetchFrame, ScansDecodedLinesOfATemporaryFileThenDeletesIt) {
    server_.On("/p", LoopbackResponse::Ok("\xEF\xBB\xBFone &amp;quot;x&amp;quot;\r\ntwo\ncaf\xC3\xA9\r\nfour\n"));
    EXPECT_EQ(Scan("/p", L"caf\u00e9"), (Lines{L"one \"x\"", L"two", L"caf\u00e9"}));
    EXPECT_TRUE(stored_);
    ASSERT_EQ(filesWhileScanning_.size(), 1u);
    const std::wstring& name = filesWhileScanning_[0];
    EXPECT_TRUE(name.size() == 11 && name[0] == L'~' && cls::IsAsciiDigits(name.substr(1, 6)) &&
                name.substr(7) == L".tmp")
        << name;
    EXPECT_TRUE(FilesIn(engine::CacheFolder).empty());

    // An error page is scanned like any other.
    server_.On("/gone", LoopbackResponse::Status(404, "not here\n"));
    EXPECT_EQ(Scan("/gone"), Lines{L"not here"});
    EXPECT_TRUE(FilesIn(engine::CacheFolder).empty());
}

TEST_F(PageFetchFrame, PageIsDeletedWhenTheScannerThrows) {
    server_.On("/p", LoopbackResponse::Ok("a\n"));
    EXPECT_THROW(engine::FetchPageLines(server_.Url("/p"), [](const std::wstring&) -> bool { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_TRUE(FilesIn(engine::CacheFolder).empty());
}

TEST_F(PageFetchFrame, OnlyAGoodThumbnailIsKept) {
    LoopbackResponse cut = LoopbackResponse::Ok("half");
    cut.announcedLength = 100;
    LoopbackResponse unsized = LoopbackResponse::Ok("JPEG of unknown size");
    unsized.contentLength = false;
    LoopbackResponse unsized404 = LoopbackResponse::Status(404, "error page");
    unsized404.contentLength = false;
    const struct {
        const char* path;
        LoopbackResponse response;
        bool kept;
    } cases[] = {
        {"/ok.jpg", LoopbackResponse::Ok("JPEG"), true},
        {"/404.jpg", LoopbackResponse::Status(404, "error page"), false},
        {"/empty.jpg", LoopbackResponse::Ok(""), false},
        {"/cut.jpg", cut, false},
        {"/unsized.jpg", unsized, true},
        {"/unsized404.jpg", unsized404, false},
    };
    for (const auto& c : cases) {
        server_.On(c.path, c.response);
        cls::RemoveFile(engine::ThumbnailsFolder + L"1.jpg");
        engine::DownloadToThumbnailFolder(L"1.jpg", server_.Url(c.path));
        std::string data;
        EXPECT_EQ(cls::ReadFileBytes(engine::ThumbnailsFolder + L"1.jpg", data), c.kept) << c.path;
        if (c.kept) {
            EXPECT_EQ(data, c.response.body);
        }
    }
    EXPECT_EQ(server_.RequestCount(), 6u);
}

TEST_F(PageFetchFrame, ThumbnailNameMustBeAPlainFileName) {
    server_.On("/pic.jpg", LoopbackResponse::Ok("JPEG"));
    for (const wchar_t* name : {L"", L"..\\evil.jpg", L"a..b", L"sub/1.jpg", L"C:1.jpg", L"a<b", L"a>b",
                                L"a\"b", L"a|b", L"a?b", L"a*b", L"a\tb", L"1.jpg\x01", L"a\x7f"})
        engine::DownloadToThumbnailFolder(name, server_.Url("/pic.jpg"));
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_FALSE(cls::DirectoryExists(engine::ThumbnailsFolder));
    EXPECT_TRUE(FilesIn(dir_.Path()).empty());
}

}  // namespace
