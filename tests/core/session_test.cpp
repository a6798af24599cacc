#include "core/text.hpp"
#include "startup/session.hpp"
#include "startup/trace.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string FileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Utf16(std::wstring_view lines) { return text::ToUtf16Le(lines); }

class TraceLog : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTrace();
        folder_ = fs::temp_directory_path() / ("velmora-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        ResetTrace();
        fs::remove_all(folder_);
    }
    fs::path folder_;
};

TEST_F(TraceLog, NoPathMeansNoFile) {
    Trace(L"<Velmora>");
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(TraceLog, Utf16WithoutByteOrderMarkAndFirstWriteTruncates) {
    const fs::path log = folder_ / "setup.txt";
    std::ofstream(log, std::ios::binary) << "old contents of an earlier run";
    SetTracePath(log.wstring());
    Trace(L"<Velmora>");
    Trace(L"    <SupportDir>\u00E9");
    EXPECT_EQ(FileBytes(log), Utf16(L"<Velmora>\r\n    <SupportDir>\u00E9\r\n"));
}

TEST_F(TraceLog, StartsMidRunAndLosesLinesForAMissingFile) {
    const fs::path first = folder_ / "first.log";
    const fs::path missing = folder_ / "missing.log";
    const fs::path existing = folder_ / "existing.log";
    Trace(L"before any path");
    // The script sets LOGGED in the middle of the run: a new file from there on.
    SetTracePath(first.wstring());
    Trace(L"a");
    // A later path that does not exist loses its lines silently...
    SetTracePath(missing.wstring());
    Trace(L"lost");
    EXPECT_FALSE(fs::exists(missing));
    // ...and one that exists gets them appended, not truncated.
    std::ofstream(existing, std::ios::binary) << "kept";
    SetTracePath(existing.wstring());
    Trace(L"b");
    EXPECT_EQ(FileBytes(first), Utf16(L"a\r\n"));
    EXPECT_EQ(FileBytes(existing), "kept" + Utf16(L"b\r\n"));
}

TEST_F(TraceLog, LinesFromManyThreadsStayWhole) {
    const fs::path log = folder_ / "threads.log";
    SetTracePath(log.wstring());
    Trace(L"start");
    constexpr int kThreads = 4, kLines = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) Trace(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i));
        });
    }
    for (auto& t : threads) t.join();
    const std::string bytes = FileBytes(log);
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    std::wistringstream lines(text);
    std::wstring line;
    int count = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), L'\r');
        line.pop_back();
        EXPECT_TRUE(line == L"start" || line.rfind(L"thread ", 0) == 0) << text::ToUtf8(line);
        ++count;
    }
    EXPECT_EQ(count, 1 + kThreads * kLines);
}

TEST(MessageCaption, TitleAndLogoFlag) {
    ResetSession();
    EXPECT_EQ(MessageCaption(), L"Velmora Wizard");
    TheSession().captionTitle = L"Sample";
    EXPECT_EQ(MessageCaption(), L"Sample - Velmora Wizard");
    TheSession().captionLogo = true;
    EXPECT_EQ(MessageCaption(), L"Sample");
    TheSession().captionTitle.clear();
    EXPECT_EQ(MessageCaption(), L"");
    ResetSession();
    EXPECT_EQ(MessageCaption(), L"Velmora Wizard");
}

}  // namespace
}  // namespace velmora
