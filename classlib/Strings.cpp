#include "Strings.h"

#include <windows.h>
#include <climits>
#include <vector>

namespace cls {

namespace {
bool IsBlank(wchar_t c) { return c <= 32; }
}

std::wstring TrimLeft(std::wstring_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return std::wstring(s.substr(b));
}

std::wstring TrimRight(std::wstring_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return std::wstring(s.substr(0, e));
}

std::wstring Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::wstring(s.substr(b, e - b));
}

std::wstring LowerCase(std::wstring_view s) {
    std::wstring r(s);
    if (!r.empty()) CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
    return r;
}

std::wstring UpperCase(std::wstring_view s) {
    std::wstring r(s);
    if (!r.empty()) CharUpperBuffW(r.data(), static_cast<DWORD>(r.size()));
    return r;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && LowerCase(a) == LowerCase(b);
}

size_t Pos(std::wstring_view sub, std::wstring_view s, size_t offset) {
    if (sub.empty() || offset == 0 || offset > s.size()) return 0;
    size_t p = s.find(sub, offset - 1);
    return p == std::wstring_view::npos ? 0 : p + 1;
}

bool Contains(std::wstring_view s, std::wstring_view sub) {
    return !sub.empty() && s.find(sub) != std::wstring_view::npos;
}

bool StartsWith(std::wstring_view s, std::wstring_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::wstring_view s, std::wstring_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool StartsText(std::wstring_view s, std::wstring_view prefix) {
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

std::wstring Copy(std::wstring_view s, size_t index, size_t count) {
    if (index == 0) index = 1;
    if (index > s.size()) return {};
    return std::wstring(s.substr(index - 1, count));
}

std::wstring After(std::wstring_view s, std::wstring_view sub) {
    if (sub.empty()) return {};
    size_t p = s.find(sub);
    return p == std::wstring_view::npos ? std::wstring() : std::wstring(s.substr(p + sub.size()));
}

std::wstring ReplaceAll(std::wstring_view s, std::wstring_view from,
                        std::wstring_view to, bool ignoreCase) {
    if (from.empty()) return std::wstring(s);
    // Case folding by CharLowerBuffW maps one UTF-16 unit to one, so
    // positions found in the folded copy are valid in the original.
    std::wstring hay = ignoreCase ? LowerCase(s) : std::wstring(s);
    std::wstring needle = ignoreCase ? LowerCase(from) : std::wstring(from);
    std::wstring out;
    out.reserve(s.size());
    size_t start = 0;
    for (;;) {
        size_t p = hay.find(needle, start);
        if (p == std::wstring::npos) break;
        out.append(s.substr(start, p - start));
        out.append(to);
        start = p + needle.size();
    }
    out.append(s.substr(start));
    return out;
}

std::wstring CodePageToWide(std::string_view s, unsigned codePage) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

std::string WideToCodePage(std::wstring_view s, unsigned codePage) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string r(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), r.data(), n,
                            nullptr, nullptr);
    return r;
}

std::wstring Utf8ToWide(std::string_view s) { return CodePageToWide(s, CP_UTF8); }
std::string WideToUtf8(std::wstring_view s) { return WideToCodePage(s, CP_UTF8); }

std::wstring IntToStr(int64_t v) { return std::to_wstring(v); }

int64_t StrToInt64Def(std::wstring_view s, int64_t def) {
    std::wstring t = Trim(s);
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) neg = t[i++] == L'-';
    if (i >= t.size()) return def;
    uint64_t v = 0;
    const uint64_t limit = neg ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    for (; i < t.size(); ++i) {
        if (t[i] < L'0' || t[i] > L'9') return def;
        unsigned d = t[i] - L'0';
        if (v > (limit - d) / 10) return def;
        v = v * 10 + d;
    }
    return neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
}

std::optional<int> TryStrToInt(std::wstring_view s) {
    // Outside the int range: the sentinel of "not a number" too.
    int64_t v = StrToInt64Def(s, int64_t(INT_MAX) + 1);
    if (v < INT_MIN || v > INT_MAX) return std::nullopt;
    return static_cast<int>(v);
}

int StrToIntDef(std::wstring_view s, int def) { return TryStrToInt(s).value_or(def); }

int StrToInt(std::wstring_view s) {
    std::optional<int> v = TryStrToInt(s);
    if (!v) throw EConvertError(WideToUtf8(L"'" + std::wstring(s) + L"' is not a valid integer value"));
    return *v;
}

bool IsAsciiDigits(std::wstring_view s) {
    if (s.empty()) return false;
    for (wchar_t c : s)
        if (c < L'0' || c > L'9') return false;
    return true;
}

}  // namespace cls
