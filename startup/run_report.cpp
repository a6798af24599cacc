#include "startup/run_report.hpp"

#include "core/system.hpp"
#include "core/text.hpp"
#include "startup/session.hpp"
#include "vars/variables.hpp"

namespace velmora {
namespace {

std::string Json(std::wstring_view value) {
    std::string out = "\"";
    for (const char c : text::ToUtf8(value)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::wstring ReportPathOf(const std::vector<std::wstring>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& a = arguments[i];
        if (a.size() > 8 && (a[0] == L'/' || a[0] == L'-') && text::SameText(a.substr(1, 7), L"report=")) {
            return a.substr(8);
        }
    }
    return {};
}

std::string RunReportJson(const RunReport& r, std::uint32_t exitCode) {
    const Session& s = TheSession();
    std::string out = "{\n";
    out += "  \"exitCode\": " + std::to_string(exitCode) + ",\n";
    out += "  \"end\": " + Json(r.end) + ",\n";
    if (!r.message.empty() || r.commandIndex >= 0) {
        out += "  \"error\": {\"message\": " + Json(r.message) + ", \"command\": " + std::to_string(r.commandIndex);
        if (!r.sourceFile.empty()) {
            out += ", \"sourceFile\": " + Json(r.sourceFile) + ", \"line\": " + std::to_string(r.sourceLine);
        }
        out += "},\n";
    }
    out += "  \"engine\": {\"folder\": " + Json(s.engineFolder) + ", \"name\": " + Json(s.engineBaseName) + "},\n";
    out += "  \"setup\": {";
    if (r.haveSetup) {
        out += "\"title\": " + Json(r.title) + ", \"version\": " + Json(r.version) +
               ", \"productCode\": " + Json(r.productCode) + ", \"revisionCode\": " + Json(r.revisionCode);
    }
    out += "},\n";
    out += "  \"variables\": {";
    const std::vector<std::wstring> pairs = Variables().GetPairs();
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        // Secrets never leave the process in clear.
        const bool secret = text::Upper(pairs[i]).find(L"PASSWORD") != std::wstring::npos;
        out += i == 0 ? "\n    " : ",\n    ";
        out += Json(pairs[i]) + ": " + Json(secret ? std::wstring(L"********") : pairs[i + 1]);
    }
    out += pairs.empty() ? "}\n" : "\n  }\n";
    out += "}\n";
    return out;
}

void WriteRunReport(const RunReport& report, std::uint32_t exitCode) {
    if (report.path.empty()) return;
    sys::AppendFileBytes(report.path, RunReportJson(report, exitCode), sys::AppendMode::CreateOrTruncate);
}

}  // namespace velmora
