// Comparing the index with the catalogue as it is now: every folder's stamp, and every file's when asked,
// while the index is read through once and its checksum verified.
#pragma once

#include <string>
#include <vector>

#include "sdk_manager/Index.h"

namespace tmsdk {

enum class IndexState { kMissing, kDamaged, kStale, kFresh };

// Reads the whole index at `path` once: its checksum, and every folder's stamp against the catalogue as it is
// now (with every file's too when asked, else only the files to recheck). The records `want` accepts are
// collected while it is read, and the catalogue folder's subfolders when it did not change.
IndexState CheckIndex(const Place& place, const std::string& path, const IndexRequest& request,
                      std::vector<IndexedRecord>& records, IndexReport& report);

}  // namespace tmsdk
