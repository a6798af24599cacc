#include "vars/expand.hpp"

#include "core/text.hpp"
#include "vars/variables.hpp"

#include <vector>

namespace velmora {
namespace {

// Bounds of one substitution.
//
// A value is scanned again where it is inserted, so a value that refers to
// its own variable (X = "a$X$"), directly or through others (X = "$Y$",
// Y = "$X$"), would be inserted without end. The rule: a reference whose
// name is already being expanded in the current chain of insertions (the
// insertions that contain the whole reference) is left exactly as written,
// like a reference to an undefined variable, and the scan goes on at its
// closing dollar sign. So X = "a$X$" gives "a$X$", and X = "$Y$", Y = "$X$"
// gives "$X$". Every insertion consumes at least the two dollar signs of its
// reference, and nesting is bounded by the number of distinct names, so this
// alone ends every substitution.
//
// Values without a cycle can still grow exponentially (A = "$B$$B$",
// B = "$C$$C$", ...). Hence three caps per substituted text: an insertion
// that would make the result longer than kMaxResultLength code units (when
// it grows the text at all), the insertion after kMaxReplacements
// replacements, and an insertion that would bring the inserted code units
// past kMaxInsertedUnits are refused; such a reference too is left as
// written. Real script texts stay far below all three.
constexpr std::size_t kMaxResultLength = std::size_t{1} << 22;
constexpr std::size_t kMaxReplacements = std::size_t{1} << 18;
constexpr std::size_t kMaxInsertedUnits = std::size_t{1} << 24;

// The scan, as it walks the text: whatever lies before the scan position is
// final; what follows it is the rest of the innermost insertion, then the
// rest of the insertion around it, and so on out to the rest of the text
// itself. Inserting a value pushes a new innermost insertion, which is
// scanned next, so references inside values are substituted, and a dollar
// sign at the end of a value can pair with one that follows the insertion.
class Expander {
public:
    Expander(const TVariableManager& store, std::wstring& text, bool quoted)
        : store_(store), input_(text), root_(text), remaining_(text.size()), quoted_(quoted) {}

    std::wstring Run() {
        for (;;) {
            // The next dollar sign, leaving the insertions scanned to their end.
            std::size_t k;
            for (;;) {
                k = stack_.size();
                const std::wstring_view text = TextOf(k);
                std::size_t& pos = PosOf(k);
                const std::size_t dollar = text.find(L'$', pos);
                const std::size_t stop = dollar == std::wstring_view::npos ? text.size() : dollar;
                Consume(text.substr(pos, stop - pos));
                pos = stop;
                if (dollar != std::wstring_view::npos) break;
                if (k == 0) return Finish();
                stack_.pop_back();
            }
            const std::size_t open = PosOf(k);

            // The closing dollar sign, possibly in an enclosing text (level j).
            std::size_t j = k;
            std::size_t close = std::wstring_view::npos;
            for (;;) {
                close = TextOf(j).find(L'$', j == k ? open + 1 : PosOf(j));
                if (close != std::wstring_view::npos || j == 0) break;
                --j;
            }
            if (close == std::wstring_view::npos) {
                // A lone dollar sign: its name is empty, which is never defined.
                Consume(L"$");
                ++PosOf(k);
                continue;
            }

            std::wstring joined;
            std::wstring_view name;
            if (j == k) {
                name = TextOf(k).substr(open + 1, close - open - 1);
            } else {
                joined.assign(TextOf(k).substr(open + 1));
                for (std::size_t i = k - 1; i > j; --i) joined.append(TextOf(i).substr(PosOf(i)));
                joined.append(TextOf(j).substr(PosOf(j), close - PosOf(j)));
                name = joined;
            }
            if (!TryInsert(name, j, close)) LeaveAsWritten(k, j, close);
        }
    }

private:
    struct Insertion {
        std::wstring buffer;     // the variable's name, then the inserted text
        std::size_t nameLength;
        std::size_t pos;         // scan position within the inserted text
        std::wstring_view Name() const { return std::wstring_view(buffer).substr(0, nameLength); }
        std::wstring_view Text() const { return std::wstring_view(buffer).substr(nameLength); }
    };

    // Level 0 is the text itself, level i the i-th insertion of the chain.
    std::wstring_view TextOf(std::size_t level) const { return level == 0 ? root_ : stack_[level - 1].Text(); }
    std::size_t& PosOf(std::size_t level) { return level == 0 ? rootPos_ : stack_[level - 1].pos; }

    // Moves a piece of the rest into the result.
    void Consume(std::wstring_view piece) {
        emitted_ += piece.size();
        remaining_ -= piece.size();
        // Until the first replacement the result is a prefix of the text itself.
        if (replaced_) out_.append(piece);
    }

    bool InChain(std::wstring_view name, std::size_t level) const {
        for (std::size_t i = 0; i < level; ++i) {
            if (text::SameText(stack_[i].Name(), name)) return true;
        }
        return false;
    }

    // The reference that ends at the dollar sign at `close` of level j,
    // replaced by the variable's value when that is allowed.
    bool TryInsert(std::wstring_view name, std::size_t j, std::size_t close) {
        if (name.empty() || InChain(name, j) || replacements_ >= kMaxReplacements) return false;
        std::wstring buffer(name);
        if (quoted_) buffer.push_back(L'"');
        if (!store_.AppendValue(name, buffer)) return false;
        if (quoted_) buffer.push_back(L'"');
        const std::size_t nameLength = name.size();
        const std::size_t referenceLength = nameLength + 2;
        const std::size_t valueLength = buffer.size() - nameLength;
        if (valueLength > referenceLength &&
            emitted_ + remaining_ - referenceLength + valueLength > kMaxResultLength) {
            return false;
        }
        if (inserted_ + valueLength > kMaxInsertedUnits) return false;

        if (!replaced_) {
            // No insertion yet, so the reference lies in the text itself.
            out_.reserve(root_.size() + valueLength);
            out_.assign(root_.substr(0, emitted_));
            replaced_ = true;
        }
        // The insertions the reference ran out of are finished: they are
        // not part of the chain of the new one.
        stack_.resize(j);
        PosOf(j) = close + 1;
        remaining_ = remaining_ - referenceLength + valueLength;
        inserted_ += valueLength;
        ++replacements_;
        stack_.push_back(Insertion{std::move(buffer), nameLength, 0});
        return true;
    }

    // The dollar sign and the name go to the result; the closing dollar sign
    // is scanned next and may open another reference.
    void LeaveAsWritten(std::size_t k, std::size_t j, std::size_t close) {
        for (std::size_t i = k; i > j; --i) {
            const std::wstring_view text = TextOf(i);
            Consume(text.substr(PosOf(i)));
            PosOf(i) = text.size();
        }
        Consume(TextOf(j).substr(PosOf(j), close - PosOf(j)));
        PosOf(j) = close;
    }

    std::wstring Finish() { return replaced_ ? std::move(out_) : std::move(input_); }

    const TVariableManager& store_;
    std::wstring& input_;
    const std::wstring_view root_;
    std::size_t rootPos_ = 0;
    std::vector<Insertion> stack_;
    std::wstring out_;
    bool replaced_ = false;
    std::size_t emitted_ = 0;    // code units of the result so far
    std::size_t remaining_;      // code units still to scan, over all levels
    std::size_t replacements_ = 0;
    std::size_t inserted_ = 0;
    const bool quoted_;
};

}  // namespace

// A text that is one whole reference, $NAME$ (the commonest parameter after
// plain text), to a value without a dollar sign: the scan would insert the
// value, find nothing more in it and stop, so the result is the value
// itself (Value, in `value`), or the text as written when the name is
// undefined or the value is refused by the caps (AsWritten). A value with a
// dollar sign takes the scan (Scan).
template <bool kQuoted>
TVariableManager::OneReference TVariableManager::ExpandOneReference(std::wstring_view text, std::size_t nameHash,
                                                                    std::wstring& value) const {
    const std::wstring_view name = text.substr(1, text.size() - 2);
    value.clear();
    if (kQuoted) value.push_back(L'"');
    if (!AppendValue(name, nameHash, value)) return OneReference::AsWritten;
    if (value.find(L'$') != std::wstring::npos) return OneReference::Scan;
    if (kQuoted) value.push_back(L'"');
    if (value.size() > text.size() && value.size() > kMaxResultLength) return OneReference::AsWritten;
    if (value.size() > kMaxInsertedUnits) return OneReference::AsWritten;
    return OneReference::Value;
}

template <bool kQuoted>
std::wstring TVariableManager::ExpandImpl(std::wstring text) const {
    const std::size_t first = text.find(L'$');
    if (first == std::wstring::npos) return text;
    if (first == 0 && text.size() > 2 && text.find(L'$', 1) == text.size() - 1) {
        const std::wstring_view name = std::wstring_view(text).substr(1, text.size() - 2);
        std::wstring value;
        switch (ExpandOneReference<kQuoted>(text, HashOf(name), value)) {
            case OneReference::Value: return value;
            case OneReference::AsWritten: return text;
            case OneReference::Scan: break;
        }
    }
    return Expander(*this, text, kQuoted).Run();
}

std::wstring TVariableManager::ExpandReference(std::wstring_view text, std::size_t nameHash) const {
    std::wstring value;
    switch (ExpandOneReference<false>(text, nameHash, value)) {
        case OneReference::Value: return value;
        case OneReference::AsWritten: return std::wstring(text);
        case OneReference::Scan: break;
    }
    std::wstring copy(text);
    return Expander(*this, copy, false).Run();
}

PreparedLine::PreparedLine(std::wstring_view line) : line_(line) {
    const std::size_t first = line.find(L'$');
    hasDollar_ = first != std::wstring_view::npos;
    oneReference_ = first == 0 && line.size() > 2 && line.find(L'$', 1) == line.size() - 1;
    if (oneReference_) nameHash_ = TVariableManager::HashOf(line.substr(1, line.size() - 2));
}

std::wstring PreparedLine::Expand() const {
    if (!hasDollar_) return std::wstring(line_);
    if (oneReference_) return Variables().ExpandReference(line_, nameHash_);
    return ExpandVariables(std::wstring(line_));
}

std::wstring TVariableManager::Expand(std::wstring text) const { return ExpandImpl<false>(std::move(text)); }

std::wstring TVariableManager::ExpandQuoted(std::wstring text) const { return ExpandImpl<true>(std::move(text)); }

std::wstring ExpandVariables(std::wstring text) { return Variables().Expand(std::move(text)); }

std::wstring ExpandVariablesQuoted(std::wstring text) { return Variables().ExpandQuoted(std::move(text)); }

std::wstring ExpandPath(std::wstring text) {
    std::wstring r = ExpandVariables(std::move(text));
    if (r.find(L"\\\\") == std::wstring::npos) return r;
    const bool network = r.size() >= 2 && r[0] == L'\\' && r[1] == L'\\';
    // Pairs are collapsed left to right without overlap: three become two.
    std::size_t w = 0;
    for (std::size_t i = 0; i < r.size();) {
        r[w++] = r[i];
        i += (r[i] == L'\\' && i + 1 < r.size() && r[i + 1] == L'\\') ? 2 : 1;
    }
    r.resize(w);
    if (network) r.insert(r.begin(), L'\\');
    return r;
}

std::wstring ReferencedName(std::wstring_view text) {
    if (text.size() < 2 || text.front() != L'$') return {};
    if (text.find(L'$', 1) != text.size() - 1) return {};
    return std::wstring(text.substr(1, text.size() - 2));
}

std::wstring_view VariableNameView(std::wstring_view parameter) {
    // The exact form $NAME$ (ReferencedName), else the parameter itself.
    if (parameter.size() > 2 && parameter.front() == L'$' && parameter.find(L'$', 1) == parameter.size() - 1) {
        return parameter.substr(1, parameter.size() - 2);
    }
    return parameter;
}

std::wstring VariableNameOf(std::wstring_view parameter) { return std::wstring(VariableNameView(parameter)); }

namespace {

std::wstring Resolve(std::wstring_view parameter, std::wstring_view undefined) {
    std::optional<std::wstring> value = Variables().Find(VariableNameOf(parameter));
    if (!value) return std::wstring(undefined);
    return ExpandVariables(std::move(*value));
}

}  // namespace

std::wstring ResolveReference(std::wstring_view parameter) { return Resolve(parameter, kMarkerUndefined); }

std::wstring ResolveReferenceOrEmpty(std::wstring_view parameter) { return Resolve(parameter, {}); }

SetVariableTarget SplitSetVariableTarget(std::wstring_view line) {
    SetVariableTarget target;
    const std::size_t marker = line.find(kMarkerSetVariableFlag);
    std::wstring_view namePart = line;
    if (marker != std::wstring_view::npos) {
        namePart = line.substr(0, marker);
        target.persist = line.substr(marker + kMarkerSetVariableFlag.size()) == L"TRUE";
    }
    target.name = VariableNameOf(namePart);
    return target;
}

std::wstring EncodeNewlines(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            out += kMarkerNewline;
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::wstring DecodeNewlines(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    const std::size_t n = kMarkerNewline.size();
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == L'$' && text.size() - i >= n && text::SameText(text.substr(i, n), kMarkerNewline)) {
            out += L"\r\n";
            i += n;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

}  // namespace velmora
