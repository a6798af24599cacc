#include "container/container.hpp"

#include <utility>

namespace velmora::container {
namespace {

constexpr std::array<ItemKind, kItemCount> kKinds = {
    ItemKind::List,     ItemKind::List,  ItemKind::List,  ItemKind::List,   // 1-4 commands
    ItemKind::Line,     ItemKind::Line,                                     // 5-6 product code, title
    ItemKind::List,                                                         // 7 plug-ins
    ItemKind::Line,     ItemKind::Line,  ItemKind::Line,  ItemKind::Line,   // 8-11 publisher data
    ItemKind::Line,     ItemKind::Line,                                     // 12-13 comments, version
    ItemKind::List,     ItemKind::List,                                     // 14-15
    ItemKind::Number,                                                       // 16 media mode
    ItemKind::List,     ItemKind::Line,  ItemKind::List,                    // 17-19
    ItemKind::Truth,    ItemKind::Line,                                     // 20-21 language
    ItemKind::List,     ItemKind::List,                                     // 22-23 headers, settings
    ItemKind::Number,   ItemKind::List,                                     // 24-25
    ItemKind::Number64, ItemKind::List,  ItemKind::List,                    // 26-28
};

const std::wstring kEmpty;

// Walks the container's lines. A line ends at CR LF, a lone CR or a lone LF.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

    bool AtEnd() const { return pos_ >= bytes_.size(); }

    std::string_view NextRaw() {
        const std::size_t start = pos_;
        std::size_t end = start;
        while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n') ++end;
        pos_ = end;
        if (pos_ < bytes_.size()) {
            if (bytes_[pos_] == '\r' && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
        }
        return bytes_.substr(start, end - start);
    }

    std::wstring Next() { return text::FromUtf8(NextRaw()); }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

bool IsBlank(wchar_t c) { return static_cast<std::uint32_t>(c) <= 0x20; }

bool AllBlank(std::wstring_view line) {
    for (wchar_t c : line) {
        if (!IsBlank(c)) return false;
    }
    return true;
}

// A number item is read the way a text file reads an integer: blanks and
// line breaks are skipped, the digits run to the next blank or line end, and
// the rest of that line is skipped. The lines it passed over are kept so
// that the item writes back as it was.
std::wstring NumberToken(const std::vector<std::wstring>& lines) {
    if (lines.empty()) return {};
    std::wstring_view line = lines.back();
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    std::size_t end = start;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    return std::wstring(line.substr(start, end - start));
}

template <typename T, typename Parse>
T ReadNumber(const std::vector<std::wstring>& lines, std::size_t item, Parse parse) {
    const std::wstring token = NumberToken(lines);
    if (token.empty()) return 0;  // the container ended before this item
    const auto value = parse(token);
    if (!value) {
        throw ContainerError("container item " + std::to_string(item) + " is not a decimal integer: \"" +
                             text::ToUtf8(token) + "\"");
    }
    return *value;
}

std::wstring SingleLine(std::vector<std::wstring>& lines) {
    return lines.empty() ? std::wstring() : std::move(lines.front());
}

}  // namespace

ItemKind KindOf(std::size_t item) { return kKinds.at(item - 1); }

ContainerText SplitItems(std::string_view bytes) {
    ContainerText out;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        out.byteOrderMark = true;
        bytes.remove_prefix(3);
    }
    LineReader reader(bytes);
    for (std::size_t n = 1; n <= kItemCount && !reader.AtEnd(); ++n) {
        auto& item = out.Item(n);
        switch (KindOf(n)) {
            case ItemKind::List:
                while (!reader.AtEnd()) {
                    std::string_view raw = reader.NextRaw();
                    if (raw == "$") break;
                    item.push_back(text::FromUtf8(raw));
                }
                break;
            case ItemKind::Number:
            case ItemKind::Number64:
                while (!reader.AtEnd()) {
                    item.push_back(reader.Next());
                    if (!AllBlank(item.back())) break;
                }
                break;
            case ItemKind::Line:
            case ItemKind::Truth:
                item.push_back(reader.Next());
                break;
        }
    }
    return out;
}

std::string JoinItems(const ContainerText& text) {
    std::string out;
    if (text.byteOrderMark) out += "\xEF\xBB\xBF";
    for (std::size_t n = 1; n <= kItemCount; ++n) {
        for (const auto& line : text.Item(n)) {
            out += text::ToUtf8(line);
            out += "\r\n";
        }
        if (KindOf(n) == ItemKind::List) out += "$\r\n";
    }
    return out;
}

ParameterList::ParameterList(std::vector<std::wstring> lines) : lines_(std::move(lines)) {
    index_.reserve(lines_.size() / 2 + 1);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!lines_[i].empty() && lines_[i][0] == L'{') index_.try_emplace(lines_[i], i);
    }
}

std::optional<std::size_t> ParameterList::Find(std::wstring_view line) const {
    if (!line.empty() && line[0] == L'{') {
        const auto it = index_.find(line);
        if (it == index_.end()) return std::nullopt;
        return it->second;
    }
    // Only a malformed GUID gets here; it is looked for the slow way.
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (text::SameText(lines_[i], line)) return i;
    }
    return std::nullopt;
}

const std::wstring& ParameterList::Parameter(std::wstring_view guid, std::size_t k) const {
    const auto p = Find(guid);
    if (!p || k == 0 || k >= lines_.size() - *p) return kEmpty;
    return lines_[*p + k];
}

const std::wstring& Container::Parameter(std::size_t command, std::size_t k) const {
    if (command < parameterStart.size()) {
        const std::size_t p = parameterStart[command];
        const auto& lines = parameters.Lines();
        if (p == SIZE_MAX || k == 0 || k >= lines.size() - p) return kEmpty;
        return lines[p + k];
    }
    if (command >= commandGuids.size()) return kEmpty;
    return parameters.Parameter(commandGuids[command], k);
}

bool Container::IsCommentedOut(std::size_t command) const {
    return command < flags.size() && flags[command] == L"C";
}

Container FromItems(ContainerText text) {
    Container c;
    c.commandNames = std::move(text.Item(1));
    c.commandGuids = std::move(text.Item(2));
    // The authoring tool writes a parameter line that is only "$" as one
    // of two markers, since "$" alone would end the list.
    for (auto& line : text.Item(3)) {
        if (line.size() >= 8 && line[0] == L'$' &&
            (text::SameText(line, L"$WILD_DOLLAR$") || text::SameText(line, L"$DOLLAR$"))) {
            line = L"$";
        }
    }
    c.parameters = ParameterList(std::move(text.Item(3)));
    c.flags = std::move(text.Item(4));
    c.productCode = SingleLine(text.Item(5));
    c.title = SingleLine(text.Item(6));
    c.titleCopy = c.title;
    c.pluginNames = std::move(text.Item(7));
    c.publisher = SingleLine(text.Item(8));
    c.contact = SingleLine(text.Item(9));
    c.helpLink = SingleLine(text.Item(10));
    c.updateInfoUrl = SingleLine(text.Item(11));
    c.comments = SingleLine(text.Item(12));
    c.version = SingleLine(text.Item(13));
    c.webMediaPasswords = std::move(text.Item(14));
    c.commandMedia = std::move(text.Item(15));
    c.mediaMode = ReadNumber<std::int32_t>(text.Item(16), 16, text::ParseInt32);
    c.components = std::move(text.Item(17));
    c.revisionCode = SingleLine(text.Item(18));
    c.mediaFiles = std::move(text.Item(19));
    c.askLanguage = SingleLine(text.Item(20)) == L"TRUE";
    c.defaultLanguage = SingleLine(text.Item(21));
    c.headerIndex = std::move(text.Item(22));
    c.settings = std::move(text.Item(23));
    c.codePage = ReadNumber<std::int32_t>(text.Item(24), 24, text::ParseInt32);
    c.sourcePositions = std::move(text.Item(25));
    c.progressTotal = ReadNumber<std::int64_t>(text.Item(26), 26, text::ParseInt64);
    c.mediaHeaders = std::move(text.Item(27));
    c.includes = std::move(text.Item(28));
    c.parameterStart.reserve(c.commandGuids.size());
    for (const auto& guid : c.commandGuids) c.parameterStart.push_back(c.parameters.Find(guid).value_or(SIZE_MAX));
    return c;
}

Container ReadContainer(std::string_view bytes) { return FromItems(SplitItems(bytes)); }

}  // namespace velmora::container
