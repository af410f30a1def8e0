#include "dragdrop/DragDropPIDL.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>

#include "classlib/Raii.h"
#include "classlib/Strings.h"
#include "dragdrop/DragDropFile.h"

namespace dragdrop {

namespace {

RegisteredFormatId g_shellIDList(L"Shell IDList Array");

uint16_t ReadCb(const uint8_t* p) {
    uint16_t cb;
    std::memcpy(&cb, p, 2);
    return cb;
}

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

cls::ComPtr<IShellFolder> Desktop() {
    cls::ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put()))) return nullptr;
    return desktop;
}

UniquePIDL ParseWith(IShellFolder* folder, const std::wstring& path) {
    // Other names (a dropped "/..." among them) can bring the shell down.
    if (!IsAbsoluteWindowsPath(path)) return nullptr;
    std::wstring name = path;  // ParseDisplayName wants a writable string
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(folder->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &pidl, nullptr))) return nullptr;
    return UniquePIDL(pidl);
}

std::wstring FolderPart(const std::wstring& name) {
    size_t p = name.find_last_of(L"\\:");
    return p == std::wstring::npos ? std::wstring() : name.substr(0, p + 1);
}

}  // namespace

// ---- helpers ----

bool IsAbsoluteWindowsPath(const std::wstring& path) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (path.size() >= 3 && iswalpha(path[0]) && path[0] < 128 && path[1] == L':' && path[2] == L'\\') return true;
    // A UNC name: two backslashes and a server, not a device or "\\?\" prefix.
    return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && !separator(path[2]) && path[2] != L'?' &&
           path[2] != L'.';
}

int GetPIDLSize(LPCITEMIDLIST pidl) {
    if (!pidl) return 0;
    auto* p = reinterpret_cast<const uint8_t*>(pidl);
    int size = 0;
    for (uint16_t cb; (cb = ReadCb(p + size)) != 0;) size += cb;
    return size + 2;
}

std::string PIDLToString(LPCITEMIDLIST pidl) {
    return std::string(reinterpret_cast<const char*>(pidl), static_cast<size_t>(GetPIDLSize(pidl)));
}

size_t BoundedPIDLSize(const void* data, size_t size) {
    if (!data) return 0;
    auto* p = static_cast<const uint8_t*>(data);
    size_t pos = 0;
    while (pos + 2 <= size) {
        uint16_t cb = ReadCb(p + pos);
        if (cb == 0) return pos + 2;
        if (cb < 2 || cb > size - pos) return 0;
        pos += cb;
    }
    return 0;
}

UniquePIDL StringToPIDL(const std::string& s) {
    // Whole items only, then a terminator of our own.
    std::string bytes;
    size_t pos = 0;
    while (pos + 2 <= s.size()) {
        uint16_t cb = ReadCb(reinterpret_cast<const uint8_t*>(s.data()) + pos);
        if (cb < 2 || cb > s.size() - pos) break;
        pos += cb;
    }
    bytes.assign(s.data(), pos);
    bytes.append(2, '\0');
    return UniquePIDL(ILClone(reinterpret_cast<LPCITEMIDLIST>(bytes.data())));
}

std::string JoinPIDLStrings(const std::string& parent, const std::string& child) {
    std::string out = parent.size() > 2 ? parent.substr(0, parent.size() - 2) : std::string();
    return out + child;
}

UniquePIDL FilenameToPIDL(const std::wstring& path) {
    cls::ComPtr<IShellFolder> desktop = Desktop();
    if (!desktop) return nullptr;
    return ParseWith(desktop.get(), path);
}

// ---- the list ----

void TPIDLList::Add(LPCITEMIDLIST item) {
    if (!item) return;
    UniquePIDL copy(ILClone(item));
    if (!copy) throw std::bad_alloc();
    list_.push_back(std::move(copy));
    DoChanging();
}

void TPIDLList::Add(const std::string& item) {
    UniquePIDL copy = StringToPIDL(item);
    if (!copy) throw std::bad_alloc();
    list_.push_back(std::move(copy));
    DoChanging();
}

void TPIDLList::Assign(const TPIDLList& source) {
    if (&source == this) return;
    list_.clear();
    for (auto& p : source.list_) {
        UniquePIDL copy(ILClone(p.get()));
        if (!copy) throw std::bad_alloc();
        list_.push_back(std::move(copy));
    }
    DoChanging();
}

void TPIDLList::Clear() {
    list_.clear();
    DoChanging();
}

// ---- file names and ID lists ----

std::string GetCommonPath(const TUnicodeStrings& files) {
    if (files.Count() == 0) return {};
    cls::ComPtr<IShellFolder> desktop = Desktop();
    if (!desktop) throw EDragDrop("Failed to get interface to Desktop");
    TPIDLList folders;
    for (int i = 0; i < files.Count(); ++i) {
        std::wstring folder = FolderPart(files.Get(i));
        UniquePIDL pidl = ParseWith(desktop.get(), folder);
        if (!pidl) {
            std::string msg = "Invalid filename: " + cls::WideToCodePage(folder, CP_UTF8);
            throw EDragDrop(msg);
        }
        folders.Add(pidl.get());
    }
    std::string first = folders.GetString(0);
    std::string result = first;
    size_t common = first.size() - 2;
    auto* a = reinterpret_cast<const uint8_t*>(first.data());
    for (int i = 1; i < folders.Count(); ++i) {
        std::string other = folders.GetString(i);
        auto* b = reinterpret_cast<const uint8_t*>(other.data());
        size_t matched = 0;
        while (matched < common && matched + 2 <= other.size()) {
            uint16_t cb = ReadCb(a + matched);
            if (cb == 0 || cb != ReadCb(b + matched) || matched + cb > other.size() ||
                std::memcmp(a + matched, b + matched, cb) != 0)
                break;
            matched += cb;
        }
        if (matched < common) {
            common = matched;
            result = first.substr(0, matched) + std::string(2, '\0');
        }
        if (matched == 0) break;
    }
    return result;
}

bool FilenamesToPIDLs(const TUnicodeStrings& files, TPIDLList& list) {
    list.Clear();
    if (files.Count() == 0) return false;
    std::string common = GetCommonPath(files);
    if (common.empty()) return false;
    list.Add(common);
    size_t prefix = common.size() - 2;
    for (int i = 0; i < files.Count(); ++i) {
        UniquePIDL full = FilenameToPIDL(files.Get(i));
        if (!full) {
            list.Clear();
            return false;
        }
        std::string bytes = PIDLToString(full.get());
        list.Add(bytes.substr(std::min(prefix, bytes.size() - 2)));
    }
    return true;
}

bool FilenamesToPIDLs(cls::TStringList& files, TPIDLList& list) {
    TUnicodeStringsAdapter adapter(files);
    return FilenamesToPIDLs(adapter, list);
}

bool ReadCIDA(const void* cida, int size, TPIDLList& list) {
    list.Clear();
    if (!cida || size < 4) return false;
    auto* p = static_cast<const uint8_t*>(cida);
    uint64_t cidl = ReadU32(p);
    // The offset table must fit as well as the usual minimum of the format.
    uint64_t need = std::max<uint64_t>(8 * cidl + 4, 4 * (cidl + 2));
    if (static_cast<uint64_t>(size) < need) return false;
    // Offsets may all name one large list: the copies, not the block, are bounded.
    uint64_t total = 0;
    try {
        for (uint64_t i = 0; i <= cidl; ++i) {
            uint32_t offset = ReadU32(p + 4 + 4 * i);
            size_t n = offset < static_cast<uint32_t>(size) ? BoundedPIDLSize(p + offset, size - offset) : 0;
            total += n;
            if (n == 0 || total > kMaxCIDACopyBytes) {
                list.Clear();
                return false;
            }
            list.Add(std::string(reinterpret_cast<const char*>(p + offset), n));
        }
    } catch (const std::bad_alloc&) {
        list.Clear();
        return false;
    }
    return list.Count() >= 2;
}

// ---- file-name view ----

int TPIDLsToFilenamesStrings::GetCount() const { return pidls_.Count() < 2 ? 0 : pidls_.Count() - 1; }

std::wstring TPIDLsToFilenamesStrings::Get(int index) const {
    if (index < 0 || index > pidls_.Count() - 2) throw EDragDrop("Filename index out of range");
    std::string joined = JoinPIDLStrings(pidls_.GetString(0), pidls_.GetString(index + 1));
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(joined.data()), path)) return {};
    path[MAX_PATH] = L'\0';
    return path;
}

void TPIDLsToFilenamesStrings::Assign(const TUnicodeStrings& source) {
    BeginUpdate();
    try {
        FilenamesToPIDLs(source, pidls_);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TPIDLsToFilenamesStrings::Assign(cls::TStringList& source) {
    TUnicodeStringsAdapter adapter(source);
    Assign(static_cast<const TUnicodeStrings&>(adapter));
}

// ---- clipboard format ----

const ClipboardFormatClass TPIDLClipboardFormat::ClassInfo{L"TPIDLClipboardFormat",
                                                           &TCustomSimpleClipboardFormat::ClassInfo,
                                                           &MakeClipboardFormat<TPIDLClipboardFormat>, ddRead, nullptr};

TPIDLClipboardFormat::TPIDLClipboardFormat() : TCustomSimpleClipboardFormat(Id()) {}

CLIPFORMAT TPIDLClipboardFormat::Id() { return g_shellIDList.Get(); }

bool TPIDLClipboardFormat::ReadData(const void* value, int size) { return ReadCIDA(value, size, pidls_); }

int TPIDLClipboardFormat::GetSize() const {
    int size = (pidls_.Count() + 1) * 4;
    for (int i = 0; i < pidls_.Count(); ++i) size += GetPIDLSize(pidls_.Items(i));
    return size;
}

bool TPIDLClipboardFormat::WriteData(void* value, int size) {
    int count = pidls_.Count();
    if (!value || count == 0 || size < GetSize()) return false;
    auto* p = static_cast<uint8_t*>(value);
    uint32_t cidl = static_cast<uint32_t>(count - 1);
    std::memcpy(p, &cidl, 4);
    uint32_t offset = static_cast<uint32_t>((count + 1) * 4);
    for (int i = 0; i < count; ++i) {
        std::memcpy(p + 4 + 4 * i, &offset, 4);
        int n = GetPIDLSize(pidls_.Items(i));
        std::memcpy(p + offset, pidls_.Items(i), n);
        offset += n;
    }
    return true;
}

// ---- data format ----

namespace {
void MapPIDLFormats() {
    struct Access : TPIDLDataFormat {
        static void Map(const ClipboardFormatClass& c, int priority) {
            MapClipboardFormat(TPIDLDataFormat::ClassInfo, c, priority, ccWriteToDataFormat | ccReadFromDataFormat);
        }
    };
    Access::Map(TPIDLClipboardFormat::ClassInfo, 0);
    Access::Map(TFileClipboardFormat::ClassInfo, 1);
}
}  // namespace

const DataFormatClass TPIDLDataFormat::ClassInfo{L"TPIDLDataFormat", &TCustomDataFormat::ClassInfo,
                                                 &MakeDataFormat<TPIDLDataFormat>, &MapPIDLFormats};

TPIDLDataFormat::TPIDLDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner) {
    pidls_.OnChanging = [this](TPIDLList&) { Changing(); };
}

bool TPIDLDataFormat::Assign(TClipboardFormat& source) {
    if (auto* f = dynamic_cast<TPIDLClipboardFormat*>(&source)) {
        pidls_.Assign(f->PIDLs());
        return true;
    }
    if (auto* f = dynamic_cast<TFileClipboardFormat*>(&source)) return FilenamesToPIDLs(f->Files(), pidls_);
    return TCustomDataFormat::Assign(source);
}

bool TPIDLDataFormat::AssignTo(TClipboardFormat& dest) {
    if (auto* f = dynamic_cast<TPIDLClipboardFormat*>(&dest)) {
        f->PIDLs().Assign(pidls_);
        return true;
    }
    if (auto* f = dynamic_cast<TFileClipboardFormat*>(&dest)) {
        f->Files().Assign(static_cast<const TUnicodeStrings&>(filenames_));
        return true;
    }
    return TCustomDataFormat::AssignTo(dest);
}

// ---- registration ----

namespace {
int g_pidlUnitCount = 0;
}

void RegisterPIDLUnit() {
    if (g_pidlUnitCount++ > 0) return;
    TCustomDataFormat::RegisterDataFormat(TPIDLDataFormat::ClassInfo);
    TClipboardFormat::RegisterFormat(TPIDLClipboardFormat::ClassInfo);
}

void UnregisterPIDLUnit() {
    if (g_pidlUnitCount > 0) --g_pidlUnitCount;
}

}  // namespace dragdrop
