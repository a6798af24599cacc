#include "tools/builder/guid.hpp"

#include <random>

namespace velmora::builder {

GuidSource::GuidSource(std::optional<std::uint64_t> seed) {
    if (seed) {
        state_ = *seed;
    } else {
        std::random_device device;
        state_ = (std::uint64_t{device()} << 32) ^ device();
    }
}

// splitmix64: small, fast, and the same on every platform.
std::uint64_t GuidSource::Next64() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::wstring GuidSource::Next() {
    std::uint64_t hi = Next64();
    std::uint64_t lo = Next64();
    hi = (hi & ~0xF000ull) | 0x4000ull;                          // version 4
    lo = (lo & ~(0xC0ull << 56)) | (0x80ull << 56);              // variant 10
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out = L"{";
    auto put = [&](std::uint64_t v, int nibbles) {
        for (int i = nibbles - 1; i >= 0; --i) out.push_back(kHex[(v >> (4 * i)) & 0xF]);
    };
    put(hi >> 32, 8);
    out.push_back(L'-');
    put(hi >> 16, 4);
    out.push_back(L'-');
    put(hi, 4);
    out.push_back(L'-');
    put(lo >> 48, 4);
    out.push_back(L'-');
    put(lo, 12);
    out.push_back(L'}');
    return out;
}

bool IsRegistryGuid(std::wstring_view t) {
    if (t.size() != 38 || t.front() != L'{' || t.back() != L'}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const wchar_t c = t[i];
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (dash ? c != L'-' : !hex) return false;
    }
    return true;
}

}  // namespace velmora::builder
