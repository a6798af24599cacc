// Variable store and substitution: how fast a parameter is substituted, and
// whether a lookup stays flat as the store grows.
//
// Substitution is reported per text and as a ratio to copying the same text
// (the least any substitution can cost); lookups as a ratio to the lookup in
// a store of 10 variables. Both references are measured in the same run. A
// std::unordered_map given the same probes shows how much of the growth is
// the memory hierarchy rather than the table.
#include "vars/variables.hpp"

#include <chrono>
#include <cstdio>
#include <random>
#include <unordered_map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Printed at the end so that the measured work cannot be optimised away.
std::size_t g_sink = 0;

// Nanoseconds per call of `work`, repeated until at least 200 ms have passed.
template <typename F>
double NanosPerCall(F&& work) {
    std::size_t calls = 0;
    std::size_t batch = 1000;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        for (std::size_t i = 0; i < batch; ++i) work(i);
        calls += batch;
        elapsed = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        batch *= 2;
    } while (elapsed < 2e8);
    return elapsed / static_cast<double>(calls);
}

void Substitution() {
    velmora::TVariableManager store;
    store.SetItem(L"TARGETDIR", L"C:\\Program Files\\Sample Product\\");
    store.SetItem(L"LEVEL1", L"[$LEVEL2$]");
    store.SetItem(L"LEVEL2", L"<$LEVEL3$>");
    store.SetItem(L"LEVEL3", L"bottom");
    for (int i = 0; i < 10; ++i) store.SetItem(L"V" + std::to_wstring(i), L"value " + std::to_wstring(i));

    std::wstring ten;
    for (int i = 0; i < 10; ++i) ten += L"$V" + std::to_wstring(i) + L"$, ";
    struct Text {
        const char* label;
        std::wstring text;
    } texts[] = {
        {"no reference", L"C:\\Program Files\\Sample Product\\bin\\tool.exe"},
        {"one reference", L"$TARGETDIR$bin\\tool.exe"},
        {"ten references", ten},
        {"three-level nesting", L"value: $LEVEL1$"},
    };

    std::printf("Substitution (Expand); reference: a copy of the same text\n");
    std::printf("  %-22s %14s %14s %10s\n", "text", "per second", "ns per text", "vs copy");
    for (const Text& t : texts) {
        const double copy = NanosPerCall([&](std::size_t) {
            std::wstring c = t.text;
            g_sink += c.size();
        });
        const double expand = NanosPerCall([&](std::size_t) {
            std::wstring c = t.text;  // what a caller hands over
            g_sink += store.Expand(std::move(c)).size();
        });
        std::printf("  %-22s %14.0f %14.1f %9.2fx\n", t.label, 1e9 / expand, expand, expand / copy);
    }
}

void Lookups() {
    std::printf("\nLookup (GetItem of an existing name); reference: the store of 10 variables\n");
    std::printf("  %-12s %14s %10s %12s %20s\n", "variables", "ns per lookup", "vs 10", "buckets",
                "unordered_map vs 10");
    double reference = 0;
    double mapReference = 0;
    for (std::size_t size : {std::size_t{10}, std::size_t{1000}, std::size_t{100000}}) {
        velmora::TVariableManager store;
        std::unordered_map<std::wstring, std::wstring> map;
        std::vector<std::wstring> names;
        names.reserve(size);
        for (std::size_t i = 0; i < size; ++i) {
            names.push_back(L"VORP_VARIABLE_" + std::to_wstring(i));
            store.SetItem(names.back(), L"value");
            map.emplace(names.back(), L"value");
        }
        // The same number of probes for every size, in a shuffled order; the
        // store is asked in lower case, as scripts often write names.
        std::mt19937 random(42);
        std::vector<std::wstring> probes;
        std::vector<std::wstring> lowerProbes;
        for (std::size_t i = 0; i < 4096; ++i) {
            probes.push_back(names[random() % size]);
            std::wstring lower = probes.back();
            for (wchar_t& c : lower) c = static_cast<wchar_t>(c >= L'A' && c <= L'Z' ? c + 32 : c);
            lowerProbes.push_back(std::move(lower));
        }
        const double ns = NanosPerCall([&](std::size_t i) { g_sink += store.GetItem(lowerProbes[i & 4095]).size(); });
        const double mapNs = NanosPerCall([&](std::size_t i) {
            std::wstring copy = map.find(probes[i & 4095])->second;
            g_sink += copy.size();
        });
        if (reference == 0) reference = ns, mapReference = mapNs;
        std::printf("  %-12zu %14.1f %9.2fx %12zu %19.2fx\n", size, ns, ns / reference, store.BucketCount(),
                    mapNs / mapReference);
    }
}

}  // namespace

int main() {
    Substitution();
    Lookups();
    std::printf("\n(checksum %zu)\n", g_sink);
    return 0;
}
