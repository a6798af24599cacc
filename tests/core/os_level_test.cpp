// The version decisions over version records: every row of the level table,
// the older family's build rule, the service pack level and the tests the
// table rests on.
#include "sysinfo/os_level.hpp"

#include "core/text.hpp"

#include <gtest/gtest.h>

namespace velmora::sysinfo {
namespace {

constexpr std::uint8_t kWorkstation = 1, kDomainController = 2, kServer = 3;

OsVersion Record(std::uint32_t platform, std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                 std::uint8_t product, const wchar_t* servicePack = L"") {
    OsVersion os;
    os.platformId = platform;
    os.major = major;
    os.minor = minor;
    os.build = build;
    os.productType = product;
    os.servicePack = servicePack;
    return os;
}

struct LevelCase {
    const char* what;
    OsVersion os;
    bool update1;
    const wchar_t* name;
};

TEST(OsLevel, EveryRowOfTheLevelTable) {
    const LevelCase cases[] = {
        {"NT 4.0 workstation", Record(kPlatformNt, 4, 0, 1381, kWorkstation, L"Service Pack 6"), false, L"NT4"},
        {"NT 4.0 server", Record(kPlatformNt, 4, 0, 1381, kServer), false, L"NT4"},
        {"2000 professional", Record(kPlatformNt, 5, 0, 2195, kWorkstation, L"Service Pack 4"), false, L"2000"},
        {"2000 server", Record(kPlatformNt, 5, 0, 2195, kServer), false, L"2000"},
        {"XP", Record(kPlatformNt, 5, 1, 2600, kWorkstation, L"Service Pack 3"), false, L"XP"},
        {"XP x64 (5.2 workstation)", Record(kPlatformNt, 5, 2, 3790, kWorkstation), false, L"XP"},
        {"Server 2003", Record(kPlatformNt, 5, 2, 3790, kServer, L"Service Pack 2"), false, L"2003"},
        {"Vista", Record(kPlatformNt, 6, 0, 6002, kWorkstation, L"Service Pack 2"), false, L"VISTA"},
        {"6.0 server without service pack", Record(kPlatformNt, 6, 0, 6001, kServer, L""), false, L"VISTA"},
        {"Server 2008 with Service Pack 2", Record(kPlatformNt, 6, 0, 6002, kServer, L"Service Pack 2"), false,
         L"2008"},
        {"Server 2008 domain controller, Service Pack 1",
         Record(kPlatformNt, 6, 0, 6001, kDomainController, L"Service Pack 1"), false, L"2008"},
        {"7", Record(kPlatformNt, 6, 1, 7601, kWorkstation, L"Service Pack 1"), false, L"SEVEN"},
        {"7, update flag ignored", Record(kPlatformNt, 6, 1, 7601, kWorkstation), true, L"SEVEN"},
        {"Server 2008 R2", Record(kPlatformNt, 6, 1, 7601, kServer), false, L"2008R2"},
        {"8", Record(kPlatformNt, 6, 2, 9200, kWorkstation), false, L"METRO"},
        {"Server 2012", Record(kPlatformNt, 6, 2, 9200, kServer), false, L"SERVER8"},
        {"8.1", Record(kPlatformNt, 6, 3, 9600, kWorkstation), false, L"METROR2"},
        {"8.1 Update 1", Record(kPlatformNt, 6, 3, 9600, kWorkstation), true, L"METROR2U1"},
        {"Server 2012 R2", Record(kPlatformNt, 6, 3, 9600, kServer), false, L"SERVER8R2"},
        {"Server 2012 R2 Update 1", Record(kPlatformNt, 6, 3, 9600, kDomainController), true, L"SERVER8R2U1"},
        {"10 preview (6.4)", Record(kPlatformNt, 6, 4, 9841, kWorkstation), false, L"TEN"},
        {"6.4 server", Record(kPlatformNt, 6, 4, 9841, kServer), false, L"SERVERTEN"},
        {"10 build 10240", Record(kPlatformNt, 10, 0, 10240, kWorkstation), false, L"TEN"},
        {"10 build 10585", Record(kPlatformNt, 10, 0, 10585, kWorkstation), false, L"TEN"},
        {"10 build 10586", Record(kPlatformNt, 10, 0, 10586, kWorkstation), false, L"TENTWO"},
        {"10 build 19045", Record(kPlatformNt, 10, 0, 19045, kWorkstation), false, L"TENTWO"},
        {"11 (10.0 build 22631)", Record(kPlatformNt, 10, 0, 22631, kWorkstation), false, L"TENTWO"},
        {"Server 2016", Record(kPlatformNt, 10, 0, 14393, kServer), false, L"SERVERTEN"},
        {"Server 10.0 early build", Record(kPlatformNt, 10, 0, 10240, kServer), false, L"SERVERTEN"},
        {"95", Record(kPlatformOlder, 4, 0, 0x040003B6, 0), false, L"95"},
        {"98", Record(kPlatformOlder, 4, 10, 0x040A07CE, 0), false, L"98"},
        {"98 SE by its build", Record(kPlatformOlder, 4, 10, 0x040A08AE, 0), false, L"98SE"},
        {"98 SE as 4.11", Record(kPlatformOlder, 4, 11, 0x040A08AE, 0), false, L"98SE"},
        {"Me", Record(kPlatformOlder, 4, 90, 0x045A0BB8, 0), false, L"ME"},
        {"NT 3.51", Record(kPlatformNt, 3, 51, 1057, kWorkstation), false, L"UNKNOWN"},
        {"NT 5.3", Record(kPlatformNt, 5, 3, 0, kWorkstation), false, L"UNKNOWN"},
        {"NT 6.5", Record(kPlatformNt, 6, 5, 0, kWorkstation), false, L"UNKNOWN"},
        {"NT 10.1", Record(kPlatformNt, 10, 1, 0, kWorkstation), false, L"UNKNOWN"},
        {"older 4.20", Record(kPlatformOlder, 4, 20, 0, 0), false, L"UNKNOWN"},
        {"older 5.0", Record(kPlatformOlder, 5, 0, 0, 0), false, L"UNKNOWN"},
        {"Win32s", Record(0, 3, 10, 0, 0), false, L"UNKNOWN"},
        {"NT 4.10 is no older-family row", Record(kPlatformNt, 4, 10, 0x040A08AE, kWorkstation), false,
         L"UNKNOWN"},
        {"empty record", OsVersion{}, false, L"UNKNOWN"},
    };
    for (const auto& c : cases) {
        OsVersion os = c.os;
        ApplyOlderFamilyBuildRule(os);  // as the live version query does
        EXPECT_EQ(OSLevelName(os, c.update1), c.name) << c.what;
    }
}

TEST(OsLevel, OlderFamilyBuildRuleReportsSecondEditionAsMinor11) {
    struct Case {
        std::uint32_t platform, minor, build, expectedMinor;
    } const cases[] = {
        {kPlatformOlder, 10, 0x040A08AE, 11},  // 4.10.2222: Second Edition
        {kPlatformOlder, 10, 0x040A08AF, 11},
        {kPlatformOlder, 10, 0x040A08AD, 10},  // one build earlier
        {kPlatformOlder, 10, 0x040A07CE, 10},  // 4.10.1998: first edition
        {kPlatformOlder, 0, 0x040A08AE, 0},    // only 4.10 changes
        {kPlatformOlder, 90, 0x045A0BB8, 90},
        {kPlatformNt, 10, 0x040A08AE, 10},     // only the older family packs its builds
    };
    for (const auto& c : cases) {
        OsVersion os = Record(c.platform, 4, c.minor, c.build, 0);
        ApplyOlderFamilyBuildRule(os);
        EXPECT_EQ(os.minor, c.expectedMinor) << "platform " << c.platform << " 4." << c.minor << " build 0x"
                                             << std::hex << c.build;
    }
}

TEST(OsLevel, ServicePackLevelIsTheLargestNumberOneToTenInTheText) {
    struct Case {
        const wchar_t* text;
        int level;
    } const cases[] = {
        {L"", 0},
        {L"Service Pack", 0},
        {L"Service Pack 0", 0},
        {L"Service Pack 1", 1},
        {L"Service Pack 2", 2},
        {L"Service Pack 6a", 6},
        {L"Service Pack 10", 10},
        {L"Service Pack 1, v.7601", 7},  // 7, 6 and 1 occur; 7 is the largest
        {L"Build 11", 1},                // "11" holds "1" but not "10"
        {L"Update 3 (build 12)", 3},
        {L"Service Pack 2 Beta 10", 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ServicePackLevel(c.text), c.level) << text::ToUtf8(c.text);
        OsVersion os;
        os.servicePack = c.text;
        EXPECT_EQ(ServicePackLevel(os), c.level) << text::ToUtf8(c.text);
    }
}

TEST(OsLevel, ServerIsAnyNtProductButWorkstation) {
    EXPECT_FALSE(IsServer(Record(kPlatformNt, 6, 1, 7601, kWorkstation)));
    EXPECT_TRUE(IsServer(Record(kPlatformNt, 6, 1, 7601, kDomainController)));
    EXPECT_TRUE(IsServer(Record(kPlatformNt, 6, 1, 7601, kServer)));
    // The older family's record has no product type.
    EXPECT_FALSE(IsServer(Record(kPlatformOlder, 4, 10, 0x040A08AE, 0)));
}

TEST(OsLevel, LaterTenFrom10586On) {
    EXPECT_FALSE(IsLaterTen(Record(kPlatformNt, 10, 0, 10585, kWorkstation)));
    EXPECT_TRUE(IsLaterTen(Record(kPlatformNt, 10, 0, 10586, kWorkstation)));
}

TEST(OsLevel, Update1FromTheBuildLabText) {
    struct Case {
        const wchar_t* text;
        bool update1;
    } const cases[] = {
        {L"9600.17031.amd64fre.winblue_gdr.140221-1952", true},
        {L"9600.17030.amd64fre.winblue_gdr.140221-1952", false},
        {L"9600.16384.amd64fre.winblue_rtm.130821-1623", false},
        {L"9600.99999999999.x", true},
        {L"9600.17031", false},  // no second dot
        {L"9600", false},
        {L"", false},
        {L"9600..x", false},
        {L"9600.abc.x", false},
        {L"9600.17 031.x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsUpdate1BuildLab(c.text), c.update1) << text::ToUtf8(c.text);
}

TEST(OsLevel, DottedVersionsSplitIntoFourNumbers) {
    struct Case {
        const wchar_t* text;
        DottedVersion v;
    } const cases[] = {
        {L"11.0.9600.17843", {11, 0, 9600, 17843}},
        {L"9.11.9431.0", {9, 11, 9431, 0}},
        {L"7.0", {7, 0, 0, 0}},
        {L"8", {8, 0, 0, 0}},
        {L"", {0, 0, 0, 0}},
        {L"8.0.6001.18702.5", {8, 0, 6001, 18702}},
        {L"1.x.3", {1, 0, 3, 0}},
        {L"abc", {0, 0, 0, 0}},
        {L"4294967295.4294967296.-1.2", {4294967295u, 0, 0, 2}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitDottedVersion(c.text), c.v) << text::ToUtf8(c.text);
    }
    EXPECT_EQ(DottedVersionText({6, 0, 2800, 1106}), L"6.0.2800.1106");
}

}  // namespace
}  // namespace velmora::sysinfo
