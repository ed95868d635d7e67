// What answers a lookup's requests. Without a disc catalogue a lookup fails as an unreachable service does.
#include "sdk_manager/Lookup.h"

namespace tmsdk {

tmsdk_status_t Answer(Lookup& lookup, std::vector<GdoRef>& responses) {
    (void)responses;
    if (SendStatus(lookup, 8, TMSDK_LOOKUP_STATUS_STARTED)) return TMSDK_STATUS_ABORTED;
    if (SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_CATALOGUE_OPENING)) return TMSDK_STATUS_ABORTED;
    return Fail(lookup, TMSDK_STATUS_SERVICE_UNREACHABLE, 0, 0);
}

}  // namespace tmsdk
