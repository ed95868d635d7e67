#pragma once

// Element types of the sample formats that exist only in memory: complex numbers and points.
// Together with SampleFormat.h every one of the ten formats has CSampleFormatTraits.

#include "general_tools/Point.h"
#include "sound/model/SampleFormat.h"

#include <complex>

namespace SL {

template <>
struct CSampleFormatTraits<EBitDepth::COMPLEX32> : CFloatSampleTraits<std::complex<float>> {};
template <>
struct CSampleFormatTraits<EBitDepth::COMPLEX64> : CFloatSampleTraits<std::complex<double>> {};
template <>
struct CSampleFormatTraits<EBitDepth::POINT64> : CFloatSampleTraits<GT::CPointT<double>> {};

}  // namespace SL
