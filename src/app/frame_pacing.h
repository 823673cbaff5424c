#pragma once
// Frame pacing on Windows 11: with the default timer resolution of 15.6 ms a 16 ms timer fires
// every 31.25 ms, and requests for a finer resolution from processes without visible windows
// are ignored unless the process opts out of that throttling.
#include <cstdint>

namespace velmora {

inline constexpr std::uint32_t kTimerPeriodMs = 1;

// Once at start-up; where the system has no such call the program goes on without it.
void optOutOfTimerThrottling();
// The fine timer resolution is asked for while frames are produced (a frame timer runs and the
// animation plays, paused neither by the user nor automatically) and given back otherwise.
// Called after every theme start and pause change.
void updateTimerPeriod();
// At exit: gives back the resolution if it is held.
void releaseTimerPeriod();

}  // namespace velmora
