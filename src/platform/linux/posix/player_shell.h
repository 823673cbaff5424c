#pragma once
// The shell both Linux players give the core: the system's clock, listing and power source, and
// the program path as the player's program folder holds it.
#include <string>
#include <vector>

#include "platform/linux/posix/posix_shell.h"
#include "ports/null_platform.h"
#include "resources/theme_source.h"

namespace velmora::posix {

class PlayerShell final : public NullShell {
public:
    PlayerShell(const std::u16string& programFolder, bool desktop) : desktop_(desktop) {
        programPath_ = programFolder;
        while (programPath_.size() > 1 && programPath_.back() == kPathSeparator) programPath_.pop_back();
        programPath_ += kPathSeparator;
        programPath_ += u"velmora-tool";
    }
    std::u16string programPath() override { return programPath_; }
    std::uint32_t tickCount() override { return system_.tickCount(); }
    std::vector<std::u16string> findFiles(const std::u16string& pattern) override { return system_.findFiles(pattern); }
    // The live window is a theme artist's, not the wallpaper: only the desktop pauses on battery.
    PowerStatus systemPowerStatus() override { return desktop_ ? system_.systemPowerStatus() : PowerStatus{}; }

private:
    PosixShell system_;
    std::u16string programPath_;
    bool desktop_;
};

}  // namespace velmora::posix
