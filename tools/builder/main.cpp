// setup-builder: turns a script source into a setup, and a setup back into
// script source.
#include "container/image.hpp"
#include "core/text.hpp"
#include "engine/compiler.hpp"
#include "tools/builder/assemble.hpp"
#include "tools/builder/script_source.hpp"

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace velmora;
using namespace velmora::builder;

constexpr char kUsage[] =
    "usage:\n"
    "  setup-builder build SCRIPT --engine FILE --out FOLDER [--name BASE] [--support FOLDER]\n"
    "                [--data FOLDER] [--msi FILE] [--qox FILE] [--splash FILE] [--seed N] [--7z PROGRAM]\n"
    "      writes FOLDER/BASE.exe (engine + container), BASE.res (the support folder packed),\n"
    "      data/ and the optional files; BASE is \"setup\" unless given\n"
    "  setup-builder compile SCRIPT --output FILE [--seed N]\n"
    "      writes the container alone\n"
    "  setup-builder print FILE\n"
    "      prints a container, or the container of a setup, as script source\n";

int Usage(const std::string& problem) {
    std::cerr << "setup-builder: " << problem << "\n" << kUsage;
    return 2;
}

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

bool Parse(int argc, char** argv, Args& args, std::string& problem) {
    static const std::vector<std::string> kOptions = {"--engine", "--out", "--name", "--support", "--data", "--msi",
                                                      "--qox", "--splash", "--seed", "--7z", "--output"};
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--", 0) == 0) {
            bool known = false;
            for (const auto& o : kOptions) known = known || o == a;
            if (!known) return problem = "unknown option " + a, false;
            if (i + 1 >= argc) return problem = a + " needs a value", false;
            args.options[a] = argv[++i];
        } else {
            args.positional.push_back(a);
        }
    }
    return true;
}

std::optional<std::string> Option(const Args& args, const std::string& name) {
    const auto it = args.options.find(name);
    if (it == args.options.end()) return std::nullopt;
    return it->second;
}

SourceOptions SourceOptionsOf(const Args& args) {
    SourceOptions options;
    if (auto seed = Option(args, "--seed")) {
        std::size_t used = 0;
        try {
            options.seed = std::stoull(*seed, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != seed->size()) throw BuildError("--seed needs a decimal number, not " + *seed);
    }
    return options;
}

// The script is compiled as the engine will compile it, so that an author
// learns of a broken script when building it, not when a user runs it.
// The error names the offending command's source position.
void CheckScript(const std::string& containerBytes, const std::string& scriptPath) {
    const container::Container c = container::ReadContainer(containerBytes);
    const engine::CompileResult result = engine::CompileScript(c);
    if (result.Succeeded()) return;
    std::string where = scriptPath + ": at the end of the script";
    const auto index = static_cast<std::size_t>(result.index);
    if (result.index != engine::kImbalanceIndex && index < c.sourcePositions.size()) {
        const std::wstring& position = c.sourcePositions[index];
        const auto star = position.rfind(L'*');
        const auto line = text::ParseInt64(std::wstring_view(position).substr(star + 1));
        if (star != std::wstring::npos && line) {
            where = text::ToUtf8(position.substr(0, star)) + ":" + std::to_string(*line + 1);
        }
    }
    throw BuildError(where + ": " + text::ToUtf8(result.message));
}

int Build(const Args& args) {
    if (args.positional.size() != 1) return Usage("build needs one script");
    const auto engine = Option(args, "--engine");
    const auto out = Option(args, "--out");
    if (!engine || !out) return Usage("build needs --engine and --out");
    const std::string containerBytes = container::JoinItems(CompileSourceFile(args.positional[0], SourceOptionsOf(args)));
    CheckScript(containerBytes, args.positional[0]);
    SetupLayout layout;
    layout.engine = *engine;
    layout.outFolder = *out;
    if (auto v = Option(args, "--name")) layout.baseName = *v;
    if (auto v = Option(args, "--support")) layout.support = *v;
    if (auto v = Option(args, "--data")) layout.data = *v;
    if (auto v = Option(args, "--msi")) layout.msi = *v;
    if (auto v = Option(args, "--qox")) layout.qoxLib = *v;
    if (auto v = Option(args, "--splash")) layout.splash = *v;
    if (auto v = Option(args, "--7z")) layout.sevenZip = *v;
    AssembleSetup(layout, containerBytes);
    return 0;
}

int Compile(const Args& args) {
    if (args.positional.size() != 1) return Usage("compile needs one script");
    const auto output = Option(args, "--output");
    if (!output) return Usage("compile needs --output");
    const std::string containerBytes = container::JoinItems(CompileSourceFile(args.positional[0], SourceOptionsOf(args)));
    CheckScript(containerBytes, args.positional[0]);
    WriteBytes(*output, containerBytes);
    return 0;
}

int Print(const Args& args) {
    if (args.positional.size() != 1) return Usage("print needs one file");
    std::string bytes = ReadBytes(args.positional[0]);
    // A setup: the container starts where the engine image ends.
    if (bytes.rfind("MZ", 0) == 0) {
        const auto end = container::ImageEnd(bytes);
        if (!end || *end > bytes.size()) throw BuildError(args.positional[0] + " is not a Windows executable image");
        if (*end == bytes.size()) throw BuildError(args.positional[0] + " is a bare engine: it carries no container");
        bytes.erase(0, static_cast<std::size_t>(*end));
    }
    std::cout << PrintSource(container::SplitItems(bytes));
    return std::cout.good() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    const std::string command = argv[1];
    Args args;
    std::string problem;
    if (!Parse(argc, argv, args, problem)) return Usage(problem);
    try {
        if (command == "build") return Build(args);
        if (command == "compile") return Compile(args);
        if (command == "print") return Print(args);
        return Usage("unknown command " + command);
    } catch (const std::exception& e) {
        std::cerr << "setup-builder: " << e.what() << "\n";
        return 1;
    }
}
