// The 64-bit file-system bracket: with the session platform "x64" the 32-bit
// engine on 64-bit Windows sees the native system folder, where kernel32.dll
// is a 64-bit image; with "Win32" it sees the 32-bit one. Brackets nest.
#include "startup/session.hpp"
#include "win/file.hpp"
#include "win/redirection.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace velmora::win {
namespace {

// The machine type of the system folder's kernel32.dll as this process sees it.
bool SeesNativeSystemFolder() {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const auto bytes = ReadFileBytes(std::wstring(windows) + L"\\system32\\kernel32.dll");
    if (!bytes || bytes->size() < 0x40) return false;
    const auto pe = *reinterpret_cast<const std::uint32_t*>(bytes->data() + 0x3C);
    if (pe + 6 > bytes->size()) return false;
    const auto machine = *reinterpret_cast<const std::uint16_t*>(bytes->data() + pe + 4);
    return machine == 0x8664;  // x64
}

TEST(FileSystemBracket, SwitchesRedirectionOnlyInSixtyFourBitMode) {
    ASSERT_TRUE(IsWow64Process()) << "the test prefix is 64-bit";
    ResetSession();
    {
        FileSystemBracket bracket;
        EXPECT_FALSE(bracket.Active()) << "platform Win32";
        EXPECT_FALSE(SeesNativeSystemFolder()) << "redirected to the 32-bit system folder";
    }
    TheSession().platform = L"x64";
    {
        FileSystemBracket outer;
        EXPECT_TRUE(outer.Active());
        EXPECT_TRUE(SeesNativeSystemFolder()) << "the native system folder";
        {
            FileSystemBracket inner;
            EXPECT_FALSE(inner.Active()) << "only the outermost bracket switches";
        }
        EXPECT_TRUE(SeesNativeSystemFolder()) << "closing the inner bracket leaves it switched";
    }
    EXPECT_FALSE(SeesNativeSystemFolder()) << "restored after the outer bracket";
    ResetSession();
}

}  // namespace
}  // namespace velmora::win
