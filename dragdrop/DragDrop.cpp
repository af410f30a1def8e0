#include "dragdrop/DragDrop.h"

#include <algorithm>
#include <cwchar>

namespace dragdrop {

namespace {

bool g_shuttingDown = false;
int g_initCount = 0;
bool g_oleInitialized = false;
std::unique_ptr<TDataFormatClasses> g_classes;
TDataFormatClasses* g_classesInstance = nullptr;
std::unique_ptr<TDataFormatMap> g_map;
TDataFormatMap* g_mapInstance = nullptr;

std::string Narrow(const std::wstring& s) {
    return std::string(s.begin(), s.end());  // class names and numbers are ASCII
}

std::wstring Format2(const wchar_t* fmt, const std::wstring& a, const std::wstring& b) {
    std::wstring out = fmt;
    size_t p = out.find(L"%s");
    if (p != std::wstring::npos) out.replace(p, 2, a);
    p = out.find(L"%s", p == std::wstring::npos ? 0 : p + a.size());
    if (p != std::wstring::npos) out.replace(p, 2, b);
    return out;
}

}  // namespace

void RegisterFormatsUnit();    // the stream, storage and feedback formats
void UnregisterFormatsUnit();
void RegisterTextUnit();       // the text formats
void UnregisterTextUnit();
void RegisterPIDLUnit();       // shell item ID lists
void UnregisterPIDLUnit();
void RegisterFileUnit();       // files, file groups and their contents
void UnregisterFileUnit();
void RegisterInternetUnit();   // links and the URL drop target
void UnregisterInternetUnit();

bool ClipboardFormatClass::InheritsFrom(const ClipboardFormatClass& base) const {
    for (auto* c = this; c; c = c->Parent)
        if (c == &base) return true;
    return false;
}

bool DataFormatClass::InheritsFrom(const DataFormatClass& base) const {
    for (auto* c = this; c; c = c->Parent)
        if (c == &base) return true;
    return false;
}

CLIPFORMAT RegisteredFormatId::Get() {
    if (id_ == 0) id_ = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name_));
    return id_;
}

// ---- clipboard formats ----

const ClipboardFormatClass TClipboardFormat::ClassInfo{L"TClipboardFormat", nullptr, nullptr, ddRead, nullptr};
const DataFormatClass TCustomDataFormat::ClassInfo{L"TCustomDataFormat", nullptr, nullptr, nullptr};

TClipboardFormat::TClipboardFormat(CLIPFORMAT id, DWORD tymed)
    : formatEtc_{id, nullptr, DVASPECT_CONTENT, -1, tymed} {}

TClipboardFormat::TClipboardFormat(const FORMATETC& formatEtc) : formatEtc_(formatEtc) {}

CLIPFORMAT TClipboardFormat::GetClipboardFormat() const {
    throw EDragDrop(Narrow(Format2(L"Internal error: %s.%s needs implementation", Class().Name,
                                   L"GetClipboardFormat")));
}

std::wstring TClipboardFormat::GetClipboardFormatName() const {
    return GetRegisteredClipboardFormatName(GetClipboardFormat());
}

void TClipboardFormat::SetClipboardFormatName(const std::wstring&) {
    throw EDragDrop(Narrow(Format2(L"%s.ClipboardFormat is read-only", Class().Name, L"")));
}

DWORD TClipboardFormat::QueryMediumTypes(IDataObject* dataObject) const {
    DWORD result = 0;
    if (!dataObject) return 0;
    for (DWORD b = 1; b != 0 && b <= formatEtc_.tymed; b <<= 1) {
        if (!(formatEtc_.tymed & b)) continue;
        FORMATETC fe = formatEtc_;
        fe.tymed = b;
        if (SUCCEEDED(dataObject->QueryGetData(&fe))) result |= b;
    }
    return result;
}

bool TClipboardFormat::HasValidFormats(IDataObject* dataObject) const {
    if (!dataObject) return false;
    for (DWORD b = 1; b != 0 && b <= formatEtc_.tymed; b <<= 1) {
        if (!(formatEtc_.tymed & b)) continue;
        FORMATETC fe = formatEtc_;
        fe.tymed = b;
        if (SUCCEEDED(dataObject->QueryGetData(&fe))) return true;
    }
    return false;
}

bool TClipboardFormat::AcceptFormat(const FORMATETC& fe) const {
    return fe.cfFormat == GetClipboardFormat() && fe.ptd == nullptr && fe.dwAspect == formatEtc_.dwAspect &&
           (fe.tymed & formatEtc_.tymed) != 0;
}

bool TClipboardFormat::GetData(IDataObject* dataObject) {
    Clear();
    if (!dataObject) return false;
    STGMEDIUM medium{};
    FORMATETC fe = formatEtc_;
    fe.tymed = QueryMediumTypes(dataObject);
    if (FAILED(dataObject->GetData(&fe, &medium))) return false;
    return GetDataFromMedium(dataObject, medium);
}

bool TClipboardFormat::GetDataFromMedium(IDataObject* dataObject, STGMEDIUM& medium) {
    bool result = false;
    try {
        Clear();
        if (medium.tymed & formatEtc_.tymed) result = ReadMedium(dataObject, medium);
    } catch (...) {
        ReleaseStgMedium(&medium);
        throw;
    }
    ReleaseStgMedium(&medium);
    return result;
}

bool TClipboardFormat::SetDataToMedium(const FORMATETC& in, STGMEDIUM& medium) {
    medium = STGMEDIUM{};
    if (in.cfFormat != GetClipboardFormat() || in.dwAspect != formatEtc_.dwAspect || !(in.tymed & formatEtc_.tymed))
        return false;
    return WriteMedium(in, medium);
}

bool TClipboardFormat::SetData(IDataObject* dataObject, const FORMATETC& in, STGMEDIUM& medium) {
    if (dataObject && SetDataToMedium(in, medium)) {
        FORMATETC fe = formatEtc_;
        if (SUCCEEDED(dataObject->SetData(&fe, &medium, TRUE))) return true;
    }
    ReleaseStgMedium(&medium);
    return false;
}

void TClipboardFormat::RegisterFormat(const ClipboardFormatClass& cls) {
    if (cls.MapToDataFormats) cls.MapToDataFormats();
}

void TClipboardFormat::UnregisterClipboardFormat(const ClipboardFormatClass& cls) {
    if (g_shuttingDown) return;
    DataFormatMap().DeleteByClipboardFormat(cls);
}

void TClipboardFormat::MapToDataFormat(const ClipboardFormatClass& self, const DataFormatClass& dataFormat,
                                       int priority, TConversionCapabilities capabilities) {
    DataFormatMap().RegisterFormatMap(dataFormat, self, priority, capabilities);
}

void TClipboardFormat::MapToDataFormatDefault(const ClipboardFormatClass& self, const DataFormatClass& dataFormat) {
    MapToDataFormat(self, dataFormat, 0x7FFFFFFF, ccWriteToDataFormat);
}

// ---- clipboard-format lists ----

TClipboardFormats::TClipboardFormats(TCustomDataFormat* dataFormat, bool ownsObjects)
    : owns_(ownsObjects), dataFormat_(dataFormat) {}

TClipboardFormats::~TClipboardFormats() { Clear(); }

int TClipboardFormats::Add(TClipboardFormat* format) {
    list_.push_back(format);
    if (owns_ && dataFormat_) format->SetDataFormat(dataFormat_);
    return Count() - 1;
}

TClipboardFormat* TClipboardFormats::FindFormat(const ClipboardFormatClass& cls) const {
    for (auto* f : list_)
        if (f->Class().InheritsFrom(cls)) return f;
    return nullptr;
}

TClipboardFormat* TClipboardFormats::FindFormat(CLIPFORMAT id) const {
    for (auto* f : list_)
        if (f->GetClipboardFormat() == id) return f;
    return nullptr;
}

namespace {
std::wstring OwnerName(TCustomDataFormat* f) { return f ? f->Class().Name : L""; }
}  // namespace

TClipboardFormat& TClipboardFormats::GetFormat(const ClipboardFormatClass& cls) const {
    if (auto* f = FindFormat(cls)) return *f;
    throw EDragDrop(Narrow(Format2(L"Clipboard format %s does not exist in %s's list of copatible formats",
                                   cls.Name, OwnerName(dataFormat_))));
}

TClipboardFormat& TClipboardFormats::GetFormat(CLIPFORMAT id) const {
    if (auto* f = FindFormat(id)) return *f;
    throw EDragDrop(Narrow(L"Clipboard format " + std::to_wstring(id) + L" does not exist in " +
                           OwnerName(dataFormat_) + L"'s list of copatible formats"));
}

void TClipboardFormats::Assign(const TClipboardFormats& source) {
    if (&source == this) return;
    Clear();
    owns_ = false;
    list_ = source.list_;
}

void TClipboardFormats::Clear() {
    if (owns_)
        while (!list_.empty()) {
            TClipboardFormat* f = list_.back();
            list_.pop_back();
            delete f;
        }
    list_.clear();
}

// ---- data formats ----

TDataFormats::~TDataFormats() {
    while (!list_.empty()) Remove(list_.back());
}

int TDataFormats::Add(TCustomDataFormat* dataFormat) {
    int i = IndexOf(dataFormat);
    if (i >= 0) return i;
    list_.push_back(dataFormat);
    return Count() - 1;
}

int TDataFormats::IndexOf(TCustomDataFormat* dataFormat) const {
    auto it = std::find(list_.begin(), list_.end(), dataFormat);
    return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

void TDataFormats::Remove(TCustomDataFormat* dataFormat) {
    auto it = std::find(list_.begin(), list_.end(), dataFormat);
    if (it != list_.end()) list_.erase(it);
}

TCustomDataFormat::TCustomDataFormat(TDragDropComponent* owner) : owner_(owner) {
    if (owner) {
        if (!owner->DataFormats()) throw EDragDropAssertion("data format owner has no data-format list");
        owner->DataFormats()->Add(this);
    }
}

TCustomDataFormat::~TCustomDataFormat() {
    compatibleFormats_.reset();
    if (owner_ && owner_->DataFormats()) owner_->DataFormats()->Remove(this);
}

void TCustomDataFormat::Changing() {
    if (OnChanging) OnChanging(*this);
}

TClipboardFormats& TCustomDataFormat::CompatibleFormats() {
    if (!compatibleFormats_) {
        if (!owner_) throw EDragDropAssertion("data format without owner asked for its compatible formats");
        compatibleFormats_ = std::make_unique<TClipboardFormats>(this, true);
        owner_->GetCompatibleClipboardFormats(Class(), *compatibleFormats_);
    }
    return *compatibleFormats_;
}

void TCustomDataFormat::FillFromMap(TDataFormatDirection direction) {
    if (!compatibleFormats_) compatibleFormats_ = std::make_unique<TClipboardFormats>(this, true);
    DataFormatMap().GetClipboardFormats(
        Class(), *compatibleFormats_,
        direction == TDataFormatDirection::dfdConsumer ? TDragDropTier::ddtSource : TDragDropTier::ddtTarget);
}

std::unique_ptr<TCustomDataFormat> CreateDataFormat(const DataFormatClass& cls, TDataFormatDirection direction) {
    if (!cls.Create) return nullptr;
    auto f = cls.Create(nullptr);
    if (f) f->FillFromMap(direction);
    return f;
}

bool TCustomDataFormat::GetData(IDataObject* dataObject) {
    bool result = false;
    TClipboardFormats& formats = CompatibleFormats();
    for (int i = 0; NeedsData() && i < formats.Count(); ++i) {
        TClipboardFormat* f = formats.Formats(i);
        f->Clear();
        if (f->GetData(dataObject) && f->HasData() && Assign(*f)) {
            f->Clear();
            result = true;
        }
    }
    return result;
}

bool TCustomDataFormat::HasValidFormats(IDataObject* dataObject) {
    TClipboardFormats& formats = CompatibleFormats();
    for (int i = 0; i < formats.Count(); ++i)
        if (formats.Formats(i)->HasValidFormats(dataObject)) return true;
    return false;
}

bool TCustomDataFormat::AcceptFormat(const FORMATETC& fe) {
    TClipboardFormats& formats = CompatibleFormats();
    for (int i = 0; i < formats.Count(); ++i)
        if (formats.Formats(i)->AcceptFormat(fe)) return true;
    return false;
}

void TCustomDataFormat::RegisterDataFormat(const DataFormatClass& cls) {
    if (g_shuttingDown) return;
    TDataFormatClasses::Add(cls);
    if (cls.MapClipboardFormats) cls.MapClipboardFormats();
}

void TCustomDataFormat::UnregisterDataFormat(const DataFormatClass& cls) {
    if (g_shuttingDown) return;
    DataFormatMap().DeleteByDataFormat(cls);
    TDataFormatClasses::Remove(cls);
}

void TCustomDataFormat::MapClipboardFormat(const DataFormatClass& self, const ClipboardFormatClass& clipboardFormat,
                                           int priority, TConversionCapabilities capabilities) {
    if (g_shuttingDown) return;
    DataFormatMap().RegisterFormatMap(self, clipboardFormat, priority, capabilities);
}

// ---- registries ----

TDataFormatClasses::TDataFormatClasses() {
    if (g_classesInstance) throw EDragDropAssertion("second data-format class registry");
    g_classesInstance = this;
}

TDataFormatClasses::~TDataFormatClasses() {
    while (!list_.empty()) list_.pop_back();
    if (g_classesInstance == this) g_classesInstance = nullptr;
}

int TDataFormatClasses::IndexOf(const DataFormatClass& cls) const {
    auto it = std::find(list_.begin(), list_.end(), &cls);
    return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

int TDataFormatClasses::Add(const DataFormatClass& cls) {
    TDataFormatClasses& r = DataFormatClasses();
    int i = r.IndexOf(cls);
    if (i >= 0) return i;
    r.list_.push_back(&cls);
    return r.Count() - 1;
}

void TDataFormatClasses::Remove(const DataFormatClass& cls) {
    TDataFormatClasses& r = DataFormatClasses();
    int i = r.IndexOf(cls);
    if (i >= 0) r.list_.erase(r.list_.begin() + i);
}

TDataFormatClasses& DataFormatClasses() {
    if (!g_classes) {
        if (g_shuttingDown) OutputDebugStringW(L"DragDrop.TDataFormatClasses recreated during shutdown");
        g_classes = std::make_unique<TDataFormatClasses>();
    }
    return *g_classes;
}

TDataFormatMap::TDataFormatMap() {
    if (g_mapInstance) throw EDragDropAssertion("second format map");
    g_mapInstance = this;
}

TDataFormatMap::~TDataFormatMap() {
    while (!rows_.empty()) rows_.pop_back();
    if (g_mapInstance == this) g_mapInstance = nullptr;
}

TDataFormatMap& DataFormatMap() {
    if (!g_map) {
        if (g_shuttingDown) OutputDebugStringW(L"DragDrop.TDataFormatMap recreated during shutdown");
        g_map = std::make_unique<TDataFormatMap>();
    }
    return *g_map;
}

int TDataFormatMap::IndexOf(const DataFormatClass& d, const ClipboardFormatClass& c) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].DataFormat->InheritsFrom(d) && rows_[i].ClipboardFormat->InheritsFrom(c))
            return static_cast<int>(i);
    return -1;
}

void TDataFormatMap::Add(const DataFormatClass& d, const ClipboardFormatClass& c, int priority,
                         TConversionCapabilities capabilities) {
    int i = IndexOf(d, c);
    if (i >= 0) {
        DataFormatMapRow row = rows_[i];
        rows_.erase(rows_.begin() + i);
        row.Capabilities |= capabilities;
        rows_.push_back(row);
    } else {
        rows_.push_back({&d, &c, 0, capabilities});
    }
    // Only the drag side's rows carry their priority.
    if (capabilities & ccReadFromDataFormat) rows_.back().Priority = priority;
    Sort();
}

// Places the last row among the rows of its class: after the nearest one
// of strictly lower priority, else at the start of the class's run.
void TDataFormatMap::Sort() {
    int n = static_cast<int>(rows_.size());
    if (n < 2) return;
    DataFormatMapRow last = rows_.back();
    int i = n - 2;
    while (i >= 0 && rows_[i].DataFormat != last.DataFormat) --i;
    if (i < 0) return;
    int j = i;
    while (j >= 0 && rows_[j].DataFormat == last.DataFormat && rows_[j].Priority >= last.Priority) --j;
    rows_.pop_back();
    rows_.insert(rows_.begin() + (j + 1), last);
}

void TDataFormatMap::Delete(const DataFormatClass& d, const ClipboardFormatClass& c) {
    int i = IndexOf(d, c);
    if (i >= 0) rows_.erase(rows_.begin() + i);
}

void TDataFormatMap::DeleteByClipboardFormat(const ClipboardFormatClass& c) {
    for (int i = Count() - 1; i >= 0; --i)
        if (rows_[i].ClipboardFormat->InheritsFrom(c)) rows_.erase(rows_.begin() + i);
}

void TDataFormatMap::DeleteByDataFormat(const DataFormatClass& d) {
    for (int i = Count() - 1; i >= 0; --i)
        if (rows_[i].DataFormat->InheritsFrom(d)) rows_.erase(rows_.begin() + i);
}

bool TDataFormatMap::CanMap(const DataFormatClass& d, const ClipboardFormatClass& c) const {
    return IndexOf(d, c) >= 0;
}

void TDataFormatMap::GetClipboardFormats(const DataFormatClass& d, TClipboardFormats& formats,
                                         TDragDropTier tier) const {
    formats.Clear();
    for (const auto& row : rows_) {
        if (!row.DataFormat->InheritsFrom(d)) continue;
        bool take = tier == TDragDropTier::ddtSource
                        ? (row.Capabilities & ccReadFromDataFormat) || (row.ClipboardFormat->DataDirection & ddWrite)
                        : (row.Capabilities & ccWriteToDataFormat) || (row.ClipboardFormat->DataDirection & ddRead);
        if (take && row.ClipboardFormat->Create) formats.Add(row.ClipboardFormat->Create());
    }
}

// ---- components ----

HRESULT STDMETHODCALLTYPE TInterfacedComponent::QueryInterface(REFIID riid, void** obj) {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    if (IsEqualIID(riid, IID_IUnknown))
        *obj = static_cast<IUnknown*>(this);
    else
        *obj = GetInterface(riid);
    if (!*obj) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TInterfacedComponent::AddRef() {
    if (auto* u = dynamic_cast<IUnknown*>(Owner())) return u->AddRef();
    return static_cast<ULONG>(-1);
}

ULONG STDMETHODCALLTYPE TInterfacedComponent::Release() {
    if (auto* u = dynamic_cast<IUnknown*>(Owner())) return u->Release();
    return static_cast<ULONG>(-1);
}

void TDragDropComponent::GetCompatibleClipboardFormats(const DataFormatClass&, TClipboardFormats& formats) {
    formats.Clear();
}

// ---- start-up and shut-down ----

void Initialize() {
    if (g_initCount++ > 0) return;
    g_shuttingDown = false;
    g_oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    RegisterFormatsUnit();
    RegisterTextUnit();
    RegisterPIDLUnit();
    RegisterFileUnit();
    RegisterInternetUnit();
}

void Finalize() {
    if (g_initCount == 0 || --g_initCount > 0) return;
    g_shuttingDown = true;
    UnregisterInternetUnit();
    UnregisterFileUnit();
    UnregisterPIDLUnit();
    UnregisterTextUnit();
    UnregisterFormatsUnit();
    g_map.reset();
    g_classes.reset();
    if (g_oleInitialized) OleUninitialize();
    g_oleInitialized = false;
}

bool ShuttingDown() { return g_shuttingDown; }

// ---- helpers ----

LONG DragTypesToDropEffect(TDragTypes t) {
    LONG e = DROPEFFECT_NONE;
    if (t & dtCopy) e |= DROPEFFECT_COPY;
    if (t & dtMove) e |= DROPEFFECT_MOVE;
    if (t & dtLink) e |= DROPEFFECT_LINK;
    return e;
}

cls::TShiftState KeysToShiftState(DWORD k) {
    cls::TShiftState s = 0;
    if (k & MK_SHIFT) s |= cls::ssShift;
    if (k & MK_CONTROL) s |= cls::ssCtrl;
    if (k & MK_ALT) s |= cls::ssAlt;
    if (k & MK_LBUTTON) s |= cls::ssLeft;
    if (k & MK_RBUTTON) s |= cls::ssRight;
    if (k & MK_MBUTTON) s |= cls::ssMiddle;
    return s;
}

LONG ShiftStateToDropEffect(cls::TShiftState s, LONG allowed, bool fallback) {
    bool shift = s & cls::ssShift, ctrl = s & cls::ssCtrl;
    LONG wanted = (shift && ctrl) ? DROPEFFECT_LINK : ctrl ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    if (allowed & wanted) return wanted;
    if (!fallback) return DROPEFFECT_NONE;
    for (LONG e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & e) return e;
    return DROPEFFECT_NONE;
}

POINT ClientPtToWindowPt(HWND handle, POINT pt) {
    RECT r{};
    ClientToScreen(handle, &pt);
    GetWindowRect(handle, &r);
    return {pt.x - r.left, pt.y - r.top};
}

std::wstring GetRegisteredClipboardFormatName(UINT format) {
    wchar_t buf[256] = {};
    int n = GetClipboardFormatNameW(format, buf, 255);
    return std::wstring(buf, n > 0 ? n : 0);
}

std::wstring GetClipboardFormatNameStr(UINT format) {
    static const wchar_t* const standard[] = {
        L"CF_TEXT",    L"CF_BITMAP",  L"CF_METAFILEPICT", L"CF_SYLK",        L"CF_DIF",    L"CF_TIFF",
        L"CF_OEMTEXT", L"CF_DIB",     L"CF_PALETTE",      L"CF_PENDATA",     L"CF_RIFF",   L"CF_WAVE",
        L"CF_UNICODETEXT", L"CF_ENHMETAFILE", L"CF_HDROP", L"CF_LOCALE"};
    if (format >= 1 && format <= 16) return standard[format - 1];
    switch (format) {
    case 17: return L"CF_DIBV5";
    case 18: return L"CF_MAX_XP";
    case 128: return L"CF_OWNERDISPLAY";
    case 129: return L"CF_DSPTEXT";
    case 130: return L"CF_DSPBITMAP";
    case 131: return L"CF_DSPMETAFILEPICT";
    case 142: return L"CF_DSPENHMETAFILE";
    default: return GetRegisteredClipboardFormatName(format);
    }
}

void CopyWideBuffer(wchar_t* dest, const wchar_t* source, size_t maxChars) {
    size_t n = 0;
    if (source)
        while (n < maxChars && source[n]) {
            dest[n] = source[n];
            ++n;
        }
    dest[n] = 0;
}

void CopyStringToWideBuffer(wchar_t* dest, const std::wstring& s, size_t maxChars) {
    CopyWideBuffer(dest, s.c_str(), maxChars);
}

}  // namespace dragdrop
