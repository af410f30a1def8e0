// A scripted HTTP/1.1 server on 127.0.0.1 that runs on threads inside the
// test process: tests register a response per path, then look at the
// requests it received. Every response closes its connection. The server
// stops (and lets every stalled response go) when it is destroyed.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct LoopbackRequest {
    std::string method;
    std::string path;  // as sent, query included
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Value of the first header of that name (any case); empty when none.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

struct LoopbackResponse {
    int status = 200;
    std::string reason;  // empty: the usual phrase of the status
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // False: no Content-Length; the end of the connection ends the body.
    bool contentLength = true;
    // >= 0: the Content-Length sent instead of the body's size (announce
    // more than is sent, and the connection closes after the body).
    int64_t announcedLength = -1;
    // >= 0: after that many body bytes the response waits until Release()
    // is called or the server stops.
    int64_t stallAfter = -1;
    // >= 0: the connection closes after that many body bytes.
    int64_t closeAfter = -1;
    // Closes the connection as soon as the request has been read, without
    // any response.
    bool closeWithoutResponse = false;

    static LoopbackResponse Ok(std::string body) {
        LoopbackResponse r;
        r.body = std::move(body);
        return r;
    }
    static LoopbackResponse Status(int status, std::string body) {
        LoopbackResponse r;
        r.status = status;
        r.body = std::move(body);
        return r;
    }
};

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" + path.
    std::wstring Url(const std::string& path) const;

    // Answers requests for this path (query included; without a match for
    // the whole path, its part before "?" is tried).
    void On(const std::string& path, LoopbackResponse response);
    // Answers whatever no registered path matches; a 404 without it.
    void OnOther(std::function<LoopbackResponse(const LoopbackRequest&)> handler);

    std::vector<LoopbackRequest> Requests() const;
    size_t RequestCount() const;
    // Waits until that many requests were received; false on time-out.
    bool WaitForRequests(size_t count, int timeoutMs = 2000) const;
    // Waits until a response has reached its stall point; false on time-out.
    bool WaitForStall(int timeoutMs = 2000) const;
    // Lets every stalled response go on.
    void Release();

    // A port on which nothing listens.
    static int UnusedPort();

private:
    void AcceptLoop();
    void Serve(uintptr_t sock);
    LoopbackResponse Answer(const LoopbackRequest& request);
    void StallUntilReleased();

    // Its lock, its waits and its threads, over Win32 primitives (kept out
    // of this header, which tests include beside <windows.h> or winsock2).
    class Monitor;
    class Locked;

    uintptr_t listener_;
    int port_ = 0;
    std::unique_ptr<Monitor> monitor_;
    std::map<std::string, LoopbackResponse> routes_;
    std::function<LoopbackResponse(const LoopbackRequest&)> other_;
    std::vector<LoopbackRequest> requests_;
    std::vector<uintptr_t> open_;  // connection sockets, shut down on stop
    int stalled_ = 0;               // responses waiting for Release now
    unsigned releases_ = 0;
    bool stopping_ = false;
};

}  // namespace testing_support
