// The command table: every built-in command name, and the handler of each
// name whose family is built.
#include "commands/command.hpp"
#include "commands/hooks.hpp"

#include "core/text.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <unordered_map>

namespace velmora::commands {
namespace {

const std::vector<std::wstring_view> kNames = {
    // Control flow (run by the execution loop itself).
    L"Comment", L"Ignore", L"Label", L"GoTo Label", L"If", L"Else If", L"Else", L"End", L"While", L"Wend",
    L"Repeat", L"Until", L"For Each", L"Next", L"Break", L"Continue", L"Return from Include Script",
    L"Terminate Install", L"Terminate with Exit Code",
    // Components.
    L"Define Component", L"Delete Component", L"Get Component State", L"Set Component State",
    L"Get Component Space", L"Set Component Space", L"Set Component Choice", L"Set Component Visibility",
    L"Save Feature Selections", L"Load Feature Selections",
    // Dialogs, progress feedback, localisation.
    L"Display Dialog", L"Wizard Loop", L"Hide Dialog", L"MessageBox", L"MessageBalloon", L"System Tray",
    L"Localization Variable",
    // Install engines.
    L"Install Files", L"Apply Changes", L"Create Shortcut", L"Advertised Shortcut", L"Create File Type",
    L"Advertised File Type", L"Install Assembly", L"Install Service", L"Register Library", L"Apply Patch",
    L"Transform Instance", L"Remove Assemblies", L"Run Light Mode Setup",
    // Media and archives.
    L"Web Media Block", L"Extract 7Zip Archive", L"Compress 7Zip Archive", L"Delete 7Zip Archive",
    L"Test 7Zip Archive", L"List 7Zip Archive",
    // Expressions.
    L"Evaluate Expression", L"Mathematics",
    // Variables and strings.
    L"Set Variable", L"Convert Case", L"Convert Path", L"Replace String", L"Parse String", L"Extract Path",
    L"Get Temporary File",
    // Registry.
    L"Read Registry", L"Check Registry", L"Write Registry", L"Delete Registry", L"Find All Registry",
    // INI, XML, environment.
    L"Edit INI File", L"Get INI File Settings", L"Edit XML File", L"Get XML File Settings",
    L"Evaluate XPath Query", L"Get Environment", L"Set Environment",
    // Files and folders.
    L"Does File/Folder Exist", L"Copy/Move Local Files", L"Delete Files", L"Delete Files Recursive",
    L"Find All Files", L"Check Disk Space", L"Get File Version", L"Check File Version", L"Is File Locked",
    L"Create Folder", L"Get Folder Location", L"Read from Text File", L"Write to Text File",
    // Programs and processes.
    L"Run Program", L"Run Program As", L"Remote Run Program", L"Check Process", L"Terminate Process",
    L"Terminate Program", L"Reboot Computer", L"Reboot and Resume", L"Reboot and Login",
    // System queries.
    L"Get OS or SP Level", L"Get System Settings", L"Check Computer", L"Check Service", L"Is MSI Setup Installed",
    L"Set 64 Bit Mode",
    // Administration.
    L"Create User", L"Delete User", L"Create Group", L"Delete Group", L"Create Share", L"Delete Share",
    L"Set Access Control", L"Schedule Task", L"Delete Scheduled Task", L"Control Service", L"Create ODBC DSN",
    L"Install ODBC Driver", L"Create IIS Site", L"Delete IIS Site", L"Control IIS Site", L"Create Virtual Folder",
    L"Delete Virtual Folder", L"Get IIS Property", L"Set IIS Property", L"Get IIS Site List", L"Get IIS Site Index",
    L"IIS Anonymous User", L"Generate Native Images", L"Run .NET Installer Class", L"Register Assembly",
    L"Create Games Explorer", L"Delete Games Explorer", L"Create Media Center", L"Delete Media Center",
    L"System Restore", L"Find All Computers",
};

// Keys view the literals above, which live for the process.
std::unordered_map<std::wstring_view, Handler>& Table() {
    static std::unordered_map<std::wstring_view, Handler> table = [] {
        std::unordered_map<std::wstring_view, Handler> t;
        for (auto name : kNames) t.emplace(name, nullptr);
        return t;
    }();
    return table;
}

}  // namespace

const std::vector<std::wstring_view>& BuiltInCommandNames() { return kNames; }

CommandHooks& Hooks() {
    static CommandHooks hooks;
    return hooks;
}

Handler FindHandler(std::wstring_view name) {
    const auto it = Table().find(name);
    return it == Table().end() ? nullptr : it->second;
}

void SetHandler(std::wstring_view name, Handler handler) {
    const auto it = Table().find(name);
    if (it != Table().end()) it->second = handler;
}

std::wstring CommandContext::ResultVariable(std::size_t k) const {
    const std::wstring name = VariableNameOf(Parameter(k));
    if (!name.empty() && !VariableExists(name)) SetVariable(text::Upper(name), L"", Origin());
    return name;
}

std::wstring CommandContext::Text(std::size_t k) const { return ExpandVariables(Parameter(k)); }

std::wstring CommandContext::Path(std::size_t k) const { return ExpandPath(Parameter(k)); }

void CommandContext::Assign(std::wstring_view variable, std::wstring_view value) const {
    AssignVariable(variable, value, Origin());
}

}  // namespace velmora::commands
