// An emulated MMC CD drive that answers READ TOC (formats 0 and 2), READ CD and
// READ CAPACITY from a disc image made by the test, records every command block,
// and can fail a chosen command, lose its disc or answer short.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/ScsiTransport.h"

namespace gbxtest {

struct EmulatedTrack {
    int number;       // 1..99
    int session;      // 1..
    uint8_t control;  // CONTROL nibble: 4 = data track, 0 = audio
    int startLba;
};

struct EmulatedDisc {
    std::vector<EmulatedTrack> tracks;   // in order
    std::vector<int> sessionLeadOutLba;  // index 0 is session 1
    bool sessionPoints = true;           // full TOC holds A0/A1/A2 points

    // A one-session audio disc; tracks start at the given LBAs.
    static EmulatedDisc Audio(const std::vector<int>& startLbas, int leadOutLba);
    int LastLba() const;
};

// Each 32-bit little-endian word i of the sector at LBA s holds s * 588 + i.
uint32_t SectorWord(int lba, int word);

class EmulatedCdDrive {
public:
    enum class Failure { None, NotDelivered, BadStatus, Short };

    explicit EmulatedCdDrive(EmulatedDisc disc) : m_disc(std::move(disc)) {}

    platform::ScsiResult Answer(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length);

    // Fails the command with this operation code, after letting `skip` of them pass.
    void FailCommand(uint8_t opcode, Failure how, int skip = 0) {
        m_failOpcode = opcode;
        m_failure = how;
        m_failSkip = skip;
    }
    void LoseDisc() { m_discLost = true; }

    const std::vector<std::vector<uint8_t>>& Commands() const { return m_commands; }
    int Opens() const { return m_opens; }
    void CountOpen() { ++m_opens; }

private:
    size_t AnswerToc(const uint8_t* cdb, std::vector<uint8_t>& out) const;
    size_t AnswerFullToc(std::vector<uint8_t>& out) const;

    EmulatedDisc m_disc;
    std::vector<std::vector<uint8_t>> m_commands;
    uint8_t m_failOpcode = 0;
    Failure m_failure = Failure::None;
    int m_failSkip = 0;
    bool m_discLost = false;
    int m_opens = 0;
};

// While alive, opening `device` gives the emulated drive; any other device fails to open.
class EmulatedDriveInstaller {
public:
    EmulatedDriveInstaller(std::string device, std::shared_ptr<EmulatedCdDrive> drive);
    ~EmulatedDriveInstaller();
    EmulatedDriveInstaller(const EmulatedDriveInstaller&) = delete;
    EmulatedDriveInstaller& operator=(const EmulatedDriveInstaller&) = delete;
};

}  // namespace gbxtest
