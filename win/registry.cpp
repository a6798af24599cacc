#include "win/registry.hpp"

#include "win/handle.hpp"

#include <vector>

namespace velmora::win {
namespace {

RegKey CreateKey(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h = nullptr;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | view, nullptr, &h,
                          nullptr) != ERROR_SUCCESS) {
        return RegKey();
    }
    return RegKey(h);
}

RegKey OpenForReading(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &h) != ERROR_SUCCESS) return RegKey();
    return RegKey(h);
}

}  // namespace

bool WriteStringValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                      REGSAM view) {
    const RegKey k = CreateKey(root, key, view);
    if (!k) return false;
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(k.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool WriteDwordValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value, REGSAM view) {
    const RegKey k = CreateKey(root, key, view);
    if (!k) return false;
    return ::RegSetValueExW(k.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value) == ERROR_SUCCESS;
}

std::optional<std::wstring> ReadStringValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                            REGSAM view) {
    const RegKey k = OpenForReading(root, key, view);
    if (!k) return std::nullopt;
    // The value may change between the size query and the read: retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, bytes = 0;
        if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG rc = ::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
        // The stored data need not end with a terminator, or may hold several.
        std::size_t length = size / sizeof(wchar_t);
        std::wstring text(buffer.data(), length);
        const auto nul = text.find(L'\0');
        if (nul != std::wstring::npos) text.resize(nul);
        return text;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ReadDwordValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                            REGSAM view) {
    const RegKey k = OpenForReading(root, key, view);
    if (!k) return std::nullopt;
    DWORD type = 0, value = 0, size = sizeof value;
    if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    return static_cast<bool>(OpenForReading(root, key, view));
}

}  // namespace velmora::win
