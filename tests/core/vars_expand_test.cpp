#include "tests/core/vars_test_support.hpp"
#include "vars/expand.hpp"

#include <chrono>
#include <cstdio>

namespace velmora {
namespace {

using testing::Show;
using testing::StoreTest;
using testing::VariableList;

struct ExpandCase {
    VariableList vars;
    std::wstring text;
    std::wstring expected;
};

class Expand : public StoreTest {
protected:
    template <typename F>
    void Check(const std::vector<ExpandCase>& cases, F expand) {
        for (const auto& c : cases) {
            ClearVariables();
            Define(c.vars);
            EXPECT_EQ(expand(c.text), c.expected) << Show(c.text);
        }
    }
};

TEST_F(Expand, Substitution) {
    const std::vector<ExpandCase> cases = {
        {{}, L"$UNDEFINED$\\x", L"$UNDEFINED$\\x"},
        {{{L"A", L"1"}}, L"$A$$A$", L"11"},
        {{{L"A", L"1"}}, L"$$A$", L"$1"},
        {{{L"A", L"1"}}, L"x$A$$", L"x1$"},
        {{{L"A", L"1"}}, L"ends in $", L"ends in $"},
        {{{L"A", L"1"}}, L"$", L"$"},
        {{{L"A", L"1"}}, L"$$", L"$$"},
        {{{L"B", L"2"}}, L"$A$B$", L"$A2"},
        {{{L"X", L"$Y$"}, {L"Y", L"z"}}, L"$X$", L"z"},
        {{{L"E", L""}}, L"[$E$]", L"[]"},
        {{{L"TARGETDIR", L"C:\\App\\"}}, L"$targetdir$", L"C:\\App\\"},
        {{}, L"costs $50", L"costs $50"},
        {{{L"A B", L"blank"}}, L"<$a b$>", L"<blank>"},
        // A dollar sign at the end of a value pairs with one after it.
        {{{L"V", L"a$"}, {L"B", L"2"}}, L"$V$B$", L"a2"},
        {{{L"X", L"a$"}}, L"$X$X$X$", L"aaa$"},
        // Three levels.
        {{{L"A", L"<$B$>"}, {L"B", L"[$C$]"}, {L"C", L"c"}}, L"$A$ $B$", L"<[c]> [c]"},
        {{{L"NEWLINE", L"\r\n"}}, L"one$NEWLINE$two", L"one\r\ntwo"},
        {{{L"N", L"\u65E5\u672C"}}, L"$N$\u00E9", L"\u65E5\u672C\u00E9"},
        // A text that is one whole reference.
        {{{L"N", L"41"}}, L"$n$", L"41"},
        {{{L"E", L""}}, L"$E$", L""},
        {{}, L"$N$", L"$N$"},
        {{{L"X", L"a$X$"}}, L"$X$", L"a$X$"},
        {{{L"X", L"$Y$"}, {L"Y", L"$X$"}}, L"$X$", L"$X$"},
        {{{L"X", L"$"}, {L"B", L"2"}}, L"$X$", L"$"},
    };
    Check(cases, [](const std::wstring& t) { return ExpandVariables(t); });
    // A line analysed once for repeated substitution gives the same.
    Check(cases, [](const std::wstring& t) { return PreparedLine(t).Expand(); });
}

TEST_F(Expand, ReservedMarkersStayInPlace) {
    const VariableList vars = {{L"VORP", L"wrong"}, {L"A", L"1"}};
    const std::wstring markers[] = {L"$VORP$VORP$", L"$DOLLAR$", L"$WILD_DOLLAR$", L"$VORPNX$", L"$IGNORE$",
                                    L"$VORPVOID$",  L"$VORP_UAC$", L"$NULL$",   L"$QUOTE$",       L"$SPACE_SAFE$"};
    Define({{L"A", L"1"}});
    for (const auto& m : markers) EXPECT_EQ(ExpandVariables(L"x" + m + L"y"), L"x" + m + L"y") << Show(m);
    EXPECT_EQ(ExpandVariables(L"$VORP$"), L"$VORP$");
}

TEST_F(Expand, QuotedWrapsEverySubstitutedValue) {
    Check(
        {
            {{{L"A", L"x"}}, L"$A$ = 1", L"\"x\" = 1"},
            {{{L"A", L"x"}}, L"$A$ = \"1\"", L"\"x\" = \"1\""},
            {{{L"E", L""}}, L"$E$", L"\"\""},
            {{}, L"$U$", L"$U$"},
            {{{L"X", L"$Y$"}, {L"Y", L"z"}}, L"$X$", L"\"\"z\"\""},
        },
        [](const std::wstring& t) { return ExpandVariablesQuoted(t); });
}

TEST_F(Expand, PathsCollapseDoubledBackslashes) {
    Check(
        {
            {{{L"TARGETDIR", L"C:\\App\\"}}, L"$TARGETDIR$\\bin", L"C:\\App\\bin"},
            {{{L"TARGETDIR", L"C:\\App"}}, L"$TARGETDIR$\\bin", L"C:\\App\\bin"},
            {{}, L"\\\\server\\share\\\\dir", L"\\\\server\\share\\dir"},
            {{{L"SHARE", L"\\\\srv\\share\\"}}, L"$SHARE$\\file", L"\\\\srv\\share\\file"},
            // Three backslashes become two.
            {{{L"SHARE", L"\\\\srv\\share\\"}}, L"$SHARE$\\\\file", L"\\\\srv\\share\\\\file"},
            {{}, L"a\\\\\\b", L"a\\\\b"},
            {{}, L"a\\\\\\\\b", L"a\\\\b"},
            {{}, L"\\\\", L"\\\\"},
            {{}, L"\\\\\\x", L"\\\\\\x"},
            {{}, L"\\single\\", L"\\single\\"},
            {{}, L"C:\\\\", L"C:\\"},
        },
        [](const std::wstring& t) { return ExpandPath(t); });
}

TEST(ReferencedNames, OnlyTheExactDollarForm) {
    struct Case {
        std::wstring text;
        std::wstring name;
    } cases[] = {
        {L"$NAME$", L"NAME"}, {L"NAME", L""},   {L"$A$B$", L""}, {L"$$", L""},      {L"$", L""},
        {L"$A", L""},         {L"A$", L""},     {L"", L""},      {L"$a b$", L"a b"}, {L" $A$", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ReferencedName(c.text), c.name) << Show(c.text);
    EXPECT_EQ(VariableNameOf(L"$NAME$"), L"NAME");
    EXPECT_EQ(VariableNameOf(L"NAME"), L"NAME");
    EXPECT_EQ(VariableNameOf(L"$A$B$"), L"$A$B$");
}

TEST_F(Expand, ResolveReferenceBothVariants) {
    Define({{L"X", L"[$Y$]"}, {L"Y", L"y"}, {L"E", L""}});
    struct Case {
        std::wstring parameter;
        std::wstring marked;
        std::wstring plain;
    } cases[] = {
        {L"X", L"[y]", L"[y]"},          {L"$x$", L"[y]", L"[y]"}, {L"E", L"", L""},
        {L"NONE", L"$VORPNX$", L""},     {L"$NONE$", L"$VORPNX$", L""},
        {L"", L"$VORPNX$", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveReference(c.parameter), c.marked) << Show(c.parameter);
        EXPECT_EQ(ResolveReferenceOrEmpty(c.parameter), c.plain) << Show(c.parameter);
    }
}

TEST(SetVariableTargets, SplitAtTheMarker) {
    struct Case {
        std::wstring line;
        std::wstring name;
        bool persist;
    } cases[] = {
        {L"TARGETDIR$VORP$VORP$FALSE", L"TARGETDIR", false},
        {L"TARGETDIR$VORP$VORP$TRUE", L"TARGETDIR", true},
        {L"TARGETDIR$VORP$VORP$true", L"TARGETDIR", false},
        {L"TARGETDIR$VORP$VORP$TRUE ", L"TARGETDIR", false},
        {L"$TARGETDIR$$VORP$VORP$TRUE", L"TARGETDIR", true},
        {L"$TARGETDIR$", L"TARGETDIR", false},
        {L"TARGETDIR", L"TARGETDIR", false},
        {L"A$VORP$VORP$B$VORP$VORP$TRUE", L"A", false},
    };
    for (const auto& c : cases) {
        const SetVariableTarget t = SplitSetVariableTarget(c.line);
        EXPECT_EQ(t.name, c.name) << Show(c.line);
        EXPECT_EQ(t.persist, c.persist) << Show(c.line);
    }
}

TEST(LineBreaks, EncodeAndDecode) {
    EXPECT_EQ(EncodeNewlines(L"a\r\nb\nc\r\r\n"), L"a$NEWLINE$b\nc\r$NEWLINE$");
    EXPECT_EQ(DecodeNewlines(L"a$NEWLINE$b$newline$c$NewLine"), L"a\r\nb\r\nc$NewLine");
    EXPECT_EQ(DecodeNewlines(EncodeNewlines(L"x\r\ny\r\n")), L"x\r\ny\r\n");
}

TEST_F(Expand, TextWithoutReferenceKeepsItsBuffer) {
    Define({{L"A", L"1"}});
    std::wstring plain(200, L'p');
    const wchar_t* buffer = plain.data();
    const std::wstring out = ExpandVariables(std::move(plain));
    EXPECT_EQ(out.data(), buffer);
    EXPECT_EQ(out, std::wstring(200, L'p'));

    // Dollar signs without a defined reference: still the same buffer.
    std::wstring prices = std::wstring(100, L'x') + L"$50 and $UNDEFINED$ and $";
    buffer = prices.data();
    const std::wstring expected = prices;
    const std::wstring out2 = ExpandVariablesQuoted(std::move(prices));
    EXPECT_EQ(out2.data(), buffer);
    EXPECT_EQ(out2, expected);
}

// Self-reference: a reference to a name already being expanded in the chain
// of insertions is left as written.
TEST_F(Expand, SelfReferenceEndsWithTheReferenceLeftAsWritten) {
    Check(
        {
            {{{L"X", L"a$X$"}}, L"$X$", L"a$X$"},
            {{{L"X", L"$X$"}}, L"[$X$]", L"[$X$]"},
            {{{L"X", L"<$x$>"}}, L"$X$", L"<$x$>"},
            {{{L"X", L"$Y$"}, {L"Y", L"$X$"}}, L"$X$", L"$X$"},
            {{{L"X", L"$Y$"}, {L"Y", L"$X$"}}, L"$Y$", L"$Y$"},
            {{{L"X", L"1$Y$"}, {L"Y", L"2$Z$"}, {L"Z", L"3$X$"}}, L"$X$|$Z$", L"123$X$|312$Z$"},
            // Not a cycle: the second Y is a sibling, not inside the first.
            {{{L"X", L"$Y$$Y$"}, {L"Y", L"y"}}, L"$X$", L"yy"},
            // The same name again after the chain has ended is expanded.
            {{{L"X", L"a$X$"}}, L"$X$ $X$", L"a$X$ a$X$"},
        },
        [](const std::wstring& t) { return ExpandVariables(t); });
    Check({{{{L"X", L"a$X$"}}, L"$X$", L"\"a$X$\""}}, [](const std::wstring& t) { return ExpandVariablesQuoted(t); });
}

TEST_F(Expand, AWholeReferenceObeysTheResultCap) {
    const std::size_t cap = std::size_t{1} << 22;
    Variables().SetItem(L"FITS", std::wstring(cap, L'a'));
    Variables().SetItem(L"BIG", std::wstring(cap + 1, L'a'));
    EXPECT_EQ(ExpandVariables(L"$FITS$").size(), cap);
    EXPECT_EQ(ExpandVariables(L"$BIG$"), L"$BIG$");
    EXPECT_EQ(ExpandVariablesQuoted(L"$FITS$"), L"$FITS$") << "the quotes make it longer than the cap";
}

TEST_F(Expand, ExponentialValuesAreCapped) {
    // L0 = $L1$$L1$, L1 = $L2$$L2$, ...: 2^30 copies of the leaf without a cap.
    const int depth = 30;
    for (const std::wstring leaf : {L"0123456789abcdef", L""}) {
        ClearVariables();
        for (int i = 0; i < depth; ++i) {
            const std::wstring next = L"$L" + std::to_wstring(i + 1) + L"$";
            Variables().SetItem(L"L" + std::to_wstring(i), next + next);
        }
        Variables().SetItem(L"L" + std::to_wstring(depth), leaf);
        const auto start = std::chrono::steady_clock::now();
        const std::wstring out = ExpandVariables(L"$L0$");
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LE(out.size(), (std::size_t{1} << 22) + 64) << "leaf " << Show(leaf);
        // The references past the cap stay as written.
        EXPECT_NE(out.find(L"$L"), std::wstring::npos) << "leaf " << Show(leaf);
        if (!leaf.empty()) {
            EXPECT_EQ(out.substr(0, 32), leaf + leaf);
        }
        std::printf("exponential value, leaf of %zu: %zu code units in %.2f s\n", leaf.size(), out.size(), seconds);
    }
}

}  // namespace
}  // namespace velmora
