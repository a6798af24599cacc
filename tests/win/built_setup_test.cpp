// The Windows-built reader reads back a setup that setup-builder made.
#include "container/container.hpp"
#include "container/image.hpp"
#include "core/text.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velmora::container {
namespace {

// The end-to-end run leaves its setups here (a Unix path, seen through Z:).
std::string SetupsFolder() {
    const char* unix = std::getenv("VELMORA_TEST_SETUPS");
    if (unix == nullptr) return {};
    std::string path = std::string("Z:") + unix;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

TEST(BuiltSetup, ReaderReadsTheContainerBackUnderWindows) {
    const std::string folder = SetupsFolder();
    if (folder.empty()) GTEST_SKIP() << "VELMORA_TEST_SETUPS is not set (run through ctest)";
    std::ifstream in(folder + "\\basic\\setup.exe", std::ios::binary);
    ASSERT_TRUE(in) << folder << "\\basic\\setup.exe";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string file = bytes.str();
    const auto stub = ImageEnd(file);
    ASSERT_TRUE(stub);
    ASSERT_LT(*stub, file.size());
    const Container c = ReadContainer(std::string_view(file).substr(static_cast<std::size_t>(*stub)));
    EXPECT_EQ(c.title, L"Sample Product");
    EXPECT_EQ(c.version, L"1.2.3.4");
    ASSERT_EQ(c.CommandCount(), 4u);
    EXPECT_TRUE(c.IsCommentedOut(0));
    EXPECT_EQ(c.commandNames[2], L"Caf\u00E9 \u00DCn\u00EFcode");
    EXPECT_EQ(c.Parameter(1, 1), L"TARGETDIR$VORP$VORP$FALSE");
    EXPECT_EQ(c.Parameter(1, 2), L"$PROGRAMFILES$\\Sample");
    EXPECT_EQ(c.Parameter(1, 3), L"$");
    EXPECT_EQ(c.settings, (std::vector<std::wstring>{L"NATIVE_ENGINE", L"TRUE"}));
    EXPECT_EQ(c.sourcePositions[1].substr(c.sourcePositions[1].size() - 3), L"*11");
}

}  // namespace
}  // namespace velmora::container
