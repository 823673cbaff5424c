#pragma once
// What each platform layer offers the programs built on it besides the ports themselves:
// velmora-tool and the tests reach the operating system only through these.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "ports/graphics_device.h"
#include "ports/shell.h"

namespace velmora {

// The system's shell services (directory listing, tick count, program path, ...).
std::unique_ptr<Shell> createSystemShell();

// A drawing device with no window, which can write its frames as PNG files.
std::unique_ptr<OffscreenGraphicsDevice> createOffscreenGraphicsDevice();

// Makes a command-line program's standard output write bytes as they are (no newline
// translation) and readies the system objects the drawing device is made of.
void prepareConsoleProgram();
bool stderrIsTerminal();
// fopen for reading in binary mode, with a path that may hold any characters.
std::FILE* openForReading(const std::filesystem::path& path);

// An animated picture file made of the finished frames of an off-screen device, each shown for
// its own duration: lossless WebP. Frames in a row that are alike may be kept as one frame
// shown for their durations together.
class AnimationWriter {
public:
    virtual ~AnimationWriter() = default;
    // Adds the device's last finished frame, shown for durationMs milliseconds.
    virtual bool addFrame(std::int32_t durationMs) = 0;
    // Encodes the frames and writes the file; false when it cannot (error() says why).
    virtual bool finish(const std::filesystem::path& file) = 0;
    virtual std::string error() const = 0;
};

// The largest side of an animated WebP picture.
inline constexpr std::uint32_t kMaxAnimationSide = 16383;

// How an animation is written. quality: -1 lossless, 0 to 100 lossy (small, for sharing).
// loopFadeMs: when above 0, the animation loops without a jump: that long a stretch at its end
// fades into its start, and the frames of that stretch at the start only serve the fade (the
// file is that much shorter than the frames added).
struct AnimationStyle {
    int quality = -1;
    std::int32_t loopFadeMs = 0;
};

// A writer for frames of device, whose target is width x height pixels; null when this
// platform has no WebP encoder.
std::unique_ptr<AnimationWriter> createWebpAnimationWriter(OffscreenGraphicsDevice& device, std::uint32_t width,
                                                           std::uint32_t height, const AnimationStyle& style = {});

}  // namespace velmora
