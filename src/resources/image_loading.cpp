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
    // A missing or undecodable picture stays empty; drawing skips it. The sizes are checked again
    // here, whatever the device does, as the budget below multiplies them.
    if (!bitmap) return frame;
    const std::int32_t width = bitmap->pixelWidth(), height = bitmap->pixelHeight();
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        std::int64_t{width} * height > kMaxPicturePixels) {
        return frame;
    }
    frame.width = width;
    frame.height = height;
    frame.bitmap = std::move(bitmap);
    frame.filter = filter;
    return frame;
}

std::uint64_t decodedPictureBytes(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u;
}

PictureLoad loadThemeImages(Theme& target, const ThemeSource& source, GraphicsDevice* device) {
    target.floorImage = ImageFrame{};
    target.ceilingImage = ImageFrame{};
    target.backgroundImage = ImageFrame{};
    target.screenImage = ImageFrame{};
    PictureLoad load;
    if (device != nullptr) {
        std::size_t index = 0;
        visitThemePictures(target, [&](const ThemePicture& picture) {
            if (picture.nameTooLong) {
                ++index;
                return true;
            }
            ImageFrame frame = loadImageFrame(*device, source, picture.member, picture.filter);
            const std::uint64_t bytes = decodedPictureBytes(frame.width, frame.height);
            if (bytes > kMaxThemePictureBytes - load.decodedBytes) {
                // This one is let go again, and the rest are not decoded at all.
                load.firstPastBudget = index;
                return false;
            }
            load.decodedBytes += bytes;
            *picture.frame = std::move(frame);
            ++index;
            return true;
        });
    }
    // Nothing between the floor's decoding and this reads the width.
    if (!target.floorName.empty() && target.params.width == -1.0f) {
        target.params.width = static_cast<float>(target.floorImage.width);
    }
    return load;
}

PictureLoad loadThemeImages() {
    // Without an off-screen target there is nothing to create bitmaps on.
    GraphicsDevice* device = desktopHost.frameTarget ? platform().graphics : nullptr;
    // Every picture of an archive theme is found from one reading of its directory.
    return loadThemeImages(theme, withArchiveIndex(themeSourceFor(appState.currentTheme)), device);
}

}  // namespace velmora
