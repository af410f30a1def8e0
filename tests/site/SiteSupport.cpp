#include "SiteSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace site_support {

bool SiteIsRunning() {
    const wchar_t* port = _wgetenv(L"KORVELINK_FAKESITE_PORT");
    return port && *port;
}

InternetHandle OpenSession() {
    return InternetHandle(InternetOpenW(L"Korvelink site tests", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

RawResponse RawGet(HINTERNET session, const std::wstring& url) {
    RawResponse r;
    wchar_t host[256] = {}, path[2048] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = ARRAYSIZE(path);
    wchar_t extra[2048] = {};
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = ARRAYSIZE(extra);
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return r;
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    InternetHandle connection(InternetConnectW(session, host, parts.nPort, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    const std::wstring object = std::wstring(path) + extra;
    DWORD flags = INTERNET_FLAG_RELOAD;
    if (secure) flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION;
    InternetHandle request(
        HttpOpenRequestW(connection.get(), L"GET", object.c_str(), nullptr, L"", nullptr, flags, 0));
    r.sent = HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0) != FALSE;
    if (!r.sent) {
        r.error = GetLastError();
        return r;
    }
    DWORD size = sizeof r.status;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &r.status, &size, nullptr))
        r.status = 0;
    wchar_t length[32] = {};
    size = sizeof length;
    r.hasLength = HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr) != FALSE;
    if (r.hasLength) r.length = _wtoi64(length);
    char buffer[8192];
    DWORD got = 0;
    while (InternetReadFile(request.get(), buffer, sizeof buffer, &got) && got > 0) r.body.append(buffer, got);
    return r;
}

RawResponse RawGet(const std::wstring& url) {
    InternetHandle session = OpenSession();
    return RawGet(session.get(), url);
}

std::vector<std::string> SiteRequests() {
    std::vector<std::string> lines;
    std::istringstream in(RawGet(L"http://fakesite.control/requests").body);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

size_t CountRequests(const std::string& line) {
    size_t n = 0;
    for (const auto& l : SiteRequests()) n += l == line;
    return n;
}

std::string PatternBytes(size_t offset, size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((offset + i) % 251);
    return bytes;
}

std::string Fixture(const std::string& name) {
    // The source tree as the prefix's Z: drive shows it.
    std::ifstream in("Z:" KORVELINK_FAKESITE_FIXTURES "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace site_support
