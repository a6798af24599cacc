// qox.lib through the engine's binding: create, list, test, extract and
// delete round trips, passwords, the overwrite answer, abort, hostile and
// damaged archives. Fixtures come from 7zz (tests/e2e/archive_fixtures.sh)
// or from the library's own CreateArchive.
#include "archive_test_support.hpp"

#include <algorithm>
#include <set>

namespace velmora {
namespace {

using testsupport::Library;
using testsupport::ReadFile;
using testsupport::ScratchFolder;
using testsupport::Targets;
using testsupport::Tree;
using testsupport::WriteFile;

const std::wstring kUnicodeName = L"\u00DCn\u00EFc\u00F8d\u00E9 \u2713 \u65E5\u672C.txt";
// Level 2 with header encryption on two processors, as the engine builds it.
const wchar_t kLevel2Switches[] =
    L"-ssw -mhe=on -mmt=2 -ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 ";

void MakeSourceTree(const std::wstring& root) {
    WriteFile(root + L"readme.txt", "plain text\r\n");
    WriteFile(root + kUnicodeName, "caf\xC3\xA9");
    std::string random(70000, '\0');
    unsigned seed = 12345;
    for (char& c : random) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    ::CreateDirectoryW((root + L"sub").c_str(), nullptr);
    WriteFile(root + L"sub\\random.bin", random);
    WriteFile(root + L"sub\\empty.txt", "");
}

std::set<std::wstring> ListNames(const std::wstring& archive, const std::wstring& password, DWORD* error) {
    const auto& lib = Library();
    const qox::ListItem* items = nullptr;
    DWORD count = 0;
    void* handle = lib.OpenListArchive(archive.c_str(), 0, nullptr, 0, 0, 0, password.c_str(), &items, &count);
    *error = handle == nullptr ? lib.GetLastArchiveError() : 0;
    std::set<std::wstring> names;
    if (handle == nullptr) return names;
    for (DWORD i = 0; i < count; ++i) names.insert(items[i].path);
    EXPECT_TRUE(lib.CloseListArchive(handle));
    return names;
}

// Extracts every item; returns 0 or the library's code.
DWORD ExtractAll(const std::wstring& archive, const std::wstring& destination, const std::wstring& password,
                 DWORD pathFlag = qox::kKeepPaths, qox::ProgressCallback progress = nullptr,
                 qox::OverwriteCallback overwrite = nullptr) {
    const auto& lib = Library();
    return lib.ExtractArchive(archive.c_str(), qox::kExtractAll, destination.c_str(), nullptr, pathFlag,
                              password.c_str(), nullptr, progress, nullptr, overwrite)
               ? 0
               : lib.GetLastArchiveError();
}

DWORD Create(const std::wstring& archive, const std::vector<std::wstring>& includes, const wchar_t* switches,
             const std::wstring& password, DWORD modeCode = 6, DWORD pathMode = qox::kPathRelative,
             const std::vector<std::wstring>& excludes = {}) {
    const auto& lib = Library();
    Targets in(includes), out(excludes);
    return lib.CreateArchive(archive.c_str(), modeCode, in.get(), out.get(), pathMode, switches, password.c_str(),
                             nullptr, nullptr, 0)
               ? 0
               : lib.GetLastArchiveError();
}

TEST(ArchiveLibrary, CreateListTestExtractDeleteRoundTrip) {
    ScratchFolder scratch;
    MakeSourceTree(scratch / L"src\\");
    const std::wstring archive = scratch / L"round.7z";
    ASSERT_EQ(Create(archive, {scratch / L"src\\*"}, kLevel2Switches, L""), 0u);

    DWORD error = 0;
    EXPECT_EQ(ListNames(archive, L"", &error),
              (std::set<std::wstring>{L"readme.txt", kUnicodeName, L"sub", L"sub\\random.bin", L"sub\\empty.txt"}));
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(Library().TestArchive(archive.c_str(), 0, 0, 0, 0, L"", nullptr, nullptr));

    ASSERT_EQ(ExtractAll(archive, scratch / L"out", L""), 0u);
    EXPECT_EQ(Tree(scratch / L"out\\"), Tree(scratch / L"src\\"));

    const Targets doomed({L"sub"});
    ASSERT_TRUE(Library().DeleteFromArchive(archive.c_str(), 1, doomed.get(), 0, 0, 0, L"", nullptr, nullptr, nullptr))
        << Library().GetLastArchiveError();
    EXPECT_EQ(ListNames(archive, L"", &error), (std::set<std::wstring>{L"readme.txt", kUnicodeName}));
    ASSERT_EQ(ExtractAll(archive, scratch / L"again", L""), 0u);
    EXPECT_EQ(ReadFile(scratch / L"again\\readme.txt"), "plain text\r\n");
    EXPECT_FALSE(win::FolderExists(scratch / L"again\\sub"));

    // Deleting what is not there fails and leaves the archive as it was.
    const Targets missing({L"nothing-here.txt"});
    EXPECT_FALSE(Library().DeleteFromArchive(archive.c_str(), 1, missing.get(), 0, 0, 0, L"", nullptr, nullptr, nullptr));
    EXPECT_EQ(Library().GetLastArchiveError(), static_cast<DWORD>(qox::kItemNotFound));
    EXPECT_EQ(ListNames(archive, L"", &error).size(), 2u);
}

TEST(ArchiveLibrary, AddingToAnArchiveKeepsItsItemsAndReplacesSameNames) {
    ScratchFolder scratch;
    WriteFile(scratch / L"a\\one.txt", "one");
    WriteFile(scratch / L"b\\one.txt", "new one");
    WriteFile(scratch / L"b\\two.txt", "two");
    const std::wstring archive = scratch / L"add.7z";
    ASSERT_EQ(Create(archive, {scratch / L"a\\*"}, L"", L""), 0u);
    ASSERT_EQ(Create(archive, {scratch / L"b\\*"}, L"", L""), 0u);
    ASSERT_EQ(ExtractAll(archive, scratch / L"out", L""), 0u);
    EXPECT_EQ(Tree(scratch / L"out\\"),
              (std::map<std::wstring, std::string>{{L"one.txt", "new one"}, {L"two.txt", "two"}}));
}

TEST(ArchiveLibrary, PathModesAndExcludes) {
    ScratchFolder scratch;
    WriteFile(scratch / L"src\\bin\\a.dll", "a");
    WriteFile(scratch / L"src\\bin\\b.txt", "b");
    WriteFile(scratch / L"src\\bin\\skip.dll", "s");
    struct Case {
        DWORD mode;
        std::set<std::wstring> names;
    };
    const std::wstring full = (scratch / L"src\\bin\\").substr(3);  // without "C:\"
    for (const Case& c : {Case{qox::kPathRelative, {L"a.dll"}}, Case{qox::kPathWithFolder, {L"bin\\a.dll"}},
                          Case{qox::kPathFull, {full + L"a.dll"}}}) {
        const std::wstring archive = scratch / (L"mode" + text::ToDecimal(c.mode) + L".7z");
        ASSERT_EQ(Create(archive, {scratch / L"src\\bin\\*.dll"}, L"", L"", 6, c.mode, {scratch / L"src\\bin\\skip.*"}),
                  0u)
            << "path mode " << c.mode;
        DWORD error = 0;
        EXPECT_EQ(ListNames(archive, L"", &error), c.names) << "path mode " << c.mode;
    }
}

TEST(ArchiveLibrary, EncryptedHeadersNeedTheRightPassword) {
    ScratchFolder scratch;
    MakeSourceTree(scratch / L"src\\");
    const std::wstring archive = scratch / L"secret.7z";
    ASSERT_EQ(Create(archive, {scratch / L"src\\*"}, kLevel2Switches, L"Pa\u00DFwort"), 0u);
    // With encrypted headers a wrong password makes the open fail (7z.dll's S_FALSE).
    for (const std::wstring& wrong : {std::wstring(), std::wstring(L"wrong")}) {
        DWORD error = 0;
        EXPECT_TRUE(ListNames(archive, wrong, &error).empty());
        EXPECT_EQ(error, static_cast<DWORD>(qox::kCannotOpen)) << "password '" << text::ToUtf8(wrong) << "'";
        EXPECT_EQ(ExtractAll(archive, scratch / L"bad", wrong), static_cast<DWORD>(qox::kCannotOpen));
    }
    EXPECT_FALSE(win::FolderExists(scratch / L"bad"));
    ASSERT_EQ(ExtractAll(archive, scratch / L"out", L"Pa\u00DFwort"), 0u);
    EXPECT_EQ(Tree(scratch / L"out\\"), Tree(scratch / L"src\\"));
}

int g_asked = 0;
BOOL WINAPI GiveSecret(wchar_t* buffer) {
    ++g_asked;
    wcscpy(buffer, L"Secret pa55");
    return TRUE;
}

// The password callback is asked once per call, and its answer serves both the open and the data.
TEST(ArchiveLibrary, PasswordComesFromTheCallbackOnce) {
    const std::wstring fixtures = testsupport::Fixtures();
    if (fixtures.empty()) GTEST_SKIP() << "VELMORA_TEST_ARCHIVES is not set (run through ctest)";
    ScratchFolder scratch;
    g_asked = 0;
    const auto& lib = Library();
    ASSERT_TRUE(lib.ExtractArchive((fixtures + L"aes-headers.7z").c_str(), qox::kExtractAll,
                                   (scratch / L"out").c_str(), nullptr, qox::kKeepPaths, L"", GiveSecret, nullptr,
                                   nullptr, nullptr))
        << lib.GetLastArchiveError();
    EXPECT_EQ(g_asked, 1);
    EXPECT_EQ(Tree(scratch / L"out\\"), Tree(fixtures + L"tree\\"));
}

// Made by 7zz: LZMA2 and AES-256 with encrypted headers read back byte for
// byte, Unicode names included; a wrong password without header encryption
// opens, but its data fails: the same "cannot open" code, nothing left behind.
TEST(ArchiveLibrary, ArchivesMadeBy7zzExtractByteIdentically) {
    const std::wstring fixtures = testsupport::Fixtures();
    if (fixtures.empty()) GTEST_SKIP() << "VELMORA_TEST_ARCHIVES is not set (run through ctest)";
    const auto expected = Tree(fixtures + L"tree\\");
    ASSERT_EQ(expected.count(kUnicodeName), 1u);
    struct Case {
        const wchar_t* archive;
        const wchar_t* password;
    };
    for (const Case& c : {Case{L"lzma2.7z", L""}, Case{L"aes-headers.7z", L"Secret pa55"},
                          Case{L"aes-data.7z", L"Secret pa55"}}) {
        ScratchFolder scratch;
        EXPECT_EQ(ExtractAll(fixtures + c.archive, scratch / L"out", c.password), 0u) << text::ToUtf8(c.archive);
        EXPECT_EQ(Tree(scratch / L"out\\"), expected) << text::ToUtf8(c.archive);
        EXPECT_TRUE(Library().TestArchive((fixtures + c.archive).c_str(), 0, 0, 0, 0, c.password, nullptr, nullptr))
            << text::ToUtf8(c.archive);
    }

    ScratchFolder scratch;
    DWORD error = 0;
    EXPECT_EQ(ListNames(fixtures + L"aes-data.7z", L"", &error).size(), expected.size() + 2);  // two folders
    EXPECT_EQ(ExtractAll(fixtures + L"aes-data.7z", scratch / L"out", L"wrong"), static_cast<DWORD>(qox::kCannotOpen));
    // Only what holds no encrypted data (the empty file) comes out; no half-decoded file stays.
    EXPECT_EQ(Tree(scratch / L"out\\"), (std::map<std::wstring, std::string>{{L"sub\\empty.txt", ""}}));
    EXPECT_FALSE(Library().TestArchive((fixtures + L"aes-data.7z").c_str(), 0, 0, 0, 0, L"wrong", nullptr, nullptr));
    EXPECT_EQ(Library().GetLastArchiveError(), static_cast<DWORD>(qox::kCannotOpen));
}

DWORD WINAPI Keep(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) { return 1; }
DWORD WINAPI Replace(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) { return 4; }

TEST(ArchiveLibrary, OverwriteAnswerKeepsOrReplacesExistingFiles) {
    ScratchFolder scratch;
    WriteFile(scratch / L"src\\file.txt", "from the archive");
    const std::wstring archive = scratch / L"ow.7z";
    ASSERT_EQ(Create(archive, {scratch / L"src\\*"}, L"", L""), 0u);
    struct Case {
        qox::OverwriteCallback answer;
        const char* expected;
    };
    for (const Case& c : {Case{Keep, "already here"}, Case{Replace, "from the archive"}}) {
        WriteFile(scratch / L"out\\file.txt", "already here");
        EXPECT_EQ(ExtractAll(archive, scratch / L"out", L"", qox::kKeepPaths, nullptr, c.answer), 0u);
        EXPECT_EQ(ReadFile(scratch / L"out\\file.txt"), c.expected);
    }
}

int g_calls = 0;
BOOL WINAPI StopAtOnce(const wchar_t*, std::uint64_t, std::uint64_t) { return ++g_calls < 2; }
std::vector<std::wstring> g_seen;
BOOL WINAPI Record(const wchar_t* item, std::uint64_t done, std::uint64_t total) {
    g_seen.push_back(item);
    return done <= total;
}

TEST(ArchiveLibrary, ProgressAbortStopsAndReports) {
    ScratchFolder scratch;
    for (int i = 0; i < 5; ++i) {
        WriteFile(scratch / (L"src\\f" + text::ToDecimal(i) + L".bin"), std::string(200000, static_cast<char>('a' + i)));
    }
    const std::wstring archive = scratch / L"abort.7z";
    ASSERT_EQ(Create(archive, {scratch / L"src\\*"}, L"-ms=off", L""), 0u);
    g_calls = 0;
    EXPECT_EQ(ExtractAll(archive, scratch / L"out", L"", qox::kKeepPaths, StopAtOnce),
              static_cast<DWORD>(qox::kAborted));
    EXPECT_GE(g_calls, 2);
    EXPECT_LT(Tree(scratch / L"out\\").size(), 5u) << "the abort stopped the extraction";

    g_seen.clear();
    EXPECT_EQ(ExtractAll(archive, scratch / L"all", L"", qox::kKeepPaths, Record), 0u);
    EXPECT_NE(std::find(g_seen.begin(), g_seen.end(), L"f4.bin"), g_seen.end());
}

TEST(ArchiveLibrary, ExtractWithoutPathsFlattensFolders) {
    ScratchFolder scratch;
    WriteFile(scratch / L"src\\top.txt", "top");
    WriteFile(scratch / L"src\\a\\b\\deep.txt", "deep");
    const std::wstring archive = scratch / L"flat.7z";
    ASSERT_EQ(Create(archive, {scratch / L"src\\*"}, L"", L""), 0u);
    ASSERT_EQ(ExtractAll(archive, scratch / L"out", L"", qox::kNoPaths), 0u);
    EXPECT_EQ(Tree(scratch / L"out\\"),
              (std::map<std::wstring, std::string>{{L"deep.txt", "deep"}, {L"top.txt", "top"}}));

    // The listed items only, a folder taking its contents along.
    const Targets only({L"a"});
    ASSERT_TRUE(Library().ExtractArchive(archive.c_str(), qox::kExtractListed, (scratch / L"some").c_str(), only.get(),
                                         qox::kKeepPaths, L"", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(Tree(scratch / L"some\\"), (std::map<std::wstring, std::string>{{L"a\\b\\deep.txt", "deep"}}));
    const Targets absent({L"nope.txt"});
    EXPECT_FALSE(Library().ExtractArchive(archive.c_str(), qox::kExtractListed, (scratch / L"none").c_str(),
                                          absent.get(), qox::kKeepPaths, L"", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(Library().GetLastArchiveError(), static_cast<DWORD>(qox::kItemNotFound));
}

// Items named to land outside the destination: the extraction fails with
// the unsafe-path code and writes nothing, outside or inside.
TEST(ArchiveLibrary, HostileItemNamesWriteNothing) {
    const std::wstring fixtures = testsupport::Fixtures();
    if (fixtures.empty()) GTEST_SKIP() << "VELMORA_TEST_ARCHIVES is not set (run through ctest)";
    const int count = std::stoi(ReadFile(fixtures + L"hostile-count"));
    ASSERT_GE(count, 7);
    for (int n = 1; n <= count; ++n) {
        const std::wstring archive = fixtures + L"hostile-" + text::ToDecimal(n) + L".7z";
        DWORD error = 0;
        std::wstring name;
        for (const auto& item : ListNames(archive, L"", &error)) {
            if (item != L"good.txt") name = item;
        }
        for (DWORD pathFlag : {qox::kKeepPaths, qox::kNoPaths}) {
            ScratchFolder scratch;
            EXPECT_EQ(ExtractAll(archive, scratch / L"dest\\inner", L"", pathFlag), static_cast<DWORD>(qox::kUnsafePath))
                << "item '" << text::ToUtf8(name) << "', path flag " << pathFlag;
            EXPECT_TRUE(Tree(scratch.path()).empty()) << "item '" << text::ToUtf8(name) << "'";
        }
    }
    EXPECT_FALSE(win::FileExists(L"C:\\evil.txt"));
    EXPECT_FALSE(win::FileExists(L"Z:\\tmp\\evil-abs.tx"));
}

TEST(ArchiveLibrary, DamagedArchivesGiveCodes) {
    const std::wstring fixtures = testsupport::Fixtures();
    if (fixtures.empty()) GTEST_SKIP() << "VELMORA_TEST_ARCHIVES is not set (run through ctest)";
    struct Case {
        const wchar_t* archive;
        std::vector<DWORD> codes;
    };
    for (const Case& c : {Case{L"damaged.7z", {qox::kDataError}},
                          Case{L"truncated.7z", {qox::kCannotOpen, qox::kDataError}},
                          Case{L"garbage.7z", {qox::kCannotOpen}}, Case{L"missing.7z", {qox::kCannotReadArchive}}}) {
        ScratchFolder scratch;
        const DWORD extract = ExtractAll(fixtures + c.archive, scratch / L"out", L"");
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), extract), c.codes.end())
            << text::ToUtf8(c.archive) << " extract gave " << extract;
        EXPECT_FALSE(Library().TestArchive((fixtures + c.archive).c_str(), 0, 0, 0, 0, L"", nullptr, nullptr));
        const DWORD test = Library().GetLastArchiveError();
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), test), c.codes.end())
            << text::ToUtf8(c.archive) << " test gave " << test;
        for (const auto& [name, bytes] : Tree(scratch / L"out\\")) {
            // Whatever came out whole matches the source; nothing damaged stays.
            EXPECT_EQ(bytes, ReadFile(fixtures + L"tree\\" + name)) << text::ToUtf8(name);
        }
    }
}

// Every switch string the engine builds for levels 0 to 4 (5 and 6 share
// level 4's), with and without header encryption, gives an archive that reads back.
TEST(ArchiveLibrary, EngineSwitchStringsAreAccepted) {
    ScratchFolder scratch;
    MakeSourceTree(scratch / L"src\\");
    const std::wstring tail =
        L"-m2=LZMA2 -m2d=20 -m2mf=bt4 -m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 ";
    struct Case {
        DWORD modeCode;
        std::wstring threads;
        std::wstring methods;
    };
    const Case cases[] = {
        {0, L"-mmt=2 ", L"-ms=off -mhc=off -m0=None -m0=Copy "},
        {5, L"-mmt=2 ", L"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=hc4 -m1fb=64 "},
        {4, L"-mmt=off ", L"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=23 -m1mf=bt4 -m1fb=64 "},
        {6, L"-mmt=3 ", L"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=25 -m1mf=bt4 -m1fb=64 " + tail},
        {130, L"-mmt=2 ", L"-ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=26 -m1mf=bt4 -m1fb=64 " + tail},
    };
    int n = 0;
    for (const Case& c : cases) {
        for (const wchar_t* he : {L"-mhe=on ", L"-mhe=off "}) {
            const std::wstring switches = L"-ssw " + std::wstring(he) + c.threads + c.methods;
            const std::wstring archive = scratch / (L"level" + text::ToDecimal(++n) + L".7z");
            // Small inputs shrink the dictionaries, so even level 4 fits this 32-bit process.
            ASSERT_EQ(Create(archive, {scratch / L"src\\*"}, switches.c_str(), L"pw", c.modeCode), 0u)
                << text::ToUtf8(switches);
            const std::wstring out = scratch / (L"out" + text::ToDecimal(n));
            ASSERT_EQ(ExtractAll(archive, out, L"pw"), 0u) << text::ToUtf8(switches);
            EXPECT_EQ(Tree(out + L"\\"), Tree(scratch / L"src\\")) << text::ToUtf8(switches);
        }
    }
    EXPECT_EQ(Create(scratch / L"bad.7z", {scratch / L"src\\*"}, L"-xyz", L""), static_cast<DWORD>(qox::kInvalidSwitch));
    EXPECT_EQ(Create(scratch / L"bad.7z", {scratch / L"src\\*"}, L"-m0=NoSuchMethod", L""),
              static_cast<DWORD>(qox::kInvalidSwitch));
    EXPECT_EQ(Create(scratch / L"bad.7z", {scratch / L"src\\*"}, L"", L"", 77), static_cast<DWORD>(qox::kInvalidSwitch));
    EXPECT_EQ(Create(scratch / L"bad.7z", {scratch / L"src\\*.none"}, L"", L""), static_cast<DWORD>(qox::kNothingToAdd));
    EXPECT_FALSE(win::FileExists(scratch / L"bad.7z"));
}

}  // namespace
}  // namespace velmora
