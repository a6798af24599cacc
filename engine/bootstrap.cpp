#include "engine/bootstrap.hpp"

namespace velmora::engine {

void WriteEngineCache() {}

}  // namespace velmora::engine
