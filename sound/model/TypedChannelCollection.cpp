#include "sound/model/TypedChannelCollection.h"

namespace SL {

#define SL_INSTANTIATE_TYPED_COLLECTION(F)                                     \
    template class CStlSharedPtrVectorMixin<IChannel, CChannel<EBitDepth::F>>; \
    template class CTypedChannelCollection<EBitDepth::F>;
SL_FOR_EACH_SAMPLE_FORMAT(SL_INSTANTIATE_TYPED_COLLECTION)
#undef SL_INSTANTIATE_TYPED_COLLECTION

}  // namespace SL
