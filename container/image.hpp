// Where a Windows executable image ends: the largest end of raw section data
// in its section table. Whatever follows that point in the file was appended
// after linking (the container of a setup, the message table of qox.lib).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::container {

// Reads the headers at the start of an image (as a file or as loaded in
// memory). The section table is taken to start 244 bytes after the file
// header, the fixed place for a 32-bit optional header, whatever size the
// header declares. Returns nullopt when the headers are not those of an
// image or run past the bytes given.
std::optional<std::uint64_t> ImageEnd(std::string_view headers);

}  // namespace velmora::container
