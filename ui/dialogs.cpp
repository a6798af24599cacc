#include "ui/dialogs.hpp"

namespace velmora::ui {
namespace {

struct Registry {
    std::wstring supportFolder;
    std::vector<DialogEntry> entries;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

void InitDialogs(const std::wstring& supportFolder) {
    Registry& r = TheRegistry();
    r.supportFolder = supportFolder;
    if (!r.supportFolder.empty() && r.supportFolder.back() != L'\\') r.supportFolder.push_back(L'\\');
    r.entries.clear();
}

long long RegisterDialog(const std::wstring& key, const std::wstring& definitionPath) {
    TheRegistry().entries.push_back({key, definitionPath});
    return 0;
}

const std::vector<DialogEntry>& RegisteredDialogs() { return TheRegistry().entries; }

const std::wstring& DialogSupportFolder() { return TheRegistry().supportFolder; }

void ReleaseDialogs() { TheRegistry() = Registry{}; }

}  // namespace velmora::ui
