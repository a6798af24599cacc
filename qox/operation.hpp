// What every export of the library shares: the context of one call (its
// password, callbacks and first failure), 7z.dll itself, opening an archive,
// reading its items, and the path rules that keep extraction inside its
// destination.
#pragma once

#include "qox/api.hpp"
#include "qox/sevenzip.hpp"
#include "win/handle.hpp"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::qox {

// Ends a call of an export with a failure code (caught at the export's edge).
struct Failure {
    DWORD code;
};

// One call of an export. 7z.dll may report progress from its own worker
// threads; the engine's callbacks are only ever called on the thread that
// called the export, so what arrives elsewhere is kept for the next report.
class Operation {
public:
    Operation(const wchar_t* password, PasswordCallback passwordCallback, ProgressCallback progress,
              TickCallback tick);

    // The password, found once per call: the password argument when it is
    // not empty, else the password callback's answer. Nullopt when there is
    // none; the call then fails as "cannot open or incorrect password".
    std::optional<std::wstring> Password();
    // The password for a BSTR out-parameter of 7z.dll; E_ABORT when there is none.
    HRESULT PasswordForSevenZip(BSTR* out);
    bool passwordMissing() const { return passwordMissing_; }

    // Keeps the first failure of the call.
    void Fail(DWORD code) {
        DWORD none = 0;
        failure_.compare_exchange_strong(none, code);
    }
    DWORD failure() const { return failure_; }

    void SetTotal(std::uint64_t total) { total_ = total; }
    // Progress in bytes from any thread; E_ABORT once a callback asked to stop.
    HRESULT SetCompleted(std::uint64_t done);
    // An item begins (the calling thread only): reported to the progress callback.
    HRESULT ItemStarted(const std::wstring& item);
    // An item is finished: reported to the tick callback.
    HRESULT ItemDone(DWORD done, DWORD count);

private:
    HRESULT Report();

    std::wstring passwordArgument_;
    PasswordCallback passwordCallback_;
    ProgressCallback progress_;
    TickCallback tick_;
    DWORD callerThread_;
    bool passwordAsked_ = false;
    bool passwordMissing_ = false;
    std::optional<std::wstring> password_;
    std::wstring currentItem_;
    std::atomic<std::uint64_t> total_{0};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<bool> aborted_{false};
    std::atomic<DWORD> failure_{0};
};

// 7z.dll's factory, once Set7zipDllDirectory has loaded it; throws Failure otherwise.
void CreateSevenZipObject(const GUID& iid, void** object);
// Loads 7z.dll from the folder, writing it there first from the library's resources.
DWORD LoadSevenZip(const std::wstring& folder);

// An archive opened for reading.
struct OpenedArchive {
    win::ComPtr<sz::IInArchive> archive;
    bool headersEncrypted = false;  // the open needed a password

    OpenedArchive() = default;
    OpenedArchive(OpenedArchive&&) = default;
    OpenedArchive& operator=(OpenedArchive&&) = default;
    ~OpenedArchive() { Close(); }
    // Lets go of the archive and its file.
    void Close();
};
OpenedArchive OpenArchive(Operation& op, const std::wstring& path);

struct ArchiveItem {
    std::wstring path;
    bool isDir = false;
    bool encrypted = false;
    std::uint64_t size = 0;
    std::uint64_t packedSize = 0;
    DWORD attributes = 0;
    FILETIME modified{};
    FILETIME created{};
    DWORD crc = 0;
};
std::vector<ArchiveItem> ReadItems(sz::IInArchive* archive);

// The failure code for an HRESULT that 7z.dll returned, given what the call saw.
DWORD CodeFor(HRESULT hr, const Operation& op, DWORD otherwise);

// The segments of an item path that is safe to create below a destination,
// or nullopt when it is not: empty, absolute, drive- or UNC-qualified,
// holding ":" or a ".." segment (or one that the system would read as one),
// or naming a device.
std::optional<std::vector<std::wstring>> SafeSegments(std::wstring_view itemPath);

// Creates the folder and every missing folder above it.
bool CreateFolders(const std::wstring& folder);
// "*" and "?" wildcards, without regard to case.
bool WildcardMatch(std::wstring_view pattern, std::wstring_view name);
bool HasWildcard(std::wstring_view text);
// Forward slashes made backslashes.
std::wstring WithBackslashes(std::wstring_view path);

}  // namespace velmora::qox
