// Reaching the fake site from inside a test: plain WinInet requests through
// the proxy that tests/fakesite/run-with-site.sh points the process at, the
// list of requests the site has answered, and the fixtures it serves.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/Raii.h"

namespace site_support {

struct InternetHandleTraits {
    static HINTERNET Invalid() { return nullptr; }
    static bool Valid(HINTERNET h) { return h != nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
using InternetHandle = cls::UniqueResource<HINTERNET, InternetHandleTraits>;

// The wrapper exports the site's port; without it nothing can be reached.
bool SiteIsRunning();

// Opened with the system's settings (preconfigured proxy), like the
// program's own transfers.
InternetHandle OpenSession();

struct RawResponse {
    bool sent = false;  // HttpSendRequest succeeded
    DWORD error = 0;    // its error when it did not
    DWORD status = 0;   // 0: no answer
    bool hasLength = false;
    int64_t length = 0;
    std::string body;
};

// One GET the way the program makes them (reload; secure and keep-alive
// flags over https). Requests in one session share its connections.
RawResponse RawGet(HINTERNET session, const std::wstring& url);
RawResponse RawGet(const std::wstring& url);

// The site's answered requests, oldest first, as "METHOD URL STATUS"
// ("CONNECT host:443 STATUS" for tunnels).
std::vector<std::string> SiteRequests();
size_t CountRequests(const std::string& line);

// Byte i of a generated stream body is i % 251.
std::string PatternBytes(size_t offset, size_t count);

// The bytes of a file of tests/fakesite/fixtures.
std::string Fixture(const std::string& name);

}  // namespace site_support
