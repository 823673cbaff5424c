#include "resources/global_settings.h"

namespace velmora {

GlobalSettings globalSettings;

}  // namespace velmora
