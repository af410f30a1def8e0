#include "LoopbackServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "classlib/Raii.h"

namespace testing_support {

namespace {

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(tolower(c)); });
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int n = send(s, data, static_cast<int>(std::min<size_t>(size, 64 * 1024)), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads one request (headers and a Content-Length body); false when the
// peer closed or timed out first.
bool ReadRequest(SOCKET s, LoopbackRequest& req) {
    std::string data;
    char buf[4096];
    size_t headerEnd;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        int n = recv(s, buf, sizeof(buf), 0);
        if (n <= 0) return false;
        data.append(buf, static_cast<size_t>(n));
    }
    std::string head = data.substr(0, headerEnd);
    req.body = data.substr(headerEnd + 4);
    size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    size_t sp1 = requestLine.find(' ');
    size_t sp2 = requestLine.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos) return false;
    req.method = requestLine.substr(0, sp1);
    req.path = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        size_t e = head.find("\r\n", pos);
        if (e == std::string::npos) e = head.size();
        std::string line = head.substr(pos, e - pos);
        size_t colon = line.find(':');
        if (colon != std::string::npos)
            req.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
        pos = e + 2;
    }
    size_t length = 0;
    std::string cl = req.Header("Content-Length");
    if (!cl.empty()) length = std::stoul(cl);
    while (req.body.size() < length) {
        int n = recv(s, buf, sizeof(buf), 0);
        if (n <= 0) return false;
        req.body.append(buf, static_cast<size_t>(n));
    }
    req.body.resize(length);
    return true;
}

void StartWinsock() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) throw std::runtime_error("WSAStartup failed");
}

DWORD WINAPI RunThread(void* param) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(param));
    (*body)();
    return 0;
}

cls::Handle StartThread(std::function<void()> body) {
    auto* param = new std::function<void()>(std::move(body));
    HANDLE thread = CreateThread(nullptr, 0, RunThread, param, 0, nullptr);
    if (!thread) {
        delete param;
        throw std::runtime_error("CreateThread failed");
    }
    return cls::Handle(thread);
}

}  // namespace

// The server's lock, its waits and its threads. Every waiter sleeps on an
// event of its own, registered while it still holds the lock, so a
// NotifyAll between its test and its sleep still wakes it.
class LoopbackServer::Monitor {
public:
    Monitor() { InitializeCriticalSection(&lock_); }
    ~Monitor() { DeleteCriticalSection(&lock_); }
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    void Enter() { EnterCriticalSection(&lock_); }
    void Leave() { LeaveCriticalSection(&lock_); }

    // With the lock held: false when Done still fails after TimeoutMs.
    template <typename Done>
    bool WaitUntil(Done done, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        while (!done()) {
            DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs) return false;
            cls::Handle woken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (!woken) throw std::runtime_error("CreateEvent failed");
            waiters_.push_back(woken.get());
            Leave();
            WaitForSingleObject(woken.get(), timeoutMs - elapsed);
            Enter();
            waiters_.erase(std::find(waiters_.begin(), waiters_.end(), woken.get()));
        }
        return true;
    }

    // With the lock held.
    void NotifyAll() {
        for (HANDLE w : waiters_) SetEvent(w);
    }

    cls::Handle acceptThread;
    std::vector<cls::Handle> connections;

private:
    CRITICAL_SECTION lock_;
    std::vector<HANDLE> waiters_;
};

class LoopbackServer::Locked {
public:
    explicit Locked(Monitor& monitor) : monitor_(monitor) { monitor_.Enter(); }
    ~Locked() { monitor_.Leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    Monitor& monitor_;
};

std::string LoopbackRequest::Header(const std::string& name) const {
    std::string want = Lower(name);
    for (const auto& [k, v] : headers)
        if (Lower(k) == want) return v;
    return {};
}

bool LoopbackRequest::HasHeader(const std::string& name) const {
    std::string want = Lower(name);
    for (const auto& h : headers)
        if (Lower(h.first) == want) return true;
    return false;
}

LoopbackServer::LoopbackServer() : monitor_(std::make_unique<Monitor>()) {
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        throw std::runtime_error("socket failed");
    }
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(addr);
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(s, 16) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closesocket(s);
        WSACleanup();
        throw std::runtime_error("cannot listen on loopback");
    }
    listener_ = s;
    port_ = ntohs(addr.sin_port);
    monitor_->acceptThread = StartThread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    {
        Locked lock(*monitor_);
        stopping_ = true;
        for (uintptr_t s : open_) shutdown(static_cast<SOCKET>(s), SD_BOTH);
        monitor_->NotifyAll();
    }
    WaitForSingleObject(monitor_->acceptThread.get(), INFINITE);
    closesocket(static_cast<SOCKET>(listener_));
    // No new connection threads once the accept loop has ended.
    for (auto& t : monitor_->connections) WaitForSingleObject(t.get(), INFINITE);
    WSACleanup();
}

std::wstring LoopbackServer::Url(const std::string& path) const {
    std::wstring p(path.begin(), path.end());
    return L"http://127.0.0.1:" + std::to_wstring(port_) + p;
}

void LoopbackServer::On(const std::string& path, LoopbackResponse response) {
    Locked lock(*monitor_);
    routes_[path] = std::move(response);
}

void LoopbackServer::OnOther(std::function<LoopbackResponse(const LoopbackRequest&)> handler) {
    Locked lock(*monitor_);
    other_ = std::move(handler);
}

std::vector<LoopbackRequest> LoopbackServer::Requests() const {
    Locked lock(*monitor_);
    return requests_;
}

size_t LoopbackServer::RequestCount() const {
    Locked lock(*monitor_);
    return requests_.size();
}

bool LoopbackServer::WaitForRequests(size_t count, int timeoutMs) const {
    Locked lock(*monitor_);
    return monitor_->WaitUntil([&] { return requests_.size() >= count; }, static_cast<DWORD>(timeoutMs));
}

bool LoopbackServer::WaitForStall(int timeoutMs) const {
    Locked lock(*monitor_);
    return monitor_->WaitUntil([&] { return stalled_ > 0; }, static_cast<DWORD>(timeoutMs));
}

void LoopbackServer::Release() {
    Locked lock(*monitor_);
    ++releases_;
    monitor_->NotifyAll();
}

int LoopbackServer::UnusedPort() {
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(addr);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    closesocket(s);
    WSACleanup();
    return ntohs(addr.sin_port);
}

void LoopbackServer::AcceptLoop() {
    SOCKET listener = static_cast<SOCKET>(listener_);
    for (;;) {
        {
            Locked lock(*monitor_);
            if (stopping_) return;
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener, &set);
        timeval tv = {0, 50 * 1000};
        if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
        SOCKET c = accept(listener, nullptr, nullptr);
        if (c == INVALID_SOCKET) continue;
        Locked lock(*monitor_);
        if (stopping_) {
            closesocket(c);
            return;
        }
        open_.push_back(c);
        monitor_->connections.push_back(StartThread([this, c] { Serve(c); }));
    }
}

LoopbackResponse LoopbackServer::Answer(const LoopbackRequest& request) {
    std::function<LoopbackResponse(const LoopbackRequest&)> other;
    {
        Locked lock(*monitor_);
        auto it = routes_.find(request.path);
        if (it == routes_.end()) it = routes_.find(request.path.substr(0, request.path.find('?')));
        if (it != routes_.end()) return it->second;
        other = other_;
    }
    // Outside the lock: the handler may ask the server about its requests.
    if (other) return other(request);
    return LoopbackResponse::Status(404, "Not Found");
}

void LoopbackServer::StallUntilReleased() {
    Locked lock(*monitor_);
    unsigned seen = releases_;
    ++stalled_;
    monitor_->NotifyAll();
    // Bounded, so a forgotten Release cannot hang a test run.
    monitor_->WaitUntil([&] { return stopping_ || releases_ != seen; }, 30 * 1000);
    --stalled_;
}

void LoopbackServer::Serve(uintptr_t sock) {
    SOCKET s = static_cast<SOCKET>(sock);
    DWORD timeout = 5000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));

    LoopbackRequest req;
    if (ReadRequest(s, req)) {
        {
            Locked lock(*monitor_);
            requests_.push_back(req);
            monitor_->NotifyAll();
        }
        LoopbackResponse r = Answer(req);
        if (!r.closeWithoutResponse) {
            std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " +
                               (r.reason.empty() ? ReasonPhrase(r.status) : r.reason) + "\r\n";
            if (r.contentLength)
                head += "Content-Length: " +
                        std::to_string(r.announcedLength >= 0 ? r.announcedLength
                                                              : static_cast<int64_t>(r.body.size())) +
                        "\r\n";
            for (const auto& [k, v] : r.headers) head += k + ": " + v + "\r\n";
            head += "Connection: close\r\n\r\n";
            size_t limit = r.body.size();
            if (r.closeAfter >= 0) limit = std::min(limit, static_cast<size_t>(r.closeAfter));
            bool ok = SendAll(s, head.data(), head.size());
            size_t sent = 0;
            if (ok && r.stallAfter >= 0) {
                size_t first = std::min(limit, static_cast<size_t>(r.stallAfter));
                ok = SendAll(s, r.body.data(), first);
                sent = first;
                if (ok) StallUntilReleased();
            }
            if (ok) SendAll(s, r.body.data() + sent, limit - sent);
        }
    }
    {
        Locked lock(*monitor_);
        open_.erase(std::remove(open_.begin(), open_.end(), sock), open_.end());
    }
    shutdown(s, SD_SEND);
    closesocket(s);
}

}  // namespace testing_support
