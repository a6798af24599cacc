// The engine's extraction routine over qox.lib: the request, the error
// texts, the working-set retry after "#1018" and the second process that
// takes over when the retry fails too (driven through the test seams).
#include "archive_test_support.hpp"
#include "media/extract.hpp"

namespace velmora {
namespace {

using testsupport::Library;
using testsupport::ReadFile;
using testsupport::ScratchFolder;
using testsupport::Targets;
using testsupport::Tree;
using testsupport::WriteFile;

// The source tree and an archive of it, made by the library itself.
struct Fixture {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"media.7z";
    Fixture(const std::wstring& password = L"") {
        WriteFile(scratch / L"src\\one.txt", "one");
        WriteFile(scratch / L"src\\folder\\two.txt", "two");
        WriteFile(scratch / L"src\\folder\\\u00E9t\u00E9.txt", "\xC3\xA9t\xC3\xA9");
        const Targets in({scratch / L"src\\*"});
        const bool ok = Library().CreateArchive(archive.c_str(), 6, in.get(), nullptr, 0,
                                                password.empty() ? L"" : L"-mhe=on", password.c_str(), nullptr,
                                                nullptr, 0);
        EXPECT_TRUE(ok) << Library().GetLastArchiveError();
    }
    media::ExtractRequest Request(const std::wstring& destination) const {
        media::ExtractRequest r;
        r.archive = archive;
        r.destination = scratch / destination;
        return r;
    }
};

// Files in the temporary folder named like the extractor's parameter files.
int ParameterFilesInTemp() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((std::wstring(temp, n) + L"{*}*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do ++count;
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return count;
}

class ArchiveExtract : public ::testing::Test {
protected:
    void SetUp() override {
        Library();
        media::testing::SetExtractorProgram(testsupport::FromUnix(VELMORA_ENGINE));
    }
    void TearDown() override { media::testing::ForceOutOfMemory(0); }
};

TEST_F(ArchiveExtract, ExtractsEverythingWithProgress) {
    Fixture f;
    auto request = f.Request(L"out");
    int reports = 0;
    request.progress = [&](const std::wstring&, std::uint64_t done, std::uint64_t total) {
        ++reports;
        return done <= total;
    };
    EXPECT_EQ(media::ExtractArchive(request), L"");
    EXPECT_EQ(Tree(f.scratch / L"out\\"), Tree(f.scratch / L"src\\"));
    EXPECT_GT(reports, 0);

    request.progress = [](const std::wstring&, std::uint64_t, std::uint64_t) { return false; };
    EXPECT_EQ(media::ExtractArchive(request), L"#1008");
    request.progress = [](const std::wstring&, std::uint64_t, std::uint64_t) -> bool { throw std::runtime_error("x"); };
    EXPECT_EQ(media::ExtractArchive(request), L"#1008") << "an exception in the callback stops the work";
}

TEST_F(ArchiveExtract, FailuresAreHashCodes) {
    Fixture f(L"right");
    auto request = f.Request(L"out");
    request.password = L"wrong";
    EXPECT_EQ(media::ExtractArchive(request), L"#1004");
    request.password = L"right";
    EXPECT_EQ(media::ExtractArchive(request), L"");
    request.archive = f.scratch / L"missing.7z";
    EXPECT_EQ(media::ExtractArchive(request), L"#1003");
}

TEST_F(ArchiveExtract, OverwriteFlagAndKeepPaths) {
    Fixture f;
    WriteFile(f.scratch / L"out\\one.txt", "mine");
    auto request = f.Request(L"out");
    request.overwrite = false;
    request.keepPaths = false;
    EXPECT_EQ(media::ExtractArchive(request), L"");
    EXPECT_EQ(ReadFile(f.scratch / L"out\\one.txt"), "mine");
    EXPECT_EQ(ReadFile(f.scratch / L"out\\two.txt"), "two");
    EXPECT_FALSE(win::FolderExists(f.scratch / L"out\\folder"));
    request.overwrite = true;
    EXPECT_EQ(media::ExtractArchive(request), L"");
    EXPECT_EQ(ReadFile(f.scratch / L"out\\one.txt"), "one");
}

TEST_F(ArchiveExtract, OutOfMemoryOnceIsRetriedInProcess) {
    Fixture f;
    media::testing::ForceOutOfMemory(1);
    EXPECT_EQ(media::ExtractArchive(f.Request(L"out")), L"");
    EXPECT_EQ(Tree(f.scratch / L"out\\"), Tree(f.scratch / L"src\\"));
}

// Twice out of memory: the engine (setup.exe of the build tree) extracts in
// a second process, reading the request from the parameter file.
TEST_F(ArchiveExtract, OutOfMemoryTwiceMovesToASecondProcess) {
    Fixture f(L"p\u00E4ss");
    const int before = ParameterFilesInTemp();

    media::testing::ForceOutOfMemory(2);
    auto request = f.Request(L"all");
    request.password = L"p\u00E4ss";
    EXPECT_EQ(media::ExtractArchive(request), L"");
    EXPECT_EQ(Tree(f.scratch / L"all\\"), Tree(f.scratch / L"src\\"));

    media::testing::ForceOutOfMemory(2);
    request = f.Request(L"some");
    request.password = L"p\u00E4ss";
    request.items = {L"folder\\\u00E9t\u00E9.txt"};
    EXPECT_EQ(media::ExtractArchive(request), L"");
    EXPECT_EQ(Tree(f.scratch / L"some\\"),
              (std::map<std::wstring, std::string>{{L"folder\\\u00E9t\u00E9.txt", "\xC3\xA9t\xC3\xA9"}}));

    // The second process's own failure comes back as its error text.
    media::testing::ForceOutOfMemory(2);
    request = f.Request(L"none");
    request.password = L"wrong";
    EXPECT_EQ(media::ExtractArchive(request), L"#1004");

    EXPECT_EQ(ParameterFilesInTemp(), before) << "parameter and item files are deleted";
}

TEST_F(ArchiveExtract, ASecondProcessThatFailsGives1016) {
    Fixture f;
    media::testing::SetExtractorProgram(f.scratch / L"no-such-engine.exe");
    media::testing::ForceOutOfMemory(2);
    EXPECT_EQ(media::ExtractArchive(f.Request(L"out")), L"#1016");
}

}  // namespace
}  // namespace velmora
