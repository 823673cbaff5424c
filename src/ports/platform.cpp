#include "ports/platform.h"

#include "ports/null_platform.h"

namespace velmora {

namespace {

Platform withNullPlatform(const Platform& installed) {
    // Function-local, so that they exist before any static record's constructor or destructor
    // reaches the platform.
    static NullWindowSystem nullWindows;
    static NullShell nullShell;
    static NullGraphicsDevice nullGraphics;
    return Platform{installed.windows != nullptr ? installed.windows : &nullWindows,
                    installed.shell != nullptr ? installed.shell : &nullShell,
                    installed.graphics != nullptr ? installed.graphics : &nullGraphics};
}

Platform& installedPlatform() {
    static Platform current = withNullPlatform(Platform{});
    return current;
}

}  // namespace

const Platform& platform() { return installedPlatform(); }

void installPlatform(const Platform& installed) { installedPlatform() = withNullPlatform(installed); }

}  // namespace velmora
