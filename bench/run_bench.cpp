// The interpreter loop on the host: a While loop doing one Mathematics
// addition and one If per iteration, run through the portable run with no
// platform. Prints the time per iteration, and its ratio to a plain C++ loop
// doing the same additions and comparisons on texts (the reference).
#include "container/container.hpp"
#include "core/text.hpp"
#include "engine/run.hpp"
#include "startup/session.hpp"
#include "vars/variables.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace velmora;

namespace {

container::Container LoopScript(long iterations) {
    container::ContainerText t;
    auto add = [&t](const wchar_t* name, std::vector<std::wstring> params) {
        const std::size_t i = t.Item(1).size();
        wchar_t guid[40];
        std::swprintf(guid, 40, L"{00000000-0000-4000-8000-%012zu}", i);
        t.Item(1).push_back(name);
        t.Item(2).push_back(guid);
        t.Item(3).push_back(guid);
        for (auto& p : params) t.Item(3).push_back(std::move(p));
        t.Item(4).push_back(L"");
        t.Item(25).push_back(L"loop.vms*" + std::to_wstring(i));
        t.Item(28).push_back(L"0*0");
    };
    add(L"Set Variable", {L"N", L"0"});
    add(L"While", {L"N", L"0", std::to_wstring(iterations), L"TRUE"});
    add(L"Mathematics", {L"$N$", L"1", L"0", L"N"});
    add(L"If", {L"N", L"0", L"500000", L"FALSE"});
    add(L"Set Variable", {L"HALF", L"yes"});
    add(L"End", {});
    add(L"Wend", {});
    return container::FromItems(std::move(t));
}

}  // namespace

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const container::Container c = LoopScript(n);
    engine::RunPlatform platform;
    const auto start = std::chrono::steady_clock::now();
    const engine::RunOutcome outcome = engine::RunScript(c, L"", platform);
    const auto end = std::chrono::steady_clock::now();
    if (outcome.end != engine::RunEnd::Completed || GetVariable(L"N") != std::to_wstring(n)) {
        std::fprintf(stderr, "the loop did not run to its end\n");
        return 1;
    }
    // The reference: the same work on texts in plain C++.
    const auto refStart = std::chrono::steady_clock::now();
    std::wstring value = L"0";
    long half = 0;
    for (long i = 0; i < n; ++i) {
        value = std::to_wstring(std::stol(value) + 1);
        half += value == L"500000";
    }
    const auto refEnd = std::chrono::steady_clock::now();
    const double ours = std::chrono::duration<double, std::nano>(end - start).count() / n;
    const double reference = std::chrono::duration<double, std::nano>(refEnd - refStart).count() / n;
    std::printf("iterations: %ld\nrun: %.1f ns/iteration\nplain C++ on texts: %.1f ns/iteration (%ld)\nratio: %.1f\n", n,
                ours, reference, half, ours / reference);
    return 0;
}
