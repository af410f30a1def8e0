// One HTTP(S) transfer over WinInet on a worker thread of its own, into a
// file or a string, with progress, done and error events on the GUI thread.
// With WaitThread the start call returns only when the transfer has ended,
// dispatching the GUI thread's messages meanwhile.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "classlib/Component.h"
#include "classlib/Thread.h"

namespace engine {

class THTTPGetThread;

// Sender is the worker thread object.
using TOnProgressEvent = std::function<void(cls::TThread* sender, int64_t totalSize, int64_t readed)>;
class THTTPGet;
using TOnDoneFileEvent = std::function<void(THTTPGet* sender, const std::wstring& fileName, int64_t fileSize)>;
using TOnDoneStringEvent = std::function<void(THTTPGet* sender, const std::wstring& result)>;
using TNotifyEvent = std::function<void(THTTPGet* sender)>;

extern const wchar_t* const DefaultAgent;

namespace detail {
struct TransferLink;
}

class THTTPGet : public cls::TComponent {
public:
    explicit THTTPGet(cls::TComponent* owner);
    // Aborts a running transfer and detaches from it: its later progress and
    // completion never reach this object.
    ~THTTPGet() override;

    std::wstring Agent;   // DefaultAgent at creation; empty sends none
    bool BinaryData = false;
    std::wstring URL;
    bool UseCache = false;
    std::wstring FileName;
    std::wstring UserName, Password;
    std::wstring PostQuery;
    std::wstring Referer;
    bool WaitThread = false;
    // A transfer stops (and fails) past this many body bytes; 0: no cap.
    // Page fetches set one so a hostile server cannot exhaust memory.
    int64_t MaxBytes = 0;

    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString;
    TNotifyEvent OnError;

    // Start a transfer unless one of this component runs. Every transfer,
    // even one refused for its URL, ends through the worker's completion on
    // the GUI thread: without WaitThread no event fires inside these calls.
    void GetFile();
    void GetString();
    void Abort();

    bool Busy() const;
    // Of the last finished transfer.
    bool Result() const;
    // Final HTTP status of the last transfer; 0 when no response arrived.
    int StatusCode() const;
    // True when the last transfer's read loop ended at a clean end of data
    // rather than on a failed read or an abort.
    bool EndedCleanly() const;
    int64_t BytesRead() const;
    // The whole body of the last transfer is on hand: it succeeded, or the
    // response announced no size and its read loop ended cleanly on a
    // status below 400.
    bool ArrivedWhole() const;
    int64_t ContentLength() const;  // 0 when the response announced none

protected:
    virtual void DoProgress(cls::TThread* sender, int64_t total, int64_t readed);
    virtual void DoDoneFile(const std::wstring& fileName, int64_t size);
    virtual void DoDoneString(const std::wstring& result);
    virtual void DoError();

private:
    friend class THTTPGetThread;
    void StartTransfer(bool toFile);
    // The worker's completion handler, on the GUI thread.
    void ThreadTerminate(THTTPGetThread* worker);

    THTTPGetThread* FThread = nullptr;
    // Shared with the running worker; outlives this object when it is
    // destroyed mid-transfer.
    std::shared_ptr<detail::TransferLink> FLink;
    bool FResult = false;
    int FStatusCode = 0;
    bool FEndedCleanly = false;
    int64_t FBytesRead = 0;
    int64_t FContentLength = 0;
};

// The worker of one transfer: created suspended, so the component can hook
// up its completion before starting it; frees itself once that has run.
class THTTPGetThread : public cls::TThread {
public:
    THTTPGetThread(const std::wstring& aAgent, const std::wstring& aURL, const std::wstring& aFileName,
                   const std::wstring& aUserName, const std::wstring& aPassword,
                   const std::wstring& aPostQuery, const std::wstring& aReferer, bool aBinaryData,
                   bool aUseCache, TOnProgressEvent aProgress, bool aToFile, int64_t aMaxBytes,
                   std::shared_ptr<detail::TransferLink> link);

protected:
    void Execute() override;

private:
    friend class THTTPGet;
    void Transfer();
    void UpdateProgress();
    bool AbortRequested() const;

    std::wstring FTAgent, FTURL, FTFileName;
    std::wstring FTStringResult;
    std::wstring FTUserName, FTPassword, FTPostQuery, FTReferer;
    bool FTBinaryData, FTUseCache;
    bool FTResult = false;
    int64_t FTFileSize = 0;
    bool FTToFile;
    uint32_t BytesToRead = 0;
    int64_t BytesReaded = 0;
    TOnProgressEvent FTProgress;
    int64_t FTMaxBytes;
    int FTStatusCode = 0;
    bool FTEndedCleanly = false;
    std::shared_ptr<detail::TransferLink> FLink;
};

// Size of the file, -1 when there is none; the name is taken literally
// (no wildcards).
int64_t GetFileSize64(const std::wstring& fileName);

// An address split for WinInet. Valid is false for a scheme other than
// http:// or https:// (any case), an empty host or a port that is not one.
struct THttpTarget {
    bool Valid = false;
    bool Secure = false;
    std::wstring Host;
    uint16_t Port = 0;
    std::wstring Path;  // from the first "/" after the host, query included
};
THttpTarget SplitHttpUrl(const std::wstring& url);

// The decimal value of a Content-Length header; false when it is not one.
bool ParseContentLength(const std::wstring& text, int64_t& value);

}  // namespace engine
