#include "general_tools/CdDrive.h"

#include <algorithm>

#include "platform/system/ScsiTransport.h"

namespace GT {

namespace {

constexpr size_t kTocHeader = 4;
constexpr size_t kTocDescriptor = 8;
constexpr size_t kFullTocDescriptor = 11;
constexpr uint8_t kLeadOutTrack = 0xAA;

const std::vector<uint8_t> kReadTocCommand = {0x43, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0x24, 0x00};
const std::vector<uint8_t> kReadFullTocCommand = {0x43, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x04, 0xBE, 0x80};
const std::vector<uint8_t> kReadCapacityCommand = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr int kTocAllocation = 804;
constexpr int kFullTocAllocation = 1214;

size_t DataLength(const std::vector<uint8_t>& answer) {
    return answer.size() < 2 ? 0 : (static_cast<size_t>(answer[0]) << 8) | answer[1];
}

// Format-0 descriptors that both the stated data length and the answer hold.
size_t TocDescriptorCount(const std::vector<uint8_t>& answer) {
    if (answer.size() < kTocHeader || DataLength(answer) < 2) return 0;
    return std::min((DataLength(answer) - 2) / kTocDescriptor, (answer.size() - kTocHeader) / kTocDescriptor);
}

const uint8_t* FindTocDescriptor(const std::vector<uint8_t>& answer, uint8_t track) {
    const size_t n = TocDescriptorCount(answer);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* d = answer.data() + kTocHeader + kTocDescriptor * i;
        if (d[2] == track) return d;
    }
    return nullptr;
}

const uint8_t* FullTocDescriptor(const std::vector<uint8_t>& answer, int i) {
    return answer.data() + kTocHeader + kFullTocDescriptor * static_cast<size_t>(i);
}

bool IsSessionPoint(const uint8_t* d, int session, uint8_t point) {
    return (d[1] >> 4) == 1 && d[0] == session && d[3] == point;
}

}  // namespace

CDeviceHandle::CDeviceHandle() = default;
CDeviceHandle::~CDeviceHandle() = default;

bool CDeviceHandle::Open(const std::string& drive) {
    Close();
    if (drive.empty()) return false;
    m_transport = platform::OpenScsiDevice(drive);
    return !IsNull();
}

int CDeviceHandle::Close() {
    if (IsNull()) return 0;
    m_transport.reset();
    return 1;
}

int32_t MsfToFrames(uint8_t minutes, uint8_t seconds, uint8_t frames) { return minutes * 4500 + seconds * 75 + frames; }

int32_t MsfAddressToFrames(const uint8_t* field) { return MsfToFrames(field[1], field[2], field[3]); }

CScsiAnswer ScsiPassThrough(const std::vector<uint8_t>& cdb, const CDeviceHandle& handle, int n) {
    CScsiAnswer answer(new std::vector<uint8_t>());
    if (handle.IsNull() || n < 0 || cdb.empty()) return answer;
    std::vector<uint8_t> data(static_cast<size_t>(n), 0);
    const platform::ScsiResult r =
        handle.Get()->Read(cdb.data(), std::min<size_t>(cdb.size(), 16), data.data(), data.size());
    if (!r.delivered || !r.good) return answer;
    data.resize(std::min(r.transferred, data.size()));
    answer->swap(data);
    return answer;
}

int ReadCapacityBlockLength(const CDeviceHandle& handle) {
    CScsiAnswer a = ScsiPassThrough(kReadCapacityCommand, handle, 8);
    if (a->size() != 8) return -1;
    const uint8_t* b = a->data() + 4;
    return static_cast<int>((uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3]);
}

CScsiAnswer ReadCdSectors(const CDeviceHandle& handle, int first, int count) {
    const uint32_t lba = static_cast<uint32_t>(first);
    const uint32_t n = static_cast<uint32_t>(count);
    const std::vector<uint8_t> cdb = {0xBE,
                                      0x00,
                                      static_cast<uint8_t>(lba >> 24),
                                      static_cast<uint8_t>(lba >> 16),
                                      static_cast<uint8_t>(lba >> 8),
                                      static_cast<uint8_t>(lba),
                                      static_cast<uint8_t>(n >> 16),
                                      static_cast<uint8_t>(n >> 8),
                                      static_cast<uint8_t>(n),
                                      0x10,
                                      0x00,
                                      0x00};
    return ScsiPassThrough(cdb, handle, count * kCdSectorBytes);
}

int GetFullTocDescriptorCount(const std::vector<uint8_t>& answer) {
    if (answer.size() < kTocHeader || DataLength(answer) < 2) return 0;
    return static_cast<int>(
        std::min((DataLength(answer) - 2) / kFullTocDescriptor, (answer.size() - kTocHeader) / kFullTocDescriptor));
}

bool FindSessionTrackRange(const std::vector<uint8_t>& answer, int session, int& first, int& last) {
    first = -1;
    last = -1;
    const int n = GetFullTocDescriptorCount(answer);
    for (int i = 0; i < n; ++i) {
        const uint8_t* d = FullTocDescriptor(answer, i);
        if (IsSessionPoint(d, session, 0xA0)) first = d[8];
        if (IsSessionPoint(d, session, 0xA1)) last = d[8];
    }
    return first != -1 && last != -1;
}

bool FindSessionLeadOut(const std::vector<uint8_t>& answer, int session, uint8_t address[4]) {
    address[1] = address[2] = address[3] = 0xFF;
    const int n = GetFullTocDescriptorCount(answer);
    for (int i = 0; i < n; ++i) {
        const uint8_t* d = FullTocDescriptor(answer, i);
        if (IsSessionPoint(d, session, 0xA2)) {
            address[1] = d[8];
            address[2] = d[9];
            address[3] = d[10];
            return true;
        }
    }
    return false;
}

bool CStorageDevice::Open(const std::string& drive) { return m_handle.Open(drive); }

void CStorageDevice::Close() { m_handle.Close(); }

bool CStorageDevice::ReadToc(const std::string& drive, CCdToc& toc) {
    CDeviceHandle handle;
    if (!handle.Open(drive)) return false;
    CScsiAnswer list = ScsiPassThrough(kReadTocCommand, handle, kTocAllocation);
    CScsiAnswer full = ScsiPassThrough(kReadFullTocCommand, handle, kFullTocAllocation);
    handle.Close();

    if (list->size() < kTocHeader) return false;
    toc.Clear();
    const int firstTrack = (*list)[2];
    const int lastTrack = (*list)[3];
    if (lastTrack == 0) return false;

    int first = firstTrack;
    int last = lastTrack;
    int sessionFirst = 0, sessionLast = 0;
    if (FindSessionTrackRange(*full, 1, sessionFirst, sessionLast)) {
        first = sessionFirst;
        last = sessionLast;
    }
    if (first < 1 || last > 99 || last < first) return false;

    int32_t leadOut;
    uint8_t address[4] = {};
    if (FindSessionLeadOut(*full, 1, address)) {
        leadOut = MsfAddressToFrames(address);
    } else {
        const uint8_t* d = FindTocDescriptor(*list, kLeadOutTrack);
        if (!d) return false;
        leadOut = MsfAddressToFrames(d + 4);
    }

    // Descriptors are taken by track number: a disc may begin above track 1.
    std::vector<CCdTocEntry> entries;
    for (int track = first; track <= last; ++track) {
        const uint8_t* d = FindTocDescriptor(*list, static_cast<uint8_t>(track));
        if (!d) return false;
        const uint8_t control = d[1] & 0x0F;
        entries.emplace_back(MsfAddressToFrames(d + 4), control & 1, (control >> 1) & 1, (control >> 2) & 1,
                             (control >> 3) & 1);
    }
    for (const auto& e : entries) toc.Add(e);
    toc.Add(CCdTocEntry(leadOut, 0, 0, 1, 0));
    return true;
}

int CStorageDevice::ReadSectors(int first, int count, std::vector<uint8_t>& out, IProgress* progress) {
    out.clear();
    if (count <= 0) return 1;
    if (m_handle.IsNull()) return 0;
    CDefaultProgress silent;
    IProgress& p = progress ? *progress : silent;
    out.reserve(static_cast<size_t>(count) * kCdSectorBytes);
    for (int done = 0; done < count;) {
        if (p.IsCancelled()) return 2;
        p.Step();
        const int chunk = std::min(count - done, kCdSectorsPerRead);
        CScsiAnswer a = ReadCdSectors(m_handle, first + done, chunk);
        // A failed or short piece would leave a gap in the audio: the read fails.
        if (a->size() != static_cast<size_t>(chunk) * kCdSectorBytes) return 0;
        out.insert(out.end(), a->begin(), a->end());
        done += chunk;
    }
    return 1;
}

int CStorageDevice::ReadSectorsFromDrive(const std::string& drive, int first, int count, std::vector<uint8_t>& out,
                                         IProgress* progress) {
    if (!Open(drive)) return 0;
    const int result = ReadSectors(first, count, out, progress);
    Close();
    return result;
}

int CStorageDevice::GetBlockLength(const std::string& drive) {
    CDeviceHandle handle;
    if (drive.empty()) return 0;
    if (!handle.Open(drive)) return -1;
    return ReadCapacityBlockLength(handle);
}

}  // namespace GT
