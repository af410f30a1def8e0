// Text helpers shared by every part of the program. Positions are 1-based
// where the name says so (Pos, Copy), as the rest of the code counts them;
// out-of-range arguments are clamped instead of throwing.
#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cls {

// Removes leading and trailing characters whose code is 32 or less.
std::wstring Trim(std::wstring_view s);
std::wstring TrimLeft(std::wstring_view s);
std::wstring TrimRight(std::wstring_view s);

// Locale-aware case mapping of the system (CharLowerBuffW / CharUpperBuffW).
std::wstring LowerCase(std::wstring_view s);
std::wstring UpperCase(std::wstring_view s);
bool SameText(std::wstring_view a, std::wstring_view b);

// 1-based position of Sub in S at or after Offset; 0 when absent or when
// Sub is empty.
size_t Pos(std::wstring_view sub, std::wstring_view s, size_t offset = 1);
bool Contains(std::wstring_view s, std::wstring_view sub);
bool StartsWith(std::wstring_view s, std::wstring_view prefix);
bool EndsWith(std::wstring_view s, std::wstring_view suffix);
bool StartsText(std::wstring_view s, std::wstring_view prefix);  // ignores case

// Count characters from the 1-based Index; clamped to the string.
std::wstring Copy(std::wstring_view s, size_t index, size_t count = std::wstring::npos);
// Everything after the first occurrence of Sub, or empty when absent.
std::wstring After(std::wstring_view s, std::wstring_view sub);

// Replaces every occurrence; with IgnoreCase the search folds case the way
// LowerCase does, and the rest of the text keeps its case.
std::wstring ReplaceAll(std::wstring_view s, std::wstring_view from,
                        std::wstring_view to, bool ignoreCase = false);

std::wstring Utf8ToWide(std::string_view s);
std::string WideToUtf8(std::wstring_view s);
// Conversion through a Windows code page (CP_ACP for the system's).
std::wstring CodePageToWide(std::string_view s, unsigned codePage);
std::string WideToCodePage(std::wstring_view s, unsigned codePage);

std::wstring IntToStr(int64_t v);
// Decimal integer with optional sign and surrounding blanks; Default when
// the text is not a number or does not fit.
int64_t StrToInt64Def(std::wstring_view s, int64_t def);
int StrToIntDef(std::wstring_view s, int def);
// Nothing for a text that is not a number or does not fit.
std::optional<int> TryStrToInt(std::wstring_view s);
// A text that should have been a number and is not.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// As StrToIntDef, but a text that is not a number that fits raises
// EConvertError naming it.
int StrToInt(std::wstring_view s);
bool IsAsciiDigits(std::wstring_view s);  // non-empty, 0-9 only

}  // namespace cls
