// Small scripts for tests: a container built from a list of commands with
// their parameter lines, as the authoring tool would write it.
#pragma once

#include "container/container.hpp"

#include <cwchar>
#include <string>
#include <vector>

namespace velmora::fixtures {

struct Line {
    std::wstring name;
    std::vector<std::wstring> parameters;
    bool commented = false;
    std::wstring include = L"0*0";  // item 28
    std::wstring position;          // item 25; empty: "C:\Projects\Main.vms*<index>"
};

inline container::Container Script(const std::vector<Line>& lines, std::vector<std::wstring> settings = {},
                                   std::vector<std::wstring> plugins = {}) {
    container::ContainerText t;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        wchar_t guid[40];
        std::swprintf(guid, 40, L"{00000000-0000-4000-8000-%012zu}", i);
        t.Item(1).push_back(lines[i].name);
        t.Item(2).push_back(guid);
        t.Item(3).push_back(guid);
        for (const auto& p : lines[i].parameters) t.Item(3).push_back(p);
        t.Item(4).push_back(lines[i].commented ? L"C" : L"");
        t.Item(25).push_back(lines[i].position.empty() ? L"C:\\Projects\\Main.vms*" + std::to_wstring(i)
                                                       : lines[i].position);
        t.Item(28).push_back(lines[i].include);
    }
    t.Item(23) = std::move(settings);
    t.Item(7) = std::move(plugins);
    t.Item(18) = {L"{REVISION}"};
    return container::FromItems(std::move(t));
}

}  // namespace velmora::fixtures
