#include "platform/linux/posix/event_schedule.h"

#include <time.h>

#include <algorithm>
#include <climits>

#include "app/frame_timer.h"

namespace velmora::posix {

namespace {

// SetTimer's smallest interval (USER_TIMER_MINIMUM): shorter ones are raised to it.
constexpr std::uint32_t kMinimumTimerInterval = 10;

}  // namespace

std::uint64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void EventSchedule::setTimer(std::uintptr_t id, std::uint32_t intervalMs) {
    const std::uint32_t asked = id == kFrameTimerId ? frameInterval_.value_or(intervalMs) : intervalMs;
    const std::uint32_t interval = std::max(asked, kMinimumTimerInterval);
    timers_[id] = Timer{interval, clock_() + interval};
}

void EventSchedule::callAt(int slot, std::optional<std::uint64_t> time, std::function<void()> action) {
    if (!time || !action) {
        planned_.erase(slot);
        return;
    }
    planned_[slot] = Planned{*time, std::move(action)};
}

void EventSchedule::addDescriptor(int fd, std::function<void()> ready) {
    if (fd >= 0) descriptors_.push_back(Descriptor{fd, std::move(ready)});
}

void EventSchedule::runDue(const std::function<bool(std::uintptr_t)>& held, const std::function<void(std::uintptr_t)>& tick) {
    const std::uint64_t now = clock_();
    std::vector<std::function<void()>> actions;
    for (auto it = planned_.begin(); it != planned_.end();) {
        if (it->second.time <= now) {
            actions.push_back(std::move(it->second.action));
            it = planned_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& action : actions) {
        if (quit_) return;
        action();
    }
    std::vector<std::uintptr_t> due;
    for (auto& [id, timer] : timers_) {
        if (timer.due <= now && !held(id)) due.push_back(id);
    }
    for (std::uintptr_t id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end() || quit_) continue;
        it->second.due += it->second.interval;
        if (it->second.due <= now) it->second.due = now + it->second.interval;
        tick(id);
    }
}

int EventSchedule::pollTimeout(const std::function<bool(std::uintptr_t)>& held) const {
    std::optional<std::uint64_t> next;
    for (const auto& [id, timer] : timers_) {
        if (!held(id)) next = next ? std::min(*next, timer.due) : timer.due;
    }
    for (const auto& [slot, plan] : planned_) next = next ? std::min(*next, plan.time) : plan.time;
    if (!next) return -1;
    const std::uint64_t now = clock_();
    if (*next <= now) return 0;
    return static_cast<int>(std::min<std::uint64_t>(*next - now, INT_MAX));
}

void EventSchedule::appendDescriptors(std::vector<pollfd>& fds) const {
    for (const Descriptor& d : descriptors_) fds.push_back(pollfd{d.fd, POLLIN, 0});
}

void EventSchedule::dispatchDescriptors(const std::vector<pollfd>& fds, std::size_t first) {
    for (std::size_t i = 0; i < descriptors_.size() && first + i < fds.size() && !quit_; ++i) {
        if ((fds[first + i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        // A call may add descriptors, moving the list.
        const std::function<void()> ready = descriptors_[i].ready;
        ready();
    }
}

}  // namespace velmora::posix
