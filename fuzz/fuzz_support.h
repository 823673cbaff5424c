#pragma once
// What the fuzz targets share: a scratch folder of this process, and the installed stand-in
// platform (a clock the target sets, the Linux off-screen drawing device).
#include <cstdint>
#include <filesystem>
#include <string>

#include "ports/null_platform.h"
#include "ports/graphics_device.h"

namespace velmora::fuzz {

// A folder of its own under the temporary folder, made on first use.
const std::filesystem::path& scratchFolder();
void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

class FuzzShell final : public NullShell {
public:
    std::uint32_t tick = 0;
    std::uint32_t tickCount() override { return tick; }
};

// The Linux off-screen device with a small target, installed with the stand-in shell and marked
// as the frame target in desktopHost; made once for the process.
OffscreenGraphicsDevice& installOffscreenPlatform(FuzzShell& shell);

}  // namespace velmora::fuzz
