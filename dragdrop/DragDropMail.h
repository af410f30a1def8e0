// Dropped virtual files as OLE storages, and on top of them the mail data
// format, which keeps what is needed to open dropped mail messages through
// the system's mail library.
#pragma once
#include <vector>

#include "classlib/Raii.h"
#include "dragdrop/DragDropFormats.h"

namespace dragdrop {

// Named storages, one per dropped virtual file; every change of the list
// fires OnChanging.
class TStorageDataFormat : public TCustomDataFormat {
public:
    explicit TStorageDataFormat(TDragDropComponent* owner);
    ~TStorageDataFormat() override;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TStorageInterfaceList& Storages() { return storages_; }

    void Clear() override;
    // "FileContents" as storages brings the storages, a file group
    // descriptor of the same count their names.
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override { return storages_.Count() > 0; }
    bool NeedsData() const override { return storages_.Count() == 0; }

private:
    TStorageInterfaceList storages_;
};

// The message session of the mail library over a storage list. A session
// opened by BeginSession stays open until EndSession brings the count back
// to 0 while no lock is held.
class TMessages {
public:
    explicit TMessages(TStorageInterfaceList& storages) : storages_(storages) {}
    ~TMessages();
    TMessages(const TMessages&) = delete;
    TMessages& operator=(const TMessages&) = delete;

    TStorageInterfaceList& Storages() { return storages_; }
    int Count() const { return storages_.Count(); }
    void* Session() const { return session_; }
    int SessionCount() const { return sessionCount_; }
    int SessionLock() const { return sessionLock_; }

    void Clear();
    void BeginSession();
    void EndSession();
    void LockSession() { ++sessionLock_; }
    void UnlockSession();

private:
    void CheckSession() const;
    TStorageInterfaceList& storages_;
    std::vector<cls::ComPtr<IUnknown>> messages_;
    void* session_ = nullptr;
    void(WINAPI* closeSession_)(void*) = nullptr;
    int sessionCount_ = 0;
    int sessionLock_ = 0;
};

// Dropped mail messages: their storages, names and the message session.
class TOutlookDataFormat : public TStorageDataFormat {
public:
    explicit TOutlookDataFormat(TDragDropComponent* owner);
    ~TOutlookDataFormat() override;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TMessages& Messages() { return *messages_; }
    void Clear() override;

private:
    static void MapFormats();
    std::unique_ptr<TMessages> messages_;
};

// Registrations of the HTML and mail formats, run by the Internet unit in
// its order: first the data formats, later the clipboard formats.
void RegisterHTMLMailDataFormats();
void RegisterHTMLMailClipboardFormats();

}  // namespace dragdrop
