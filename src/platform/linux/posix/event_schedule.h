#pragma once
// What both Linux window systems keep between their events, as Windows keeps it for a program:
// the core's timers (one that fell behind ticks once, as WM_TIMER does), calls planned for a
// time, the descriptors to watch, and whether and how the message loop is to end.
#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace velmora::posix {

// Milliseconds on the monotonic clock.
std::uint64_t monotonicMs();

class EventSchedule {
public:
    // The clock's milliseconds (the tests give one of their own).
    explicit EventSchedule(std::function<std::uint64_t()> clock = monotonicMs) : clock_(std::move(clock)) {}

    // A timer of id ticks every intervalMs (at least 10) from now on, in place of the one before.
    void setTimer(std::uintptr_t id, std::uint32_t intervalMs);
    void killTimer(std::uintptr_t id) { timers_.erase(id); }
    // The frame timer runs at this interval instead of the one asked for (--fps); the other
    // timers keep their own.
    void overrideFrameInterval(std::uint32_t intervalMs) { frameInterval_ = intervalMs; }
    // Calls action once at the given time on the clock, in place of an earlier call
    // planned under the same slot; none cancels it.
    void callAt(int slot, std::optional<std::uint64_t> time, std::function<void()> action = {});
    // Calls ready whenever fd is readable.
    void addDescriptor(int fd, std::function<void()> ready);

    // The message loop ends with this exit code (fail: after an error the player has printed).
    void quit(int exitCode) {
        quit_ = true;
        exitCode_ = exitCode;
    }
    void fail(int exitCode) {
        failed_ = true;
        quit(exitCode);
    }
    void markFailed() { failed_ = true; }
    bool quitting() const { return quit_; }
    bool failed() const { return failed_; }
    int exitCode() const { return exitCode_; }

    // Makes the planned calls that are due, then ticks each due timer that held does not hold
    // back, through tick(id); stops when the loop is to end.
    void runDue(const std::function<bool(std::uintptr_t)>& held, const std::function<void(std::uintptr_t)>& tick);
    // Milliseconds until the next planned call or timer not held back; -1 with none.
    int pollTimeout(const std::function<bool(std::uintptr_t)>& held) const;
    // The descriptors appended to fds; after the poll, their calls for those that are readable
    // (the descriptors' entries start at first).
    void appendDescriptors(std::vector<pollfd>& fds) const;
    void dispatchDescriptors(const std::vector<pollfd>& fds, std::size_t first);

private:
    struct Timer {
        std::uint32_t interval = 0;
        std::uint64_t due = 0;
    };
    struct Planned {
        std::uint64_t time = 0;
        std::function<void()> action;
    };
    struct Descriptor {
        int fd = -1;
        std::function<void()> ready;
    };
    std::function<std::uint64_t()> clock_;
    std::map<std::uintptr_t, Timer> timers_;
    std::map<int, Planned> planned_;
    std::vector<Descriptor> descriptors_;
    std::optional<std::uint32_t> frameInterval_;
    bool quit_ = false;
    bool failed_ = false;
    int exitCode_ = 0;
};

}  // namespace velmora::posix
