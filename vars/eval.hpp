// The two kinds of test in the script language: the structured condition of
// If, Else If, While and Until, and the free expression of Evaluate
// Expression (also checked by the compiler). Neither ever throws to the
// script: a condition on texts always has an answer, and every malformed
// expression gives "ERROR".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The four parameter lines of a structured condition, as written.
struct ConditionLines {
    std::wstring_view variable;  // the name, bare or between dollar signs
    std::wstring_view code;      // "0" to "6"
    std::wstring_view value;     // substituted before the comparison
    std::wstring_view negate;    // "TRUE" negates the outcome
};

// Replaces the variable line and the value line by their translations when
// a translation language is active. Localisation installs it; until then
// (and after resetting it with nullptr) lines are used as written. It may be
// called from any thread that evaluates conditions.
using ConditionTranslator = std::wstring (*)(std::wstring_view line);
void SetConditionTranslator(ConditionTranslator translator);

bool EvaluateCondition(const ConditionLines& lines);

// A condition tested again and again (a loop's While, an If inside a loop),
// with what does not change between tests worked out once: the variable's
// name and hash, the code, the negation, and a value line without a dollar
// sign as text and number. Evaluate gives exactly what EvaluateCondition
// gives for the same lines; while a translator is installed it is that call.
// The lines are borrowed: they must outlive the object.
class PreparedCondition {
public:
    explicit PreparedCondition(const ConditionLines& lines);
    bool Evaluate() const;

private:
    ConditionLines lines_;
    std::wstring_view name_;     // the variable line without its dollar signs
    std::size_t nameHash_ = 0;   // of name_, or of the whole line for code 5
    bool valueConstant_ = false; // the value line has no dollar sign
    bool valueIsNumber_ = false;
    std::int32_t valueNumber_ = 0;
    bool negate_ = false;
    bool existence_ = false;     // code 5: the test is whether the name exists
};

// "TRUE", "FALSE" or "ERROR".
std::wstring EvaluateExpression(std::wstring_view expression);

// The compiler's check: every dollar sign becomes a double quote, so that
// each reference reads as a quoted operand; valid unless that gives "ERROR".
bool CheckExpressionSyntax(std::wstring_view expression);

// The Evaluate Expression command: substitutes the expression with quoted
// values, evaluates it and assigns the result to the variable named by
// `resultVariable` (used as written), defining it upper-cased and empty
// first when it does not exist. Returns the result.
std::wstring RunEvaluateExpression(std::wstring_view expression, std::wstring_view resultVariable);

}  // namespace velmora
