// The catalogue's files as the index meets them: the stamp that says whether one changed, reading a regular
// file without waiting and within bounds, and paths below the catalogue folder.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "sdk_manager/Index.h"

namespace tmsdk {

Stamp StampOf(const struct stat& info);

std::string Join(const std::string& folder, const std::string& name);

// "catalogue: left out <what>: <reason>" through the log hook.
void LogLeftOut(const std::string& what, const std::string& reason);

std::string ErrorText(int error);

// A regular file's bytes, opened without waiting (a FIFO or device named in its place must not block) and
// within the bound. The stamp (and the number of its names) is the opened file's.
bool ReadRegular(const std::string& path, std::string& bytes, Stamp& stamp, std::string& why,
                 uint64_t* links = nullptr);

// A file's stamp as a lookup reads it (through a link), found by name in an open folder (or, without one,
// `name` is its path); all zero when it cannot be reached, which is what the index then records.
Stamp CurrentStamp(int folder, const std::string& name, uint64_t* links = nullptr);

// The path of a file the index lists: in a folder below the catalogue folder, or the catalogue file itself.
std::string Full(const Place& place, const std::string& folder, const std::string& name);

// The path with every link resolved; empty when it cannot be.
std::string RealPath(const std::string& path);

// A folder held open while its files are compared, so that each is found by its name alone.
class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder() { Close(); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    void Open(const std::string& path);
    void Close();
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};

}  // namespace tmsdk
