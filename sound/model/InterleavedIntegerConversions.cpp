// Conversions from every format into the integer formats.
#include "sound/model/InterleavedConversion.h"

namespace SL {

SL_CONVERSION_TO_INSTANCE(INTEGER8S)
SL_CONVERSION_TO_INSTANCE(INTEGER8)
SL_CONVERSION_TO_INSTANCE(INTEGER16)
SL_CONVERSION_TO_INSTANCE(INTEGER24)
SL_CONVERSION_TO_INSTANCE(INTEGER32)

}  // namespace SL
