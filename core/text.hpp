// Text helpers shared by every module: UTF-8 and UTF-16 conversion, case
// mapping, comparison without regard to case and number parsing. Nothing
// else in the project hand-rolls these.
//
// std::wstring is the text type. On Windows it holds UTF-16; in the host
// build (where wchar_t is 32 bits) it holds one code point per element. The
// conversions below handle both, so core code never depends on the width.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::text {

// Malformed UTF-8 sequences become U+FFFD, as the system decoder does.
std::wstring FromUtf8(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view text);

// UTF-16 little-endian bytes, without byte order mark.
std::string ToUtf16Le(std::wstring_view text);

// Plain ASCII conversion for literals and identifiers (no decoding).
std::wstring Widen(std::string_view ascii);

// Locale-aware full case mapping (through the system interface).
std::wstring Upper(std::wstring_view text);
std::wstring Lower(std::wstring_view text);

// Case mapping of ASCII letters only.
std::wstring UpperAscii(std::wstring_view text);
std::wstring LowerAscii(std::wstring_view text);
wchar_t UpperAsciiChar(wchar_t c);

// Equality without regard to case, the way the system compares names.
bool SameText(std::wstring_view a, std::wstring_view b);

// Hash and equality functors for maps keyed without regard to case. The hash
// folds ASCII letters itself and asks the system only for other characters,
// so that texts equal under SameText hash alike.
struct CaseInsensitiveHash {
    std::size_t operator()(std::wstring_view text) const noexcept;
};
struct CaseInsensitiveEqual {
    bool operator()(std::wstring_view a, std::wstring_view b) const noexcept;
};

// Strict decimal integers: an optional sign followed by one or more digits,
// nothing else. Out-of-range values give nullopt.
std::optional<std::int32_t> ParseInt32(std::wstring_view text);
std::optional<std::int64_t> ParseInt64(std::wstring_view text);

// The script's integer form, as conditions and arithmetic read numbers:
// optional leading blanks (space characters), an optional sign, then decimal
// digits or a hexadecimal number introduced by "$", "x", "X", "0x" or "0X",
// with nothing after it. Out-of-range values give nullopt.
std::optional<std::int32_t> ParseScriptInt32(std::wstring_view text);
std::optional<std::int64_t> ParseScriptInt64(std::wstring_view text);

std::wstring ToDecimal(std::int64_t value);
// The same digits written into `buffer` (which holds the longest value),
// without an allocation: the view points into the buffer.
using DecimalBuffer = wchar_t[24];
std::wstring_view FormatDecimal(std::int64_t value, DecimalBuffer& buffer);

}  // namespace velmora::text
