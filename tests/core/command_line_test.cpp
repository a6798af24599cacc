#include "core/text.hpp"
#include "startup/command_line.hpp"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(CommandLine, TextWithoutTheProgramPath) {
    struct Case {
        std::wstring raw, text;
    } cases[] = {
        {L"\"C:\\Program Files\\setup.exe\" /s A=1", L"/s A=1"},
        {L"C:\\setup.exe /s A=1", L"/s A=1"},
        {L"setup.exe", L""},
        {L"\"C:\\setup.exe\"", L""},
        {L"\"C:\\unclosed /s", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandLineText(c.raw), c.text) << text::ToUtf8(c.raw);
}

TEST(CommandLine, SilentAndStartupWindowSwitches) {
    struct Case {
        std::wstring args;
        bool silent, noWindows;
    } cases[] = {
        {L"/s", true, true},          {L"-S", true, true},           {L"/qn", true, true},
        {L"-QN", true, true},         {L"/silent", false, false},    {L"s", false, false},
        {L"/update", false, true},    {L"-UpdateSetup", false, true}, {L"/updates", false, false},
        {L"", false, false},
    };
    for (const auto& c : cases) {
        const CommandLine cl = ParseCommandLine(L"setup.exe " + c.args);
        EXPECT_EQ(cl.silent, c.silent) << text::ToUtf8(c.args);
        EXPECT_EQ(cl.noStartupWindows, c.noWindows) << text::ToUtf8(c.args);
    }
}

TEST(CommandLine, PathSwitches) {
    CommandLine cl = ParseCommandLine(L"setup.exe /l=C:\\Logs\\Setup.TXT /G=\\\\Srv\\Gpo /m=C:\\Wrap.EXE -p=D:\\Media");
    EXPECT_EQ(cl.tracePath, L"c:\\logs\\setup.txt");
    EXPECT_EQ(cl.gpoPath, L"\\\\srv\\gpo");
    EXPECT_EQ(cl.wrapperPath, L"c:\\wrap.exe");
    EXPECT_EQ(cl.mediaOverride, L"d:\\media");

    // The switch is found anywhere in an argument, and its first three
    // characters are dropped all the same; only the first such argument counts.
    cl = ParseCommandLine(L"setup.exe xx-l=C:\\A.log /l=C:\\B.log \"/p=C:\\With Space\"");
    EXPECT_EQ(cl.tracePath, L"l=c:\\a.log");
    EXPECT_EQ(cl.mediaOverride, L"c:\\with space");
    // "-g=" and "-m=" are not path switches.
    cl = ParseCommandLine(L"setup.exe -g=x -m=y");
    EXPECT_EQ(cl.gpoPath, L"");
    EXPECT_EQ(cl.wrapperPath, L"");
}

TEST(CommandLine, Assignments) {
    const CommandLine cl =
        ParseCommandLine(L"setup.exe TARGETDIR=D:\\App targetdir=a=b /x=1 -y=2 \"NAME=with blank\" noequals caf\u00E9=1");
    EXPECT_EQ(cl.assignments, (std::vector<std::wstring>{L"TARGETDIR", L"D:\\App", L"TARGETDIR", L"a=b", L"NAME",
                                                         L"with blank", L"CAF\u00C9", L"1"}));
}

TEST(CommandLine, OutOfProcessExtractMode) {
    CommandLine cl = ParseCommandLine(L"\"C:\\setup.exe\" OutOfProcessExtract \"C:\\Temp\\qox1\\params\"");
    EXPECT_TRUE(cl.outOfProcessExtract);
    EXPECT_EQ(cl.parameterFile, L"C:\\Temp\\qox1\\params");
    // The mode word is compared case-sensitively.
    cl = ParseCommandLine(L"setup.exe outofprocessextract x");
    EXPECT_FALSE(cl.outOfProcessExtract);
}

TEST(CommandLine, SplitArguments) {
    EXPECT_EQ(SplitArguments(L"  a  \"b c\"d \"e\"\"f\" "), (std::vector<std::wstring>{L"a", L"b cd", L"e\"f"}));
    EXPECT_TRUE(SplitArguments(L"").empty());
}

}  // namespace
}  // namespace velmora
