#include "sound/model/ChannelUtility.h"

namespace SL {

#define SL_INSTANTIATE_CHANNEL_UTILITY(F) template class CChannelUtility<EBitDepth::F>;
SL_FOR_EACH_SAMPLE_FORMAT(SL_INSTANTIATE_CHANNEL_UTILITY)
#undef SL_INSTANTIATE_CHANNEL_UTILITY

}  // namespace SL
