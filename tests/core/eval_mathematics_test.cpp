#include "tests/core/vars_test_support.hpp"
#include "vars/mathematics.hpp"

namespace velmora {
namespace {

using testing::Show;
using testing::StoreTest;

struct MathCase {
    std::wstring a;
    std::wstring b;
    std::wstring code;
    std::wstring result;
};

class Mathematics : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        ResetMathematicsGenerator();
    }
    void TearDown() override {
        ResetMathematicsGenerator();
        StoreTest::TearDown();
    }
    static void CheckAll(const std::vector<MathCase>& cases) {
        for (const auto& c : cases) {
            EXPECT_EQ(ComputeMathematics(c.a, c.b, c.code), c.result)
                << "A " << Show(c.a) << ", B " << Show(c.b) << ", code " << Show(c.code);
            // The form a command in a loop keeps gives the same, run after run.
            const PreparedMathematics prepared(c.a, c.b, c.code, L"");
            for (int run = 0; run < 2; ++run) {
                EXPECT_EQ(prepared.Run(), c.result)
                    << "prepared, run " << run << ": A " << Show(c.a) << ", B " << Show(c.b) << ", code "
                    << Show(c.code);
            }
        }
    }
};

TEST_F(Mathematics, Operations) {
    Define({{L"N", L"40"}});
    CheckAll({
        {L"2", L"3", L"0", L"5"},
        {L"2", L"3", L"1", L"-1"},
        {L"-4", L"3", L"2", L"-12"},
        {L"7", L"2", L"3", L"3"},
        {L"-7", L"2", L"3", L"-3"},
        {L"-7", L"2", L"4", L"-1"},
        {L"7", L"-2", L"4", L"1"},
        {L"12", L"10", L"5", L"8"},
        {L"12", L"10", L"6", L"14"},
        {L"12", L"10", L"7", L"6"},
        {L"1", L"40", L"8", L"1099511627776"},
        {L"1024", L"3", L"9", L"128"},
        {L"5", L"", L"10", L"-6"},
        {L"0", L"junk", L"10", L"-1"},
        {L"abc", L"", L"11", L"97"},
        {L"\u20AC", L"", L"11", L"8364"},
        {L"65", L"", L"12", L"A"},
        {L"9786", L"", L"12", L"\u263A"},
        // Operands in every integer form the script knows, after substitution.
        {L"0x10", L"$10", L"0", L"32"},
        {L"  5", L"-x1", L"0", L"4"},
        {L"$N$", L"2", L"0", L"42"},
    });
}

TEST_F(Mathematics, FailuresGiveTheEmptyText) {
    CheckAll({
        {L"7", L"0", L"3", L""},
        {L"7", L"0", L"4", L""},
        {L"abc", L"1", L"0", L""},
        {L"1", L"abc", L"0", L""},
        {L"5 ", L"1", L"0", L""},
        {L"", L"1", L"0", L""},
        {L"1", L"", L"0", L""},
        {L"9223372036854775808", L"1", L"0", L""},
        {L"1", L"1", L"16", L""},
        {L"1", L"1", L"-1", L""},
        {L"1", L"1", L"x", L""},
        {L"1", L"1", L"", L""},
        {L"", L"", L"11", L""},
        {L"-1", L"", L"12", L""},
        {L"65536", L"", L"12", L""},
        {L"abc", L"", L"10", L""},
    });
}

// Arithmetic that C++ leaves undefined: sums, differences and products wrap
// in two's complement; INT64_MIN / -1 wraps too; shifts past the width give 0.
TEST_F(Mathematics, UndefinedArithmeticHasADefinedResult) {
    CheckAll({
        {L"9223372036854775807", L"1", L"0", L"-9223372036854775808"},
        {L"-9223372036854775808", L"1", L"1", L"9223372036854775807"},
        {L"9223372036854775807", L"2", L"2", L"-2"},
        {L"-9223372036854775808", L"-1", L"2", L"-9223372036854775808"},
        {L"-9223372036854775808", L"-1", L"3", L"-9223372036854775808"},
        {L"-9223372036854775808", L"-1", L"4", L"0"},
        {L"5", L"-1", L"3", L"-5"},
        {L"1", L"63", L"8", L"-9223372036854775808"},
        {L"1", L"64", L"8", L"0"},
        {L"1", L"-1", L"8", L"0"},
        {L"1", L"9223372036854775807", L"8", L"0"},
        {L"-1", L"1", L"9", L"9223372036854775807"},
        {L"-1", L"63", L"9", L"1"},
        {L"-1", L"64", L"9", L"0"},
        {L"-1", L"-3", L"9", L"0"},
        {L"-1", L"0", L"9", L"-1"},
        {L"-1", L"-9223372036854775808", L"9", L"0"},
    });
}

TEST_F(Mathematics, GeneratorKeepsItsStateForTheProcess) {
    // Multiplier and increment; the result is their sum.
    EXPECT_EQ(ComputeMathematics(L"1103515245", L"12345", L"13"), L"1103527590");
    EXPECT_EQ(ComputeMathematics(L"42", L"", L"14"), L"42");
    // x = multiplier * seed + increment (32 bits, wrapping), seed = x mod 32767,
    // result = x mod A; every remainder keeps the sign of x.
    EXPECT_EQ(ComputeMathematics(L"100", L"", L"15"), L"-21");     // x = -896987621
    EXPECT_EQ(ComputeMathematics(L"0", L"", L"15"), L"");          // x = -2057412510; the seed moves on
    EXPECT_EQ(ComputeMathematics(L"7", L"", L"15"), L"5");         // x = 789062034
    EXPECT_EQ(ComputeMathematics(L"-1000", L"", L"15"), L"555");   // x = 6677555
    // A seed beyond 32 bits keeps its low 32 bits.
    EXPECT_EQ(ComputeMathematics(L"4294967338", L"", L"14"), L"4294967338");
    EXPECT_EQ(ComputeMathematics(L"100", L"", L"15"), L"-21");
    // All zero at start: x = 0.
    ResetMathematicsGenerator();
    EXPECT_EQ(ComputeMathematics(L"10", L"", L"15"), L"0");
}

TEST_F(Mathematics, CommandDefinesAndAssignsTheResult) {
    EXPECT_EQ(RunMathematics(L"7", L"2", L"3", L"quotient"), L"3");
    EXPECT_EQ(GetVariable(L"QUOTIENT"), L"3");
    EXPECT_EQ(Variables().GetNames(), std::vector<std::wstring>{L"QUOTIENT"});
    EXPECT_EQ(RunMathematics(L"7", L"0", L"3", L"QUOTIENT"), L"");
    EXPECT_EQ(GetVariable(L"QUOTIENT"), L"");
    EXPECT_TRUE(VariableExists(L"QUOTIENT"));
    // Without a result variable nothing is stored, but the generator still moves.
    EXPECT_EQ(RunMathematics(L"5", L"", L"14", L""), L"5");
    EXPECT_EQ(Variables().GetNames().size(), 1u);
}

TEST_F(Mathematics, PreparedCommandReadsOperandsAtEveryRun) {
    const std::wstring a = L"$N$", b = L"$STEP$", code = L"0", result = L"total";
    const PreparedMathematics prepared(a, b, code, result);
    // The result variable is defined upper-cased and empty before the
    // operands are read: N is undefined, so the sum fails and stays empty.
    EXPECT_EQ(prepared.Run(), L"");
    EXPECT_EQ(Variables().GetNames(), std::vector<std::wstring>{L"TOTAL"});
    EXPECT_TRUE(VariableExists(L"TOTAL"));
    Define({{L"N", L"40"}, {L"STEP", L"2"}});
    EXPECT_EQ(prepared.Run(), L"42");
    EXPECT_EQ(GetVariable(L"TOTAL"), L"42");
    SetVariable(L"N", L"$STEP$0", L"test");  // a value that is substituted again
    EXPECT_EQ(prepared.Run(), L"22");
    SetVariable(L"N", std::wstring(100, L' ') + L"7", L"test");  // too long to be read in place
    EXPECT_EQ(prepared.Run(), L"9");
    // A result variable that refers to itself, as a loop counter does.
    const std::wstring self = L"$N$", one = L"1", name = L"N";
    const PreparedMathematics count(self, one, code, name);
    SetVariable(L"N", L"0", L"test");
    for (int i = 0; i < 3; ++i) count.Run();
    EXPECT_EQ(GetVariable(L"N"), L"3");
}

}  // namespace
}  // namespace velmora
