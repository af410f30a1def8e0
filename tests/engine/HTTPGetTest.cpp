#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Files.h"
#include "engine/HTTPGet.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

using engine::THTTPGet;
using testing_support::LoopbackResponse;
using testing_support::LoopbackServer;
using testing_support::TempFolder;

namespace {

// Handles the GUI thread's messages until the condition holds or the time
// is up, as the program's message loop would: it wakes as soon as a message
// comes, so each of a worker's hand-overs costs no sleep of the loop.
template <typename F>
bool PumpUntil(F cond, DWORD timeoutMs = 2000) {
    DWORD start = GetTickCount();
    while (!cond() && GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!cond()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return cond();
}

struct Events {
    int doneFile = 0, doneString = 0, errors = 0;
    std::wstring fileName, text;
    int64_t fileSize = -1;
    struct Step {
        int64_t total, readed;
        bool onGuiThread;
        bool senderIsWorker;
    };
    std::vector<Step> progress;

    int Ended() const { return doneFile + doneString + errors; }
    void Attach(THTTPGet& g, bool withProgress = false) {
        g.OnDoneFile = [this](THTTPGet*, const std::wstring& name, int64_t size) {
            ++doneFile;
            fileName = name;
            fileSize = size;
        };
        g.OnDoneString = [this](THTTPGet*, const std::wstring& s) {
            ++doneString;
            text = s;
        };
        g.OnError = [this](THTTPGet*) { ++errors; };
        if (withProgress)
            g.OnProgress = [this](cls::TThread* sender, int64_t total, int64_t readed) {
                progress.push_back({total, readed, cls::TThread::IsGuiThread(),
                                    dynamic_cast<engine::THTTPGetThread*>(sender) != nullptr});
            };
    }
};

class HTTPGetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Loopback must not go through a proxy taken from the environment.
        for (const wchar_t* name : {L"http_proxy", L"HTTP_PROXY", L"https_proxy", L"HTTPS_PROXY"}) {
            _wputenv((std::wstring(name) + L"=").c_str());
            SetEnvironmentVariableW(name, nullptr);
        }
    }

    // A component set up for a synchronous fetch of path into a file.
    std::unique_ptr<THTTPGet> Fetcher(const std::string& path, bool withProgress = false) {
        auto g = std::make_unique<THTTPGet>(nullptr);
        g->URL = server.Url(path);
        g->FileName = target;
        g->WaitThread = true;
        events.Attach(*g, withProgress);
        return g;
    }

    LoopbackServer server;
    TempFolder temp;
    std::wstring target = temp.File(L"out.bin");
    Events events;
};

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

TEST_F(HTTPGetTest, FileWithContentLengthEndsDoneWithItsSize) {
    server.On("/page?id=1", LoopbackResponse::Ok("hello, file"));
    auto g = Fetcher("/page?id=1");
    g->GetFile();
    // WaitThread: the event has run before GetFile returned.
    EXPECT_EQ(events.doneFile, 1);
    EXPECT_EQ(events.errors, 0);
    EXPECT_EQ(events.fileName, target);
    EXPECT_EQ(events.fileSize, 11);
    EXPECT_EQ(temp.Read(L"out.bin"), "hello, file");
    EXPECT_TRUE(g->Result());
    EXPECT_EQ(g->StatusCode(), 200);
    EXPECT_TRUE(g->EndedCleanly());
    EXPECT_EQ(g->BytesRead(), 11);
    EXPECT_EQ(g->ContentLength(), 11);
    EXPECT_FALSE(g->Busy());
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].method, "GET");
    EXPECT_EQ(server.Requests()[0].path, "/page?id=1");
}

TEST_F(HTTPGetTest, ErrorStatusFailsButKeepsTheBody) {
    server.On("/missing", LoopbackResponse::Status(404, "<html>gone</html>"));
    auto g = Fetcher("/missing");
    g->GetFile();
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(events.doneFile, 0);
    EXPECT_FALSE(g->Result());
    EXPECT_EQ(g->StatusCode(), 404);
    EXPECT_EQ(temp.Read(L"out.bin"), "<html>gone</html>");

    // The same rule for a string, with a 5xx status.
    server.On("/broken", LoopbackResponse::Status(500, "oops"));
    g->URL = server.Url("/broken");
    g->GetString();
    EXPECT_EQ(events.errors, 2);
    EXPECT_EQ(events.doneString, 0);
    EXPECT_EQ(g->StatusCode(), 500);
}

TEST_F(HTTPGetTest, BodyWithoutContentLengthSucceedsOnlyWhenEmpty) {
    LoopbackResponse r = LoopbackResponse::Ok("streamed body");
    r.contentLength = false;
    server.On("/stream", r);
    auto g = Fetcher("/stream");
    g->GetFile();
    EXPECT_EQ(events.errors, 1);
    EXPECT_TRUE(g->EndedCleanly());
    EXPECT_EQ(g->ContentLength(), 0);
    EXPECT_EQ(temp.Read(L"out.bin"), "streamed body");

    LoopbackResponse empty = LoopbackResponse::Ok("");
    empty.contentLength = false;
    server.On("/empty", empty);
    g->URL = server.Url("/empty");
    g->GetFile();
    EXPECT_EQ(events.doneFile, 1);
    EXPECT_EQ(events.fileSize, 0);
    EXPECT_TRUE(cls::FileExists(target));
    EXPECT_EQ(engine::GetFileSize64(target), 0);
}

TEST_F(HTTPGetTest, BinaryDataWithoutContentLengthCreatesNoFile) {
    LoopbackResponse r = LoopbackResponse::Ok("video bytes");
    r.contentLength = false;
    server.On("/video", r);
    auto g = Fetcher("/video");
    g->BinaryData = true;
    g->GetFile();
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(events.doneFile, 0);
    EXPECT_FALSE(cls::FileExists(target));
}

TEST_F(HTTPGetTest, ShortOrTruncatedBodyFails) {
    LoopbackResponse shortBody = LoopbackResponse::Ok("only part");
    shortBody.announcedLength = 5000;
    server.On("/short", shortBody);
    auto g = Fetcher("/short");
    g->GetFile();
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(g->ContentLength(), 5000);
    EXPECT_EQ(g->BytesRead(), 9);
    EXPECT_EQ(temp.Read(L"out.bin"), "only part");

    // Sizes past 4 GiB survive whole.
    shortBody.announcedLength = 5368709120LL;
    server.On("/short", shortBody);
    g->GetFile();
    EXPECT_EQ(events.errors, 2);
    EXPECT_EQ(g->ContentLength(), 5368709120LL);

    // Content-Length matches the body, but the connection drops halfway.
    LoopbackResponse cut = LoopbackResponse::Ok(Pattern(10000));
    cut.closeAfter = 3000;
    server.On("/cut", cut);
    g->URL = server.Url("/cut");
    g->GetFile();
    EXPECT_EQ(events.errors, 3);
    EXPECT_EQ(events.doneFile, 0);
}

TEST_F(HTTPGetTest, ConnectionClosedWithoutResponseCreatesNoFile) {
    LoopbackResponse r;
    r.closeWithoutResponse = true;
    server.On("/drop", r);
    auto g = Fetcher("/drop");
    g->GetFile();
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(g->StatusCode(), 0);
    EXPECT_FALSE(cls::FileExists(target));
}

TEST_F(HTTPGetTest, ProgressIsMonotonicOnTheGuiThreadAndEndsAtTheSize) {
    const std::string body = Pattern(1024 * 1024);
    server.On("/big", LoopbackResponse::Ok(body));
    auto g = Fetcher("/big", true);
    g->WaitThread = false;
    g->GetFile();
    EXPECT_TRUE(g->Busy());
    EXPECT_EQ(events.Ended(), 0);
    // 512 hand-overs to this thread, each a wake-up of three threads: on a
    // busy machine that takes seconds, and only a hang is a fault here.
    ASSERT_TRUE(PumpUntil([&] { return events.Ended() > 0; }, 20000));
    EXPECT_EQ(events.doneFile, 1);
    EXPECT_EQ(events.fileSize, static_cast<int64_t>(body.size()));
    EXPECT_TRUE(temp.Read(L"out.bin") == body);
    // 2050-byte reads: at least one event per block.
    ASSERT_GE(events.progress.size(), body.size() / 2050);
    int64_t last = 0;
    for (const auto& step : events.progress) {
        EXPECT_GT(step.readed, last);
        EXPECT_LE(step.readed - last, 2050);
        EXPECT_EQ(step.total, static_cast<int64_t>(body.size()));
        EXPECT_TRUE(step.onGuiThread);
        EXPECT_TRUE(step.senderIsWorker);
        last = step.readed;
    }
    EXPECT_EQ(last, static_cast<int64_t>(body.size()));
}

TEST_F(HTTPGetTest, AbortDuringAStalledBodyEndsWithErrorPromptly) {
    LoopbackResponse r = LoopbackResponse::Ok(Pattern(100000));
    r.stallAfter = 4100;
    server.On("/stall", r);
    auto g = Fetcher("/stall", true);
    g->WaitThread = false;
    g->GetFile();
    ASSERT_TRUE(server.WaitForStall());
    PumpUntil([&] { return events.progress.size() >= 2; }, 500);
    DWORD start = GetTickCount();
    g->Abort();
    ASSERT_TRUE(PumpUntil([&] { return events.Ended() > 0; }, 1500));
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(events.doneFile, 0);
    EXPECT_FALSE(g->Result());
    EXPECT_FALSE(g->EndedCleanly());
    EXPECT_FALSE(g->Busy());
    server.Release();
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(events.Ended(), 1);
}

TEST_F(HTTPGetTest, AbortAfterTheWorkerSucceededStillFails) {
    server.On("/small", LoopbackResponse::Ok("abc"));
    auto g = Fetcher("/small");
    g->WaitThread = false;
    g->GetFile();
    ASSERT_TRUE(server.WaitForRequests(1));
    // Not pumping: the worker finishes its reads and then waits for the GUI
    // thread to run its completion, with a successful result of its own.
    Sleep(300);
    g->Abort();
    ASSERT_TRUE(PumpUntil([&] { return events.Ended() > 0; }));
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(events.doneFile, 0);
    EXPECT_FALSE(g->Result());
    EXPECT_EQ(temp.Read(L"out.bin"), "abc");
}

TEST_F(HTTPGetTest, UnreachableOrMalformedTargetsFailWithoutAFile) {
    auto g = Fetcher("/");
    const std::wstring urls[] = {
        L"http://127.0.0.1:" + std::to_wstring(LoopbackServer::UnusedPort()) + L"/refused",
        L"ftp://127.0.0.1/file",
        L"127.0.0.1/file",
        L"http:///path",
        L"http://127.0.0.1",  // no "/": no host can be told apart
        L"http://127.0.0.1:99999/",
    };
    int expectedErrors = 0;
    for (const auto& url : urls) {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        g->URL = url;
        g->GetFile();
        EXPECT_EQ(events.errors, ++expectedErrors);
        EXPECT_FALSE(cls::FileExists(target));
        EXPECT_FALSE(g->Busy());
    }
    EXPECT_EQ(events.doneFile, 0);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(HTTPGetTest, RefusedUrlReportsLaterWhenNotWaiting) {
    auto g = Fetcher("/");
    g->WaitThread = false;
    g->URL = L"gopher://127.0.0.1/";
    g->GetFile();
    EXPECT_EQ(events.errors, 0);
    EXPECT_TRUE(PumpUntil([&] { return events.errors == 1; }));
    EXPECT_FALSE(cls::FileExists(target));
}

TEST_F(HTTPGetTest, GetFileWhileBusyStartsNothing) {
    LoopbackResponse r = LoopbackResponse::Ok("slow body");
    r.stallAfter = 2;
    server.On("/slow", r);
    auto g = Fetcher("/slow");
    g->WaitThread = false;
    g->GetFile();
    ASSERT_TRUE(server.WaitForStall());
    g->GetFile();
    g->GetString();
    server.Release();
    ASSERT_TRUE(PumpUntil([&] { return events.Ended() > 0; }));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(events.doneFile, 1);
    EXPECT_EQ(events.Ended(), 1);
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(HTTPGetTest, WaitKeepsAQuitMessageForTheMainLoop) {
    server.On("/q", LoopbackResponse::Ok(Pattern(10000)));
    auto g = Fetcher("/q", true);
    bool posted = false;
    g->OnProgress = [&](cls::TThread*, int64_t, int64_t) {
        if (!posted) PostQuitMessage(42);
        posted = true;
    };
    g->GetFile();
    ASSERT_TRUE(posted);
    EXPECT_EQ(events.doneFile, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(HTTPGetTest, DestroyedComponentHearsNothingFromItsWorker) {
    LoopbackResponse r = LoopbackResponse::Ok(Pattern(50000));
    r.stallAfter = 4100;
    server.On("/detach", r);
    int calls = 0;
    {
        auto g = Fetcher("/detach");
        g->WaitThread = false;
        g->OnProgress = [&](cls::TThread*, int64_t, int64_t) { ++calls; };
        g->OnDoneFile = [&](THTTPGet*, const std::wstring&, int64_t) { ++calls; };
        g->OnError = [&](THTTPGet*) { ++calls; };
        g->GetFile();
        ASSERT_TRUE(server.WaitForStall());
        PumpUntil([&] { return calls > 0; }, 500);
    }
    int before = calls;
    server.Release();
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(calls, before);
}

TEST_F(HTTPGetTest, StringTransferGivesOneCharacterPerByte) {
    server.On("/s", LoopbackResponse::Ok("a\xE9z"));
    auto g = Fetcher("/s");
    g->GetString();
    EXPECT_EQ(events.doneString, 1);
    EXPECT_EQ(events.text, std::wstring(L"a\u00E9z"));
    EXPECT_FALSE(cls::FileExists(target));

    // An empty body is a failed string transfer.
    server.On("/none", LoopbackResponse::Ok(""));
    g->URL = server.Url("/none");
    g->GetString();
    EXPECT_EQ(events.errors, 1);
}

TEST_F(HTTPGetTest, MaxBytesStopsAnOversizedBody) {
    server.On("/huge", LoopbackResponse::Ok(Pattern(200000)));
    auto g = Fetcher("/huge");
    g->MaxBytes = 10000;
    g->GetString();
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(events.doneString, 0);
    EXPECT_GT(g->BytesRead(), 10000);
    EXPECT_LE(g->BytesRead(), 10000 + 2050);
}

TEST_F(HTTPGetTest, PostSendsTheFormBody) {
    server.On("/form", LoopbackResponse::Ok("ok"));
    auto g = Fetcher("/form");
    g->PostQuery = L"user=a%20b&x=1";
    g->Referer = L"http://example.invalid/from";
    g->GetFile();
    EXPECT_EQ(events.doneFile, 1);
    ASSERT_EQ(server.RequestCount(), 1u);
    const auto req = server.Requests()[0];
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.body, "user=a%20b&x=1");
    EXPECT_EQ(req.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(req.Header("Referer"), "http://example.invalid/from");
}

TEST_F(HTTPGetTest, AgentHeaderIsSent) {
    server.On("/a", LoopbackResponse::Ok("x"));
    auto g = Fetcher("/a");
    EXPECT_EQ(g->Agent, std::wstring(engine::DefaultAgent));
    g->GetFile();
    g->Agent = L"Custom/1.0";
    g->GetFile();
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[0].Header("User-Agent"),
              "Mozilla/5.0 (X11; Linux x86_64; rv:10.0) Gecko/20100101 Firefox/10.0 (Chrome)");
    EXPECT_EQ(server.Requests()[1].Header("User-Agent"), "Custom/1.0");
    EXPECT_FALSE(server.Requests()[0].HasHeader("Referer"));
}

TEST_F(HTTPGetTest, OnlyACachedRequestLeavesACopyInTheCache) {
    // The cached request shows the lookup would see a copy if one were made.
    for (bool useCache : {true, false}) {
        const std::string path = useCache ? "/cached.bin" : "/uncached.bin";
        server.On(path, LoopbackResponse::Ok(Pattern(10000)));
        auto g = Fetcher(path);
        g->UseCache = useCache;
        g->GetFile();
        ASSERT_EQ(events.doneFile, useCache ? 1 : 2);
        const std::wstring url = g->URL;
        DWORD size = 0;
        GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size);
        const bool cached = GetLastError() == ERROR_INSUFFICIENT_BUFFER;
        EXPECT_EQ(cached, useCache) << "UseCache " << useCache;
        if (cached) DeleteUrlCacheEntryW(url.c_str());
    }
}

TEST(HTTPGetUrl, SplitsSchemeHostPortAndPath) {
    struct Case {
        const wchar_t* url;
        bool valid, secure;
        const wchar_t* host;
        int port;
        const wchar_t* path;
    } cases[] = {
        {L"http://host/a/b?c=d", true, false, L"host", 80, L"/a/b?c=d"},
        {L"HTTPS://Host/", true, true, L"Host", 443, L"/"},
        {L"hTtP://host:8080/x", true, false, L"host", 8080, L"/x"},
        {L"https://host:/x", true, true, L"host", 443, L"/x"},
        {L"https://host:65535/", true, true, L"host", 65535, L"/"},
        {L"http://host:0/", false, false, L"", 0, L""},
        {L"http://host:65536/", false, false, L"", 0, L""},
        {L"http://host:8o/", false, false, L"", 0, L""},
        {L"http://host", false, false, L"", 0, L""},
        {L"http://:80/", false, false, L"", 0, L""},
        {L"http:///", false, false, L"", 0, L""},
        {L"ftp://host/", false, false, L"", 0, L""},
        {L"http:/host/", false, false, L"", 0, L""},
        {L"", false, false, L"", 0, L""},
    };
    for (const auto& c : cases) {
        auto t = engine::SplitHttpUrl(c.url);
        EXPECT_EQ(t.Valid, c.valid) << std::string(c.url, c.url + wcslen(c.url));
        if (!c.valid) continue;
        EXPECT_EQ(t.Secure, c.secure);
        EXPECT_EQ(t.Host, c.host);
        EXPECT_EQ(t.Port, c.port);
        EXPECT_EQ(t.Path, c.path);
    }
}

TEST(HTTPGetUrl, ContentLengthIsA64BitDecimal) {
    struct Case {
        const wchar_t* text;
        bool ok;
        int64_t value;
    } cases[] = {
        {L"0", true, 0},
        {L"5368709120", true, 5368709120LL},  // a 5 GB video
        {L" 42 ", true, 42},
        {L"9223372036854775807", true, INT64_MAX},
        {L"9223372036854775808", false, 0},
        {L"", false, 0},
        {L"-1", false, 0},
        {L"12a", false, 0},
        {L"1 2", false, 0},
    };
    for (const auto& c : cases) {
        int64_t v = -7;
        EXPECT_EQ(engine::ParseContentLength(c.text, v), c.ok) << std::string(c.text, c.text + wcslen(c.text));
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(HTTPGetFileSize, LiteralNamesOnly) {
    TempFolder temp;
    std::wstring file = temp.Write(L"abc.txt", "12345");
    EXPECT_EQ(engine::GetFileSize64(file), 5);
    EXPECT_EQ(engine::GetFileSize64(temp.File(L"missing.txt")), -1);
    // These would match abc.txt as patterns.
    EXPECT_EQ(engine::GetFileSize64(temp.File(L"a?c.txt")), -1);
    EXPECT_EQ(engine::GetFileSize64(temp.File(L"*.txt")), -1);
}

}  // namespace
