#include "container/settings.hpp"

#include "core/script_error.hpp"
#include "core/text.hpp"
#include "vars/variables.hpp"

namespace velmora::container {
namespace {

// A setting that names itself, directly or through others ("A" = "x#A#"),
// would be worked again forever, and one that names itself twice would double
// each time. The re-application stops after this many passes, or before a
// pass that would make the text longer than the cap; the result is the text
// as the last complete pass left it.
constexpr int kMaxPasses = 32;
constexpr std::size_t kMaxLength = 1 << 20;

// One pass: every pair's "#NAME#" replaced in turn. False when the text
// would grow past the cap (the text is then left as it was).
bool ReplaceOnce(const std::vector<std::wstring>& settings, std::wstring& textInOut) {
    std::wstring result = textInOut;
    for (std::size_t i = 0; i + 1 < settings.size(); i += 2) {
        const std::wstring pattern = text::Upper(L"#" + settings[i] + L"#");
        const std::wstring& value = settings[i + 1];
        std::wstring upper = text::Upper(result);
        if (upper.find(pattern) == std::wstring::npos) continue;
        std::wstring replaced;
        std::size_t from = 0;
        for (std::size_t at = upper.find(pattern); at != std::wstring::npos; at = upper.find(pattern, from)) {
            replaced.append(result, from, at - from);
            replaced += value;
            from = at + pattern.size();
            if (replaced.size() > kMaxLength) return false;
        }
        replaced.append(result, from, std::wstring::npos);
        result = std::move(replaced);
    }
    textInOut = std::move(result);
    return true;
}

}  // namespace

std::wstring SettingText(const std::vector<std::wstring>& settings, std::wstring_view text) {
    std::wstring current(text);
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        std::wstring next = current;
        if (!ReplaceOnce(settings, next)) break;
        const bool again = next != current && next.find(L'#') != std::wstring::npos;
        current = std::move(next);
        if (!again) break;
    }
    return current;
}

std::wstring SettingValue(const std::vector<std::wstring>& settings, std::wstring_view name) {
    for (std::size_t i = 0; i + 1 < settings.size(); i += 2) {
        if (text::SameText(settings[i], name)) return settings[i + 1];
    }
    return {};
}

bool SettingFlag(const std::vector<std::wstring>& settings, std::wstring_view name) {
    return TextToBool(SettingValue(settings, name));
}

bool SingleInstanceSetting(const std::vector<std::wstring>& settings) {
    return text::SameText(SettingText(settings, L"#SINGLEINSTANCE#"), L"TRUE");
}

bool LoadOldDataSetting(const std::vector<std::wstring>& settings) {
    return text::SameText(SettingText(settings, L"#LOADOLDDATA#"), L"TRUE");
}

CacheSources CacheSourcesSetting(const std::vector<std::wstring>& settings) {
    const std::wstring value = text::Upper(SettingText(settings, L"#CACHESOURCES#"));
    if (value == L"TRUE") return CacheSources::Keep;
    if (value == L"FALSE") return CacheSources::Drop;
    return CacheSources::Unset;
}

std::wstring LocalisationMode(const std::vector<std::wstring>& settings) {
    const std::wstring mode = SettingText(settings, L"#LOCMODE#");
    return mode == L"#LOCMODE#" ? std::wstring(L"NEWONLY") : mode;
}

std::wstring SwidFolder(const std::vector<std::wstring>& settings) {
    const std::wstring folder = SettingText(settings, L"#SWID#");
    return folder == L"#SWID#" ? std::wstring() : folder;
}

std::wstring CommandHeader(const Container& c, std::size_t command, bool nativeEngine, bool acceptMissing) {
    std::wstring header;
    const std::wstring& name = command < c.commandNames.size() ? c.commandNames[command] : std::wstring();
    const bool carriesFiles = name == L"Install Files" || name == L"Install Assembly" ||
                              name == L"Install Service" || name == L"Install ODBC Driver";
    if (!nativeEngine || carriesFiles) {
        const std::wstring index = text::ToDecimal(static_cast<std::int64_t>(command));
        for (std::size_t i = 0; i < c.headerIndex.size(); ++i) {
            if (c.headerIndex[i] == index) {
                if (i > 0) header = c.headerIndex[i - 1];
                break;
            }
        }
    }
    if (header.empty() && !acceptMissing) {
        throw ScriptError("Unable to obtain command headers. Please rebuild your project.");
    }
    return header;
}

}  // namespace velmora::container
