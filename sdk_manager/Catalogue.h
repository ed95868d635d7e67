// The disc catalogue a lookup answers from: disc records in the xmcd text format, from a folder or one file,
// read once per start of the manager, and matched by table of contents or by album identifier.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk_manager/tmsdk_sdkmanager.h"

namespace tmsdk {

constexpr uint32_t kFramesPerSecond = 75;
constexpr uint32_t kMaxTracks = 99;
// Bounds no disc reaches (a day of audio), so that every frame number and sum stays within 32 bits.
constexpr uint32_t kMaxSeconds = 24 * 3600;
constexpr uint32_t kMaxFrame = kMaxSeconds * kFramesPerSecond;

struct Disc {
    std::vector<uint32_t> offsets;  // start frame of each track
    uint32_t lengthSeconds = 0;     // "# Disc length:", the lead-out in whole seconds
    std::string id;                 // the first DISCID, 8 lower-case hexadecimal digits
    std::string tag;                // where the record stands in the catalogue (see README.md)
    std::string artist, title, year, genre;
    std::vector<std::string> trackTitles;   // one per track, empty when the record has none
    std::vector<std::string> trackArtists;  // one per track, empty unless the disc is a compilation
};

struct ReadReport {
    uint32_t skipped = 0;              // records that could not be read
    std::vector<std::string> reasons;  // one line each, for the log
};

// The disc records of one file's bytes; `name` is the file's path within the catalogue. Records that cannot
// be read are counted and left out; nothing in the bytes can make this fail otherwise.
void ReadXmcd(const std::string& bytes, const std::string& name, std::vector<Disc>& discs, ReadReport& report);

// The disc id that xmcd derives from a table of contents.
std::string DiscIdOf(const std::vector<uint32_t>& offsets, uint32_t lengthSeconds);

struct Catalogue {
    std::string path;
    std::vector<Disc> discs;
    uint32_t skipped = 0;
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

// TMSDK_CATALOGUE, else the stand-in's folder in the per-user data folder; empty when neither can be named.
std::string CataloguePath();

// Called while reading with (files read, files found); true asks to stop.
using CatalogueProgress = std::function<bool(uint32_t read, uint32_t found)>;

// Reads a catalogue: TMSDK_STATUS_SERVICE_UNREACHABLE when the path is not there or cannot be opened
// (detail: errno), TMSDK_STATUS_CATALOGUE_UNREADABLE when it holds files but no readable record (detail:
// the records and files skipped), TMSDK_STATUS_ABORTED when progress asked to stop.
tmsdk_status_t LoadCatalogue(const std::string& path, const CatalogueProgress& progress,
                             std::shared_ptr<const Catalogue>& catalogue, uint32_t& detail);

// The catalogue read for this path since the manager started, or null.
std::shared_ptr<const Catalogue> CachedCatalogue(const std::string& path);
void KeepCatalogue(std::shared_ptr<const Catalogue> catalogue);
void DropCatalogue();

}  // namespace tmsdk
