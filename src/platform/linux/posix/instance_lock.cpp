#include "platform/linux/posix/instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

namespace velmora::posix {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) close(fd_);
}

InstanceLock::Result InstanceLock::take(const std::string& path) {
    if (fd_ >= 0) return Result::Taken;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        failure_ = "cannot open " + path + " (" + std::strerror(errno) + ")";
        return Result::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        if (error == EWOULDBLOCK) return Result::HeldByAnother;
        failure_ = "cannot lock " + path + " (" + std::strerror(error) + ")";
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Taken;
}

std::string desktopLockPath(const char* runtimeDir, const char* waylandDisplay) {
    if (runtimeDir == nullptr || *runtimeDir == '\0') return {};
    std::string display = waylandDisplay != nullptr && *waylandDisplay != '\0' ? waylandDisplay : "wayland-0";
    // WAYLAND_DISPLAY may be an absolute path to the socket: its name alone, without separators.
    for (char& c : display) {
        if (c == '/') c = '_';
    }
    std::string path = runtimeDir;
    if (path.back() != '/') path += '/';
    return path + "velmora-desktop-" + display + ".lock";
}

}  // namespace velmora::posix
