#pragma once
// Opaque handles of platform objects. The core never looks inside them; 0 is "none".
#include <cstdint>

namespace velmora {

using WindowHandle = std::uintptr_t;
using MenuHandle = std::uintptr_t;
using IconHandle = std::uintptr_t;
using InstanceHandle = std::uintptr_t;

struct RectI {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct PointI {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

}  // namespace velmora
