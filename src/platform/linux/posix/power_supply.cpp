#include "platform/linux/posix/power_supply.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace velmora::posix {

namespace {

// Each attribute is a short word; a directory of a fake or odd tree is read this far only.
constexpr std::size_t kMostSupplies = 64;
constexpr std::size_t kMostAttributeBytes = 64;

// The first line of a regular file, at most kMostAttributeBytes long; empty when it is not one.
std::string attribute(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {};
    struct stat info {};
    std::string text;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[kMostAttributeBytes];
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length > 0) text.assign(buffer, static_cast<std::size_t>(length));
    }
    close(fd);
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

std::filesystem::path sysfsRoot() {
    const char* root = std::getenv("VELMORA_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? std::filesystem::path(root) : std::filesystem::path("/sys");
}

PowerStatus readPowerStatus(const std::filesystem::path& root) {
    bool discharging = false, charging = false, mainsOnline = false, mainsOffline = false;
    std::error_code ec;
    std::filesystem::directory_iterator it(root / "class" / "power_supply", ec);
    std::size_t seen = 0;
    for (; !ec && it != std::filesystem::directory_iterator() && seen < kMostSupplies; it.increment(ec), ++seen) {
        const std::filesystem::path supply = it->path();
        const std::string type = attribute(supply / "type");
        if (type == "Battery") {
            if (attribute(supply / "scope") == "Device") continue;
            const std::string status = attribute(supply / "status");
            if (status == "Discharging") discharging = true;
            if (status == "Charging" || status == "Full" || status == "Not charging") charging = true;
        } else if (type == "Mains" || type == "USB" || type == "USB_C" || type == "USB_PD") {
            const std::string online = attribute(supply / "online");
            if (online == "1") mainsOnline = true;
            if (online == "0") mainsOffline = true;
        }
    }
    PowerStatus status;
    if (discharging || (mainsOffline && !mainsOnline)) {
        status.acLineStatus = 0;
    } else if (mainsOnline || charging) {
        status.acLineStatus = 1;
    }
    return status;
}

}  // namespace velmora::posix
