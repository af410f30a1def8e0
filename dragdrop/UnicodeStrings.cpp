#include "dragdrop/UnicodeStrings.h"

#include <windows.h>

#include <algorithm>

#include "classlib/Raii.h"
#include "dragdrop/DragDrop.h"

namespace dragdrop {

void TUnicodeStrings::CheckIndex(int index, int limit) {
    if (index < 0 || index >= limit)
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TUnicodeStrings::Changed() {
    if (OnChange && updateCount_ == 0) OnChange(*this);
}

void TUnicodeStrings::Changing() {
    if (OnChanging && updateCount_ == 0) OnChanging(*this);
}

void TUnicodeStrings::BeginUpdate() {
    if (updateCount_ == 0) Changing();
    ++updateCount_;
}

void TUnicodeStrings::EndUpdate() {
    if (--updateCount_ == 0) Changed();
}

namespace {
// Ends an update also when an exception passes.
struct UpdateScope {
    explicit UpdateScope(TUnicodeStrings& s) : s_(s) { s_.BeginUpdate(); }
    ~UpdateScope() { s_.EndUpdate(); }
    TUnicodeStrings& s_;
};
}  // namespace

int TUnicodeStrings::Add(const std::wstring& s) {
    int i = GetCount();
    Insert(i, s);
    return i;
}

int TUnicodeStrings::IndexOf(const std::wstring& s) const {
    for (int i = GetCount() - 1; i >= 0; --i)
        if (Get(i) == s) return i;
    return -1;
}

void TUnicodeStrings::Exchange(int index1, int index2) {
    CheckIndex(index1, GetCount());
    CheckIndex(index2, GetCount());
    UpdateScope update(*this);
    std::wstring a = Get(index1);
    Put(index1, Get(index2));
    Put(index2, a);
}

void TUnicodeStrings::Move(int curIndex, int newIndex) {
    CheckIndex(curIndex, GetCount());
    CheckIndex(newIndex, GetCount());
    UpdateScope update(*this);
    std::wstring s = Get(curIndex);
    Delete(curIndex);
    Insert(newIndex, s);
}

void TUnicodeStrings::Assign(const TUnicodeStrings& source) {
    if (&source == this) return;
    UpdateScope update(*this);
    Clear();
    SetCapacity(source.Count());
    for (int i = 0; i < source.Count(); ++i) Add(source.Get(i));
}

void TUnicodeStrings::Assign(const cls::TStringList& source) {
    UpdateScope update(*this);
    Clear();
    SetCapacity(source.Count());
    for (int i = 0; i < source.Count(); ++i) Add(source[i]);
}

void TUnicodeStrings::AssignTo(cls::TStringList& dest) const {
    dest.Clear();
    for (int i = 0; i < GetCount(); ++i) dest.Add(Get(i));
}

std::wstring TUnicodeStrings::Text() const {
    std::wstring out;
    for (int i = 0; i < GetCount(); ++i) {
        if (i > 0) out += L"\r\n";
        out += Get(i);
    }
    return out;
}

void TUnicodeStrings::SetText(const std::wstring& textIn) {
    UpdateScope update(*this);
    Clear();
    std::wstring text = textIn.substr(0, textIn.find(L'\0'));
    if (text.empty()) return;
    size_t lines = 1;
    for (wchar_t c : text)
        if (c == L'\n') ++lines;
    SetCapacity(std::max(GetCapacity(), static_cast<int>(std::min<size_t>(lines, 1 << 20))));
    size_t p = 0;
    while (p < text.size()) {
        size_t e = text.find_first_of(L"\r\n", p);
        if (e == std::wstring::npos) e = text.size();
        Add(text.substr(p, e - p));
        p = e;
        if (p < text.size() && text[p] == L'\r') ++p;
        if (p < text.size() && text[p] == L'\n') ++p;
    }
}

bool TUnicodeStrings::SaveToStream(IStream* stream) const {
    if (!stream) return false;
    std::wstring t = Text();
    std::string bytes;
    bytes.reserve(t.size() * 2);
    for (wchar_t c : t) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    ULONG written = 0;
    if (bytes.empty()) return true;
    return SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) &&
           written == bytes.size();
}

bool TUnicodeStrings::SaveToFile(const std::wstring& fileName) const {
    cls::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) || !SaveToStream(stream.get())) return false;
    HGLOBAL h = nullptr;
    GetHGlobalFromStream(stream.get(), &h);
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    cls::FileHandle f(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!f) return false;
    DWORD size = st.cbSize.LowPart, written = 0;
    if (size == 0) return true;
    void* p = GlobalLock(h);
    bool ok = p && WriteFile(f.get(), p, size, &written, nullptr) && written == size;
    if (p) GlobalUnlock(h);
    return ok;
}

// ---- TUnicodeStringList ----

void TUnicodeStringList::SetCapacity(int newCapacity) {
    if (newCapacity < count_) throw EDragDropAssertion("capacity below count");
    strings_.resize(newCapacity);
}

std::wstring TUnicodeStringList::Get(int index) const {
    CheckIndex(index, count_);
    return strings_[index];
}

void TUnicodeStringList::Put(int index, const std::wstring& s) {
    CheckIndex(index, count_);
    Changing();
    strings_[index] = s;
    Changed();
}

void TUnicodeStringList::Grow() {
    int cap = GetCapacity();
    int delta = cap > 64 ? cap / 4 : cap > 8 ? 16 : 4;
    strings_.resize(cap + delta);
}

void TUnicodeStringList::Insert(int index, const std::wstring& s) {
    CheckIndex(index, count_ + 1);
    Changing();
    if (count_ == GetCapacity()) Grow();
    for (int i = count_; i > index; --i) strings_[i] = std::move(strings_[i - 1]);
    strings_[index] = s;
    ++count_;
    Changed();
}

void TUnicodeStringList::Delete(int index) {
    CheckIndex(index, count_);
    Changing();
    --count_;
    for (int i = index; i < count_; ++i) strings_[i] = std::move(strings_[i + 1]);
    strings_[count_].clear();
    Changed();
}

void TUnicodeStringList::Clear() {
    Changing();
    for (int i = 0; i < count_; ++i) strings_[i].clear();
    count_ = 0;
    Changed();
}

// ---- adapter ----

std::wstring TUnicodeStringsAdapter::Get(int index) const {
    CheckIndex(index, strings_.Count());
    return strings_[index];
}

void TUnicodeStringsAdapter::Put(int index, const std::wstring& s) {
    CheckIndex(index, strings_.Count());
    strings_[index] = s;
}

void TUnicodeStringsAdapter::Insert(int index, const std::wstring& s) {
    CheckIndex(index, strings_.Count() + 1);
    strings_.Insert(index, s);
}

void TUnicodeStringsAdapter::Clear() { strings_.Clear(); }

void TUnicodeStringsAdapter::Delete(int index) {
    CheckIndex(index, strings_.Count());
    strings_.Delete(index);
}

}  // namespace dragdrop
