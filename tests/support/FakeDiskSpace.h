// Space figures that a test states (a card that is almost full, a file system that refuses the
// query), installed for one scope in place of statvfs.
#pragma once

#include "platform/system/DiskSpace.h"

#include <string>
#include <vector>

namespace gbxtest {

class FakeDiskSpace : public platform::IDiskSpaceSource {
public:
    FakeDiskSpace() { platform::SetDiskSpaceSource(this); }
    ~FakeDiskSpace() override { platform::SetDiskSpaceSource(nullptr); }
    FakeDiskSpace(const FakeDiskSpace&) = delete;
    FakeDiskSpace& operator=(const FakeDiskSpace&) = delete;

    bool Query(const std::string& path, platform::DiskSpace& answer) override {
        queried.push_back(path);
        if (!answers) return false;
        answer = space;
        return true;
    }

    platform::DiskSpace space;  // what every query answers
    bool answers = true;        // false: every query fails
    std::vector<std::string> queried;
};

}  // namespace gbxtest
