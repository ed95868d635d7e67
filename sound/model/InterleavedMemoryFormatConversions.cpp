// Conversions from every format into the complex and point formats.
#include "sound/model/InterleavedConversion.h"

namespace SL {

SL_CONVERSION_TO_INSTANCE(COMPLEX32)
SL_CONVERSION_TO_INSTANCE(COMPLEX64)
SL_CONVERSION_TO_INSTANCE(POINT64)

}  // namespace SL
