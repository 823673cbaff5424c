#pragma once
#include <cstdint>

namespace velmora {

// Advances every layer of the scene by elapsedMs milliseconds.
void updateScene(std::int32_t elapsedMs);

}  // namespace velmora
