#include "vars/eval.hpp"

#include "core/text.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

namespace velmora {
namespace {

std::atomic<ConditionTranslator> g_translator{nullptr};

// Ordinal order of the texts' UTF-16 code units. On Windows that is the
// order of wchar_t; where wchar_t holds whole code points, characters above
// U+FFFF sort by their surrogates, that is between U+D7FF and U+E000.
std::uint32_t Utf16Rank(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    return (u >= 0xE000 && u <= 0xFFFF) ? u + 0x110000 : u;
}

bool GreaterOrdinal(std::wstring_view a, std::wstring_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return Utf16Rank(a[i]) > Utf16Rank(b[i]);
    }
    return a.size() > b.size();
}

// "Occurs in": an empty value is never found, as the system's substring
// search reports no position for an empty text.
bool Occurs(std::wstring_view needle, std::wstring_view haystack) {
    return !needle.empty() && haystack.find(needle) != std::wstring_view::npos;
}

// A dotted version of up to four numbers. Every part followed by a dot must
// be a number; the last one counts as 0 when it is not, and missing parts
// are 0. A side whose dotted part is not a number has no version, and the
// test is then false: such a text cannot be "greater" in any meaningful way,
// and the condition must still have an answer.
std::optional<std::array<std::int32_t, 4>> ReadVersion(std::wstring_view t) {
    std::array<std::int32_t, 4> version{};
    for (std::int32_t& part : version) {
        const std::size_t dot = t.find(L'.');
        if (dot == std::wstring_view::npos) {
            part = text::ParseScriptInt32(t).value_or(0);
            t = {};
            continue;
        }
        const std::optional<std::int32_t> n = text::ParseScriptInt32(t.substr(0, dot));
        if (!n) return std::nullopt;
        part = *n;
        t.remove_prefix(dot + 1);
    }
    return version;
}

// `knownRight`, when given, is text::ParseScriptInt32(right) worked out by the caller.
bool Compare(std::wstring_view code, std::wstring_view left, std::wstring_view right,
             const std::optional<std::int32_t>* knownRight = nullptr) {
    if (code.size() != 1 || code[0] < L'0' || code[0] > L'6') return false;
    const wchar_t c = code[0];
    if (c == L'6') {
        const auto l = ReadVersion(left);
        const auto r = ReadVersion(right);
        return l && r && *l > *r;
    }
    const std::optional<std::int32_t> l = text::ParseScriptInt32(left);
    const std::optional<std::int32_t> r = knownRight != nullptr ? *knownRight : text::ParseScriptInt32(right);
    if (l && r) return c == L'2' ? *l > *r : *l == *r;
    switch (c) {
        case L'0': return left == right;
        case L'1': return Occurs(right, left);
        case L'2': return GreaterOrdinal(left, right);
        case L'3': return Occurs(text::Upper(right), text::Upper(left));
        case L'4': return text::UpperAscii(left) == text::UpperAscii(right);
        default: return false;
    }
}

// Free expressions, read left to right:
//   expression := term { blanks connective term }   (ends at the end or before ")")
//   term       := blanks ( "(" expression blanks ")" | comparison )
//   comparison := blanks operand blanks operator blanks operand blanks
// Connectives and operators are the characters up to the next double quote
// or blank. Connectives combine strictly left to right.
//
// The parser keeps one frame per open parenthesis on a heap-allocated stack
// instead of recursing, so an expression nested thousands of levels deep
// costs memory in proportion to its length, never the thread's stack.
class ExpressionParser {
public:
    explicit ExpressionParser(std::wstring_view text) : s_(text) {}

    std::optional<bool> Run() {
        enum class Connective { None, And, Or };
        struct Frame {
            bool value = false;
            bool hasValue = false;
            Connective pending = Connective::None;
        };
        std::vector<Frame> open;
        for (;;) {
            SkipBlanks();
            if (pos_ < s_.size() && s_[pos_] == L'(') {
                ++pos_;
                open.emplace_back();
                continue;
            }
            if (open.empty()) return std::nullopt;
            std::optional<bool> term = Comparison();
            if (!term) return std::nullopt;
            bool v = *term;
            // Fold the term into its expression; close every parenthesis
            // that follows, each closed group being a term of the one around it.
            for (;;) {
                Frame& f = open.back();
                if (!f.hasValue) {
                    f.value = v;
                } else {
                    f.value = f.pending == Connective::And ? (f.value && v) : (f.value || v);
                }
                f.hasValue = true;
                SkipBlanks();
                if (pos_ == s_.size()) return std::nullopt;  // a parenthesis left open
                if (s_[pos_] == L')') {
                    ++pos_;
                    v = f.value;
                    open.pop_back();
                    if (open.empty()) {
                        if (pos_ != s_.size()) return std::nullopt;  // text after the outer group
                        return v;
                    }
                    continue;
                }
                const std::wstring_view word = Word();
                if (word == L"and") {
                    f.pending = Connective::And;
                } else if (word == L"or") {
                    f.pending = Connective::Or;
                } else {
                    return std::nullopt;
                }
                break;
            }
        }
    }

private:
    void SkipBlanks() {
        while (pos_ < s_.size() && s_[pos_] == L' ') ++pos_;
    }

    std::wstring_view Word() {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] != L'"' && s_[pos_] != L' ') ++pos_;
        return s_.substr(start, pos_ - start);
    }

    // A double quote, any characters, a double quote; two double quotes in a
    // row inside stand for one.
    std::optional<std::wstring> Operand() {
        if (pos_ >= s_.size() || s_[pos_] != L'"') return std::nullopt;
        ++pos_;
        std::wstring value;
        while (pos_ < s_.size()) {
            const wchar_t c = s_[pos_++];
            if (c != L'"') {
                value.push_back(c);
            } else if (pos_ < s_.size() && s_[pos_] == L'"') {
                value.push_back(L'"');
                ++pos_;
            } else {
                return value;
            }
        }
        return std::nullopt;  // unterminated
    }

    std::optional<bool> Comparison() {
        SkipBlanks();
        std::optional<std::wstring> left = Operand();
        if (!left) return std::nullopt;
        SkipBlanks();
        const std::wstring_view op = Word();
        SkipBlanks();
        std::optional<std::wstring> right = Operand();
        if (!right) return std::nullopt;
        SkipBlanks();

        // Both integers (strict decimal form) compare as 32-bit numbers. A
        // number of that form beyond the 32-bit range is compared as text,
        // the same switch the structured condition makes.
        int order;
        const std::optional<std::int32_t> l = text::ParseInt32(*left);
        const std::optional<std::int32_t> r = text::ParseInt32(*right);
        if (l && r) {
            order = *l < *r ? -1 : (*l > *r ? 1 : 0);
        } else {
            order = GreaterOrdinal(*left, *right) ? 1 : (*left == *right ? 0 : -1);
        }
        if (op == L"=") return order == 0;
        if (op == L"<>") return order != 0;
        if (op == L"<=") return order <= 0;
        if (op == L"<") return order < 0;
        if (op == L">=") return order >= 0;
        if (op == L">") return order > 0;
        return std::nullopt;
    }

    std::wstring_view s_;
    std::size_t pos_ = 0;
};

constexpr std::wstring_view kEvaluateExpressionOrigin = L"Evaluate Expression Action";

}  // namespace

void SetConditionTranslator(ConditionTranslator translator) { g_translator.store(translator); }

// A text after substitution: the text itself when it holds no dollar sign
// (substitution would give it back unchanged), else its substitution, kept
// in `storage`.
std::wstring_view Substituted(std::wstring_view text, std::wstring& storage) {
    if (text.find(L'$') == std::wstring_view::npos) return text;
    storage = ExpandVariables(std::wstring(text));
    return storage;
}

bool EvaluateCondition(const ConditionLines& lines) {
    // Conditions run before most commands of a loop: the lines are used in
    // place, and only translations, values and substitutions are copied.
    std::wstring_view variable = lines.variable;
    std::wstring_view value = lines.value;
    std::wstring translatedVariable, translatedValue;
    if (const ConditionTranslator translate = g_translator.load()) {
        translatedVariable = translate(variable);
        translatedValue = translate(value);
        variable = translatedVariable;
        value = translatedValue;
    }
    bool test;
    if (lines.code == L"5") {
        // The name exactly as written: no dollar stripping, no substitution.
        test = VariableExists(variable);
    } else {
        const std::wstring left = ExpandVariables(GetVariable(VariableNameView(variable)));
        std::wstring right;
        test = Compare(lines.code, left, Substituted(value, right));
    }
    return TextToBool(lines.negate) ? !test : test;
}

PreparedCondition::PreparedCondition(const ConditionLines& lines) : lines_(lines) {
    existence_ = lines.code == L"5";
    name_ = existence_ ? lines.variable : VariableNameView(lines.variable);
    nameHash_ = TVariableManager::HashOf(name_);
    valueConstant_ = lines.value.find(L'$') == std::wstring_view::npos;
    if (valueConstant_) {
        const std::optional<std::int32_t> n = text::ParseScriptInt32(lines.value);
        valueIsNumber_ = n.has_value();
        valueNumber_ = n.value_or(0);
    }
    negate_ = TextToBool(lines.negate);
}

bool PreparedCondition::Evaluate() const {
    // Translations replace the lines themselves: nothing worked out from
    // them holds while a translator is installed.
    if (g_translator.load() != nullptr) return EvaluateCondition(lines_);
    const TVariableManager& store = Variables();
    bool test;
    if (existence_) {
        test = store.Exists(name_, nameHash_);
    } else {
        std::wstring left;
        {
            // A value without a dollar sign is its own substitution, and
            // against a value line without one it is compared where it is
            // stored: the condition of a loop costs one lookup and no copy.
            const TVariableManager::Reader held(store);
            const std::wstring* value = held.Find(name_, nameHash_);
            const std::wstring_view stored = value != nullptr ? std::wstring_view(*value) : std::wstring_view();
            const bool plain = stored.find(L'$') == std::wstring_view::npos;
            if (plain && valueConstant_) {
                const std::optional<std::int32_t> right =
                    valueIsNumber_ ? std::optional<std::int32_t>(valueNumber_) : std::nullopt;
                test = Compare(lines_.code, stored, lines_.value, &right);
                return negate_ ? !test : test;
            }
            left.assign(stored);
        }
        // Substitution takes the lock itself, for each name it looks up.
        left = ExpandVariables(std::move(left));
        std::wstring right;
        test = Compare(lines_.code, left, Substituted(lines_.value, right));
    }
    return negate_ ? !test : test;
}

std::wstring EvaluateExpression(std::wstring_view expression) {
    std::wstring grouped;
    grouped.reserve(expression.size() + 2);
    grouped.push_back(L'(');
    grouped.append(expression);
    grouped.push_back(L')');
    const std::optional<bool> result = ExpressionParser(grouped).Run();
    if (!result) return L"ERROR";
    return BoolToText(*result);
}

bool CheckExpressionSyntax(std::wstring_view expression) {
    std::wstring quoted(expression);
    for (wchar_t& c : quoted) {
        if (c == L'$') c = L'"';
    }
    return EvaluateExpression(quoted) != L"ERROR";
}

std::wstring RunEvaluateExpression(std::wstring_view expression, std::wstring_view resultVariable) {
    if (!VariableExists(resultVariable)) SetVariable(text::Upper(resultVariable), L"", kEvaluateExpressionOrigin);
    const std::wstring result = EvaluateExpression(ExpandVariablesQuoted(std::wstring(expression)));
    AssignVariable(resultVariable, result, kEvaluateExpressionOrigin);
    return result;
}

}  // namespace velmora
