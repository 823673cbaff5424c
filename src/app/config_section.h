#pragma once
// The shell's settings from config.txt's config section.
#include "ground/diagnostics.h"

namespace velmora {

// frameRate from "fps", pauseFullscreen and pauseBattery from their keys; currentTheme from
// "default_theme" while it is empty.
void readConfigSection(Diagnostics* diagnostics = nullptr);

}  // namespace velmora
