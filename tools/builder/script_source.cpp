#include "tools/builder/script_source.hpp"

#include "core/text.hpp"
#include "tools/builder/guid.hpp"

#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>
#include <vector>

namespace velmora::builder {
namespace {

using container::ContainerText;
using container::ItemKind;
using container::KindOf;

// The keyword of each container item that is not a per-command list.
struct ItemKeyword {
    std::size_t item;
    const char* keyword;
};
constexpr ItemKeyword kItemKeywords[] = {
    {5, "product-code"},  {6, "title"},           {7, "plugins"},         {8, "publisher"},
    {9, "contact"},       {10, "help-link"},      {11, "update-url"},     {12, "comments"},
    {13, "version"},      {14, "web-media-passwords"}, {16, "media-mode"}, {17, "components"},
    {18, "revision-code"}, {19, "media-files"},    {20, "ask-language"},   {21, "default-language"},
    {22, "command-headers"}, {23, "settings"},     {24, "code-page"},      {26, "progress-total"},
    {27, "media-headers"},
};

constexpr std::size_t kMaxIncludeDepth = 32;

// A list line "$" would end its list; the container stores it as "$DOLLAR$".
std::wstring EscapeListLine(std::wstring line) { return line == L"$" ? std::wstring(L"$DOLLAR$") : line; }
std::wstring UnescapeListLine(const std::wstring& line) { return line == L"$DOLLAR$" ? std::wstring(L"$") : line; }

// A list line as the source writes it: "| " and the text, or "|" alone.
std::string ListLine(std::string_view indent, const std::wstring& line) {
    const std::wstring value = UnescapeListLine(line);
    return std::string(indent) + (value.empty() ? "|" : "| " + text::ToUtf8(value)) + "\n";
}

std::optional<std::size_t> ItemOfKeyword(std::string_view keyword) {
    for (const auto& k : kItemKeywords) {
        if (keyword == k.keyword) return k.item;
    }
    return std::nullopt;
}

struct Command {
    std::wstring name;
    std::optional<std::wstring> guid;
    std::wstring flag;
    std::wstring media;
    std::optional<std::wstring> at;
    std::optional<std::wstring> within;
    std::vector<std::wstring> parameters;
    bool listed = false;  // in the parameter list even without parameter lines
    std::wstring defaultAt;      // "<file>*<zero-based line>"
    std::wstring defaultWithin;  // "<result variable or 0>*<include level>"
    std::string file;
    std::size_t line = 0;  // 1-based, for messages
};

struct IncludeFrame {
    std::wstring result;  // "0" for the main script, empty for an include without one
    std::size_t level = 0;
};

class Compiler {
public:
    explicit Compiler(const SourceOptions& options) : guids_(options.seed) {}

    void CompileFile(std::string_view source, const std::string& name, const IncludeFrame& frame,
                     std::vector<std::string>& chain);
    ContainerText Finish();

private:
    [[noreturn]] void Fail(const std::string& problem) const { throw SourceError(file_, line_, problem); }
    Command& CurrentCommand(std::string_view keyword) {
        if (commands_.empty() || !inCommand_) Fail("'" + std::string(keyword) + "' must follow a command");
        return commands_.back();
    }
    void SetOnce(std::optional<std::wstring>& slot, std::wstring value, std::string_view keyword) {
        if (slot) Fail("'" + std::string(keyword) + "' given twice for one command");
        slot = std::move(value);
    }

    GuidSource guids_;
    ContainerText out_;
    std::array<bool, container::kItemCount> given_{};
    std::vector<Command> commands_;
    std::optional<std::vector<std::wstring>> parameterList_;
    std::vector<std::wstring>* openList_ = nullptr;  // where '|' lines go
    bool inCommand_ = false;
    std::string file_;
    std::size_t line_ = 0;
};

std::vector<std::string_view> SplitSourceLines(std::string_view source) {
    if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= source.size()) {
        auto end = source.find('\n', start);
        if (end == std::string_view::npos) end = source.size();
        std::string_view line = source.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == source.size()) break;
        start = end + 1;
    }
    return lines;
}

std::string ReadWholeFile(const std::filesystem::path& path, const std::string& from, std::size_t line) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SourceError(from, line, "cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Compiler::CompileFile(std::string_view source, const std::string& name, const IncludeFrame& frame,
                           std::vector<std::string>& chain) {
    const bool main = frame.level == 0;
    const auto lines = SplitSourceLines(source);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        file_ = name;
        line_ = i + 1;
        std::string_view t = lines[i];
        while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
        if (t.empty() || t.front() == '#') continue;
        if (t.front() == '|') {
            if (openList_ == nullptr) Fail("a '|' line must follow a command or a list keyword");
            // "| text": one blank after the bar is part of the syntax, so
            // "|" and "| " are both the empty line.
            std::string_view value = t.substr(1);
            if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            openList_->push_back(EscapeListLine(text::FromUtf8(value)));
            continue;
        }
        const auto blank = t.find(' ');
        const std::string_view keyword = t.substr(0, blank);
        const std::wstring rest = blank == std::string_view::npos ? std::wstring() : text::FromUtf8(t.substr(blank + 1));

        if (keyword == "command") {
            if (rest.empty()) Fail("a command needs a name");
            Command c;
            c.name = rest;
            c.file = name;
            c.line = line_;
            // Source positions count lines from zero.
            c.defaultAt = text::FromUtf8(name) + L"*" + text::ToDecimal(static_cast<std::int64_t>(i));
            c.defaultWithin = frame.result + L"*" + text::ToDecimal(static_cast<std::int64_t>(frame.level));
            commands_.push_back(std::move(c));
            auto& added = commands_.back();
            openList_ = &added.parameters;
            inCommand_ = true;
            continue;
        }
        if (keyword == "guid") {
            if (!IsRegistryGuid(rest)) Fail("not a GUID in registry form {8-4-4-4-12}: " + text::ToUtf8(rest));
            SetOnce(CurrentCommand(keyword).guid, rest, keyword);
            continue;
        }
        if (keyword == "disabled" || keyword == "flag") {
            Command& c = CurrentCommand(keyword);
            c.flag = keyword == "disabled" ? std::wstring(L"C") : rest;
            continue;
        }
        if (keyword == "media") { CurrentCommand(keyword).media = rest; continue; }
        if (keyword == "at") { SetOnce(CurrentCommand(keyword).at, rest, keyword); continue; }
        if (keyword == "within") { SetOnce(CurrentCommand(keyword).within, rest, keyword); continue; }
        if (keyword == "listed") { CurrentCommand(keyword).listed = true; continue; }

        if (keyword == "include" || keyword == "include-into") {
            // An include without a result variable carries an empty name
            // ("*1"); only the main script's commands carry "0".
            std::wstring result;
            std::wstring target = rest;
            if (keyword == "include-into") {
                const auto space = rest.find(L' ');
                if (space == std::wstring::npos || space == 0) Fail("include-into needs a variable and a file");
                result = rest.substr(0, space);
                target = rest.substr(space + 1);
            }
            if (target.empty()) Fail("include needs a file");
            if (chain.size() >= kMaxIncludeDepth) Fail("includes nest too deeply");
            const std::filesystem::path path =
                (std::filesystem::path(name).parent_path() / std::filesystem::path(text::ToUtf8(target))).lexically_normal();
            const std::string pathName = path.generic_string();
            for (const auto& open : chain) {
                if (open == pathName) Fail("include of " + pathName + " inside itself");
            }
            const std::string bytes = ReadWholeFile(path, name, line_);
            chain.push_back(pathName);
            openList_ = nullptr;
            inCommand_ = false;
            CompileFile(bytes, pathName, IncludeFrame{result, frame.level + 1}, chain);
            chain.pop_back();
            openList_ = nullptr;
            inCommand_ = false;
            continue;
        }

        // Everything else describes the product and belongs to the main script.
        const std::string kw(keyword);
        if (!main) Fail("'" + kw + "' may only stand in the main script, not in an included one");
        inCommand_ = false;
        openList_ = nullptr;
        if (keyword == "byte-order-mark") { out_.byteOrderMark = true; continue; }
        if (keyword == "plugin") { out_.Item(7).push_back(EscapeListLine(rest)); given_[6] = true; continue; }
        if (keyword == "setting") {
            const auto space = rest.find(L' ');
            std::wstring settingName = rest.substr(0, space);
            if (settingName.empty()) Fail("a setting needs a name");
            out_.Item(23).push_back(EscapeListLine(settingName));
            out_.Item(23).push_back(EscapeListLine(space == std::wstring::npos ? std::wstring() : rest.substr(space + 1)));
            given_[22] = true;
            continue;
        }
        if (keyword == "parameter-list") {
            if (parameterList_) Fail("'parameter-list' given twice");
            parameterList_.emplace();
            openList_ = &*parameterList_;
            continue;
        }
        const auto item = ItemOfKeyword(keyword);
        if (!item) Fail("unknown keyword '" + kw + "'");
        if (KindOf(*item) == ItemKind::List) {
            openList_ = &out_.Item(*item);
            given_[*item - 1] = true;
            continue;
        }
        if (given_[*item - 1]) Fail("'" + kw + "' given twice");
        given_[*item - 1] = true;
        if (KindOf(*item) == ItemKind::Number || KindOf(*item) == ItemKind::Number64) {
            std::wstring_view token = rest;
            while (!token.empty() && token.front() <= L' ') token.remove_prefix(1);
            token = token.substr(0, token.find_first_of(L" \t"));
            const bool ok = KindOf(*item) == ItemKind::Number ? text::ParseInt32(token).has_value()
                                                               : text::ParseInt64(token).has_value();
            if (!ok) Fail("'" + kw + "' needs a decimal integer, not \"" + text::ToUtf8(rest) + "\"");
        }
        out_.Item(*item) = {rest};
    }
}

ContainerText Compiler::Finish() {
    auto defaultLine = [this](std::size_t item, std::wstring value) {
        if (!given_[item - 1]) out_.Item(item) = {std::move(value)};
    };
    // GUIDs are drawn in a fixed order, so that a seed fixes all of them.
    if (!given_[4]) defaultLine(5, guids_.Next());
    if (!given_[17]) defaultLine(18, guids_.Next());
    for (std::size_t item : {6, 8, 9, 10, 11, 12, 13}) defaultLine(item, L"");
    defaultLine(16, L"1");
    defaultLine(20, L"FALSE");
    defaultLine(21, L"English");
    defaultLine(24, L"1252");
    defaultLine(26, L"0");

    std::unordered_map<std::wstring, std::size_t, text::CaseInsensitiveHash, text::CaseInsensitiveEqual> seen;
    for (std::size_t i = 0; i < commands_.size(); ++i) {
        Command& c = commands_[i];
        if (!c.guid) c.guid = guids_.Next();
        if (auto [it, fresh] = seen.try_emplace(*c.guid, i); !fresh) {
            throw SourceError(c.file, c.line, "GUID " + text::ToUtf8(*c.guid) + " already belongs to the command at " +
                                                  commands_[it->second].file + ":" +
                                                  std::to_string(commands_[it->second].line));
        }
        if (parameterList_ && (!c.parameters.empty() || c.listed)) {
            throw SourceError(c.file, c.line, "with a 'parameter-list', commands carry no '|' lines");
        }
        out_.Item(1).push_back(EscapeListLine(c.name));
        out_.Item(2).push_back(EscapeListLine(*c.guid));
        if (!parameterList_ && (!c.parameters.empty() || c.listed)) {
            out_.Item(3).push_back(EscapeListLine(*c.guid));
            for (auto& p : c.parameters) out_.Item(3).push_back(std::move(p));
        }
        out_.Item(4).push_back(EscapeListLine(c.flag));
        out_.Item(15).push_back(EscapeListLine(c.media));
        out_.Item(25).push_back(EscapeListLine(c.at ? *c.at : c.defaultAt));
        out_.Item(28).push_back(EscapeListLine(c.within ? *c.within : c.defaultWithin));
    }
    if (parameterList_) {
        out_.Item(3) = std::move(*parameterList_);
    }
    return std::move(out_);
}

}  // namespace

SourceError::SourceError(std::string file, std::size_t line, const std::string& problem)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + problem), file_(std::move(file)), line_(line) {}

ContainerText CompileSource(std::string_view source, const std::string& name, const SourceOptions& options) {
    Compiler compiler(options);
    std::vector<std::string> chain{std::filesystem::path(name).lexically_normal().generic_string()};
    compiler.CompileFile(source, name, IncludeFrame{L"0", 0}, chain);
    return compiler.Finish();
}

ContainerText CompileSourceFile(const std::filesystem::path& path, const SourceOptions& options) {
    const std::string name = path.generic_string();
    return CompileSource(ReadWholeFile(path, name, 0), name, options);
}

std::string PrintSource(const ContainerText& items) {
    std::string out = "# Printed by setup-builder from a compiled container.\n";
    auto put = [&out](std::string_view keyword, const std::wstring& value) {
        out += keyword;
        if (!value.empty()) {
            out += ' ';
            out += text::ToUtf8(value);
        }
        out += '\n';
    };
    auto putList = [&out](std::string_view keyword, const std::vector<std::wstring>& lines) {
        out += keyword;
        out += '\n';
        for (const auto& line : lines) out += ListLine("", line);
    };
    if (items.byteOrderMark) out += "byte-order-mark\n";

    for (const auto& k : kItemKeywords) {
        const auto& lines = items.Item(k.item);
        if (KindOf(k.item) != ItemKind::List) {
            // A single-line item the container did not reach stays absent.
            if (!lines.empty()) put(k.keyword, lines.back());
            continue;
        }
        if (lines.empty()) continue;
        const bool pairs = lines.size() % 2 == 0;
        if (k.item == 7) {
            for (const auto& line : lines) put("plugin", UnescapeListLine(line));
            // "plugin" alone stands for an empty name, which put() prints so.
            continue;
        }
        if (k.item == 23 && pairs) {
            bool plain = true;
            for (std::size_t i = 0; i < lines.size(); i += 2) {
                const std::wstring name = UnescapeListLine(lines[i]);
                if (name.empty() || name.find(L' ') != std::wstring::npos) plain = false;
            }
            if (plain) {
                for (std::size_t i = 0; i < lines.size(); i += 2) {
                    out += "setting " + text::ToUtf8(UnescapeListLine(lines[i])) + " " +
                           text::ToUtf8(UnescapeListLine(lines[i + 1])) + "\n";
                }
                continue;
            }
        }
        putList(k.keyword, lines);
    }

    const auto& names = items.Item(1);
    const std::size_t n = names.size();
    auto lineOf = [&items](std::size_t item, std::size_t i) -> std::optional<std::wstring> {
        const auto& lines = items.Item(item);
        if (i < lines.size()) return lines[i];
        return std::nullopt;
    };

    // The parameter list prints inside the commands when it is what the
    // commands would make of it: blocks in command order, each opened by its
    // command's GUID. Otherwise it prints as it stands.
    const auto& params = items.Item(3);
    std::unordered_map<std::wstring, std::size_t> guidIndex;
    for (std::size_t i = 0; i < n; ++i) {
        if (auto g = lineOf(2, i)) guidIndex.try_emplace(*g, i);
    }
    std::vector<std::optional<std::pair<std::size_t, std::size_t>>> blocks(n);  // [begin, end) of lines
    bool canonical = items.Item(2).size() == n;
    {
        std::size_t pos = 0;
        for (std::size_t i = 0; i < n && canonical && pos < params.size(); ++i) {
            if (params[pos] != items.Item(2)[i]) continue;
            std::size_t end = pos + 1;
            while (end < params.size()) {
                const auto it = guidIndex.find(params[end]);
                if (it != guidIndex.end()) {
                    // A GUID line opens the block of a later command; one of
                    // an earlier command means the blocks are out of order.
                    if (it->second <= i) canonical = false;
                    break;
                }
                ++end;
            }
            blocks[i] = std::make_pair(pos + 1, end);
            pos = end;
        }
        if (pos != params.size()) canonical = false;
    }
    if (!canonical) putList("parameter-list", params);

    for (std::size_t i = 0; i < n; ++i) {
        out += "\ncommand " + text::ToUtf8(UnescapeListLine(names[i])) + "\n";
        if (auto g = lineOf(2, i)) out += "  guid " + text::ToUtf8(UnescapeListLine(*g)) + "\n";
        if (auto f = lineOf(4, i); f && !f->empty()) {
            out += *f == L"C" ? std::string("  disabled\n") : "  flag " + text::ToUtf8(UnescapeListLine(*f)) + "\n";
        }
        if (auto m = lineOf(15, i); m && !m->empty()) out += "  media " + text::ToUtf8(UnescapeListLine(*m)) + "\n";
        if (auto a = lineOf(25, i)) out += "  at " + text::ToUtf8(UnescapeListLine(*a)) + "\n";
        if (auto w = lineOf(28, i); w && *w != L"0*0") out += "  within " + text::ToUtf8(UnescapeListLine(*w)) + "\n";
        if (canonical && blocks[i]) {
            const auto [begin, end] = *blocks[i];
            if (begin == end) out += "  listed\n";
            for (std::size_t p = begin; p < end; ++p) out += ListLine("  ", params[p]);
        }
    }
    return out;
}

}  // namespace velmora::builder
