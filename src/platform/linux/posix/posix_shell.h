#pragma once
// The shell services on Linux and other POSIX systems, as far as a program there needs them: the
// program's path, a millisecond tick count and directory search with the Windows patterns the
// core uses. There is no notification area, menu or "open" verb here; those do nothing.
#include "ports/null_platform.h"

namespace velmora::posix {

class PosixShell final : public NullShell {
public:
    std::u16string programPath() override;
    std::uint32_t tickCount() override;
    // The patterns the core searches with: "FOLDER/*." (names without a dot, as the Windows search
    // lists them) and "FOLDER/*.EXT" (names ending in .EXT in any case). Names come sorted as NTFS
    // lists them (by their upper-case form), so that every platform shows one order.
    std::vector<std::u16string> findFiles(const std::u16string& pattern) override;
    // From the power-supply class below sysfsRoot() (power_supply.h).
    PowerStatus systemPowerStatus() override;
};

}  // namespace velmora::posix
