#pragma once
// One desktop player per session where the display server has no shared place to claim (Wayland):
// a lock on a file in the user's runtime folder, held while the player runs and let go by the
// system when it ends, however it ends.
#include <string>

namespace velmora::posix {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result { Taken, HeldByAnother, Failed };
    // Takes the lock on path (made if missing, never truncated).
    Result take(const std::string& path);
    // Why take failed (one line).
    const std::string& failure() const { return failure_; }

private:
    int fd_ = -1;
    std::string failure_;
};

// The lock file of the desktop player on this Wayland display: in $XDG_RUNTIME_DIR, named after
// the display's socket. Empty when XDG_RUNTIME_DIR is not set.
std::string desktopLockPath(const char* runtimeDir, const char* waylandDisplay);

}  // namespace velmora::posix
