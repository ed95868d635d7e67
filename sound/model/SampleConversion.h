// The one rule by which a sample value changes format: normalise with the source's zero and
// maximum, scale with the destination's, round half away from zero, clamp to the destination's
// symmetric range. Every step is IEEE double arithmetic, rounded to double.
#pragma once

#include "sound/model/SampleFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace SL {

// Largest finite float; FLOAT64 values beyond it (and NaN) clamp to it when narrowed.
constexpr double kFloat32Limit = 3.4028234663852886e38;

namespace detail {

// Source value as a double where 0 is silence and ±1 full scale; integer sources divide first.
template <EBitDepth Src>
inline double Normalise(SampleElement<Src> x) noexcept {
    using Traits = CSampleFormatTraits<Src>;
    if constexpr (Traits::IS_INTEGER) {
        constexpr double zero = static_cast<double>(Traits::ZERO);
        constexpr double span = static_cast<double>(int64_t{Traits::MAXIMUM} - int64_t{Traits::ZERO});
        return (static_cast<double>(x) - zero) / span;
    } else {
        return static_cast<double>(x);
    }
}

// GT::RoundAndClamp (v, 2 × zero − maximum, maximum) of the destination, without a libm call and
// without branches on the sign (samples change sign at random): beyond ±2^31 the result is a bound
// anyway, and inside it truncating v ± 0.5 equals floor (v + 0.5) for v ≥ 0 and ceil (v − 0.5) for
// v < 0 (−0.0 gives 0 either way). NaN gives the maximum.
template <EBitDepth Dst>
inline SampleElement<Dst> RoundAndClampTo(double v) noexcept {
    using Traits = CSampleFormatTraits<Dst>;
    const double w = v + std::copysign(0.5, v);
    if (!(w < 2147483648.0)) return Traits::MAXIMUM;
    if (w <= -2147483648.0) return Traits::SMALLEST;
    const int64_t r = static_cast<int64_t>(w);
    return static_cast<SampleElement<Dst>>(std::min<int64_t>(std::max<int64_t>(r, Traits::SMALLEST), Traits::MAXIMUM));
}

// A normalised value in the destination format.
template <EBitDepth Dst>
inline SampleElement<Dst> FromNormalised(double n) noexcept {
    using Traits = CSampleFormatTraits<Dst>;
    if constexpr (Traits::IS_INTEGER) {
        constexpr double span = static_cast<double>(int64_t{Traits::MAXIMUM} - int64_t{Traits::ZERO});
        double v = n * span;
        if constexpr (Traits::ZERO != 0)  // + 0.0 could only turn −0.0 into 0.0, which rounds alike
            v += static_cast<double>(Traits::ZERO);
        return RoundAndClampTo<Dst>(v);
    } else {
        return static_cast<SampleElement<Dst>>(n);
    }
}

// v of the rule for an integer pair, multiplied by span_dst / span_src instead of divided then
// multiplied (see IntegerToInteger).
template <EBitDepth Src, EBitDepth Dst>
constexpr double ScaledInteger(int64_t x) noexcept {
    using S = CSampleFormatTraits<Src>;
    using D = CSampleFormatTraits<Dst>;
    constexpr double scale = static_cast<double>(int64_t{D::MAXIMUM} - int64_t{D::ZERO})
                             / static_cast<double>(int64_t{S::MAXIMUM} - int64_t{S::ZERO});
    double v = (static_cast<double>(x) - static_cast<double>(S::ZERO)) * scale;
    if (D::ZERO != 0) v += static_cast<double>(D::ZERO);  // adding 0.0 would only cost latency
    return v;
}

// Integer to integer without a division. Both the exact rule and v = a × (span_dst / span_src) + zero
// stay within 2e-6 of the true quotient (|v| < 2^31), and rounding only changes at half-integers,
// so away from them both round alike; within kTieGuard of one the exact rule decides.
template <EBitDepth Src, EBitDepth Dst>
inline SampleElement<Dst> IntegerToInteger(SampleElement<Src> x) noexcept {
    using S = CSampleFormatTraits<Src>;
    using D = CSampleFormatTraits<Dst>;
    if constexpr (Src == Dst) {
        // x / span × span rounds back to x: only the type's most negative value moves, up by one.
        return x < D::SMALLEST ? D::SMALLEST : x;
    } else {
        // Every span is odd, so the true quotient is never a tie and stays at least 1 / (2 × source
        // span) away from one, while both computations err by less than 6 × 2^-53 × destination
        // maximum. While source span × destination maximum stays under 2^44 that gap is far wider
        // than the error, both round alike, and the guard is not needed.
        constexpr bool kNearTiesPossible =
            static_cast<double>(int64_t{S::MAXIMUM} - int64_t{S::ZERO}) * static_cast<double>(D::MAXIMUM) >= 0x1p44;
        // When even the source's extremes round inside the destination's range (v grows with x),
        // no value needs a bound: the rounding is one truncation to 32 bits, which the compiler
        // can do for many values at once (24-bit files made 16-bit, say).
        constexpr double kLowest = ScaledInteger<Src, Dst>(int64_t{2} * S::ZERO - S::MAXIMUM - 1);
        constexpr double kHighest = ScaledInteger<Src, Dst>(S::MAXIMUM);
        constexpr bool kInside =
            !kNearTiesPossible && kLowest > D::SMALLEST - 0.5 && kHighest < static_cast<double>(D::MAXIMUM) + 0.5;
        const double v = ScaledInteger<Src, Dst>(x);
        const double w = v + std::copysign(0.5, v);
        if constexpr (kInside) {
            return static_cast<SampleElement<Dst>>(static_cast<int32_t>(w));
        } else {
            if (!(w < 2147483648.0)) return D::MAXIMUM;
            if (w <= -2147483648.0) return D::SMALLEST;
            const int64_t r = static_cast<int64_t>(w);
            if constexpr (kNearTiesPossible) {
                // Distance of w from the integer that truncation gave: near 0 or 1 means v is near a tie.
                constexpr double kTieGuard = 1e-5;
                const double fraction = std::fabs(w - static_cast<double>(r));
                if (fraction < kTieGuard || fraction > 1.0 - kTieGuard) return FromNormalised<Dst>(Normalise<Src>(x));
            }
            return static_cast<SampleElement<Dst>>(std::min<int64_t>(std::max<int64_t>(r, D::SMALLEST), D::MAXIMUM));
        }
    }
}

}  // namespace detail

// The value rule of one ordered pair of formats, as a stateless function object. Defined here for
// the 49 pairs of file formats; the in-memory formats may add partial specialisations.
template <EBitDepth Src, EBitDepth Dst, typename Enable = void>
struct ConvertSample;

template <EBitDepth Src, EBitDepth Dst>
struct ConvertSample<Src, Dst, std::enable_if_t<IsFileFormat(Src) && IsFileFormat(Dst)>> {
    using Source = SampleElement<Src>;
    using Destination = SampleElement<Dst>;

    Destination operator()(Source x) const noexcept {
        if constexpr (Src == EBitDepth::FLOAT64 && Dst == EBitDepth::FLOAT32) {
            // GT::Clamp (x, -max, max) as a float: NaN takes the upper bound.
            if (x < -kFloat32Limit) return static_cast<float>(-kFloat32Limit);
            if (!(x <= kFloat32Limit)) return static_cast<float>(kFloat32Limit);
            return static_cast<float>(x);
        } else if constexpr (Src == Dst && !CSampleFormatTraits<Src>::IS_INTEGER) {
            return x;
        } else if constexpr (CSampleFormatTraits<Src>::IS_INTEGER && CSampleFormatTraits<Dst>::IS_INTEGER) {
            return detail::IntegerToInteger<Src, Dst>(x);
        } else {
            return detail::FromNormalised<Dst>(detail::Normalise<Src>(x));
        }
    }
};

// The rule applied to one value: ConvertSampleValue<Src, Dst> (x).
template <EBitDepth Src, EBitDepth Dst>
inline SampleElement<Dst> ConvertSampleValue(SampleElement<Src> x) noexcept {
    return ConvertSample<Src, Dst>()(x);
}

}  // namespace SL
