#pragma once
// The live player's decisions that need no display: what the title says, when a burst of saves has settled, which files a reload depends on, and which monitors get a scene.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ground/app_state.h"
#include "ports/window_system.h"

namespace velmora::posix {

// The window's title: the theme's display name and the frames per second (or that it is paused).
std::string playerTitle(const std::u16string& theme, bool playing, std::optional<int> framesPerSecond);

// Frames per second from the frames shown between two moments; nothing before a full second
// has been measured.
class FrameRateMeter {
public:
    // now in milliseconds, shown = frames shown so far.
    std::optional<int> sample(std::uint64_t now, std::uint64_t shown);

private:
    std::optional<std::uint64_t> since_;
    std::uint64_t shownSince_ = 0;
    std::optional<int> rate_;
};

// Waits for a burst of events to settle: due quietMs after the last event, but never later than
// maxWaitMs after the first, so that a file written without pause still gets its reload.
class QuietPeriod {
public:
    QuietPeriod(std::uint64_t quietMs, std::uint64_t maxWaitMs) : quiet_(quietMs), maxWait_(maxWaitMs) {}
    void note(std::uint64_t now);
    // When the burst counts as over; nothing when no event is waiting.
    std::optional<std::uint64_t> due() const;
    void clear() { first_.reset(); }

private:
    std::uint64_t quiet_;
    std::uint64_t maxWait_;
    std::optional<std::uint64_t> first_;
    std::uint64_t last_ = 0;
};

// The files a reload of the theme reads: config.txt, the theme's folder or archive itself (so
// that making, replacing or removing it counts), and in a folder theme.txt and the named
// pictures. Paths below programFolder (which ends with the separator).
std::vector<std::filesystem::path> themeFiles(const std::u16string& programFolder, const std::u16string& theme,
                                              const std::vector<std::u16string>& pictureMembers);

// The monitors that get a scene of their own, from the X server's list in its order. A monitor
// that holds another listed one whole is left out: an output split with xrandr --setmonitor into
// monitors that claim no output keeps its own monitor beside them, and the parts are what the user
// asked for. Of monitors with the same rectangle the first is kept.
std::vector<MonitorArea> sceneMonitors(const std::vector<MonitorArea>& listed);

}  // namespace velmora::posix
