// The compiled script container: 28 items of UTF-8 text appended to the
// engine file. This is the reader (and, for setup-builder, the writer).
//
// The container has no version or count field; the reader relies on the fixed
// order and kind of its items. Nothing is substituted or validated here.
#pragma once

#include "core/text.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora::container {

constexpr std::size_t kItemCount = 28;

enum class ItemKind {
    List,      // lines up to a line that is exactly "$"
    Line,      // one line, any text
    Number,    // one line with a 32-bit decimal integer
    Number64,  // one line with a 64-bit decimal integer
    Truth,     // one line; true only when exactly "TRUE"
};

// Kind of item n (1-based, as the items are numbered).
ItemKind KindOf(std::size_t item);

// A number item that does not hold a decimal integer.
class ContainerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The container as lines, item by item, exactly as stored: lists without
// their terminator, the other items as the one line they occupy. This is
// what setup-builder writes and prints back; a round trip through it is exact.
struct ContainerText {
    bool byteOrderMark = false;
    std::array<std::vector<std::wstring>, kItemCount> items;  // items[0] is item 1

    std::vector<std::wstring>& Item(std::size_t n) { return items.at(n - 1); }
    const std::vector<std::wstring>& Item(std::size_t n) const { return items.at(n - 1); }
};

// Splits container bytes into items. Lines end with CR LF (a lone CR or LF
// also ends a line). A container that ends early leaves the remaining items
// empty; lines after item 28 (a signature, say) are ignored.
ContainerText SplitItems(std::string_view bytes);

// The bytes of a container: UTF-8, CR LF after every line, a "$" after each
// list. Lines are written as they stand; a list line "$" must already be
// written as "$DOLLAR$" by the caller.
std::string JoinItems(const ContainerText& text);

// Item 3: the parameter lines of all commands, looked up by command GUID.
class ParameterList {
public:
    ParameterList() = default;
    explicit ParameterList(std::vector<std::wstring> lines);
    // The index views the lines, so the list moves but is never copied.
    ParameterList(ParameterList&&) noexcept = default;
    ParameterList& operator=(ParameterList&&) noexcept = default;
    ParameterList(const ParameterList&) = delete;
    ParameterList& operator=(const ParameterList&) = delete;

    // Parameter k (1-based) of the command with this GUID: the line k places
    // after the first line equal to the GUID without regard to case, or the
    // empty text when the GUID does not occur or the list ends first.
    const std::wstring& Parameter(std::wstring_view guid, std::size_t k) const;

    // Position of the first line equal to the text without regard to case.
    std::optional<std::size_t> Find(std::wstring_view line) const;

    const std::vector<std::wstring>& Lines() const { return lines_; }

private:
    std::vector<std::wstring> lines_;
    // First position of each line that can be a GUID ("{" first), so that
    // the lookup of a command's parameters is a hash lookup. Keys view lines_.
    std::unordered_map<std::wstring_view, std::size_t, text::CaseInsensitiveHash,
                       text::CaseInsensitiveEqual> index_;
};

// The container as the engine holds it.
struct Container {
    std::vector<std::wstring> commandNames;      // 1
    std::vector<std::wstring> commandGuids;      // 2
    ParameterList parameters;                    // 3
    std::vector<std::wstring> flags;             // 4: "C" = commented out
    std::wstring productCode;                    // 5
    std::wstring title;                          // 6
    std::wstring titleCopy;                      // 6, kept a second time
    std::vector<std::wstring> pluginNames;       // 7
    std::wstring publisher;                      // 8
    std::wstring contact;                        // 9
    std::wstring helpLink;                       // 10
    std::wstring updateInfoUrl;                  // 11
    std::wstring comments;                       // 12
    std::wstring version;                        // 13
    std::vector<std::wstring> webMediaPasswords; // 14: name, scrambled password, ...
    std::vector<std::wstring> commandMedia;      // 15
    std::int32_t mediaMode = 0;                  // 16
    std::vector<std::wstring> components;        // 17: name, size, ...
    std::wstring revisionCode;                   // 18
    std::vector<std::wstring> mediaFiles;        // 19: media, key, folder, ...
    bool askLanguage = false;                    // 20
    std::wstring defaultLanguage;                // 21
    std::vector<std::wstring> headerIndex;       // 22: hash, command index, ...
    std::vector<std::wstring> settings;          // 23: name, value, ...
    std::int32_t codePage = 0;                   // 24
    std::vector<std::wstring> sourcePositions;   // 25: "path*line"
    std::int64_t progressTotal = 0;              // 26
    std::vector<std::wstring> mediaHeaders;      // 27
    std::vector<std::wstring> includes;          // 28: "result*level"

    // Where each command's GUID stands in the parameter list (SIZE_MAX when
    // it does not occur), found once when the container is read, so that a
    // parameter fetch during the run needs no lookup.
    std::vector<std::size_t> parameterStart;

    std::size_t CommandCount() const { return commandNames.size(); }
    // Parameter k (1-based) of command i (0-based position); empty when out of range.
    const std::wstring& Parameter(std::size_t command, std::size_t k) const;
    // A flag line "C" (upper case only) marks a commented-out command.
    bool IsCommentedOut(std::size_t command) const;
};

// Reads a container from its bytes. Throws ContainerError for a number item
// that is not a decimal integer.
Container ReadContainer(std::string_view bytes);

// The same, from items already split.
Container FromItems(ContainerText text);

}  // namespace velmora::container
