#pragma once
// The core without a window: a scene started and advanced frame by frame exactly as the player
// does it, with a clock the caller sets. The tools, the fuzz targets, the benchmarks and the
// tests start the core only through it, and ask it for the numbers of the scene it plays.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ground/global_settings.h"
#include "ground/text_format.h"
#include "ground/theme_model.h"
#include "ports/null_platform.h"
#include "ports/graphics_device.h"
#include "scene/scene.h"
#include "scene/scene_geometry.h"

namespace velmora {

struct HeadlessSetup {
    std::u16string programFolder;  // holds config.txt and themes; a final separator is added
    // The desktop rectangle the scene is laid out in.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::u16string theme;                   // the entry name; empty: config.txt's default_theme
    std::optional<std::int32_t> frameRate;  // none: config.txt's fps
    std::uint32_t seed = 1;                 // of the one random sequence
    // The off-screen target's pixel size; 0 by 0: the desktop's.
    std::uint32_t targetWidth = 0;
    std::uint32_t targetHeight = 0;
    // The monitors in the desktop rectangle's coordinates, as the window system would tell them;
    // none: one scene spans the desktop whatever config.txt's span_monitors says.
    std::vector<Monitor> monitors;
    // The shell whose directory search lists the installed themes; none: nothing is found.
    Shell* services = nullptr;
};

class HeadlessSession {
public:
    // Puts the records in their start state, installs the session's clock and device (none: the
    // null device), sets the device up off screen on the desktop rectangle, and reads config.txt's
    // "config" section: the theme and the frame rate are known, nothing is loaded yet.
    HeadlessSession(const HeadlessSetup& setup, OffscreenGraphicsDevice* device);
    // The records back in their start state (the theme's pictures released while the device
    // still lives), and no platform installed.
    ~HeadlessSession();
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    // The device could be set up: pictures are decoded and frames drawn.
    bool drawing() const { return drawing_; }

    // Starts the theme at tick as the player does (startTheme: load, pan and clock reset); again
    // for a reload.
    void start(std::uint32_t tick);
    // One frame of the player at tick: pan, animation by the ticks since the last frame, drawing
    // and presenting.
    void advanceTo(std::uint32_t tick);
    // Draws through front from now on, a device that hands every call on to the session's.
    void drawThrough(GraphicsDevice& front);

    // The scene it plays.
    const std::u16string& themeName() const;
    // The frame rate as config.txt or the setup gave it, and the rate frames come at.
    std::int32_t frameRateSetting() const;
    std::int32_t frameRate() const;
    // Milliseconds from one frame to the next, once started.
    std::int32_t frameInterval() const;
    float panOffset() const;
    const GlobalSettings& settings() const;
    const Theme& theme() const;
    Theme& theme();
    SceneGeometry geometry() const;
    // The scenes a frame shows: one per monitor, or the default scene alone.
    std::vector<Scene> scenes() const;
    // The bad number that stopped the reading of theme.txt in the last start, if any.
    const std::optional<NumberError>& loadError() const;

private:
    class Clock final : public NullShell {
    public:
        std::uint32_t tick = 0;
        Shell* services = nullptr;
        std::uint32_t tickCount() override { return tick; }
        std::vector<std::u16string> findFiles(const std::u16string& pattern) override {
            return services != nullptr ? services->findFiles(pattern) : std::vector<std::u16string>{};
        }
    };

    Clock clock_;
    bool drawing_ = false;
};

}  // namespace velmora
