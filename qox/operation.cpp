#include "qox/operation.hpp"

#include "core/text.hpp"
#include "qox/com.hpp"
#include "qox/streams.hpp"
#include "win/file.hpp"

#include <oleauto.h>

#include <mutex>
#include <new>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this library's own module

namespace velmora::qox {
namespace {

// 7z.dll, loaded once per process and kept until the process ends: objects it
// made may still be alive when the library is unloaded.
std::mutex g_sevenZipLock;
HMODULE g_sevenZip = nullptr;
sz::CreateObjectFn g_createObject = nullptr;

constexpr int kSevenZipResource = 1;

std::string_view CarriedSevenZip() {
    const HMODULE self = reinterpret_cast<HMODULE>(&__ImageBase);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(kSevenZipResource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(self, found);
    const DWORD size = ::SizeofResource(self, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) return {};
    return std::string_view(static_cast<const char*>(bytes), size);
}

// Writes 7z.dll unless an identical copy is there (another engine process may
// have that one loaded). A new copy goes in under a temporary name and is
// then renamed over the old, so no process ever loads a half-written file.
bool PlaceSevenZip(const std::wstring& path, std::string_view bytes) {
    if (auto existing = win::ReadFileBytes(path); existing && *existing == bytes) return true;
    wchar_t temp[MAX_PATH];
    if (::GetTempFileNameW(win::FolderOf(path).c_str(), L"qox", 0, temp) == 0) return false;
    if (!win::WriteFileBytes(temp, bytes) ||
        !::MoveFileExW(temp, win::LongPath(path).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        win::DeleteFileIfExists(temp);
        return false;
    }
    return true;
}

class OpenCallback final : public ComObject<sz::IArchiveOpenCallback, sz::ICryptoGetTextPassword> {
public:
    explicit OpenCallback(Operation& op) : op_(op) {}
    HRESULT STDMETHODCALLTYPE SetTotal(const UINT64*, const UINT64*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64*, const UINT64*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override {
        asked = true;
        return op_.PasswordForSevenZip(password);
    }
    bool asked = false;

private:
    void* Find(REFIID iid) override {
        if (iid == IID_IUnknown || iid == sz::kIidArchiveOpenCallback) {
            return static_cast<sz::IArchiveOpenCallback*>(this);
        }
        if (iid == sz::kIidCryptoGetTextPassword) return static_cast<sz::ICryptoGetTextPassword*>(this);
        return nullptr;
    }
    Operation& op_;
};

// A property value, cleared when it goes.
struct Property {
    PROPVARIANT value;
    Property() { ::PropVariantInit(&value); }
    ~Property() { ::PropVariantClear(&value); }
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
};

std::uint64_t AsNumber(const PROPVARIANT& v) {
    switch (v.vt) {
        case VT_UI1: return v.bVal;
        case VT_UI2: return v.uiVal;
        case VT_UI4: return v.ulVal;
        case VT_UI8: return v.uhVal.QuadPart;
        case VT_I4: return static_cast<std::uint64_t>(v.lVal);
        case VT_I8: return static_cast<std::uint64_t>(v.hVal.QuadPart);
        default: return 0;
    }
}

bool IsDeviceName(std::wstring_view segment) {
    // The name before the first dot, without trailing blanks, is what the system matches.
    std::wstring base(segment.substr(0, segment.find(L'.')));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    base = text::UpperAscii(base);
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* d : kDevices) {
        if (base == d) return true;
    }
    if (base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0)) {
        const wchar_t c = base[3];
        // Digits 0 to 9 and the superscript digits the system also accepts.
        return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
    }
    return false;
}

}  // namespace

Operation::Operation(const wchar_t* password, PasswordCallback passwordCallback, ProgressCallback progress,
                     TickCallback tick)
    : passwordArgument_(password != nullptr ? password : L""),
      passwordCallback_(passwordCallback),
      progress_(progress),
      tick_(tick),
      callerThread_(::GetCurrentThreadId()) {}

std::optional<std::wstring> Operation::Password() {
    if (!passwordAsked_) {
        passwordAsked_ = true;
        if (!passwordArgument_.empty()) {
            password_ = passwordArgument_;
        } else if (passwordCallback_ != nullptr) {
            std::wstring buffer(kPasswordBufferChars, L'\0');
            if (passwordCallback_(buffer.data())) {
                buffer.back() = L'\0';  // a callback that filled the whole buffer still ends here
                buffer.resize(::wcslen(buffer.c_str()));
                password_ = buffer;
            }
        }
    }
    return password_;
}

HRESULT Operation::PasswordForSevenZip(BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    try {
        const auto password = Password();
        if (!password) {
            passwordMissing_ = true;
            return E_ABORT;
        }
        *out = ::SysAllocStringLen(password->data(), static_cast<UINT>(password->size()));
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Operation::Report() {
    if (aborted_) return E_ABORT;
    if (progress_ != nullptr && ::GetCurrentThreadId() == callerThread_ &&
        !progress_(currentItem_.c_str(), done_, total_)) {
        aborted_ = true;
        Fail(kAborted);
        return E_ABORT;
    }
    return S_OK;
}

HRESULT Operation::SetCompleted(std::uint64_t done) {
    done_ = done;
    return Report();
}

HRESULT Operation::ItemStarted(const std::wstring& item) {
    currentItem_ = item;
    return Report();
}

HRESULT Operation::ItemDone(DWORD done, DWORD count) {
    if (aborted_) return E_ABORT;
    if (tick_ != nullptr && !tick_(done, count)) {
        aborted_ = true;
        Fail(kAborted);
        return E_ABORT;
    }
    return S_OK;
}

DWORD LoadSevenZip(const std::wstring& folder) {
    const std::string_view bytes = CarriedSevenZip();
    if (bytes.empty()) return kNoSevenZip;
    const std::wstring full = win::WithBackslash(win::FullPath(folder));
    if (!CreateFolders(full)) return kNoSevenZip;
    const std::wstring path = full + L"7z.dll";
    std::lock_guard<std::mutex> lock(g_sevenZipLock);
    if (g_sevenZip != nullptr) {
        // Already loaded in this process; the folder still gets its copy.
        return PlaceSevenZip(path, bytes) ? kOk : kNoSevenZip;
    }
    // Another engine starting at the same moment deletes the old copy before
    // its own library writes it again: a copy that vanished between placing
    // and loading is placed once more.
    HMODULE module = nullptr;
    for (int attempt = 0; attempt < 3 && module == nullptr; ++attempt) {
        if (!PlaceSevenZip(path, bytes)) continue;
        module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (module == nullptr) return kNoSevenZip;
    auto create = reinterpret_cast<sz::CreateObjectFn>(reinterpret_cast<void*>(::GetProcAddress(module, "CreateObject")));
    if (create == nullptr) {
        ::FreeLibrary(module);
        return kNoSevenZip;
    }
    g_sevenZip = module;
    g_createObject = create;
    return kOk;
}

void CreateSevenZipObject(const GUID& iid, void** object) {
    sz::CreateObjectFn create;
    {
        std::lock_guard<std::mutex> lock(g_sevenZipLock);
        create = g_createObject;
    }
    if (create == nullptr) throw Failure{kNoSevenZip};
    const HRESULT hr = create(&sz::kClsid7z, &iid, object);
    if (hr == E_OUTOFMEMORY) throw Failure{kOutOfMemory};
    if (FAILED(hr) || *object == nullptr) throw Failure{kUnexpected};
}

void OpenedArchive::Close() {
    if (archive) {
        archive.get()->Close();
        archive.reset();
    }
}

OpenedArchive OpenArchive(Operation& op, const std::wstring& path) {
    win::FileHandle file(::CreateFileW(win::LongPath(win::FullPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw Failure{kCannotReadArchive};
    OpenedArchive opened;
    sz::IInArchive* raw = nullptr;
    CreateSevenZipObject(sz::kIidInArchive, reinterpret_cast<void**>(&raw));
    opened.archive.reset(raw);
    win::ComPtr<FileStream> stream(new FileStream(std::move(file), FileStream::Access::Read));
    win::ComPtr<OpenCallback> callback(new OpenCallback(op));
    const UINT64 onlyAtStart = 0;
    const HRESULT hr = opened.archive.get()->Open(stream.get(), &onlyAtStart, callback.get());
    opened.headersEncrypted = callback.get()->asked;
    if (hr == S_OK) return opened;
    opened.archive.reset();  // a failed open needs no Close
    // A wrong password on encrypted headers comes back as S_FALSE, like a file
    // that is no 7z archive: both are "cannot be opened".
    if (hr == S_FALSE || op.passwordMissing()) throw Failure{kCannotOpen};
    throw Failure{CodeFor(hr, op, kDataError)};
}

std::vector<ArchiveItem> ReadItems(sz::IInArchive* archive) {
    UINT32 count = 0;
    if (archive->GetNumberOfItems(&count) != S_OK) throw Failure{kDataError};
    std::vector<ArchiveItem> items(count);
    for (UINT32 i = 0; i < count; ++i) {
        ArchiveItem& item = items[i];
        auto get = [&](PROPID id, auto&& use) {
            Property p;
            if (archive->GetProperty(i, id, &p.value) == S_OK) use(p.value);
        };
        get(sz::kpidPath, [&](const PROPVARIANT& v) {
            if (v.vt == VT_BSTR && v.bstrVal != nullptr) item.path.assign(v.bstrVal, ::SysStringLen(v.bstrVal));
        });
        get(sz::kpidIsDir, [&](const PROPVARIANT& v) { item.isDir = v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE; });
        get(sz::kpidEncrypted,
            [&](const PROPVARIANT& v) { item.encrypted = v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE; });
        get(sz::kpidSize, [&](const PROPVARIANT& v) { item.size = AsNumber(v); });
        get(sz::kpidPackSize, [&](const PROPVARIANT& v) { item.packedSize = AsNumber(v); });
        get(sz::kpidAttrib, [&](const PROPVARIANT& v) { item.attributes = static_cast<DWORD>(AsNumber(v)); });
        get(sz::kpidCRC, [&](const PROPVARIANT& v) { item.crc = static_cast<DWORD>(AsNumber(v)); });
        get(sz::kpidMTime, [&](const PROPVARIANT& v) {
            if (v.vt == VT_FILETIME) item.modified = v.filetime;
        });
        get(sz::kpidCTime, [&](const PROPVARIANT& v) {
            if (v.vt == VT_FILETIME) item.created = v.filetime;
        });
        item.path = WithBackslashes(item.path);
    }
    return items;
}

DWORD CodeFor(HRESULT hr, const Operation& op, DWORD otherwise) {
    if (op.failure() != 0) return op.failure();
    if (op.passwordMissing()) return kCannotOpen;
    switch (hr) {
        case E_OUTOFMEMORY: return kOutOfMemory;
        case E_ABORT: return kAborted;
        case E_NOTIMPL: return kUnsupportedMethod;
        case S_FALSE: return kCannotOpen;
        default: return otherwise;
    }
}

// 7z.dll shows a backslash stored inside a name as this private-use
// character; the writer meant a folder separator, and so it is read here.
constexpr wchar_t kStoredBackslash = L'\uF05C';

std::optional<std::vector<std::wstring>> SafeSegments(std::wstring_view itemPath) {
    constexpr wchar_t kSeparators[] = {L'\\', L'/', kStoredBackslash, L'\0'};
    if (itemPath.empty() || std::wstring_view(kSeparators).find(itemPath.front()) != std::wstring_view::npos) {
        return std::nullopt;
    }
    if (itemPath.find(L':') != std::wstring_view::npos) return std::nullopt;
    std::vector<std::wstring> segments;
    std::size_t start = 0;
    while (start <= itemPath.size()) {
        std::size_t end = itemPath.find_first_of(kSeparators, start);
        if (end == std::wstring_view::npos) end = itemPath.size();
        std::wstring_view segment = itemPath.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == L".") continue;
        // The system drops trailing dots and blanks from a name, so ".. " or
        // "..." would climb as ".." does; such names are refused.
        if (segment.find_first_not_of(L". ") == std::wstring_view::npos) return std::nullopt;
        if (IsDeviceName(segment)) return std::nullopt;
        for (wchar_t c : segment) {
            if (c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*') {
                return std::nullopt;
            }
        }
        segments.emplace_back(segment);
    }
    if (segments.empty()) return std::nullopt;
    return segments;
}


bool CreateFolders(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (path.empty()) return false;
    if (win::FolderExists(path)) return true;
    if (path.size() == 2 && path[1] == L':') return win::FolderExists(path + L"\\");
    const std::wstring parent = win::FolderOf(path);
    if (!parent.empty() && !CreateFolders(parent)) return false;
    if (::CreateDirectoryW(win::LongPath(path).c_str(), nullptr)) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS && win::FolderExists(path);
}

bool HasWildcard(std::wstring_view text) { return text.find_first_of(L"*?") != std::wstring_view::npos; }

bool WildcardMatch(std::wstring_view pattern, std::wstring_view name) {
    const std::wstring p = text::Upper(pattern), n = text::Upper(name);
    std::size_t pi = 0, ni = 0, star = std::wstring::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == L'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == L'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::wstring::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*') ++pi;
    return pi == p.size();
}

std::wstring WithBackslashes(std::wstring_view path) {
    std::wstring out(path);
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    return out;
}

}  // namespace velmora::qox
