// Reading archives: extract, test and list.
#include "qox/library.hpp"

#include "core/text.hpp"
#include "qox/com.hpp"
#include "qox/streams.hpp"
#include "win/file.hpp"

#include <algorithm>
#include <new>
#include <memory>
#include <unordered_map>

namespace velmora::qox {
namespace {

DWORD CodeForResult(INT32 result, bool encrypted) {
    switch (result) {
        case sz::kOpOk: return kOk;
        case sz::kOpUnsupportedMethod: return kUnsupportedMethod;
        case sz::kOpWrongPassword: return kCannotOpen;
        case sz::kOpDataError:
        case sz::kOpCrcError:
            // An encrypted item decoded with a wrong key fails its data check
            // rather than reporting a wrong password.
            return encrypted ? kCannotOpen : kDataError;
        default: return kDataError;
    }
}

constexpr DWORD kAttributesKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Writes the chosen items: outputs[i] is the file or folder for archive item
// i, empty for items that are not written (and for every item in a test).
class ExtractCallback final : public ComObject<sz::IArchiveExtractCallback, sz::ICryptoGetTextPassword> {
public:
    ExtractCallback(Operation& op, const std::vector<ArchiveItem>& items, const std::vector<std::wstring>& outputs,
                    OverwriteCallback overwrite, DWORD count)
        : op_(op), items_(items), outputs_(outputs), overwrite_(overwrite), count_(count) {}

    HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) override {
        op_.SetTotal(total);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* done) override {
        return done != nullptr ? op_.SetCompleted(*done) : S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, sz::ISequentialOutStream** stream, INT32 askMode) override {
        if (stream == nullptr) return E_POINTER;
        *stream = nullptr;
        try {
            Abandon();
            if (index >= items_.size()) return E_INVALIDARG;
            current_ = index;
            if (const HRESULT hr = op_.ItemStarted(items_[index].path); hr != S_OK) return hr;
            if (askMode != sz::kAskExtract || outputs_.empty() || outputs_[index].empty()) return S_OK;
            const ArchiveItem& item = items_[index];
            const std::wstring& target = outputs_[index];
            if (item.isDir) return CreateFolders(target) ? S_OK : Fail(kCannotWrite);
            if (!CreateFolders(win::FolderOf(target))) return Fail(kCannotWrite);
            const std::wstring longTarget = win::LongPath(target);
            WIN32_FILE_ATTRIBUTE_DATA existing{};
            if (::GetFileAttributesExW(longTarget.c_str(), GetFileExInfoStandard, &existing)) {
                if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(kCannotWrite);
                const DWORD answer =
                    overwrite_ == nullptr
                        ? kOverwriteReplace
                        : overwrite_(existing.nFileSizeLow, existing.nFileSizeHigh,
                                     existing.ftLastWriteTime.dwLowDateTime, existing.ftLastWriteTime.dwHighDateTime,
                                     existing.dwFileAttributes, static_cast<DWORD>(item.size),
                                     static_cast<DWORD>(item.size >> 32), item.modified.dwLowDateTime,
                                     item.modified.dwHighDateTime, item.attributes & kAttributesKept);
                if (answer == kOverwriteAbort) return Fail(kAborted);
                if (answer != kOverwriteReplace) return S_OK;  // the existing file stays; 7z.dll skips the data
                if ((existing.dwFileAttributes & FILE_ATTRIBUTE_READONLY) &&
                    !::SetFileAttributesW(longTarget.c_str(), existing.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
                    return Fail(kCannotWrite);
                }
            }
            win::FileHandle file(::CreateFileW(longTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) return Fail(kCannotWrite);
            out_.reset(new FileStream(std::move(file), FileStream::Access::Write));
            outPath_ = longTarget;
            out_.get()->AddRef();
            *stream = out_.get();
            return S_OK;
        } catch (const std::bad_alloc&) {
            return Fail(kOutOfMemory);
        } catch (...) {
            return Fail(kUnexpected);
        }
    }

    HRESULT STDMETHODCALLTYPE PrepareOperation(INT32) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) override {
        const ArchiveItem* item = current_ < items_.size() ? &items_[current_] : nullptr;
        DWORD code = CodeForResult(result, item != nullptr && item->encrypted);
        if (code == kDataError && op_.passwordMissing()) code = kCannotOpen;
        if (out_) {
            if (out_.get()->lastError() != 0 && code == kOk) code = kCannotWrite;
            if (code == kOk) {
                const FILETIME* created = item->created.dwHighDateTime != 0 ? &item->created : nullptr;
                const FILETIME* modified = item->modified.dwHighDateTime != 0 ? &item->modified : nullptr;
                if ((created != nullptr || modified != nullptr) &&
                    !::SetFileTime(out_.get()->handle(), created, nullptr, modified)) {
                    code = kCannotWrite;
                }
            }
            out_.get()->CloseFile();
            out_.reset();
            if (code == kOk && (item->attributes & kAttributesKept) != 0 &&
                !::SetFileAttributesW(outPath_.c_str(), item->attributes & kAttributesKept)) {
                code = kCannotWrite;
            }
            // A file that did not come out whole is not left behind.
            if (code != kOk) win::DeleteFileIfExists(outPath_);
            outPath_.clear();
        }
        if (code != kOk) op_.Fail(code);
        return op_.ItemDone(++done_, count_);
    }

    HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) override {
        return op_.PasswordForSevenZip(password);
    }

    // Closes and deletes a file that 7z.dll stopped writing before its result.
    void Abandon() {
        if (!out_) return;
        out_.get()->CloseFile();
        out_.reset();
        win::DeleteFileIfExists(outPath_);
        outPath_.clear();
    }

private:
    void* Find(REFIID iid) override {
        if (iid == IID_IUnknown || iid == sz::kIidArchiveExtractCallback || iid == sz::kIidProgress) {
            return static_cast<sz::IArchiveExtractCallback*>(this);
        }
        if (iid == sz::kIidCryptoGetTextPassword) return static_cast<sz::ICryptoGetTextPassword*>(this);
        return nullptr;
    }
    HRESULT Fail(DWORD code) {
        op_.Fail(code);
        return code == kOutOfMemory ? E_OUTOFMEMORY : E_ABORT;
    }

    Operation& op_;
    const std::vector<ArchiveItem>& items_;
    const std::vector<std::wstring>& outputs_;
    OverwriteCallback overwrite_;
    DWORD count_;
    DWORD done_ = 0;
    UINT32 current_ = static_cast<UINT32>(-1);
    win::ComPtr<FileStream> out_;
    std::wstring outPath_;
};

// Runs 7z.dll's Extract over the indices (all items when empty) and turns
// its answer into the call's failure.
void RunExtract(Operation& op, sz::IInArchive* archive, const std::vector<ArchiveItem>& items,
                const std::vector<UINT32>& indices, const std::vector<std::wstring>& outputs, bool test,
                OverwriteCallback overwrite) {
    const DWORD count = static_cast<DWORD>(indices.empty() ? items.size() : indices.size());
    win::ComPtr<ExtractCallback> callback(new ExtractCallback(op, items, outputs, overwrite, count));
    const HRESULT hr = indices.empty()
                           ? archive->Extract(nullptr, static_cast<UINT32>(-1), test ? 1 : 0, callback.get())
                           : archive->Extract(indices.data(), static_cast<UINT32>(indices.size()), test ? 1 : 0,
                                              callback.get());
    callback.get()->Abandon();
    if (op.failure() != 0) throw Failure{op.failure()};
    if (hr != S_OK) throw Failure{CodeFor(hr, op, kDataError)};
}

// Upper-cased path without leading or trailing separators, for matching names.
std::wstring MatchKey(std::wstring_view path) {
    std::wstring key = text::Upper(WithBackslashes(path));
    while (!key.empty() && key.back() == L'\\') key.pop_back();
    const auto first = key.find_first_not_of(L'\\');
    return first == std::wstring::npos ? std::wstring() : key.substr(first);
}

}  // namespace

std::vector<std::wstring> ListEntries(const TargetFiles* list) {
    std::vector<std::wstring> entries;
    if (list == nullptr) return entries;
    if (list->count != 0 && list->files == nullptr) throw Failure{kInvalidArgument};
    for (DWORD i = 0; i < list->count; ++i) {
        if (list->files[i] == nullptr) throw Failure{kInvalidArgument};
        entries.emplace_back(list->files[i]);
    }
    return entries;
}

void Extract(Operation& op, const std::wstring& archive, DWORD mode, const std::wstring& destination,
             const TargetFiles* targets, DWORD pathFlag, OverwriteCallback overwrite) {
    if (destination.empty() || (mode != kExtractAll && mode != kExtractListed) ||
        (pathFlag != kKeepPaths && pathFlag != kNoPaths)) {
        throw Failure{kInvalidArgument};
    }
    const std::vector<std::wstring> wanted = ListEntries(targets);
    if (mode == kExtractListed && targets == nullptr) throw Failure{kInvalidArgument};

    OpenedArchive opened = OpenArchive(op, archive);
    const std::vector<ArchiveItem> items = ReadItems(opened.archive.get());

    // The items asked for: each name as listed, a folder with everything below it.
    std::vector<bool> chosen(items.size(), mode == kExtractAll);
    if (mode == kExtractListed) {
        std::vector<std::wstring> keys;
        keys.reserve(items.size());
        std::unordered_map<std::wstring, std::vector<std::size_t>> byKey;
        for (std::size_t i = 0; i < items.size(); ++i) {
            keys.push_back(MatchKey(items[i].path));
            byKey[keys.back()].push_back(i);
        }
        for (const std::wstring& name : wanted) {
            const std::wstring key = MatchKey(name);
            bool found = false;
            if (auto it = byKey.find(key); it != byKey.end()) {
                for (std::size_t i : it->second) chosen[i] = true;
                found = true;
            }
            const std::wstring below = key + L"\\";
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (!key.empty() && keys[i].rfind(below, 0) == 0) {
                    chosen[i] = true;
                    found = true;
                }
            }
            if (!found) throw Failure{kItemNotFound};
        }
    }

    // Every output is decided before anything is written: one unsafe name
    // fails the whole extraction, so nothing at all lands outside (or inside).
    const std::wstring root = win::WithBackslash(win::FullPath(destination));
    const std::wstring rootKey = text::Upper(root);
    std::vector<std::wstring> outputs(items.size());
    std::vector<UINT32> indices;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!chosen[i]) continue;
        const auto segments = SafeSegments(items[i].path);
        if (!segments) throw Failure{kUnsafePath};
        std::wstring relative;
        if (pathFlag == kKeepPaths) {
            for (const std::wstring& s : *segments) relative += (relative.empty() ? L"" : L"\\") + s;
        } else if (!items[i].isDir) {
            relative = segments->back();
        }
        if (!relative.empty()) {
            outputs[i] = win::FullPath(root + relative);
            // The system's own reading of the name must still lie below the root.
            if (text::Upper(outputs[i]).rfind(rootKey, 0) != 0 || outputs[i].size() <= root.size()) {
                throw Failure{kUnsafePath};
            }
        }
        indices.push_back(static_cast<UINT32>(i));
    }
    if (indices.empty()) return;
    if (!CreateFolders(root)) throw Failure{kCannotWrite};
    RunExtract(op, opened.archive.get(), items, indices, outputs, false, overwrite);
}

void Test(Operation& op, const std::wstring& archive) {
    OpenedArchive opened = OpenArchive(op, archive);
    const std::vector<ArchiveItem> items = ReadItems(opened.archive.get());
    if (items.empty()) return;
    RunExtract(op, opened.archive.get(), items, {}, {}, true, nullptr);
}

ItemList* OpenList(Operation& op, const std::wstring& archive) {
    OpenedArchive opened = OpenArchive(op, archive);
    const std::vector<ArchiveItem> items = ReadItems(opened.archive.get());
    auto list = std::make_unique<ItemList>();
    list->paths.reserve(items.size());
    for (const ArchiveItem& item : items) list->paths.push_back(item.path);
    list->entries.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        ListItem& e = list->entries[i];
        e = ListItem{};
        e.path = list->paths[i].c_str();
        e.attributes = items[i].attributes;
        e.size = items[i].size;
        e.packedSize = items[i].packedSize;
        e.modified = items[i].modified;
        e.crc = items[i].crc;
        e.flags = (items[i].isDir ? kItemIsFolder : 0) | (items[i].encrypted ? kItemIsEncrypted : 0);
        e.index = static_cast<DWORD>(i);
    }
    return list.release();
}

}  // namespace velmora::qox
