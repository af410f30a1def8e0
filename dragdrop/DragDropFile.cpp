#include "dragdrop/DragDropFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <typeinfo>

#include "classlib/Strings.h"
#include "dragdrop/DropTarget.h"

namespace dragdrop {

namespace {

RegisteredFormatId g_fileName(L"FileName");
RegisteredFormatId g_fileNameW(L"FileNameW");
RegisteredFormatId g_fileNameMap(L"FileNameMap");
RegisteredFormatId g_fileNameMapW(L"FileNameMapW");
RegisteredFormatId g_groupA(L"FileGroupDescriptor");
RegisteredFormatId g_groupW(L"FileGroupDescriptorW");
RegisteredFormatId g_contents(L"FileContents");

constexpr ULONG kCopyBlock = 0x10000;

uint32_t ReadU32(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::string ToAnsi(const std::wstring& s) { return cls::WideToCodePage(s, CP_ACP); }
std::wstring FromAnsi(std::string_view s) { return cls::CodePageToWide(s, CP_ACP); }

// A 16-bit name field, up to its NUL or its end.
std::wstring WideField(const uint8_t* field) {
    std::wstring name(kFileDescriptorNameChars, L'\0');
    std::memcpy(name.data(), field, kFileDescriptorNameChars * 2);
    name.resize(std::wcslen(name.c_str()));  // the string's own NUL bounds the search
    return name;
}

std::string AnsiField(const uint8_t* field) {
    auto* p = reinterpret_cast<const char*>(field);
    return std::string(p, strnlen(p, kFileDescriptorNameChars));
}

// The descriptor format the source offers, the preferred one first.
template <typename First, typename Second>
std::unique_ptr<TFileGroupDescriptorCustomClipboardFormat> OfferedDescriptor(IDataObject* dataObject) {
    std::unique_ptr<TFileGroupDescriptorCustomClipboardFormat> d = std::make_unique<First>();
    if (!d->HasValidFormats(dataObject)) d = std::make_unique<Second>();
    return d;
}

// Asks the source for FileContents once per item its file group descriptor
// names (or once, at index -1, without a descriptor) and hands each medium
// with the item's name to Take. Take returns false to give up the whole read.
template <typename First, typename Second, typename Take>
bool ForEachContentsMedium(IDataObject* dataObject, FORMATETC fe, Take take) {
    auto descriptor = OfferedDescriptor<First, Second>(dataObject);
    int count = 0;
    if (descriptor->GetData(dataObject)) {
        count = descriptor->Count();
        fe.lindex = 0;
    } else {
        fe.lindex = -1;
    }
    while (fe.lindex < count) {
        StgMedium medium;
        if (FAILED(dataObject->GetData(&fe, medium.put()))) break;
        int index = fe.lindex++;
        std::wstring name = index >= 0 && index < descriptor->Count() ? descriptor->GetFilename(index) : L"";
        if (!take(medium.get(), name)) return false;
    }
    return true;
}

}  // namespace

// ---- stream copies ----

cls::ComPtr<IStream> CopyToMemoryStream(IStream* source, ULONGLONG cap) {
    if (!source) return nullptr;
    STATSTG st{};
    // The stated size only bounds the copy; what really arrives is kept.
    const ULONGLONG stated = SUCCEEDED(source->Stat(&st, STATFLAG_NONAME)) ? st.cbSize.QuadPart : 0;
    const ULONGLONG limit = std::min(stated, cap);
    cls::ComPtr<IStream> copy;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, copy.put()))) return nullptr;
    // A memory stream grown write by write is copied again each time: its
    // room is set ahead, from the stated size when that is plausible, else
    // doubling as the data comes.
    ULONGLONG room = limit <= kContentsPresizeLimit ? limit : 0;
    if (room && FAILED(copy->SetSize(ULARGE_INTEGER{.QuadPart = room}))) room = 0;
    source->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<ULONGLONG>(limit, kCopyBlock)));
    ULONGLONG total = 0;
    while (total < limit) {
        ULONG want = static_cast<ULONG>(std::min<ULONGLONG>(limit - total, kCopyBlock)), got = 0;
        if (FAILED(source->Read(buffer.data(), want, &got)) || got == 0) break;
        got = std::min(got, want);
        if (total + got > room) {
            room = std::min(std::max(room * 2, total + got), limit);
            if (FAILED(copy->SetSize(ULARGE_INTEGER{.QuadPart = room}))) return nullptr;
        }
        ULONG written = 0;
        if (FAILED(copy->Write(buffer.data(), got, &written)) || written != got) return nullptr;
        total += got;
    }
    if (total == cap && stated > cap) {
        // Contents beyond the cap are refused rather than cut short.
        uint8_t probe = 0;
        ULONG got = 0;
        if (SUCCEEDED(source->Read(&probe, 1, &got)) && got > 0) return nullptr;
    }
    if (FAILED(copy->SetSize(ULARGE_INTEGER{.QuadPart = total}))) return nullptr;
    source->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    copy->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return copy;
}

// ---- name lists ----

bool MultiSzToStrings(const void* buffer, int size, bool wide, TUnicodeStrings& strings) {
    if (!buffer || size <= 0) return false;
    bool added = false;
    if (wide) {
        size_t chars = static_cast<size_t>(size) / 2;
        std::wstring all(chars, L'\0');
        std::memcpy(all.data(), buffer, chars * 2);
        size_t pos = 0;
        while (pos < chars && all[pos] != L'\0') {
            size_t end = all.find(L'\0', pos);
            if (end == std::wstring::npos) end = chars;
            strings.Add(all.substr(pos, end - pos));
            added = true;
            pos = end + 1;
        }
    } else {
        std::string_view all(static_cast<const char*>(buffer), static_cast<size_t>(size));
        size_t pos = 0;
        while (pos < all.size() && all[pos] != '\0') {
            size_t end = all.find('\0', pos);
            if (end == std::string_view::npos) end = all.size();
            strings.Add(FromAnsi(all.substr(pos, end - pos)));
            added = true;
            pos = end + 1;
        }
    }
    return added;
}

bool MultiSzToStrings(const void* buffer, int size, bool wide, cls::TStringList& strings) {
    TUnicodeStringsAdapter adapter(strings);
    return MultiSzToStrings(buffer, size, wide, adapter);
}

int MultiSzSize(const TUnicodeStrings& strings, bool wide) {
    int64_t size = wide ? 2 : 1;
    for (int i = 0; i < strings.Count(); ++i)
        size += wide ? (static_cast<int64_t>(strings.Get(i).size()) + 1) * 2
                     : static_cast<int64_t>(ToAnsi(strings.Get(i)).size()) + 1;
    return static_cast<int>(std::min<int64_t>(size, INT_MAX));
}

bool StringsToMultiSz(void* buffer, int size, bool wide, const TUnicodeStrings& strings) {
    if (!buffer || size <= 0) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    const size_t width = wide ? 2 : 1;
    // Room is kept for the list's end; a name that does not fit is cut.
    size_t limit = static_cast<size_t>(size) >= width ? static_cast<size_t>(size) - width : 0;
    size_t pos = 0;
    bool written = false;
    for (int i = 0; i < strings.Count() && pos + width <= limit; ++i) {
        size_t room = (limit - pos) / width - 1;  // characters besides the NUL
        if (wide) {
            std::wstring name = strings.Get(i);
            size_t n = std::min({name.size(), room, std::wcslen(name.c_str())});
            std::memcpy(out + pos, name.data(), n * 2);
            pos += (n + 1) * 2;
        } else {
            std::string name = ToAnsi(strings.Get(i));
            size_t n = std::min({name.size(), room, std::strlen(name.c_str())});
            std::memcpy(out + pos, name.data(), n);
            pos += n + 1;
        }
        written = true;
    }
    // The names' NULs and the list's end are the block's zero fill; make sure of the end.
    if (pos + width <= static_cast<size_t>(size)) std::memset(out + pos, 0, width);
    return written;
}

// ---- CF_HDROP ----

const ClipboardFormatClass TFileClipboardFormat::ClassInfo{L"TFileClipboardFormat",
                                                           &TCustomSimpleClipboardFormat::ClassInfo,
                                                           &MakeClipboardFormat<TFileClipboardFormat>, ddRead, nullptr};

TFileClipboardFormat::TFileClipboardFormat() : TCustomSimpleClipboardFormat(CF_HDROP) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    wide_ = !GetVersionExW(&info) || info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

int TFileClipboardFormat::GetSize() const {
    int64_t names = 0;
    for (int i = 0; i < files_.Count(); ++i)
        names += wide_ ? (static_cast<int64_t>(files_.Get(i).size()) + 1) * 2
                       : static_cast<int64_t>(ToAnsi(files_.Get(i)).size()) + 1;
    return static_cast<int>(std::min<int64_t>(names + 22, INT_MAX));
}

bool TFileClipboardFormat::ReadData(const void* value, int size) {
    if (!value || size < 21) return false;
    auto* p = static_cast<const uint8_t*>(value);
    files_.Clear();
    uint32_t offset = ReadU32(p);
    bool wide = ReadU32(p + 16) != 0;
    if (offset < static_cast<uint32_t>(size))
        MultiSzToStrings(p + offset, size - static_cast<int>(offset), wide, files_);
    return files_.Count() > 0;
}

bool TFileClipboardFormat::WriteData(void* value, int size) {
    if (!value || size < 21) return false;
    auto* p = static_cast<uint8_t*>(value);
    std::memset(p, 0, size);
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide_ ? TRUE : FALSE;
    std::memcpy(p, &header, sizeof header);
    StringsToMultiSz(p + 20, size - 20, wide_, files_);
    return true;
}

bool TFileClipboardFormat::Assign(TCustomDataFormat& source) {
    if (auto* f = dynamic_cast<TFileDataFormat*>(&source)) {
        files_.Assign(f->Files());
        return true;
    }
    return TCustomSimpleClipboardFormat::Assign(source);
}

bool TFileClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    if (auto* f = dynamic_cast<TFileDataFormat*>(&dest)) {
        f->Files().Assign(files_);
        return true;
    }
    return TCustomSimpleClipboardFormat::AssignTo(dest);
}

// ---- single names ----

namespace {
void MapFileNameFormat() {
    struct Access : TClipboardFormat {
        static void Map() {
            MapToDataFormat(TAnsiFilenameClipboardFormat::ClassInfo, TFileDataFormat::ClassInfo, 3,
                            ccWriteToDataFormat | ccReadFromDataFormat);
        }
    };
    Access::Map();
}
void MapFileNameWFormat() {
    struct Access : TClipboardFormat {
        static void Map() {
            MapToDataFormat(TUnicodeFilenameClipboardFormat::ClassInfo, TFileDataFormat::ClassInfo, 2,
                            ccWriteToDataFormat | ccReadFromDataFormat);
        }
    };
    Access::Map();
}
}  // namespace

const ClipboardFormatClass TAnsiFilenameClipboardFormat::ClassInfo{
    L"TAnsiFilenameClipboardFormat", &TCustomAnsiTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TAnsiFilenameClipboardFormat>, ddRead, &MapFileNameFormat};

TAnsiFilenameClipboardFormat::TAnsiFilenameClipboardFormat() : TCustomAnsiTextClipboardFormat(Id()) {}
CLIPFORMAT TAnsiFilenameClipboardFormat::Id() { return g_fileName.Get(); }

bool TAnsiFilenameClipboardFormat::Assign(TCustomDataFormat& source) {
    if (auto* f = dynamic_cast<TFileDataFormat*>(&source)) {
        if (f->Files().Count() == 0) return false;
        SetFilename(ToAnsi(f->Files().Get(0)));
        return true;
    }
    return TCustomAnsiTextClipboardFormat::Assign(source);
}

bool TAnsiFilenameClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    if (auto* f = dynamic_cast<TFileDataFormat*>(&dest)) {
        f->Files().Clear();
        f->Files().Add(FromAnsi(Filename()));
        return true;
    }
    return TCustomAnsiTextClipboardFormat::AssignTo(dest);
}

const ClipboardFormatClass TUnicodeFilenameClipboardFormat::ClassInfo{
    L"TUnicodeFilenameClipboardFormat", &TCustomUnicodeTextClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TUnicodeFilenameClipboardFormat>, ddRead, &MapFileNameWFormat};

TUnicodeFilenameClipboardFormat::TUnicodeFilenameClipboardFormat() : TCustomUnicodeTextClipboardFormat(Id()) {}
CLIPFORMAT TUnicodeFilenameClipboardFormat::Id() { return g_fileNameW.Get(); }

bool TUnicodeFilenameClipboardFormat::ReadData(const void* value, int size) {
    if (!TCustomUnicodeTextClipboardFormat::ReadData(value, size)) return false;
    std::wstring name = Text();
    name.resize(std::wcslen(name.c_str()));
    SetText(std::move(name));
    return true;
}

bool TUnicodeFilenameClipboardFormat::Assign(TCustomDataFormat& source) {
    if (auto* f = dynamic_cast<TFileDataFormat*>(&source)) {
        if (f->Files().Count() == 0) return false;
        SetFilename(f->Files().Get(0));
        return true;
    }
    return TCustomUnicodeTextClipboardFormat::Assign(source);
}

bool TUnicodeFilenameClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    if (auto* f = dynamic_cast<TFileDataFormat*>(&dest)) {
        f->Files().Add(Filename());
        return true;
    }
    return TCustomUnicodeTextClipboardFormat::AssignTo(dest);
}

// ---- rename maps ----

const ClipboardFormatClass TAnsiFilenameMapClipboardFormat::ClassInfo{
    L"TAnsiFilenameMapClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TAnsiFilenameMapClipboardFormat>, ddRead, nullptr};

TAnsiFilenameMapClipboardFormat::TAnsiFilenameMapClipboardFormat() : TCustomSimpleClipboardFormat(Id()) {}
CLIPFORMAT TAnsiFilenameMapClipboardFormat::Id() { return g_fileNameMap.Get(); }

bool TAnsiFilenameMapClipboardFormat::ReadData(const void* value, int size) {
    return MultiSzToStrings(value, size, false, fileMaps_);
}

int TAnsiFilenameMapClipboardFormat::GetSize() const {
    auto& list = const_cast<cls::TStringList&>(fileMaps_);
    TUnicodeStringsAdapter adapter(list);
    return MultiSzSize(adapter, false);
}

bool TAnsiFilenameMapClipboardFormat::WriteData(void* value, int size) {
    TUnicodeStringsAdapter adapter(fileMaps_);
    return StringsToMultiSz(value, size, false, adapter);
}

const ClipboardFormatClass TUnicodeFilenameMapClipboardFormat::ClassInfo{
    L"TUnicodeFilenameMapClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TUnicodeFilenameMapClipboardFormat>, ddRead, nullptr};

TUnicodeFilenameMapClipboardFormat::TUnicodeFilenameMapClipboardFormat() : TCustomSimpleClipboardFormat(Id()) {}
CLIPFORMAT TUnicodeFilenameMapClipboardFormat::Id() { return g_fileNameMapW.Get(); }

bool TUnicodeFilenameMapClipboardFormat::ReadData(const void* value, int size) {
    return MultiSzToStrings(value, size, true, fileMaps_);
}

int TUnicodeFilenameMapClipboardFormat::GetSize() const { return MultiSzSize(fileMaps_, true); }

bool TUnicodeFilenameMapClipboardFormat::WriteData(void* value, int size) {
    return StringsToMultiSz(value, size, true, fileMaps_);
}

// ---- file group descriptors ----

const ClipboardFormatClass TFileGroupDescriptorCustomClipboardFormat::ClassInfo{
    L"TFileGroupDescriptorCustomClipboardFormat", &TCustomSimpleClipboardFormat::ClassInfo, nullptr, ddRead,
    nullptr};

int TFileGroupDescriptorCustomClipboardFormat::Count() const {
    return buffer_.empty() ? 0 : static_cast<int>(ReadU32(buffer_.data()));
}

void TFileGroupDescriptorCustomClipboardFormat::SetCount(int n) {
    Clear();
    if (n < 0) n = 0;
    buffer_.assign(static_cast<size_t>(GetBufferSize(n)), 0);
    uint32_t count = static_cast<uint32_t>(n);
    std::memcpy(buffer_.data(), &count, 4);
}

void TFileGroupDescriptorCustomClipboardFormat::CopyFrom(const void* buffer) {
    Clear();
    if (!buffer) return;
    int64_t size = GetBufferSize(ReadU32(buffer));
    auto* p = static_cast<const uint8_t*>(buffer);
    buffer_.assign(p, p + size);
}

int TFileGroupDescriptorCustomClipboardFormat::GetSize() const {
    return buffer_.empty() ? 0 : static_cast<int>(GetBufferSize(Count()));
}

bool TFileGroupDescriptorCustomClipboardFormat::ReadData(const void* value, int size) {
    // The count is the source's word: 64-bit arithmetic keeps a huge one from wrapping.
    if (!value || size < 4 || static_cast<int64_t>(size) < GetBufferSize(ReadU32(value))) return false;
    CopyFrom(value);
    return true;
}

bool TFileGroupDescriptorCustomClipboardFormat::WriteData(void* value, int size) {
    if (buffer_.empty() || !value) return false;
    int64_t n = GetBufferSize(Count());
    if (n > size) return false;
    std::memcpy(value, buffer_.data(), static_cast<size_t>(n));
    return true;
}

void TFileGroupDescriptorCustomClipboardFormat::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EDragDrop("Filename index out of bounds (" + std::to_string(index) + ")");
}

const ClipboardFormatClass TAnsiFileGroupDescriptorClipboardFormat::ClassInfo{
    L"TAnsiFileGroupDescriptorClipboardFormat", &TFileGroupDescriptorCustomClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TAnsiFileGroupDescriptorClipboardFormat>, ddRead, nullptr};

TAnsiFileGroupDescriptorClipboardFormat::TAnsiFileGroupDescriptorClipboardFormat()
    : TFileGroupDescriptorCustomClipboardFormat(Id()) {}
CLIPFORMAT TAnsiFileGroupDescriptorClipboardFormat::Id() { return g_groupA.Get(); }

std::wstring TAnsiFileGroupDescriptorClipboardFormat::GetFilename(int index) const {
    CheckIndex(index);
    return FromAnsi(AnsiField(Descriptor(index, kAnsiFileDescriptorSize) + kFileDescriptorFixedSize));
}

void TAnsiFileGroupDescriptorClipboardFormat::SetFilename(int index, const std::wstring& value) {
    CheckIndex(index);
    std::string name = ToAnsi(value);
    name.resize(std::min<size_t>(name.size(), kFileDescriptorNameChars - 1));
    uint8_t* field = Descriptor(index, kAnsiFileDescriptorSize) + kFileDescriptorFixedSize;
    std::memset(field, 0, kFileDescriptorNameChars);
    std::memcpy(field, name.data(), name.size());
}

const ClipboardFormatClass TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo{
    L"TUnicodeFileGroupDescriptorClipboardFormat", &TFileGroupDescriptorCustomClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TUnicodeFileGroupDescriptorClipboardFormat>, ddRead, nullptr};

TUnicodeFileGroupDescriptorClipboardFormat::TUnicodeFileGroupDescriptorClipboardFormat()
    : TFileGroupDescriptorCustomClipboardFormat(Id()) {}
CLIPFORMAT TUnicodeFileGroupDescriptorClipboardFormat::Id() { return g_groupW.Get(); }

std::wstring TUnicodeFileGroupDescriptorClipboardFormat::GetFilename(int index) const {
    CheckIndex(index);
    return WideField(Descriptor(index, kWideFileDescriptorSize) + kFileDescriptorFixedSize);
}

void TUnicodeFileGroupDescriptorClipboardFormat::SetFilename(int index, const std::wstring& value) {
    CheckIndex(index);
    size_t n = std::min<size_t>(value.size(), kFileDescriptorNameChars - 1);
    uint8_t* field = Descriptor(index, kWideFileDescriptorSize) + kFileDescriptorFixedSize;
    std::memset(field, 0, kFileDescriptorNameChars * 2);
    std::memcpy(field, value.data(), n * 2);
}

// ---- file contents ----

CLIPFORMAT FileContentsId() { return g_contents.Get(); }

const ClipboardFormatClass TFileContentsClipboardFormat::ClassInfo{
    L"TFileContentsClipboardFormat", &TCustomAnsiStringClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TFileContentsClipboardFormat>, ddRead, nullptr};

TFileContentsClipboardFormat::TFileContentsClipboardFormat() : TCustomAnsiStringClipboardFormat(FileContentsId()) {
    formatEtc_.lindex = 0;
}

namespace {
void MapContentsStreams() {
    struct Access : TClipboardFormat {
        static void Map() {
            MapToDataFormatDefault(TFileContentsStreamClipboardFormat::ClassInfo, TDataStreamDataFormat::ClassInfo);
        }
    };
    Access::Map();
}
}  // namespace

const ClipboardFormatClass TFileContentsStreamClipboardFormat::ClassInfo{
    L"TFileContentsStreamClipboardFormat", &TClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TFileContentsStreamClipboardFormat>, ddRead, &MapContentsStreams};

TFileContentsStreamClipboardFormat::TFileContentsStreamClipboardFormat()
    : TClipboardFormat(FileContentsId(), TYMED_ISTREAM | TYMED_ISTORAGE) {}

bool TFileContentsStreamClipboardFormat::GetData(IDataObject* dataObject) {
    bool result = false;
    Clear();
    if (!dataObject) return false;
    bool complete = ForEachContentsMedium<TUnicodeFileGroupDescriptorClipboardFormat,
                                          TAnsiFileGroupDescriptorClipboardFormat>(
        dataObject, formatEtc_, [&](const STGMEDIUM& medium, const std::wstring& name) {
            cls::ComPtr<IStream> stream;
            if (medium.tymed == TYMED_ISTORAGE) {
                stream = StorageToStream(medium.pstg);
                if (!stream) return false;
            } else if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
                stream = cls::ComPtr<IStream>(medium.pstm, true);
            } else {
                return true;
            }
            cls::ComPtr<IStream> copy = CopyToMemoryStream(stream.get());
            if (!copy) return false;
            streams_.AddNamed(std::move(copy), name);
            result = true;
            return true;
        });
    return complete && result;
}

bool TFileContentsStreamClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    if (auto* f = dynamic_cast<TDataStreamDataFormat*>(&dest)) {
        f->Streams().Assign(streams_);
        return true;
    }
    return TClipboardFormat::AssignTo(dest);
}

const ClipboardFormatClass TFileContentsStorageClipboardFormat::ClassInfo{
    L"TFileContentsStorageClipboardFormat", &TClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TFileContentsStorageClipboardFormat>, ddRead, nullptr};

TFileContentsStorageClipboardFormat::TFileContentsStorageClipboardFormat()
    : TClipboardFormat(FileContentsId(), TYMED_ISTORAGE) {}

bool TFileContentsStorageClipboardFormat::GetData(IDataObject* dataObject) {
    bool result = false;
    Clear();
    if (!dataObject) return false;
    ForEachContentsMedium<TAnsiFileGroupDescriptorClipboardFormat, TUnicodeFileGroupDescriptorClipboardFormat>(
        dataObject, formatEtc_, [&](const STGMEDIUM& medium, const std::wstring& name) {
            if (medium.tymed != TYMED_ISTORAGE || !medium.pstg) return true;
            storages_.AddStorage(medium.pstg, name);
            result = true;
            return true;
        });
    return result;
}

bool TFileContentsStorageClipboardFormat::WriteMedium(const FORMATETC& in, STGMEDIUM& medium) {
    int index = in.lindex == -1 ? 0 : in.lindex;
    if ((in.tymed & TYMED_ISTORAGE) && index >= 0 && index < storages_.Count()) {
        medium.pstg = storages_.Storages(index);
        medium.pstg->AddRef();
        medium.tymed = TYMED_ISTORAGE;
        medium.pUnkForRelease = nullptr;
        return true;
    }
    return TClipboardFormat::WriteMedium(in, medium);
}

const ClipboardFormatClass TFileContentsStreamOnDemandClipboardFormat::ClassInfo{
    L"TFileContentsStreamOnDemandClipboardFormat", &TClipboardFormat::ClassInfo,
    &MakeClipboardFormat<TFileContentsStreamOnDemandClipboardFormat>, ddRead, nullptr};

TFileContentsStreamOnDemandClipboardFormat::TFileContentsStreamOnDemandClipboardFormat()
    : TClipboardFormat(FileContentsId(), TYMED_HGLOBAL | TYMED_ISTREAM) {}

bool TFileContentsStreamOnDemandClipboardFormat::GetData(IDataObject*) {
    gotData_ = true;
    return true;
}

bool TFileContentsStreamOnDemandClipboardFormat::GetStreamFrom(IDataObject* dataObject, const FORMATETC& formatEtc,
                                                               int index, cls::ComPtr<IStream>& stream) {
    stream = nullptr;
    if (!dataObject) return false;
    FORMATETC fe = formatEtc;
    fe.tymed |= TYMED_ISTORAGE;
    fe.lindex = index;
    StgMedium medium;
    if (FAILED(dataObject->GetData(&fe, medium.put()))) return false;
    switch (medium->tymed) {
    case TYMED_HGLOBAL: {
        if (!medium->hGlobal) break;
        if (!medium->pUnkForRelease) {
            // Without a release object the stream takes the memory over.
            if (SUCCEEDED(CreateStreamOnHGlobal(medium->hGlobal, TRUE, stream.put()))) medium->hGlobal = nullptr;
            break;
        }
        // The memory stays the source's until its release object goes: the
        // stream holds that object for as long as it reads the memory.
        cls::ComPtr<IStream> over;
        if (SUCCEEDED(CreateStreamOnHGlobal(medium->hGlobal, FALSE, over.put())))
            stream = cls::ComPtr<IStream>(
                new TFixedStreamAdapter(std::move(over), cls::ComPtr<IUnknown>(medium->pUnkForRelease, true)));
        break;
    }
    case TYMED_ISTREAM:
        if (medium->pstm) stream = cls::ComPtr<IStream>(medium->pstm, true);
        break;
    case TYMED_ISTORAGE:
        stream = StorageToStream(medium->pstg);
        break;
    default:
        break;
    }
    return stream.get() != nullptr;
}

bool TFileContentsStreamOnDemandClipboardFormat::GetStream(int index, cls::ComPtr<IStream>& stream) {
    TDragDropComponent* owner = DataFormat() ? DataFormat()->Owner() : nullptr;
    auto* target = dynamic_cast<TCustomDropTarget*>(owner);
    if (!target) throw std::bad_cast();
    return GetStreamFrom(target->DataObject(), formatEtc_, index, stream);
}

bool TFileContentsStreamOnDemandClipboardFormat::WriteMedium(const FORMATETC& in, STGMEDIUM& medium) {
    int index = in.lindex == -1 ? 0 : in.lindex;
    if (!OnGetStream || !(in.tymed & formatEtc_.tymed) || index < 0) return false;
    cls::ComPtr<IStream> stream;
    OnGetStream(*this, index, stream);
    if (!stream) return false;
    if (in.tymed & TYMED_ISTREAM) {
        medium.pstm = stream.detach();
        medium.tymed = TYMED_ISTREAM;
        medium.pUnkForRelease = nullptr;
        return true;
    }
    STATSTG st{};
    if (FAILED(stream->Stat(&st, STATFLAG_NONAME))) return false;
    ULONG size = st.cbSize.LowPart;
    HGlobal block = AllocGlobal(size);
    if (!block) return false;
    bool ok;
    {
        GlobalLockGuard lock(block.get());
        ULONG got = 0;
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
        ok = lock.Data() && SUCCEEDED(stream->Read(lock.Data(), size, &got)) && got == size;
    }
    if (!ok) return false;
    medium.hGlobal = block.release();
    medium.tymed = TYMED_HGLOBAL;
    medium.pUnkForRelease = nullptr;
    return true;
}

bool TFileContentsStreamOnDemandClipboardFormat::Assign(TCustomDataFormat& source) {
    if (dynamic_cast<TVirtualFileStreamDataFormat*>(&source)) {
        dataRequested_ = true;
        return true;
    }
    return TClipboardFormat::Assign(source);
}

bool TFileContentsStreamOnDemandClipboardFormat::AssignTo(TCustomDataFormat& dest) {
    if (dynamic_cast<TVirtualFileStreamDataFormat*>(&dest)) return true;
    return TClipboardFormat::AssignTo(dest);
}

// ---- data formats ----

namespace {
void MapFileFormats() {
    struct Access : TFileDataFormat {
        static void Map() {
            auto both = ccWriteToDataFormat | ccReadFromDataFormat;
            MapClipboardFormat(TFileDataFormat::ClassInfo, TFileClipboardFormat::ClassInfo, 0, both);
            MapClipboardFormat(TFileDataFormat::ClassInfo, TPIDLClipboardFormat::ClassInfo, 1, both);
        }
    };
    Access::Map();
}
void MapFileMapFormats() {
    struct Access : TFileMapDataFormat {
        static void Map() {
            auto both = ccWriteToDataFormat | ccReadFromDataFormat;
            MapClipboardFormat(TFileMapDataFormat::ClassInfo, TAnsiFilenameMapClipboardFormat::ClassInfo, 0, both);
            MapClipboardFormat(TFileMapDataFormat::ClassInfo, TUnicodeFilenameMapClipboardFormat::ClassInfo, -1,
                               both);
        }
    };
    Access::Map();
}
void MapVirtualFileFormats() {
    struct Access : TVirtualFileStreamDataFormat {
        static void Map() {
            auto both = ccWriteToDataFormat | ccReadFromDataFormat;
            auto& self = TVirtualFileStreamDataFormat::ClassInfo;
            MapClipboardFormat(self, TFileContentsStreamOnDemandClipboardFormat::ClassInfo, 0, both);
            MapClipboardFormat(self, TAnsiFileGroupDescriptorClipboardFormat::ClassInfo, 1, both);
            MapClipboardFormat(self, TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo, 0, both);
        }
    };
    Access::Map();
}
}  // namespace

const DataFormatClass TFileDataFormat::ClassInfo{L"TFileDataFormat", &TCustomDataFormat::ClassInfo,
                                                 &MakeDataFormat<TFileDataFormat>, &MapFileFormats};

TFileDataFormat::TFileDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner) {
    files_.OnChanging = [this](TUnicodeStrings&) { Changing(); };
}

bool TFileDataFormat::Assign(TClipboardFormat& source) {
    if (auto* f = dynamic_cast<TFileClipboardFormat*>(&source)) {
        files_.Assign(f->Files());
        return true;
    }
    if (auto* f = dynamic_cast<TPIDLClipboardFormat*>(&source)) {
        files_.Assign(static_cast<const TUnicodeStrings&>(f->Filenames()));
        return true;
    }
    return TCustomDataFormat::Assign(source);
}

bool TFileDataFormat::AssignTo(TClipboardFormat& dest) {
    if (auto* f = dynamic_cast<TFileClipboardFormat*>(&dest)) {
        f->Files().Assign(files_);
        return true;
    }
    if (auto* f = dynamic_cast<TPIDLClipboardFormat*>(&dest)) {
        f->Filenames().Assign(static_cast<const TUnicodeStrings&>(files_));
        return true;
    }
    return TCustomDataFormat::AssignTo(dest);
}

const DataFormatClass TFileMapDataFormat::ClassInfo{L"TFileMapDataFormat", &TCustomDataFormat::ClassInfo,
                                                    &MakeDataFormat<TFileMapDataFormat>, &MapFileMapFormats};

TFileMapDataFormat::TFileMapDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner) {
    fileMaps_.OnChanging = [this](TUnicodeStrings&) { Changing(); };
}

bool TFileMapDataFormat::Assign(TClipboardFormat& source) {
    if (auto* f = dynamic_cast<TAnsiFilenameMapClipboardFormat*>(&source)) {
        fileMaps_.Assign(f->FileMaps());
        return true;
    }
    if (auto* f = dynamic_cast<TUnicodeFilenameMapClipboardFormat*>(&source)) {
        fileMaps_.Assign(f->FileMaps());
        return true;
    }
    return TCustomDataFormat::Assign(source);
}

bool TFileMapDataFormat::AssignTo(TClipboardFormat& dest) {
    if (auto* f = dynamic_cast<TAnsiFilenameMapClipboardFormat*>(&dest)) {
        fileMaps_.AssignTo(f->FileMaps());
        return true;
    }
    if (auto* f = dynamic_cast<TUnicodeFilenameMapClipboardFormat*>(&dest)) {
        f->FileMaps().Assign(fileMaps_);
        return true;
    }
    return TCustomDataFormat::AssignTo(dest);
}

// ---- file-name view over descriptors ----

std::wstring TFileDescriptorToFilenameStrings::Get(int index) const {
    CheckIndex(index, GetCount());
    return WideField(descriptors_.Items(index).data() + kFileDescriptorFixedSize);
}

void TFileDescriptorToFilenameStrings::Insert(int index, const std::wstring& s) {
    if (index != descriptors_.Count()) return;
    std::vector<uint8_t> block(kWideFileDescriptorSize, 0);
    if (s.size() < kFileDescriptorNameChars) std::memcpy(block.data() + kFileDescriptorFixedSize, s.data(), s.size() * 2);
    objects_.reserve(objects_.size() + 1);
    descriptors_.Add(std::move(block));
    objects_.push_back(nullptr);
}

void TFileDescriptorToFilenameStrings::Clear() {
    descriptors_.Clear();
    objects_.clear();
}

void TFileDescriptorToFilenameStrings::Delete(int index) {
    CheckIndex(index, GetCount());
    descriptors_.Delete(index);
    if (index < static_cast<int>(objects_.size())) objects_.erase(objects_.begin() + index);
}

void TFileDescriptorToFilenameStrings::Assign(const TUnicodeStrings& source) {
    BeginUpdate();
    Clear();
    for (int i = 0; i < source.Count(); ++i) Insert(GetCount(), source.Get(i));
    EndUpdate();
}

// ---- virtual files ----

const DataFormatClass TVirtualFileStreamDataFormat::ClassInfo{
    L"TVirtualFileStreamDataFormat", &TCustomDataFormat::ClassInfo, &MakeDataFormat<TVirtualFileStreamDataFormat>,
    &MapVirtualFileFormats};

TVirtualFileStreamDataFormat::TVirtualFileStreamDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner) {
    contents_ = &static_cast<TFileContentsStreamOnDemandClipboardFormat&>(
        CompatibleFormats().GetFormat(TFileContentsStreamOnDemandClipboardFormat::ClassInfo));
    ansi_ = &static_cast<TAnsiFileGroupDescriptorClipboardFormat&>(
        CompatibleFormats().GetFormat(TAnsiFileGroupDescriptorClipboardFormat::ClassInfo));
    unicode_ = &static_cast<TUnicodeFileGroupDescriptorClipboardFormat&>(
        CompatibleFormats().GetFormat(TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo));
}

void TVirtualFileStreamDataFormat::Clear() {
    fileNames_.Clear();
    hasContents_ = false;
}

bool TVirtualFileStreamDataFormat::Assign(TClipboardFormat& source) {
    if (auto* f = dynamic_cast<TFileContentsStreamOnDemandClipboardFormat*>(&source)) {
        hasContents_ = f->HasData();
        return true;
    }
    if (auto* f = dynamic_cast<TAnsiFileGroupDescriptorClipboardFormat*>(&source)) {
        fileNames_.Clear();
        const uint8_t* block = reinterpret_cast<const uint8_t*>(f->FileGroupDescriptor());
        for (int i = 0; i < f->Count(); ++i) {
            const uint8_t* d = block + 4 + i * kAnsiFileDescriptorSize;
            std::vector<uint8_t> wide(kWideFileDescriptorSize, 0);
            std::memcpy(wide.data(), d, kFileDescriptorFixedSize);
            std::wstring name = FromAnsi(AnsiField(d + kFileDescriptorFixedSize));
            std::memcpy(wide.data() + kFileDescriptorFixedSize, name.data(),
                        std::min<size_t>(name.size(), kFileDescriptorNameChars - 1) * 2);
            descriptors_.Add(std::move(wide));
        }
        return true;
    }
    if (auto* f = dynamic_cast<TUnicodeFileGroupDescriptorClipboardFormat*>(&source)) {
        fileNames_.Clear();
        const uint8_t* block = reinterpret_cast<const uint8_t*>(f->FileGroupDescriptor());
        for (int i = 0; i < f->Count(); ++i) {
            const uint8_t* d = block + 4 + i * kWideFileDescriptorSize;
            descriptors_.Add(std::vector<uint8_t>(d, d + kWideFileDescriptorSize));
        }
        return true;
    }
    return TCustomDataFormat::Assign(source);
}

bool TVirtualFileStreamDataFormat::AssignTo(TClipboardFormat& dest) {
    if (auto* f = dynamic_cast<TFileContentsStreamOnDemandClipboardFormat*>(&dest)) return f->Assign(*this);
    int count = descriptors_.Count();
    if (auto* f = dynamic_cast<TAnsiFileGroupDescriptorClipboardFormat*>(&dest)) {
        if (count == 0) return false;
        std::vector<uint8_t> block(static_cast<size_t>(count) * kAnsiFileDescriptorSize + 4, 0);
        uint32_t n = static_cast<uint32_t>(count);
        std::memcpy(block.data(), &n, 4);
        for (int i = 0; i < count; ++i) {
            uint8_t* d = block.data() + 4 + i * kAnsiFileDescriptorSize;
            const std::vector<uint8_t>& src = descriptors_.Items(i);
            std::memcpy(d, src.data(), kFileDescriptorFixedSize);
            std::string name = ToAnsi(WideField(src.data() + kFileDescriptorFixedSize));
            std::memcpy(d + kFileDescriptorFixedSize, name.data(),
                        std::min<size_t>(name.size(), kFileDescriptorNameChars - 1));
        }
        f->CopyFrom(block.data());
        return true;
    }
    if (auto* f = dynamic_cast<TUnicodeFileGroupDescriptorClipboardFormat*>(&dest)) {
        if (count == 0) return false;
        std::vector<uint8_t> block(static_cast<size_t>(count) * kWideFileDescriptorSize + 4, 0);
        uint32_t n = static_cast<uint32_t>(count);
        std::memcpy(block.data(), &n, 4);
        for (int i = 0; i < count; ++i)
            std::memcpy(block.data() + 4 + i * kWideFileDescriptorSize, descriptors_.Items(i).data(),
                        kWideFileDescriptorSize);
        f->CopyFrom(block.data());
        return true;
    }
    return TCustomDataFormat::AssignTo(dest);
}

bool TVirtualFileStreamDataFormat::HasData() const {
    return descriptors_.Count() > 0 && (hasContents_ || static_cast<bool>(contents_->OnGetStream));
}

bool TVirtualFileStreamDataFormat::NeedsData() const { return descriptors_.Count() == 0 || !hasContents_; }

// ---- registration ----

namespace {
int g_fileUnitCount = 0;
}

void RegisterFileUnit() {
    if (g_fileUnitCount++ > 0) return;
    for (auto* d : {&TFileDataFormat::ClassInfo, &TFileMapDataFormat::ClassInfo,
                    &TVirtualFileStreamDataFormat::ClassInfo})
        TCustomDataFormat::RegisterDataFormat(*d);
    for (auto* c : {&TAnsiFilenameClipboardFormat::ClassInfo, &TFileClipboardFormat::ClassInfo,
                    &TPIDLClipboardFormat::ClassInfo, &TUnicodeFilenameClipboardFormat::ClassInfo,
                    &TAnsiFilenameMapClipboardFormat::ClassInfo, &TUnicodeFilenameMapClipboardFormat::ClassInfo,
                    &TAnsiFileGroupDescriptorClipboardFormat::ClassInfo,
                    &TUnicodeFileGroupDescriptorClipboardFormat::ClassInfo, &TFileContentsClipboardFormat::ClassInfo,
                    &TFileContentsStreamClipboardFormat::ClassInfo, &TFileContentsStorageClipboardFormat::ClassInfo})
        TClipboardFormat::RegisterFormat(*c);
}

void UnregisterFileUnit() {
    if (g_fileUnitCount > 0) --g_fileUnitCount;
}

}  // namespace dragdrop
