#include "startup/preload.hpp"
#include "ui/dialogs.hpp"

#include <gtest/gtest.h>

namespace velmora {
namespace {

container::Container Commands(std::vector<std::pair<std::wstring, std::wstring>> commands) {
    container::ContainerText t;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::wstring guid = L"{00000000-0000-4000-8000-00000000000" + std::to_wstring(i) + L"}";
        t.Item(1).push_back(commands[i].first);
        t.Item(2).push_back(guid);
        t.Item(3).push_back(guid);
        t.Item(3).push_back(L"Page" + std::to_wstring(i));
        t.Item(4).push_back(commands[i].second);
    }
    return container::FromItems(std::move(t));
}

TEST(DialogPreloading, RegistersEveryActiveDisplayDialogInCommandOrder) {
    const auto c = Commands({{L"Display Dialog", L""},
                             {L"Set Variable", L""},
                             {L"Display Dialog", L"C"},    // commented out: neither counted nor loaded
                             {L"display dialog", L""},     // names are compared exactly
                             {L"Display Dialog", L"c"}});  // only "C" comments out
    EXPECT_EQ(CountActiveDialogs(c), 2u);
    int advanced = 0;
    EXPECT_EQ(PreloadDialogs(c, L"C:\\Temp\\qox1\\", [&advanced] { ++advanced; }), 2u);
    EXPECT_EQ(advanced, 2);
    const auto& entries = ui::RegisteredDialogs();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key, L"0");
    EXPECT_EQ(entries[0].definitionPath, L"C:\\Temp\\qox1\\Page0.dfm");
    EXPECT_EQ(entries[1].key, L"4");
    EXPECT_EQ(entries[1].definitionPath, L"C:\\Temp\\qox1\\Page4.dfm");
    EXPECT_EQ(ui::DialogSupportFolder(), L"C:\\Temp\\qox1\\");
    ui::ReleaseDialogs();
    EXPECT_TRUE(ui::RegisteredDialogs().empty());
}

}  // namespace
}  // namespace velmora
