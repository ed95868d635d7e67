// The value rule written out with the general rounding functions (divide, multiply, add, round,
// clamp): the oracle that the conversions' faster arithmetic is checked against.
#pragma once

#include "general_tools/Rounding.h"
#include "sound/model/SampleFormat.h"

#include <cstdint>

namespace soundtest {

template <SL::EBitDepth Src, SL::EBitDepth Dst>
SL::SampleElement<Dst> DividingRule(SL::SampleElement<Src> x) {
    using S = SL::CSampleFormatTraits<Src>;
    using D = SL::CSampleFormatTraits<Dst>;
    const double n = (static_cast<double>(x) - static_cast<double>(S::ZERO))
                     / static_cast<double>(int64_t{S::MAXIMUM} - int64_t{S::ZERO});
    const double v = n * static_cast<double>(int64_t{D::MAXIMUM} - int64_t{D::ZERO}) + static_cast<double>(D::ZERO);
    return GT::RoundAndClamp<SL::SampleElement<Dst>>(v, D::SMALLEST, D::MAXIMUM);
}

}  // namespace soundtest
