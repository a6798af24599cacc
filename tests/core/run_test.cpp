// The execution loop and the control-flow commands, on small scripts whose
// Set Variable commands leave a trail of what ran.
#include "commands/command.hpp"
#include "core/text.hpp"
#include "tests/core/script_fixture.hpp"
#include "engine/run.hpp"
#include "startup/session.hpp"
#include "startup/trace.hpp"
#include "vars/variables.hpp"

#include <gtest/gtest.h>

#include <set>

namespace velmora::engine {
namespace {

using fixtures::Line;
using fixtures::Script;

// A step of the trail: appends its letter to TRAIL.
Line Mark(const std::wstring& letter) { return {L"Set Variable", {L"TRAIL", L"$TRAIL$" + letter}}; }
Line Set(const std::wstring& name, const std::wstring& value) { return {L"Set Variable", {name, value}}; }
// A condition on a variable: code "0" is equality.
Line Cond(const std::wstring& command, const std::wstring& variable, const std::wstring& value,
          const std::wstring& negate = L"FALSE") {
    return {command, {variable, L"0", value, negate}};
}
Line Is(const std::wstring& value) { return Cond(L"If", L"FLAG", value); }
Line Cmd(const std::wstring& name, std::vector<std::wstring> p = {}) { return {name, std::move(p)}; }
Line Commented(Line l) {
    l.commented = true;
    return l;
}
Line Add(const std::wstring& variable, const std::wstring& amount) {
    return {L"Mathematics", {L"$" + variable + L"$", amount, L"0", variable}};
}

class Recorder : public RunPlatform {
public:
    // The one predefined variable the loop reads back that matters here.
    void Initialization() override { SetVariable(L"SILENT", BoolToText(TheSession().silent), L"Initialization"); }
    void RunPlugin(std::size_t command) override { plugins.push_back(command); }
    void ShowRuntimeError(const std::wstring& text) override { errors.push_back(text); }
    bool MarkerExists(const std::wstring& path) override { return markers.count(path) != 0; }
    void CreateMarker(const std::wstring& path) override { markers.insert(path); }
    void DeleteMarker(const std::wstring& path) override { markers.erase(path); }
    std::vector<std::size_t> plugins;
    std::vector<std::wstring> errors;
    std::set<std::wstring> markers;
};

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSession();
        ResetTrace();
        ClearVariables();
    }
    void TearDown() override {
        ClearVariables();
        ResetSession();
    }
    RunOutcome Run(const container::Container& c) {
        container_ = std::make_unique<container::Container>(std::move(const_cast<container::Container&>(c)));
        return RunScript(*container_, L"C:\\Temp\\qox1\\setup.msi", platform_);
    }
    std::wstring Trail(const std::vector<Line>& lines) {
        std::vector<Line> withFlag = {Set(L"TRAIL", L""), Set(L"FLAG", L"1")};
        withFlag.insert(withFlag.end(), lines.begin(), lines.end());
        const RunOutcome outcome = Run(Script(withFlag));
        EXPECT_EQ(outcome.end, RunEnd::Completed) << text::ToUtf8(outcome.message);
        return GetVariable(L"TRAIL");
    }
    std::unique_ptr<container::Container> container_;
    Recorder platform_;
};

TEST_F(RunTest, Conditionals) {
    struct Case {
        const char* what;
        std::vector<Line> script;
        std::wstring trail;
    } const cases[] = {
        {"false If skips its body", {Is(L"0"), Mark(L"A"), Cmd(L"End"), Mark(L"Z")}, L"Z"},
        {"only the true Else If runs",
         {Is(L"0"), Mark(L"A"), Cond(L"Else If", L"FLAG", L"1"), Mark(L"B"), Cmd(L"Else"), Mark(L"C"), Cmd(L"End")},
         L"B"},
        {"Else runs when nothing matched", {Is(L"0"), Mark(L"A"), Cond(L"Else If", L"FLAG", L"2"), Mark(L"B"),
                                            Cmd(L"Else"), Mark(L"C"), Cmd(L"End")},
         L"C"},
        {"a branch that ran skips later true Else Ifs",
         {Is(L"0"), Cmd(L"End"), Is(L"0"), Cmd(L"End"), Is(L"1"), Mark(L"A"), Cond(L"Else If", L"FLAG", L"1"),
          Mark(L"B"), Cmd(L"End")},
         L"A"},
        {"nested chains do not disturb the outer one",
         {Is(L"1"), Is(L"0"), Mark(L"X"), Cmd(L"Else"), Mark(L"Y"), Is(L"1"), Mark(L"N"), Cmd(L"End"), Cmd(L"End"),
          Mark(L"Z"), Cond(L"Else If", L"FLAG", L"1"), Mark(L"W"), Cmd(L"Else"), Mark(L"V"), Cmd(L"End")},
         L"YNZ"},
        {"a skipped branch passes over nested chains and loops",
         {Is(L"0"), Is(L"1"), Mark(L"A"), Cmd(L"Else"), Mark(L"B"), Cmd(L"End"), Cond(L"While", L"FLAG", L"9"),
          Cmd(L"Wend"), Cond(L"Else If", L"FLAG", L"1"), Mark(L"C"), Cmd(L"End")},
         L"C"},
        {"negation", {Cond(L"If", L"FLAG", L"1", L"TRUE"), Mark(L"A"), Cmd(L"Else"), Mark(L"B"), Cmd(L"End")}, L"B"},
        {"commented commands are passed over",
         {Commented(Mark(L"A")), Is(L"0"), Commented(Cmd(L"End")), Mark(L"B"), Cmd(L"End"), Mark(L"C")}, L"C"},
    };
    for (const auto& c : cases) {
        ClearVariables();
        EXPECT_EQ(Trail(c.script), c.trail) << c.what;
    }
}

TEST_F(RunTest, Loops) {
    struct Case {
        const char* what;
        std::vector<Line> script;
        std::wstring trail;
    } const cases[] = {
        {"While false runs zero times", {Cond(L"While", L"FLAG", L"0"), Mark(L"A"), Cmd(L"Wend"), Mark(L"Z")}, L"Z"},
        {"While counts to three",
         {Set(L"N", L"0"), Cond(L"While", L"N", L"3", L"TRUE"), Add(L"N", L"1"), Mark(L"$N$"), Cmd(L"Wend")}, L"123"},
        {"Repeat runs at least once", {Cmd(L"Repeat"), Mark(L"A"), Cond(L"Until", L"FLAG", L"1")}, L"A"},
        {"Continue in Repeat runs the body again without testing Until",
         {Set(L"N", L"0"), Cmd(L"Repeat"), Add(L"N", L"1"), Mark(L"$N$"), Cond(L"If", L"N", L"3", L"TRUE"),
          Cmd(L"Continue"), Cmd(L"End"), Cond(L"Until", L"FLAG", L"1")},
         L"123"},
        {"For Each skips empty items",
         {Cmd(L"For Each", {L"ITEM", L";", L"a;b;;c"}), Mark(L"$ITEM$"), Cmd(L"Next")}, L"abc"},
        {"For Each over separators only runs zero times",
         {Cmd(L"For Each", {L"ITEM", L";", L";;;"}), Mark(L"x"), Cmd(L"Next"), Mark(L"Z")}, L"Z"},
        {"For Each with an empty separator runs once with the whole list",
         {Cmd(L"For Each", {L"$ITEM$", L"", L"a;b"}), Mark(L"[$ITEM$]"), Cmd(L"Next")}, L"[a;b]"},
        {"a multi-character separator",
         {Cmd(L"For Each", {L"ITEM", L"--", L"--a----b--"}), Mark(L"$ITEM$"), Cmd(L"Next")}, L"ab"},
        {"Break leaves only the innermost loop",
         {Set(L"N", L"0"), Cond(L"While", L"N", L"2", L"TRUE"), Add(L"N", L"1"),
          Cmd(L"For Each", {L"ITEM", L",", L"a,b,c"}), Mark(L"$ITEM$"), Cmd(L"Break"), Cmd(L"Next"), Mark(L"w"),
          Cmd(L"Wend")},
         L"awaw"},
        {"a second Break leaves the While",
         {Cond(L"While", L"FLAG", L"1"), Cmd(L"For Each", {L"ITEM", L",", L"a,b"}), Mark(L"$ITEM$"), Cmd(L"Break"),
          Cmd(L"Next"), Mark(L"w"), Cmd(L"Break"), Mark(L"never"), Cmd(L"Wend"), Mark(L"Z")},
         L"awZ"},
        {"nested For Each loops",
         {Cmd(L"For Each", {L"I", L",", L"1,2"}), Cmd(L"For Each", {L"J", L",", L"a,b"}), Mark(L"$I$$J$"),
          Cmd(L"Next"), Cmd(L"Next")},
         L"1a1b2a2b"},
    };
    for (const auto& c : cases) {
        ClearVariables();
        EXPECT_EQ(Trail(c.script), c.trail) << c.what;
    }
    // After the loop its variable no longer exists.
    EXPECT_FALSE(VariableExists(L"J"));
}

TEST_F(RunTest, LabelsAndGoTo) {
    EXPECT_EQ(Trail({Set(L"N", L"0"), Cmd(L"Label", {L"Again"}), Add(L"N", L"1"), Mark(L"$N$"),
                     Cond(L"If", L"N", L"3", L"TRUE"), Cmd(L"GoTo Label", {L"again"}), Cmd(L"End")}),
              L"123");
    ClearVariables();
    // A GoTo to a commented-out Label still jumps there.
    EXPECT_EQ(Trail({Cmd(L"GoTo Label", {L"Skip"}), Mark(L"A"), Commented(Cmd(L"Label", {L"Skip"})), Mark(L"B")}),
              L"B");
}

TEST_F(RunTest, IncludesReturnTheirValue) {
    // Main script, an include one level down that includes another; the inner
    // one returns early with a value.
    std::vector<Line> lines = {Set(L"TRAIL", L""),
                               {L"Set Variable", {L"TRAIL", L"$TRAIL$1"}, false, L"RESULT*1"},
                               {L"Set Variable", {L"TRAIL", L"$TRAIL$2"}, false, L"*2"},
                               {L"Return from Include Script", {L"ignored"}, false, L"*2"},
                               {L"Set Variable", {L"TRAIL", L"$TRAIL$x"}, false, L"*2"},
                               {L"Return from Include Script", {L"done $TRAIL$"}, false, L"RESULT*1"},
                               {L"Set Variable", {L"TRAIL", L"$TRAIL$y"}, false, L"RESULT*1"},
                               Mark(L"3")};
    const RunOutcome outcome = Run(Script(lines));
    EXPECT_EQ(outcome.end, RunEnd::Completed) << text::ToUtf8(outcome.message);
    EXPECT_EQ(GetVariable(L"TRAIL"), L"123");
    EXPECT_EQ(GetVariable(L"RESULT"), L"done 12");
}

TEST_F(RunTest, EndingTheRun) {
    Run(Script({Set(L"TRAIL", L""), Set(L"RESULT", L"1603"), Cmd(L"Terminate with Exit Code", {L"$RESULT$"}),
                Mark(L"never")}));
    EXPECT_EQ(TheSession().exitCode, 1603u);
    EXPECT_EQ(GetVariable(L"TRAIL"), L"");

    TheSession().exitCode = 0;
    Run(Script({Set(L"TRAIL", L""), Mark(L"A"), Cmd(L"Terminate Install"), Mark(L"B")}));
    EXPECT_EQ(GetVariable(L"TRAIL"), L"A");

    // Every command commented out: the run ends at once.
    const RunOutcome outcome = Run(Script({Commented(Mark(L"A")), Commented(Cmd(L"If"))}));
    EXPECT_EQ(outcome.end, RunEnd::Completed);
    EXPECT_EQ(TheSession().exitCode, 0u);
}

TEST_F(RunTest, RuntimeErrorNamesTheSourceLineAndKeepsTheExitCode) {
    TheSession().exitCode = 7;
    Line bad = Cmd(L"Terminate with Exit Code", {L"not a number"});
    bad.position = L"C:\\Projects\\Sample\\Product.vms*41";
    const RunOutcome outcome = Run(Script({Set(L"TRAIL", L""), Mark(L"A"), bad, Mark(L"B")}));
    EXPECT_EQ(outcome.end, RunEnd::RuntimeError);
    EXPECT_EQ(outcome.index, 2);
    EXPECT_EQ(outcome.sourceFile, L"Product");
    EXPECT_EQ(outcome.sourceLine, 42);
    EXPECT_EQ(TheSession().exitCode, 7u);
    EXPECT_EQ(GetVariable(L"TRAIL"), L"A");
    ASSERT_EQ(platform_.errors.size(), 1u);
    EXPECT_EQ(platform_.errors[0], L"Runtime error in setup script:\r\rSource File: Product\rLine Number: 42\r\r"
                                   L"'not a number' is not a valid integer value");
    // A silent run shows nothing.
    platform_.errors.clear();
    TheSession().silent = true;
    Run(Script({Set(L"SILENT", L"TRUE"), bad}));
    EXPECT_TRUE(platform_.errors.empty());
}

TEST_F(RunTest, PreparationEndsEarly) {
    // A script that does not compile runs nothing.
    RunOutcome outcome = Run(Script({Mark(L"A"), Cmd(L"Wend")}));
    EXPECT_EQ(outcome.end, RunEnd::CompileFailed);
    EXPECT_EQ(outcome.message, L"WHILE loop closed outside of WHILE loop scope");
    EXPECT_FALSE(VariableExists(L"TRAIL"));

    // A second instance of a single-instance build ends at once; the first
    // instance's marker stays, and the marker goes away with the first run.
    TheSession().tempFolder = L"C:\\Temp\\";
    platform_.markers.insert(L"C:\\Temp\\{REVISION}.qox");
    outcome = Run(Script({Mark(L"A")}, {L"SINGLEINSTANCE", L"true"}));
    EXPECT_EQ(outcome.end, RunEnd::SecondInstance);
    EXPECT_FALSE(VariableExists(L"TRAIL"));
    EXPECT_EQ(platform_.markers.size(), 1u);
    platform_.markers.clear();
    outcome = Run(Script({Mark(L"A")}, {L"SINGLEINSTANCE", L"TRUE"}));
    EXPECT_EQ(outcome.end, RunEnd::Completed);
    EXPECT_TRUE(platform_.markers.empty());
}

TEST_F(RunTest, DispatchByName) {
    // A plug-in named like a built-in command, in another case, is a plug-in;
    // an editor-only entry and an unknown name do nothing.
    const RunOutcome outcome = Run(Script({Set(L"TRAIL", L"x"), Cmd(L"SET VARIABLE", {L"TRAIL", L"plug"}),
                                           Cmd(L"Code Folding Region"), Cmd(L"No Such Command"), Mark(L"A")},
                                          {}, {L"Set Variable"}));
    EXPECT_EQ(outcome.end, RunEnd::Completed);
    EXPECT_EQ(platform_.plugins, (std::vector<std::size_t>{0, 1, 4}));
    EXPECT_FALSE(VariableExists(L"TRAIL")) << "every Set Variable went to the plug-in";
    EXPECT_EQ(commands::BuiltInCommandNames().size(), 135u);
}

TEST_F(RunTest, CommandLineAssignmentsComeLastAndSessionFollowsVariables) {
    Session& s = TheSession();
    s.silent = true;
    s.commandLineAssignments = {L"targetdir", L"D:\\App", L"NEWNAME", L"v"};
    Run(Script({Set(L"TARGETDIR", L"C:\\Elsewhere"), Set(L"TITLE", L"Sample"), Set(L"VORPLOGO", L"TRUE"),
                Set(L"SILENT", L"FALSE"), Cmd(L"Comment")}));
    EXPECT_EQ(GetVariable(L"TARGETDIR"), L"D:\\App") << "protected on a silent run";
    EXPECT_EQ(GetVariable(L"NEWNAME"), L"v");
    EXPECT_EQ(MessageCaption(), L"Sample");
    EXPECT_FALSE(s.silent);
    EXPECT_EQ(GetVariable(L"ABORT"), L"FALSE");
}

TEST_F(RunTest, VariableAndStringCommands) {
    struct Case {
        const char* what;
        std::vector<Line> script;
        std::wstring variable, value;
    } const cases[] = {
        {"own reference stores empty", {Set(L"X", L"$X$")}, L"X", L""},
        {"ABORT also cancels", {Set(L"ABORT", L"TRUE")}, L"VORP_IsCancelled", L"TRUE"},
        {"Parse String first", {Cmd(L"Parse String", {L"a=b=c", L"=", L"A", L"B", L"0", L"", L""})}, L"B", L"b=c"},
        {"Parse String last", {Cmd(L"Parse String", {L"a=b=c", L"=", L"A", L"B", L"1", L"", L""})}, L"A", L"a=b"},
        {"Parse String not found, first", {Cmd(L"Parse String", {L"abc", L"=", L"A", L"B", L"0", L"", L""})}, L"A",
         L"abc"},
        {"Parse String not found, last", {Cmd(L"Parse String", {L"abc", L"=", L"A", L"B", L"1", L"", L""})}, L"B",
         L"abc"},
        {"Parse String count 2", {Cmd(L"Parse String", {L"abcde", L"2", L"A", L"B", L"2", L"", L""})}, L"B", L"cde"},
        {"Parse String count 0", {Cmd(L"Parse String", {L"abcde", L"0", L"A", L"B", L"2", L"", L""})}, L"B",
         L"abcde"},
        {"Parse String from the right", {Cmd(L"Parse String", {L"abcde", L"2", L"A", L"B", L"3", L"", L""})}, L"A",
         L"abc"},
        {"Parse String whole length", {Cmd(L"Parse String", {L"abcde", L"5", L"A", L"B", L"3", L"", L""})}, L"B", L""},
        {"Parse String trims and ignores case",
         {Cmd(L"Parse String", {L" one X two ", L"x", L"A", L"B", L"0", L"TRUE", L"TRUE"})}, L"B", L"two"},
        {"Replace String joins lines",
         {Set(L"T", L"one$NEWLINE$two"), Cmd(L"Replace String", {L"T", L"$NEWLINE$", L" ", L"FALSE", L"TRUE"})},
         L"T", L"one two"},
        {"Replace String first only, ignoring case",
         {Set(L"T", L"aXbxc"), Cmd(L"Replace String", {L"T", L"x", L"-", L"TRUE", L"FALSE"})}, L"T", L"a-bxc"},
        {"Convert Case", {Set(L"T", L"Caf\u00E9"), Cmd(L"Convert Case", {L"T", L"TRUE"})}, L"T", L"CAF\u00C9"},
        {"Mathematics", {Cmd(L"Mathematics", {L"40", L"2", L"0", L"R"})}, L"R", L"42"},
        {"Evaluate Expression", {Set(L"T", L"a"), Cmd(L"Evaluate Expression", {L"(\"1\" = \"1\") and (\"a\" = $T$)", L"R"})}, L"R", L"TRUE"},
    };
    for (const auto& c : cases) {
        ClearVariables();
        const RunOutcome outcome = Run(Script(c.script));
        EXPECT_EQ(outcome.end, RunEnd::Completed) << c.what << ": " << text::ToUtf8(outcome.message);
        EXPECT_EQ(GetVariable(c.variable), c.value) << c.what;
    }
}

TEST_F(RunTest, SetVariableKeepsPersistedNamesAndTheDownloadTimeout) {
    Run(Script({Set(L"keep$VORP$VORP$TRUE", L"1"), Set(L"KEEP$VORP$VORP$TRUE", L"2"), Set(L"TEMP$VORP$VORP$true", L"3"),
                Set(L"VORP_TIMEOUT", L"25")}));
    EXPECT_EQ(TheSession().persistedVariables, std::vector<std::wstring>{L"keep"}) << "once, and only for exactly TRUE";
    EXPECT_EQ(GetVariable(L"KEEP"), L"2");
    EXPECT_EQ(TheSession().downloadTimeout, 25);
    Run(Script({Set(L"VORP_TIMEOUT", L"soon")}));
    EXPECT_EQ(TheSession().downloadTimeout, 10) << "not an integer";
}

TEST_F(RunTest, ExtractPathParts) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"0", L"file.tar.gz"}, {L"1", L"file.tar"}, {L"2", L"gz"},     {L"3", L"C:\\dir\\sub\\"},
        {L"4", L"C:\\dir\\"},   {L"5", L"C:\\"},     {L"9", L"C:\\dir\\sub\\file.tar.gz"},
    };
    for (const auto& [code, expected] : cases) {
        ClearVariables();
        Run(Script({Set(L"P", L"C:\\dir\\sub\\file.tar.gz"), Cmd(L"Extract Path", {L"P", code})}));
        EXPECT_EQ(GetVariable(L"P"), expected) << "code " << text::ToUtf8(code);
    }
    ClearVariables();
    Run(Script({Set(L"P", L"\\\\server\\share\\dir\\x"), Cmd(L"Extract Path", {L"P", L"5"})}));
    EXPECT_EQ(GetVariable(L"P"), L"\\\\server\\share\\");
}

}  // namespace
}  // namespace velmora::engine
