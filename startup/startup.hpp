// The engine's start-up sequence, from the command line to the exit code.
#pragma once

#include <cstdint>

namespace velmora {

// Runs the whole sequence for this process and returns its exit code.
std::uint32_t RunEngine();

}  // namespace velmora
