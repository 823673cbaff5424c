#pragma once
#include "ports/handles.h"

namespace velmora {

// The program: start-up, the message loop and shut-down, over the installed platform
// interfaces. Returns the exit code (1 when another instance runs or the window cannot be set
// up, otherwise the quit code).
int runVelmora(InstanceHandle instance);

}  // namespace velmora
