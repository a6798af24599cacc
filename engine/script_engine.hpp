// The hand-off from start-up to the script engine, and the engine cache that
// start-up writes after the run.
#pragma once

#include "container/container.hpp"

#include <string>

namespace velmora::engine {

// Runs the script of the container. `msiPackage` is the path of the Windows
// Installer package in the support folder. Returns when the script has ended.
void RunScript(const container::Container& container, const std::wstring& msiPackage);

// Writes the engine cache of this run (for later maintenance runs).
void WriteEngineCache();

// True when the run found another instance already running and ended at once.
bool IsSecondInstance();

}  // namespace velmora::engine
