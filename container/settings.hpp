// The build settings of the container (pairs of name and value, in the
// authoring tool's order) and the command header lookup.
#pragma once

#include "container/container.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace velmora::container {

// Every "#NAME#" (without regard to case) replaced by its value, for every
// pair in list order, each pair working on the result of the ones before.
// While the result still holds a "#" and changed, it is worked again. A text
// that names no setting comes back unchanged.
std::wstring SettingText(const std::vector<std::wstring>& settings, std::wstring_view text);

// The value of the first pair with this name (without regard to case); empty when none.
std::wstring SettingValue(const std::vector<std::wstring>& settings, std::wstring_view name);

// The value read as a truth value; false when absent or not one.
bool SettingFlag(const std::vector<std::wstring>& settings, std::wstring_view name);

// The setting tests the engine makes.
bool SingleInstanceSetting(const std::vector<std::wstring>& settings);
bool LoadOldDataSetting(const std::vector<std::wstring>& settings);
enum class CacheSources { Unset, Keep, Drop };
CacheSources CacheSourcesSetting(const std::vector<std::wstring>& settings);
std::wstring LocalisationMode(const std::vector<std::wstring>& settings);   // "NEWONLY" when absent
std::wstring SwidFolder(const std::vector<std::wstring>& settings);        // empty when absent

// The header hash of the installing command at this index. With the native
// engine only the four commands that carry file groups have one. An empty
// header is a script error unless `acceptMissing` (run preparation
// registers every command's header and takes an empty one).
std::wstring CommandHeader(const Container& container, std::size_t command, bool nativeEngine,
                           bool acceptMissing = false);

}  // namespace velmora::container
