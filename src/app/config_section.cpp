#include "app/config_section.h"

#include "ground/records.h"
#include "resources/config.h"

namespace velmora {

void readConfigSection(Diagnostics* diagnostics) {
    const ConfigSection section = readConfigSectionText(readConfigText(), diagnostics);
    // The copy that may fail comes first, so that a failure leaves both settings as they were.
    if (appState.currentTheme.empty()) appState.currentTheme = section.defaultTheme;
    appState.frameRate = section.frameRate;
    appState.pauseFullscreen = section.pauseFullscreen;
    appState.pauseBattery = section.pauseBattery;
    appState.spanMonitors = section.spanMonitors;
}

}  // namespace velmora
