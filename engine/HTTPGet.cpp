#include "HTTPGet.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <string>

#include "classlib/Application.h"
#include "classlib/Files.h"
#include "classlib/Raii.h"
#include "classlib/Strings.h"

namespace engine {

const wchar_t* const DefaultAgent =
    L"Mozilla/5.0 (X11; Linux x86_64; rv:10.0) Gecko/20100101 Firefox/10.0 (Chrome)";

namespace detail {

// What the component and its worker share. Everything but the abort
// request is touched on the GUI thread only.
struct TransferLink {
    explicit TransferLink(THTTPGet* o) : owner(o) {}
    THTTPGet* owner;  // null once the component is gone
    cls::Handle abortEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> aborted{false};
    bool finished = false;  // the completion handler has run
};

}  // namespace detail

namespace {

constexpr DWORD ReadBlockSize = 2050;

struct InternetHandleTraits {
    static HINTERNET Invalid() { return nullptr; }
    static bool Valid(HINTERNET h) { return h != nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
using InternetHandle = cls::UniqueResource<HINTERNET, InternetHandleTraits>;

// The request runs in WinInet's asynchronous mode so that an abort does not
// have to wait for a blocked read: the worker waits for either the call's
// completion or the abort event. An operation left pending by an abort still
// completes later into this object, so the request handle's context keeps
// one reference to it until WinInet reports the handle closing.
struct IoContext {
    cls::Handle done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    DWORD asyncResult = 0;
    DWORD bytes = 0;
    std::atomic<bool> handleClosed{false};
    std::string postBody;
    char buffer[ReadBlockSize];
};
using IoHolder = std::shared_ptr<IoContext>;

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD) {
    if (!context) return;
    auto* holder = reinterpret_cast<IoHolder*>(context);
    if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
        IoContext& io = **holder;
        io.asyncResult = static_cast<INTERNET_ASYNC_RESULT*>(info)->dwResult;
        SetEvent(io.done.get());
    } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        (*holder)->handleClosed = true;
        delete holder;
    }
}

// Runs one WinInet call that may finish later. False when it failed or
// the abort came first. Nearly every read completes at once: only a call
// that is really pending touches the event (auto-reset, so the wait that
// takes the completion also re-arms it), which keeps kernel calls out of
// the per-read path.
template <typename Call>
bool Complete(IoContext& io, HANDLE abortEvent, Call call) {
    if (call()) return true;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    HANDLE events[2] = {io.done.get(), abortEvent};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) return false;
    return io.asyncResult != 0;
}

}  // namespace

THttpTarget SplitHttpUrl(const std::wstring& url) {
    THttpTarget t;
    size_t skip;
    if (cls::StartsText(url, L"https://")) {
        t.Secure = true;
        skip = 8;
    } else if (cls::StartsText(url, L"http://")) {
        skip = 7;
    } else {
        return t;
    }
    std::wstring rest = url.substr(skip);
    size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos) return t;  // no host can be told apart
    std::wstring host = rest.substr(0, slash);
    t.Path = rest.substr(slash);
    t.Port = t.Secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    size_t colon = host.rfind(L':');
    if (colon != std::wstring::npos) {
        std::wstring port = host.substr(colon + 1);
        host.resize(colon);
        if (!port.empty()) {
            if (port.size() > 5 || port.find_first_not_of(L"0123456789") != std::wstring::npos)
                return t;
            unsigned long p = std::stoul(port);
            if (p == 0 || p > 65535) return t;
            t.Port = static_cast<uint16_t>(p);
        }
    }
    if (host.empty()) return t;
    t.Host = host;
    t.Valid = true;
    return t;
}

bool ParseContentLength(const std::wstring& text, int64_t& value) {
    size_t b = text.find_first_not_of(L' ');
    size_t e = text.find_last_not_of(L' ');
    if (b == std::wstring::npos) return false;
    int64_t v = 0;
    for (size_t i = b; i <= e; ++i) {
        wchar_t c = text[i];
        if (c < L'0' || c > L'9') return false;
        if (v > (INT64_MAX - (c - L'0')) / 10) return false;
        v = v * 10 + (c - L'0');
    }
    value = v;
    return true;
}

int64_t GetFileSize64(const std::wstring& fileName) {
    // The old find-first lookup matched wildcards; a literal name only.
    if (fileName.find_first_of(L"*?") != std::wstring::npos) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(fileName.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) + data.nFileSizeLow;
}

// ---------------------------------------------------------------------------

THTTPGetThread::THTTPGetThread(const std::wstring& aAgent, const std::wstring& aURL,
                               const std::wstring& aFileName, const std::wstring& aUserName,
                               const std::wstring& aPassword, const std::wstring& aPostQuery,
                               const std::wstring& aReferer, bool aBinaryData, bool aUseCache,
                               TOnProgressEvent aProgress, bool aToFile, int64_t aMaxBytes,
                               std::shared_ptr<detail::TransferLink> link)
    : cls::TThread(true),
      FTAgent(aAgent),
      FTURL(aURL),
      FTFileName(aFileName),
      FTUserName(aUserName),
      FTPassword(aPassword),
      FTPostQuery(aPostQuery),
      FTReferer(aReferer),
      FTBinaryData(aBinaryData),
      FTUseCache(aUseCache),
      FTToFile(aToFile),
      FTProgress(std::move(aProgress)),
      FTMaxBytes(aMaxBytes),
      FLink(std::move(link)) {
    FreeOnTerminate = true;
}

bool THTTPGetThread::AbortRequested() const { return Terminated() || FLink->aborted; }

void THTTPGetThread::Execute() {
    FTResult = false;
    Transfer();
}

void THTTPGetThread::Transfer() {
    const THttpTarget target = SplitHttpUrl(FTURL);
    if (!target.Valid || AbortRequested()) return;
    HANDLE abortEvent = FLink->abortEvent.get();

    InternetHandle root(InternetOpenW(FTAgent.empty() ? nullptr : FTAgent.c_str(),
                                      INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                      INTERNET_FLAG_ASYNC));
    if (!root) return;
    // Without the callback a pending call would never be seen to finish.
    if (InternetSetStatusCallbackW(root.get(), StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        return;
    InternetHandle connection(InternetConnectW(
        root.get(), target.Host.c_str(), target.Port,
        FTUserName.empty() ? nullptr : FTUserName.c_str(),
        FTPassword.empty() ? nullptr : FTPassword.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return;

    // Bypassing the cache means not filling it either: otherwise every
    // download leaves a second copy of itself there.
    DWORD flags = FTUseCache ? 0 : INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (target.Secure) flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION;
    const bool post = !FTPostQuery.empty();

    auto io = std::make_shared<IoContext>();
    for (wchar_t c : FTPostQuery) io->postBody.push_back(static_cast<char>(c));
    auto* holder = new IoHolder(io);
    HINTERNET rawRequest =
        HttpOpenRequestW(connection.get(), post ? L"POST" : L"GET", target.Path.c_str(), nullptr,
                         FTReferer.c_str(), nullptr, flags, reinterpret_cast<DWORD_PTR>(holder));
    if (!rawRequest) {
        // A handle that died inside the call may already have released it.
        if (!io->handleClosed) delete holder;
        return;
    }
    // From here the handle's closing notification frees the holder.
    InternetHandle request(rawRequest);

    static const wchar_t formHeader[] = L"Content-Type: application/x-www-form-urlencoded";
    bool sent = Complete(*io, abortEvent, [&] {
        return post ? HttpSendRequestW(request.get(), formHeader, DWORD(wcslen(formHeader)),
                                       io->postBody.data(), DWORD(io->postBody.size()))
                    : HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0);
    });
    if (!sent || AbortRequested()) return;

    // A connection that closed before any status line counts as a failed send.
    DWORD status = 0, statusSize = sizeof(status);
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr) ||
        status == 0)
        return;
    FTStatusCode = static_cast<int>(status);

    wchar_t lengthText[512] = {};
    DWORD lengthSize = sizeof(lengthText);
    bool hasLength =
        HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr);
    if (AbortRequested()) return;
    if (!hasLength && FTBinaryData) return;
    if (hasLength && !ParseContentLength(lengthText, FTFileSize)) return;

    cls::FileHandle file;
    if (FTToFile) {
        file.reset(CreateFileW(FTFileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
    } else {
        FTStringResult.clear();
    }

    BytesReaded = 0;
    bool stoppedEarly = false;  // abort, write failure or size cap
    for (;;) {
        if (AbortRequested()) {
            stoppedEarly = true;
            break;
        }
        io->bytes = 0;
        bool ok = Complete(*io, abortEvent, [&] {
            return InternetReadFile(request.get(), io->buffer, ReadBlockSize, &io->bytes);
        });
        if (!ok) break;
        BytesToRead = io->bytes;
        if (BytesToRead == 0) {
            FTEndedCleanly = true;
            break;
        }
        if (FTToFile) {
            if (!cls::WriteAll(file.get(), std::string_view(io->buffer, BytesToRead))) {
                stoppedEarly = true;
                break;
            }
        } else {
            // One character per byte.
            for (DWORD i = 0; i < BytesToRead; ++i)
                FTStringResult.push_back(static_cast<unsigned char>(io->buffer[i]));
        }
        BytesReaded += BytesToRead;
        if (FTMaxBytes > 0 && BytesReaded > FTMaxBytes) {
            stoppedEarly = true;
            break;
        }
        if (FTProgress) Synchronize([this] { UpdateProgress(); });
    }
    if (stoppedEarly || AbortRequested()) return;
    if (FTToFile)
        FTResult = FTFileSize == BytesReaded;
    else
        FTResult = BytesReaded > 0;
    if (FTStatusCode >= 400) FTResult = false;
}

void THTTPGetThread::UpdateProgress() {
    if (THTTPGet* owner = FLink->owner) owner->DoProgress(this, FTFileSize, BytesReaded);
}

// ---------------------------------------------------------------------------

THTTPGet::THTTPGet(cls::TComponent* owner) : cls::TComponent(owner), Agent(DefaultAgent) {}

THTTPGet::~THTTPGet() {
    Abort();
    if (FLink) FLink->owner = nullptr;
}

void THTTPGet::GetFile() { StartTransfer(true); }

void THTTPGet::GetString() { StartTransfer(false); }

void THTTPGet::StartTransfer(bool toFile) {
    if (FThread) return;
    auto link = std::make_shared<detail::TransferLink>(this);
    auto* worker = new THTTPGetThread(Agent, URL, FileName, UserName, Password, PostQuery, Referer,
                                      BinaryData, UseCache, OnProgress, toFile, MaxBytes, link);
    worker->OnTerminate = [link](cls::TThread* t) {
        link->finished = true;
        if (THTTPGet* owner = link->owner) owner->ThreadTerminate(static_cast<THTTPGetThread*>(t));
    };
    FThread = worker;
    FLink = link;
    worker->Start();
    if (!WaitThread) return;

    // The worker's synchronised calls and its completion arrive as messages;
    // nothing here may touch this object, which a dispatched message can free.
    bool sawQuit = false;
    int quitCode = 0;
    while (!link->finished) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                sawQuit = true;
                quitCode = static_cast<int>(msg.wParam);
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (sawQuit) cls::RepostQuit(quitCode);
}

void THTTPGet::ThreadTerminate(THTTPGetThread* worker) {
    auto link = FLink;
    // An abort decides here, whatever the worker concluded meanwhile.
    FResult = worker->FTResult && !link->aborted;
    FStatusCode = worker->FTStatusCode;
    FEndedCleanly = worker->FTEndedCleanly;
    FBytesRead = worker->BytesReaded;
    FContentLength = worker->FTFileSize;
    // An event handler may free this component: only a live one is reset.
    cls::ScopeExit idle([this, link] {
        if (link->owner) {
            FThread = nullptr;
            FLink.reset();
        }
    });
    if (!FResult)
        DoError();
    else if (worker->FTToFile)
        DoDoneFile(worker->FTFileName, worker->FTFileSize);
    else
        DoDoneString(worker->FTStringResult);
}

void THTTPGet::Abort() {
    if (!FThread) return;
    FLink->aborted = true;
    SetEvent(FLink->abortEvent.get());
    FThread->Terminate();
}

bool THTTPGet::Busy() const { return FThread != nullptr; }
bool THTTPGet::Result() const { return FResult; }
int THTTPGet::StatusCode() const { return FStatusCode; }
bool THTTPGet::EndedCleanly() const { return FEndedCleanly; }
int64_t THTTPGet::BytesRead() const { return FBytesRead; }
bool THTTPGet::ArrivedWhole() const {
    return FResult || (FContentLength == 0 && FEndedCleanly && FStatusCode > 0 && FStatusCode < 400);
}
int64_t THTTPGet::ContentLength() const { return FContentLength; }

void THTTPGet::DoProgress(cls::TThread* sender, int64_t total, int64_t readed) {
    if (OnProgress) OnProgress(sender, total, readed);
}

// The end events run through a copy of their handler: one that pumps
// messages may restart the transfer and so reassign the event, which must
// not destroy the handler while it still runs.
void THTTPGet::DoDoneFile(const std::wstring& fileName, int64_t size) {
    if (TOnDoneFileEvent handler = OnDoneFile) handler(this, fileName, size);
}

void THTTPGet::DoDoneString(const std::wstring& result) {
    if (TOnDoneStringEvent handler = OnDoneString) handler(this, result);
}

void THTTPGet::DoError() {
    if (TNotifyEvent handler = OnError) handler(this);
}

}  // namespace engine
