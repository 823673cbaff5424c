#include "support/process_state.h"

#include "ground/records.h"
#include "platform/win32/window_messages.h"
#include "ports/platform.h"

namespace velmora::testing {

void resetProcessState() {
    resetRecords();
    installPlatform(Platform{});
    win32::installMessageSystem(nullptr);
}

}  // namespace velmora::testing
