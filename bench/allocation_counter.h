#pragma once
// Counts the bytes held through operator new, and the most held at once since the last reset.
#include <cstddef>

namespace velmora::bench {

std::size_t bytesHeld();
// Starts a new peak from what is held now.
void resetPeak();
std::size_t peakBytesHeld();

}  // namespace velmora::bench
