// Sends SCSI multimedia commands that read data from a CD drive. The real drive
// goes through the kernel's SG_IO pass-through; tests install an opener that
// hands out an emulated drive instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

struct ScsiResult {
    bool delivered = false;  // the kernel took and finished the command
    bool good = false;       // SCSI, host and driver status all good
    size_t transferred = 0;  // bytes the device actually moved
};

class ScsiTransport {
public:
    virtual ~ScsiTransport() = default;
    // One command that reads up to `length` bytes into `data`.
    virtual ScsiResult Read(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length) = 0;
};

using ScsiOpener = std::function<std::unique_ptr<ScsiTransport>(const std::string& device)>;

// Opens a device such as "/dev/sr0"; empty when it cannot be opened.
std::unique_ptr<ScsiTransport> OpenScsiDevice(const std::string& device);

// Replaces how devices are opened (tests); an empty opener restores SG_IO.
void SetScsiOpener(ScsiOpener opener);

}  // namespace platform
