// The version resource of a file: its fixed file version and its translations.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::win {

class VersionResource {
public:
    // Reads the resource; empty() when the file is missing or has none.
    explicit VersionResource(const std::wstring& path);

    bool empty() const noexcept { return block_.empty(); }
    // The four numbers of the fixed file version, most significant first.
    std::optional<std::array<std::uint16_t, 4>> FileVersion() const;
    // The first entry of the translation table: (language, code page).
    std::optional<std::pair<std::uint16_t, std::uint16_t>> FirstTranslation() const;

private:
    std::vector<unsigned char> block_;
};

}  // namespace velmora::win
