#include "desktop/desktop_host.h"

namespace velmora {

DesktopHost desktopHost;

}  // namespace velmora
