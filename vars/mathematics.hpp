// The Mathematics command's operations: sixteen numbered operations on
// 64-bit integers, among them a small pseudo-random generator whose state is
// process-wide. Every failure (an operand or code that is not an integer,
// division by zero, an unknown code) gives the empty text.
#pragma once

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

// Puts multiplier, increment and seed back to 0, as at process start (tests).
void ResetMathematicsGenerator();

}  // namespace velmora
