// Writing archives: create (or add to) and delete items. Both write the new
// archive beside the old one and put it in place only when it is complete.
#include "qox/library.hpp"

#include "core/text.hpp"
#include "qox/com.hpp"
#include "qox/streams.hpp"
#include "win/file.hpp"

#include <oleauto.h>

#include <new>
#include <unordered_set>

namespace velmora::qox {
namespace {

// A file or folder to add, or an item of the old archive kept as it is.
struct UpdateEntry {
    bool kept = false;
    UINT32 oldIndex = 0;
    std::wstring source;  // the file on disk
    std::wstring name;    // its path in the archive
    bool isDir = false;
    std::uint64_t size = 0;
    DWORD attributes = 0;
    FILETIME created{}, accessed{}, modified{};
};

// The archive properties that the switch string sets, in order; a later
// switch of the same name replaces an earlier one, as on 7-Zip's command line.
struct Switches {
    std::vector<std::wstring> names;
    std::vector<std::wstring> values;
    std::vector<bool> hasValue;
    bool shareWrite = false;  // -ssw: add files that other programs hold open for writing

    void Set(const std::wstring& name, const std::wstring& value, bool withValue) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (text::SameText(names[i], name)) {
                names.erase(names.begin() + static_cast<std::ptrdiff_t>(i));
                values.erase(values.begin() + static_cast<std::ptrdiff_t>(i));
                hasValue.erase(hasValue.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        names.push_back(name);
        values.push_back(value);
        hasValue.push_back(withValue);
    }
};

// Compression level ("x") for each mode code the engine passes; the method
// switches, when given, override what the level implies.
std::optional<unsigned> LevelForModeCode(DWORD code) {
    switch (code) {
        case 0: return 0u;    // store
        case 5: return 1u;    // fastest
        case 4: return 3u;    // fast
        case 6: return 5u;    // normal
        case 130: return 7u;  // maximum
        case 132: return 9u;  // ultra
        case 1: return 9u;    // ultra
        default: return std::nullopt;
    }
}

Switches ParseSwitches(const wchar_t* text, DWORD modeCode) {
    Switches s;
    const auto level = LevelForModeCode(modeCode);
    if (!level) throw Failure{kInvalidSwitch};
    s.Set(L"x", text::ToDecimal(*level), true);
    const std::wstring all = text != nullptr ? text : L"";
    std::size_t at = 0;
    while (at < all.size()) {
        const std::size_t start = all.find_first_not_of(L" \t\r\n", at);
        if (start == std::wstring::npos) break;
        std::size_t end = all.find_first_of(L" \t\r\n", start);
        if (end == std::wstring::npos) end = all.size();
        const std::wstring token = all.substr(start, end - start);
        at = end;
        if (token.size() < 2 || (token[0] != L'-' && token[0] != L'/')) throw Failure{kInvalidSwitch};
        const std::wstring body = token.substr(1);
        if (text::SameText(body, L"ssw")) {
            s.shareWrite = true;
        } else if (text::SameText(body, L"t7z")) {
            // the only format this library writes
        } else if (body.size() > 1 && (body[0] == L'm' || body[0] == L'M')) {
            const std::wstring property = body.substr(1);
            const auto eq = property.find(L'=');
            if (eq == 0) throw Failure{kInvalidSwitch};
            if (eq == std::wstring::npos) {
                s.Set(property, L"", false);  // bond switches such as -mb0s1:2 carry no value
            } else {
                s.Set(property.substr(0, eq), property.substr(eq + 1), true);
            }
        } else {
            throw Failure{kInvalidSwitch};
        }
    }
    return s;
}

// Hands the switches to the handler: numbers as numbers, other values as
// text, bare names as empty values, the way 7-Zip's own front end does.
void ApplySwitches(sz::IOutArchive* out, const Switches& s) {
    sz::ISetProperties* raw = nullptr;
    if (out->QueryInterface(sz::kIidSetProperties, reinterpret_cast<void**>(&raw)) != S_OK || raw == nullptr) {
        throw Failure{kUnexpected};
    }
    win::ComPtr<sz::ISetProperties> setter(raw);
    std::vector<const wchar_t*> names;
    std::vector<PROPVARIANT> values(s.names.size());
    for (std::size_t i = 0; i < s.names.size(); ++i) {
        names.push_back(s.names[i].c_str());
        PROPVARIANT& v = values[i];
        ::PropVariantInit(&v);
        if (!s.hasValue[i]) continue;
        if (auto n = text::ParseInt64(s.values[i]); n && *n >= 0 && *n <= 0xFFFFFFFFll && s.values[i][0] != L'+') {
            v.vt = VT_UI4;
            v.ulVal = static_cast<ULONG>(*n);
        } else {
            v.vt = VT_BSTR;
            v.bstrVal = ::SysAllocString(s.values[i].c_str());
            if (v.bstrVal == nullptr) throw Failure{kOutOfMemory};
        }
    }
    const HRESULT hr = setter.get()->SetProperties(names.data(), values.data(), static_cast<UINT32>(values.size()));
    for (PROPVARIANT& v : values) ::PropVariantClear(&v);
    if (hr == E_OUTOFMEMORY) throw Failure{kOutOfMemory};
    if (hr != S_OK) throw Failure{kInvalidSwitch};
}

class UpdateCallback final
    : public ComObject<sz::IArchiveUpdateCallback, sz::ICryptoGetTextPassword2, sz::ICryptoGetTextPassword> {
public:
    UpdateCallback(Operation& op, const std::vector<UpdateEntry>& entries, bool shareWrite)
        : op_(op), entries_(entries), shareWrite_(shareWrite) {}

    HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) override {
        op_.SetTotal(total);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* done) override {
        return done != nullptr ? op_.SetCompleted(*done) : S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetUpdateItemInfo(UINT32 index, INT32* newData, INT32* newProps,
                                                UINT32* indexInArchive) override {
        if (index >= entries_.size()) return E_INVALIDARG;
        const UpdateEntry& e = entries_[index];
        if (newData != nullptr) *newData = e.kept ? 0 : 1;
        if (newProps != nullptr) *newProps = e.kept ? 0 : 1;
        if (indexInArchive != nullptr) *indexInArchive = e.kept ? e.oldIndex : static_cast<UINT32>(-1);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID id, PROPVARIANT* value) override {
        if (value == nullptr) return E_POINTER;
        ::PropVariantInit(value);
        if (index >= entries_.size()) return E_INVALIDARG;
        const UpdateEntry& e = entries_[index];
        switch (id) {
            case sz::kpidPath:
                value->vt = VT_BSTR;
                value->bstrVal = ::SysAllocString(e.name.c_str());
                return value->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
            case sz::kpidIsDir:
            case sz::kpidIsAnti:
                value->vt = VT_BOOL;
                value->boolVal = (id == sz::kpidIsDir && e.isDir) ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            case sz::kpidSize:
                value->vt = VT_UI8;
                value->uhVal.QuadPart = e.size;
                return S_OK;
            case sz::kpidAttrib:
                value->vt = VT_UI4;
                value->ulVal = e.attributes;
                return S_OK;
            case sz::kpidMTime:
            case sz::kpidCTime:
            case sz::kpidATime:
                value->vt = VT_FILETIME;
                value->filetime = id == sz::kpidMTime ? e.modified : id == sz::kpidCTime ? e.created : e.accessed;
                return S_OK;
            default:
                return S_OK;  // VT_EMPTY: not known
        }
    }

    HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, sz::ISequentialInStream** stream) override {
        if (stream == nullptr) return E_POINTER;
        *stream = nullptr;
        if (index >= entries_.size()) return E_INVALIDARG;
        try {
            const UpdateEntry& e = entries_[index];
            if (const HRESULT hr = op_.ItemStarted(e.name); hr != S_OK) return hr;
            if (e.isDir) return S_OK;
            const DWORD share = FILE_SHARE_READ | (shareWrite_ ? FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0);
            win::FileHandle file(::CreateFileW(win::LongPath(e.source).c_str(), GENERIC_READ, share, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            if (!file) {
                op_.Fail(kCannotReadSource);
                return E_ABORT;
            }
            auto* in = new FileStream(std::move(file), FileStream::Access::Read);
            *stream = static_cast<sz::IInStream*>(in);
            return S_OK;
        } catch (const std::bad_alloc&) {
            op_.Fail(kOutOfMemory);
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) override {
        if (result != sz::kOpOk) op_.Fail(kCannotReadSource);
        return op_.ItemDone(++done_, static_cast<DWORD>(entries_.size()));
    }

    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword2(INT32* defined, BSTR* password) override {
        if (defined == nullptr || password == nullptr) return E_POINTER;
        *defined = 0;
        *password = nullptr;
        const auto p = op_.Password();
        if (!p || p->empty()) return S_OK;  // no password: no encryption
        *defined = 1;
        return op_.PasswordForSevenZip(password);
    }
    // Asked when items of the old archive must be decoded to be written again.
    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override {
        return op_.PasswordForSevenZip(password);
    }

private:
    void* Find(REFIID iid) override {
        if (iid == IID_IUnknown || iid == sz::kIidArchiveUpdateCallback || iid == sz::kIidProgress) {
            return static_cast<sz::IArchiveUpdateCallback*>(this);
        }
        if (iid == sz::kIidCryptoGetTextPassword2) return static_cast<sz::ICryptoGetTextPassword2*>(this);
        if (iid == sz::kIidCryptoGetTextPassword) return static_cast<sz::ICryptoGetTextPassword*>(this);
        return nullptr;
    }

    Operation& op_;
    const std::vector<UpdateEntry>& entries_;
    bool shareWrite_;
    DWORD done_ = 0;
};

// Writes the entries as a new archive and puts it in place of the old one
// (closing the old one first); the old archive stays as it was on failure.
void WriteArchive(Operation& op, const std::wstring& archive, OpenedArchive* old,
                  const std::vector<UpdateEntry>& entries, const Switches& switches) {
    win::ComPtr<sz::IOutArchive> out;
    {
        sz::IOutArchive* raw = nullptr;
        if (old != nullptr) {
            if (old->archive.get()->QueryInterface(sz::kIidOutArchive, reinterpret_cast<void**>(&raw)) != S_OK) {
                throw Failure{kUnexpected};
            }
        } else {
            CreateSevenZipObject(sz::kIidOutArchive, reinterpret_cast<void**>(&raw));
        }
        out.reset(raw);
    }
    ApplySwitches(out.get(), switches);

    const std::wstring folder = win::FolderOf(archive);
    if (!CreateFolders(folder)) throw Failure{kCannotReplaceArchive};
    wchar_t temp[MAX_PATH];
    if (::GetTempFileNameW(folder.c_str(), L"qox", 0, temp) == 0) throw Failure{kCannotReplaceArchive};
    struct TempFile {
        std::wstring path;
        bool keep = false;
        ~TempFile() {
            if (!keep) win::DeleteFileIfExists(path);
        }
    } tempFile{temp};

    HRESULT hr;
    {
        win::FileHandle file(::CreateFileW(temp, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw Failure{kCannotReplaceArchive};
        win::ComPtr<FileStream> stream(new FileStream(std::move(file), FileStream::Access::Write));
        win::ComPtr<UpdateCallback> callback(new UpdateCallback(op, entries, switches.shareWrite));
        hr = out.get()->UpdateItems(stream.get(), static_cast<UINT32>(entries.size()), callback.get());
        if (hr == S_OK && stream.get()->lastError() != 0) op.Fail(kCannotReplaceArchive);
        stream.get()->CloseFile();
    }
    out.reset();
    if (old != nullptr) old->Close();
    if (op.failure() != 0) throw Failure{op.failure()};
    // What 7z.dll refuses beyond the switches it accepted (an unknown method,
    // a bond that does not fit) surfaces here.
    if (hr != S_OK) throw Failure{CodeFor(hr, op, kInvalidSwitch)};
    if (!::MoveFileExW(temp, win::LongPath(archive).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw Failure{kCannotReplaceArchive};
    }
    tempFile.keep = true;
}

// Gathers the files and folders that the include list names.
class Collector {
public:
    Collector(DWORD pathMode, std::vector<std::wstring> excludes, std::wstring archive)
        : pathMode_(pathMode), excludes_(std::move(excludes)), archive_(std::move(archive)) {}

    void Include(const std::wstring& entry) {
        const std::wstring full = win::FullPath(WithBackslashes(entry));
        const std::wstring folder = win::FolderOf(full);
        const std::wstring pattern = win::FileNameOf(full);
        if (pattern.empty()) {
            Children(folder, L"*", folder);
        } else if (!HasWildcard(pattern)) {
            WIN32_FIND_DATAW data{};
            win::FindHandle find(::FindFirstFileW(win::LongPath(full).c_str(), &data));
            if (!find) throw Failure{kCannotReadSource};  // a file named outright must be there
            Add(folder, data, folder);
        } else {
            Children(folder, pattern, folder);
        }
    }

    std::vector<UpdateEntry> entries;

private:
    void Children(const std::wstring& folder, const std::wstring& pattern, const std::wstring& base) {
        WIN32_FIND_DATAW data{};
        win::FindHandle find(::FindFirstFileW(win::LongPath(folder + L"*").c_str(), &data));
        if (!find) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES) return;
            throw Failure{kCannotReadSource};
        }
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (WildcardMatch(pattern, name)) Add(folder, data, base);
        } while (::FindNextFileW(find.get(), &data));
        if (::GetLastError() != ERROR_NO_MORE_FILES) throw Failure{kCannotReadSource};
    }

    void Add(const std::wstring& folder, const WIN32_FIND_DATAW& data, const std::wstring& base) {
        const std::wstring path = folder + data.cFileName;
        if (Excluded(path) || text::SameText(path, archive_)) return;
        // Reparse points (links, junctions) are not followed: they may lead anywhere.
        const bool isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        UpdateEntry e;
        e.source = path;
        e.name = NameInArchive(path, base);
        e.isDir = isDir;
        e.size = isDir ? 0 : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        e.attributes = data.dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT;
        e.created = data.ftCreationTime;
        e.accessed = data.ftLastAccessTime;
        e.modified = data.ftLastWriteTime;
        if (!e.name.empty() && seen_.insert(text::Upper(e.name)).second) entries.push_back(e);
        if (isDir && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Children(path + L"\\", L"*", base);
    }

    bool Excluded(const std::wstring& path) const {
        for (const std::wstring& x : excludes_) {
            if (text::SameText(win::FolderOf(x), win::FolderOf(path)) &&
                WildcardMatch(win::FileNameOf(x), win::FileNameOf(path))) {
                return true;
            }
        }
        return false;
    }

    std::wstring NameInArchive(const std::wstring& path, const std::wstring& base) const {
        const std::wstring relative = path.substr(base.size());
        if (pathMode_ == kPathWithFolder) {
            std::wstring parent = base;
            parent.pop_back();
            const std::wstring last = win::FileNameOf(parent);
            return last.empty() || last.back() == L':' ? relative : last + L"\\" + relative;
        }
        if (pathMode_ == kPathFull) {
            if (path.rfind(L"\\\\", 0) == 0) return path.substr(2);  // \\server\share\... -> server\share\...
            const auto colon = path.find(L":\\");
            return colon == std::wstring::npos ? relative : path.substr(colon + 2);
        }
        return relative;
    }

    DWORD pathMode_;
    std::vector<std::wstring> excludes_;
    std::wstring archive_;
    std::unordered_set<std::wstring> seen_;
};

std::wstring CurrentFolder() {
    const DWORD need = ::GetCurrentDirectoryW(0, nullptr);
    if (need == 0) return {};
    std::wstring folder(need, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(need, folder.data());
    if (got == 0 || got >= need) return {};
    folder.resize(got);
    return win::WithBackslash(folder);
}

}  // namespace

void Create(Operation& op, const std::wstring& archive, DWORD modeCode, const TargetFiles* includes,
            const TargetFiles* excludes, DWORD pathMode, const wchar_t* switches) {
    if (archive.empty() || includes == nullptr || includes->count == 0 || pathMode > kPathWithFolder) {
        throw Failure{kInvalidArgument};
    }
    const Switches parsed = ParseSwitches(switches, modeCode);
    std::vector<std::wstring> excluded;
    for (const std::wstring& x : ListEntries(excludes)) excluded.push_back(win::FullPath(WithBackslashes(x)));
    const std::wstring full = win::FullPath(archive);
    Collector collector(pathMode, std::move(excluded), full);
    for (const std::wstring& entry : ListEntries(includes)) collector.Include(entry);
    if (collector.entries.empty()) throw Failure{kNothingToAdd};

    if (!win::FileExists(full)) {
        WriteArchive(op, full, nullptr, collector.entries, parsed);
        return;
    }
    // Adding to an existing archive: its items stay unless a new file of the same name replaces them.
    OpenedArchive old = OpenArchive(op, full);
    const std::vector<ArchiveItem> items = ReadItems(old.archive.get());
    std::unordered_set<std::wstring> replaced;
    for (const UpdateEntry& e : collector.entries) replaced.insert(text::Upper(e.name));
    std::vector<UpdateEntry> entries;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (replaced.count(text::Upper(items[i].path)) != 0) continue;
        UpdateEntry kept;
        kept.kept = true;
        kept.oldIndex = static_cast<UINT32>(i);
        entries.push_back(kept);
    }
    entries.insert(entries.end(), collector.entries.begin(), collector.entries.end());
    Switches withHeaders = parsed;
    if (old.headersEncrypted) withHeaders.Set(L"he", L"on", true);
    WriteArchive(op, full, &old, entries, withHeaders);
}

void Delete(Operation& op, const std::wstring& archive, DWORD mode, const TargetFiles* targets) {
    if (archive.empty() || mode != kExtractListed || targets == nullptr || targets->count == 0) {
        throw Failure{kInvalidArgument};
    }
    // Targets come as full paths made from the current folder; the part below
    // it is the pattern matched against the item paths (a folder takes its
    // contents along).
    const std::wstring here = text::Upper(CurrentFolder());
    std::vector<std::wstring> patterns;
    for (const std::wstring& t : ListEntries(targets)) {
        std::wstring p = WithBackslashes(t);
        if (!here.empty() && text::Upper(p).rfind(here, 0) == 0) p = p.substr(here.size());
        while (!p.empty() && p.back() == L'\\') p.pop_back();
        patterns.push_back(p);
    }
    const std::wstring full = win::FullPath(archive);
    OpenedArchive old = OpenArchive(op, full);
    const std::vector<ArchiveItem> items = ReadItems(old.archive.get());
    std::vector<UpdateEntry> entries;
    bool any = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        bool drop = false;
        for (const std::wstring& p : patterns) {
            // The item itself or any folder above it.
            std::wstring path = items[i].path;
            for (;;) {
                if (WildcardMatch(p, path)) drop = true;
                const auto slash = path.rfind(L'\\');
                if (drop || slash == std::wstring::npos) break;
                path.resize(slash);
            }
            if (drop) break;
        }
        if (drop) {
            any = true;
            continue;
        }
        UpdateEntry kept;
        kept.kept = true;
        kept.oldIndex = static_cast<UINT32>(i);
        entries.push_back(kept);
    }
    if (!any) throw Failure{kItemNotFound};
    Switches s;
    if (old.headersEncrypted) s.Set(L"he", L"on", true);
    WriteArchive(op, full, &old, entries, s);
}

}  // namespace velmora::qox
