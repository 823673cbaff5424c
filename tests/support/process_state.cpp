#include "support/process_state.h"

#include "ground/records.h"
#include "ports/platform.h"

namespace velmora::testing {

void resetProcessState() {
    resetRecords();
    installPlatform(Platform{});
}

}  // namespace velmora::testing
