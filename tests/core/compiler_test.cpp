#include "core/text.hpp"
#include "tests/core/script_fixture.hpp"
#include "engine/compiler.hpp"
#include "vars/variables.hpp"

#include <gtest/gtest.h>

namespace velmora::engine {
namespace {

using fixtures::Line;
using fixtures::Script;

// If with a condition on an engine-provided variable.
Line If() { return {L"If", {L"TARGETDIR", L"0", L"x", L"FALSE"}}; }
Line Plain(std::wstring name, std::vector<std::wstring> p = {}) { return {std::move(name), std::move(p)}; }
Line Commented(Line l) {
    l.commented = true;
    return l;
}

struct Case {
    const char* what;
    std::vector<Line> script;
    std::int64_t index;
    std::wstring message;
};

void Check(const Case& c) {
    const CompileResult r = CompileScript(Script(c.script));
    EXPECT_EQ(r.message, c.message) << c.what;
    EXPECT_EQ(r.index, c.index) << c.what;
}

TEST(Compiler, EveryMessageAtItsIndex) {
    const Line While = {L"While", {L"TARGETDIR", L"0", L"x", L"FALSE"}};
    const Line Until = {L"Until", {L"TARGETDIR", L"0", L"x", L"FALSE"}};
    const Case cases[] = {
        {"insufficient END", {If()}, kImbalanceIndex, L"Insufficient END statements"},
        {"too many END via wizard loop", {Plain(L"Wizard Loop"), Plain(L"End"), Plain(L"End")}, kImbalanceIndex,
         L"Too many END statements"},
        {"insufficient WEND", {While}, kImbalanceIndex, L"Insufficient WEND statements"},
        {"insufficient UNTIL", {Plain(L"Repeat")}, kImbalanceIndex, L"Insufficient UNTIL statements"},
        {"insufficient NEXT", {Plain(L"For Each", {L"I", L"a,b"})}, kImbalanceIndex, L"Insufficient NEXT statements"},
        {"END outside IF", {Plain(L"End")}, 0, L"IF conditional closed outside of IF conditional scope"},
        {"END across a loop", {If(), While, Plain(L"End"), Plain(L"Wend")}, 2,
         L"IF conditional closed outside of LOOP scope"},
        {"WEND outside WHILE", {Plain(L"Wend")}, 0, L"WHILE loop closed outside of WHILE loop scope"},
        {"WEND across an IF", {While, If(), Plain(L"Wend"), Plain(L"End")}, 2,
         L"WHILE loop closed outside of CONDITIONAL or REPEAT or FOR EACH loop scope"},
        {"UNTIL outside REPEAT", {Until}, 0, L"REPEAT loop closed outside of REPEAT loop scope"},
        {"UNTIL across a WHILE", {Plain(L"Repeat"), While, Until, Plain(L"Wend")}, 2,
         L"REPEAT loop closed outside of CONDITIONAL or WHILE or FOR EACH loop scope"},
        {"NEXT outside FOR EACH", {Plain(L"Next")}, 0, L"FOR EACH loop closed outside of FOR EACH loop scope"},
        {"NEXT across a REPEAT", {Plain(L"For Each", {L"I", L"a"}), Plain(L"Repeat"), Plain(L"Next"), Until}, 2,
         L"FOR EACH loop closed outside of CONDITIONAL or REPEAT or WHILE loop scope"},
        {"nested FOR EACH variable",
         {Plain(L"For Each", {L"I", L"a"}), Plain(L"For Each", {L"i", L"b"}), Plain(L"Next"), Plain(L"Next")}, 1,
         L"FOR EACH variable re-used inside nested FOR EACH loop"},
        {"FOR EACH variable defined before", {Plain(L"For Each", {L"TARGETDIR", L"a"}), Plain(L"Next")}, 0,
         L"FOR EACH variable previously defined outside FOR EACH loop"},
        {"Break outside loops", {If(), Plain(L"Break"), Plain(L"End")}, 1, L"Break not allowed outside of LOOP scope"},
        {"Continue outside loops", {Plain(L"Continue")}, 0, L"Continue not allowed outside of LOOP scope"},
        {"Label in a block", {If(), Plain(L"Label", {L"A"}), Plain(L"End")}, 1,
         L"LABEL statements cannot be nested inside loops/conditionals"},
        {"Label twice, one commented", {Commented(Plain(L"Label", {L"Here"})), Plain(L"Label", {L"HERE"})}, 1,
         L"LABEL re-defined: HERE"},
        {"GoTo undefined label", {Plain(L"GoTo Label", {L"Finish"})}, 0, L"LABEL undefined: Finish"},
        {"result variable required", {Plain(L"Get Temporary File", {L""})}, 0, L"Variable required"},
        {"variable not defined", {Plain(L"If", {L"$NOPE$", L"0", L"1", L"FALSE"}), Plain(L"End")}, 0,
         L"Variable not defined: $NOPE$"},
        {"right side not defined", {Plain(L"If", {L"TARGETDIR", L"0", L"$NOPE$", L"FALSE"}), Plain(L"End")}, 0,
         L"Variable not defined: $NOPE$"},
        {"Convert Case on nothing", {Plain(L"Convert Case", {L"NOPE", L"0"})}, 0, L"Variable not defined: NOPE"},
        {"dialog without name", {Plain(L"Display Dialog", {L""})}, 0, L"Dialog name not specified"},
        {"statement in a wizard loop",
         {Plain(L"Wizard Loop"), Plain(L"Display Dialog", {L"Welcome", L"", L"", L"", L"", L""}), Plain(L"Comment"), Plain(L"Ignore"),
          Plain(L"Set Variable", {L"X", L"1"}), Plain(L"End")},
         4, L"Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP"},
        {"web media name", {Plain(L"Web Media Block", {L"C:\\a\\b<c", L"http://x"})}, 0,
         L"Web Media Block name must be a legal file name"},
        {"web media without URL (the later message wins)", {Plain(L"Web Media Block", {L"a|b", L""})}, 0,
         L"Web Media Block must have at least one download URL"},
        {"no delete mode", {Plain(L"Delete Files", {L"x", L"*.*", L"FALSE", L"false"})}, 0,
         L"At least one delete mode must be selected"},
        {"no target folder", {Plain(L"Install Files", {L"a", L"b", L""})}, 0,
         L"A target folder must be specified for files that are being installed.\rThe value $TARGETDIR$ represents "
         L"the destination folder chosen by the user."},
        {"bad expression", {Plain(L"Evaluate Expression", {L"(1 + ", L"R"})}, 0,
         L"Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the correct syntax."},
    };
    for (const auto& c : cases) Check(c);
}

TEST(Compiler, ValidStructuresCompile) {
    const Line While = {L"While", {L"TARGETDIR", L"0", L"x", L"FALSE"}};
    const Line Until = {L"Until", {L"TARGETDIR", L"0", L"x", L"FALSE"}};
    const Case cases[] = {
        {"empty script", {}, -1, L"Script compiled successfully"},
        {"every block in every other",
         {Plain(L"Label", {L"Top"}), If(), While, Plain(L"Repeat"), Plain(L"For Each", {L"I", L"a,b"}), If(),
          Plain(L"Break"), Plain(L"Continue"), Plain(L"Else If", {L"I", L"0", L"a", L"FALSE"}), Plain(L"Else"),
          Plain(L"End"), Plain(L"Next"), Until, Plain(L"Wend"), Plain(L"End"), Plain(L"GoTo Label", {L"top"})},
         -1, L"Script compiled successfully"},
        {"commented-out If without End", {Commented(If())}, -1, L"Script compiled successfully"},
        {"If, Wizard Loop, End, End",
         {If(), Plain(L"Wizard Loop"), Plain(L"Display Dialog", {L"Welcome", L"", L"", L"", L"", L""}), Plain(L"End"), Plain(L"End")}, -1,
         L"Script compiled successfully"},
        {"sibling For Each loops share a variable",
         {Plain(L"For Each", {L"I", L"a"}), Plain(L"Next"), Plain(L"For Each", {L"I", L"b"}), Plain(L"Next")}, -1,
         L"Script compiled successfully"},
        {"code 5 on a variable that does not exist", {Plain(L"If", {L"NOPE", L"5", L"", L"FALSE"}), Plain(L"End")}, -1,
         L"Script compiled successfully"},
        {"Mathematics 13 without result", {Plain(L"Mathematics", {L"1", L"2", L"13", L""})}, -1,
         L"Script compiled successfully"},
        {"set in a branch that never runs counts",
         {Plain(L"If", {L"TARGETDIR", L"0", L"never", L"FALSE"}), Plain(L"Set Variable", {L"LATE$VORP$VORP$FALSE", L"1"}),
          Plain(L"End"), Plain(L"If", {L"$LATE$", L"0", L"1", L"FALSE"}), Plain(L"End")},
         -1, L"Script compiled successfully"},
        {"a result parameter defines its variable",
         {Plain(L"Get Temporary File", {L"TMPFILE"}), Plain(L"If", {L"TMPFILE", L"0", L"", L"FALSE"}), Plain(L"End")},
         -1, L"Script compiled successfully"},
        {"persisted variable set further down",
         {Plain(L"If", {L"KEEP", L"0", L"1", L"FALSE"}), Plain(L"End"),
          Commented(Plain(L"Set Variable", {L"keep$VORP$VORP$TRUE", L"1"}))},
         -1, L"Script compiled successfully"},
        {"label inside no block, commented GoTo target",
         {Commented(Plain(L"Label", {L"Gone"})), Plain(L"GoTo Label", {L"GONE"})}, -1, L"Script compiled successfully"},
        {"wizard loop with a comment", {Plain(L"Wizard Loop"), Plain(L"Comment"), Plain(L"End")}, -1,
         L"Script compiled successfully"},
    };
    for (const auto& c : cases) Check(c);
}

TEST(Compiler, VariableSetFurtherDownIsNotDefinedYet) {
    Check({"plain Set Variable further down",
           {Plain(L"If", {L"LATER", L"0", L"1", L"FALSE"}), Plain(L"End"), Plain(L"Set Variable", {L"LATER", L"1"})},
           0,
           L"Variable not defined: LATER"});
}

TEST(Compiler, ForEachVariableIsDroppedAfterNext) {
    // Pass 4 deletes the loop variable at Next, so a test of it after the
    // loop fails, and the variable may be used by a later loop.
    Check({"loop variable after the loop",
           {Plain(L"For Each", {L"I", L"a"}), Plain(L"Next"), Plain(L"If", {L"I", L"0", L"", L"FALSE"}), Plain(L"End")},
           2,
           L"Variable not defined: I"});
}

TEST(Compiler, LabelsAndInstallMarkers) {
    const CompileResult r = CompileScript(Script({Plain(L"Label", {L"Start"}), Plain(L"Install Files", {L"a", L"b", L"$TARGETDIR$"}),
                                                  Commented(Plain(L"Write Registry")), Plain(L"Write Registry"),
                                                  Plain(L"Delete Files", {L"x", L"*", L"TRUE", L"FALSE"}),
                                                  Commented(Plain(L"Label", {L"end"}))}));
    ASSERT_TRUE(r.Succeeded()) << text::ToUtf8(r.message);
    EXPECT_EQ(r.labels, (std::vector<std::wstring>{L"START", L"END"}));
    EXPECT_EQ(r.installMarkers, (std::vector<std::wstring>{L"SKIP", L"FALSE", L"SKIP", L"FALSE", L"FALSE", L"SKIP"}));
    // The engine's own names exist with their values during compilation.
    EXPECT_EQ(GetVariable(L"NATIVE_ERROR"), L"PROMPT");
    EXPECT_EQ(GetVariable(L"NATIVE_ROLLBACK"), L"TRUE");
    EXPECT_EQ(GetVariable(L"GPOPATH"), L"FALSE");
    EXPECT_TRUE(VariableExists(L"SAVEDATA"));
    ClearVariables();
}

}  // namespace
}  // namespace velmora::engine
