#include "startup/trace.hpp"

#include "core/system.hpp"
#include "core/text.hpp"

#include <atomic>
#include <mutex>

namespace velmora {
namespace {

// The path is read by worker threads while the main thread may change it, so
// it sits behind a lock of its own; the file itself needs none.
std::mutex& PathLock() {
    static std::mutex lock;
    return lock;
}
std::wstring& PathStorage() {
    static std::wstring path;
    return path;
}
std::atomic<bool> g_firstWrite{true};

}  // namespace

void SetTracePath(std::wstring path) {
    std::lock_guard<std::mutex> guard(PathLock());
    PathStorage() = std::move(path);
}

std::wstring TracePath() {
    std::lock_guard<std::mutex> guard(PathLock());
    return PathStorage();
}

void Trace(std::wstring_view line) {
    const std::wstring path = TracePath();
    if (path.empty()) return;
    // Appends of one process are serialised, so that its lines never tear
    // even where the file system does not make appends atomic.
    static std::mutex writeLock;
    std::lock_guard<std::mutex> guard(writeLock);
    if (g_firstWrite.exchange(false)) {
        sys::AppendFileBytes(path, {}, sys::AppendMode::CreateOrTruncate);
    }
    std::wstring withEnd(line);
    withEnd += L"\r\n";
    sys::AppendFileBytes(path, text::ToUtf16Le(withEnd), sys::AppendMode::ExistingOnly);
}

void ResetTrace() {
    SetTracePath({});
    g_firstWrite = true;
}

}  // namespace velmora
