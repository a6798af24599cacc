// Shared by the archive tests: the library loaded from the build tree, a
// scratch folder per test, the fixtures that 7zz made, file helpers.
#pragma once

#include "core/text.hpp"
#include "media/archive_library.hpp"
#include "win/file.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace velmora::testsupport {

// A Unix path of the build tree as Wine's Z: drive names it.
inline std::wstring FromUnix(const std::string& unix) {
    std::wstring path = L"Z:" + text::FromUtf8(unix);
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    return path;
}

inline const media::ArchiveLibrary& Library() {
    static const bool loaded = media::LoadArchiveLibrary(win::FolderOf(FromUnix(VELMORA_QOX_LIB)));
    EXPECT_TRUE(loaded) << "qox.lib from " << VELMORA_QOX_LIB;
    const media::ArchiveLibrary* lib = media::TheArchiveLibrary();
    if (lib == nullptr) throw std::runtime_error("qox.lib not loaded");
    return *lib;
}

// The fixtures of tests/e2e/archive_fixtures.sh; empty when not run through ctest.
inline std::wstring Fixtures() {
    const char* unix = std::getenv("VELMORA_TEST_ARCHIVES");
    return unix == nullptr ? std::wstring() : win::WithBackslash(FromUnix(unix));
}

// A fresh folder in the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        static int counter = 0;
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        path_ = win::WithBackslash(std::wstring(temp, n)) + L"velmora-archive-" +
                text::ToDecimal(::GetCurrentProcessId()) + L"-" + text::ToDecimal(++counter) + L"\\";
        win::RemoveFolderTree(path_);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { win::RemoveFolderTree(path_); }
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

inline void WriteFile(const std::wstring& path, const std::string& bytes) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    ASSERT_TRUE(win::WriteFileBytes(path, bytes)) << text::ToUtf8(path);
}

inline std::string ReadFile(const std::wstring& path) {
    auto bytes = win::ReadFileBytes(path);
    return bytes ? *bytes : std::string("<missing>");
}

// Every file below the folder: relative path -> bytes.
inline std::map<std::wstring, std::string> Tree(const std::wstring& folder, const std::wstring& below = L"") {
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((folder + below + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (auto& [k, v] : Tree(folder, below + name + L"\\")) files[k] = v;
        } else {
            files[below + name] = ReadFile(folder + below + name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return files;
}

// The file list record for a vector of texts.
class Targets {
public:
    explicit Targets(std::vector<std::wstring> names) : names_(std::move(names)) {
        for (const auto& n : names_) pointers_.push_back(n.c_str());
        record_ = qox::TargetFiles{pointers_.data(), static_cast<DWORD>(pointers_.size())};
    }
    const qox::TargetFiles* get() const { return &record_; }

private:
    std::vector<std::wstring> names_;
    std::vector<const wchar_t*> pointers_;
    qox::TargetFiles record_{};
};

}  // namespace velmora::testsupport
