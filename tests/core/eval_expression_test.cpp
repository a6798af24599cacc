#include "tests/core/vars_test_support.hpp"
#include "vars/eval.hpp"

#include <algorithm>

namespace velmora {
namespace {

using testing::Show;
using testing::StoreTest;

struct ExpressionCase {
    std::wstring expression;
    std::wstring result;
};

void CheckAll(const std::vector<ExpressionCase>& cases) {
    for (const auto& c : cases) EXPECT_EQ(EvaluateExpression(c.expression), c.result) << Show(c.expression);
}

TEST(Expression, Comparisons) {
    CheckAll({
        {L"\"1\" = \"1\"", L"TRUE"},
        {L"\"10\" > \"9\"", L"TRUE"},
        {L"\"10a\" > \"9\"", L"FALSE"},
        {L"\"2\" < \"10\"", L"TRUE"},
        {L"\"a2\" < \"a10\"", L"FALSE"},
        {L"\"a\" <> \"b\"", L"TRUE"},
        {L"\"a\" <> \"a\"", L"FALSE"},
        {L"\"b\" >= \"b\"", L"TRUE"},
        {L"\"a\" >= \"b\"", L"FALSE"},
        {L"\"a\" <= \"a\"", L"TRUE"},
        {L"\"-3\" <= \"-4\"", L"FALSE"},
        {L"\"+5\" = \"5\"", L"TRUE"},
        {L"\"-0\" = \"0\"", L"TRUE"},
        {L"\"007\" = \"7\"", L"TRUE"},
        {L"\" 5\" = \"5\"", L"FALSE"},
        {L"\"5 \" = \"5\"", L"FALSE"},
        {L"\"$10\" = \"16\"", L"FALSE"},
        {L"\"0x10\" = \"16\"", L"FALSE"},
        {L"\"a\" = \"A\"", L"FALSE"},
        {L"\"\" = \"\"", L"TRUE"},
        {L"\"\" < \"a\"", L"TRUE"},
        {L"\"\u00E9\" > \"z\"", L"TRUE"},
        // Beyond 32 bits the operands are texts: "2" sorts before "9".
        {L"\"2147483647\" > \"9\"", L"TRUE"},
        {L"\"2147483648\" > \"9\"", L"FALSE"},
        {L"\"-2147483648\" < \"0\"", L"TRUE"},
        // Two double quotes inside an operand stand for one.
        {L"\"a\"\"b\" = \"a\"\"b\"", L"TRUE"},
        {L"\"a\"\"b\" = \"ab\"", L"FALSE"},
        {L"\"\"\"\" = \"\"\"\"", L"TRUE"},
        // Blanks around everything, none needed between a quote and a word.
        {L"   \"a\"   =   \"a\"   ", L"TRUE"},
        {L"\"a\"=\"a\"and\"b\"=\"b\"", L"TRUE"},
    });
}

TEST(Expression, ConnectivesAndParentheses) {
    CheckAll({
        {L"\"a\" = \"a\" and \"b\" = \"c\"", L"FALSE"},
        {L"\"a\" = \"b\" or \"c\" = \"c\" and \"d\" = \"e\"", L"FALSE"},
        {L"\"a\" = \"b\" or (\"c\" = \"c\" and \"d\" = \"d\")", L"TRUE"},
        {L"\"a\" = \"a\" or \"b\" = \"c\" and \"d\" = \"d\"", L"TRUE"},
        {L"(\"a\" = \"a\") and (\"b\" = \"b\")", L"TRUE"},
        {L"((\"a\" = \"a\"))", L"TRUE"},
        {L"( ( \"1\" = \"2\" ) or ( \"3\" = \"3\" ) ) and \"4\" = \"4\"", L"TRUE"},
        {L"\"1\" = \"1\" and \"2\" = \"2\" and \"3\" = \"3\" and \"4\" = \"5\"", L"FALSE"},
        {L"\"1\" = \"2\" or \"2\" = \"3\" or \"3\" = \"3\"", L"TRUE"},
    });
}

TEST(Expression, EveryMalformedInputIsError) {
    CheckAll({
        {L"", L"ERROR"},
        {L"   ", L"ERROR"},
        {L"()", L"ERROR"},
        {L"\"a\" = \"a\" AND \"b\" = \"b\"", L"ERROR"},
        {L"\"a\" = \"b\" OR \"a\" = \"a\"", L"ERROR"},
        {L"(\"a\" = \"a\"", L"ERROR"},
        {L"\"a\" = \"a\")", L"ERROR"},
        {L"(\"a\" = \"a\"))", L"ERROR"},
        {L"\"a\" = \"a\") or (\"b\" = \"b\"", L"ERROR"},
        {L"\"a\" =", L"ERROR"},
        {L"= \"a\"", L"ERROR"},
        {L"\"a\"", L"ERROR"},
        {L"\"a\" \"a\"", L"ERROR"},
        {L"\"a\" == \"a\"", L"ERROR"},
        {L"\"a\" =< \"a\"", L"ERROR"},
        {L"\"a\" ! \"a\"", L"ERROR"},
        {L"a = \"a\"", L"ERROR"},
        {L"\"a\" = a", L"ERROR"},
        {L"\"a\" = \"b", L"ERROR"},
        {L"\"a = \"b\"", L"ERROR"},
        {L"\"a\" = \"a\" and", L"ERROR"},
        {L"and \"a\" = \"a\"", L"ERROR"},
        {L"\"a\" = \"a\" \"b\" = \"b\"", L"ERROR"},
        {L"\"a\" = \"a\" xor \"b\" = \"b\"", L"ERROR"},
        {L"\"a\" = \"a\" and(\"b\" = \"b\")", L"ERROR"},
        {L"\"a\" = \"a\" or \"c\"", L"ERROR"},
        {L"\"a\"\t=\t\"a\"", L"ERROR"},
        {L"\"a\" = \"a\" and and \"b\" = \"b\"", L"ERROR"},
        {L"(\"a\" = \"a\") (\"b\" = \"b\")", L"ERROR"},
        {L"\"a\" = (\"a\")", L"ERROR"},
    });
}

TEST(Expression, DeepNestingNeedsNoStack) {
    for (std::size_t depth : {std::size_t{10000}, std::size_t{200000}}) {
        const std::wstring open(depth, L'('), close(depth, L')');
        EXPECT_EQ(EvaluateExpression(open + L"\"a\" = \"a\"" + close), L"TRUE") << depth;
        EXPECT_EQ(EvaluateExpression(open + L"\"a\" = \"b\"" + close + L" or \"c\" = \"c\""), L"TRUE") << depth;
        EXPECT_EQ(EvaluateExpression(open + L"\"a\" = \"a\"" + close.substr(1)), L"ERROR") << depth;
        EXPECT_EQ(EvaluateExpression(open), L"ERROR") << depth;
        // Each level joined to the next by a connective.
        std::wstring chain;
        for (std::size_t i = 0; i < depth / 10; ++i) chain += L"(\"1\" = \"1\" and ";
        chain += L"\"2\" = \"2\"" + std::wstring(depth / 10, L')');
        EXPECT_EQ(EvaluateExpression(chain), L"TRUE") << depth;
    }
}

TEST(Expression, SyntaxCheckReadsReferencesAsOperands) {
    struct Case {
        std::wstring expression;
        bool valid;
    } cases[] = {
        {L"$A$ = \"1\"", true},
        {L"$COUNT$ > \"3\"", true},
        {L"$A$ = $B$ and ($C$ <> \"x\" or $D$ = \"\")", true},
        {L"$A$ > 3", false},
        {L"$A$ = \"1\" AND $B$ = \"2\"", false},
        {L"", false},
        {L"$A$", false},
        // A dollar sign inside a literal breaks the quoting, as it would at run time.
        {L"$A$ = \"$5\"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckExpressionSyntax(c.expression), c.valid) << Show(c.expression);
}

TEST_F(StoreTest, EvaluateExpressionCommand) {
    Define({{L"COUNT", L"5"}, {L"NAME", L"x\"y"}, {L"PATH", L"C:\\Program Files\\"}});
    struct Case {
        std::wstring expression;
        std::wstring result;
    } cases[] = {
        {L"$COUNT$ > \"3\"", L"TRUE"},
        {L"$COUNT$ > \"30\"", L"FALSE"},
        {L"$count$ = \"5\" and $PATH$ = \"C:\\Program Files\\\"", L"TRUE"},
        {L"$UNDEFINED$ = \"\"", L"ERROR"},  // left as written: not a quoted operand
        {L"$NAME$ = \"x\"", L"ERROR"},      // a double quote in a value breaks the quoting
    };
    for (const auto& c : cases) {
        DeleteVariable(L"RESULT");
        EXPECT_EQ(RunEvaluateExpression(c.expression, L"result"), c.result) << Show(c.expression);
        EXPECT_EQ(GetVariable(L"RESULT"), c.result) << Show(c.expression);
        const auto names = Variables().GetNames();
        EXPECT_NE(std::find(names.begin(), names.end(), L"RESULT"), names.end()) << "defined upper-cased";
    }

    // The result goes through the command-line protection.
    TheSession().silent = true;
    TheSession().commandLineAssignments = {L"RESULT", L"kept"};
    Variables().SetItem(L"RESULT", L"kept");
    RunEvaluateExpression(L"\"1\" = \"1\"", L"RESULT");
    EXPECT_EQ(GetVariable(L"RESULT"), L"kept");
}

}  // namespace
}  // namespace velmora
