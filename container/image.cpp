#include "container/image.hpp"

namespace velmora::container {
namespace {

// Reads a little-endian integer at an offset, checking the bounds first.
template <typename T>
std::optional<T> ReadAt(std::string_view bytes, std::uint64_t offset) {
    if (offset > bytes.size() || sizeof(T) > bytes.size() - offset) return std::nullopt;
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    }
    return value;
}

constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kOptionalHeader32Size = 224;
constexpr std::uint64_t kSectionHeaderSize = 40;

}  // namespace

std::optional<std::uint64_t> ImageEnd(std::string_view headers) {
    if (headers.substr(0, 2) != "MZ") return std::nullopt;
    const auto peOffset = ReadAt<std::uint32_t>(headers, 0x3C);
    if (!peOffset) return std::nullopt;
    const auto signature = ReadAt<std::uint32_t>(headers, *peOffset);
    if (!signature || *signature != 0x00004550) return std::nullopt;  // "PE\0\0"
    const std::uint64_t fileHeader = std::uint64_t{*peOffset} + 4;
    const auto sections = ReadAt<std::uint16_t>(headers, fileHeader + 2);
    if (!sections) return std::nullopt;
    const std::uint64_t table = fileHeader + kFileHeaderSize + kOptionalHeader32Size;
    std::uint64_t end = 0;
    for (std::uint64_t i = 0; i < *sections; ++i) {
        const std::uint64_t header = table + i * kSectionHeaderSize;
        const auto rawSize = ReadAt<std::uint32_t>(headers, header + 16);
        const auto rawPointer = ReadAt<std::uint32_t>(headers, header + 20);
        if (!rawSize || !rawPointer) return std::nullopt;
        // Summed in 64 bits: two 32-bit fields cannot wrap around.
        const std::uint64_t sectionEnd = std::uint64_t{*rawPointer} + *rawSize;
        if (sectionEnd > end) end = sectionEnd;
    }
    return end;
}

}  // namespace velmora::container
