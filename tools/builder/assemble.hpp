// Assembles a setup folder: the engine with its container appended, the
// support archive, and the files the engine expects beside it.
#pragma once

#include "container/container.hpp"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace velmora::builder {

class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SetupLayout {
    std::filesystem::path engine;               // a bare engine: no data after its image
    std::filesystem::path outFolder;
    std::string baseName = "setup";             // <base>.exe, <base>.res, <base>.msi
    std::optional<std::filesystem::path> support;  // packed as <base>.res; none: an empty archive
    std::optional<std::filesystem::path> data;     // copied as data\; none: an empty folder
    std::optional<std::filesystem::path> msi;      // copied as <base>.msi
    std::optional<std::filesystem::path> qoxLib;   // copied as qox.lib
    std::optional<std::filesystem::path> splash;   // copied as setup.bmp
    std::string sevenZip = "7zz";               // the 7-Zip program that packs the archive
};

// The engine file with the container appended. Refuses an engine that
// already carries data after its image.
std::string AppendContainer(const std::string& engineBytes, const std::string& containerBytes);

// Writes the whole setup folder. Throws BuildError naming what failed.
void AssembleSetup(const SetupLayout& layout, const std::string& containerBytes);

// The bytes of a file; BuildError when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);
// Writes through a temporary name, so a failed build leaves no half file.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace velmora::builder
