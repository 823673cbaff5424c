#include "support/process_state.h"

#include "app/app_state.h"
#include "desktop/desktop_host.h"
#include "ports/platform.h"
#include "resources/global_settings.h"
#include "scene/random.h"
#include "theme/theme_model.h"

namespace velmora::testing {

void resetProcessState() {
    appState = AppState{};
    desktopHost = DesktopHost{};
    globalSettings = GlobalSettings{};
    resetParticleLayers(theme.backParticles);
    resetParticleLayers(theme.frontParticles);
    resetSpriteLayers(theme.backSprites);
    resetSpriteLayers(theme.frontSprites);
    resetCharacterLayers(theme.characters);
    theme.params = ThemeParams{};
    theme.floorName.clear();
    theme.ceilingName.clear();
    theme.backgroundName.clear();
    theme.screenName.clear();
    theme.floorImage = ImageFrame{};
    theme.ceilingImage = ImageFrame{};
    theme.backgroundImage = ImageFrame{};
    theme.screenImage = ImageFrame{};
    theme.backParticleCount = theme.frontParticleCount = 0;
    theme.backSpriteCount = theme.frontSpriteCount = theme.characterCount = 0;
    installPlatform(Platform{});
    seedRandom(1);
}

}  // namespace velmora::testing
