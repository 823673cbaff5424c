#pragma once
// Puts every process-wide record back to its start-of-program state, so that tests do not see
// each other's leftovers.
namespace velmora::testing {

void resetProcessState();

}  // namespace velmora::testing
