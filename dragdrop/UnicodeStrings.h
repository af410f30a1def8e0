// Lists of 16-bit strings for file names, independent of the class
// library's string list (which the adapter presents as one of these).
#pragma once
#include <objidl.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/StringList.h"

namespace dragdrop {

class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

class TUnicodeStrings {
public:
    virtual ~TUnicodeStrings() = default;

    std::function<void(TUnicodeStrings&)> OnChange;
    std::function<void(TUnicodeStrings&)> OnChanging;

    void AssignTo(cls::TStringList& dest) const;
    void Assign(const TUnicodeStrings& source);
    void Assign(const cls::TStringList& source);
    virtual int GetCapacity() const { return GetCount(); }
    virtual void SetCapacity(int newCapacity) {}
    virtual int GetCount() const = 0;
    virtual std::wstring Get(int index) const = 0;
    virtual void Put(int index, const std::wstring& s) = 0;
    virtual void Changed();
    virtual void Changing();
    virtual int Add(const std::wstring& s);
    virtual int IndexOf(const std::wstring& s) const;
    virtual void Insert(int index, const std::wstring& s) = 0;
    virtual void Clear() = 0;
    virtual void Delete(int index) = 0;
    virtual void Exchange(int index1, int index2);
    virtual void Move(int curIndex, int newIndex);

    int Count() const { return GetCount(); }
    std::wstring operator[](int index) const { return Get(index); }
    // Lines joined with CR LF, nothing after the last.
    std::wstring Text() const;
    // Splits at CR, LF or CR LF; a NUL ends the text.
    void SetText(const std::wstring& text);
    void BeginUpdate();
    void EndUpdate();
    // 16-bit little-endian characters, no byte-order mark, no terminator.
    bool SaveToStream(IStream* stream) const;
    bool SaveToFile(const std::wstring& fileName) const;

protected:
    // Raises the list error unless 0 <= Index < Limit.
    static void CheckIndex(int index, int limit);

private:
    int updateCount_ = 0;
};

class TUnicodeStringList : public TUnicodeStrings {
public:
    int GetCapacity() const override { return static_cast<int>(strings_.size()); }
    void SetCapacity(int newCapacity) override;
    int GetCount() const override { return count_; }
    std::wstring Get(int index) const override;
    void Put(int index, const std::wstring& s) override;
    void Insert(int index, const std::wstring& s) override;
    void Clear() override;
    void Delete(int index) override;

private:
    void Grow();
    std::vector<std::wstring> strings_;  // its size is the capacity
    int count_ = 0;
};

// Presents a class-library string list; owns nothing and must not outlive it.
class TUnicodeStringsAdapter : public TUnicodeStrings {
public:
    explicit TUnicodeStringsAdapter(cls::TStringList& strings) : strings_(strings) {}
    int GetCapacity() const override { return strings_.Count(); }
    int GetCount() const override { return strings_.Count(); }
    std::wstring Get(int index) const override;
    void Put(int index, const std::wstring& s) override;
    void Insert(int index, const std::wstring& s) override;
    void Clear() override;
    void Delete(int index) override;

private:
    cls::TStringList& strings_;
};

}  // namespace dragdrop
