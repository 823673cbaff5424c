#include "app/headless_session.h"

#include "app/config_section.h"
#include "app/frame_timer.h"
#include "desktop/desktop_attach.h"
#include "ground/random.h"
#include "ground/records.h"
#include "ports/platform.h"
#include "resources/config.h"
#include "resources/theme_source.h"

namespace velmora {

HeadlessSession::HeadlessSession(const HeadlessSetup& setup, OffscreenGraphicsDevice* device) {
    resetRecords();
    clock_.services = setup.services;
    installPlatform(Platform{nullptr, &clock_, device});
    const RectI desktop{setup.left, setup.top, setup.left + setup.width, setup.top + setup.height};
    const bool desktopSized = setup.targetWidth == 0 || setup.targetHeight == 0;
    drawing_ = attachOffscreen(device, desktop, desktopSized ? static_cast<std::uint32_t>(setup.width) : setup.targetWidth,
                               desktopSized ? static_cast<std::uint32_t>(setup.height) : setup.targetHeight, setup.monitors);
    std::u16string folder = setup.programFolder;
    if (folder.empty() || (folder.back() != kPathSeparator && folder.back() != u'/')) folder.push_back(kPathSeparator);
    appState.programFolder = std::move(folder);
    seedRandom(setup.seed);
    appState.currentTheme = setup.theme;
    readConfigSection();
    if (setup.frameRate) appState.frameRate = *setup.frameRate;
}

HeadlessSession::~HeadlessSession() {
    resetRecords();
    installPlatform(Platform{});
}

void HeadlessSession::start(std::uint32_t tick) {
    clock_.tick = tick;
    startTheme(0);
}

void HeadlessSession::advanceTo(std::uint32_t tick) {
    clock_.tick = tick;
    renderFrame();
}

void HeadlessSession::drawThrough(GraphicsDevice& front) { installPlatform(Platform{nullptr, &clock_, &front}); }

const std::u16string& HeadlessSession::themeName() const { return appState.currentTheme; }

std::int32_t HeadlessSession::frameRateSetting() const { return appState.frameRate; }

std::int32_t HeadlessSession::frameRate() const { return frameRateOrDefault(appState.frameRate); }

std::int32_t HeadlessSession::frameInterval() const { return appState.timerInterval; }

float HeadlessSession::panOffset() const { return appState.panOffset; }

const GlobalSettings& HeadlessSession::settings() const { return globalSettings; }

const Theme& HeadlessSession::theme() const { return velmora::theme; }

Theme& HeadlessSession::theme() { return velmora::theme; }

SceneGeometry HeadlessSession::geometry() const { return sceneGeometry(); }

std::vector<Scene> HeadlessSession::scenes() const { return shownScenes(); }

const std::optional<NumberError>& HeadlessSession::loadError() const { return loadState.error; }

}  // namespace velmora
