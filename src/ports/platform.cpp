#include "ports/platform.h"

namespace velmora {

namespace {
Platform installedPlatform;
}

Platform& platform() { return installedPlatform; }

void installPlatform(const Platform& installed) { installedPlatform = installed; }

}  // namespace velmora
