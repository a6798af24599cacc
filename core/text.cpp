#include "core/text.hpp"

#include "core/system.hpp"

#include <algorithm>
#include <iterator>
#include <limits>

namespace velmora::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsAscii(std::wstring_view text) {
    for (wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) >= 0x80) return false;
    }
    return true;
}

template <typename T>
std::optional<T> ParseSigned(std::wstring_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    // The first nine digits cannot overflow any T: they are read in 32 bits
    // (64-bit arithmetic takes several instructions on 32-bit x86).
    std::uint32_t head = 0;
    for (const std::size_t headEnd = std::min(text.size(), i + 9); i < headEnd; ++i) {
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9') return std::nullopt;
        head = head * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    // The rest accumulates as a negative number so that the minimum value
    // fits. value * 10 - digit stays at or above kMin exactly when value is
    // above kMin / 10, or equal to it with a digit up to kMin's last digit.
    T value = static_cast<T>(-static_cast<T>(head));
    constexpr T kMin = std::numeric_limits<T>::min();
    constexpr T kMinTenth = kMin / 10;
    constexpr T kMinLastDigit = -(kMin % 10);
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9') return std::nullopt;
        const T digit = static_cast<T>(c - L'0');
        if (value < kMinTenth || (value == kMinTenth && digit > kMinLastDigit)) return std::nullopt;
        value = static_cast<T>(value * 10 - digit);
    }
    if (!negative) {
        if (value == kMin) return std::nullopt;
        value = static_cast<T>(-value);
    }
    return value;
}

}  // namespace

std::wstring FromUtf8(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            out.push_back(static_cast<wchar_t>(b0));
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, minimum = 0x10000;
        } else {
            AppendCodePoint(out, kReplacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int got = 0;
        for (; got < extra && j < n; ++got, ++j) {
            const auto b = static_cast<unsigned char>(s[j]);
            if ((b & 0xC0) != 0x80) break;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (got != extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // One replacement for the lead byte and the continuation bytes read.
            AppendCodePoint(out, kReplacement);
            i = j;
            continue;
        }
        AppendCodePoint(out, cp);
        i = j;
    }
    return out;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const auto lo = static_cast<char32_t>(static_cast<std::uint16_t>(text[i + 1]));
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                    AppendUtf8(out, cp);
                    continue;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
        AppendUtf8(out, cp);
    }
    return out;
}

std::string ToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto unit = [&out](std::uint32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    for (wchar_t c : text) {
        auto cp = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp > 0x10FFFF ? 0xFFFD : cp);
        }
    }
    return out;
}

std::wstring Widen(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring Upper(std::wstring_view text) {
    return IsAscii(text) ? UpperAscii(text) : sys::UpperCase(text);
}

std::wstring Lower(std::wstring_view text) {
    return IsAscii(text) ? LowerAscii(text) : sys::LowerCase(text);
}

wchar_t UpperAsciiChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

std::wstring UpperAscii(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = UpperAsciiChar(c);
    return out;
}

std::wstring LowerAscii(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    }
    return out;
}

namespace {

bool IsAsciiUnit(wchar_t c) { return static_cast<std::uint32_t>(c) < 0x80; }

// Texts with a character outside ASCII are compared as the system maps them.
bool SameTextBySystem(std::wstring_view a, std::wstring_view b) { return sys::UpperCase(a) == sys::UpperCase(b); }

}  // namespace

bool SameText(std::wstring_view a, std::wstring_view b) {
    // One pass over ASCII texts of equal length (nearly every call): the
    // first character outside ASCII hands both whole texts to the system.
    if (a.size() == b.size()) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!IsAsciiUnit(a[i]) || !IsAsciiUnit(b[i])) return SameTextBySystem(a, b);
            if (UpperAsciiChar(a[i]) != UpperAsciiChar(b[i])) {
                // Different here; only a character outside ASCII further on
                // leaves the answer to the system's mapping.
                return IsAscii(a.substr(i + 1)) && IsAscii(b.substr(i + 1)) ? false : SameTextBySystem(a, b);
            }
        }
        return true;
    }
    if (IsAscii(a) && IsAscii(b)) return false;
    return SameTextBySystem(a, b);
}

std::size_t CaseInsensitiveHash::operator()(std::wstring_view text) const noexcept {
    // FNV-1a over the upper-cased text. ASCII texts (nearly all names) are
    // folded here in one pass; the first character outside ASCII hands the
    // whole text to the system's mapping.
    constexpr std::uint64_t kBasis = 1469598103934665603ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    auto finish = [](std::uint64_t h) { return static_cast<std::size_t>(h ^ (h >> 32)); };
    std::uint64_t h = kBasis;
    for (wchar_t c : text) {
        if (!IsAsciiUnit(c)) {
            h = kBasis;
            for (wchar_t u : sys::UpperCase(text)) {
                h ^= static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<wchar_t>>(u));
                h *= kPrime;
            }
            return finish(h);
        }
        h ^= static_cast<std::uint64_t>(UpperAsciiChar(c));
        h *= kPrime;
    }
    return finish(h);
}

bool CaseInsensitiveEqual::operator()(std::wstring_view a, std::wstring_view b) const noexcept {
    return SameText(a, b);
}

std::optional<std::int32_t> ParseInt32(std::wstring_view text) {
    return ParseSigned<std::int32_t>(text);
}

std::optional<std::int64_t> ParseInt64(std::wstring_view text) {
    return ParseSigned<std::int64_t>(text);
}

namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

template <typename T>
std::optional<T> ParseScript(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    text.remove_prefix(i);
    std::size_t digits = 0;
    if (!text.empty() && (text[0] == L'+' || text[0] == L'-')) digits = 1;
    std::size_t hex = 0;  // length of the hexadecimal prefix
    const std::wstring_view rest = text.substr(digits);
    if (rest.size() >= 2 && rest[0] == L'0' && (rest[1] == L'x' || rest[1] == L'X')) {
        hex = 2;
    } else if (!rest.empty() && (rest[0] == L'$' || rest[0] == L'x' || rest[0] == L'X')) {
        hex = 1;
    }
    if (hex == 0) return ParseSigned<T>(text);

    using U = std::make_unsigned_t<T>;
    const std::wstring_view number = rest.substr(hex);
    if (number.empty()) return std::nullopt;
    const bool negative = digits == 1 && text[0] == L'-';
    const U limit = negative ? static_cast<U>(static_cast<U>(std::numeric_limits<T>::max()) + 1)
                             : static_cast<U>(std::numeric_limits<T>::max());
    U value = 0;
    for (wchar_t c : number) {
        const int d = HexDigit(c);
        if (d < 0 || value > (limit - static_cast<U>(d)) / 16) return std::nullopt;
        value = static_cast<U>(value * 16 + static_cast<U>(d));
    }
    if (!negative) return static_cast<T>(value);
    // Two's complement negation of the magnitude; the minimum fits exactly.
    return static_cast<T>(static_cast<U>(0) - value);
}

}  // namespace

std::optional<std::int32_t> ParseScriptInt32(std::wstring_view text) { return ParseScript<std::int32_t>(text); }

std::optional<std::int64_t> ParseScriptInt64(std::wstring_view text) { return ParseScript<std::int64_t>(text); }

std::wstring_view FormatDecimal(std::int64_t value, DecimalBuffer& buffer) {
    // Digits written from the right; the magnitude is unsigned so that the
    // minimum value negates without overflow.
    wchar_t* const end = buffer + std::size(buffer);
    wchar_t* p = end;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    // 64-bit division is a library call on 32-bit x86: it is used only
    // until the rest fits in 32 bits, which is at once for most values.
    while (magnitude > UINT32_MAX) {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    }
    auto small = static_cast<std::uint32_t>(magnitude);
    do {
        *--p = static_cast<wchar_t>(L'0' + small % 10);
        small /= 10;
    } while (small != 0);
    if (value < 0) *--p = L'-';
    return std::wstring_view(p, static_cast<std::size_t>(end - p));
}

std::wstring ToDecimal(std::int64_t value) {
    DecimalBuffer buffer;
    return std::wstring(FormatDecimal(value, buffer));
}

}  // namespace velmora::text
