#include "ports/graphics_device.h"

namespace velmora {

std::unique_ptr<OffscreenGraphicsDevice> createOffscreenGraphicsDevice() { return nullptr; }

}  // namespace velmora
