// The system queries against what Wine itself reports, in the build tree's
// 64-bit prefix (Windows 7 by default; the user is an elevated administrator).
#include "sysinfo/sysinfo.hpp"

#include "core/text.hpp"
#include "win/file.hpp"
#include "win/registry.hpp"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace velmora::sysinfo {
namespace {

std::string Narrow(const std::wstring& text) { return text::ToUtf8(text); }

// The system's own membership test (enabled groups only, which under Wine
// is every group of the token).
bool SystemSaysMember(BuiltinGroup group) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, static_cast<DWORD>(group), 0, 0, 0, 0, 0,
                                    0, &sid)) {
        ADD_FAILURE() << "AllocateAndInitializeSid";
        return false;
    }
    BOOL member = FALSE;
    const BOOL ok = ::CheckTokenMembership(nullptr, sid, &member);
    ::FreeSid(sid);
    EXPECT_TRUE(ok);
    return member != FALSE;
}

// A Linux file as text, read through Wine's Z: drive ("" when unreadable).
std::string LinuxFileLine(const char* path) {
    std::ifstream in(std::string("Z:") + path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

TEST(SysInfoVersion, TheDefaultPrefixIsSevenServicePack1) {
    const OsVersion os = QueryOsVersion();
    EXPECT_EQ(os.platformId, kPlatformNt);
    EXPECT_EQ(os.major, 6u);
    EXPECT_EQ(os.minor, 1u);
    EXPECT_EQ(os.build, 7601u);
    EXPECT_EQ(os.servicePack, L"Service Pack 1");
    EXPECT_EQ(os.productType, kProductWorkstation);
    EXPECT_EQ(OSLevelName(), L"SEVEN");
    EXPECT_EQ(ServicePackLevel(), 1);
    EXPECT_FALSE(IsServer());
    EXPECT_FALSE(IsLaterTen());
}

TEST(SysInfoVersion, Update1FollowsTheBuildLabValue) {
    const auto lab = win::ReadStringValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                          L"BuildLabEx");
    EXPECT_EQ(IsUpdate1(), lab && IsUpdate1BuildLab(*lab)) << (lab ? Narrow(*lab) : "no BuildLabEx");
}

TEST(SysInfoPlatform, ThirtyTwoBitEngineOnSixtyFourBitWindows) {
    EXPECT_TRUE(IsWindows64());
    EXPECT_EQ(ProcessorArchitecture(), L"AMD64");
    EXPECT_GE(ProcessorCount(), 1);
    EXPECT_EQ(static_cast<unsigned>(ProcessorCount()), std::thread::hardware_concurrency());
    EXPECT_FALSE(IsTabletPC());
    EXPECT_FALSE(IsMediaCenter());
}

TEST(SysInfoUser, GroupsAndElevationAgreeWithTheToken) {
    const BuiltinGroup groups[] = {BuiltinGroup::Administrators, BuiltinGroup::Users, BuiltinGroup::Guests,
                                   BuiltinGroup::PowerUsers};
    for (const BuiltinGroup g : groups) {
        EXPECT_EQ(IsGroupMember(g), SystemSaysMember(g)) << "group " << static_cast<unsigned>(g);
    }
    EXPECT_TRUE(IsGroupMember(BuiltinGroup::Administrators));
    EXPECT_TRUE(IsElevated());
    EXPECT_TRUE(IsAdmin());
    EXPECT_EQ(UserRights(), L"ADMIN");
}

TEST(SysInfoUser, AnImpersonatingThreadIsAskedThroughItsOwnToken) {
    ASSERT_TRUE(::ImpersonateSelf(SecurityImpersonation));
    HANDLE token = nullptr;
    const bool hasThreadToken = ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    if (token != nullptr) ::CloseHandle(token);
    const bool member = IsGroupMember(BuiltinGroup::Administrators);
    ::RevertToSelf();
    EXPECT_TRUE(hasThreadToken);
    EXPECT_TRUE(member);
}

TEST(SysInfoUser, NamesMatchTheSystem) {
    wchar_t user[257] = {};
    DWORD size = static_cast<DWORD>(std::size(user));
    ASSERT_TRUE(::GetUserNameW(user, &size));
    EXPECT_EQ(UserName(), user);
    EXPECT_FALSE(UserDomain().empty());
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    size = static_cast<DWORD>(std::size(computer));
    ASSERT_TRUE(::GetComputerNameExW(ComputerNameNetBIOS, computer, &size));
    EXPECT_EQ(ComputerName(), computer);
}

TEST(SysInfoUser, RegisteredOwnerAndOrganisationComeFromTheRegistry) {
    // Through the other registry API, so that the read helper is checked too.
    auto read = [](const wchar_t* name) {
        wchar_t value[512] = {};
        DWORD bytes = sizeof value;
        const LONG rc = ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name,
                                       RRF_RT_REG_SZ, nullptr, value, &bytes);
        return rc == ERROR_SUCCESS ? std::wstring(value) : std::wstring();
    };
    EXPECT_EQ(RegisteredOwner(), read(L"RegisteredOwner"));
    EXPECT_EQ(RegisteredOrganization(), read(L"RegisteredOrganization"));
}

TEST(SysInfoMachine, SystemLanguageIsTheFirstTranslationOfWinver) {
    const Language language = SystemLanguage();
    // Wine's winver.exe is marked US English (0x0409).
    EXPECT_EQ(language.id, 1033);
    wchar_t name[256] = {};
    ASSERT_GT(::VerLanguageNameW(1033, name, 256), 0u);
    EXPECT_EQ(language.name, name);
    EXPECT_FALSE(language.name.empty());
}

TEST(SysInfoMachine, DisplayOfTheScreenWithoutADisplay) {
    // Without an X display Wine's null driver reports a fixed 1024 x 768
    // screen at 96 pixels per inch and 32 bits per pixel.
    EXPECT_EQ(ScreenWidth(), 1024);
    EXPECT_EQ(ScreenHeight(), 768);
    EXPECT_EQ(ScreenDPI(), 96);
    EXPECT_EQ(ColorDepth(), 32);
}

TEST(SysInfoMachine, MemoryInMegabytesIsTheMachinesAndBytesAreCapped) {
    // Wine reports the Linux kernel's total memory.
    const std::string line = LinuxFileLine("/proc/meminfo");  // "MemTotal:  24683716 kB"
    const auto digits = line.find_first_of("0123456789");
    ASSERT_NE(digits, std::string::npos) << line;
    const std::uint64_t kilobytes = std::stoull(line.substr(digits));
    const std::uint64_t mb = TotalPhysicalMemoryMB();
    EXPECT_NEAR(static_cast<double>(mb), static_cast<double>(kilobytes) / 1024.0, 1.0) << line;
    // The classic query of a program that is not large-address aware stops below 2 GB.
    const std::uint64_t bytes = TotalPhysicalMemory();
    EXPECT_GT(bytes, 0u);
    EXPECT_LE(bytes, mb * 1048576 + 524288);
    EXPECT_LE(bytes, 0xFFFFFFFFull);
}

TEST(SysInfoMachine, VirtualMachineProbesFaultSafelyOnEveryThread) {
    // Under Wine both probe instructions fault; the answer is false and the
    // process carries on, on several threads at once.
    std::vector<std::thread> threads;
    std::vector<int> found(4, 0);
    for (std::size_t t = 0; t < found.size(); ++t) {
        threads.emplace_back([&found, t] {
            for (int i = 0; i < 50; ++i) found[t] += (IsVMware() ? 1 : 0) + (IsVirtualPC() ? 1 : 0);
        });
    }
    for (auto& t : threads) t.join();
    for (std::size_t t = 0; t < found.size(); ++t) EXPECT_EQ(found[t], 0) << "thread " << t;
}

// Exceptions raised while a probe's handler is registered reach the other
// handlers untouched.
constexpr DWORD kTestException = 0xE0564D58;
std::atomic<int> g_testExceptionsSeen{0};
LONG CALLBACK CountTestException(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != kTestException) return EXCEPTION_CONTINUE_SEARCH;
    ++g_testExceptionsSeen;
    return EXCEPTION_CONTINUE_EXECUTION;  // a continuable software exception resumes after RaiseException
}

TEST(SysInfoMachine, ProbeHandlerPassesOtherExceptionsOn) {
    void* handler = ::AddVectoredExceptionHandler(0, CountTestException);
    ASSERT_NE(handler, nullptr);
    g_testExceptionsSeen = 0;
    std::atomic<bool> stop{false};
    std::thread prober([&stop] {
        while (!stop) IsVMware();
    });
    for (int i = 0; i < 200; ++i) ::RaiseException(kTestException, 0, 0, nullptr);
    stop = true;
    prober.join();
    ::RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(g_testExceptionsSeen.load(), 200);
}

TEST(SysInfoMachine, BaseboardFromTheManagementService) {
    const std::wstring board = BaseboardText();
    // Wine cannot read the board's DMI files here and names its own stand-in board.
    EXPECT_EQ(board, L"Intel Corporation Base Board");
    EXPECT_FALSE(IsHyperV());
    EXPECT_TRUE(IsPhysicalMachine());
    // A thread already in the multithreaded apartment asks the same.
    std::wstring fromMta;
    std::thread([&fromMta] {
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        fromMta = BaseboardText();
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }).join();
    EXPECT_EQ(fromMta, board);
}

TEST(SysInfoMachine, SolidStateVolumeIsFalseWhereTheStorageStackCannotSay) {
    // Wine lists no disk extents for its volumes and does not answer the
    // seek-penalty query: the documented failure value.
    EXPECT_FALSE(IsSolidStateVolume(L"C:\\"));
    EXPECT_FALSE(IsSolidStateVolume(L"C:\\no such folder\\below\\"));
    EXPECT_FALSE(IsSolidStateVolume(L""));
    EXPECT_FALSE(IsSolidStateVolume(L"Q:\\not a drive\\"));
}

TEST(SysInfoSoftware, BrowserVersions) {
    // Wine's shdocvw.dll carries a version resource of its own.
    const DottedVersion dll = BrowserDllVersion();
    EXPECT_GE(dll[0], 4u) << Narrow(DottedVersionText(dll));
    const auto text = win::ReadStringValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version");
    ASSERT_TRUE(text);
    EXPECT_EQ(DottedVersionText(BrowserRegistryVersion()), *text);
}

// A scratch web-server key in the prefix's registry, removed at the end.
class WebServerKey : public ::testing::Test {
protected:
    static constexpr wchar_t kKey[] = L"SOFTWARE\\Microsoft\\InetStp";
    void SetUp() override { ASSERT_FALSE(win::KeyExists(HKEY_LOCAL_MACHINE, kKey)) << "the prefix has a web server"; }
    void TearDown() override { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey); }
};

TEST_F(WebServerKey, VersionIsMajorTimesTenPlusMinor) {
    EXPECT_FALSE(WebServerVersion().has_value());
    ASSERT_TRUE(win::WriteDwordValue(HKEY_LOCAL_MACHINE, kKey, L"MajorVersion", 7));
    ASSERT_TRUE(win::WriteDwordValue(HKEY_LOCAL_MACHINE, kKey, L"MinorVersion", 5));
    EXPECT_EQ(WebServerVersion(), 75);
    ASSERT_TRUE(win::WriteDwordValue(HKEY_LOCAL_MACHINE, kKey, L"MajorVersion", 10));
    ASSERT_TRUE(win::WriteDwordValue(HKEY_LOCAL_MACHINE, kKey, L"MinorVersion", 0));
    EXPECT_EQ(WebServerVersion(), 100);
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH + 1] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? std::wstring(value, n) : std::wstring();
}

TEST(SysInfoFolders, SystemFolders) {
    const std::wstring system = SystemFolder(), windows = WindowsFolder(), wow64 = Wow64SystemFolder();
    EXPECT_TRUE(text::SameText(windows, Environment(L"SystemRoot") + L"\\")) << Narrow(windows);
    EXPECT_TRUE(text::SameText(system, windows + L"system32\\")) << Narrow(system);
    EXPECT_TRUE(text::SameText(wow64, windows + L"syswow64\\")) << Narrow(wow64);
    for (const auto& folder : {system, windows, wow64}) EXPECT_TRUE(win::FolderExists(folder)) << Narrow(folder);
}

TEST(SysInfoFolders, SpecialFoldersEndWithABackslashAndExist) {
    const struct {
        int csidl;
        const char* what;
    } folders[] = {
        {CSIDL_DESKTOPDIRECTORY, "desktop"},     {CSIDL_PERSONAL, "documents"},
        {CSIDL_APPDATA, "application data"},     {CSIDL_LOCAL_APPDATA, "local application data"},
        {CSIDL_PROGRAMS, "programs"},            {CSIDL_STARTMENU, "start menu"},
        {CSIDL_STARTUP, "startup"},              {CSIDL_COMMON_PROGRAMS, "common programs"},
        {CSIDL_COMMON_APPDATA, "common data"},   {CSIDL_COMMON_DESKTOPDIRECTORY, "common desktop"},
        {CSIDL_FONTS, "fonts"},                  {CSIDL_WINDOWS, "windows"},
        {CSIDL_SYSTEM, "system"},                {CSIDL_PROGRAM_FILES, "program files"},
        {CSIDL_PROGRAM_FILES_COMMON, "common files"},
    };
    for (const auto& f : folders) {
        for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
            const std::wstring folder = SpecialFolder(f.csidl, view);
            ASSERT_FALSE(folder.empty()) << f.what;
            EXPECT_EQ(folder.back(), L'\\') << f.what << ": " << Narrow(folder);
            EXPECT_NE(folder.substr(0, folder.size() - 1).back(), L'\\') << f.what << ": " << Narrow(folder);
            EXPECT_TRUE(win::FolderExists(folder)) << f.what << ": " << Narrow(folder);
        }
    }
    EXPECT_EQ(SpecialFolder(0x7F), L"") << "an identifier the shell does not know";
}

TEST(SysInfoFolders, ProgramFoldersFollowTheRegistryView) {
    // The 32-bit process's own view names the 32-bit folders; the 64-bit
    // view (64-bit mode) the native ones.
    EXPECT_EQ(SpecialFolder(CSIDL_PROGRAM_FILES), Environment(L"ProgramFiles") + L"\\");
    EXPECT_EQ(SpecialFolder(CSIDL_PROGRAM_FILES, KEY_WOW64_64KEY), Environment(L"ProgramW6432") + L"\\");
    EXPECT_EQ(SpecialFolder(CSIDL_PROGRAM_FILES_COMMON), Environment(L"CommonProgramFiles") + L"\\");
    EXPECT_EQ(SpecialFolder(CSIDL_PROGRAM_FILES_COMMON, KEY_WOW64_64KEY),
              Environment(L"CommonProgramW6432") + L"\\");
    EXPECT_NE(SpecialFolder(CSIDL_PROGRAM_FILES), SpecialFolder(CSIDL_PROGRAM_FILES, KEY_WOW64_64KEY));
}

TEST(SysInfoFolders, DefaultProgramFolderOfAnAdministratorIsProgramFiles) {
    ASSERT_TRUE(IsAdmin());
    EXPECT_EQ(DefaultProgramFolder(), SpecialFolder(CSIDL_PROGRAM_FILES));
    EXPECT_EQ(DefaultProgramFolder(KEY_WOW64_64KEY), SpecialFolder(CSIDL_PROGRAM_FILES, KEY_WOW64_64KEY));
}

}  // namespace
}  // namespace velmora::sysinfo
