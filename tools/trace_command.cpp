// trace: the scene of a theme as numbers, frame by frame, as JSON Lines on standard output. The
// same command line prints the same bytes on every platform, so two builds can be compared.
#include <map>
#include <optional>
#include <string>

#include "app/headless_session.h"
#include "scene/scene_geometry.h"
#include "commands.h"
#include "resources/theme_pictures.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

// Stands in front of the drawing device and writes down every picture drawn, in the trace's
// form, before handing the call on.
class RecordingDevice final : public GraphicsDevice {
public:
    RecordingDevice(GraphicsDevice& inner, const std::map<const Bitmap*, std::string>& names) : inner_(inner), names_(names) {}

    // The draws of the frame since the last call, as the trace's JSON array body.
    std::string takeDraws() {
        std::string draws;
        draws.swap(draws_);
        return draws;
    }

    void drawPicture(const Bitmap& bitmap, const PicturePlacement& p) override {
        auto it = names_.find(&bitmap);
        draws_ += draws_.empty() ? "[" : ", [";
        draws_ += it != names_.end() ? it->second : std::string("null");
        for (float value : {p.opacity, p.x, p.y, p.w, p.h, p.mirror}) draws_ += ", " + formatFloat(value);
        draws_ += ", " + std::to_string(static_cast<int>(p.mode)) + "]";
        inner_.drawPicture(bitmap, p);
    }

    DeviceSetup prepare() override { return inner_.prepare(); }
    DeviceSetup createTargets(WindowHandle window, std::uint32_t w, std::uint32_t h) override {
        return inner_.createTargets(window, w, h);
    }
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override { return inner_.loadPictureFile(path); }
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override {
        return inner_.loadPictureBytes(data, size);
    }
    void beginDraw() override { inner_.beginDraw(); }
    void setTransform(const Matrix3x2& transform) override { inner_.setTransform(transform); }
    void clear(const ColorF& color) override { inner_.clear(color); }
    void pushClip(const RectF& rect) override { inner_.pushClip(rect); }
    void popClip() override { inner_.popClip(); }
    void setOrigin(float x, float y) override { inner_.setOrigin(x, y); }
    void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) override {
        inner_.drawBitmap(bitmap, dest, opacity, mode);
    }
    bool endDraw() override { return inner_.endDraw(); }
    void presentFrameBitmap() override { inner_.presentFrameBitmap(); }

private:
    GraphicsDevice& inner_;
    const std::map<const Bitmap*, std::string>& names_;
    std::string draws_;
};

// The load of one scene: the one over the desktop, or each monitor's in turn.
std::string loadLine(const HeadlessSession& session, const Scene& scene) {
    const SceneGeometry g = sceneGeometry(scene);
    const GlobalSettings& s = scene.settings;
    const Theme& theme = scene.theme;
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
    line += ", \"frameRate\": " + std::to_string(session.frameRateSetting());
    line += ", \"counts\": [" + std::to_string(theme.backParticleCount) + ", " + std::to_string(theme.frontParticleCount) + ", " +
            std::to_string(theme.backSpriteCount) + ", " + std::to_string(theme.frontSpriteCount) + ", " +
            std::to_string(theme.characterCount) + "]}";
    line += ", \"error\": ";
    line += session.loadError() ? jsonString(session.loadError()->what()) : std::string("null");
    line += "}\n";
    return line;
}

}  // namespace

int runTrace(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {"root", "theme", "seed", "desktop", "monitors", "ticks"}, {}, false);
    const std::string root = args.required("root");
    const std::string themeName = args.value("theme");
    const auto seed = static_cast<std::uint32_t>(parseInteger("seed", args.required("seed"), 0, 4294967295LL));
    const Desk desk = parseDesk(args);
    const std::vector<std::uint32_t> ticks = parseTicks(args.required("ticks"));

    const std::unique_ptr<OffscreenGraphicsDevice> device = offscreenDevice();
    if (!device) return 1;
    HeadlessSetup setup = headlessSetup(root, desk);
    setup.theme = fromUtf8(themeName);
    setup.seed = seed;
    // Only the pictures' sizes matter here, so a one-pixel target will do.
    setup.targetWidth = 1;
    setup.targetHeight = 1;
    HeadlessSession session(setup, device.get());
    if (!session.drawing()) {
        reportNoTarget(1, 1);
        return 1;
    }
    session.start(ticks[0]);

    std::map<const Bitmap*, std::string> names;
    const std::vector<Scene> scenes = session.scenes();
    for (const Scene& scene : scenes) {
        for (const ThemePicture& picture : themePictures(scene.theme)) {
            if (picture.frame->bitmap) names.emplace(picture.frame->bitmap.get(), jsonString(toUtf8(picture.member)));
        }
        writeOut(loadLine(session, scene));
    }

    RecordingDevice recorder(*device, names);
    session.drawThrough(recorder);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        session.advanceTo(ticks[i]);
        // With a scene per monitor, "pan" is the first one's and "pans" lists them all.
        std::string pans;
        if (scenes.size() > 1) {
            for (const Scene& scene : scenes) pans += (pans.empty() ? ", \"pans\": [" : ", ") + formatFloat(scene.panOffset);
            pans += "]";
        }
        writeOut("{\"frame\": " + std::to_string(i) + ", \"pan\": " + formatFloat(scenes[0].panOffset) + pans + ", \"draws\": [" +
                 recorder.takeDraws() + "]}\n");
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace velmora::tool
