#include "allocation_meter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peakHeld{0};

void* allocate(std::size_t size) {
    void* pointer = std::malloc(size == 0 ? 1 : size);
    if (pointer == nullptr) throw std::bad_alloc();
    const std::size_t now = held += malloc_usable_size(pointer);
    std::size_t peak = peakHeld.load();
    while (now > peak && !peakHeld.compare_exchange_weak(peak, now)) {
    }
    return pointer;
}

void release(void* pointer) noexcept {
    if (pointer == nullptr) return;
    held -= malloc_usable_size(pointer);
    std::free(pointer);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }
// The nothrow forms too, or their memory would come from the library's allocator and go back to
// this one's.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { release(pointer); }

namespace velmora::testing {

AllocationMeter::AllocationMeter() : start_(held.load()) { peakHeld = start_; }

std::size_t AllocationMeter::peak() const {
    const std::size_t peak = peakHeld.load();
    return peak > start_ ? peak - start_ : 0;
}

}  // namespace velmora::testing
