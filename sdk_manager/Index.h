// Where a lookup finds its records without reading the whole catalogue: the files named by a disc id, and
// an index of every record (track count and disc length, file and position) kept in the per-user cache
// folder, checked against the catalogue's folders and brought up to date where they changed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sdk_manager/Catalogue.h"

namespace tmsdk {

constexpr uint64_t kMaxFileBytes = 64 << 20;  // one file of the catalogue
constexpr int kMaxDepth = 8;                  // folders below the catalogue folder

// What says that a file or folder changed; compared for equality only, never with the clock (times may lie
// ahead of it).
struct Stamp {
    uint64_t size = 0, device = 0, inode = 0;
    int64_t modified = 0, changed = 0;  // nanoseconds
    bool operator==(const Stamp& o) const {
        return size == o.size && device == o.device && inode == o.inode && modified == o.modified
               && changed == o.changed;
    }
    bool operator!=(const Stamp& o) const { return !(*this == o); }
};

// The catalogue a lookup answers from: a folder of record files, or one file.
struct Place {
    std::string path;     // as named
    std::string real;     // the path with every link resolved, what the index is kept for
    bool folder = false;  // else one file, whose name starts its records' tags
    std::string name;
};

// TMSDK_CATALOGUE, else the stand-in's folder in the per-user data folder; empty when neither can be named.
std::string CataloguePath();
// TMSDK_STATUS_SERVICE_UNREACHABLE (detail: errno) when the catalogue is not there, or is a folder that
// cannot be read.
tmsdk_status_t OpenPlace(Place& place, uint32_t& detail);
// The index's file: the stand-in's folder in $XDG_CACHE_HOME (else ~/.cache), one file per catalogue.
std::string IndexPath(const Place& place);

// The readable records of the files named by one of `ids`, in the catalogue folder and in each folder right
// below it (the layout CD databases publish: a folder per category, a file per disc id). `subfolders`, when
// known (from a current index), names the folders below it; else the catalogue folder is listed.
std::vector<Disc> DiscsNamed(const Place& place, const std::vector<std::string>& ids,
                             const std::vector<std::string>* subfolders = nullptr);

// A record as the index knows it.
struct IndexedRecord {
    std::string file;  // its file's path below the catalogue folder, or the catalogue file's name
    Stamp stamp;       // the file's, when it was read
    uint32_t position = 0, start = 0, tracks = 0, lengthSeconds = 0;
};

struct IndexReport {
    uint32_t records = 0, skipped = 0;  // readable records; records and files left out
    uint32_t filesRead = 0;             // files this call read
    bool present = false;               // an index was there and could be used, or was built now
    bool written = false;               // the index file was written by this call
    bool subfoldersKnown = false;       // the catalogue folder's subfolders, as a current index lists them
    std::vector<std::string> subfolders;
};

class FileComparer;

// Called while files are read with (files read, files found so far); true asks to stop.
using CatalogueProgress = std::function<bool(uint32_t read, uint32_t found)>;
// Which records to hand back, by track count and disc length in seconds.
using RecordFilter = std::function<bool(uint32_t tracks, uint32_t lengthSeconds)>;

struct IndexRequest {
    enum class Use {
        kAsItIs,          // use an index that is there and current; build and update nothing
        kIfPresent,       // use and update an index that is there; without one, hand back nothing
        kBuild,           // build it when missing or damaged
        kCheckEveryFile,  // compare every file's size and times too, not only the folders'
    } use = Use::kBuild;
    // Compare every file's identity, size and times with the index's too, not only the folders' (a file written
    // over in place leaves its folder as it was); the index is written again only when one differs.
    bool compareFiles = false;
    RecordFilter want;
    std::vector<std::string> recheck;  // files (as IndexedRecord::file) to compare although their folder did not change
    CatalogueProgress progress;
    // How long another process's build of the index may show no progress (its temporary not growing) before
    // this call stops waiting for it and builds for itself.
    std::chrono::milliseconds stall = std::chrono::seconds(5);
    // Compares files on threads started once for as long as it lives: one for every call of a lookup. Each
    // call makes one for itself without it.
    std::shared_ptr<FileComparer> comparer;
};

// Brings the index up to date (reading only the files that changed) and hands back the records `want`
// accepts. An index that is damaged, or made for another catalogue, is built again, never trusted. When the
// cache folder cannot hold the index, every file is read and the records are still handed back. One build of
// a catalogue's index at a time: a call that finds another process building it waits for it (reporting
// progress) while that build moves, and takes what it wrote; it builds for itself when that build stalls, or
// is one of this process. TMSDK_STATUS_ABORTED when progress asked to stop.
tmsdk_status_t ReadIndex(const Place& place, const IndexRequest& request, std::vector<IndexedRecord>& records,
                         IndexReport& report);

// The records of one file (`count` from `first`, as the index lists them) as the file holds them now, the
// file read once; false when it changed since it was indexed (what could still be read is added to `discs`).
bool ReadIndexedRecords(const Place& place, const IndexedRecord* first, size_t count, std::vector<Disc>& discs);
// The record a tag names (see README.md), when it has this id (case ignored).
bool ReadTaggedRecord(const Place& place, const std::string& id, const std::string& tag, Disc& disc);

// Catalogue order, the order the catalogue is walked in: a folder's files by name, then its folders by
// name, each with what it holds; a file's records by position.
bool TagBefore(const std::string& a, const std::string& b);

}  // namespace tmsdk
