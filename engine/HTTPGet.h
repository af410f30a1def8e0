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
    int64_t ContentLength() const;  // 0 when the response announced none

protected:
    virtual void DoProgress(cls::TThread* sender, int64_t total, int64_t readed);
    virtual void DoDoneFile(const std::wstring& fileName, int64_t size);
    virtual void DoDoneString(const std::wstring& result);
    virtual void DoError();
};

// Size of the file, -1 when there is none; the name is taken literally
// (no wildcards).
int64_t GetFileSize64(const std::wstring& fileName);

}  // namespace engine
