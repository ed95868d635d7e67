// Disc lookups against catalogues laid out as CD databases publish them: a folder per category, a file per
// disc named by its disc id. Every lookup runs as the editor makes it, in a fresh process (manager start,
// lookup, stop). Goals at 200,000 records: an exact match under 50 ms and a fuzzy one (which compares every
// file with the index first) under 1 s once the index exists, each in under 50 MB; the index built at under
// 50 us of CPU per record, its memory the same whatever the catalogue's size. The 10,000-record figures stand
// beside them.
//
// CATALOGUE_BENCH_DISCS chooses the sizes (comma-separated; default "10000,200000"): a small one such as
// "500" runs in seconds.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sdk_manager/tmsdk_sdkmanager.h"
#include "tests/support/Xmcd.h"
#include "tunefind_cd/tmsdk_tunefind_cd.h"

extern char** environ;

namespace {

const char* const kCategories[] = {"blues", "classical", "country", "data",   "folk",
                                   "jazz",  "misc",      "newage",  "reggae", "rock"};
constexpr int kLookups = 16;  // discs looked up per size

std::vector<int> Sizes() {
    const char* text = std::getenv("CATALOGUE_BENCH_DISCS");
    // The test suite's single run only checks that the bench still works.
    const char* fallback = std::getenv("GBX_BENCH_SMOKE") ? "500" : "10000,200000";
    std::vector<int> sizes;
    for (const char* p = text && *text ? text : fallback; *p;) {
        char* end = nullptr;
        const long n = std::strtol(p, &end, 10);
        if (end == p) break;
        if (n > 0) sizes.push_back(static_cast<int>(n));
        p = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

// One generated catalogue and the tables of contents the lookups ask for.
struct Catalogue {
    std::string dir, folder, cache;
    std::vector<std::string> exact, fuzzy;

    explicit Catalogue(int discs) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/gbx-catalogue-bench-XXXXXX";
        dir = mkdtemp(&pattern[0]);
        folder = dir + "/catalogue";
        cache = dir + "/cache";
        mkdir(folder.c_str(), 0700);
        // A catalogue unpacked long ago: its times an hour back.
        const struct timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        std::vector<std::thread> writers;
        std::vector<std::vector<gbxtest::XmcdDisc>> samples(10);
        for (int c = 0; c < 10; ++c) {
            mkdir((folder + "/" + kCategories[c]).c_str(), 0700);
            writers.emplace_back([this, c, discs, &old, &samples] {
                std::mt19937 random(static_cast<unsigned>(c + 1));
                std::set<std::string> ids;
                for (int i = c; i < discs; i += 10) {
                    gbxtest::XmcdDisc disc;
                    uint32_t frame = 150;
                    const uint32_t tracks = 6 + random() % 15;
                    for (uint32_t t = 0; t < tracks; ++t) {
                        disc.offsets.push_back(frame);
                        disc.tracks.push_back("Track title number " + std::to_string(t + 1));
                        frame += 75 * (90 + random() % 360) + random() % 75;
                    }
                    disc.lengthSeconds = frame / 75;
                    disc.discId = gbxtest::XmcdDiscId(disc);
                    disc.dtitle = "Artist " + std::to_string(i) + " / Album " + std::to_string(i);
                    disc.year = std::to_string(1960 + i % 60);
                    disc.genre = kCategories[c];
                    const std::string text = gbxtest::XmcdRecord(disc);
                    // Two discs of one id in one category share the file, as several records.
                    const std::string path = folder + "/" + kCategories[c] + "/" + disc.discId;
                    const bool again = !ids.insert(disc.discId).second;
                    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | (again ? O_APPEND : O_TRUNC), 0600);
                    if (fd < 0) continue;
                    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
                        std::fprintf(stderr, "short write: %s\n", path.c_str());
                    futimens(fd, old);
                    close(fd);
                    if (!again && samples[c].size() < kLookups / 10 + 1) samples[c].push_back(disc);
                }
                utimensat(AT_FDCWD, (folder + "/" + kCategories[c]).c_str(), old, 0);
            });
        }
        for (std::thread& w : writers) w.join();
        utimensat(AT_FDCWD, folder.c_str(), old, 0);
        for (const auto& category : samples)
            for (gbxtest::XmcdDisc disc : category) {
                exact.push_back(gbxtest::TocText(disc, disc.lengthSeconds * 75));
                disc.offsets[disc.offsets.size() / 2] += 20;  // a pressing a little apart: no exact match
                fuzzy.push_back(gbxtest::TocText(disc, disc.lengthSeconds * 75 + 30));
            }
    }
    ~Catalogue() {
        if (std::system(("rm -rf '" + dir + "'").c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    void RemoveIndex() const {
        if (std::system(("rm -rf '" + cache + "'").c_str()) != 0)
            std::fprintf(stderr, "could not empty %s\n", cache.c_str());
    }
};

Catalogue& CatalogueOf(int discs) {
    static std::map<int, std::unique_ptr<Catalogue>> catalogues;
    auto& made = catalogues[discs];
    if (!made) {
        catalogues.clear();  // one catalogue on disk at a time
        auto& again = catalogues[discs];
        again = std::make_unique<Catalogue>(discs);
        return *again;
    }
    return *made;
}

struct Child {
    bool ok = false;
    double seconds = 0, cpuSeconds = 0, maxRssMb = 0;
};

// This program again, as a fresh process that makes one lookup and says by its exit code whether it found
// the match it expected.
Child RunChild(const Catalogue& catalogue, const std::string& toc, uint32_t expected) {
    const std::string match = std::to_string(expected);
    char* argv[] = {const_cast<char*>("bench_catalogue"), const_cast<char*>("--lookup"), const_cast<char*>(toc.c_str()),
                    const_cast<char*>(match.c_str()), nullptr};
    setenv("TMSDK_CATALOGUE", catalogue.folder.c_str(), 1);
    setenv("XDG_CACHE_HOME", catalogue.cache.c_str(), 1);
    Child child;
    // The child writes its peak memory to this pipe: the rusage of a spawned child also counts the memory
    // its parent had before the exec.
    int out[2];
    if (pipe(out) != 0) return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    int status = 0;
    struct rusage usage;
    char text[64] = {};
    const ssize_t got = spawned == 0 ? read(out[0], text, sizeof text - 1) : -1;
    close(out[0]);
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid) return child;
    child.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    child.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got > 0;
    child.cpuSeconds =
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    child.maxRssMb = std::strtod(text, nullptr) / 1024.0;
    return child;
}

// The child: the editor's lookup of one disc.
int LookUp(const char* toc, uint32_t expected) {
    const tmsdk_sdkmanager_handle_t* handle = nullptr;
    tmsdk_client_t client = nullptr;
    tmsdk_user_t user = nullptr;
    tmsdk_tunefindcd_query_t query = nullptr;
    uint32_t match = 99;
    tmsdk_gdo_t response = nullptr;
    const bool found =
        tmsdk_sdkmanager_initialize(&handle) == 0 && tmsdk_tunefindcd_initialize(handle) == 0
        && tmsdk_sdkmanager_client_create("4718263", "7C2E9A41D05B38F6A1C4E7092B5D8F30", "1", &client) == 0
        && tmsdk_sdkmanager_user_register_new(client, 0, &user) == 0
        && tmsdk_tunefindcd_query_create(client, user, nullptr, nullptr, &query) == 0
        && tmsdk_tunefindcd_query_set_toc_string(query, toc, 0) == 0
        && tmsdk_tunefindcd_query_find_albums(query, &match, &response) == 0 && match == expected;
    tmsdk_sdkmanager_gdo_release(response);
    tmsdk_tunefindcd_query_release(query);
    tmsdk_sdkmanager_user_release(user);
    tmsdk_sdkmanager_client_release(client);
    tmsdk_tunefindcd_shutdown();
    tmsdk_sdkmanager_shutdown();
    // The process's peak memory, in kB, for the parent.
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "VmHWM:", 6) == 0) std::printf("%ld\n", std::strtol(line + 6, nullptr, 10));
        std::fclose(status);
    }
    return found ? 0 : 1;
}

void Record(benchmark::State& state, const Child& child) {
    if (!child.ok) state.SkipWithError("the lookup did not find what it should");
    state.SetIterationTime(child.seconds);
    state.counters["max_rss_MB"] = std::max(state.counters["max_rss_MB"].value, child.maxRssMb);
}

// Goal: under 50 us of CPU per record, memory the same at every size. The first lookup without an index
// (a fuzzy one: nothing is found by name) builds it.
void BM_IndexBuiltInAFreshProcess(benchmark::State& state) {
    const int discs = static_cast<int>(state.range(0));
    Catalogue& catalogue = CatalogueOf(discs);
    double cpu = 0;
    for (auto _ : state) {
        catalogue.RemoveIndex();
        const Child child = RunChild(catalogue, catalogue.fuzzy[0], TMSDK_TUNEFINDCD_MATCH_FUZZY);
        Record(state, child);
        cpu = child.cpuSeconds;
    }
    state.counters["records"] = discs;
    state.counters["cpu_us_per_record"] = cpu * 1e6 / discs;
}

// Goals at 200,000 records: exact under 50 ms, fuzzy under 1 s, each under 50 MB; the index exists.
void LookUpOnceIndexed(benchmark::State& state, bool fuzzy) {
    const int discs = static_cast<int>(state.range(0));
    Catalogue& catalogue = CatalogueOf(discs);
    const std::vector<std::string>& tocs = fuzzy ? catalogue.fuzzy : catalogue.exact;
    const uint32_t expected = fuzzy ? TMSDK_TUNEFINDCD_MATCH_FUZZY : TMSDK_TUNEFINDCD_MATCH_SINGLE;
    if (!RunChild(catalogue, catalogue.fuzzy[0], TMSDK_TUNEFINDCD_MATCH_FUZZY).ok)  // the index is there
        state.SkipWithError("the index could not be built");
    size_t next = 0;
    for (auto _ : state) {
        Record(state, RunChild(catalogue, tocs[next], expected));
        next = (next + 1) % tocs.size();
    }
    state.counters["records"] = discs;
}

void BM_ExactLookupInAFreshProcess(benchmark::State& state) { LookUpOnceIndexed(state, false); }
void BM_FuzzyLookupInAFreshProcess(benchmark::State& state) { LookUpOnceIndexed(state, true); }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--lookup") == 0)
        return LookUp(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
    for (int discs : Sizes()) {
        benchmark::RegisterBenchmark("BM_IndexBuiltInAFreshProcess", BM_IndexBuiltInAFreshProcess)
            ->Arg(discs)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        benchmark::RegisterBenchmark("BM_ExactLookupInAFreshProcess", BM_ExactLookupInAFreshProcess)
            ->Arg(discs)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kLookups);
        benchmark::RegisterBenchmark("BM_FuzzyLookupInAFreshProcess", BM_FuzzyLookupInAFreshProcess)
            ->Arg(discs)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kLookups);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
