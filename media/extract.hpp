// The extraction routine that every extraction of the engine uses (the
// support archive, web media, Extract 7Zip Archive), and the out-of-process
// extractor mode that takes over when this process runs out of memory.
#pragma once

#include "media/archive_library.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velmora::media {

struct ExtractRequest {
    std::wstring archive;
    std::wstring password;
    std::wstring destination;
    std::vector<std::wstring> items;  // empty = all
    // Empty = the library's default. Returns false to abort.
    std::function<bool(const std::wstring& item, std::uint64_t done, std::uint64_t total)> progress;
    bool overwrite = true;
    bool keepPaths = true;
};

// Empty text on success; "#<code>" for a library failure; an exception's message otherwise.
std::wstring ExtractArchive(const ExtractRequest& request);

// The out-of-process extractor mode: returns the process exit code (1, 2 or 0).
std::uint32_t RunOutOfProcessExtractor(const std::wstring& parameterFile);

// Test seams. Out-of-memory failures cannot be caused on demand, so tests
// make the library's extraction report "#1018" instead, for the next `calls`
// calls (1: the working-set retry succeeds; 2: the second process takes
// over). The second process is normally this program's own file; a test
// program, which has no extractor mode, names the engine instead.
namespace testing {
void ForceOutOfMemory(int calls);
void SetExtractorProgram(const std::wstring& path);
}  // namespace testing

}  // namespace velmora::media
