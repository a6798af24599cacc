// The predefined variables after the run's preparation: their names and
// phases, their values on this machine and user (against what Win32
// reports), and the command-line assignments on silent and interactive runs.
#include "vars/predefined.hpp"

#include "engine/run.hpp"
#include "startup/run_platform.hpp"

#include "core/text.hpp"
#include "startup/session.hpp"
#include "startup/trace.hpp"
#include "sysinfo/sysinfo.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora::vars {
namespace {

std::string Narrow(std::wstring_view text) { return text::ToUtf8(text); }

std::vector<std::wstring> Names(Phase phase, const RunValues& run) {
    std::vector<std::wstring> names;
    for (const auto& v : PredefinedValues(phase, run)) names.push_back(v.name);
    return names;
}

class Predefined : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        c_.title = L"Sample Product";
        c_.version = L"1.2.3.4";
        c_.publisher = L"Tarquell Software";
        run_.container = &c_;
        run_.msiFile = L"C:\\temp\\qox1\\setup.msi";
        Session& s = TheSession();
        s.tempFolder = L"C:\\temp\\";
        s.supportFolder = L"C:\\temp\\qox1\\";
        s.commandLineText = L"/s TARGETDIR=D:\\App";
    }
    void TearDown() override { Reset(); }
    static void Reset() {
        ClearVariables();
        ResetSession();
        ResetTrace();
    }
    // The bootstrap stand-in: what bootstrap would compute on a first run.
    static void Bootstrap() { SetVariable(L"TARGETDIR", L"C:\\Program Files\\Sample Product\\", L"Bootstrap"); }

    // The run's preparation on an empty script: the store then holds every
    // predefined variable. `bootstrap` stands in for bootstrap.
    struct Platform : WindowsRunPlatform {
        Platform(const container::Container& c, std::function<void()> b) : WindowsRunPlatform(c), bootstrap(std::move(b)) {}
        void Bootstrap() override {
            if (bootstrap) bootstrap();
        }
        std::function<void()> bootstrap;
    };
    void Prepare(std::function<void()> bootstrap) {
        Platform platform(c_, std::move(bootstrap));
        const engine::RunOutcome outcome = engine::RunScript(c_, run_.msiFile, platform);
        ASSERT_EQ(outcome.end, engine::RunEnd::Completed) << Narrow(outcome.message);
    }

    container::Container c_;
    RunValues run_;
};

TEST_F(Predefined, EachPhaseSetsItsTableInOrder) {
    const std::vector<std::wstring> pre = {L"TARGETDIR", L"STARTMENU", L"ALLUSERS"};
    EXPECT_EQ(Names(Phase::PreInitialization, run_), pre);
    const std::vector<std::wstring> init = {
        L"VORP_TIMEOUT", L"VORP_COMPRESS_INSTALLER_CACHE", L"VORP_DISABLE_ROLLBACK",
        L"VORP_DISABLE_VISTA_RESTART_MANAGER", L"CHARSET_OVERRIDE", L"NATIVE_ENGINE", L"NATIVE_LOGGING",
        L"NATIVE_ROLLBACK", L"NATIVE_HARDLINK", L"NATIVE_ERROR", L"NATIVE_OVERWRITE", L"NATIVE_OVERWRITE_OLDER",
        L"NATIVE_PROGRESS", L"DELAYUNTIL_APPLYCHANGES", L"NATIVE_OVERRIDE_PERMISSIONS",
        L"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", L"IISHOST", L"OVERRIDECACHE", L"VORPLOGO", L"SELECTED",
        L"WINDOWHANDLE", L"EXEFILE", L"EXEDIR", L"PROGRESSTEXT", L"PROGRESSMODE", L"CUSTOM_TASKBAR_PROGRESS_ENABLED",
        L"CUSTOM_TASKBAR_PROGRESS_PERCENT", L"CUSTOM_TASKBAR_PROGRESS_MAX", L"ABORT", L"PROGRESS", L"LASTERROR",
        L"LICENSE", L"USERNAME", L"USERCOMPANY", L"COPYWEBLOCK", L"REBOOTCOMPUTER", L"RUNAPP", L"WIZARD", L"FX",
        L"FXGROUND", L"FXTIME", L"VERSION", L"SILENT", L"LOGGED", L"CMDLINE", L"REBOOTNOW", L"SFXPATH", L"SFXFILE",
        L"GPOPATH", L"SETUPPATH", L"COMPLETE", L"NEWLINE", L"MINIMUM", L"PERSONALIZED", L"MODIFY", L"GLASS",
        L"REPAIR", L"REMOVE", L"ROOTDIR", L"TITLE", L"COMPANY", L"ADVERTISE", L"DATE", L"TIME", L"TEMPDIR",
        L"ABORTONERROR", L"ABORTEDONERROR", L"SAVEDATA", L"SUPPORTDIR", L"MSIFILE", L"LANGUAGE"};
    EXPECT_EQ(Names(Phase::Initialization, run_), init);
    EXPECT_EQ(PhaseOrigin(Phase::PreInitialization), L"Pre-Initialization");
    EXPECT_EQ(PhaseOrigin(Phase::Initialization), L"Initialization");
}

TEST_F(Predefined, BootstrapRunsBetweenPreInitializationAndInitialization) {
    SetVariable(L"LEFTOVER", L"from an earlier run", L"Set Variable Action");
    bool called = false;
    Prepare([&] {
        called = true;
        EXPECT_FALSE(VariableExists(L"LEFTOVER")) << "the store is emptied first";
        EXPECT_EQ(GetVariable(L"VORP_thMax"), L"100");
        EXPECT_TRUE(VariableExists(L"TARGETDIR"));
        EXPECT_EQ(GetVariable(L"TARGETDIR"), L"") << "nothing known on a first run";
        EXPECT_EQ(GetVariable(L"STARTMENU"), L"Sample Product");
        EXPECT_TRUE(VariableExists(L"ALLUSERS"));
        EXPECT_FALSE(VariableExists(L"VORP_TIMEOUT")) << "Initialization comes after bootstrap";
        Bootstrap();
        // An installed instance brings its own engine choice and cache.
        SetVariable(L"NATIVE_ENGINE", L"TRUE", L"Bootstrap");
        SetVariable(L"OVERRIDECACHE", L"D:\\Cache\\", L"Bootstrap");
        SetVariable(L"NATIVE_ERROR", L"ABORT", L"Bootstrap");
    });
    EXPECT_TRUE(called);
    // Initialization keeps what bootstrap set, except for its own defaults.
    EXPECT_EQ(GetVariable(L"TARGETDIR"), L"C:\\Program Files\\Sample Product\\");
    EXPECT_EQ(GetVariable(L"NATIVE_ENGINE"), L"TRUE");
    EXPECT_EQ(GetVariable(L"OVERRIDECACHE"), L"D:\\Cache\\");
    EXPECT_EQ(GetVariable(L"NATIVE_ERROR"), L"PROMPT");
}

TEST_F(Predefined, DefaultsOnlyWhenUndefinedAreDefinedOnAFirstRun) {
    Prepare({});
    EXPECT_EQ(GetVariable(L"NATIVE_ENGINE"), L"FALSE");
    EXPECT_TRUE(VariableExists(L"OVERRIDECACHE"));
    EXPECT_EQ(GetVariable(L"OVERRIDECACHE"), L"");
}

TEST_F(Predefined, ValuesOnThisMachineAndUser) {
    SetTracePath(L"c:\\logs\\setup.txt");
    const DWORD before = ::GetTickCount();
    Prepare(Bootstrap);
    const DWORD after = ::GetTickCount();

    // The user is an elevated administrator under Wine.
    EXPECT_EQ(GetVariable(L"ALLUSERS"), BoolToText(sysinfo::IsAdmin()));
    EXPECT_EQ(GetVariable(L"ALLUSERS"), L"TRUE");

    auto registry = [](const wchar_t* name) {
        wchar_t value[512] = {};
        DWORD bytes = sizeof value;
        return ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name,
                              RRF_RT_REG_SZ, nullptr, value, &bytes) == ERROR_SUCCESS
                   ? std::wstring(value)
                   : std::wstring();
    };
    EXPECT_EQ(GetVariable(L"USERNAME"), registry(L"RegisteredOwner"));
    EXPECT_EQ(GetVariable(L"USERCOMPANY"), registry(L"RegisteredOrganization"));

    wchar_t module[MAX_PATH + 1] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, module, MAX_PATH + 1), 0u);
    const std::wstring exe = module;
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\') + 1);
    EXPECT_EQ(GetVariable(L"EXEFILE"), exe);
    EXPECT_EQ(GetVariable(L"EXEDIR"), folder);
    EXPECT_EQ(GetVariable(L"ROOTDIR"), folder);

    // With no command-line paths the setup path is a reference to the engine's folder.
    EXPECT_EQ(GetVariable(L"SFXPATH"), L"");
    EXPECT_EQ(GetVariable(L"SFXFILE"), L"");
    EXPECT_EQ(GetVariable(L"GPOPATH"), L"");
    EXPECT_EQ(GetVariable(L"SETUPPATH"), L"$EXEDIR$");
    EXPECT_EQ(ExpandVariables(L"$SETUPPATH$"), folder);

    EXPECT_EQ(GetVariable(L"TITLE"), L"Sample Product");
    EXPECT_EQ(GetVariable(L"STARTMENU"), L"Sample Product");
    EXPECT_EQ(GetVariable(L"VERSION"), L"1.2.3.4");
    EXPECT_EQ(GetVariable(L"COMPANY"), L"Tarquell Software");
    EXPECT_EQ(GetVariable(L"MSIFILE"), L"C:\\temp\\qox1\\setup.msi");
    EXPECT_EQ(GetVariable(L"TEMPDIR"), L"C:\\temp\\");
    EXPECT_EQ(GetVariable(L"SUPPORTDIR"), L"C:\\temp\\qox1\\");
    EXPECT_EQ(GetVariable(L"CMDLINE"), L"/s TARGETDIR=D:\\App");
    EXPECT_EQ(GetVariable(L"LOGGED"), L"c:\\logs\\setup.txt");
    EXPECT_EQ(GetVariable(L"SILENT"), L"FALSE");
    EXPECT_EQ(GetVariable(L"NEWLINE"), L"\r\n");
    EXPECT_EQ(GetVariable(L"WIZARD"), L"NEXT");
    EXPECT_EQ(GetVariable(L"VORP_TIMEOUT"), L"10");
    EXPECT_EQ(GetVariable(L"IISHOST"), L"localhost");
    EXPECT_EQ(GetVariable(L"LANGUAGE"), L"");
    EXPECT_TRUE(VariableExists(L"LANGUAGE"));
    // Wine has no desktop composition, but its built-in visual style is active
    // and it poses as Windows 7: the dialog runtime draws the glass itself.
    EXPECT_EQ(GetVariable(L"GLASS"), L"TRUE");

    wchar_t date[128] = {};
    ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128), 0);
    EXPECT_EQ(GetVariable(L"DATE"), date);  // a run across midnight would differ; the test takes milliseconds
    EXPECT_FALSE(GetVariable(L"TIME").empty());

    for (const wchar_t* tick : {L"VORP_LastDelegateTick", L"VORP_LastActiveTick"}) {
        const auto value = text::ParseInt64(GetVariable(tick));
        ASSERT_TRUE(value) << Narrow(tick);
        EXPECT_GE(static_cast<DWORD>(*value), before) << Narrow(tick);
        EXPECT_LE(static_cast<DWORD>(*value), after) << Narrow(tick);
    }
}

TEST_F(Predefined, CommandLinePathsGiveTheSetupPathReference) {
    struct Case {
        const wchar_t *gpo, *wrapper, *gpoPath, *sfxPath, *sfxFile, *setupPath;
    } const cases[] = {
        {L"", L"c:\\downloads\\product.exe", L"", L"c:\\downloads\\", L"product.exe", L"$SFXPATH$"},
        {L"\\\\server\\share\\setup.exe", L"", L"\\\\server\\share\\", L"", L"", L"$GPOPATH$"},
        {L"\\\\server\\share\\setup.exe", L"c:\\downloads\\product.exe", L"\\\\server\\share\\", L"c:\\downloads\\",
         L"product.exe", L"$GPOPATH$"},
    };
    for (const auto& c : cases) {
        Reset();
        TheSession().gpoPath = c.gpo;
        TheSession().wrapperPath = c.wrapper;
        Prepare({});
        const std::string label = Narrow(c.gpo) + " | " + Narrow(c.wrapper);
        EXPECT_EQ(GetVariable(L"GPOPATH"), c.gpoPath) << label;
        EXPECT_EQ(GetVariable(L"SFXPATH"), c.sfxPath) << label;
        EXPECT_EQ(GetVariable(L"SFXFILE"), c.sfxFile) << label;
        EXPECT_EQ(GetVariable(L"SETUPPATH"), c.setupPath) << label;
        EXPECT_EQ(ExpandVariables(L"$SETUPPATH$"), *c.gpoPath ? c.gpoPath : c.sfxPath) << label;
    }
}

TEST_F(Predefined, CommandLineAssignmentsOverrideEveryDefault) {
    for (const bool silent : {true, false}) {
        Reset();
        Session& s = TheSession();
        s.silent = silent;
        s.commandLineAssignments = {L"TARGETDIR", L"D:\\App", L"NATIVE_ENGINE", L"TRUE", L"OVERRIDECACHE",
                                    L"E:\\Cache", L"wizard", L"BACK", L"myflag", L"on"};
        Prepare(Bootstrap);
        const std::string label = silent ? "silent" : "interactive";
        EXPECT_EQ(GetVariable(L"TARGETDIR"), L"D:\\App") << label << ": whatever bootstrap computed";
        EXPECT_EQ(GetVariable(L"NATIVE_ENGINE"), L"TRUE") << label;
        EXPECT_EQ(GetVariable(L"OVERRIDECACHE"), L"E:\\Cache") << label;
        EXPECT_EQ(GetVariable(L"WIZARD"), L"BACK") << label;
        EXPECT_EQ(GetVariable(L"SILENT"), BoolToText(silent)) << label;
        // A name new to the store is created upper-cased.
        const auto names = Variables().GetNames();
        EXPECT_NE(std::find(names.begin(), names.end(), L"MYFLAG"), names.end()) << label;
        EXPECT_EQ(GetVariable(L"MYFLAG"), L"on") << label;

        // The script's own assignments afterwards: refused on a silent run.
        AssignVariable(L"TARGETDIR", L"C:\\Elsewhere\\", L"Set Variable Action");
        SetVariable(L"myflag", L"off", L"Set Variable Action");
        SetVariable(L"IISHOST", L"webhost", L"Set Variable Action");
        EXPECT_EQ(GetVariable(L"TARGETDIR"), silent ? L"D:\\App" : L"C:\\Elsewhere\\") << label;
        EXPECT_EQ(GetVariable(L"MYFLAG"), silent ? L"on" : L"off") << label;
        EXPECT_EQ(GetVariable(L"IISHOST"), L"webhost") << label << ": not on the command line";
        // Only the command line's own origin may change them again.
        AssignVariable(L"TARGETDIR", L"F:\\Moved\\", kOriginInjectOverride);
        EXPECT_EQ(GetVariable(L"TARGETDIR"), L"F:\\Moved\\") << label;
    }
}

TEST_F(Predefined, WorkerVariablesIgnoreTheCommandLineProtection) {
    Session& s = TheSession();
    s.silent = true;
    s.commandLineAssignments = {L"VORP_THPROGRESS", L"55"};
    Prepare({});
    // The command line comes last and may set even a worker variable...
    EXPECT_EQ(GetVariable(L"VORP_thProgress"), L"55");
    // ...but a second run resets the worker channel, even on a silent run.
    s.commandLineAssignments.clear();
    Prepare({});
    EXPECT_EQ(GetVariable(L"VORP_thProgress"), L"0");
}

}  // namespace
}  // namespace velmora::vars
