// Disc records in the xmcd text format, and how a table of contents is matched against them. Where the
// records come from (files named by disc id, the index of the catalogue) is in Index.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sdk_manager/tmsdk_sdkmanager.h"

namespace tmsdk {

constexpr uint32_t kFramesPerSecond = 75;
constexpr uint32_t kMaxTracks = 99;
// Bounds no disc reaches (a day of audio), so that every frame number and sum stays within 32 bits.
constexpr uint32_t kMaxSeconds = 24 * 3600;
constexpr uint32_t kMaxFrame = kMaxSeconds * kFramesPerSecond;

struct Disc {
    std::vector<uint32_t> offsets;   // start frame of each track
    uint32_t lengthSeconds = 0;      // "# Disc length:", the lead-out in whole seconds
    std::string id;                  // the first DISCID, 8 lower-case hexadecimal digits
    std::string tag;                 // where the record stands in the catalogue (see README.md)
    uint32_t position = 0;           // among its file's records, from 1
    uint64_t device = 0, inode = 0;  // the file it was read from, when known: one file may have several names
    // Empty when the record has none: an absent title stays absent, it is never handed out as "".
    std::string artist, title, year, genre;
    std::vector<std::string> trackTitles;   // one per track
    std::vector<std::string> trackArtists;  // one per track, empty unless the disc is a compilation
};

struct ReadReport {
    uint32_t skipped = 0;              // records that could not be read
    std::vector<std::string> reasons;  // one line each, for the log
};

// The disc records of one file's bytes; `name` is the file's path within the catalogue. Records that cannot
// be read are counted and left out; nothing in the bytes can make this fail otherwise.
void ReadXmcd(const std::string& bytes, const std::string& name, std::vector<Disc>& discs, ReadReport& report);

// The disc id that xmcd derives from a table of contents: the digit sums of the track starts in seconds
// modulo 255, the disc's length in seconds after the first track, and the track count.
std::string DiscIdOf(const std::vector<uint32_t>& offsets, uint32_t lengthSeconds);

// A record's tag: the file's name, followed by "#" and the record's position when the file holds several.
std::string RecordTag(const std::string& name, uint32_t position, uint32_t count);

// What the index keeps of a readable record: its position among the file's records (from 1), the byte where
// it starts, its track count and its disc length.
struct RecordSummary {
    uint32_t position, start, tracks, lengthSeconds;
};
// The readable records of one file's bytes as ReadXmcd reads them; `count` is how many records the file
// holds, readable or not (what tags are made from). `pulse`, when given, is called between records: a large
// file takes long to read.
void SummariseXmcd(const std::string& bytes, const std::string& name, std::vector<RecordSummary>& records,
                   uint32_t& count, ReadReport& report, const std::function<void()>& pulse = nullptr);
// The record at `position` (from 1) of a file's bytes, tagged from the file's `name`, when it can be read and
// starts at `start` (any start: kAnyStart).
constexpr uint32_t kAnyStart = 0xFFFFFFFFu;
bool ReadXmcdRecord(const std::string& bytes, const std::string& name, uint32_t position, uint32_t start, Disc& disc);
// The records at (position, start) of `wanted` from one file's bytes, read at once: each that can be read is
// added to `discs`; false when one cannot.
bool ReadXmcdRecords(const std::string& bytes, const std::string& name,
                     const std::vector<std::pair<uint32_t, uint32_t>>& wanted, std::vector<Disc>& discs);

// Discs to compare, in catalogue order.
struct Catalogue {
    std::vector<Disc> discs;
    std::unordered_map<size_t, std::vector<uint32_t>> byTrackCount;  // disc indexes in catalogue order
    std::unordered_map<std::string, std::vector<uint32_t>> byId;
    void Index();
};

enum class MatchKind { kNone, kSingle, kMultipleExact, kFuzzy };

struct Matches {
    MatchKind kind = MatchKind::kNone;
    std::vector<uint32_t> discs;
    uint32_t compared = 0;
};

// A table of contents as a lookup gives it: decimal frame numbers separated by spaces, the track starts and
// then the lead-out; at least two, strictly increasing, at most 100. False for anything else.
bool ParseToc(const char* text, std::vector<uint32_t>& trackOffsets, uint32_t& leadOut);

// Exact: every track offset equal and the lead-out within the record's one-second resolution. Fuzzy: every
// track offset within 75 frames and the lead-out within a second beyond that resolution.
Matches MatchToc(const Catalogue& catalogue, const std::vector<uint32_t>& trackOffsets, uint32_t leadOut);
// The disc of this identifier and tag, if the catalogue holds it.
const Disc* FindAlbum(const Catalogue& catalogue, const std::string& id, const std::string& tag);

}  // namespace tmsdk
