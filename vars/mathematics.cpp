#include "vars/mathematics.hpp"

#include "core/text.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <cstdint>
#include <mutex>
#include <optional>
#include <type_traits>

namespace velmora {
namespace {

constexpr std::wstring_view kOrigin = L"Mathematics Action";

// The generator of operations 13 to 15: three 32-bit signed integers for the
// whole process. Commands run on one thread at a time, but a plug-in thread
// may run one too, so the state has its own small lock.
struct Generator {
    std::mutex lock;
    std::int32_t multiplier = 0;
    std::int32_t increment = 0;
    std::int32_t seed = 0;
};

Generator& TheGenerator() {
    static Generator generator;
    return generator;
}

// Arithmetic that C++ leaves undefined gets a defined result here. Sums,
// differences and products wrap in two's complement, as the 32-bit
// generator does and as 64-bit hardware arithmetic does. INT64_MIN / -1
// therefore gives INT64_MIN and its remainder 0. Shifting by a negative
// count or by 64 or more shifts every bit out and gives 0 (for both
// directions: zeros come in from the right or the left).
std::int64_t Wrap(std::uint64_t bits) { return static_cast<std::int64_t>(bits); }
std::uint64_t Bits(std::int64_t value) { return static_cast<std::uint64_t>(value); }
std::int32_t Low32(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(Bits(value))); }

std::optional<std::int64_t> Divide(std::int64_t a, std::int64_t b) {
    if (b == 0) return std::nullopt;
    if (b == -1) return Wrap(0 - Bits(a));
    return a / b;
}

std::optional<std::int64_t> Remainder(std::int64_t a, std::int64_t b) {
    if (b == 0) return std::nullopt;
    if (b == -1) return 0;
    return a % b;
}

std::int64_t ShiftLeft(std::int64_t a, std::int64_t count) {
    if (count < 0 || count >= 64) return 0;
    return Wrap(Bits(a) << count);
}

std::int64_t ShiftRight(std::int64_t a, std::int64_t count) {
    if (count < 0 || count >= 64) return 0;
    return Wrap(Bits(a) >> count);
}

std::optional<std::int64_t> Read(std::wstring_view line) {
    // A line without a dollar sign is read as written: substitution would
    // give it back unchanged.
    if (line.find(L'$') == std::wstring_view::npos) return text::ParseScriptInt64(line);
    return text::ParseScriptInt64(ExpandVariables(std::wstring(line)));
}

// The code of a character as a UTF-16 code unit: above U+FFFF, its first
// (high) surrogate, as a UTF-16 text holds it.
std::int64_t CodeUnit(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    return u > 0xFFFF ? 0xD800 + ((u - 0x10000) >> 10) : u;
}

// The operation `code` on operands read by `readA` and `readB` (each called
// only where the operation reads that operand); operation 11 takes the
// first character of `expandA()`. The result (empty on failure) is written
// into `buffer`: a decimal number or one character always fits.
template <typename ReadA, typename ReadB, typename ExpandA>
std::wstring_view Compute(std::optional<std::int64_t> code, ReadA readA, ReadB readB, ExpandA expandA,
                          text::DecimalBuffer& buffer) {
    if (!code || *code < 0 || *code > 15) return {};

    if (*code == 11) {
        // An empty text has no first character: a failure like the others.
        const std::wstring s = expandA();
        if (s.empty()) return {};
        return text::FormatDecimal(CodeUnit(s[0]), buffer);
    }

    const std::optional<std::int64_t> a = readA();
    if (!a) return {};
    std::int64_t b = 0;
    if (*code <= 9 || *code == 13) {
        const std::optional<std::int64_t> bValue = readB();
        if (!bValue) return {};
        b = *bValue;
    }

    std::optional<std::int64_t> result;
    switch (*code) {
        case 0: result = Wrap(Bits(*a) + Bits(b)); break;
        case 1: result = Wrap(Bits(*a) - Bits(b)); break;
        case 2: result = Wrap(Bits(*a) * Bits(b)); break;
        case 3: result = Divide(*a, b); break;
        case 4: result = Remainder(*a, b); break;
        case 5: result = *a & b; break;
        case 6: result = *a | b; break;
        case 7: result = *a ^ b; break;
        case 8: result = ShiftLeft(*a, b); break;
        case 9: result = ShiftRight(*a, b); break;
        case 10: result = ~*a; break;
        case 12:
            // One UTF-16 code unit; anything outside 0 to 0xFFFF is no character.
            if (*a < 0 || *a > 0xFFFF) return {};
            buffer[0] = static_cast<wchar_t>(*a);
            return std::wstring_view(buffer, 1);
        case 13: {
            Generator& g = TheGenerator();
            std::lock_guard guard(g.lock);
            g.multiplier = Low32(*a);
            g.increment = Low32(b);
            result = Wrap(Bits(*a) + Bits(b));
            break;
        }
        case 14: {
            Generator& g = TheGenerator();
            std::lock_guard guard(g.lock);
            g.seed = Low32(*a);
            result = *a;
            break;
        }
        case 15: {
            Generator& g = TheGenerator();
            std::lock_guard guard(g.lock);
            const auto x = static_cast<std::int32_t>(static_cast<std::uint32_t>(g.multiplier) *
                                                         static_cast<std::uint32_t>(g.seed) +
                                                     static_cast<std::uint32_t>(g.increment));
            g.seed = x % 0x7FFF;
            // The seed moves on even when the result fails (A = 0).
            result = Remainder(x, *a);
            break;
        }
        default: break;
    }
    if (!result) return {};
    return text::FormatDecimal(*result, buffer);
}

}  // namespace

std::wstring ComputeMathematics(std::wstring_view aLine, std::wstring_view bLine, std::wstring_view codeLine) {
    text::DecimalBuffer buffer;
    return std::wstring(Compute(
        text::ParseScriptInt64(codeLine), [aLine] { return Read(aLine); }, [bLine] { return Read(bLine); },
        [aLine] { return ExpandVariables(std::wstring(aLine)); }, buffer));
}

std::wstring RunMathematics(std::wstring_view a, std::wstring_view b, std::wstring_view code,
                            std::wstring_view resultVariable) {
    if (!resultVariable.empty() && !VariableExists(resultVariable)) {
        SetVariable(text::Upper(resultVariable), L"", kOrigin);
    }
    std::wstring result = ComputeMathematics(a, b, code);
    if (!resultVariable.empty()) AssignVariable(resultVariable, result, kOrigin);
    return result;
}

PreparedMathematics::PreparedMathematics(std::wstring_view a, std::wstring_view b, std::wstring_view code,
                                         std::wstring_view resultVariable)
    : code_(text::ParseScriptInt64(code)), result_(resultVariable) {
    for (auto [operand, line] : {std::pair{&a_, a}, std::pair{&b_, b}}) {
        operand->line = PreparedLine(line);
        operand->constant = !operand->line.HasDollar();
        if (operand->constant) operand->value = text::ParseScriptInt64(line);
    }
    resultHash_ = TVariableManager::HashOf(result_);
    resultUpper_ = text::Upper(result_);
    for (Operand* operand : {&a_, &b_}) {
        const PreparedLine& line = operand->line;
        operand->readsResult = !result_.empty() && line.IsOneReference() && line.NameHash() == resultHash_ &&
                               text::SameText(line.ReferencedName(), result_);
    }
}

std::optional<std::int64_t> PreparedMathematics::Operand::Read(const TVariableManager::Reader& held,
                                                                const std::wstring* resultValue) const {
    if (constant) return value;
    if (line.IsOneReference()) {
        // A short value without a dollar sign is its own substitution (and
        // far below substitution's limits): it is read where it is stored.
        constexpr std::size_t kReadInPlace = 64;
        const std::wstring* stored = readsResult ? resultValue : held.Find(line.ReferencedName(), line.NameHash());
        if (stored != nullptr && stored->size() <= kReadInPlace && stored->find(L'$') == std::wstring::npos) {
            return text::ParseScriptInt64(*stored);
        }
    }
    return text::ParseScriptInt64(line.Expand());
}

std::wstring_view PreparedMathematics::Run(text::DecimalBuffer& buffer) const {
    // The steps of RunMathematics under one hold of the store: the result
    // variable is defined before the operands are read, the operands are
    // read where they are stored, and the result is stored before the store
    // is let go. The result variable is looked up once, also for an operand
    // that names it (a counter). Nothing below adds or removes a variable,
    // so its stored value stays where it was found. (Substitution that
    // cannot be done in place takes the recursive lock again.)
    TVariableManager::Writer held(Variables());
    std::wstring* stored = nullptr;
    if (!result_.empty()) {
        stored = held.FindStored(result_, resultHash_);
        if (stored == nullptr) {
            SetVariable(held, resultUpper_, resultHash_, L"", kOrigin);
            stored = held.FindStored(result_, resultHash_);
        }
    }
    const std::wstring_view result = Compute(
        code_, [this, &held, stored] { return a_.Read(held, stored); },
        [this, &held, stored] { return b_.Read(held, stored); }, [this] { return a_.line.Expand(); }, buffer);
    if (stored != nullptr) AssignVariable(held, *stored, result_, resultHash_, result, kOrigin);
    return result;
}

std::wstring PreparedMathematics::Run() const {
    text::DecimalBuffer buffer;
    return std::wstring(Run(buffer));
}

void ResetMathematicsGenerator() {
    Generator& g = TheGenerator();
    std::lock_guard guard(g.lock);
    g.multiplier = g.increment = g.seed = 0;
}

}  // namespace velmora
