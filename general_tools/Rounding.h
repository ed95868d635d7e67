#pragma once

// Rounding half away from zero and clamping of doubles into integer and floating-point types.
// These rules decide the sample values the program writes, so every step is plain IEEE double
// arithmetic.

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace GT {

// Half away from zero; NaN stays NaN, infinities stay infinite, -0.0 gives +0.0.
inline double Round(double x) {
    if (x < 0.0) {
        const double d = x - 0.5;
        return std::ceil(d);
    }
    const double s = x + 0.5;
    return std::floor(s);
}

inline int ClampInt(int v, int lo, int hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

namespace detail {
// Types whose bounds convert exactly to double, so that an in-range x always converts defined.
template <typename T>
constexpr bool kClampable = (std::is_integral_v<T> && !std::is_same_v<T, bool> && sizeof(T) <= 4)
                            || std::is_same_v<T, float> || std::is_same_v<T, double>;
}  // namespace detail

// lo when x < lo; hi when x > hi or x is NaN; else x converted to T (integers truncate toward
// zero, float rounds to nearest).
template <typename T>
inline T Clamp(double x, T lo, T hi) {
    static_assert(detail::kClampable<T>, "Clamp needs an integer of at most 32 bits, float or double");
    if (x < static_cast<double>(lo)) return lo;
    if (!(x <= static_cast<double>(hi))) return hi;
    return static_cast<T>(x);
}

// Clamps into the range spanned by two bounds given in either order.
inline int ClampToSpan(int value, int a, int b) {
    if (a > b) return ClampInt(value, b, a);
    return ClampInt(value, a, b);
}

template <typename T>
inline T ClampToSpan(double x, T a, T b) {
    static_assert(std::is_integral_v<T>, "ClampToSpan of a double needs an integer type");
    if (a > b) return Clamp<T>(x, b, a);
    return Clamp<T>(x, a, b);
}

// Rounds half away from zero, then clamps into the span of the two bounds: NaN and +infinity
// give the larger bound, -infinity the smaller.
template <typename T>
inline T RoundAndClamp(double x, T a, T b) {
    return ClampToSpan<T>(Round(x), a, b);
}

// Turns a normalised value into an integer sample of the range [2*zero - max, max].
template <typename T>
inline T ScaleAndClamp(double x, T zero, T max) {
    static_assert(std::is_integral_v<T>, "ScaleAndClamp needs an integer sample type");
    const std::int64_t span = static_cast<std::int64_t>(max) - zero;
    const double v = static_cast<double>(span) * x + static_cast<double>(zero);
    // Computed in the width of T: wraps exactly as the sample type would.
    const T lo = static_cast<T>(static_cast<std::uint32_t>(2 * static_cast<std::int64_t>(zero) - max));
    return RoundAndClamp<T>(v, lo, max);
}

// Symmetric range: the lower bound is -2147483647.
inline int RoundToInt(double x) { return Clamp<int>(Round(x), -2147483647, 2147483647); }

inline int RoundToIntFull(double x) {
    return Clamp<int>(Round(x), std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

inline std::uint32_t RoundToUnsigned(double x) { return Clamp<std::uint32_t>(Round(x), 0u, 4294967295u); }

}  // namespace GT
