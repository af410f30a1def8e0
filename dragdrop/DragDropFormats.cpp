#include "dragdrop/DragDropFormats.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "classlib/Strings.h"

namespace dragdrop {

namespace {
constexpr ULONG kTransferBlock = 0x100000;  // reads of at most 1 MiB
constexpr DWORD kAllMedia = 0xFFFFFFFF;
}  // namespace

// ---- lists ----

int TStreamList::AddNamed(cls::ComPtr<IStream> stream, const std::wstring& name) {
    DoChanging();
    streams_.emplace_back(name, std::move(stream));
    return Count() - 1;
}

void TStreamList::Assign(TStreamList& value) {
    if (&value == this) return;
    Clear();
    streams_ = std::move(value.streams_);
    value.streams_.clear();
}

cls::ComPtr<IStream> TStreamList::Delete(int index) {
    auto& entry = streams_.at(index);
    DoChanging();
    cls::ComPtr<IStream> s = std::move(entry.second);
    streams_.erase(streams_.begin() + index);
    return s;
}

void TStreamList::Clear() {
    DoChanging();
    streams_.clear();
}

int TNamedInterfaceList::AddNamed(IUnknown* item, const std::wstring& name) {
    DoChanging();
    list_.emplace_back(name, cls::ComPtr<IUnknown>(item, true));
    return Count() - 1;
}

void TNamedInterfaceList::Assign(const TNamedInterfaceList& value) {
    DoChanging();
    int n = value.Count();  // the same list assigned to itself doubles once
    for (int i = 0; i < n; ++i) AddNamed(value.Items(i), value.Names(i));
}

void TNamedInterfaceList::Delete(int index) {
    list_.at(index);
    DoChanging();
    list_.erase(list_.begin() + index);
}

void TNamedInterfaceList::Clear() {
    DoChanging();
    list_.clear();
}

int TMemoryList::Add(std::vector<uint8_t> block) {
    list_.push_back(std::move(block));
    return Count() - 1;
}

// ---- stream adapter ----

HRESULT STDMETHODCALLTYPE TFixedStreamAdapter::QueryInterface(REFIID riid, void** obj) {
    if (!obj) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) ||
        IsEqualIID(riid, IID_ISequentialStream)) {
        *obj = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TFixedStreamAdapter::Release() {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE TFixedStreamAdapter::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* pos) {
    HRESULT hr = inner_->Seek(move, origin, pos);
    hasSeeked_ = true;
    return hr;
}

HRESULT STDMETHODCALLTYPE TFixedStreamAdapter::Read(void* pv, ULONG cb, ULONG* read) {
    if (!hasSeeked_) Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return inner_->Read(pv, cb, read);
}

HRESULT STDMETHODCALLTYPE TFixedStreamAdapter::Stat(STATSTG* stat, DWORD flag) {
    if (!stat) return STG_E_INVALIDPOINTER;
    HRESULT hr = inner_->Stat(stat, flag);
    if (SUCCEEDED(hr) && stat->pwcsName) CoTaskMemFree(stat->pwcsName);
    stat->pwcsName = nullptr;
    return hr;
}

HRESULT STDMETHODCALLTYPE TFixedStreamAdapter::CopyTo(IStream* stm, ULARGE_INTEGER cbIn, ULARGE_INTEGER* cbRead,
                                                      ULARGE_INTEGER* cbWritten) {
    try {
        if (!stm) return STG_E_INVALIDPOINTER;
        HRESULT result = S_OK;
        int64_t totalRead = 0, totalWritten = 0;
        int64_t cb = static_cast<int64_t>(cbIn.QuadPart);
        if (cb < 0) {
            // Everything from the position on; a stream left at its end is
            // copied from the start.
            ULARGE_INTEGER pos{}, size{};
            inner_->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &pos);
            STATSTG st{};
            if (SUCCEEDED(inner_->Stat(&st, STATFLAG_NONAME))) size = st.cbSize;
            if (pos.QuadPart == size.QuadPart) {
                inner_->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
                pos.QuadPart = 0;
            }
            hasSeeked_ = true;
            cb = static_cast<int64_t>(size.QuadPart - pos.QuadPart);
        }
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(cb, 0), kTransferBlock)));
        while (cb > 0) {
            ULONG want = static_cast<ULONG>(std::min<int64_t>(buffer.size(), cb)), got = 0;
            inner_->Read(buffer.data(), want, &got);
            if (got == 0) break;
            totalRead += got;
            ULONG wrote = 0;
            result = stm->Write(buffer.data(), got, &wrote);
            totalWritten += wrote;
            if (SUCCEEDED(result) && wrote < got) result = E_FAIL;
            if (FAILED(result)) break;
            cb -= wrote;
        }
        if (cbRead) cbRead->QuadPart = static_cast<ULONGLONG>(totalRead);
        if (cbWritten) cbWritten->QuadPart = static_cast<ULONGLONG>(totalWritten);
        return result;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

cls::ComPtr<IStream> StorageToStream(IStorage* storage) {
    if (!storage) return nullptr;
    HGlobal block(GlobalAlloc(GMEM_MOVEABLE, 0));
    if (!block) return nullptr;
    {
        cls::ComPtr<ILockBytes> bytes;
        if (FAILED(CreateILockBytesOnHGlobal(block.get(), FALSE, bytes.put()))) return nullptr;
        cls::ComPtr<IStorage> copy;
        if (FAILED(StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0,
                                                copy.put())))
            return nullptr;
        if (FAILED(storage->CopyTo(0, nullptr, nullptr, copy.get()))) return nullptr;
        if (FAILED(copy->Commit(STGC_DEFAULT))) return nullptr;
    }
    cls::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.put()))) return nullptr;
    block.release();
    return stream;
}

// ---- simple formats ----

const ClipboardFormatClass TCustomSimpleClipboardFormat::ClassInfo{L"TCustomSimpleClipboardFormat",
                                                                   &TClipboardFormat::ClassInfo, nullptr, ddRead,
                                                                   nullptr};

namespace {
// The size a stream states, as far as it matters under the cap: one byte
// more than the cap tells "too big" without trusting the rest.
int StatedSize(IStream* stream, int cap) {
    STATSTG st{};
    if (!stream || FAILED(stream->Stat(&st, STATFLAG_NONAME))) return -1;
    return static_cast<int>(std::min<ULONGLONG>(st.cbSize.QuadPart, static_cast<ULONGLONG>(cap) + 1));
}
}  // namespace

bool TCustomSimpleClipboardFormat::ReadMedium(IDataObject* dataObject, const STGMEDIUM& medium) {
    const int cap = MaxReadSize();
    switch (medium.tymed) {
    case TYMED_HGLOBAL: {
        SIZE_T size = GlobalSize(medium.hGlobal);
        if (size == 0) return true;
        if (size > static_cast<SIZE_T>(cap)) return false;
        return ReadDataFromMedium(dataObject, medium, static_cast<int>(size));
    }
    case TYMED_ISTREAM: {
        int size = StatedSize(medium.pstm, cap);
        if (size < 0) return false;
        if (size == 0) return true;
        return ReadDataFromMedium(dataObject, medium, size);
    }
    case TYMED_ISTORAGE: {
        cls::ComPtr<IStream> stream = StorageToStream(medium.pstg);
        int size = StatedSize(stream.get(), cap);
        if (size < 0) return false;
        STGMEDIUM temp{};
        temp.tymed = TYMED_ISTREAM;
        temp.pstm = stream.get();
        return ReadDataFromMedium(dataObject, temp, size);
    }
    default:
        return false;
    }
}

bool TCustomSimpleClipboardFormat::ReadDataFromMedium(IDataObject*, const STGMEDIUM& medium, int size) {
    // More than a format of this kind ever holds is the source's mistake
    // or malice; the cap also bounds what a lying size makes us allocate.
    if (size <= 0 || size > MaxReadSize() + 1) return false;
    switch (medium.tymed) {
    case TYMED_HGLOBAL: {
        // The block's own size bounds the read, not a size the caller claims.
        if (size > MaxReadSize() || static_cast<SIZE_T>(size) > GlobalSize(medium.hGlobal)) return false;
        GlobalLockGuard lock(medium.hGlobal);
        return lock.Data() && ReadData(lock.Data(), size);
    }
    case TYMED_ISTREAM: {
        if (!medium.pstm) return false;
        medium.pstm->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
        // A stream's reported size is the source's word only: the buffer
        // grows with what really arrives, and only that is handed on.
        std::vector<uint8_t> buffer;
        size_t got = 0;
        HRESULT hr = S_OK;
        try {
            while (got < static_cast<size_t>(size)) {
                ULONG want = static_cast<ULONG>(std::min<size_t>(static_cast<size_t>(size) - got, kTransferBlock));
                buffer.resize(got + want);
                ULONG n = 0;
                hr = medium.pstm->Read(buffer.data() + got, want, &n);
                if (FAILED(hr) || n == 0) break;
                got += std::min<ULONG>(n, want);
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (FAILED(hr) || got == 0 || got > static_cast<size_t>(MaxReadSize())) return false;
        return ReadData(buffer.data(), static_cast<int>(got));
    }
    default:
        return false;
    }
}

bool TCustomSimpleClipboardFormat::CopyMediumData(const STGMEDIUM& medium, int size, void* buffer) {
    if (!buffer || size <= 0) return false;
    switch (medium.tymed) {
    case TYMED_HGLOBAL: {
        if (static_cast<SIZE_T>(size) > GlobalSize(medium.hGlobal)) return false;
        GlobalLockGuard lock(medium.hGlobal);
        if (!lock.Data()) return false;
        std::memcpy(buffer, lock.Data(), size);
        return true;
    }
    case TYMED_ISTREAM: {
        if (!medium.pstm) return false;
        medium.pstm->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
        auto* p = static_cast<uint8_t*>(buffer);
        ULONG left = static_cast<ULONG>(size), n = 0;
        HRESULT hr;
        do {
            n = 0;
            hr = medium.pstm->Read(p, left, &n);
            n = std::min(n, left);
            p += n;
            left -= n;
        } while (SUCCEEDED(hr) && n > 0 && left > 0);
        return SUCCEEDED(hr);
    }
    default:
        return false;
    }
}

bool TCustomSimpleClipboardFormat::WriteMedium(const FORMATETC& in, STGMEDIUM& medium) {
    int size = GetSize();
    if (size <= 0) return false;
    if (in.tymed != kAllMedia && (in.tymed & TYMED_ISTREAM) && (formatEtc_.tymed & TYMED_ISTREAM)) {
        HGlobal block = AllocGlobal(size);
        if (!block) return false;
        bool written;
        {
            GlobalLockGuard lock(block.get());
            written = lock.Data() && WriteData(lock.Data(), size);
        }
        if (!written) return false;
        cls::ComPtr<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.put()))) return false;
        block.release();
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, nullptr);
        medium.pstm = new TFixedStreamAdapter(std::move(stream));
        medium.tymed = TYMED_ISTREAM;
        medium.pUnkForRelease = nullptr;
        return true;
    }
    if ((in.tymed & TYMED_HGLOBAL) && (formatEtc_.tymed & TYMED_HGLOBAL)) {
        HGlobal block = AllocGlobal(size);
        if (!block) return false;
        {
            GlobalLockGuard lock(block.get());
            if (!lock.Data() || !WriteData(lock.Data(), size)) return false;
        }
        medium.hGlobal = block.release();
        medium.tymed = TYMED_HGLOBAL;
        medium.pUnkForRelease = nullptr;
        return true;
    }
    return false;
}

const ClipboardFormatClass TCustomAnsiStringClipboardFormat::ClassInfo{
    L"TCustomAnsiStringClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead, nullptr};

bool TCustomAnsiStringClipboardFormat::ReadData(const void* value, int size) {
    data_.assign(static_cast<const char*>(value), size);
    if (TrimZeroes) {
        size_t z = data_.find('\0');
        if (z != std::string::npos) data_.resize(z);
    }
    return true;
}

bool TCustomAnsiStringClipboardFormat::WriteData(void* value, int size) {
    if (size < 0 || static_cast<size_t>(size) > data_.size() + 1) return false;
    std::memcpy(value, data_.c_str(), size);  // c_str's NUL is the byte after the last
    return true;
}

const ClipboardFormatClass TCustomStringListClipboardFormat::ClassInfo{
    L"TCustomStringListClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead, nullptr};

bool TCustomStringListClipboardFormat::ReadData(const void* value, int size) {
    auto* p = static_cast<const char*>(value);
    size_t n = static_cast<size_t>(std::max(size, 0));
    if (const void* z = std::memchr(p, 0, n)) n = static_cast<const char*>(z) - p;
    lines_.SetText(cls::CodePageToWide(std::string_view(p, n), CP_ACP));
    return true;
}

int TCustomStringListClipboardFormat::GetSize() const {
    return static_cast<int>(cls::WideToCodePage(lines_.Text(), CP_ACP).size()) + 1;
}

bool TCustomStringListClipboardFormat::WriteData(void* value, int size) {
    std::string s = cls::WideToCodePage(lines_.Text(), CP_ACP);
    if (size < 0 || static_cast<size_t>(size) != s.size() + 1) return false;
    std::memcpy(value, s.c_str(), size);
    return true;
}

const ClipboardFormatClass TCustomDWORDClipboardFormat::ClassInfo{
    L"TCustomDWORDClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead, nullptr};

bool TCustomDWORDClipboardFormat::ReadData(const void* value, int size) {
    if (size < 4) return false;
    std::memcpy(&value_, value, 4);
    return true;
}

bool TCustomDWORDClipboardFormat::WriteData(void* value, int size) {
    if (size != 4) return false;
    std::memcpy(value, &value_, 4);
    return true;
}

// ---- feedback formats ----

namespace {
RegisteredFormatId g_preferred(L"Preferred DropEffect");
RegisteredFormatId g_performed(L"Performed DropEffect");
RegisteredFormatId g_logicalPerformed(L"Logical Performed DropEffect");
RegisteredFormatId g_pasteSucceeded(L"Paste Succeeded");
RegisteredFormatId g_inShellDragLoop(L"InShellDragLoop");
RegisteredFormatId g_targetCLSID(L"TargetCLSID");
}  // namespace

CLIPFORMAT TPreferredDropEffectClipboardFormat::GetClassClipboardFormat() { return g_preferred.Get(); }
CLIPFORMAT TPerformedDropEffectClipboardFormat::Id() { return g_performed.Get(); }
CLIPFORMAT TLogicalPerformedDropEffectClipboardFormat::Id() { return g_logicalPerformed.Get(); }
CLIPFORMAT TPasteSucceededClipboardFormat::Id() { return g_pasteSucceeded.Get(); }
CLIPFORMAT TInShellDragLoopClipboardFormat::Id() { return g_inShellDragLoop.Get(); }
CLIPFORMAT TTargetCLSIDClipboardFormat::Id() { return g_targetCLSID.Get(); }

const ClipboardFormatClass TPreferredDropEffectClipboardFormat::ClassInfo{
    L"TPreferredDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TPreferredDropEffectClipboardFormat>, ddRead, nullptr};
const ClipboardFormatClass TPerformedDropEffectClipboardFormat::ClassInfo{
    L"TPerformedDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TPerformedDropEffectClipboardFormat>, ddWrite, nullptr};
const ClipboardFormatClass TLogicalPerformedDropEffectClipboardFormat::ClassInfo{
    L"TLogicalPerformedDropEffectClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TLogicalPerformedDropEffectClipboardFormat>, ddWrite, nullptr};
const ClipboardFormatClass TPasteSucceededClipboardFormat::ClassInfo{
    L"TPasteSucceededClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TPasteSucceededClipboardFormat>, ddWrite, nullptr};
const ClipboardFormatClass TInShellDragLoopClipboardFormat::ClassInfo{
    L"TInShellDragLoopClipboardFormat", &TCustomDWORDClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TInShellDragLoopClipboardFormat>, ddRead, nullptr};
const ClipboardFormatClass TTargetCLSIDClipboardFormat::ClassInfo{
    L"TTargetCLSIDClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TTargetCLSIDClipboardFormat>, ddWrite, nullptr};

bool TTargetCLSIDClipboardFormat::ReadData(const void* value, int size) {
    if (size != 16) return false;
    std::memcpy(&clsid_, value, 16);
    return true;
}

bool TTargetCLSIDClipboardFormat::WriteData(void* value, int size) {
    if (size != 16) return false;
    std::memcpy(value, &clsid_, 16);
    return true;
}

// ---- data formats ----

const DataFormatClass TDataStreamDataFormat::ClassInfo{L"TDataStreamDataFormat", &TCustomDataFormat::ClassInfo,
                                                       &MakeDataFormat<TDataStreamDataFormat>, nullptr};

TDataStreamDataFormat::TDataStreamDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner) {
    streams_.OnChanging = [this](TStreamList&) { Changing(); };
}

TDataStreamDataFormat::~TDataStreamDataFormat() {
    streams_.OnChanging = nullptr;
    streams_.Clear();
}

void TDataStreamDataFormat::Clear() {
    Changing();
    streams_.Clear();
}

namespace {
void MapFeedbackFormats() {
    struct Access : TFeedbackDataFormat {
        static void Map(const ClipboardFormatClass& c) {
            MapClipboardFormat(TFeedbackDataFormat::ClassInfo, c, 0, ccWriteToDataFormat | ccReadFromDataFormat);
        }
    };
    Access::Map(TPreferredDropEffectClipboardFormat::ClassInfo);
    Access::Map(TPerformedDropEffectClipboardFormat::ClassInfo);
    Access::Map(TPasteSucceededClipboardFormat::ClassInfo);
    Access::Map(TInShellDragLoopClipboardFormat::ClassInfo);
    Access::Map(TTargetCLSIDClipboardFormat::ClassInfo);
    Access::Map(TLogicalPerformedDropEffectClipboardFormat::ClassInfo);
}
}  // namespace

const DataFormatClass TFeedbackDataFormat::ClassInfo{L"TFeedbackDataFormat", &TCustomDataFormat::ClassInfo,
                                                     &MakeDataFormat<TFeedbackDataFormat>, &MapFeedbackFormats};

void TFeedbackDataFormat::Clear() {
    Changing();
    preferred_ = performed_ = pasteSucceeded_ = 0;
    inShellDragLoop_ = gotInShellDragLoop_ = false;
}

bool TFeedbackDataFormat::Assign(TClipboardFormat& source) {
    if (auto* f = dynamic_cast<TPreferredDropEffectClipboardFormat*>(&source)) preferred_ = f->Value();
    else if (auto* f = dynamic_cast<TPerformedDropEffectClipboardFormat*>(&source)) performed_ = f->Value();
    else if (auto* f = dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(&source)) logicalPerformed_ = f->Value();
    else if (auto* f = dynamic_cast<TPasteSucceededClipboardFormat*>(&source)) pasteSucceeded_ = f->Value();
    else if (auto* f = dynamic_cast<TTargetCLSIDClipboardFormat*>(&source)) targetCLSID_ = f->CLSID();
    else if (auto* f = dynamic_cast<TInShellDragLoopClipboardFormat*>(&source)) {
        inShellDragLoop_ = f->InShellDragLoop();
        gotInShellDragLoop_ = true;
    } else
        return TCustomDataFormat::Assign(source);
    return true;
}

bool TFeedbackDataFormat::AssignTo(TClipboardFormat& dest) {
    if (auto* f = dynamic_cast<TPreferredDropEffectClipboardFormat*>(&dest)) f->SetValue(preferred_);
    else if (auto* f = dynamic_cast<TPerformedDropEffectClipboardFormat*>(&dest)) f->SetValue(performed_);
    else if (auto* f = dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(&dest)) f->SetValue(logicalPerformed_);
    else if (auto* f = dynamic_cast<TPasteSucceededClipboardFormat*>(&dest)) f->SetValue(pasteSucceeded_);
    else if (auto* f = dynamic_cast<TTargetCLSIDClipboardFormat*>(&dest)) f->SetCLSID(targetCLSID_);
    else if (auto* f = dynamic_cast<TInShellDragLoopClipboardFormat*>(&dest)) f->SetInShellDragLoop(inShellDragLoop_);
    else
        return TCustomDataFormat::AssignTo(dest);
    return true;
}

bool TFeedbackDataFormat::HasData() const {
    return preferred_ != 0 || performed_ != 0 || pasteSucceeded_ != 0 || gotInShellDragLoop_;
}

bool TFeedbackDataFormat::NeedsData() const {
    return preferred_ == 0 || performed_ == 0 || pasteSucceeded_ == 0 || !gotInShellDragLoop_;
}

// ---- registration ----

namespace {
int g_formatsUnitCount = 0;
}

void RegisterFormatsUnit() {
    if (g_formatsUnitCount++ > 0) return;
    TCustomDataFormat::RegisterDataFormat(TDataStreamDataFormat::ClassInfo);
    TCustomDataFormat::RegisterDataFormat(TFeedbackDataFormat::ClassInfo);
    for (auto* c : {&TPreferredDropEffectClipboardFormat::ClassInfo, &TPerformedDropEffectClipboardFormat::ClassInfo,
                    &TLogicalPerformedDropEffectClipboardFormat::ClassInfo, &TPasteSucceededClipboardFormat::ClassInfo,
                    &TInShellDragLoopClipboardFormat::ClassInfo, &TTargetCLSIDClipboardFormat::ClassInfo})
        TClipboardFormat::RegisterFormat(*c);
}

void UnregisterFormatsUnit() {
    if (g_formatsUnitCount > 0) --g_formatsUnitCount;
}

}  // namespace dragdrop
