#include "container/container.hpp"
#include "tools/builder/assemble.hpp"
#include "tools/builder/script_source.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmora::builder {
namespace {

namespace fs = std::filesystem;
using container::ContainerText;
using container::JoinItems;
using container::ReadContainer;
using container::SplitItems;

const char kScript[] = R"(# A script of every kind of item.
title Sample Product
product-code {AAAAAAAA-0000-0000-0000-000000000001}
revision-code {BBBBBBBB-0000-0000-0000-000000000002}
publisher Sample Ltd
contact support@example.com
help-link https://example.com/help
update-url https://example.com/update
comments
version 1.0.0.0
media-mode 2
code-page 1252
progress-total 123456789012
ask-language TRUE
default-language German
plugin Fancy Plugin
setting NATIVE_ENGINE TRUE
setting EMPTY
setting MESSAGE hello  world
web-media-passwords
| offline
| scrambled
components
| VORP-PREDEF-COMPONENT
| 1024
media-files
| OFFLINE
| 0A1B2C3D\file.txt
| OFFLINE\00000001\0A1B2C3D\
command-headers
| 0000ABCD
| 2
media-headers
| 00000001
| NEWHEADER
| OFFLINE\00000001\0A1B2C3D\file.txt
|

command Comment
  disabled
  | Check prerequisites
command Set Variable
  guid {11111111-2222-3333-4444-555555555555}
  |TARGETDIR$VORP$VORP$FALSE
  |
  |$
  |   leading blanks kept, trailing too  
command Fancy Plugin
  media plugins\fancy\
command If
  flag c
  | TARGETDIR
  | 0
  |
  | FALSE
command End
  listed
)";

std::string Compile(const std::string& source, const std::string& name = "main.vms", std::uint64_t seed = 7) {
    return JoinItems(CompileSource(source, name, SourceOptions{seed}));
}

TEST(ScriptSource, EveryItemReachesTheContainer) {
    const container::Container c = ReadContainer(Compile(kScript));
    EXPECT_EQ(c.commandNames, (std::vector<std::wstring>{L"Comment", L"Set Variable", L"Fancy Plugin", L"If", L"End"}));
    EXPECT_EQ(c.commandGuids[1], L"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(c.Parameter(0, 1), L"Check prerequisites");
    EXPECT_EQ(c.Parameter(1, 1), L"TARGETDIR$VORP$VORP$FALSE");
    EXPECT_EQ(c.Parameter(1, 2), L"");
    EXPECT_EQ(c.Parameter(1, 3), L"$");
    EXPECT_EQ(c.Parameter(1, 4), L"  leading blanks kept, trailing too  ");
    EXPECT_EQ(c.Parameter(2, 1), L"");
    EXPECT_EQ(c.flags, (std::vector<std::wstring>{L"C", L"", L"", L"c", L""}));
    EXPECT_TRUE(c.IsCommentedOut(0));
    EXPECT_FALSE(c.IsCommentedOut(3));
    EXPECT_EQ(c.commandMedia[2], L"plugins\\fancy\\");
    EXPECT_EQ(c.sourcePositions[0], L"main.vms*38");
    EXPECT_EQ(c.sourcePositions[4], L"main.vms*55");
    EXPECT_EQ(c.includes, std::vector<std::wstring>(5, L"0*0"));
    EXPECT_EQ(c.title, L"Sample Product");
    EXPECT_EQ(c.productCode, L"{AAAAAAAA-0000-0000-0000-000000000001}");
    EXPECT_EQ(c.pluginNames, std::vector<std::wstring>{L"Fancy Plugin"});
    EXPECT_EQ(c.comments, L"");
    EXPECT_EQ(c.mediaMode, 2);
    EXPECT_EQ(c.progressTotal, 123456789012);
    EXPECT_TRUE(c.askLanguage);
    EXPECT_EQ(c.defaultLanguage, L"German");
    EXPECT_EQ(c.settings, (std::vector<std::wstring>{L"NATIVE_ENGINE", L"TRUE", L"EMPTY", L"", L"MESSAGE",
                                                     L"hello  world"}));
    EXPECT_EQ(c.mediaHeaders.back(), L"");
    EXPECT_EQ(c.headerIndex, (std::vector<std::wstring>{L"0000ABCD", L"2"}));
}

TEST(ScriptSource, DollarParameterIsWrittenAsMarker) {
    const std::string bytes = Compile("command Set Variable\n guid {11111111-2222-3333-4444-555555555555}\n |$\n");
    EXPECT_NE(bytes.find("{11111111-2222-3333-4444-555555555555}\r\n$DOLLAR$\r\n$\r\n"), std::string::npos);
}

TEST(ScriptSource, DefaultsAndFixedSeed) {
    const std::string a = Compile("command Comment\n");
    EXPECT_EQ(a, Compile("command Comment\n"));
    EXPECT_NE(a, Compile("command Comment\n", "main.vms", 8));
    const container::Container c = ReadContainer(a);
    EXPECT_EQ(c.mediaMode, 1);
    EXPECT_EQ(c.codePage, 1252);
    EXPECT_EQ(c.defaultLanguage, L"English");
    EXPECT_FALSE(c.askLanguage);
    EXPECT_EQ(c.productCode.size(), 38u);
    EXPECT_NE(c.productCode, c.revisionCode);
    EXPECT_EQ(c.commandGuids[0].size(), 38u);
    // A command without parameter lines is not in the parameter list.
    EXPECT_TRUE(c.parameters.Lines().empty());
}

TEST(ScriptSource, PrintedSourceCompilesToTheSameContainer) {
    const std::string bytes = Compile(kScript);
    const std::string printed = PrintSource(SplitItems(bytes));
    EXPECT_EQ(Compile(printed, "printed.vms", 99), bytes) << printed;
    // And printing is stable.
    EXPECT_EQ(PrintSource(SplitItems(Compile(printed, "printed.vms", 99))), printed);
}

TEST(ScriptSource, ContainerRoundTripIsExact) {
    // Containers an authoring tool could write that no script of ours would:
    // a byte order mark, a marker spelled in lower case, parameter blocks out
    // of command order, a setting name with a blank, an odd settings list.
    const std::string guidA = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", guidB = "{11111111-2222-3333-4444-555555555555}";
    std::string items[28];
    items[0] = "Set Variable\r\nIf\r\n$\r\n";
    items[1] = guidA + "\r\n" + guidB + "\r\n$\r\n";
    items[2] = guidB + "\r\n$wild_dollar$\r\n" + guidA + "\r\n$DOLLAR$\r\nx\r\n$\r\n";
    items[3] = "\r\nC\r\n$\r\n";
    const char* rest[] = {"{P}", "Title", "$", "Pub", "", "", "", "", "2.0", "$", "\r\n\r\n$", "3", "$", "{R}", "$",
                          "true", "English", "$", "Project Folder\r\nC:\\x\r\nODD\r\n$", " 65001", "a*1\r\nb*2\r\n$",
                          "0", "$", "0*0\r\nRESULT*1\r\n$"};
    std::string bytes = "\xEF\xBB\xBF";
    for (int i = 0; i < 4; ++i) bytes += items[i];
    for (const char* r : rest) bytes += std::string(r) + "\r\n";
    const std::string printed = PrintSource(SplitItems(bytes));
    EXPECT_NE(printed.find("parameter-list"), std::string::npos);
    EXPECT_EQ(Compile(printed), bytes) << printed;
}

struct BadSource {
    std::string source;
    std::size_t line;
    std::string problem;
};

TEST(ScriptSource, BadSourcesNameFileLineAndProblem) {
    const BadSource cases[] = {
        {"| orphan\n", 1, "a '|' line must follow a command or a list keyword"},
        {"title A\ntitle B\n", 2, "'title' given twice"},
        {"command\n", 1, "a command needs a name"},
        {"guid {11111111-2222-3333-4444-555555555555}\n", 1, "'guid' must follow a command"},
        {"command If\n  guid {nonsense}\n", 2, "not a GUID in registry form"},
        {"command If\n  guid {11111111-2222-3333-4444-555555555555}\n  guid {11111111-2222-3333-4444-555555555556}\n", 3,
         "'guid' given twice for one command"},
        {"media-mode one\n", 1, "'media-mode' needs a decimal integer"},
        {"progress-total 99999999999999999999\n", 1, "'progress-total' needs a decimal integer"},
        {"frobnicate\n", 1, "unknown keyword 'frobnicate'"},
        {"\n\ncommand If\n guid {11111111-2222-3333-4444-555555555555}\ncommand End\n guid "
         "{11111111-2222-3333-4444-555555555555}\n",
         5, "already belongs to the command at main.vms:3"},
        {"command If\ninclude missing.vms\n", 2, "cannot read"},
        {"setting\n", 1, "a setting needs a name"},
    };
    for (const auto& c : cases) {
        try {
            Compile(c.source);
            ADD_FAILURE() << "accepted: " << c.source;
        } catch (const SourceError& e) {
            EXPECT_EQ(e.File(), "main.vms") << c.source;
            EXPECT_EQ(e.Line(), c.line) << c.source << " -> " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << c.source << " -> " << e.what();
        }
    }
}

class BuilderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velmora-builder-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "inc");
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const fs::path& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
    fs::path dir_;
};

TEST_F(BuilderFiles, IncludesAreInlinedWithLevelResultAndPositions) {
    Write("main.vms", "command Comment\ninclude-into RESULT inc/first.vms\ncommand End\n");
    Write("inc/first.vms", "\xEF\xBB\xBF# first\r\ncommand If\r\ninclude second.vms\r\n");
    Write("inc/second.vms", "command Set Variable\n |X\n command Return from Include Script\n");
    const container::Container c =
        ReadContainer(JoinItems(CompileSourceFile(dir_ / "main.vms", SourceOptions{1})));
    ASSERT_EQ(c.CommandCount(), 5u);
    EXPECT_EQ(c.commandNames[2], L"Set Variable");
    EXPECT_EQ(c.includes, (std::vector<std::wstring>{L"0*0", L"RESULT*1", L"*2", L"*2", L"0*0"}));
    const std::wstring base = (dir_ / "inc").generic_wstring();
    EXPECT_EQ(c.sourcePositions[1], base + L"/first.vms*1");
    EXPECT_EQ(c.sourcePositions[3], base + L"/second.vms*2");
    EXPECT_EQ(c.sourcePositions[4], (dir_ / "main.vms").generic_wstring() + L"*2");
}

TEST_F(BuilderFiles, IncludeCyclesAndHeaderItemsInIncludesAreRefused) {
    Write("main.vms", "include inc/loop.vms\n");
    Write("inc/loop.vms", "command If\ninclude loop.vms\n");
    try {
        CompileSourceFile(dir_ / "main.vms", {});
        ADD_FAILURE() << "an include of itself was accepted";
    } catch (const SourceError& e) {
        EXPECT_EQ(e.File(), (dir_ / "inc/loop.vms").generic_string());
        EXPECT_EQ(e.Line(), 2u);
    }
    Write("inc/loop.vms", "title Not here\n");
    EXPECT_THROW(CompileSourceFile(dir_ / "main.vms", {}), SourceError);
}

int RunBuilder(const std::string& args, const fs::path& errors) {
    const std::string command = std::string(VELMORA_BUILDER) + " " + args + " 2>" + errors.string() + " >/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(BuilderFiles, CommandLineRefusesABrokenScriptAndWritesNothing) {
    Write("bad.vms", "command If\n\nmedia-mode many\n");
    EXPECT_EQ(RunBuilder("compile " + (dir_ / "bad.vms").string() + " --output " + (dir_ / "out.bin").string(),
                         dir_ / "err.txt"),
              1);
    EXPECT_NE(Slurp(dir_ / "err.txt").find("bad.vms:3: 'media-mode' needs a decimal integer"), std::string::npos)
        << Slurp(dir_ / "err.txt");
    EXPECT_FALSE(fs::exists(dir_ / "out.bin"));
    EXPECT_EQ(RunBuilder("compile", dir_ / "err.txt"), 2);
}

TEST_F(BuilderFiles, CommandLineRefusesAScriptThatDoesNotCompile) {
    Write("main.vms", "command Comment\n\ncommand GoTo Label\n  | FINISH\n");
    EXPECT_EQ(RunBuilder("compile " + (dir_ / "main.vms").string() + " --output " + (dir_ / "out.bin").string(),
                         dir_ / "err.txt"),
              1);
    EXPECT_NE(Slurp(dir_ / "err.txt").find("main.vms:3: LABEL undefined: FINISH"), std::string::npos)
        << Slurp(dir_ / "err.txt");
    EXPECT_FALSE(fs::exists(dir_ / "out.bin"));
    Write("open.vms", "command While\n  | TARGETDIR\n  | 0\n  |\n  | FALSE\n");
    EXPECT_EQ(RunBuilder("compile " + (dir_ / "open.vms").string() + " --output " + (dir_ / "out.bin").string(),
                         dir_ / "err.txt"),
              1);
    EXPECT_NE(Slurp(dir_ / "err.txt").find("open.vms: at the end of the script: Insufficient WEND statements"),
              std::string::npos)
        << Slurp(dir_ / "err.txt");
}

TEST_F(BuilderFiles, CommandLineCompilesAndPrints) {
    Write("main.vms", kScript);
    ASSERT_EQ(RunBuilder("compile " + (dir_ / "main.vms").string() + " --seed 3 --output " + (dir_ / "c.bin").string(),
                         dir_ / "err.txt"),
              0)
        << Slurp(dir_ / "err.txt");
    const std::string printCommand = std::string(VELMORA_BUILDER) + " print " + (dir_ / "c.bin").string() + " > " +
                                     (dir_ / "printed.vms").string();
    ASSERT_EQ(std::system(printCommand.c_str()), 0);
    EXPECT_EQ(Compile(Slurp(dir_ / "printed.vms")), Slurp(dir_ / "c.bin"));
}

TEST(Assemble, RefusesWhatIsNotABareEngine) {
    EXPECT_THROW(AppendContainer("not an image", "x"), BuildError);
    // An image whose one section ends at 0x200, followed by 16 bytes that a
    // container (or anything else) left there.
    std::string image(0x200, '\0');
    image[0] = 'M', image[1] = 'Z', image[0x3C] = 0x40;
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    image[0x46] = 1;                                           // one section
    const std::size_t section = 0x44 + 244;
    image[section + 17] = 0x01;                                // raw size 0x100
    image[section + 21] = 0x01;                                // raw pointer 0x100
    EXPECT_EQ(AppendContainer(image, "x"), image + "x");
    try {
        AppendContainer(image + std::string(16, 'c'), "x");
        ADD_FAILURE() << "an engine with data after its image was accepted";
    } catch (const BuildError& e) {
        EXPECT_NE(std::string(e.what()).find("carries 16 bytes after its image"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace velmora::builder
