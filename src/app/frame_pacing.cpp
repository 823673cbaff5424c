#include "app/frame_pacing.h"

#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

void optOutOfTimerThrottling() { platform().shell->ignoreTimerResolutionThrottling(); }

void updateTimerPeriod() {
    const bool producing = appState.timerId != 0 && producingFrames(appState);
    if (producing == desktopWatch.timerPeriodRaised) return;
    if (producing) {
        desktopWatch.timerPeriodRaised = platform().shell->beginTimerPeriod(kTimerPeriodMs);
    } else {
        releaseTimerPeriod();
    }
}

void releaseTimerPeriod() {
    if (!desktopWatch.timerPeriodRaised) return;
    platform().shell->endTimerPeriod(kTimerPeriodMs);
    desktopWatch.timerPeriodRaised = false;
}

}  // namespace velmora
