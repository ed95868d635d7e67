// Reads audio CDs below the file system: the table of contents, raw 2352-byte
// audio sectors and the block length, through SCSI multimedia commands.
// A drive is named by its device, such as "/dev/sr0".
#pragma once

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "general_tools/CdToc.h"
#include "general_tools/Progress.h"

namespace platform {
class ScsiTransport;
}

namespace GT {

using CScsiAnswer = boost::shared_ptr<std::vector<uint8_t>>;

constexpr int kCdSectorBytes = 2352;
constexpr int kCdSectorsPerRead = 15;

// Owns one open drive device; null when nothing is open.
class CDeviceHandle {
public:
    CDeviceHandle();
    ~CDeviceHandle();
    CDeviceHandle(const CDeviceHandle&) = delete;
    CDeviceHandle& operator=(const CDeviceHandle&) = delete;

    // Closes any open device first; false for an empty drive text or a device
    // that cannot be opened.
    bool Open(const std::string& drive);
    // 1 when a device was closed, 0 when nothing was open.
    int Close();
    bool IsNull() const { return !m_transport; }
    platform::ScsiTransport* Get() const { return m_transport.get(); }

private:
    std::unique_ptr<platform::ScsiTransport> m_transport;
};

class IStorageDevice {
public:
    virtual bool Open(const std::string& drive) = 0;
    virtual void Close() = 0;
    virtual bool ReadToc(const std::string& drive, CCdToc& toc) = 0;
    // 0 failed, 1 done, 2 cancelled.
    virtual int ReadSectors(int first, int count, std::vector<uint8_t>& out, IProgress* progress) = 0;
    virtual int ReadSectorsFromDrive(const std::string& drive, int first, int count, std::vector<uint8_t>& out,
                                     IProgress* progress) = 0;
    virtual int GetBlockLength(const std::string& drive) = 0;

protected:
    ~IStorageDevice() = default;
};

class CStorageDevice : public IStorageDevice {
public:
    bool Open(const std::string& drive) override;
    void Close() override;
    bool ReadToc(const std::string& drive, CCdToc& toc) override;
    int ReadSectors(int first, int count, std::vector<uint8_t>& out, IProgress* progress) override;
    int ReadSectorsFromDrive(const std::string& drive, int first, int count, std::vector<uint8_t>& out,
                             IProgress* progress) override;
    int GetBlockLength(const std::string& drive) override;

private:
    CDeviceHandle m_handle;
};

int32_t MsfToFrames(uint8_t minutes, uint8_t seconds, uint8_t frames);
// A 4-byte TOC address field: reserved, minutes, seconds, frames.
int32_t MsfAddressToFrames(const uint8_t* field);

// One command that reads up to n bytes. Empty when the command was not delivered
// or the drive did not report success; otherwise the bytes the drive moved.
CScsiAnswer ScsiPassThrough(const std::vector<uint8_t>& cdb, const CDeviceHandle& handle, int n);
// The block length, or -1 when it could not be read.
int ReadCapacityBlockLength(const CDeviceHandle& handle);
CScsiAnswer ReadCdSectors(const CDeviceHandle& handle, int first, int count);

// Scans of a full TOC answer; nothing beyond the answer's bytes is read.
int GetFullTocDescriptorCount(const std::vector<uint8_t>& answer);
bool FindSessionTrackRange(const std::vector<uint8_t>& answer, int session, int& first, int& last);
bool FindSessionLeadOut(const std::vector<uint8_t>& answer, int session, uint8_t address[4]);

}  // namespace GT
