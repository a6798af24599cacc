// Registry helpers shared by the modules that write values.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velmora::win {

// Creates the key if needed and writes the value. `view` is 0 for the
// process's own view, KEY_WOW64_32KEY or KEY_WOW64_64KEY. False on any failure.
bool WriteStringValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                      REGSAM view = 0);
bool WriteDwordValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value, REGSAM view = 0);


// Reads a string value (REG_SZ or REG_EXPAND_SZ, unexpanded) of an existing
// key; nullopt when the key or value is missing or of another type.
std::optional<std::wstring> ReadStringValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                            REGSAM view = 0);
// Reads a REG_DWORD value; nullopt when missing or of another type.
std::optional<std::uint32_t> ReadDwordValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                            REGSAM view = 0);
// Whether the key exists (opened for reading in the view).
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);

}  // namespace velmora::win
