// Reading an MP3 file's information must stay far below what a user notices when
// importing many files: the goal is under 3 ms for a 60 s file.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "general_tools/Mp3FileInfo.h"

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
    for (auto _ : state) {
        GT::CMp3FileInfo info;
        benchmark::DoNotOptimize(info.Read(path));
    }
}

void BM_Mp3InfoCbr60s(benchmark::State& state) { ReadInfo(state, Files().cbr); }
void BM_Mp3InfoVbr60s(benchmark::State& state) { ReadInfo(state, Files().vbr); }

}  // namespace

BENCHMARK(BM_Mp3InfoCbr60s)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mp3InfoVbr60s)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
