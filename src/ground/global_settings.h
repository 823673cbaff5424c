#pragma once
// Display settings from config.txt and the values derived from them at every theme load.
#include <cstdint>

namespace velmora {

struct GlobalSettings {
    float limitHeight = -1.0f;
    float relativeScale = 1.0f;
    float pixelScale = 4.0f;
    float viewTop = 0;
    float viewHeight = 0;
    float pingPong = 0;
    std::int32_t baseOffset = 0;
};

extern GlobalSettings globalSettings;

}  // namespace velmora
