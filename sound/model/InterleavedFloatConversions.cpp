// Conversions from every format into the floating-point formats.
#include "sound/model/InterleavedConversion.h"

namespace SL {

SL_CONVERSION_TO_INSTANCE(FLOAT32)
SL_CONVERSION_TO_INSTANCE(FLOAT64)

}  // namespace SL
