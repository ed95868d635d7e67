// Reading an MP3 file's information must stay far below what a user notices when
// importing many files: for the 60 s CBR file (about 1 MB) the goal is under 0.3 ms and under
// 20 reads; the counters give the system calls that one Read makes.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "general_tools/Mp3FileInfo.h"

std::atomic<long> g_reads{0};
std::atomic<long> g_seeks{0};

// The C library's calls, counted: this program's definitions come before the library's.
template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

extern "C" {
ssize_t read(int fd, void* buffer, size_t count) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    ++g_reads;
    return next(fd, buffer, count);
}
ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    ++g_reads;
    return next(fd, buffer, count, offset);
}
ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
    ++g_reads;
    return next(fd, buffer, count, offset);
}
off_t lseek(int fd, off_t offset, int whence) {
    static const auto next = Next<off_t (*)(int, off_t, int)>("lseek");
    ++g_seeks;
    return next(fd, offset, whence);
}
off64_t lseek64(int fd, off64_t offset, int whence) {
    static const auto next = Next<off64_t (*)(int, off64_t, int)>("lseek64");
    ++g_seeks;
    return next(fd, offset, whence);
}
}

namespace {

struct Fixture {
    std::string dir;
    std::string cbr, vbr;
    Fixture() {
        char pattern[] = "/tmp/gbxbench-XXXXXX";
        dir = mkdtemp(pattern);
        const std::string wav = dir + "/music.wav";
        cbr = dir + "/cbr.mp3";
        vbr = dir + "/vbr.mp3";
        const std::string make = "sox -n -r 44100 -c 2 -b 16 " + wav + " synth 60 sine 220-880 pinknoise vol 0.5 && "
                                 + "lame --quiet -b 128 --cbr " + wav + " " + cbr + " && lame --quiet -V 4 " + wav + " "
                                 + vbr + " && id3v2 -2 -t Title -a Artist -A Album " + vbr;
        if (std::system(make.c_str()) != 0) std::fprintf(stderr, "could not make the MP3 files (sox, lame, id3v2)\n");
    }
    ~Fixture() {
        if (std::system(("rm -rf " + dir).c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
};

Fixture& Files() {
    static Fixture f;
    return f;
}

void ReadInfo(benchmark::State& state, const std::string& path) {
    const long reads = g_reads;
    const long seeks = g_seeks;
    for (auto _ : state) {
        GT::CMp3FileInfo info;
        benchmark::DoNotOptimize(info.Read(path));
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["reads"] = static_cast<double>(g_reads - reads) / n;
    state.counters["lseeks"] = static_cast<double>(g_seeks - seeks) / n;
    state.SetLabel("goal: under 0.3 ms and 20 reads (CBR)");
}

void BM_Mp3InfoCbr60s(benchmark::State& state) { ReadInfo(state, Files().cbr); }
void BM_Mp3InfoVbr60s(benchmark::State& state) { ReadInfo(state, Files().vbr); }

}  // namespace

BENCHMARK(BM_Mp3InfoCbr60s)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mp3InfoVbr60s)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
