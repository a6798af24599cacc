#include "win/version_info.hpp"

#include "win/file.hpp"

#include <windows.h>

namespace velmora::win {

VersionResource::VersionResource(const std::wstring& path) {
    const std::wstring name = LongPath(path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(name.c_str(), &ignored);
    if (size == 0) return;
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(name.c_str(), 0, size, block.data())) return;
    block_ = std::move(block);
}

std::optional<std::array<std::uint16_t, 4>> VersionResource::FileVersion() const {
    if (block_.empty()) return std::nullopt;
    void* data = nullptr;
    UINT length = 0;
    // VerQueryValueW takes a non-const block but does not change it.
    auto* block = const_cast<unsigned char*>(block_.data());
    if (!::VerQueryValueW(block, L"\\", &data, &length) || data == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(data);
    if (info->dwSignature != 0xFEEF04BD) return std::nullopt;
    return std::array<std::uint16_t, 4>{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                        HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> VersionResource::FirstTranslation() const {
    if (block_.empty()) return std::nullopt;
    void* data = nullptr;
    UINT length = 0;
    auto* block = const_cast<unsigned char*>(block_.data());
    if (!::VerQueryValueW(block, L"\\VarFileInfo\\Translation", &data, &length) || data == nullptr ||
        length < 2 * sizeof(WORD)) {
        return std::nullopt;
    }
    const auto* words = static_cast<const WORD*>(data);
    return std::pair<std::uint16_t, std::uint16_t>{words[0], words[1]};
}

}  // namespace velmora::win
