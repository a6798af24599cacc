#include "tests/core/vars_test_support.hpp"
#include "vars/expand.hpp"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace velmora {
namespace {

using testing::Show;
using testing::StoreTest;

// A value that shows whether it arrived whole: "v<n>:" followed by n % 97
// copies of one letter chosen by n.
std::wstring ProgressValue(unsigned n) {
    return L"v" + std::to_wstring(n) + L":" + std::wstring(n % 97, static_cast<wchar_t>(L'a' + n % 26));
}

bool IsWhole(std::wstring_view v) {
    if (v.size() < 3 || v[0] != L'v') return false;
    const std::size_t colon = v.find(L':');
    if (colon == std::wstring_view::npos || colon == 1) return false;
    unsigned n = 0;
    for (std::size_t i = 1; i < colon; ++i) {
        if (v[i] < L'0' || v[i] > L'9') return false;
        n = n * 10 + static_cast<unsigned>(v[i] - L'0');
    }
    return v.substr(colon + 1) == std::wstring(n % 97, static_cast<wchar_t>(L'a' + n % 26));
}

TEST_F(StoreTest, WorkersWriteWhileTheMainThreadExpandsAndEnumerates) {
    const wchar_t* const progress[] = {L"VORP_thProgress", L"VORP_thMin", L"VORP_thMax", L"VORP_thProgressText",
                                       L"VORP_LastDelegateTick"};
    for (const wchar_t* name : progress) Variables().SetItem(name, ProgressValue(0));

    std::atomic<bool> stop{false};
    std::atomic<unsigned> writes{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < 3; ++t) {
        workers.emplace_back([&, t] {
            unsigned n = t;
            while (!stop.load(std::memory_order_relaxed)) {
                for (const wchar_t* name : progress) Variables().SetItem(name, ProgressValue(n));
                // Scratch variables make the table grow and shrink under the readers.
                const std::wstring scratch = L"W" + std::to_wstring(t) + L"_" + std::to_wstring(n % 300);
                if (n % 2 == 0) {
                    SetVariable(scratch, ProgressValue(n), L"Worker");
                } else {
                    DeleteVariable(scratch);
                }
                n += 3;
                writes.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }

    // On a loaded machine the workers may not have run yet: the readers
    // start once every worker has written.
    while (writes.load() < 3) std::this_thread::yield();

    const std::wstring text = L"[$VORP_thProgress$|$vorp_thmin$|$VORP_THMAX$|$VORP_thProgressText$]";
    int failures = 0;
    for (int round = 0; round < 1500 && failures < 5; ++round) {
        const std::wstring out = ExpandVariables(text);
        if (out.size() < 2 || out.front() != L'[' || out.back() != L']') {
            ++failures;
            ADD_FAILURE() << Show(out);
            continue;
        }
        std::wstring_view inner(out);
        inner = inner.substr(1, inner.size() - 2);
        for (std::size_t start = 0;;) {
            const std::size_t bar = inner.find(L'|', start);
            const std::wstring_view part = inner.substr(start, bar == std::wstring_view::npos ? bar : bar - start);
            if (!IsWhole(part)) {
                ++failures;
                ADD_FAILURE() << "torn value " << Show(part);
            }
            if (bar == std::wstring_view::npos) break;
            start = bar + 1;
        }
        if (round % 10 == 0) {
            const std::vector<std::wstring> items = FromCommaText(VariablesToCommaText());
            if (items.size() % 2 != 0) ADD_FAILURE() << "odd item count " << items.size();
            for (std::size_t i = 1; i < items.size(); i += 2) {
                if (!IsWhole(items[i])) {
                    ++failures;
                    ADD_FAILURE() << "torn value of " << Show(items[i - 1]) << ": " << Show(items[i]);
                }
            }
            for (const std::wstring& name : Variables().GetNames()) (void)GetVariable(name);
        }
    }
    stop = true;
    for (auto& w : workers) w.join();
    EXPECT_GE(writes.load(), 3u);
}

}  // namespace
}  // namespace velmora
