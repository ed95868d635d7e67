// Song transfers against the codec they drive, and, one piece of work per process (see main),
// against other programs through the comparison scripts (bench_voxa.sh, bench_sample_files.sh),
// which time the whole process. GBX_BENCH_SMOKE=1 shrinks the song and the disc so that the test
// suite can run the program once. Ten minutes of 16-bit stereo music-like audio:
// importing the WAV file with encoding (read, convert, encode into the work folder, copy onto
// the card) must take at most 1.2 times as long as the Voxa encoder alone takes for the same
// samples from memory (ratio_to_encoder), and exporting the Voxa song back to a WAV file at most
// 1.2 times the decoder alone (ratio_to_decoder). Ripping a 60-minute disc of an emulated drive
// into WAV files must run at 200 times real time or more (realtime). The files live on tmpfs
// (/dev/shm) where there is one, so that the disk's speed does not hide the program's.
#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/card/AppServices.h"
#include "app/card/AudioTransfer.h"
#include "app/card/CardDocument.h"
#include "app/card/CdAudioReader.h"
#include "app/card/DocumentModel.h"
#include "app/card/VoxaFiles.h"
#include "general_tools/Progress.h"
#include "sound/files/FileSampleIterators.h"
#include "tests/support/EmulatedCdDrive.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
const bool kSmoke = std::getenv("GBX_BENCH_SMOKE") != nullptr;
const int kSongSeconds = kSmoke ? 2 : 600;
const int kTrackSeconds = kSmoke ? 3 : 300;
const int kDiscSeconds = 12 * kTrackSeconds;
const char kDevice[] = "/dev/sr-gbxbench";

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A tone pair with a little noise, the kind of content the card holds.
std::vector<int16_t> MusicLikeSamples(size_t frames) {
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 600.0);
    std::vector<int16_t> samples(frames * 2);
    for (size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / kRate;
        const double a = 8000.0 * std::sin(2 * M_PI * 220.0 * t) + 3000.0 * std::sin(2 * M_PI * 1760.0 * t);
        const double b = 7000.0 * std::sin(2 * M_PI * 330.0 * t) + 2000.0 * std::sin(2 * M_PI * 2640.0 * t);
        samples[2 * f] = static_cast<int16_t>(std::lround(a + noise(rng)));
        samples[2 * f + 1] = static_cast<int16_t>(std::lround(b + noise(rng)));
    }
    return samples;
}

// A private folder with a card, a work folder and the song, all removed at exit.
struct Place {
    std::string dir;
    std::string card;
    std::string wav;
    std::vector<int16_t> samples;
    GT::CDefaultProgress silent;

    explicit Place(bool withSong = true) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::error_code ec;
        const char* tmp = std::getenv("TMPDIR");
        std::string base = fs::is_directory("/dev/shm", ec) ? "/dev/shm"
                           : tmp != nullptr && *tmp != '\0' ? tmp
                                                            : "/tmp";
        base += "/gbxbench-transfer-XXXXXX";
        dir = mkdtemp(&base[0]);
        setenv("TMPDIR", dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        card = dir + "/QM-3/";
        fs::create_directories(card);
        CDocumentModel::GetInstance().GetDocument().SetCardRoot(card);
        // Progress goes nowhere: the dialog is not what is measured.
        SetProgressBar(&silent);
        if (!withSong) return;

        samples = MusicLikeSamples(static_cast<size_t>(kSongSeconds) * kRate);
        wav = dir + "/song.wav";
        SL::CSampleAttribute attribute(SL::CBitDepth(SL::CBitDepth::INTEGER16), kRate, 2, 1);
        attribute.SetFrames(static_cast<int32_t>(samples.size() / 2));
        auto out = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<SL::EBitDepth::INTEGER16>>(
            SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, wav, SL::CWaveFileFormat::WINWAVE));
        if (!out || out->Write(samples.data(), samples.size()) != samples.size() || !out->Finish())
            std::fprintf(stderr, "bench_transfer: the song could not be written in %s\n", dir.c_str());
    }
    ~Place() {
        SetProgressBar(nullptr);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string Slot(const std::string& extension) const {
        return CDocumentModel::GetInstance().GetDocument().GetSongFolder(5) + "0005" + extension;
    }
};

Place& ThePlace() {
    static Place place;
    return place;
}

// The encoder alone: the samples from memory into a Voxa file beside the song.
double EncoderSeconds(const Place& place, const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const auto out = CreateVoxaFile(path, kRate, 2);
    if (!out || out->Write(place.samples.data(), place.samples.size()) != place.samples.size() || !out->Finish())
        std::fprintf(stderr, "bench_transfer: the encoder failed\n");
    return Seconds(start);
}

// The decoder alone: a Voxa file back into samples in memory (touched before: page faults of
// a fresh buffer cost more here than the whole decoding).
double DecoderSeconds(const std::string& path, std::vector<int16_t>& decoded) {
    const auto start = std::chrono::steady_clock::now();
    const auto in = OpenVoxaFile(path);
    if (!in || in->Read(decoded.data(), decoded.size()) != decoded.size())
        std::fprintf(stderr, "bench_transfer: the decoder failed\n");
    benchmark::DoNotOptimize(decoded.data());
    return Seconds(start);
}

void BM_ImportTenMinutesWithEncoding(benchmark::State& state) {
    Place& place = ThePlace();
    CAudioTransfer transfer(CDocumentModel::GetInstance().GetDocument().GetVolume());
    double importing = 0, encoding = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (transfer.ImportFile(place.wav, place.Slot(".Q3R"), true) != CAudioTransfer::DONE)
            state.SkipWithError("the import failed");
        importing += Seconds(start);
        state.PauseTiming();
        fs::remove(place.Slot(".Q3R"));
        encoding += EncoderSeconds(place, place.dir + "/encoded.Q3R");
        fs::remove(place.dir + "/encoded.Q3R");
        state.ResumeTiming();
    }
    state.counters["ratio_to_encoder"] = importing / encoding;
    state.counters["realtime"] = kSongSeconds * static_cast<double>(state.iterations()) / importing;
}

void BM_ExportTenMinutesWithDecoding(benchmark::State& state) {
    Place& place = ThePlace();
    CAudioTransfer transfer(CDocumentModel::GetInstance().GetDocument().GetVolume());
    if (transfer.ImportFile(place.wav, place.Slot(".Q3R"), true) != CAudioTransfer::DONE)
        state.SkipWithError("the import failed");
    std::vector<int16_t> decoded(place.samples.size());
    double exporting = 0, decoding = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (transfer.ExportFile(place.Slot(".Q3R"), place.dir + "/0005.WAV", true) != CAudioTransfer::DONE)
            state.SkipWithError("the export failed");
        exporting += Seconds(start);
        state.PauseTiming();
        decoding += DecoderSeconds(place.Slot(".Q3R"), decoded);
        fs::remove(place.dir + "/0005.WAV");
        state.ResumeTiming();
    }
    fs::remove(place.Slot(".Q3R"));
    state.counters["ratio_to_decoder"] = exporting / decoding;
    state.counters["realtime"] = kSongSeconds * static_cast<double>(state.iterations()) / exporting;
}

void BM_RipSixtyMinuteDisc(benchmark::State& state) {
    Place& place = ThePlace();
    // Twelve tracks of five minutes; the first starts after a two-second pregap.
    const int trackSectors = kTrackSeconds * 75;
    std::vector<int> starts;
    for (int t = 0; t < 12; ++t) starts.push_back(t * trackSectors);
    auto drive = std::make_shared<gbxtest::EmulatedCdDrive>(gbxtest::EmulatedDisc::Audio(starts, 12 * trackSectors));
    gbxtest::EmulatedDriveInstaller installer(kDevice, drive);
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    double ripping = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!reader.Open(kDevice)) state.SkipWithError("the disc could not be read");
        for (int track = 0; track < reader.GetToc().GetTrackCount(); ++track) {
            const std::string path = place.dir + "/track.WAV";
            if (reader.RipTrack(track, path, &place.silent) != CCdAudioReader::DONE)
                state.SkipWithError("a rip failed");
            state.PauseTiming();
            fs::remove(path);
            state.ResumeTiming();
        }
        ripping += Seconds(start);
    }
    reader.ClearToc();
    state.counters["realtime"] = kDiscSeconds * static_cast<double>(state.iterations()) / ripping;
}

BENCHMARK(BM_ImportTenMinutesWithEncoding)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportTenMinutesWithDecoding)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RipSixtyMinuteDisc)->Unit(benchmark::kMillisecond)->Iterations(1);

// One piece of work per process, for the comparison scripts, which time the whole process beside
// a reference program doing the same job (see main). Progress goes nowhere; the settings are
// kept in the temporary folder (the scripts give each run a private one).
void QuietProcess() {
    static GT::CDefaultProgress silent;
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    SetProgressBar(&silent);
}

int RunOnce(const std::string& mode, const std::string& input, const std::string& output) {
    QuietProcess();
    CDocX& document = CDocumentModel::GetInstance().GetDocument();
    CAudioTransfer transfer(document.GetVolume());
    if (mode == "--export") return transfer.ExportFile(input, output, true) == CAudioTransfer::DONE ? 0 : 1;
    if (mode == "--import") {
        document.SetCardRoot(output);
        const std::string song = document.GetSongFolder(5) + "0005.WAV";
        return transfer.ImportFile(input, song, false) == CAudioTransfer::DONE ? 0 : 1;
    }
    return 2;
}

}  // namespace

// With arguments, one piece of work and no timing (the scripts time the process):
//   --export Q3R WAV     the export of a Voxa song to a 16-bit WAV file;
//   --import FILE CARD/  the import without encoding of a WAV or AIFF file onto the card folder.
int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "--export" || mode == "--import") {
        const int status = RunOnce(mode, argv[2], argc >= 4 ? argv[3] : "");
        if (status != 0) std::fprintf(stderr, "bench_transfer: %s %s failed\n", argv[1], argv[2]);
        return status;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
