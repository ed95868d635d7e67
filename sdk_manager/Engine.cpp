// What answers a lookup's requests: the disc catalogue, or a scripted backend that a test installed.
// Without a catalogue a lookup fails as an unreachable service does.
#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <tuple>

#include "sdk_manager/Catalogue.h"
#include "sdk_manager/Index.h"
#include "sdk_manager/IndexCheck.h"
#include "sdk_manager/Lookup.h"
#include "sdk_manager/tmsdk_sdkmanager_test.h"

namespace tmsdk {

namespace {

std::mutex g_backendLock;
tmsdk_sdkmanager_test_backend_fn g_backend = nullptr;
void* g_backendContext = nullptr;

std::mutex g_reportLock;
uint32_t g_reportDiscs = 0, g_reportSkipped = 0;

// A response of the manager's own: its code and its albums (the key is there even with none).
Gdo* NewResponse(const char* code) {
    GdoRef response(NewGdo(TMSDK_CTX_RESPONSE_ALBUM));
    AddValue(response.object, TMSDK_VAL_RESPONSE_CODE, code);
    AddChild(response.object, TMSDK_KEY_ALBUMS, nullptr);
    return response.Release();
}

// An album: its identifier and names, and with `full` its tracks.
Gdo* NewAlbum(const Disc& disc, bool full) {
    GdoRef album(NewGdo(TMSDK_CTX_ALBUM));
    AddValue(album.object, TMSDK_VAL_TUI_TYPE, TMSDK_TUI_TYPE_ALBUM);
    AddValue(album.object, TMSDK_VAL_TUI_ID, disc.id);
    AddValue(album.object, TMSDK_VAL_TUI_TAG, disc.tag);
    // A name the record does not give is absent, not empty, so that the caller keeps its own.
    if (!disc.artist.empty()) AddValue(album.object, TMSDK_VAL_ARTIST, disc.artist);
    if (!disc.title.empty()) AddValue(album.object, TMSDK_VAL_TITLE, disc.title);
    if (!disc.year.empty()) AddValue(album.object, TMSDK_VAL_DATE, disc.year);
    if (!disc.genre.empty()) AddValue(album.object, TMSDK_VAL_GENRE, disc.genre);
    if (!full) return album.Release();
    AddChild(album.object, TMSDK_KEY_TRACKS, nullptr);
    for (size_t i = 0; i < disc.offsets.size(); ++i) {
        GdoRef track(NewGdo(TMSDK_CTX_TRACK));
        AddValue(track.object, TMSDK_VAL_TRACKNUMBER, std::to_string(i + 1));
        if (!disc.trackTitles[i].empty()) AddValue(track.object, TMSDK_VAL_TITLE, disc.trackTitles[i]);
        if (!disc.trackArtists[i].empty()) AddValue(track.object, TMSDK_VAL_ARTIST, disc.trackArtists[i]);
        AddChild(album.object, TMSDK_KEY_TRACKS, track.Release());
    }
    return album.Release();
}

const char* ResponseCode(MatchKind kind) {
    switch (kind) {
        case MatchKind::kSingle:
            return TMSDK_RESULT_SINGLE_MATCH;
        case MatchKind::kMultipleExact:
            return TMSDK_RESULT_MULTIEXACT_MATCHES;
        case MatchKind::kFuzzy:
            return TMSDK_RESULT_FUZZY_MATCHES;
        case MatchKind::kNone:
            break;
    }
    return TMSDK_RESULT_NO_MATCHES;
}

void Report(const IndexReport& report) {
    std::lock_guard<std::mutex> lock(g_reportLock);
    g_reportDiscs = report.records;
    g_reportSkipped = report.skipped;
}

// A second either side of the disc length's one-second resolution: what a fuzzy match allows.
bool NearLength(uint32_t leadOut, uint32_t lengthSeconds) {
    const uint64_t recorded = uint64_t{lengthSeconds} * kFramesPerSecond;
    const uint64_t gap = leadOut > recorded ? leadOut - recorded : recorded - leadOut;
    return gap < 2 * kFramesPerSecond;
}

// The discs a table of contents can match, in catalogue order: those in files named by its disc id, and
// those the index finds of its track count and about its length. An exact match found by name is answered
// without building an index that is not there yet; before anything else is answered (fuzzy, or no match),
// every file the index lists is compared with it, since a file written over in place leaves its folder as it
// was.
tmsdk_status_t Candidates(Lookup& lookup, const Place& place, const std::vector<uint32_t>& offsets, uint32_t leadOut,
                          Catalogue& catalogue, uint32_t& total) {
    IndexRequest request;
    request.comparer = std::make_shared<FileComparer>();  // its threads started once for the lookup
    const size_t tracks = offsets.size();
    request.want = [tracks, leadOut](uint32_t t, uint32_t length) {
        return t == tracks && NearLength(leadOut, length);
    };
    bool opened = false;
    request.progress = [&lookup, &opened](uint32_t read, uint32_t found) {
        if (!opened && SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_CATALOGUE_OPENING)) return true;
        opened = true;
        return SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_CATALOGUE_READING, read, found);
    };
    // The index as it is: a current one also names the catalogue folder's subfolders, so that it need not be
    // listed (it may hold every record itself).
    request.use = IndexRequest::Use::kAsItIs;
    std::vector<IndexedRecord> records;
    IndexReport report;
    if (tmsdk_status_t status = ReadIndex(place, request, records, report)) return status;

    // The record's length is the lead-out in whole seconds; a lead-out within a second below it reads one less.
    const uint32_t seconds = leadOut / kFramesPerSecond;
    catalogue.discs = DiscsNamed(place, {DiscIdOf(offsets, seconds), DiscIdOf(offsets, seconds + 1)},
                                 report.subfoldersKnown ? &report.subfolders : nullptr);
    catalogue.Index();
    const MatchKind byName = MatchToc(catalogue, offsets, leadOut).kind;
    total = static_cast<uint32_t>(catalogue.discs.size());

    const bool exact = byName == MatchKind::kSingle || byName == MatchKind::kMultipleExact;
    request.use = exact ? IndexRequest::Use::kIfPresent : IndexRequest::Use::kBuild;
    request.compareFiles = !exact;
    // A file that changed since it was indexed (written over in place) is read again and the index mended.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0 || !exact || !report.present)
            if (tmsdk_status_t status = ReadIndex(place, request, records, report)) return status;
        request.recheck.clear();
        std::vector<Disc> found;
        // A file's records come together: each file is read once, however many of them it holds.
        for (size_t i = 0, next = 0; i < records.size(); i = next) {
            while (next < records.size() && records[next].file == records[i].file) ++next;
            if (!ReadIndexedRecords(place, &records[i], next - i, found)) request.recheck.push_back(records[i].file);
        }
        if (!request.recheck.empty() && attempt == 0) continue;
        for (Disc& disc : found) catalogue.discs.push_back(std::move(disc));
        break;
    }
    if (report.present) {
        Report(report);
        total = report.records;
        if (report.records == 0 && report.skipped > 0 && catalogue.discs.empty())
            return Fail(lookup, TMSDK_STATUS_CATALOGUE_UNREADABLE, 0, report.skipped);
    }
    // Catalogue order, each record once: a file named by its disc id is also in the index, and a file with
    // several names counts under its first.
    std::stable_sort(catalogue.discs.begin(), catalogue.discs.end(),
                     [](const Disc& a, const Disc& b) { return TagBefore(a.tag, b.tag); });
    std::set<std::tuple<uint64_t, uint64_t, uint32_t>> files;
    std::set<std::string> tags;
    catalogue.discs.erase(
        std::remove_if(catalogue.discs.begin(), catalogue.discs.end(),
                       [&](const Disc& d) {
                           return !tags.insert(d.tag).second || !files.insert({d.device, d.inode, d.position}).second;
                       }),
        catalogue.discs.end());
    catalogue.Index();
    return 0;
}

tmsdk_status_t AnswerFromCatalogue(Lookup& lookup, std::vector<GdoRef>& responses) {
    if (SendStatus(lookup, 8, TMSDK_LOOKUP_STATUS_STARTED)) return TMSDK_STATUS_ABORTED;
    Place place;
    uint32_t detail = 0;
    if (tmsdk_status_t status = OpenPlace(place, detail)) {
        if (SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_CATALOGUE_OPENING)) return TMSDK_STATUS_ABORTED;
        return Fail(lookup, status, 0, detail);
    }
    const uint32_t count = static_cast<uint32_t>(lookup.requests.size());
    for (uint32_t i = 0; i < count; ++i) {
        const Request& request = lookup.requests[i];
        if (SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_REQUEST_SENT, i + 1, count)) return TMSDK_STATUS_ABORTED;
        if (request.type == TMSDK_LOOKUP_TYPE_ALBUM_TOC) {
            std::vector<uint32_t> offsets;
            uint32_t leadOut = 0;
            if (!ParseToc(request.Data(TMSDK_LOOKUP_DATA_TOC), offsets, leadOut))
                return Fail(lookup, TMSDK_STATUS_INVALID_ARGUMENT, i + 1, 0);
            Catalogue catalogue;
            uint32_t total = 0;
            if (tmsdk_status_t status = Candidates(lookup, place, offsets, leadOut, catalogue, total)) {
                if (status == TMSDK_STATUS_ABORTED || lookup.aborted) return TMSDK_STATUS_ABORTED;
                return status == TMSDK_STATUS_CATALOGUE_UNREADABLE ? status : Fail(lookup, status, i + 1, 0);
            }
            const Matches matches = MatchToc(catalogue, offsets, leadOut);
            if (SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_MATCHING, matches.compared,
                           std::max(total, matches.compared)))
                return TMSDK_STATUS_ABORTED;
            // One disc comes in full; several come as short albums that a resolve completes.
            responses[i].object = NewResponse(ResponseCode(matches.kind));
            for (uint32_t disc : matches.discs)
                AddChild(responses[i].object, TMSDK_KEY_ALBUMS,
                         NewAlbum(catalogue.discs[disc], matches.kind == MatchKind::kSingle));
        } else if (request.type == TMSDK_LOOKUP_TYPE_ALBUM_TUI) {
            Disc disc;
            const bool found = ReadTaggedRecord(place, request.Data(TMSDK_LOOKUP_DATA_TUI),
                                                request.Data(TMSDK_LOOKUP_DATA_TUI_TAG), disc);
            responses[i].object = NewResponse(found ? TMSDK_RESULT_SINGLE_MATCH : TMSDK_RESULT_NO_MATCHES);
            if (found) AddChild(responses[i].object, TMSDK_KEY_ALBUMS, NewAlbum(disc, true));
        } else {
            // xmcd records hold neither links nor extra data: the chained requests find nothing.
            responses[i].object = NewResponse(TMSDK_RESULT_NO_MATCHES);
        }
        if (SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_ANSWER_RECEIVED, i + 1, count)) return TMSDK_STATUS_ABORTED;
    }
    if (SendStatus(lookup, 16, TMSDK_LOOKUP_STATUS_ANSWER_READY, count, count)) return TMSDK_STATUS_ABORTED;
    if (SendStatus(lookup, 8, TMSDK_LOOKUP_STATUS_FINISHED)) return TMSDK_STATUS_ABORTED;
    return 0;
}

tmsdk_status_t AnswerScripted(Lookup& lookup, tmsdk_sdkmanager_test_backend_fn backend, void* context,
                              std::vector<GdoRef>& responses) {
    const uint32_t count = static_cast<uint32_t>(lookup.requests.size());
    for (uint32_t i = 0; i < count; ++i) {
        const Request& request = lookup.requests[i];
        std::vector<const char*> keys, values;
        for (const auto& entry : request.data) {
            keys.push_back(entry.first.c_str());
            values.push_back(entry.second.c_str());
        }
        const tmsdk_sdkmanager_test_request_t seen = {
            request.id.c_str(), request.type.c_str(), request.service.c_str(), static_cast<uint32_t>(keys.size()),
            keys.data(),        values.data()};
        tmsdk_gdo_t response = nullptr;
        const tmsdk_status_t status =
            backend(context, reinterpret_cast<tmsdk_lookup_t>(&lookup), i + 1, count, &seen, &response);
        if (response && IsGdo(response)) responses[i].object = reinterpret_cast<Gdo*>(response);
        if (status != 0) return status;
        if (lookup.aborted) return TMSDK_STATUS_ABORTED;
        if (!responses[i].object) return TMSDK_STATUS_INVALID_ARGUMENT;
    }
    return 0;
}

}  // namespace

tmsdk_status_t Answer(Lookup& lookup, std::vector<GdoRef>& responses) {
    tmsdk_sdkmanager_test_backend_fn backend;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_backendLock);
        backend = g_backend;
        context = g_backendContext;
    }
    if (backend) return AnswerScripted(lookup, backend, context, responses);
    return AnswerFromCatalogue(lookup, responses);
}

}  // namespace tmsdk

using namespace tmsdk;

extern "C" {

void tmsdk_sdkmanager_test_backend_set(tmsdk_sdkmanager_test_backend_fn backend, void* context) {
    std::lock_guard<std::mutex> lock(g_backendLock);
    g_backend = backend;
    g_backendContext = context;
}

tmsdk_status_t tmsdk_sdkmanager_test_status(tmsdk_lookup_t handle, uint32_t size, uint32_t id, uint32_t value0,
                                            uint32_t value1, uint32_t value2) {
    if (!handle || size < 8 || size > 20) return TMSDK_STATUS_INVALID_ARGUMENT;
    std::shared_ptr<Lookup> lookup = FindLookup(handle);
    if (!lookup) return TMSDK_STATUS_UNKNOWN_HANDLE;
    if (lookup->phase != Lookup::Phase::kExecuting) return TMSDK_STATUS_BAD_STATE;
    return SendStatus(*lookup, size, id, value0, value1, value2) ? TMSDK_STATUS_ABORTED : 0;
}

tmsdk_status_t tmsdk_sdkmanager_test_catalogue_report(uint32_t* discs, uint32_t* skipped) {
    if (!discs || !skipped) return TMSDK_STATUS_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> lock(g_reportLock);
    *discs = g_reportDiscs;
    *skipped = g_reportSkipped;
    return 0;
}

}  // extern "C"
