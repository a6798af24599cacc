// Reading containers of 1,000, 10,000 and 100,000 commands: the time per
// command for each size, and its ratio to the smallest size (the reference
// measured in the same run). A flat ratio means the cost grows linearly.
#include "container/container.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

using namespace velmora;

namespace {

// A container shaped like real ones: each command has a GUID, three
// parameter lines, a flag line, a media line, a source position and an
// include position.
std::string MakeContainer(std::size_t commands) {
    container::ContainerText t;
    char guid[40];
    for (std::size_t i = 0; i < commands; ++i) {
        std::snprintf(guid, sizeof guid, "{%08zX-0000-4000-8000-%012zX}", i, i * 7919);
        const std::wstring g = text::Widen(guid);
        t.Item(1).push_back(i % 3 == 0 ? L"Set Variable" : L"If");
        t.Item(2).push_back(g);
        t.Item(3).push_back(g);
        t.Item(3).push_back(L"TARGETDIR$VORP$VORP$FALSE");
        t.Item(3).push_back(L"$PROGRAMFILES$\\Sample Product\\" + std::to_wstring(i));
        t.Item(3).push_back(L"");
        t.Item(4).push_back(L"");
        t.Item(15).push_back(L"");
        t.Item(25).push_back(L"C:\\Projects\\Sample\\main.vms*" + std::to_wstring(i));
        t.Item(28).push_back(L"0*0");
    }
    for (std::size_t item : {5, 6, 8, 9, 10, 11, 12, 13, 18, 20, 21}) t.Item(item) = {L"x"};
    for (std::size_t item : {16, 24, 26}) t.Item(item) = {L"1"};
    return container::JoinItems(t);
}

double NanosecondsPerCommand(const std::string& bytes, std::size_t commands) {
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const container::Container c = container::ReadContainer(bytes);
        // Look every command's first parameter up, as the run will.
        std::size_t found = 0;
        for (std::size_t i = 0; i < c.CommandCount(); ++i) found += !c.Parameter(i, 1).empty();
        const auto end = std::chrono::steady_clock::now();
        if (found != commands) std::fprintf(stderr, "lookup failed: %zu of %zu\n", found, commands);
        best = std::min(best, std::chrono::duration<double, std::nano>(end - start).count() / commands);
    }
    return best;
}

}  // namespace

int main() {
    std::printf("%-10s %14s %10s\n", "commands", "ns/command", "ratio");
    double reference = 0;
    for (std::size_t n : {1000u, 10000u, 100000u}) {
        const std::string bytes = MakeContainer(n);
        const double ns = NanosecondsPerCommand(bytes, n);
        if (reference == 0) reference = ns;
        std::printf("%-10zu %14.1f %10.2f\n", n, ns, ns / reference);
    }
    return 0;
}
