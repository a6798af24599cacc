#include "container/settings.hpp"
#include "core/script_error.hpp"
#include "core/text.hpp"

#include <gtest/gtest.h>

namespace velmora::container {
namespace {

using Settings = std::vector<std::wstring>;

TEST(Settings, SettingText) {
    const Settings s = {L"TITLE", L"First",  L"TITLE",  L"Second", L"SWID", L"regid.example", L"NESTED",
                        L"<#TITLE#>", L"PATH", L"#NESTED#\\x"};
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"#TITLE#", L"First"},                  // the first pair wins
        {L"#title# and #Title#", L"First and First"},
        {L"#SWID#", L"regid.example"},
        {L"#LOCMODE#", L"#LOCMODE#"},           // an absent setting stays as written
        {L"#PATH#", L"<First>\\x"},              // values naming settings are expanded too
        {L"no marks", L"no marks"},
        {L"#", L"#"},
        {L"##TITLE##", L"#First#"},
    };
    for (const auto& c : cases) EXPECT_EQ(SettingText(s, c.in), c.out) << text::ToUtf8(c.in);
}

TEST(Settings, SelfReferenceEndsWithTheLastCompletePass) {
    // "#A#" grows by one "x" a pass; the passes stop at their bound.
    const std::wstring grown = SettingText({L"A", L"#A#x"}, L"#A#");
    EXPECT_EQ(grown.rfind(L"#A#", 0), 0u);
    EXPECT_GT(grown.size(), 3u);
    EXPECT_LT(grown.size(), 100u);
    // Two settings naming each other swap forever without the bound.
    const std::wstring swapped = SettingText({L"A", L"#B#", L"B", L"#A#"}, L"#A#");
    EXPECT_TRUE(swapped == L"#A#" || swapped == L"#B#") << text::ToUtf8(swapped);
    // A value naming itself twice would double each pass: the length cap holds.
    EXPECT_LE(SettingText({L"A", L"#A##A#"}, L"#A#").size(), 1u << 20);
}

TEST(Settings, ValueFlagAndTheEngineTests) {
    const Settings s = {L"SINGLEINSTANCE", L"true", L"LOADOLDDATA", L"yes", L"CACHESOURCES", L"false",
                        L"SWID_ENTITLEMENT", L"-1", L"Project Folder", L"C:\\x"};
    EXPECT_EQ(SettingValue(s, L"project folder"), L"C:\\x");
    EXPECT_EQ(SettingValue(s, L"MISSING"), L"");
    EXPECT_TRUE(SettingFlag(s, L"SWID_ENTITLEMENT"));
    EXPECT_FALSE(SettingFlag(s, L"LOADOLDDATA"));
    EXPECT_FALSE(SettingFlag(s, L"MISSING"));
    EXPECT_TRUE(SingleInstanceSetting(s));
    EXPECT_FALSE(LoadOldDataSetting(s));
    EXPECT_EQ(CacheSourcesSetting(s), CacheSources::Drop);
    EXPECT_EQ(CacheSourcesSetting({L"CACHESOURCES", L"True"}), CacheSources::Keep);
    EXPECT_EQ(CacheSourcesSetting({L"CACHESOURCES", L"maybe"}), CacheSources::Unset);
    EXPECT_EQ(CacheSourcesSetting({}), CacheSources::Unset);
    EXPECT_EQ(LocalisationMode(s), L"NEWONLY");
    EXPECT_EQ(LocalisationMode({L"LOCMODE", L"VARSONLY"}), L"VARSONLY");
    EXPECT_EQ(SwidFolder(s), L"");
    EXPECT_EQ(SwidFolder({L"SWID", L"regid.2026-01.com.example"}), L"regid.2026-01.com.example");
}

TEST(Settings, CommandHeader) {
    ContainerText t;
    t.Item(1) = {L"Install Files", L"Write Registry", L"Install Service", L"Set Variable"};
    t.Item(22) = {L"0000AAAA", L"0", L"0000BBBB", L"1", L"0000CCCC", L"2"};
    const Container c = FromItems(std::move(t));
    EXPECT_EQ(CommandHeader(c, 0, true), L"0000AAAA");
    EXPECT_EQ(CommandHeader(c, 2, true), L"0000CCCC");
    EXPECT_EQ(CommandHeader(c, 1, false), L"0000BBBB");
    // With the native engine, Write Registry has no header of its own.
    EXPECT_THROW(CommandHeader(c, 1, true), ScriptError);
    EXPECT_EQ(CommandHeader(c, 1, true, true), L"");
    try {
        CommandHeader(c, 3, false);
        ADD_FAILURE() << "no error for a command without header";
    } catch (const ScriptError& e) {
        EXPECT_STREQ(e.what(), "Unable to obtain command headers. Please rebuild your project.");
    }
}

}  // namespace
}  // namespace velmora::container
