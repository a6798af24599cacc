// Fuzz target for the script language's texts: substitution, the free
// expression grammar, structured conditions and Mathematics.
//
// The input is read as UTF-8 and split into lines:
//   line 0  an expression and a text to substitute (also the condition's
//           variable line)
//   line 1  value of variable A, condition value, Mathematics operand A
//   line 2  value of variable B, Mathematics operand B
//   line 3  value of variable C, Mathematics operation code
//   line 4  condition code and negation flag (first character, rest)
// The variables may refer to each other in any way, cycles included:
// substitution must always end. Besides "no crash, no hang", it checks the
// properties that must hold for any input.
#include "core/text.hpp"
#include "vars/eval.hpp"
#include "vars/expand.hpp"
#include "vars/mathematics.hpp"
#include "vars/variables.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines(5);
    std::size_t line = 0;
    for (wchar_t c : text) {
        if (c == L'\n' && line + 1 < lines.size()) {
            ++line;
        } else {
            lines[line].push_back(c);
        }
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    const std::wstring input = text::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<std::wstring> lines = Lines(input);

    ClearVariables();
    Variables().SetItem(L"A", lines[1]);
    Variables().SetItem(L"B", lines[2]);
    Variables().SetItem(L"C", lines[3]);

    const std::wstring result = EvaluateExpression(lines[0]);
    Require(result == L"TRUE" || result == L"FALSE" || result == L"ERROR");
    (void)CheckExpressionSyntax(lines[0]);

    const std::wstring expanded = ExpandVariables(lines[0]);
    if (lines[0].find(L'$') == std::wstring::npos) Require(expanded == lines[0]);
    (void)ExpandVariablesQuoted(lines[0]);
    (void)ExpandPath(lines[0]);
    (void)RunEvaluateExpression(lines[0], L"R");
    (void)ResolveReference(lines[0]);
    (void)SplitSetVariableTarget(lines[0]);

    const std::wstring& flags = lines[4];
    const std::wstring code = flags.substr(0, 1);
    const std::wstring negate = flags.size() > 1 ? flags.substr(1) : std::wstring();
    const bool test = EvaluateCondition({lines[0], code, lines[1], negate});
    Require(EvaluateCondition({lines[0], code, lines[1], negate}) == test);

    (void)RunMathematics(lines[1], lines[2], lines[3], L"M");

    // The comma form reads back what it wrote, whatever the items are.
    Require(FromCommaText(ToCommaText(lines)) == lines);
    const std::wstring snapshot = VariablesToCommaText();
    ClearVariables();
    VariablesFromCommaText(snapshot);
    Require(VariablesToCommaText().size() == snapshot.size());
    (void)DecodeNewlines(EncodeNewlines(lines[0]));
    return 0;
}
