// Compile-time sample-format codes and the per-format facts that typed classes are built from.
// The run-time enumeration over the same codes is SL::CBitDepth (BitDepth.h).
#pragma once

#include <cstdint>
#include <type_traits>

namespace SL {

// (kind << 16) | bits per sample; kind 1 integer, 2 float, 4 complex, 8 point; bit 31 only for unsigned 8-bit.
// Typed classes are templates over these codes.
enum class EBitDepth : int32_t {
    NONE = 0,
    INTEGER8S = 0x10008,
    INTEGER8 = static_cast<int32_t>(0x80010008u),
    INTEGER16 = 0x10010,
    INTEGER24 = 0x10018,
    INTEGER32 = 0x10020,
    FLOAT32 = 0x20020,
    FLOAT64 = 0x20040,
    COMPLEX32 = 0x40040,
    COMPLEX64 = 0x40080,
    POINT64 = 0x80080,
};

// Size of one sample in files and interleaved byte buffers (INTEGER24 takes 3 bytes there).
constexpr int BytesPerSample(int32_t code) { return static_cast<int>((static_cast<uint32_t>(code) >> 3) & 0x1FFFu); }
constexpr int BytesPerSample(EBitDepth code) { return BytesPerSample(static_cast<int32_t>(code)); }

// The seven formats that occur in sound files, sample streams, waves and decorators.
constexpr bool IsFileFormat(EBitDepth code) {
    switch (code) {
        case EBitDepth::INTEGER8S:
        case EBitDepth::INTEGER8:
        case EBitDepth::INTEGER16:
        case EBitDepth::INTEGER24:
        case EBitDepth::INTEGER32:
        case EBitDepth::FLOAT32:
        case EBitDepth::FLOAT64:
            return true;
        default:
            return false;
    }
}

constexpr bool IsIntegerFormat(EBitDepth code) { return (static_cast<uint32_t>(code) & 0x7FFF0000u) == 0x10000u; }

// Element type in memory, silence level and positive full scale of a file format.
// Specialised here for the seven file formats; the in-memory formats (complex, point) may add their own.
template <EBitDepth F>
struct CSampleFormatTraits;

template <typename T, int64_t Zero, int64_t Maximum>
struct CIntegerSampleTraits {
    using Element = T;
    static constexpr bool IS_INTEGER = true;
    static constexpr T ZERO = static_cast<T>(Zero);
    static constexpr T MAXIMUM = static_cast<T>(Maximum);
    // 2 × zero − maximum: the most negative value that a conversion produces (one above the type's minimum).
    static constexpr T SMALLEST = static_cast<T>(2 * Zero - Maximum);
};

template <typename T>
struct CFloatSampleTraits {
    using Element = T;
    static constexpr bool IS_INTEGER = false;
};

template <>
struct CSampleFormatTraits<EBitDepth::INTEGER8S> : CIntegerSampleTraits<int8_t, 0, 127> {};
template <>
struct CSampleFormatTraits<EBitDepth::INTEGER8> : CIntegerSampleTraits<uint8_t, 128, 255> {};
template <>
struct CSampleFormatTraits<EBitDepth::INTEGER16> : CIntegerSampleTraits<int16_t, 0, 32767> {};
template <>
struct CSampleFormatTraits<EBitDepth::INTEGER24> : CIntegerSampleTraits<int32_t, 0, 8388607> {};
template <>
struct CSampleFormatTraits<EBitDepth::INTEGER32> : CIntegerSampleTraits<int32_t, 0, 2147483647> {};
template <>
struct CSampleFormatTraits<EBitDepth::FLOAT32> : CFloatSampleTraits<float> {};
template <>
struct CSampleFormatTraits<EBitDepth::FLOAT64> : CFloatSampleTraits<double> {};

template <EBitDepth F>
using SampleElement = typename CSampleFormatTraits<F>::Element;

// Calls f(std::integral_constant<EBitDepth, F>{}) for the file format F equal to code and returns its
// result; returns fallback() for any other code. Factories use it to pick a template instance.
template <typename Function, typename Fallback>
auto DispatchFileFormat(EBitDepth code, Function&& f, Fallback&& fallback) {
    using C = EBitDepth;
    switch (code) {
        case C::INTEGER8S:
            return f(std::integral_constant<C, C::INTEGER8S>{});
        case C::INTEGER8:
            return f(std::integral_constant<C, C::INTEGER8>{});
        case C::INTEGER16:
            return f(std::integral_constant<C, C::INTEGER16>{});
        case C::INTEGER24:
            return f(std::integral_constant<C, C::INTEGER24>{});
        case C::INTEGER32:
            return f(std::integral_constant<C, C::INTEGER32>{});
        case C::FLOAT32:
            return f(std::integral_constant<C, C::FLOAT32>{});
        case C::FLOAT64:
            return f(std::integral_constant<C, C::FLOAT64>{});
        default:
            return fallback();
    }
}

}  // namespace SL
