// The shell's item ID lists as dragged data: "Shell IDList Array" (one
// parent folder's ID list and one relative ID list per item), the lists that
// hold them and the conversions between file names and ID lists.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dragdrop/DragDropFormats.h"
#include "dragdrop/UnicodeStrings.h"

namespace dragdrop {

struct CoTaskMemDeleter {
    void operator()(void* p) const { CoTaskMemFree(p); }
};
// An ID list from the shell's task allocator.
using UniquePIDL = std::unique_ptr<ITEMIDLIST, CoTaskMemDeleter>;

// Size of an ID list we hold, terminator included; 0 for null.
int GetPIDLSize(LPCITEMIDLIST pidl);
// The ID list's bytes, terminator included.
std::string PIDLToString(LPCITEMIDLIST pidl);
// A copy of the ID list held in S. S comes from others: the copy stops at
// the first item that would run past S and always gets a terminator.
UniquePIDL StringToPIDL(const std::string& s);
// Parent without its terminator, then the whole child.
std::string JoinPIDLStrings(const std::string& parent, const std::string& child);
// A drive letter with its root, or a UNC server name: the only names given
// to the shell's parser.
bool IsAbsoluteWindowsPath(const std::wstring& path);
// Null when the path is not absolute or the desktop cannot parse it.
UniquePIDL FilenameToPIDL(const std::wstring& path);
// Length of the well-formed ID list at Data within Size bytes, terminator
// included; 0 when an item runs past Size or the terminator is missing.
size_t BoundedPIDLSize(const void* data, size_t size);

class TPIDLList {
public:
    TPIDLList() = default;
    ~TPIDLList() { Clear(); }
    TPIDLList(const TPIDLList&) = delete;
    TPIDLList& operator=(const TPIDLList&) = delete;

    // Fired after every Add, Assign and Clear.
    std::function<void(TPIDLList&)> OnChanging;
    // Adds a copy; null is ignored.
    void Add(LPCITEMIDLIST item);
    void Add(const std::string& item);
    void Assign(const TPIDLList& source);
    void Clear();
    int Count() const { return static_cast<int>(list_.size()); }
    LPITEMIDLIST Items(int index) const { return list_.at(index).get(); }
    std::string GetString(int index) const { return PIDLToString(Items(index)); }

private:
    void DoChanging() {
        if (OnChanging) OnChanging(*this);
    }
    std::vector<UniquePIDL> list_;  // 0: the parent folder, then the items relative to it
};

// The deepest folder shared by all names as ID-list bytes (the desktop's
// empty list when they share none); empty for no names.
std::string GetCommonPath(const TUnicodeStrings& files);
bool FilenamesToPIDLs(const TUnicodeStrings& files, TPIDLList& list);
bool FilenamesToPIDLs(cls::TStringList& files, TPIDLList& list);
// All the ID lists copied out of one CIDA together stay below this.
constexpr uint64_t kMaxCIDACopyBytes = 16ull << 20;
// Reads a CIDA block of Size bytes; every offset and ID list must lie
// inside it and the copies stay under the cap. True with the parent and at
// least one item; the list is left empty otherwise.
bool ReadCIDA(const void* cida, int size, TPIDLList& list);

// The items of an ID-list list as file-system paths; read-only.
class TPIDLsToFilenamesStrings : public TUnicodeStrings {
public:
    explicit TPIDLsToFilenamesStrings(TPIDLList& pidls) : pidls_(pidls) {}
    int GetCount() const override;
    std::wstring Get(int index) const override;
    void Put(int, const std::wstring&) override {}
    void Insert(int, const std::wstring&) override {}
    void Clear() override {}
    void Delete(int) override {}
    // Rebuilds the ID lists from the names.
    void Assign(const TUnicodeStrings& source);
    void Assign(cls::TStringList& source);

private:
    TPIDLList& pidls_;
};

class TPIDLClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    TPIDLClipboardFormat();
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT Id();
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    TPIDLList& PIDLs() { return pidls_; }
    TPIDLsToFilenamesStrings& Filenames() { return filenames_; }
    void Clear() override { pidls_.Clear(); }
    bool HasData() const override { return pidls_.Count() > 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;

private:
    TPIDLList pidls_;
    TPIDLsToFilenamesStrings filenames_{pidls_};
};

class TPIDLDataFormat : public TCustomDataFormat {
public:
    explicit TPIDLDataFormat(TDragDropComponent* owner);
    ~TPIDLDataFormat() override { pidls_.OnChanging = nullptr; }
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TPIDLList& PIDLs() { return pidls_; }
    TPIDLsToFilenamesStrings& Filenames() { return filenames_; }
    void Clear() override { pidls_.Clear(); }
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override { return pidls_.Count() > 0; }
    bool NeedsData() const override { return pidls_.Count() == 0; }

private:
    TPIDLList pidls_;
    TPIDLsToFilenamesStrings filenames_{pidls_};
};

// The unit's registrations; run once, from the library's start-up.
void RegisterPIDLUnit();
void UnregisterPIDLUnit();

}  // namespace dragdrop
