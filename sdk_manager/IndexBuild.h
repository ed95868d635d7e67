// Building the index: one pass over the catalogue, in catalogue order, that writes a new index and takes over
// from the old one what did not change, so that only the files that changed are read again.
#pragma once

#include <vector>

#include "sdk_manager/Index.h"
#include "sdk_manager/IndexFormat.h"

namespace tmsdk {

// Walks the catalogue and writes its index to `out`, reading `old` (when given, an index of the same catalogue
// past its header) alongside. The records `request.want` accepts are handed back in `found`.
// TMSDK_STATUS_ABORTED when progress asked to stop; TMSDK_STATUS_SERVICE_UNREACHABLE when the catalogue is
// gone.
tmsdk_status_t BuildIndex(const Place& place, const IndexRequest& request, Reader* old, Writer& out,
                          std::vector<IndexedRecord>& found, IndexReport& report);

}  // namespace tmsdk
