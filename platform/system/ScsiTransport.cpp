#include "platform/system/ScsiTransport.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

namespace platform {

namespace {

constexpr unsigned kSenseBytes = 24;
constexpr unsigned kTimeoutMs = 10000;

class SgIoTransport : public ScsiTransport {
public:
    explicit SgIoTransport(int fd) : m_fd(fd) {}
    ~SgIoTransport() override { ::close(m_fd); }

    ScsiResult Read(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length) override {
        ScsiResult result;
        if (cdbLength == 0 || cdbLength > 16) return result;
        unsigned char command[16];
        std::memcpy(command, cdb, cdbLength);
        unsigned char sense[kSenseBytes] = {};
        sg_io_hdr_t io;
        std::memset(&io, 0, sizeof io);
        io.interface_id = 'S';
        io.cmd_len = static_cast<unsigned char>(cdbLength);
        io.cmdp = command;
        io.mx_sb_len = kSenseBytes;
        io.sbp = sense;
        io.dxfer_direction = length ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
        io.dxfer_len = static_cast<unsigned>(length);
        io.dxferp = data;
        io.timeout = kTimeoutMs;
        if (::ioctl(m_fd, SG_IO, &io) < 0) return result;
        result.delivered = true;
        result.good = io.status == 0 && io.host_status == 0 && (io.driver_status & 0x0F) == 0
                      && (io.info & SG_INFO_OK_MASK) == SG_INFO_OK;
        const int resid = io.resid < 0 ? 0 : io.resid;
        result.transferred = static_cast<size_t>(resid) >= length ? 0 : length - static_cast<size_t>(resid);
        return result;
    }

private:
    int m_fd;
};

ScsiOpener& InstalledOpener() {
    static ScsiOpener opener;
    return opener;
}

}  // namespace

std::unique_ptr<ScsiTransport> OpenScsiDevice(const std::string& device) {
    if (InstalledOpener()) return InstalledOpener()(device);
    if (device.empty()) return nullptr;
    int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<SgIoTransport>(fd);
}

void SetScsiOpener(ScsiOpener opener) { InstalledOpener() = std::move(opener); }

}  // namespace platform
