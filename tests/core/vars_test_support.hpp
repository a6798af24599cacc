// Shared by the variable and evaluator tests: a fixture that starts every
// test with an empty store and a fresh session, and a printable form of a
// text for failure messages.
#pragma once

#include "core/text.hpp"
#include "startup/session.hpp"
#include "vars/variables.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::testing {

// UTF-8 with control characters, backslashes and double quotes escaped, so
// that a failing case shows exactly which input it was.
inline std::string Show(std::wstring_view text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        const auto u = static_cast<std::uint32_t>(c);
        if (c == L'\\' || c == L'"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (u < 0x20 || u == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[(u >> 4) & 0xF];
            out += kHex[u & 0xF];
        } else {
            out += text::ToUtf8(std::wstring_view(&c, 1));
        }
    }
    return out + "\"";
}

using VariableList = std::vector<std::pair<std::wstring, std::wstring>>;

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearVariables();
        ResetSession();
    }
    void TearDown() override {
        ClearVariables();
        ResetSession();
    }
    // Stores values as they are, without the rules of SetVariable.
    static void Define(const VariableList& vars) {
        for (const auto& [name, value] : vars) Variables().SetItem(name, value);
    }
};

}  // namespace velmora::testing
