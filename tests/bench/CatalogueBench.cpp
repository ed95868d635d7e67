// A disc catalogue of 10,000 records, as a user's collection of xmcd files would be: reading it must stay
// under 1 s (the first lookup after the manager starts), and a lookup once it is read under 5 ms.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "sdk_manager/tmsdk_sdkmanager.h"
#include "tests/support/Xmcd.h"
#include "tunefind_cd/tmsdk_tunefind_cd.h"

namespace {

constexpr int kDiscs = 10000;

struct Catalogue {
    std::string dir;
    std::vector<std::string> tocs;  // the editor's text for every disc
    Catalogue() {
        char pattern[] = "/tmp/gbxbench-XXXXXX";
        dir = mkdtemp(pattern);
        const char* categories[] = {"blues", "classical", "country", "data",   "folk",
                                    "jazz",  "misc",      "newage",  "reggae", "rock"};
        for (const char* category : categories) mkdir((dir + "/" + category).c_str(), 0700);
        std::mt19937 random(1);
        for (int i = 0; i < kDiscs; ++i) {
            gbxtest::XmcdDisc disc;
            uint32_t frame = 150;
            const uint32_t tracks = 8 + random() % 13;
            for (uint32_t t = 0; t < tracks; ++t) {
                disc.offsets.push_back(frame);
                disc.tracks.push_back("Track title number " + std::to_string(t + 1));
                frame += 75 * (120 + random() % 300) + random() % 75;
            }
            disc.lengthSeconds = frame / 75;
            char id[9];
            std::snprintf(id, sizeof id, "%08x", static_cast<unsigned>(random()));
            disc.discId = id;
            disc.dtitle = "Artist " + std::to_string(i) + " / Album " + std::to_string(i);
            disc.year = std::to_string(1960 + i % 60);
            disc.genre = "Rock";
            FILE* file = std::fopen((dir + "/" + categories[i % 10] + "/" + id).c_str(), "wb");
            const std::string text = gbxtest::XmcdRecord(disc);
            if (file) {
                std::fwrite(text.data(), 1, text.size(), file);
                std::fclose(file);
            }
            tocs.push_back(gbxtest::TocText(disc, frame));
        }
        setenv("TMSDK_CATALOGUE", dir.c_str(), 1);
    }
    ~Catalogue() {
        if (std::system(("rm -rf " + dir).c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
};

Catalogue& Discs() {
    static Catalogue catalogue;
    return catalogue;
}

// A started manager and module with a client and a user.
struct Session {
    const tmsdk_sdkmanager_handle_t* handle = nullptr;
    tmsdk_client_t client = nullptr;
    tmsdk_user_t user = nullptr;
    Session() {
        tmsdk_sdkmanager_initialize(&handle);
        tmsdk_tunefindcd_initialize(handle);
        tmsdk_sdkmanager_client_create("4718263", "7C2E9A41D05B38F6A1C4E7092B5D8F30", "1", &client);
        tmsdk_sdkmanager_user_register_new(client, 0, &user);
    }
    ~Session() {
        tmsdk_sdkmanager_user_release(user);
        tmsdk_sdkmanager_client_release(client);
        tmsdk_tunefindcd_shutdown();
        tmsdk_sdkmanager_shutdown();
    }
    // The editor's lookup of one disc: query, table of contents, find, the album's first track, release.
    bool LookUp(const std::string& toc) {
        tmsdk_tunefindcd_query_t query = nullptr;
        uint32_t match = 0;
        tmsdk_gdo_t response = nullptr, album = nullptr, track = nullptr;
        const char* title = nullptr;
        bool found = tmsdk_tunefindcd_query_create(client, user, nullptr, nullptr, &query) == 0
                     && tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0) == 0
                     && tmsdk_tunefindcd_query_find_albums(query, &match, &response) == 0
                     && match == TMSDK_TUNEFINDCD_MATCH_SINGLE
                     && tmsdk_sdkmanager_gdo_child_get(response, TMSDK_KEY_ALBUMS, 1, &album) == 0
                     && tmsdk_sdkmanager_gdo_child_get(album, TMSDK_KEY_TRACKS, 1, &track) == 0
                     && tmsdk_sdkmanager_gdo_value_get(track, TMSDK_VAL_TITLE, 1, &title) == 0;
        benchmark::DoNotOptimize(title);
        tmsdk_sdkmanager_gdo_release(track);
        tmsdk_sdkmanager_gdo_release(album);
        tmsdk_sdkmanager_gdo_release(response);
        tmsdk_tunefindcd_query_release(query);
        return found;
    }
};

// Goal: under 1 s. A fresh start of the manager reads the catalogue on its first lookup.
void BM_CatalogueRead10000Discs(benchmark::State& state) {
    Catalogue& discs = Discs();
    for (auto _ : state) {
        Session session;
        if (!session.LookUp(discs.tocs[0])) state.SkipWithError("the first disc was not found");
    }
    state.counters["discs"] = kDiscs;
}

// Goal: under 5 ms, once the catalogue is read.
void BM_CatalogueLookupOnceRead(benchmark::State& state) {
    Catalogue& discs = Discs();
    Session session;
    session.LookUp(discs.tocs[0]);
    size_t next = 0;
    for (auto _ : state) {
        if (!session.LookUp(discs.tocs[next])) state.SkipWithError("a disc was not found");
        next = (next + 7919) % discs.tocs.size();
    }
}

}  // namespace

BENCHMARK(BM_CatalogueRead10000Discs)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CatalogueLookupOnceRead)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
