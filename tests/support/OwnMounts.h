// Shows the volume listing only the mounts a test made: while the object lives, GBX_MOUNTINFO
// names a mount table holding the lines of the system's table whose mount point lies at or below
// one of the test's folders; Refresh takes them again after a mount or an unmount.
#pragma once

#include <string>
#include <vector>

#include "platform/system/Volumes.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace gbxtest {

class COwnMounts {
public:
    COwnMounts(std::vector<std::string> folders, std::string table)
        : m_folders(std::move(folders)), m_table(std::move(table)), m_environment("GBX_MOUNTINFO", m_table) {
        Refresh();
    }

    void Refresh() const {
        std::string kept;
        std::string::size_type start = 0;
        const std::string system = platform::ReadTextFile("/proc/self/mountinfo");
        while (start < system.size()) {
            std::string::size_type end = system.find('\n', start);
            if (end == std::string::npos) end = system.size();
            const std::string line = system.substr(start, end - start);
            start = end + 1;
            const std::vector<platform::MountEntry> entries = platform::ParseMountInfo(line);
            if (entries.size() == 1 && IsOwn(entries[0].mountPoint)) kept += line + "\n";
        }
        WriteText(m_table, kept);
    }

private:
    bool IsOwn(const std::string& mountPoint) const {
        for (const std::string& folder : m_folders)
            if (mountPoint == folder || mountPoint.compare(0, folder.size() + 1, folder + "/") == 0) return true;
        return false;
    }

    std::vector<std::string> m_folders;
    std::string m_table;
    ScopedEnvironment m_environment;
};

}  // namespace gbxtest
