// A full card of 4,000 songs (1,000 albums and 1,000 artists, a Best list of 30, Rhythm and User
// songs). Goals, each printed as ratio_to_goal (at most 1 meets it):
// - loading its database and icon files: under 0.15 s of CPU;
// - a save with few changes (one song's album and a User song's title, so the name table, three
//   lists and two icon files change): at most 1.5 times a plain copy of the same seven files,
//   synced (ratio_to_copy; ratio_to_cached_copy sets it against a copy left in the cache);
// - a save after every song changed (4,000 icon files): at most 50 sync calls.
// `bench_card --make-card FOLDER/` writes the same card into FOLDER (bench_first_window.sh).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/card/CardDocument.h"
#include "app/card/CardFiles.h"
#include "app/card/DatabaseStore.h"
#include "app/card/DocumentModel.h"

namespace fs = std::filesystem;

namespace {

// A private folder, removed at exit, for the settings (and the card); the toolkit (the save's
// wait cursor) stays off screen.
std::string MakePrivateFolder() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/tmp/gbxbench-card-XXXXXX";
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? std::string(tmp) + "/gbxbench-card-XXXXXX" : pattern;
    const std::string dir = mkdtemp(&base[0]);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    return dir;
}

// The full card written at root (which ends with "/").
bool MakeFullCard(const std::string& root) {
    fs::create_directories(root);
    CDocX& document = CDocumentModel::GetInstance().GetDocument();
    document.SetCardRoot(root);
    for (int slot = 0; slot < CDocX::MAX_SONGS; ++slot) {
        CSongX* song = document.GetSong(document.AllocateSlot()).get();
        char path[64];
        std::snprintf(path, sizeof path, "A:\\CORVANE\\QM\\DB\\%03d\\%04d.Q3R", slot / 100, slot);
        song->SetPathFromDevicePath(path);
        song->SetFileType(GetSongFileType(song->GetPath()));
        song->SetTitle("Song title number " + std::to_string(slot));
        song->SetNumber(slot % 12 + 1);
        if (slot % 20 == 18)
            document.MoveToRhythm(song);
        else if (slot % 20 == 19)
            document.MoveToUser(song);
        else {
            song->SetAlbum("Album " + std::to_string(slot % 1000));
            song->SetArtist("Artist " + std::to_string(slot % 1000 + 7));
            document.MoveToSongs(song);
        }
        if (slot < CDocX::MAX_BEST) document.SetBestRank(song, slot + 1);
        document.MarkChanged(song);
    }
    fs::create_directories(root + "CORVANE/QM/DB");
    if (document.Save()) return true;
    std::fprintf(stderr, "the card could not be written in %s\n", root.c_str());
    return false;
}

struct Card {
    std::string dir = MakePrivateFolder();
    std::string root = dir + "/QM-3/";
    Card() { MakeFullCard(root); }
    ~Card() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Card& TheCard() {
    static Card card;
    return card;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

constexpr double kLoadCpuGoal = 0.15;     // seconds
constexpr double kSaveToCopyGoal = 1.5;   // times a synced copy
constexpr double kAllIconsSyncGoal = 50;  // sync calls

// The card's file operations, counting the syncs.
class CCountingFileSystem : public CCardFileSystem {
public:
    bool Sync(int file, const std::string& name) override {
        ++syncs;
        return CCardFileSystem::Sync(file, name);
    }
    bool SyncFolder(const CCardFolder& folder) override {
        ++syncs;
        return CCardFileSystem::SyncFolder(folder);
    }
    bool SyncFileSystem(const CCardFolder& folder) override {
        ++syncs;
        return CCardFileSystem::SyncFileSystem(folder);
    }
    int syncs = 0;
};

void SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// The seven database files copied to a folder beside them.
double PlainCopySeconds(bool sync) {
    const std::string from = TheCard().root + "CORVANE/QM/DB/";
    const std::string to = TheCard().dir + "/copy/";
    fs::create_directories(to);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name : CDatabaseStore::GetFileNames()) {
        fs::copy_file(from + name, to + name, fs::copy_options::overwrite_existing);
        if (sync) SyncFile(to + name);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

void BM_LoadFullCard(benchmark::State& state) {
    CDocX& document = CDocumentModel::GetInstance().GetDocument();
    TheCard();
    double cpu = 0;
    for (auto _ : state) {
        document.Reset();
        document.SetCardRoot(TheCard().root);
        const double start = ProcessCpuSeconds();
        if (!document.Load()) state.SkipWithError("the card could not be read");
        cpu += ProcessCpuSeconds() - start;
    }
    state.counters["songs"] = document.GetUsedSlotCount();
    state.counters["cpu_s"] = cpu / double(state.iterations());
    state.counters["ratio_to_goal"] = cpu / double(state.iterations()) / kLoadCpuGoal;
}

void BM_SaveFullCard(benchmark::State& state) {
    CDocX& document = CDocumentModel::GetInstance().GetDocument();
    TheCard();
    CSongX* inSongs = document.GetSong(7).get();
    CSongX* inUser = document.GetSong(19).get();  // every twentieth song from the twentieth is a User song
    const std::string album = inSongs->GetAlbum(), title = inUser->GetTitle();
    double saving = 0, copying = 0, caching = 0;
    bool edited = false;
    for (auto _ : state) {
        edited = !edited;
        inSongs->SetAlbum(edited ? album + " (live)" : album);
        inUser->SetTitle(edited ? "A " + title : title);
        document.MarkChanged(inSongs);
        document.MarkChanged(inUser);
        document.SetModified(1);
        const auto start = std::chrono::steady_clock::now();
        if (!document.Save()) state.SkipWithError("the card could not be written");
        saving += Seconds(std::chrono::steady_clock::now() - start);
        state.PauseTiming();
        copying += PlainCopySeconds(true);
        caching += PlainCopySeconds(false);
        state.ResumeTiming();
    }
    state.counters["ratio_to_copy"] = saving / copying;
    state.counters["ratio_to_cached_copy"] = saving / caching;
    state.counters["ratio_to_goal"] = saving / copying / kSaveToCopyGoal;
}

// A save after every song's name changed: 4,000 icon files (with their pictures) as well.
void BM_SaveFullCardWithAllIcons(benchmark::State& state) {
    CDocX& document = CDocumentModel::GetInstance().GetDocument();
    TheCard();
    CCountingFileSystem files;
    SetCardFileSystem(&files);
    for (auto _ : state) {
        for (const CSongPointer& song : document.GetSlots()) document.MarkChanged(song.get());
        if (!document.Save()) state.SkipWithError("the card could not be written");
    }
    SetCardFileSystem(nullptr);
    const double syncs = double(files.syncs) / double(state.iterations());
    state.counters["syncs"] = syncs;
    state.counters["ratio_to_goal"] = syncs / kAllIconsSyncGoal;
}

}  // namespace

BENCHMARK(BM_LoadFullCard)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFullCard)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFullCardWithAllIcons)->Unit(benchmark::kMillisecond)->Iterations(2);
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--make-card") {
        const std::string settings = MakePrivateFolder();
        const bool made = MakeFullCard(argv[2]);
        std::error_code ec;
        fs::remove_all(settings, ec);
        return made ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
