#include "classlib/OleAuto.h"

#include <oleauto.h>

#include <cstdio>

namespace cls {

void OleCheck(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return;
    char text[160];
    std::snprintf(text, sizeof text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
    throw EOleError(text, hr);
}

TVariant::TVariant(const std::wstring& text) {
    VariantInit(&v_);
    v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!v_.bstrVal) throw EOleError("out of memory for a string", E_OUTOFMEMORY);
    v_.vt = VT_BSTR;
}

TVariant::TVariant(bool value) {
    VariantInit(&v_);
    v_.vt = VT_BOOL;
    v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

TVariant::TVariant(long value) {
    VariantInit(&v_);
    v_.vt = VT_I4;
    v_.lVal = value;
}

TVariant::TVariant(IDispatch* value) {
    VariantInit(&v_);
    v_.vt = VT_DISPATCH;
    v_.pdispVal = value;
    if (value) value->AddRef();
}

TVariant::TVariant(const TVariant& o) {
    VariantInit(&v_);
    OleCheck(VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)), "VariantCopy");
}

TVariant& TVariant::operator=(const TVariant& o) {
    if (this != &o) OleCheck(VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)), "VariantCopy");
    return *this;
}

VARIANT* TVariant::put() {
    VariantClear(&v_);
    return &v_;
}

std::wstring TVariant::AsString() const {
    if (v_.vt == VT_BSTR) return v_.bstrVal ? std::wstring(v_.bstrVal, SysStringLen(v_.bstrVal)) : L"";
    TVariant s;
    OleCheck(VariantChangeType(s.get(), const_cast<VARIANT*>(&v_), 0, VT_BSTR), "conversion to text");
    return s.AsString();
}

bool TVariant::AsBool() const {
    TVariant b;
    OleCheck(VariantChangeType(b.get(), const_cast<VARIANT*>(&v_), 0, VT_BOOL), "conversion to boolean");
    return b.get()->boolVal != VARIANT_FALSE;
}

ComPtr<IDispatch> TVariant::AsDispatch() const {
    const VARIANT* v = &v_;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    IDispatch* d = nullptr;
    if (v->vt == VT_DISPATCH) d = v->pdispVal;
    else if (v->vt == (VT_DISPATCH | VT_BYREF) && v->ppdispVal) d = *v->ppdispVal;
    if (!d) throw EOleError("no object", DISP_E_TYPEMISMATCH);
    return ComPtr<IDispatch>(d, true);
}

DISPID DispIdOf(IDispatch* object, const std::wstring& name) {
    if (!object) throw EOleError("no object", E_POINTER);
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    OleCheck(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    return id;
}

namespace {

TVariant Call(IDispatch* object, DISPID id, WORD flags, const std::vector<TVariant>& args) {
    if (!object) throw EOleError("no object", E_POINTER);
    // Invoke takes the arguments last to first.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    TVariant result;
    EXCEPINFO excep = {};
    UINT argErr = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                (flags & DISPATCH_PROPERTYPUT) ? nullptr : result.put(), &excep, &argErr);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    OleCheck(hr, "IDispatch::Invoke");
    return result;
}

}  // namespace

TVariant GetProperty(IDispatch* object, DISPID id, const std::vector<TVariant>& args) {
    return Call(object, id, DISPATCH_PROPERTYGET, args);
}

TVariant GetProperty(IDispatch* object, const std::wstring& name, const std::vector<TVariant>& args) {
    return GetProperty(object, DispIdOf(object, name), args);
}

void SetProperty(IDispatch* object, DISPID id, const TVariant& value) {
    Call(object, id, DISPATCH_PROPERTYPUT, {value});
}

void SetProperty(IDispatch* object, const std::wstring& name, const TVariant& value) {
    SetProperty(object, DispIdOf(object, name), value);
}

TVariant CallMethod(IDispatch* object, DISPID id, const std::vector<TVariant>& args) {
    return Call(object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

TVariant CallMethod(IDispatch* object, const std::wstring& name, const std::vector<TVariant>& args) {
    return CallMethod(object, DispIdOf(object, name), args);
}

}  // namespace cls
