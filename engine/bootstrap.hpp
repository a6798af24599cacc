// Bootstrap and maintenance detection: what a run knows of an installed
// product, and the engine cache it leaves for later maintenance runs.
#pragma once

namespace velmora::engine {

// Writes the engine cache of this run, after the script has ended. The cache
// holds what a later maintenance run needs of this build; until bootstrap
// keeps any, there is nothing to write.
void WriteEngineCache();

}  // namespace velmora::engine
