// Host stand-in for the system interface: the C library's wide-character
// case mapping in a UTF-8 locale, a steady clock, and stdio file writes.
#include "core/system.hpp"

#include "core/text.hpp"

#include <chrono>
#include <clocale>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <cwctype>
#include <ctime>

namespace velmora::sys {
namespace {

// towupper answers for non-ASCII characters only in a Unicode locale.
const bool kLocaleReady = [] {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    return true;
}();

std::string NarrowPath(const std::wstring& path) { return text::ToUtf8(path); }

}  // namespace

std::wstring UpperCase(std::wstring_view in) {
    (void)kLocaleReady;
    std::wstring out(in);
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return out;
}

std::wstring LowerCase(std::wstring_view in) {
    (void)kLocaleReady;
    std::wstring out(in);
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

std::uint32_t TickCount() {
#ifdef CLOCK_MONOTONIC_COARSE
    // The coarse clock (a few milliseconds of resolution, like the Windows
    // tick count itself) is read without the precise clock's hardware
    // counter, and the loop reads the tick count often.
    timespec now{};
    if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) == 0) {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                          static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
    }
#endif
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool AppendFileBytes(const std::wstring& path, std::string_view bytes, AppendMode mode) {
    // O_APPEND makes each write land at the end, even with several writers.
    const int flags = mode == AppendMode::CreateOrTruncate ? (O_WRONLY | O_CREAT | O_TRUNC) : (O_WRONLY | O_APPEND);
    const int fd = ::open(NarrowPath(path).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return (::close(fd) == 0) && ok;
}

}  // namespace velmora::sys
