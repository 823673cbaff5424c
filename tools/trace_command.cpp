// trace: the scene of a theme as numbers, frame by frame, as JSON Lines on standard output. The
// same command line prints the same bytes on every platform, so two builds can be compared.
#include <map>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "app/frame_timer.h"
#include "commands.h"
#include "resources/config.h"
#include "resources/global_settings.h"
#include "scene/drawing.h"
#include "scene/load_theme.h"
#include "scene/random.h"
#include "scene/scene_geometry.h"
#include "theme/theme_model.h"
#include "theme_pictures.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

std::string loadLine() {
    const SceneGeometry g = sceneGeometry();
    const GlobalSettings& s = globalSettings;
    std::string line = "{\"load\": {";
    line += "\"pixelScale\": " + formatFloat(s.pixelScale);
    line += ", \"viewTop\": " + formatFloat(s.viewTop);
    line += ", \"viewHeight\": " + formatFloat(s.viewHeight);
    line += ", \"pingPong\": " + formatFloat(s.pingPong);
    line += ", \"baseOffset\": " + std::to_string(s.baseOffset);
    line += ", \"width\": " + formatFloat(theme.params.width);
    line += ", \"ycollider\": " + formatFloat(theme.params.ycollider);
    line += ", \"sceneWidth\": " + formatFloat(g.sceneWidth);
    line += ", \"sceneLeft\": " + formatFloat(g.sceneLeft);
    line += ", \"groundY\": " + formatFloat(g.groundY);
    line += ", \"floorY\": " + formatFloat(g.floorY);
    line += ", \"frameRate\": " + std::to_string(appState.frameRate);
    line += ", \"counts\": [" + std::to_string(theme.backParticleCount) + ", " + std::to_string(theme.frontParticleCount) + ", " +
            std::to_string(theme.backSpriteCount) + ", " + std::to_string(theme.frontSpriteCount) + ", " +
            std::to_string(theme.characterCount) + "]}";
    const std::optional<NumberError>& error = lastThemeLoadError();
    line += ", \"error\": ";
    line += error ? jsonString(error->what()) : std::string("null");
    line += "}\n";
    return line;
}

}  // namespace

int runTrace(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {"root", "theme", "seed", "desktop", "ticks"}, {}, false);
    const std::string root = args.required("root");
    const std::string themeName = args.value("theme");
    const auto seed = static_cast<std::uint32_t>(parseInteger("seed", args.required("seed"), 0, 4294967295LL));
    const DesktopRect desktop = parseDesktop(args.required("desktop"));
    const std::vector<std::uint32_t> ticks = parseTicks(args.required("ticks"));

    useBinaryStdout();
    ToolPlatform tool;
    // Only the pictures' sizes matter here, so a one-pixel target will do.
    if (!tool.createDevice(1, 1)) return 1;
    setProgramFolder(root);
    seedRandom(seed);
    setDesktop(desktop);
    appState.currentTheme = fromUtf8(themeName);
    readConfigSection();

    tool.shell.tick = ticks[0];
    startTheme(0);

    std::map<const Bitmap*, std::string> names;
    for (const NamedPicture& picture : namedPictures(theme)) {
        if (picture.frame->bitmap) names.emplace(picture.frame->bitmap.get(), jsonString(toUtf8(picture.member)));
    }
    writeOut(loadLine());

    std::string line;
    bool first = true;
    setDrawImageObserver([&](const ImageFrame& picture, float opacity, float x, float y, float w, float h, float mirror) {
        auto it = names.find(picture.bitmap.get());
        line += first ? "[" : ", [";
        first = false;
        line += it != names.end() ? it->second : std::string("null");
        for (float value : {opacity, x, y, w, h, mirror}) line += ", " + formatFloat(value);
        line += ", " + std::to_string(picture.filter) + "]";
    });
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        tool.shell.tick = ticks[i];
        line.clear();
        first = true;
        renderFrame();
        writeOut("{\"frame\": " + std::to_string(i) + ", \"pan\": " + formatFloat(appState.panOffset) + ", \"draws\": [" + line + "]}\n");
    }
    setDrawImageObserver({});
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace velmora::tool
