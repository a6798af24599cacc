// The Mathematics command's operations: sixteen numbered operations on
// 64-bit integers, among them a small pseudo-random generator whose state is
// process-wide. Every failure (an operand or code that is not an integer,
// division by zero, an unknown code) gives the empty text.
#pragma once

#include "core/text.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The result of operation `code` (read as written) on the parameter lines
// `a` and `b` (substituted here where the operation reads them).
std::wstring ComputeMathematics(std::wstring_view a, std::wstring_view b, std::wstring_view code);

// The command: defines the result variable upper-cased and empty when it
// does not exist, computes, and assigns the result when `resultVariable` is
// not empty. Returns the result.
std::wstring RunMathematics(std::wstring_view a, std::wstring_view b, std::wstring_view code,
                            std::wstring_view resultVariable);

// The command's four lines analysed once, for a Mathematics command run
// again and again (in a loop): the code, operand lines without a dollar
// sign as numbers, the result variable's hash and upper-cased name. Run
// does exactly what RunMathematics does with the same lines. The lines are
// borrowed: they must outlive the object.
class PreparedMathematics {
public:
    PreparedMathematics(std::wstring_view a, std::wstring_view b, std::wstring_view code,
                        std::wstring_view resultVariable);
    std::wstring Run() const;
    // The same, with the result written into `buffer` instead of a text of
    // its own (the command in a loop).
    std::wstring_view Run(text::DecimalBuffer& buffer) const;

private:
    struct Operand {
        PreparedLine line;
        bool constant = false;              // no dollar sign: read as written
        std::optional<std::int64_t> value;  // when constant
        bool readsResult = false;           // $NAME$ of the result variable
        // `resultValue`: the result variable's stored value, when defined.
        std::optional<std::int64_t> Read(const TVariableManager::Reader& held, const std::wstring* resultValue) const;
    };
    Operand a_, b_;
    std::optional<std::int64_t> code_;
    std::wstring_view result_;
    std::size_t resultHash_ = 0;
    std::wstring resultUpper_;
};

// Puts multiplier, increment and seed back to 0, as at process start (tests).
void ResetMathematicsGenerator();

}  // namespace velmora
