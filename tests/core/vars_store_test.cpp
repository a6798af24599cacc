#include "tests/core/vars_test_support.hpp"
#include "vars/hash_table.hpp"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace velmora {
namespace {

using testing::Show;
using testing::StoreTest;

TEST_F(StoreTest, FirstSpellingIsKeptAndNamesIgnoreCase) {
    SetVariable(L"path", L"1", L"Initialization");
    SetVariable(L"PATH", L"2", L"Set Variable Action");
    AssignVariable(L"Path", L"3", L"Set Variable Action");
    EXPECT_EQ(GetVariable(L"pAtH"), L"3");
    EXPECT_EQ(Variables().GetNames(), std::vector<std::wstring>{L"path"});

    // Outside ASCII the system's case mapping decides.
    SetVariable(L"caf\u00E9", L"x", L"Initialization");
    EXPECT_TRUE(VariableExists(L"CAF\u00C9"));
    EXPECT_EQ(GetVariable(L"CAF\u00C9"), L"x");
}

TEST_F(StoreTest, UndefinedVersusEmpty) {
    EXPECT_EQ(GetVariable(L"NOPE"), L"");
    EXPECT_FALSE(VariableExists(L"NOPE"));
    SetVariable(L"NOPE", L"", L"Initialization");
    EXPECT_TRUE(VariableExists(L"NOPE"));
    EXPECT_EQ(GetVariable(L"NOPE"), L"");
    DeleteVariable(L"nope");
    EXPECT_FALSE(VariableExists(L"NOPE"));
    DeleteVariable(L"NOPE");  // no error for a name that is gone

    // An empty name is never stored.
    SetVariable(L"", L"x", L"Initialization");
    AssignVariable(L"", L"x", L"Initialization");
    Variables().SetItem(L"", L"x");
    EXPECT_FALSE(VariableExists(L""));
    EXPECT_EQ(GetVariable(L""), L"");
    EXPECT_TRUE(Variables().GetNames().empty());
}

TEST_F(StoreTest, OwnReferenceIsStoredAsEmpty) {
    struct Case {
        std::wstring value;
        std::wstring stored;
    } cases[] = {
        {L"$x$", L""},      {L"$X$", L""},   {L"$X$ ", L"$X$ "}, {L"a$X$", L"a$X$"},
        {L"$Y$", L"$Y$"},   {L"$XX$", L"$XX$"}, {L"X", L"X"},
    };
    for (const auto& c : cases) {
        ClearVariables();
        SetVariable(L"X", c.value, L"Set Variable Action");  // defines
        EXPECT_EQ(GetVariable(L"X"), c.stored) << "define " << Show(c.value);
        SetVariable(L"X", L"old", L"Set Variable Action");
        SetVariable(L"X", c.value, L"Set Variable Action");  // assigns
        EXPECT_EQ(GetVariable(L"X"), c.stored) << "assign " << Show(c.value);
        DeleteVariable(L"X");
        AssignVariable(L"x", c.value, L"Set Variable Action");
        EXPECT_EQ(GetVariable(L"X"), c.stored) << "AssignVariable " << Show(c.value);
    }
}

TEST_F(StoreTest, SilentRunKeepsCommandLineValues) {
    struct Case {
        bool silent;
        std::wstring name;
        std::wstring origin;
        std::wstring expected;
    } cases[] = {
        {true, L"X", L"Set Variable Action", L"1"},
        {true, L"x", L"Mathematics Action", L"1"},
        {true, L"X", L"Inject Override Command Line", L"script"},
        {true, L"X", L"inject override command line", L"1"},  // the origin must match exactly
        {false, L"X", L"Set Variable Action", L"script"},
        {true, L"Y", L"Set Variable Action", L"script"},  // not on the command line
        {true, L"ONE", L"Set Variable Action", L"script"},  // only a value there, not a name
    };
    for (const auto& c : cases) {
        ResetSession();
        TheSession().commandLineAssignments = {L"X", L"1", L"Z", L"ONE"};
        TheSession().silent = c.silent;
        ClearVariables();
        Variables().SetItem(c.name, L"1");
        SetVariable(c.name, L"script", c.origin);
        EXPECT_EQ(GetVariable(c.name), c.expected) << "SetVariable " << Show(c.name) << " " << Show(c.origin)
                                                   << (c.silent ? " silent" : " interactive");
        Variables().SetItem(c.name, L"1");
        AssignVariable(c.name, L"script", c.origin);
        EXPECT_EQ(GetVariable(c.name), c.expected) << "AssignVariable " << Show(c.name) << " " << Show(c.origin)
                                                   << (c.silent ? " silent" : " interactive");
    }

    // A protected name that does not exist yet: SetVariable defines it (the
    // command line is applied that way), AssignVariable refuses.
    ResetSession();
    TheSession().commandLineAssignments = {L"X", L"1"};
    TheSession().silent = true;
    ClearVariables();
    AssignVariable(L"X", L"script", L"Set Variable Action");
    EXPECT_FALSE(VariableExists(L"X"));
    SetVariable(L"X", L"first", L"Set Variable Action");
    EXPECT_EQ(GetVariable(L"X"), L"first");
}

TEST(TruthValues, TextToBoolAndBack) {
    struct Case {
        std::wstring text;
        bool value;
    } cases[] = {
        {L"TRUE", true}, {L"true", true},  {L"True", true},   {L"-1", true},  {L"1", false},
        {L"yes", false}, {L"", false},     {L"FALSE", false}, {L" TRUE", false}, {L"TRUE ", false},
        {L"-01", false}, {L"TRUEx", false},
    };
    for (const auto& c : cases) EXPECT_EQ(TextToBool(c.text), c.value) << Show(c.text);
    EXPECT_EQ(BoolToText(true), L"TRUE");
    EXPECT_EQ(BoolToText(false), L"FALSE");
}

TEST(CommaText, WritesTheStringListForm) {
    struct Case {
        std::vector<std::wstring> items;
        std::wstring text;
    } cases[] = {
        {{}, L""},
        {{L""}, L"\"\""},
        {{L"a", L"b"}, L"a,b"},
        {{L"a b", L"c,d", L"say \"hi\"", L""}, L"\"a b\",\"c,d\",\"say \"\"hi\"\"\","},
        {{L"tab\there", L"\x01", L"\"", L"x\x7F"}, L"\"tab\there\",\"\x01\",\"\"\"\",x\x7F"},
        {{L"", L"", L"z"}, L",,z"},
        {{L"$X$", L"C:\\Program Files\\"}, L"$X$,\"C:\\Program Files\\\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToCommaText(c.items), c.text) << Show(c.text);
        EXPECT_EQ(FromCommaText(c.text), c.items) << Show(c.text);
    }
}

TEST(CommaText, ReadsLooseInput) {
    struct Case {
        std::wstring text;
        std::vector<std::wstring> items;
    } cases[] = {
        {L"a b", {L"a", L"b"}},           {L"  a , b  ", {L"a", L"b"}}, {L"a,", {L"a", L""}},
        {L"a, ", {L"a"}},                 {L",a", {L"", L"a"}},          {L"\"open", {L"open"}},
        {L"\"a\"b", {L"a", L"b"}},        {L"\"a\"\"\"", {L"a\""}},      {L"\r\n", {}},
        {L"a\r\nb", {L"a", L"b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(FromCommaText(c.text), c.items) << Show(c.text);
}

TEST_F(StoreTest, CommaTextRoundTripThroughTheStore) {
    const testing::VariableList vars = {
        {L"EMPTY", L""},        {L"BLANKS", L"  two  blanks "}, {L"QUOTES", L"\"\"\""},
        {L"COMMAS", L",,,"},    {L"LINES", L"a\r\nb"},          {L"NUL", std::wstring(L"a\0b", 3)},
        {L"Mixed Case Name", L"\u00E9t\u00E9 \u65E5\u672C"},      {L"DOLLAR", L"$"},
    };
    Define(vars);
    const std::wstring text = VariablesToCommaText();
    ClearVariables();
    VariablesFromCommaText(text);
    EXPECT_EQ(Variables().GetNames().size(), vars.size()) << Show(text);
    for (const auto& [name, value] : vars) {
        EXPECT_TRUE(VariableExists(name)) << Show(name);
        EXPECT_EQ(GetVariable(name), value) << Show(name) << " from " << Show(text);
    }
}

TEST_F(StoreTest, CommaTextWithAnOddItemCountIgnoresTheLast) {
    // Taken back as they are: no protection, no upper-casing.
    TheSession().silent = true;
    TheSession().commandLineAssignments = {L"A", L"cmd"};
    Variables().SetItem(L"A", L"cmd");
    VariablesFromCommaText(L"A,1,lower,\"two words\",B");
    EXPECT_EQ(GetVariable(L"A"), L"1");
    EXPECT_EQ(Variables().GetNames().size(), 2u);
    EXPECT_EQ(GetVariable(L"LOWER"), L"two words");
    EXPECT_FALSE(VariableExists(L"B"));
    const auto names = Variables().GetNames();
    EXPECT_NE(std::find(names.begin(), names.end(), L"lower"), names.end());
}

TEST_F(StoreTest, ClearAndPairs) {
    Define({{L"A", L"1"}, {L"B", L"2"}, {L"C", L""}});
    auto pairs = Variables().GetPairs();
    ASSERT_EQ(pairs.size(), 6u);
    for (std::size_t i = 0; i < pairs.size(); i += 2) EXPECT_EQ(GetVariable(pairs[i]), pairs[i + 1]);
    ClearVariables();
    EXPECT_TRUE(Variables().GetNames().empty());
    EXPECT_EQ(VariablesToCommaText(), L"");
}

TEST(WatchedNames, CountOnlyTheirOwnChanges) {
    TVariableManager store;
    store.Watch({L"TITLE", L"caf\u00E9"});
    struct Step {
        const char* what;
        std::function<void()> change;
        bool counted;
    } const steps[] = {
        {"another name", [&] { store.SetItem(L"N", L"1"); }, false},
        {"a name with the watched hash's length", [&] { store.SetItem(L"TITLES", L"x"); }, false},
        {"the watched name", [&] { store.SetItem(L"TITLE", L"a"); }, true},
        {"the watched name in another case", [&] { store.SetItem(L"title", L"b"); }, true},
        {"outside ASCII, by the system's mapping", [&] { store.SetItem(L"CAF\u00C9", L"c"); }, true},
        {"removal of another name", [&] { store.Remove(L"N"); }, false},
        {"removal of the watched name", [&] { store.Remove(L"Title"); }, true},
        {"clear", [&] { store.Clear(); }, true},
    };
    for (const auto& step : steps) {
        const std::uint64_t before = store.WatchedVersion();
        step.change();
        EXPECT_EQ(store.WatchedVersion() != before, step.counted) << step.what;
    }
    // Watching other names replaces the list.
    store.Watch({L"N"});
    const std::uint64_t before = store.WatchedVersion();
    store.SetItem(L"TITLE", L"d");
    EXPECT_EQ(store.WatchedVersion(), before);
    store.SetItem(L"n", L"2");
    EXPECT_NE(store.WatchedVersion(), before);
}

TEST(HashTable, GrowsAtTwiceTheBucketCount) {
    TVariableManager store;
    EXPECT_EQ(store.BucketCount(), 0u);
    for (int i = 0; i < 63; ++i) store.SetItem(L"V" + std::to_wstring(i), L"x");
    store.SetItem(L"v0", L"replaced");  // a replacement adds no entry
    store.SetItem(L"V63", L"x");
    EXPECT_EQ(store.BucketCount(), 32u);
    store.SetItem(L"V64", L"x");
    EXPECT_EQ(store.BucketCount(), 64u);
    for (int i = 0; i <= 64; ++i) EXPECT_TRUE(store.Exists(L"v" + std::to_wstring(i))) << i;
    EXPECT_EQ(store.GetItem(L"V0"), L"replaced");
    store.Clear();
    EXPECT_EQ(store.BucketCount(), 0u);
    EXPECT_FALSE(store.Exists(L"V1"));
}

TEST(HashTable, GuardsItsOwnInvariants) {
    EXPECT_THROW(vars::TStringHashTable(0, 0.05), std::out_of_range);
    EXPECT_THROW(vars::TStringHashTable(0, 7.5), std::out_of_range);
    vars::TStringHashTable table(4, 2.0);
    table.Put(L"a", L"1");
    table.Put(L"b", L"2");
    EXPECT_THROW(table.ForEach([&](const std::wstring&, const std::wstring&) { table.Remove(L"a"); }),
                 std::logic_error);
    table.Put(L"c", L"3");  // the guard is gone after the enumeration
    EXPECT_EQ(table.Count(), 3u);
    table.Remove(L"A");
    EXPECT_FALSE(table.Contains(L"a"));
    EXPECT_EQ(table.Count(), 2u);
}

}  // namespace
}  // namespace velmora
