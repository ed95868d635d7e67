// Space on the volume that holds a path, from statvfs.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct DiskSpace {
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;     // available to the calling user
    uint64_t clusterBytes = 0;  // the file system's fragment size
};

// The path itself when it is a folder, else its nearest existing parent folder
// (a file that is about to be written need not exist). Empty when none is found.
std::string NearestExistingFolder(const std::string& path);

// False when no folder of the path exists or statvfs fails.
bool QueryDiskSpace(const std::string& path, DiskSpace& space);

// Where space figures come from, so that tests can state them (a card that is almost full).
class IDiskSpaceSource {
public:
    virtual ~IDiskSpaceSource() = default;
    virtual bool Query(const std::string& path, DiskSpace& space) = 0;
};

// Installs a source (tests); null restores statvfs. The caller keeps ownership.
void SetDiskSpaceSource(IDiskSpaceSource* source);

}  // namespace platform
