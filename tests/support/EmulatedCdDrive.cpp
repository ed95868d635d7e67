#include "tests/support/EmulatedCdDrive.h"

#include <algorithm>
#include <cstring>

namespace gbxtest {

namespace {

constexpr size_t kSector = 2352;

void PutMsf(std::vector<uint8_t>& out, int lba) {
    const int f = lba + 150;
    out.push_back(static_cast<uint8_t>(f / 4500));
    out.push_back(static_cast<uint8_t>((f / 75) % 60));
    out.push_back(static_cast<uint8_t>(f % 75));
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

class Transport : public platform::ScsiTransport {
public:
    explicit Transport(std::shared_ptr<EmulatedCdDrive> drive) : m_drive(std::move(drive)) {}
    platform::ScsiResult Read(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length) override {
        return m_drive->Answer(cdb, cdbLength, data, length);
    }

private:
    std::shared_ptr<EmulatedCdDrive> m_drive;
};

}  // namespace

EmulatedDisc EmulatedDisc::Audio(const std::vector<int>& startLbas, int leadOutLba) {
    EmulatedDisc disc;
    for (size_t i = 0; i < startLbas.size(); ++i) disc.tracks.push_back({static_cast<int>(i) + 1, 1, 0, startLbas[i]});
    disc.sessionLeadOutLba.push_back(leadOutLba);
    return disc;
}

int EmulatedDisc::LastLba() const { return sessionLeadOutLba.empty() ? -1 : sessionLeadOutLba.back() - 1; }

uint32_t SectorWord(int lba, int word) { return static_cast<uint32_t>(lba) * 588u + static_cast<uint32_t>(word); }

size_t EmulatedCdDrive::AnswerToc(const uint8_t* cdb, std::vector<uint8_t>& out) const {
    const bool msf = cdb[1] & 0x02;
    const int startTrack = cdb[6];
    std::vector<uint8_t> body;
    auto descriptor = [&](uint8_t control, int number, int lba) {
        body.push_back(0);
        body.push_back(static_cast<uint8_t>(0x10 | control));
        body.push_back(static_cast<uint8_t>(number));
        body.push_back(0);
        if (msf) {
            body.push_back(0);
            PutMsf(body, lba);
        } else {
            PutBe32(body, static_cast<uint32_t>(lba));
        }
    };
    for (const auto& t : m_disc.tracks)
        if (t.number >= startTrack) descriptor(t.control, t.number, t.startLba);
    descriptor(0x04, 0xAA, m_disc.sessionLeadOutLba.empty() ? 0 : m_disc.sessionLeadOutLba.back());
    const size_t dataLength = body.size() + 2;
    out = {static_cast<uint8_t>(dataLength >> 8), static_cast<uint8_t>(dataLength),
           static_cast<uint8_t>(m_disc.tracks.empty() ? 0 : m_disc.tracks.front().number),
           static_cast<uint8_t>(m_disc.tracks.empty() ? 0 : m_disc.tracks.back().number)};
    out.insert(out.end(), body.begin(), body.end());
    return out.size();
}

size_t EmulatedCdDrive::AnswerFullToc(std::vector<uint8_t>& out) const {
    std::vector<uint8_t> body;
    auto descriptor = [&](int session, uint8_t adrControl, uint8_t point, int pmin, int psec, int pframe) {
        body.insert(body.end(), {static_cast<uint8_t>(session), adrControl, 0, point, 0, 0, 0, 0,
                                 static_cast<uint8_t>(pmin), static_cast<uint8_t>(psec), static_cast<uint8_t>(pframe)});
    };
    const int sessions = static_cast<int>(m_disc.sessionLeadOutLba.size());
    for (int s = 1; s <= sessions; ++s) {
        std::vector<EmulatedTrack> inSession;
        for (const auto& t : m_disc.tracks)
            if (t.session == s) inSession.push_back(t);
        if (inSession.empty()) continue;
        const uint8_t ctl = inSession.front().control;
        if (m_disc.sessionPoints) {
            descriptor(s, static_cast<uint8_t>(0x10 | ctl), 0xA0, inSession.front().number, 0, 0);
            descriptor(s, static_cast<uint8_t>(0x10 | ctl), 0xA1, inSession.back().number, 0, 0);
            std::vector<uint8_t> msf;
            PutMsf(msf, m_disc.sessionLeadOutLba[s - 1]);
            descriptor(s, static_cast<uint8_t>(0x10 | ctl), 0xA2, msf[0], msf[1], msf[2]);
        } else {
            // Points in another mode (ADR 5) that a reader must not take for session points.
            descriptor(s, 0x50, 0xA0, 99, 0, 0);
            descriptor(s, 0x50, 0xA2, 99, 59, 74);
        }
        for (const auto& t : inSession) {
            std::vector<uint8_t> msf;
            PutMsf(msf, t.startLba);
            descriptor(s, static_cast<uint8_t>(0x10 | t.control), static_cast<uint8_t>(t.number), msf[0], msf[1],
                       msf[2]);
        }
    }
    const size_t dataLength = body.size() + 2;
    out = {static_cast<uint8_t>(dataLength >> 8), static_cast<uint8_t>(dataLength), 1, static_cast<uint8_t>(sessions)};
    out.insert(out.end(), body.begin(), body.end());
    return out.size();
}

platform::ScsiResult EmulatedCdDrive::Answer(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length) {
    m_commands.emplace_back(cdb, cdb + cdbLength);
    platform::ScsiResult result;
    const uint8_t opcode = cdbLength ? cdb[0] : 0;
    Failure failure = Failure::None;
    if (m_failure != Failure::None && opcode == m_failOpcode) {
        if (m_failSkip > 0)
            --m_failSkip;
        else
            failure = m_failure;
    }
    if (failure == Failure::NotDelivered) return result;
    result.delivered = true;
    if (m_discLost || failure == Failure::BadStatus) return result;  // CHECK CONDITION, nothing moved

    std::vector<uint8_t> answer;
    bool good = true;
    switch (opcode) {
        case 0x43: {  // READ TOC/PMA/ATIP
            const int format = (cdb[9] >> 6) == 2 ? 2 : (cdb[2] & 0x0F);
            if (format == 0)
                AnswerToc(cdb, answer);
            else if (format == 2)
                AnswerFullToc(answer);
            else
                good = false;
            const size_t allocation = (static_cast<size_t>(cdb[7]) << 8) | cdb[8];
            if (answer.size() > allocation) answer.resize(allocation);
            break;
        }
        case 0xBE: {  // READ CD
            const int first = static_cast<int>((uint32_t(cdb[2]) << 24) | (uint32_t(cdb[3]) << 16)
                                               | (uint32_t(cdb[4]) << 8) | cdb[5]);
            const int count = static_cast<int>((uint32_t(cdb[6]) << 16) | (uint32_t(cdb[7]) << 8) | cdb[8]);
            if (first < 0 || first + count - 1 > m_disc.LastLba()) {
                good = false;
                break;
            }
            answer.resize(static_cast<size_t>(count) * kSector);
            for (int s = 0; s < count; ++s)
                for (int w = 0; w < 588; ++w) {
                    const uint32_t v = SectorWord(first + s, w);
                    std::memcpy(&answer[static_cast<size_t>(s) * kSector + static_cast<size_t>(w) * 4], &v, 4);
                }
            break;
        }
        case 0x25:  // READ CAPACITY
            PutBe32(answer, static_cast<uint32_t>(m_disc.LastLba()));
            PutBe32(answer, 2048);
            break;
        default:
            good = false;
    }
    if (!good) return result;
    size_t n = std::min(answer.size(), length);
    if (failure == Failure::Short) n /= 2;
    std::memcpy(data, answer.data(), n);
    result.good = true;
    result.transferred = n;
    return result;
}

EmulatedDriveInstaller::EmulatedDriveInstaller(std::string device, std::shared_ptr<EmulatedCdDrive> drive) {
    platform::SetScsiOpener([device, drive](const std::string& name) -> std::unique_ptr<platform::ScsiTransport> {
        if (name != device) return nullptr;
        drive->CountOpen();
        return std::make_unique<Transport>(drive);
    });
}

EmulatedDriveInstaller::~EmulatedDriveInstaller() { platform::SetScsiOpener(nullptr); }

}  // namespace gbxtest
