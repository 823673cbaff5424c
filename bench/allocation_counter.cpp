#include "allocation_counter.h"

#include <cstdlib>
#include <new>

// Every allocation carries its size in a header of max_align_t's size, so that delete can count
// it off. The benchmarks run on one thread.
namespace {

std::size_t held = 0;
std::size_t peak = 0;
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    held += size;
    if (held > peak) peak = held;
    return block + kHeader;
}

void release(void* pointer) noexcept {
    if (pointer == nullptr) return;
    auto* block = static_cast<unsigned char*>(pointer) - kHeader;
    held -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }

namespace velmora::bench {

std::size_t bytesHeld() { return held; }
void resetPeak() { peak = held; }
std::size_t peakBytesHeld() { return peak; }

}  // namespace velmora::bench
