#include "ground/records.h"

#include "ground/random.h"

namespace velmora {

AppState appState;
DesktopHost desktopHost;
GlobalSettings globalSettings;
LoadState loadState;
Theme theme;

void resetRecords() {
    appState = AppState{};
    desktopHost = DesktopHost{};
    globalSettings = GlobalSettings{};
    loadState = LoadState{};
    clearTheme(theme);
    seedRandom(1);
}

}  // namespace velmora
