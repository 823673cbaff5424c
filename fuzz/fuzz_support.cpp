#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/host.h"

namespace velmora::fuzz {

const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("velmora_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

OffscreenGraphicsDevice& offscreenDevice() {
    // Never destroyed: the theme's bitmaps belong to it until the process ends.
    static OffscreenGraphicsDevice* device = [] {
        auto made = createOffscreenGraphicsDevice();
        if (!made || made->prepare() < DeviceSetup::DrawingFactory || !made->createOffscreenTarget(64, 48)) std::abort();
        return made.release();
    }();
    return *device;
}

}  // namespace velmora::fuzz
