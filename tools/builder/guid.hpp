// GUIDs for the containers setup-builder writes. With a seed the sequence is
// fixed, so the same script and seed give byte-identical output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora::builder {

class GuidSource {
public:
    // Without a seed, the sequence starts from the system's random source.
    explicit GuidSource(std::optional<std::uint64_t> seed);
    // A random (version 4) GUID in registry form: {8-4-4-4-12}, upper-case hex.
    std::wstring Next();

private:
    std::uint64_t Next64();
    std::uint64_t state_;
};

// True for the registry form with braces, hex digits in either case.
bool IsRegistryGuid(std::wstring_view text);

}  // namespace velmora::builder
