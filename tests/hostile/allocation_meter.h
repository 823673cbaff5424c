#pragma once
// Counts the bytes held through operator new in this test program (it replaces the global
// operator new and delete), so that a test can tell that reading a hostile file took a bounded
// amount of memory. Memory that libraries take with malloc directly is not counted.
#include <cstddef>

namespace velmora::testing {

class AllocationMeter {
public:
    // Starts measuring from what is held now.
    AllocationMeter();
    // The most held at once beyond the start, since the start.
    std::size_t peak() const;

private:
    std::size_t start_;
};

}  // namespace velmora::testing
