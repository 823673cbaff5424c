#include "resources/image_loading.h"

#include "ground/records.h"
#include "ports/platform.h"
#include "resources/theme_pictures.h"

namespace velmora {

ImageFrame loadImageFrame(GraphicsDevice& device, const ThemeSource& source, const std::u16string& member, std::int32_t filter) {
    ImageFrame frame;
    std::unique_ptr<Bitmap> bitmap;
    if (source.isArchive) {
        const std::vector<std::uint8_t> bytes = readBytes(source, member);
        if (bytes.empty()) return frame;
        bitmap = device.loadPictureBytes(bytes.data(), bytes.size());
    } else {
        bitmap = device.loadPictureFile(memberPath(source, member));
    }
    // A missing or undecodable picture stays empty; drawing skips it.
    if (!bitmap) return frame;
    frame.width = bitmap->pixelWidth();
    frame.height = bitmap->pixelHeight();
    frame.bitmap = std::move(bitmap);
    frame.filter = filter;
    return frame;
}

void loadThemeImages(Theme& target, const ThemeSource& source, GraphicsDevice* device) {
    target.floorImage = ImageFrame{};
    target.ceilingImage = ImageFrame{};
    target.backgroundImage = ImageFrame{};
    target.screenImage = ImageFrame{};
    if (device != nullptr) {
        for (const ThemePicture& picture : themePictures(target)) {
            *picture.frame = loadImageFrame(*device, source, picture.member, picture.filter);
        }
    }
    // Nothing between the floor's decoding and this reads the width.
    if (!target.floorName.empty() && target.params.width == -1.0f) {
        target.params.width = static_cast<float>(target.floorImage.width);
    }
}

void loadThemeImages() {
    // Without an off-screen target there is nothing to create bitmaps on.
    GraphicsDevice* device = desktopHost.frameTarget ? platform().graphics : nullptr;
    // Every picture of an archive theme is found from one reading of its directory.
    loadThemeImages(theme, withArchiveIndex(themeSourceFor(appState.currentTheme)), device);
}

}  // namespace velmora
