// Disc records in the xmcd text format, written by the tests (and the benchmarks) for a disc catalogue.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace gbxtest {

struct XmcdDisc {
    std::vector<uint32_t> offsets;  // start frame of each track
    uint32_t lengthSeconds = 0;
    std::string discId;  // empty: no DISCID line
    std::string dtitle;  // "artist / title"
    std::string year, genre;
    std::vector<std::string> tracks;
};

inline std::string XmcdRecord(const XmcdDisc& disc) {
    std::string text = "# xmcd\n#\n# Track frame offsets:\n";
    for (uint32_t offset : disc.offsets) text += "#\t" + std::to_string(offset) + "\n";
    text += "#\n# Disc length: " + std::to_string(disc.lengthSeconds) + " seconds\n#\n# Revision: 0\n#\n";
    if (!disc.discId.empty()) text += "DISCID=" + disc.discId + "\n";
    text += "DTITLE=" + disc.dtitle + "\n";
    text += "DYEAR=" + disc.year + "\n";
    text += "DGENRE=" + disc.genre + "\n";
    for (size_t i = 0; i < disc.tracks.size(); ++i) text += "TTITLE" + std::to_string(i) + "=" + disc.tracks[i] + "\n";
    text += "EXTD=\n";
    for (size_t i = 0; i < disc.tracks.size(); ++i) text += "EXTT" + std::to_string(i) + "=\n";
    text += "PLAYORDER=\n";
    return text;
}

// A disc of `tracks` tracks of `seconds` seconds each, the first starting at frame 150.
inline XmcdDisc EvenDisc(const std::string& discId, const std::string& dtitle, uint32_t tracks, uint32_t seconds) {
    XmcdDisc disc;
    disc.discId = discId;
    disc.dtitle = dtitle;
    for (uint32_t i = 0; i < tracks; ++i) {
        disc.offsets.push_back(150 + i * seconds * 75);
        disc.tracks.push_back("Track " + std::to_string(i + 1));
    }
    disc.lengthSeconds = (150 + tracks * seconds * 75) / 75;
    return disc;
}

// Discs that lookup tests share: A with a year and a genre; B and C with one table of contents between them.
inline XmcdDisc DiscA() {
    XmcdDisc disc = EvenDisc("a0000001", "Artist A / Album A", 3, 200);
    disc.year = "1999";
    disc.genre = "Heavy Metal";
    return disc;
}
inline XmcdDisc DiscB() { return EvenDisc("b0000002", "Artist B / Album B", 4, 180); }
inline XmcdDisc DiscC() {
    XmcdDisc disc = EvenDisc("c0000003", "Artist C / Album C", 4, 180);
    disc.tracks = {"C1", "C2", "C3", "C4"};
    return disc;
}

// The table of contents the editor sends for a disc: each track's start, then the lead-out, each followed
// by one space.
inline std::string TocText(const XmcdDisc& disc, uint32_t leadOut) {
    std::string text;
    for (uint32_t offset : disc.offsets) text += std::to_string(offset) + " ";
    return text + std::to_string(leadOut) + " ";
}

// The id xmcd files are named by, written the way the format's documentation gives it: the sum of the
// decimal digits of every track's start in seconds, modulo 255; the seconds from the first track to the
// lead-out; the track count.
inline std::string XmcdDiscId(const std::vector<uint32_t>& offsets, uint32_t leadOutSeconds) {
    unsigned sum = 0;
    for (uint32_t offset : offsets)
        for (const char digit : std::to_string(offset / 75)) sum += static_cast<unsigned>(digit - '0');
    const unsigned length = leadOutSeconds - offsets.front() / 75;
    char id[9];
    std::snprintf(id, sizeof id, "%02x%04x%02x", sum % 255, length & 0xFFFF, static_cast<unsigned>(offsets.size()));
    return id;
}
inline std::string XmcdDiscId(const XmcdDisc& disc) { return XmcdDiscId(disc.offsets, disc.lengthSeconds); }

// Moves the times of a folder and of everything below it by `seconds` from now: back, as a catalogue unpacked
// long before, or ahead, as one from a machine whose clock runs fast.
inline void SetTreeTimes(const std::string& path, long seconds) {
    namespace fs = std::filesystem;
    const struct timespec when[2] = {{time(nullptr) + seconds, 0}, {time(nullptr) + seconds, 0}};
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(path)) paths.push_back(entry.path().string());
    paths.push_back(path);
    for (const std::string& p : paths) utimensat(AT_FDCWD, p.c_str(), when, AT_SYMLINK_NOFOLLOW);
}

// The times of a catalogue unpacked an hour ago.
inline void AgeTree(const std::string& path) { SetTreeTimes(path, -3600); }

}  // namespace gbxtest
