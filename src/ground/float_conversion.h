#pragma once
// Float-to-integer conversions with the result the x86-64 truncating conversion gives on every
// platform: a value out of the int32 range, or NaN, becomes INT32_MIN instead of undefined
// behaviour. Layout and animation rely on the exact integers these produce.
#include <cmath>
#include <cstdint>
#include <limits>

namespace velmora {

inline constexpr std::int32_t kIntegerIndefinite = std::numeric_limits<std::int32_t>::min();

// Truncation toward zero.
inline std::int32_t truncateToInt(float value) {
    // -2^31 is a float; the next float above 2^31 - 1 is 2^31 itself.
    if (value >= -2147483648.0f && value < 2147483648.0f) return static_cast<std::int32_t>(value);
    return kIntegerIndefinite;
}

// Nearest integer, halves away from zero.
inline std::int32_t roundToInt(float value) { return truncateToInt(std::round(value)); }

// An int64 result narrowed the same way: out of range gives INT32_MIN.
inline std::int32_t narrowToInt(std::int64_t value) {
    if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
        return static_cast<std::int32_t>(value);
    }
    return kIntegerIndefinite;
}

// Two's-complement wrapping addition, as the machine adds.
inline std::int32_t wrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t wrappingSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace velmora
