// Prints the version queries as name=value lines, for the end-to-end test
// that runs it with the prefix posing as several Windows versions.
#include "sysinfo/sysinfo.hpp"

#include <cstdio>

int wmain() {
    using namespace velmora::sysinfo;
    const velmora::OsVersion os = QueryOsVersion();
    std::printf("level=%ls\n", OSLevelName().c_str());
    std::printf("platform=%u\nmajor=%u\nminor=%u\nbuild=%u\nproduct=%u\n", os.platformId, os.major, os.minor,
                os.build, static_cast<unsigned>(os.productType));
    std::printf("servicepack=%ls\nsplevel=%d\n", os.servicePack.c_str(), ServicePackLevel());
    std::printf("server=%d\nwindows64=%d\narchitecture=%ls\n", IsServer() ? 1 : 0, IsWindows64() ? 1 : 0,
                ProcessorArchitecture().c_str());
    std::printf("admin=%d\nelevated=%d\nrights=%ls\n", IsAdmin() ? 1 : 0, IsElevated() ? 1 : 0,
                UserRights().c_str());
    return 0;
}
