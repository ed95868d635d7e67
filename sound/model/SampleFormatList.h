#pragma once

// Lists of sample-format codes, for picking a template instance by a run-time code and for
// producing the instances of typed classes.

#include "sound/model/MemorySampleFormats.h"
#include "sound/model/SampleFormat.h"

#include <type_traits>

namespace SL {

template <EBitDepth... F>
struct CFormatList {};

// All ten sample formats, in table order.
using AllSampleFormats = CFormatList<EBitDepth::INTEGER8S, EBitDepth::INTEGER8, EBitDepth::INTEGER16,
                                     EBitDepth::INTEGER24, EBitDepth::INTEGER32, EBitDepth::FLOAT32, EBitDepth::FLOAT64,
                                     EBitDepth::COMPLEX32, EBitDepth::COMPLEX64, EBitDepth::POINT64>;

// The seven formats of sound files, streams and waves.
using FileSampleFormats =
    CFormatList<EBitDepth::INTEGER8S, EBitDepth::INTEGER8, EBitDepth::INTEGER16, EBitDepth::INTEGER24,
                EBitDepth::INTEGER32, EBitDepth::FLOAT32, EBitDepth::FLOAT64>;

template <EBitDepth F>
using FormatConstant = std::integral_constant<EBitDepth, F>;

// f(FormatConstant<F>{}) for the listed F equal to code, else fallback(); both must return one type.
template <EBitDepth... F, typename Function, typename Fallback>
auto DispatchFormat(CFormatList<F...>, EBitDepth code, Function&& f, Fallback&& fallback) -> decltype(fallback()) {
    using Result = decltype(fallback());
    using Entry = Result (*)(Function&);
    struct Row {
        EBitDepth code;
        Entry call;
    };
    static constexpr Row rows[] = {{F, [](Function& g) -> Result { return g(FormatConstant<F>{}); }}...};
    for (const Row& row : rows)
        if (row.code == code) return row.call(f);
    return fallback();
}

// The X-macro form of the ten formats, for explicit instantiations (which no template can write).
#define SL_FOR_EACH_SAMPLE_FORMAT(X) \
    X(INTEGER8S)                     \
    X(INTEGER8) X(INTEGER16) X(INTEGER24) X(INTEGER32) X(FLOAT32) X(FLOAT64) X(COMPLEX32) X(COMPLEX64) X(POINT64)
#define SL_FOR_EACH_FILE_FORMAT(X) X(INTEGER8S) X(INTEGER8) X(INTEGER16) X(INTEGER24) X(INTEGER32) X(FLOAT32) X(FLOAT64)

}  // namespace SL
