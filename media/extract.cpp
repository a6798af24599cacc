#include "media/extract.hpp"

#include "core/text.hpp"
#include "vars/variables.hpp"
#include "win/file.hpp"
#include "win/handle.hpp"

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <exception>
#include <stdexcept>

namespace velmora::media {
namespace {

constexpr wchar_t kOutOfMemory[] = L"#1018";
constexpr std::uint32_t kExitNoParameterFile = 1;
constexpr std::uint32_t kExitNoArchive = 2;
constexpr std::uint32_t kExitUnexpected = 11;

std::atomic<int> g_forcedOutOfMemory{0};
std::wstring g_extractorProgram;  // set by tests only, before any extraction
std::atomic<bool> g_isExtractor{false};

// The library's callbacks carry no context of their own: the state of the
// current library call lives with the calling thread.
struct CallContext {
    const std::wstring* password = nullptr;
    bool passwordHandedOut = false;
    const ExtractRequest* request = nullptr;
};
thread_local CallContext* t_call = nullptr;

class ScopedCall {
public:
    ScopedCall(const std::wstring& password, const ExtractRequest& request) : previous_(t_call) {
        context_.password = &password;
        context_.request = &request;
        t_call = &context_;
    }
    ~ScopedCall() { t_call = previous_; }
    ScopedCall(const ScopedCall&) = delete;
    ScopedCall& operator=(const ScopedCall&) = delete;

private:
    CallContext context_;
    CallContext* previous_;
};

// Hands the password of the current call out once, then answers "none".
BOOL WINAPI HandOutPassword(wchar_t* buffer) {
    CallContext* call = t_call;
    if (call == nullptr || buffer == nullptr || call->passwordHandedOut || call->password->empty()) return FALSE;
    call->passwordHandedOut = true;
    const std::size_t n = std::min<std::size_t>(call->password->size(), qox::kPasswordBufferChars - 1);
    call->password->copy(buffer, n);
    buffer[n] = L'\0';
    return TRUE;
}

BOOL WINAPI ReportProgress(const wchar_t* item, std::uint64_t done, std::uint64_t total) {
    CallContext* call = t_call;
    if (call == nullptr || !call->request->progress) return TRUE;
    try {
        return call->request->progress(item != nullptr ? item : L"", done, total) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;  // nothing may escape into the library; a failing callback stops the work
    }
}

BOOL WINAPI AnswerTick(DWORD, DWORD) { return TRUE; }

DWORD WINAPI AnswerOverwrite(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) {
    CallContext* call = t_call;
    return call != nullptr && call->request->overwrite ? qox::kOverwriteReplace : qox::kOverwriteKeep;
}

const ArchiveLibrary& Library() {
    const ArchiveLibrary* lib = TheArchiveLibrary();
    if (lib == nullptr) throw std::runtime_error("the archive library qox.lib is not loaded");
    return *lib;
}


std::vector<std::wstring> ListItems(const ExtractRequest& request, std::wstring& error) {
    const ArchiveLibrary& lib = Library();
    ScopedCall call(request.password, request);
    const qox::ListItem* entries = nullptr;
    DWORD count = 0;
    void* handle = lib.OpenListArchive(request.archive.c_str(), 0, HandOutPassword, 0, 0, 0,
                                       request.password.c_str(), &entries, &count);
    if (handle == nullptr) {
        error = LastArchiveErrorText();
        return {};
    }
    std::vector<std::wstring> items;
    try {
        for (DWORD i = 0; i < count; ++i) items.emplace_back(entries[i].path != nullptr ? entries[i].path : L"");
    } catch (...) {
        lib.CloseListArchive(handle);
        throw;
    }
    lib.CloseListArchive(handle);
    return items;
}

std::wstring CallExtract(const ExtractRequest& request, const std::vector<std::wstring>& items) {
    for (int left = g_forcedOutOfMemory.load(); left > 0;) {
        if (g_forcedOutOfMemory.compare_exchange_weak(left, left - 1)) return kOutOfMemory;
    }
    const ArchiveLibrary& lib = Library();
    std::vector<const wchar_t*> names;
    names.reserve(items.size());
    for (const std::wstring& item : items) names.push_back(item.c_str());
    const qox::TargetFiles targets{names.data(), static_cast<DWORD>(names.size())};
    ScopedCall call(request.password, request);
    const BOOL ok = lib.ExtractArchive(request.archive.c_str(), qox::kExtractListed, request.destination.c_str(),
                                       &targets, request.keepPaths ? qox::kKeepPaths : qox::kNoPaths,
                                       request.password.c_str(), HandOutPassword,
                                       request.progress ? ReportProgress : nullptr, AnswerTick, AnswerOverwrite);
    return ok ? std::wstring() : LastArchiveErrorText();
}

std::wstring NewGuidText() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid))) throw std::runtime_error("no GUID for the extractor's parameter file");
    wchar_t text[40];
    if (::StringFromGUID2(guid, text, 40) == 0) throw std::runtime_error("no GUID for the extractor's parameter file");
    return text;
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) throw std::runtime_error("the temporary folder cannot be found");
    return win::WithBackslash(std::wstring(buffer, n));
}

std::string Lines(const std::vector<std::wstring>& lines) {
    std::string out;
    for (const std::wstring& line : lines) out += text::ToUtf8(line) + "\r\n";
    return out;
}

// The lines of a UTF-8 file, a leading byte order mark skipped; nullopt when it cannot be read.
std::optional<std::vector<std::wstring>> ReadLines(const std::wstring& path) {
    auto bytes = win::ReadFileBytes(path);
    if (!bytes) return std::nullopt;
    std::string_view view(*bytes);
    if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
    std::vector<std::wstring> lines;
    while (!view.empty()) {
        const auto end = view.find('\n');
        std::string_view line = view.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(text::FromUtf8(line));
        if (end == std::string_view::npos) break;
        view.remove_prefix(end + 1);
    }
    return lines;
}


// Waits for the process while letting this thread's window messages through.
DWORD WaitPumping(HANDLE process) {
    for (;;) {
        const DWORD r = ::MsgWaitForMultipleObjects(1, &process, FALSE, 1000, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_FAILED) throw std::runtime_error("waiting for the out-of-process extractor failed");
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code)) throw std::runtime_error("the extractor's exit code cannot be read");
    return code;
}

// Runs the extraction in a second engine process, which has a fresh address space.
std::wstring ExtractOutOfProcess(const ExtractRequest& request) {
    const std::wstring parameters = TempFolder() + NewGuidText();
    const std::wstring itemsFile = parameters + L"items";
    struct Cleanup {
        const std::wstring& a;
        const std::wstring& b;
        ~Cleanup() {
            win::DeleteFileIfExists(a);
            win::DeleteFileIfExists(b);
        }
    } cleanup{parameters, itemsFile};

    if (!win::WriteFileBytes(parameters, Lines({request.archive, request.password, request.destination,
                                                request.keepPaths ? L"TRUE" : L"FALSE",
                                                request.overwrite ? L"TRUE" : L"FALSE"}))) {
        throw std::runtime_error("the extractor's parameter file cannot be written");
    }
    if (!request.items.empty() && !win::WriteFileBytes(itemsFile, Lines(request.items))) {
        throw std::runtime_error("the extractor's item list cannot be written");
    }

    const std::wstring program = g_extractorProgram.empty() ? win::ModulePath(nullptr) : g_extractorProgram;
    if (program.empty()) throw std::runtime_error("the engine's own file cannot be found");
    std::wstring commandLine = L"\"" + program + L"\" OutOfProcessExtract \"" + parameters + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return L"#" + text::ToDecimal(qox::kOutOfProcessFailed);
    }
    win::KernelHandle process(info.hProcess);
    win::KernelHandle thread(info.hThread);
    if (WaitPumping(process.get()) != 0) return L"#" + text::ToDecimal(qox::kOutOfProcessFailed);
    const auto lines = ReadLines(parameters);
    if (!lines) return L"#" + text::ToDecimal(qox::kOutOfProcessFailed);
    return lines->empty() ? std::wstring() : lines->front();
}

}  // namespace

std::wstring ExtractArchive(const ExtractRequest& original) {
    try {
        ExtractRequest request = original;
        request.archive = win::FullPath(request.archive);
        request.destination = win::WithBackslash(request.destination);
        std::vector<std::wstring> items = request.items;
        if (items.empty()) {
            std::wstring error;
            items = ListItems(request, error);
            if (!error.empty()) return error;
        }
        std::wstring error = CallExtract(request, items);
        if (error == kOutOfMemory) {
            // Give the address space back what the working set holds, then try once more.
            // Trimming is only a help: when it fails the retry goes ahead all the same.
            const BOOL trimmed =
                ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
            static_cast<void>(trimmed);
            error = CallExtract(request, items);
        }
        if (error == kOutOfMemory && !g_isExtractor) error = ExtractOutOfProcess(request);
        return error;
    } catch (const std::exception& e) {
        return text::FromUtf8(e.what());
    }
}

std::uint32_t RunOutOfProcessExtractor(const std::wstring& parameterFile) {
    g_isExtractor = true;
    try {
        if (parameterFile.empty() || !win::FileExists(parameterFile)) return kExitNoParameterFile;
        const auto lines = ReadLines(parameterFile);
        if (!lines) return kExitNoParameterFile;
        auto line = [&](std::size_t i) { return i < lines->size() ? (*lines)[i] : std::wstring(); };
        ExtractRequest request;
        request.archive = line(0);
        request.password = line(1);
        request.destination = line(2);
        request.keepPaths = velmora::TextToBool(line(3));
        request.overwrite = velmora::TextToBool(line(4));
        if (const auto items = ReadLines(parameterFile + L"items")) {
            for (const std::wstring& item : *items) {
                if (!item.empty()) request.items.push_back(item);
            }
        }
        if (request.archive.empty() || !win::FileExists(request.archive)) return kExitNoArchive;
        LoadArchiveLibrary(win::FolderOf(win::ModulePath(nullptr)));  // a failure comes back as the error text
        const std::wstring error = ExtractArchive(request);
        // The one-line answer; if it cannot be written the caller must not
        // read the old first line as an answer, so the exit code says failure.
        if (!win::WriteFileBytes(parameterFile, text::ToUtf8(error) + "\r\n")) return kExitUnexpected;
        return 0;
    } catch (const std::exception&) {
        return kExitUnexpected;
    }
}

namespace testing {
void ForceOutOfMemory(int calls) { g_forcedOutOfMemory = calls; }
void SetExtractorProgram(const std::wstring& path) { g_extractorProgram = path; }
}  // namespace testing

}  // namespace velmora::media
