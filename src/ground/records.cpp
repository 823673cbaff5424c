#include "ground/records.h"

#include "ground/random.h"

namespace velmora {

AppState appState;
DesktopHost desktopHost;
DesktopWatch desktopWatch;
GlobalSettings globalSettings;
LoadState loadState;
Theme theme;
MonitorScenes monitorScenes;

void resetRecords() {
    appState = AppState{};
    desktopHost = DesktopHost{};
    desktopWatch = DesktopWatch{};
    globalSettings = GlobalSettings{};
    loadState = LoadState{};
    clearTheme(theme);
    // Their pictures go before the device that made them.
    monitorScenes.clear();
    seedRandom(1);
}

}  // namespace velmora
