#pragma once
// The power source from the kernel's power-supply class (/sys/class/power_supply), in the words
// of GetSystemPowerStatus, for config.txt's pause_battery.
#include <filesystem>

#include "ports/shell.h"

namespace velmora::posix {

// The folder that holds class/power_supply: $VELMORA_SYSFS_ROOT where set (the tests' fake
// tree), /sys otherwise.
std::filesystem::path sysfsRoot();

// On battery (acLineStatus 0) while a system battery discharges or a mains supply reports
// itself offline with none online; on mains (1) while one is online or a system battery charges
// or is full; unknown (255) without either, as on most desktop computers. Batteries of devices
// (a mouse's, scope Device) do not count. Battery saver is not told (systemStatusFlag 0).
PowerStatus readPowerStatus(const std::filesystem::path& root);

}  // namespace velmora::posix
