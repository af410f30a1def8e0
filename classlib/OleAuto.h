// Late-bound automation: reading and writing properties of an IDispatch
// object and calling its methods by name or dispatch ID, as a script would.
// Every failure throws EOleError.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/Raii.h"

namespace cls {

class EOleError : public std::runtime_error {
public:
    EOleError(const std::string& what, HRESULT code) : std::runtime_error(what), code_(code) {}
    HRESULT Code() const { return code_; }

private:
    HRESULT code_;
};

// Throws EOleError naming the step when `hr` is a failure.
void OleCheck(HRESULT hr, const char* what);

// A VARIANT that is cleared when it goes away.
class TVariant {
public:
    TVariant() { VariantInit(&v_); }
    explicit TVariant(const std::wstring& text);
    explicit TVariant(const wchar_t* text) : TVariant(std::wstring(text)) {}
    explicit TVariant(bool value);
    explicit TVariant(long value);
    explicit TVariant(IDispatch* value);  // adds a reference
    ~TVariant() { VariantClear(&v_); }
    TVariant(const TVariant& o);
    TVariant& operator=(const TVariant& o);

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARTYPE Type() const { return v_.vt; }
    // Empties the variant first, for APIs that fill one.
    VARIANT* put();

    // The value converted as automation converts it; throws when it cannot.
    std::wstring AsString() const;
    bool AsBool() const;
    // The object held; throws when the variant holds no object (a missing
    // element comes back as null or empty).
    ComPtr<IDispatch> AsDispatch() const;

private:
    VARIANT v_;
};

DISPID DispIdOf(IDispatch* object, const std::wstring& name);

// Property get, with optional arguments (indexed properties).
TVariant GetProperty(IDispatch* object, DISPID id, const std::vector<TVariant>& args = {});
TVariant GetProperty(IDispatch* object, const std::wstring& name, const std::vector<TVariant>& args = {});
void SetProperty(IDispatch* object, DISPID id, const TVariant& value);
void SetProperty(IDispatch* object, const std::wstring& name, const TVariant& value);
// Method call; the arguments in their written order. Called as a method or
// a property get, as late-bound callers do, so collections' item() works.
TVariant CallMethod(IDispatch* object, DISPID id, const std::vector<TVariant>& args = {});
TVariant CallMethod(IDispatch* object, const std::wstring& name, const std::vector<TVariant>& args = {});

}  // namespace cls
