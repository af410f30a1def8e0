// Core of the drag-and-drop library: clipboard formats (one FORMATETC each),
// data formats (what the application sees, fed by several clipboard formats
// in priority order) and the process-wide format map that ties them.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/Component.h"
#include "classlib/Controls.h"

namespace dragdrop {

using TDragTypes = uint8_t;
constexpr TDragTypes dtCopy = 1, dtMove = 2, dtLink = 4;
using TDataDirections = uint8_t;
constexpr TDataDirections ddRead = 1, ddWrite = 2;
using TConversionCapabilities = uint8_t;
constexpr TConversionCapabilities ccWriteToDataFormat = 1, ccReadFromDataFormat = 2;
enum class TDragDropTier { ddtSource, ddtTarget };
enum class TDataFormatDirection { dfdConsumer, dfdProvider };

class TClipboardFormat;
class TCustomDataFormat;
class TDragDropComponent;

// Library errors ("Exception" in the messages' sense).
class EDragDrop : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// A broken invariant of the library's own use.
class EDragDropAssertion : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// What the registries hold instead of class references: a name, the base
// class for "is this class or a descendant" checks, and a factory.
struct ClipboardFormatClass {
    const wchar_t* Name;
    const ClipboardFormatClass* Parent;
    std::unique_ptr<TClipboardFormat> (*Create)();  // null for abstract classes
    TDataDirections DataDirection;
    void (*MapToDataFormats)();  // rows the clipboard format adds itself; may be null
    bool InheritsFrom(const ClipboardFormatClass& base) const;
};
using TClipboardFormatClass = const ClipboardFormatClass*;

struct DataFormatClass {
    const wchar_t* Name;
    const DataFormatClass* Parent;
    std::unique_ptr<TCustomDataFormat> (*Create)(TDragDropComponent* owner);  // may be null
    void (*MapClipboardFormats)();  // may be null
    bool InheritsFrom(const DataFormatClass& base) const;
};
using TDataFormatClass = const DataFormatClass*;

// A list of clipboard formats; an owning list frees them and stamps its
// data format on them.
class TClipboardFormats {
public:
    TClipboardFormats(TCustomDataFormat* dataFormat, bool ownsObjects);
    ~TClipboardFormats();
    TClipboardFormats(const TClipboardFormats&) = delete;
    TClipboardFormats& operator=(const TClipboardFormats&) = delete;

    // An owning list takes the format over.
    int Add(TClipboardFormat* format);
    int Add(std::unique_ptr<TClipboardFormat> format) { return Add(format.release()); }
    TClipboardFormat* FindFormat(const ClipboardFormatClass& cls) const;
    TClipboardFormat* FindFormat(CLIPFORMAT id) const;
    TClipboardFormat& GetFormat(const ClipboardFormatClass& cls) const;
    TClipboardFormat& GetFormat(CLIPFORMAT id) const;
    // Shares Source's formats without owning them.
    void Assign(const TClipboardFormats& source);
    void Clear();
    int Count() const { return static_cast<int>(list_.size()); }
    TClipboardFormat* Formats(int i) const { return list_.at(i); }
    TCustomDataFormat* DataFormat() const { return dataFormat_; }
    bool OwnsObjects() const { return owns_; }

private:
    std::vector<TClipboardFormat*> list_;
    bool owns_;
    TCustomDataFormat* dataFormat_;
};

class TClipboardFormat {
public:
    TClipboardFormat(CLIPFORMAT id, DWORD tymed);
    explicit TClipboardFormat(const FORMATETC& formatEtc);
    virtual ~TClipboardFormat() = default;
    TClipboardFormat(const TClipboardFormat&) = delete;
    TClipboardFormat& operator=(const TClipboardFormat&) = delete;

    static const ClipboardFormatClass ClassInfo;
    virtual const ClipboardFormatClass& Class() const = 0;

    virtual bool ReadMedium(IDataObject* dataObject, const STGMEDIUM& medium) { return false; }
    virtual bool WriteMedium(const FORMATETC& formatEtcIn, STGMEDIUM& medium) { return false; }
    virtual CLIPFORMAT GetClipboardFormat() const;
    virtual void SetClipboardFormat(CLIPFORMAT value) { formatEtc_.cfFormat = value; }
    virtual std::wstring GetClipboardFormatName() const;
    virtual void SetClipboardFormatName(const std::wstring& value);
    virtual DWORD QueryMediumTypes(IDataObject* dataObject) const;
    virtual bool HasValidFormats(IDataObject* dataObject) const;
    virtual bool AcceptFormat(const FORMATETC& formatEtc) const;
    virtual bool GetData(IDataObject* dataObject);
    // Always releases the medium.
    virtual bool GetDataFromMedium(IDataObject* dataObject, STGMEDIUM& medium);
    // The data object takes the medium over on success; it is released otherwise.
    virtual bool SetData(IDataObject* dataObject, const FORMATETC& formatEtcIn, STGMEDIUM& medium);
    virtual bool Assign(TCustomDataFormat& source) { return false; }
    virtual bool AssignTo(TCustomDataFormat& dest) { return false; }
    virtual void Clear() = 0;
    virtual bool HasData() const { return true; }

    bool SetDataToMedium(const FORMATETC& formatEtcIn, STGMEDIUM& medium);

    const FORMATETC& FormatEtc() const { return formatEtc_; }
    TCustomDataFormat* DataFormat() const { return dataFormat_; }
    void SetDataFormat(TCustomDataFormat* f) { dataFormat_ = f; }

    // Runs the class's own map rows.
    static void RegisterFormat(const ClipboardFormatClass& cls);
    static void UnregisterClipboardFormat(const ClipboardFormatClass& cls);
    static void MapToDataFormat(const ClipboardFormatClass& self, const DataFormatClass& dataFormat,
                                int priority, TConversionCapabilities capabilities);
    static void MapToDataFormatDefault(const ClipboardFormatClass& self, const DataFormatClass& dataFormat);

protected:
    FORMATETC formatEtc_;

private:
    TCustomDataFormat* dataFormat_ = nullptr;
};

// The data formats of one component; not owned.
class TDataFormats {
public:
    TDataFormats() = default;
    virtual ~TDataFormats();
    TDataFormats(const TDataFormats&) = delete;
    TDataFormats& operator=(const TDataFormats&) = delete;
    virtual int Add(TCustomDataFormat* dataFormat);
    virtual int IndexOf(TCustomDataFormat* dataFormat) const;
    virtual void Remove(TCustomDataFormat* dataFormat);
    int Count() const { return static_cast<int>(list_.size()); }
    TCustomDataFormat* Formats(int i) const { return list_.at(i); }

private:
    std::vector<TCustomDataFormat*> list_;
};

class TCustomDataFormat {
public:
    explicit TCustomDataFormat(TDragDropComponent* owner);
    virtual ~TCustomDataFormat();
    TCustomDataFormat(const TCustomDataFormat&) = delete;
    TCustomDataFormat& operator=(const TCustomDataFormat&) = delete;

    static const DataFormatClass ClassInfo;
    virtual const DataFormatClass& Class() const = 0;

    // Fired before the data changes.
    std::function<void(TCustomDataFormat&)> OnChanging;
    virtual void Changing();
    virtual void Clear() = 0;
    virtual bool Assign(TClipboardFormat& source) { return source.AssignTo(*this); }
    virtual bool AssignTo(TClipboardFormat& dest) { return dest.Assign(*this); }
    virtual bool GetData(IDataObject* dataObject);
    virtual bool HasData() const = 0;
    virtual bool NeedsData() const { return !HasData(); }
    virtual bool HasValidFormats(IDataObject* dataObject);
    virtual bool AcceptFormat(const FORMATETC& formatEtc);

    // Created on first use from the owner's compatible formats.
    TClipboardFormats& CompatibleFormats();
    TDragDropComponent* Owner() const { return owner_; }

    // A data format without owner gets its formats straight from the map:
    // a consumer those that can be filled from it, a provider those that
    // can fill it.
    void FillFromMap(TDataFormatDirection direction);

    static void RegisterDataFormat(const DataFormatClass& cls);
    static void UnregisterDataFormat(const DataFormatClass& cls);

protected:
    static void MapClipboardFormat(const DataFormatClass& self, const ClipboardFormatClass& clipboardFormat,
                                   int priority, TConversionCapabilities capabilities);

private:
    std::unique_ptr<TClipboardFormats> compatibleFormats_;
    TDragDropComponent* owner_;
};

// Factories for the class records.
template <typename T>
std::unique_ptr<TClipboardFormat> MakeClipboardFormat() {
    return std::make_unique<T>();
}
template <typename T>
std::unique_ptr<TCustomDataFormat> MakeDataFormat(TDragDropComponent* owner) {
    return std::make_unique<T>(owner);
}

// Creates a data format of Cls without owner, filled from the map.
std::unique_ptr<TCustomDataFormat> CreateDataFormat(const DataFormatClass& cls, TDataFormatDirection direction);

// Registry of data-format classes; one per process.
class TDataFormatClasses {
public:
    TDataFormatClasses();
    ~TDataFormatClasses();
    static int Add(const DataFormatClass& cls);
    static void Remove(const DataFormatClass& cls);
    int Count() const { return static_cast<int>(list_.size()); }
    const DataFormatClass* Classes(int i) const { return list_.at(i); }
    int IndexOf(const DataFormatClass& cls) const;

private:
    std::vector<const DataFormatClass*> list_;
};
TDataFormatClasses& DataFormatClasses();

struct DataFormatMapRow {
    const DataFormatClass* DataFormat;
    const ClipboardFormatClass* ClipboardFormat;
    int Priority;
    TConversionCapabilities Capabilities;
};

// The format map: rows of one data-format class stand together in
// ascending priority (lower is tried first).
class TDataFormatMap {
public:
    TDataFormatMap();
    ~TDataFormatMap();
    void Add(const DataFormatClass& dataFormat, const ClipboardFormatClass& clipboardFormat, int priority,
             TConversionCapabilities capabilities);
    void Delete(const DataFormatClass& dataFormat, const ClipboardFormatClass& clipboardFormat);
    void DeleteByClipboardFormat(const ClipboardFormatClass& clipboardFormat);
    void DeleteByDataFormat(const DataFormatClass& dataFormat);
    void GetClipboardFormats(const DataFormatClass& dataFormat, TClipboardFormats& formats,
                             TDragDropTier tier) const;
    bool CanMap(const DataFormatClass& dataFormat, const ClipboardFormatClass& clipboardFormat) const;
    void RegisterFormatMap(const DataFormatClass& dataFormat, const ClipboardFormatClass& clipboardFormat,
                           int priority, TConversionCapabilities capabilities) {
        Add(dataFormat, clipboardFormat, priority, capabilities);
    }
    void UnregisterFormatMap(const DataFormatClass& dataFormat, const ClipboardFormatClass& clipboardFormat) {
        Delete(dataFormat, clipboardFormat);
    }
    int Count() const { return static_cast<int>(rows_.size()); }
    const DataFormatMapRow& Rows(int i) const { return rows_.at(i); }

private:
    int IndexOf(const DataFormatClass& dataFormat, const ClipboardFormatClass& clipboardFormat) const;
    void Sort();
    std::vector<DataFormatMapRow> rows_;
};
TDataFormatMap& DataFormatMap();

// A component that hands out OLE interfaces of its own; its life follows
// its owner, never the OLE reference count.
class TInterfacedComponent : public cls::TComponent, public IUnknown {
public:
    explicit TInterfacedComponent(cls::TComponent* owner = nullptr) : cls::TComponent(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** obj) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

protected:
    // Interfaces beyond IUnknown that the descendant implements.
    virtual void* GetInterface(REFIID riid) { return nullptr; }
};

class TDragDropComponent : public TInterfacedComponent {
public:
    explicit TDragDropComponent(cls::TComponent* owner = nullptr) : TInterfacedComponent(owner) {}
    // Fills Formats with new instances of what this component can use for
    // the data-format class; the base only empties the list.
    virtual void GetCompatibleClipboardFormats(const DataFormatClass& dataFormat, TClipboardFormats& formats);
    // Null until a descendant that holds data formats creates it.
    TDataFormats* DataFormats() const { return dataFormats_.get(); }

protected:
    std::unique_ptr<TDataFormats> dataFormats_;
};

// Start-up and shut-down of the library: OLE on the GUI thread, then the
// formats' registrations. Finalize undoes OLE only when it was started here.
void Initialize();
void Finalize();
bool ShuttingDown();

LONG DragTypesToDropEffect(TDragTypes dragTypes);
cls::TShiftState KeysToShiftState(DWORD keyState);
LONG ShiftStateToDropEffect(cls::TShiftState shiftState, LONG allowedEffects, bool fallback);
// A client point relative to the whole window, frame included.
POINT ClientPtToWindowPt(HWND handle, POINT clientPt);
std::wstring GetRegisteredClipboardFormatName(UINT format);
std::wstring GetClipboardFormatNameStr(UINT format);
// Copies at most MaxChars characters and a NUL; Dest needs MaxChars + 1.
void CopyWideBuffer(wchar_t* dest, const wchar_t* source, size_t maxChars);
void CopyStringToWideBuffer(wchar_t* dest, const std::wstring& s, size_t maxChars);

// Id of a registered clipboard format, asked from the system once.
class RegisteredFormatId {
public:
    explicit RegisteredFormatId(const wchar_t* name) : name_(name) {}
    CLIPFORMAT Get();

private:
    const wchar_t* name_;
    CLIPFORMAT id_ = 0;
};

}  // namespace dragdrop
