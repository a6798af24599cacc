// Substitution of $NAME$ references in script texts, and the helpers that
// turn a parameter into a variable name.
//
// A reference is a dollar sign, a name (any characters but a dollar sign)
// and a dollar sign. A reference to a defined variable is replaced by its
// value, which is scanned again; anything else stays exactly as written, so
// "$50" and the reserved markers below pass through untouched.
//
// The texts are taken by value: pass an rvalue and a text without a dollar
// sign (or without any defined reference) comes back in the same buffer,
// without allocation or lookup.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Reserved marker texts. They share the dollar syntax but are never defined
// as variables, so substitution leaves them for the code that reads them.
inline constexpr std::wstring_view kMarkerSetVariableFlag = L"$VORP$VORP$";
inline constexpr std::wstring_view kMarkerDollar = L"$DOLLAR$";
inline constexpr std::wstring_view kMarkerWildDollar = L"$WILD_DOLLAR$";
inline constexpr std::wstring_view kMarkerUndefined = L"$VORPNX$";
inline constexpr std::wstring_view kMarkerKeepProgress = L"$VORP$";
inline constexpr std::wstring_view kMarkerIgnore = L"$IGNORE$";
inline constexpr std::wstring_view kMarkerVoid = L"$VORPVOID$";
inline constexpr std::wstring_view kMarkerUac = L"$VORP_UAC$";
inline constexpr std::wstring_view kMarkerNull = L"$NULL$";
inline constexpr std::wstring_view kMarkerQuote = L"$QUOTE$";
inline constexpr std::wstring_view kMarkerSpaceSafe = L"$SPACE_SAFE$";
inline constexpr std::wstring_view kMarkerNewline = L"$NEWLINE$";

// Plain substitution, for text parameters.
std::wstring ExpandVariables(std::wstring text);
// Every substituted value between double quotes, for expressions and
// command lines.
std::wstring ExpandVariablesQuoted(std::wstring text);
// Substitution for file and folder parameters: doubled backslashes become
// single ones (as when $TARGETDIR$\bin meets a TARGETDIR ending in a
// backslash), except the leading pair of a network path.
std::wstring ExpandPath(std::wstring text);

// A parameter line substituted again and again (a command in a loop), with
// what substitution first looks for worked out once: whether the line has a
// dollar sign at all, and for a line that is one reference, $NAME$, the
// name's hash. Expand gives exactly what ExpandVariables gives for the line.
// The line is borrowed: it must outlive the object.
class PreparedLine {
public:
    PreparedLine() = default;
    explicit PreparedLine(std::wstring_view line);

    std::wstring_view Line() const { return line_; }
    bool HasDollar() const { return hasDollar_; }
    // Whether the line is one reference, $NAME$; then its name and the name's hash.
    bool IsOneReference() const { return oneReference_; }
    std::wstring_view ReferencedName() const { return line_.substr(1, line_.size() - 2); }
    std::size_t NameHash() const { return nameHash_; }
    std::wstring Expand() const;

private:
    std::wstring_view line_;
    bool hasDollar_ = false;
    bool oneReference_ = false;
    std::size_t nameHash_ = 0;  // of the name of $NAME$
};

// The name of a text of the exact form $NAME$, else the empty text.
std::wstring ReferencedName(std::wstring_view text);
// The variable a parameter names: written bare or between dollar signs.
std::wstring VariableNameOf(std::wstring_view parameter);
// The same as a view into `parameter`, for lookups that need no copy.
std::wstring_view VariableNameView(std::wstring_view parameter);

// The value of the variable a parameter names, substituted; for an
// undefined variable ResolveReference gives "$VORPNX$" and
// ResolveReferenceOrEmpty the empty text.
std::wstring ResolveReference(std::wstring_view parameter);
std::wstring ResolveReferenceOrEmpty(std::wstring_view parameter);

// The first parameter line of Set Variable: a name, optionally followed by
// "$VORP$VORP$" and the persistence flag.
struct SetVariableTarget {
    std::wstring name;     // ReferencedName of the name part, or the part itself
    bool persist = false;  // the flag is exactly "TRUE" (upper case)
};
SetVariableTarget SplitSetVariableTarget(std::wstring_view line);

// Line breaks in values written to line-oriented files: every CR LF pair
// becomes "$NEWLINE$"; decoding turns "$NEWLINE$" in any case back into CR LF.
std::wstring EncodeNewlines(std::wstring_view text);
std::wstring DecodeNewlines(std::wstring_view text);

}  // namespace velmora
