#pragma once
// What the fuzz targets share: a scratch folder of this process, and the Linux off-screen drawing
// device.
#include <cstdint>
#include <filesystem>
#include <string>

#include "ports/graphics_device.h"

namespace velmora::fuzz {

// A folder of its own under the temporary folder, made on first use.
const std::filesystem::path& scratchFolder();
void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

// The Linux off-screen device with a small target (64 x 48), made once for the process.
OffscreenGraphicsDevice& offscreenDevice();

}  // namespace velmora::fuzz
