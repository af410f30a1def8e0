// Clipboard formats whose data is one block of bytes in global memory or a
// stream, the shell's drag feedback formats, and small owning lists.
#pragma once
#include <string>
#include <vector>

#include "classlib/Raii.h"
#include "classlib/StringList.h"
#include "dragdrop/DragDrop.h"
#include "dragdrop/Medium.h"

namespace dragdrop {

// Named streams, owned by the list.
class TStreamList {
public:
    std::function<void(TStreamList&)> OnChanging;
    int Count() const { return static_cast<int>(streams_.size()); }
    const std::wstring& Names(int i) const { return streams_.at(i).first; }
    IStream* Streams(int i) const { return streams_.at(i).second.get(); }
    int Add(cls::ComPtr<IStream> stream) { return AddNamed(std::move(stream), L""); }
    int AddNamed(cls::ComPtr<IStream> stream, const std::wstring& name);
    // Takes Value's streams over; Value is left empty.
    void Assign(TStreamList& value);
    // Removes the entry and hands its stream to the caller.
    cls::ComPtr<IStream> Delete(int index);
    void Clear();

private:
    void DoChanging() {
        if (OnChanging) OnChanging(*this);
    }
    std::vector<std::pair<std::wstring, cls::ComPtr<IStream>>> streams_;
};

// Named interface references, one reference held per entry.
class TNamedInterfaceList {
public:
    virtual ~TNamedInterfaceList() = default;
    std::function<void(TNamedInterfaceList&)> OnChanging;
    int Count() const { return static_cast<int>(list_.size()); }
    const std::wstring& Names(int i) const { return list_.at(i).first; }
    void SetNames(int i, const std::wstring& name) { list_.at(i).first = name; }
    IUnknown* Items(int i) const { return list_.at(i).second.get(); }
    int Add(IUnknown* item) { return AddNamed(item, L""); }
    int AddNamed(IUnknown* item, const std::wstring& name);
    // Appends Value's entries; Value keeps its own.
    void Assign(const TNamedInterfaceList& value);
    void Delete(int index);
    void Clear();

protected:
    void DoChanging() {
        if (OnChanging) OnChanging(*this);
    }

private:
    std::vector<std::pair<std::wstring, cls::ComPtr<IUnknown>>> list_;
};

// Holds storages only.
class TStorageInterfaceList : public TNamedInterfaceList {
public:
    int AddStorage(IStorage* storage, const std::wstring& name = L"") { return AddNamed(storage, name); }
    IStorage* Storages(int i) const { return static_cast<IStorage*>(Items(i)); }
};

// Memory blocks owned by the list.
class TMemoryList {
public:
    int Add(std::vector<uint8_t> block);
    void Delete(int index) { list_.erase(list_.begin() + index); }
    void Clear() { list_.clear(); }
    int Count() const { return static_cast<int>(list_.size()); }
    std::vector<uint8_t>& Items(int i) { return list_.at(i); }

private:
    std::vector<std::vector<uint8_t>> list_;
};

// The IStream handed to OLE for a written stream medium: the stream is left
// at its end, so a reader that never seeks is brought to the start first.
// KeepAlive, when given, is held until the stream goes: the owner of memory
// the inner stream reads.
class TFixedStreamAdapter : public IStream {
public:
    explicit TFixedStreamAdapter(cls::ComPtr<IStream> inner, cls::ComPtr<IUnknown> keepAlive = nullptr)
        : keepAlive_(std::move(keepAlive)), inner_(std::move(inner)) {}
    virtual ~TFixedStreamAdapter() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* written) override {
        return inner_->Write(pv, cb, written);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* pos) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override { return inner_->SetSize(size); }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* stm, ULARGE_INTEGER cb, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override { return inner_->Commit(flags); }
    HRESULT STDMETHODCALLTYPE Revert() override { return inner_->Revert(); }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER o, ULARGE_INTEGER cb, DWORD t) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER o, ULARGE_INTEGER cb, DWORD t) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flag) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** stm) override { return E_NOTIMPL; }

private:
    cls::ComPtr<IUnknown> keepAlive_;  // goes after the stream over its memory
    cls::ComPtr<IStream> inner_;
    LONG refs_ = 1;
    bool hasSeeked_ = false;
};

// A whole storage copied into a compound file in global memory, as a
// stream over that memory; null when any step fails.
cls::ComPtr<IStream> StorageToStream(IStorage* storage);

// A link, a text or a list of names is far smaller; more is refused.
constexpr int kMaxSimpleReadSize = 0x100000;

class TCustomSimpleClipboardFormat : public TClipboardFormat {
public:
    explicit TCustomSimpleClipboardFormat(CLIPFORMAT id) : TClipboardFormat(id, TYMED_HGLOBAL | TYMED_ISTREAM) {}
    static const ClipboardFormatClass ClassInfo;

    bool ReadMedium(IDataObject* dataObject, const STGMEDIUM& medium) override;
    bool WriteMedium(const FORMATETC& formatEtcIn, STGMEDIUM& medium) override;
    virtual bool ReadDataFromMedium(IDataObject* dataObject, const STGMEDIUM& medium, int size);
    // Takes Size bytes into the format's own fields.
    virtual bool ReadData(const void* value, int size) = 0;
    virtual bool CopyMediumData(const STGMEDIUM& medium, int size, void* buffer);
    // Writes the format's fields into Size bytes.
    virtual bool WriteData(void* value, int size) = 0;
    // Bytes WriteData needs.
    virtual int GetSize() const = 0;
    // The most a read takes; a medium holding more is refused.
    virtual int MaxReadSize() const { return kMaxSimpleReadSize; }
};

// The block as an 8-bit string in the system's ANSI code page.
class TCustomAnsiStringClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    using TCustomSimpleClipboardFormat::TCustomSimpleClipboardFormat;
    static const ClipboardFormatClass ClassInfo;
    bool TrimZeroes = false;
    void Clear() override { data_.clear(); }
    bool HasData() const override { return !data_.empty(); }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override { return static_cast<int>(data_.size()); }

protected:
    const std::string& GetString() const { return data_; }
    void SetString(std::string s) { data_ = std::move(s); }

private:
    std::string data_;
};

// The block as lines of ANSI text.
class TCustomStringListClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    using TCustomSimpleClipboardFormat::TCustomSimpleClipboardFormat;
    static const ClipboardFormatClass ClassInfo;
    cls::TStringList& Lines() { return lines_; }
    const cls::TStringList& Lines() const { return lines_; }
    void Clear() override { lines_.Clear(); }
    bool HasData() const override { return lines_.Count() > 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override;

private:
    cls::TStringList lines_;
};

// The block as one little-endian 32-bit value; 0 is data too.
class TCustomDWORDClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    using TCustomSimpleClipboardFormat::TCustomSimpleClipboardFormat;
    static const ClipboardFormatClass ClassInfo;
    void Clear() override { value_ = 0; }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override { return 4; }

protected:
    DWORD GetValueDWORD() const { return value_; }
    void SetValueDWORD(DWORD v) { value_ = v; }
    LONG GetValueInteger() const { return static_cast<LONG>(value_); }
    void SetValueInteger(LONG v) { value_ = static_cast<DWORD>(v); }
    bool GetValueBoolean() const { return value_ != 0; }
    void SetValueBoolean(bool v) { value_ = v ? 1 : 0; }

private:
    DWORD value_ = 0;
};

// A drop-effect value ("Value").
class TDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    using TCustomDWORDClipboardFormat::TCustomDWORDClipboardFormat;
    LONG Value() const { return GetValueInteger(); }
    void SetValue(LONG v) { SetValueInteger(v); }
};

class TPreferredDropEffectClipboardFormat : public TDropEffectClipboardFormat {
public:
    TPreferredDropEffectClipboardFormat() : TDropEffectClipboardFormat(GetClassClipboardFormat()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    static CLIPFORMAT GetClassClipboardFormat();
    CLIPFORMAT GetClipboardFormat() const override { return GetClassClipboardFormat(); }
    bool HasData() const override { return true; }
};

class TPerformedDropEffectClipboardFormat : public TDropEffectClipboardFormat {
public:
    TPerformedDropEffectClipboardFormat() : TDropEffectClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
};

class TLogicalPerformedDropEffectClipboardFormat : public TDropEffectClipboardFormat {
public:
    TLogicalPerformedDropEffectClipboardFormat() : TDropEffectClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
};

class TPasteSucceededClipboardFormat : public TDropEffectClipboardFormat {
public:
    TPasteSucceededClipboardFormat() : TDropEffectClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
};

class TInShellDragLoopClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    TInShellDragLoopClipboardFormat() : TCustomDWORDClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
    bool InShellDragLoop() const { return GetValueBoolean(); }
    void SetInShellDragLoop(bool v) { SetValueBoolean(v); }
};

class TTargetCLSIDClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    TTargetCLSIDClipboardFormat() : TCustomSimpleClipboardFormat(Id()) {}
    static const ClipboardFormatClass ClassInfo;
    const ClipboardFormatClass& Class() const override { return ClassInfo; }
    CLIPFORMAT GetClipboardFormat() const override { return Id(); }
    static CLIPFORMAT Id();
    const GUID& CLSID() const { return clsid_; }
    void SetCLSID(const GUID& g) { clsid_ = g; }
    void Clear() override { clsid_ = GUID_NULL; }
    bool HasData() const override { return !IsEqualGUID(clsid_, GUID_NULL); }
    bool ReadData(const void* value, int size) override;
    bool WriteData(void* value, int size) override;
    int GetSize() const override { return 16; }

private:
    GUID clsid_ = GUID_NULL;
};

// Named streams, fed by the virtual-file contents format.
class TDataStreamDataFormat : public TCustomDataFormat {
public:
    explicit TDataStreamDataFormat(TDragDropComponent* owner);
    ~TDataStreamDataFormat() override;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }
    TStreamList& Streams() { return streams_; }
    void Clear() override;
    bool HasData() const override { return streams_.Count() > 0; }
    bool NeedsData() const override { return streams_.Count() == 0; }

private:
    TStreamList streams_;
};

// The shell's feedback values gathered in one data format.
class TFeedbackDataFormat : public TCustomDataFormat {
public:
    using TCustomDataFormat::TCustomDataFormat;
    static const DataFormatClass ClassInfo;
    const DataFormatClass& Class() const override { return ClassInfo; }

    LONG PreferredDropEffect() const { return preferred_; }
    void SetPreferredDropEffect(LONG v) { Changing(); preferred_ = v; }
    LONG PerformedDropEffect() const { return performed_; }
    void SetPerformedDropEffect(LONG v) { Changing(); performed_ = v; }
    LONG LogicalPerformedDropEffect() const { return logicalPerformed_; }
    void SetLogicalPerformedDropEffect(LONG v) { Changing(); logicalPerformed_ = v; }
    LONG PasteSucceeded() const { return pasteSucceeded_; }
    void SetPasteSucceeded(LONG v) { Changing(); pasteSucceeded_ = v; }
    bool InShellDragLoop() const { return inShellDragLoop_; }
    void SetInShellDragLoop(bool v) { Changing(); inShellDragLoop_ = v; }
    const GUID& TargetCLSID() const { return targetCLSID_; }
    void SetTargetCLSID(const GUID& g) { Changing(); targetCLSID_ = g; }

    void Clear() override;
    bool Assign(TClipboardFormat& source) override;
    bool AssignTo(TClipboardFormat& dest) override;
    bool HasData() const override;
    bool NeedsData() const override;

private:
    LONG preferred_ = 0, performed_ = 0, logicalPerformed_ = 0, pasteSucceeded_ = 0;
    bool inShellDragLoop_ = false, gotInShellDragLoop_ = false;
    GUID targetCLSID_ = GUID_NULL;
};

}  // namespace dragdrop
