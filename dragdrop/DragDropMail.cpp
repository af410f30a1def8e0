#include "dragdrop/DragDropMail.h"

#include <utility>

#include "dragdrop/DragDropFile.h"
#include "dragdrop/DragDropHTML.h"
#include "dragdrop/DropTarget.h"
#include "dragdrop/MailLibrary.h"

namespace dragdrop {

namespace {
constexpr TConversionCapabilities kBoth = ccWriteToDataFormat | ccReadFromDataFormat;

TFileGroupDescriptorCustomClipboardFormat* AsDescriptor(TClipboardFormat& format) {
    return format.Class().InheritsFrom(TFileGroupDescriptorCustomClipboardFormat::ClassInfo)
               ? static_cast<TFileGroupDescriptorCustomClipboardFormat*>(&format)
               : nullptr;
}

bool IsStorageContents(TClipboardFormat& format) {
    return format.Class().InheritsFrom(TFileContentsStorageClipboardFormat::ClassInfo);
}
}  // namespace

// ---- storages ----

const DataFormatClass TStorageDataFormat::ClassInfo{L"TStorageDataFormat", &TCustomDataFormat::ClassInfo,
                                                    &MakeDataFormat<TStorageDataFormat>, nullptr};

TStorageDataFormat::TStorageDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner) {
    storages_.OnChanging = [this](TNamedInterfaceList&) { Changing(); };
}

// Detached first: nobody is told of changes to a data format going away.
TStorageDataFormat::~TStorageDataFormat() {
    storages_.OnChanging = nullptr;
    storages_.Clear();
}

void TStorageDataFormat::Clear() {
    Changing();
    storages_.Clear();
}

bool TStorageDataFormat::Assign(TClipboardFormat& source) {
    if (IsStorageContents(source)) {
        storages_.Assign(static_cast<TFileContentsStorageClipboardFormat&>(source).Storages());
        return true;
    }
    // The names arrive after the storages; a descriptor of another count
    // does not describe them.
    if (auto* group = AsDescriptor(source); group && group->Count() == storages_.Count()) {
        for (int i = 0; i < storages_.Count(); ++i) storages_.SetNames(i, group->Filenames(i));
        return true;
    }
    return TCustomDataFormat::Assign(source);
}

bool TStorageDataFormat::AssignTo(TClipboardFormat& dest) {
    if (IsStorageContents(dest)) {
        static_cast<TFileContentsStorageClipboardFormat&>(dest).Storages().Assign(storages_);
        return true;
    }
    if (auto* group = AsDescriptor(dest)) {
        bool named = false;
        for (int i = 0; i < storages_.Count() && !named; ++i) named = !storages_.Names(i).empty();
        if (named) {
            group->Clear();
            group->SetCount(storages_.Count());
            for (int i = 0; i < storages_.Count(); ++i) group->SetFilename(i, storages_.Names(i));
            return true;
        }
    }
    return TCustomDataFormat::AssignTo(dest);
}

// ---- the message session ----

TMessages::~TMessages() {
    messages_.clear();
    // Nobody can end the session later: close it even when locked.
    if (session_) closeSession_(std::exchange(session_, nullptr));
}

void TMessages::CheckSession() const {
    if ((session_ == nullptr) != (sessionCount_ == 0))
        throw EDragDropAssertion("Message session and session count disagree");
}

void TMessages::Clear() {
    messages_.clear();
    EndSession();
}

void TMessages::BeginSession() {
    CheckSession();
    if (sessionCount_ != 0) return;
    const MailLibraryEntryPoints& mail = LoadMailLibrary();
    void* session = nullptr;
    SCODE result = mail.OpenIMsgSession(mail.MAPIGetDefaultMalloc(), 0, &session);
    if (FAILED(result)) throw EOleError(result);
    session_ = session;
    closeSession_ = mail.CloseIMsgSession;
    sessionCount_ = 1;
}

void TMessages::EndSession() {
    CheckSession();
    if (sessionCount_ <= 0 || sessionLock_ > 0) return;
    if (--sessionCount_ == 0) closeSession_(std::exchange(session_, nullptr));
}

void TMessages::UnlockSession() {
    if (--sessionLock_ == 0) EndSession();
}

// ---- mail ----

const DataFormatClass TOutlookDataFormat::ClassInfo{L"TOutlookDataFormat", &TStorageDataFormat::ClassInfo,
                                                    &MakeDataFormat<TOutlookDataFormat>, &TOutlookDataFormat::MapFormats};

TOutlookDataFormat::TOutlookDataFormat(TDragDropComponent* owner)
    : TStorageDataFormat(owner), messages_(std::make_unique<TMessages>(Storages())) {}

TOutlookDataFormat::~TOutlookDataFormat() { messages_.reset(); }

void TOutlookDataFormat::MapFormats() {
    MapClipboardFormat(ClassInfo, TFileContentsStorageClipboardFormat::ClassInfo, 0, kBoth);
    MapClipboardFormat(ClassInfo, TAnsiFileGroupDescriptorClipboardFormat::ClassInfo, 1, kBoth);
    MapClipboardFormat(ClassInfo, TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo, 1, kBoth);
}

void TOutlookDataFormat::Clear() {
    TStorageDataFormat::Clear();
    messages_->Clear();
}

// ---- registrations ----

void RegisterHTMLMailDataFormats() {
    TCustomDataFormat::RegisterDataFormat(THTMLDataFormat::ClassInfo);
    TCustomDataFormat::RegisterDataFormat(TOutlookDataFormat::ClassInfo);
}

void RegisterHTMLMailClipboardFormats() {
    TClipboardFormat::RegisterFormat(THTMLClipboardFormat::ClassInfo);
    TClipboardFormat::RegisterFormat(TRFC822ClipboardFormat::ClassInfo);
}

}  // namespace dragdrop
