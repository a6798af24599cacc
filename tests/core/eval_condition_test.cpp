#include "tests/core/vars_test_support.hpp"
#include "vars/eval.hpp"

#include <optional>

namespace velmora {
namespace {

using testing::Show;
using testing::StoreTest;
using testing::VariableList;

TEST(ScriptIntegers, DecimalHexadecimalAndRange) {
    struct Case {
        std::wstring text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {L"7", 7},
        {L"007", 7},
        {L"-0", 0},
        {L"+12", 12},
        {L"   12", 12},
        {L"12 ", std::nullopt},
        {L"\t12", std::nullopt},
        {L"$10", 16},
        {L"x10", 16},
        {L"X1f", 31},
        {L"0x10", 16},
        {L"0XfF", 255},
        {L"-$10", -16},
        {L" -0x10", -16},
        {L"$7FFFFFFF", 2147483647},
        {L"$80000000", std::nullopt},
        {L"-$80000000", INT32_MIN},
        {L"-$80000001", std::nullopt},
        {L"2147483647", 2147483647},
        {L"2147483648", std::nullopt},
        {L"-2147483648", INT32_MIN},
        {L"-2147483649", std::nullopt},
        {L"$", std::nullopt},
        {L"0x", std::nullopt},
        {L"x", std::nullopt},
        {L"$-5", std::nullopt},
        {L"$1G", std::nullopt},
        {L"", std::nullopt},
        {L"- 5", std::nullopt},
        {L"1.0", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(text::ParseScriptInt32(c.text), c.value) << Show(c.text);
    EXPECT_EQ(text::ParseScriptInt64(L"$7FFFFFFFFFFFFFFF"), INT64_MAX);
    EXPECT_EQ(text::ParseScriptInt64(L"-0x8000000000000000"), INT64_MIN);
    EXPECT_EQ(text::ParseScriptInt64(L"0x8000000000000000"), std::nullopt);
    EXPECT_EQ(text::ParseScriptInt64(L" -9223372036854775808"), INT64_MIN);
}

struct ConditionCase {
    VariableList vars;
    std::wstring variable;
    std::wstring code;
    std::wstring value;
    std::wstring negate;
    bool expected;
};

class Condition : public StoreTest {
protected:
    void Check(const std::vector<ConditionCase>& cases) {
        for (const auto& c : cases) {
            ClearVariables();
            Define(c.vars);
            const bool result = EvaluateCondition({c.variable, c.code, c.value, c.negate});
            EXPECT_EQ(result, c.expected) << "variable " << Show(c.variable) << " = "
                                          << Show(GetVariable(VariableNameOf(c.variable))) << ", code "
                                          << Show(c.code) << ", value " << Show(c.value) << ", negate "
                                          << Show(c.negate);
            // The form a loop's condition keeps gives the same answer.
            EXPECT_EQ(PreparedCondition({c.variable, c.code, c.value, c.negate}).Evaluate(), c.expected)
                << "prepared: variable " << Show(c.variable) << ", code " << Show(c.code) << ", value "
                << Show(c.value) << ", negate " << Show(c.negate);
        }
    }
    static std::wstring VariableNameOf(const std::wstring& v) {
        return v.size() > 2 && v.front() == L'$' && v.back() == L'$' ? v.substr(1, v.size() - 2) : v;
    }
};

TEST_F(Condition, TextsAndNumbers) {
    Check({
        {{{L"X", L"007"}}, L"X", L"0", L"7", L"FALSE", true},
        {{{L"X", L"abc"}}, L"X", L"0", L"ABC", L"FALSE", false},
        {{{L"X", L"abc"}}, L"X", L"4", L"ABC", L"FALSE", true},
        {{{L"X", L"abc"}}, L"X", L"0", L"abc", L"FALSE", true},
        {{{L"X", L"15"}}, L"X", L"1", L"5", L"FALSE", false},
        {{{L"X", L"a15"}}, L"X", L"1", L"5", L"FALSE", true},
        // x introduces a hexadecimal number: x15 is 21, so the test is numeric.
        {{{L"X", L"x15"}}, L"X", L"1", L"5", L"FALSE", false},
        {{{L"X", L"x15"}}, L"X", L"1", L"21", L"FALSE", true},
        {{{L"X", L"abc"}}, L"X", L"1", L"B", L"FALSE", false},
        {{{L"X", L"abc"}}, L"X", L"1", L"", L"FALSE", false},
        {{{L"X", L"10"}}, L"X", L"2", L"9", L"FALSE", true},
        {{{L"X", L"10a"}}, L"X", L"2", L"9", L"FALSE", false},
        {{{L"X", L"b"}}, L"X", L"2", L"a", L"FALSE", true},
        {{{L"X", L"ab"}}, L"X", L"2", L"a", L"FALSE", true},
        {{{L"X", L"a"}}, L"X", L"2", L"a", L"FALSE", false},
        {{{L"X", L"-5"}}, L"X", L"2", L"-6", L"FALSE", true},
        // Hexadecimal forms on either side.
        {{{L"X", L"$10"}}, L"X", L"0", L"16", L"FALSE", true},
        {{{L"X", L"0x10"}}, L"X", L"4", L"X10", L"FALSE", true},
        {{{L"X", L" 16"}}, L"X", L"0", L"$10", L"FALSE", true},
        {{{L"X", L"16 "}}, L"X", L"0", L"16", L"FALSE", false},
        {{{L"X", L"$FF"}}, L"X", L"2", L"254", L"FALSE", true},
        // The switch between numbers and texts at the 32-bit boundary.
        {{{L"X", L"2147483647"}}, L"X", L"0", L"02147483647", L"FALSE", true},
        {{{L"X", L"2147483648"}}, L"X", L"0", L"02147483648", L"FALSE", false},
        {{{L"X", L"-2147483648"}}, L"X", L"0", L"-02147483648", L"FALSE", true},
        {{{L"X", L"-2147483649"}}, L"X", L"0", L"-02147483649", L"FALSE", false},
        {{{L"X", L"2147483647"}}, L"X", L"2", L"9", L"FALSE", true},
        {{{L"X", L"2147483648"}}, L"X", L"2", L"9", L"FALSE", false},
        {{{L"X", L"$80000000"}}, L"X", L"0", L"-2147483648", L"FALSE", false},
        // Undefined compares as empty; the variable may be written as $X$.
        {{}, L"UNDEFINED", L"0", L"", L"FALSE", true},
        {{{L"X", L"abc"}}, L"$X$", L"0", L"abc", L"FALSE", true},
        {{{L"X", L"abc"}}, L"$x$", L"0", L"abc", L"FALSE", true},
        // Both sides are substituted.
        {{{L"X", L"$Y$"}, {L"Y", L"5"}}, L"X", L"0", L"5", L"FALSE", true},
        {{{L"X", L"5"}, {L"Y", L"5"}}, L"X", L"0", L"$Y$", L"FALSE", true},
        {{{L"X", L"5"}, {L"Y", L"6"}}, L"X", L"2", L"$Y$", L"FALSE", false},
    });
}

TEST_F(Condition, UnicodeUpperCaseAgainstAsciiFolding) {
    Check({
        // Code 3 maps every letter; code 4 folds ASCII letters only.
        {{{L"X", L"le caf\u00E9 noir"}}, L"X", L"3", L"CAF\u00C9", L"FALSE", true},
        {{{L"X", L"le caf\u00E9 noir"}}, L"X", L"1", L"CAF\u00C9", L"FALSE", false},
        {{{L"X", L"caf\u00E9"}}, L"X", L"4", L"CAF\u00C9", L"FALSE", false},
        {{{L"X", L"Caf\u00E9"}}, L"X", L"4", L"cAF\u00E9", L"FALSE", true},
        {{{L"X", L"\u0434\u043E\u043C"}}, L"X", L"3", L"\u0414\u041E", L"FALSE", true},
        {{{L"X", L"\u0434\u043E\u043C"}}, L"X", L"4", L"\u0414\u041E\u041C", L"FALSE", false},
        {{{L"X", L"ABC"}}, L"X", L"3", L"b", L"FALSE", true},
        {{{L"X", L"ABC"}}, L"X", L"3", L"d", L"FALSE", false},
        // Ordinal order by code unit: U+00E9 is above z.
        {{{L"X", L"\u00E9"}}, L"X", L"2", L"z", L"FALSE", true},
    });
}

TEST_F(Condition, DefinedAndNegation) {
    Check({
        {{{L"X", L""}}, L"X", L"5", L"ignored", L"FALSE", true},
        {{{L"X", L""}}, L"x", L"5", L"", L"FALSE", true},
        {{}, L"X", L"5", L"", L"FALSE", false},
        {{}, L"X", L"5", L"", L"TRUE", true},
        {{{L"X", L"1"}}, L"X", L"5", L"", L"TRUE", false},
        // Code 5 takes the name exactly as written.
        {{{L"X", L"1"}}, L"$X$", L"5", L"", L"FALSE", false},
        {{{L"X", L"1"}}, L"X", L"0", L"1", L"true", false},
        {{{L"X", L"1"}}, L"X", L"0", L"1", L"-1", false},
        {{{L"X", L"1"}}, L"X", L"0", L"1", L"1", true},
        {{{L"X", L"1"}}, L"X", L"0", L"1", L"", true},
        // Unknown codes are false before negation.
        {{{L"X", L"1"}}, L"X", L"7", L"1", L"FALSE", false},
        {{{L"X", L"1"}}, L"X", L"7", L"1", L"TRUE", true},
        {{{L"X", L"1"}}, L"X", L"", L"1", L"FALSE", false},
        {{{L"X", L"1"}}, L"X", L"00", L"1", L"FALSE", false},
        {{{L"X", L"1"}}, L"X", L" 0", L"1", L"FALSE", false},
        {{{L"X", L"1"}}, L"X", L"-1", L"1", L"TRUE", true},
    });
}

TEST_F(Condition, DottedVersions) {
    const auto row = [](std::wstring left, std::wstring right, bool expected, std::wstring negate = L"FALSE") {
        return ConditionCase{{{L"V", std::move(left)}}, L"V", L"6", std::move(right), std::move(negate), expected};
    };
    Check({
        row(L"1.10", L"1.9", true),
        row(L"1.9", L"1.10", false),
        row(L"2.0", L"2.0.0.0", false),
        row(L"2.0.0.1", L"2", true),
        row(L"2", L"2.0.0.1", false),
        row(L"1.2.3.4", L"1.2.3.4", false),
        row(L"10", L"9", true),
        row(L"1", L"0.9", true),
        row(L"", L"0", false),
        row(L"0.0.0.1", L"", true),
        // A fifth part is never read.
        row(L"1.2.3.4.9", L"1.2.3.4", false),
        // The last part counts as 0 when it is not a number...
        row(L"1.2.a", L"1.2", false),
        row(L"1.2.a", L"1.1.9", true),
        row(L"1.2.3", L"1.2.x", true),
        // ...a part before a dot that is not a number makes the test false.
        row(L"1.a.3", L"1.0", false),
        row(L"1.a.3", L"1.0", true, L"TRUE"),
        row(L"2.0", L"1..0", false),
        row(L"-1.0", L"-2.0", true),
        row(L"1.$A", L"1.9", true),
    });
}

std::wstring Translate(std::wstring_view line) {
    if (line == L"GREETING") return L"GRUSS";
    if (line == L"Hello") return L"Hallo";
    return std::wstring(line);
}

TEST_F(Condition, TranslationHookRewritesVariableAndValue) {
    Define({{L"GRUSS", L"Hallo"}, {L"GREETING", L"Hello"}});
    EXPECT_TRUE(EvaluateCondition({L"GREETING", L"0", L"Hello", L"FALSE"}));
    SetConditionTranslator(&Translate);
    EXPECT_TRUE(EvaluateCondition({L"GREETING", L"0", L"Hello", L"FALSE"}));
    EXPECT_FALSE(EvaluateCondition({L"GREETING", L"0", L"Hallo!", L"FALSE"}));
    DeleteVariable(L"GREETING");
    EXPECT_TRUE(EvaluateCondition({L"GREETING", L"5", L"", L"FALSE"}));
    SetConditionTranslator(nullptr);
    EXPECT_FALSE(EvaluateCondition({L"GREETING", L"0", L"Hallo", L"FALSE"}));
}

TEST_F(Condition, PreparedConditionFollowsTheStoreAndTheTranslator) {
    const PreparedCondition equal({L"$GREETING$", L"0", L"Hello", L"FALSE"});
    const PreparedCondition defined({L"GREETING", L"5", L"", L"FALSE"});
    const PreparedCondition substituted({L"GREETING", L"0", L"$OTHER$", L"TRUE"});
    EXPECT_FALSE(equal.Evaluate());
    EXPECT_FALSE(defined.Evaluate());
    Define({{L"GREETING", L"Hello"}, {L"OTHER", L"Hello"}});
    EXPECT_TRUE(equal.Evaluate());
    EXPECT_TRUE(defined.Evaluate());
    EXPECT_FALSE(substituted.Evaluate());
    SetVariable(L"OTHER", L"Hi", L"test");
    EXPECT_TRUE(substituted.Evaluate());
    // Made before the translator was installed, they still read translated
    // lines: GREETING becomes GRUSS ("Hallo"), the value "Hello" "Hallo".
    const PreparedCondition bare({L"GREETING", L"0", L"Hello", L"FALSE"});
    Define({{L"GRUSS", L"Hallo"}});
    SetConditionTranslator(&Translate);
    EXPECT_TRUE(bare.Evaluate());
    EXPECT_FALSE(equal.Evaluate());  // "$GREETING$" is not translated: "Hello" against "Hallo"
    SetConditionTranslator(nullptr);
    EXPECT_TRUE(equal.Evaluate());
}

}  // namespace
}  // namespace velmora
