// The script source format of setup-builder: a readable text that expresses
// every item of a compiled script container (see docs/script-source.md).
#pragma once

#include "container/container.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora::builder {

// A script source that cannot be compiled: the file, the 1-based line and the problem.
class SourceError : public std::runtime_error {
public:
    SourceError(std::string file, std::size_t line, const std::string& problem);
    const std::string& File() const { return file_; }
    std::size_t Line() const { return line_; }

private:
    std::string file_;
    std::size_t line_;
};

struct SourceOptions {
    // Seed of the GUIDs made for items that give none; none means random.
    std::optional<std::uint64_t> seed;
};

// Compiles a script source file (and the files it includes) into container
// items. The file name as given is the one written into the source positions.
container::ContainerText CompileSourceFile(const std::filesystem::path& path, const SourceOptions& options);

// The same for text already in memory; `name` stands for its file name, and
// includes are found relative to the folder of `name`.
container::ContainerText CompileSource(std::string_view source, const std::string& name,
                                       const SourceOptions& options);

// Prints container items back as script source. Compiling the result gives
// the same container, byte for byte.
std::string PrintSource(const container::ContainerText& items);

}  // namespace velmora::builder
