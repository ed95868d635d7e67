// A lookup that needs the index while another build of it runs: it waits only for a build of another
// process that moves, never for one that stopped, one of another catalogue or one of its own process; and the
// threads that compare every file follow the CPUs the process may use.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/sdk_manager/internal/CatalogueFolderTest.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Xmcd.h"

using namespace tmsdk;
using namespace std::chrono_literals;

namespace {

// What a build ahead (as tmsdk_catalogue_index runs it, in a process of its own) does once its temporary is
// made: it stops (SIGSTOP, as Ctrl-Z stops it), it waits until released, it goes on slowly, pausing at
// each progress report, or it just goes on.
enum class Then { kStops, kWaitsForRelease, kMovesSlowly, kGoesOn };

class ChildBuild {
public:
    ChildBuild(const Place& place, Then then) {
        if (pipe(m_started) != 0 || pipe(m_release) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(m_started[0]);
            close(m_release[1]);
            IndexRequest ahead;
            ahead.use = IndexRequest::Use::kCheckEveryFile;
            bool first = true;
            ahead.progress = [&](uint32_t, uint32_t) {
                char c;
                if (first && write(m_started[1], "s", 1) != 1) _exit(3);
                if (first && then == Then::kStops) raise(SIGSTOP);
                if (first && then == Then::kWaitsForRelease && read(m_release[0], &c, 1) != 1) _exit(4);
                if (then == Then::kMovesSlowly) usleep(300000);
                first = false;
                return false;
            };
            std::vector<IndexedRecord> none;
            IndexReport report;
            _exit(ReadIndex(place, ahead, none, report) == 0 && report.written ? 0 : 1);
        }
        close(m_started[1]);
        close(m_release[0]);
        char c;
        m_running = m_pid > 0 && read(m_started[0], &c, 1) == 1;
        int status = 0;
        if (m_running && then == Then::kStops)
            m_running = waitpid(m_pid, &status, WUNTRACED) == m_pid && WIFSTOPPED(status);
    }
    ~ChildBuild() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_started[0]);
        close(m_release[1]);
    }
    ChildBuild(const ChildBuild&) = delete;
    ChildBuild& operator=(const ChildBuild&) = delete;

    bool Running() const { return m_running; }
    void Kill() { kill(m_pid, SIGKILL); }
    void Release() {
        if (m_released) return;
        m_released = true;
        EXPECT_EQ(write(m_release[1], "r", 1), 1);
    }
    // The build's exit code: 0 when it wrote the index.
    int Finish() {
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_started[2] = {-1, -1}, m_release[2] = {-1, -1};
    bool m_running = false, m_released = false;
};

class CatalogueIndexWaitTest : public gbxtest::CatalogueFolderTest {
protected:
    void WriteDiscs(const std::string& category, int count) {
        for (int i = 0; i < count; ++i)
            Write(category + "/" + std::to_string(i), gbxtest::EvenDisc("", "A / B", 3, 100 + i % 500));
    }

    struct Lookup {
        tmsdk_status_t status = 1;
        size_t records = 0;
        IndexReport report;
    };
    // A lookup of the records of three tracks (all the tests' records) that may wait this long for another
    // build to move.
    Lookup LookUp(const Place& of, std::chrono::milliseconds stall, const CatalogueProgress& progress = nullptr) {
        IndexRequest request;
        request.want = [](uint32_t tracks, uint32_t) { return tracks == 3; };
        request.stall = stall;
        request.progress = progress;
        std::vector<IndexedRecord> records;
        Lookup lookup;
        lookup.status = ReadIndex(of, request, records, lookup.report);
        lookup.records = records.size();
        return lookup;
    }
    // The same, in a thread of its own, given `limit` to end; on time out `unblock` lets it go, and the test
    // fails.
    Lookup LookUpWithin(const Place& of, std::chrono::milliseconds stall, std::chrono::seconds limit,
                        const std::function<void()>& unblock) {
        auto lookup = std::async(std::launch::async, [&] { return LookUp(of, stall); });
        if (lookup.wait_for(limit) != std::future_status::ready) {
            unblock();
            lookup.wait();
            ADD_FAILURE() << "the lookup waited for another build";
        }
        return lookup.get();
    }
    // A lookup of `place` that waits for `build`, given `stall` of patience, and takes what it wrote: its
    // records.
    size_t TookWhatItWrote(ChildBuild& build, std::chrono::milliseconds stall) {
        const Lookup lookup = LookUpWithin(place, stall, 60s, [&] { build.Kill(); });
        EXPECT_EQ(lookup.status, 0u);
        EXPECT_EQ(lookup.report.filesRead, 0u) << "it read the catalogue itself instead of waiting";
        EXPECT_EQ(build.Finish(), 0);
        return lookup.records;
    }
};

TEST_F(CatalogueIndexWaitTest, ALookupGoesOnWithoutABuildThatStopped) {
    WriteDiscs("rock", 20);
    Open();
    ChildBuild child(place, Then::kStops);
    ASSERT_TRUE(child.Running());

    // While it waits, it reports progress, and an abort ends the wait at once.
    const auto start = std::chrono::steady_clock::now();
    int reports = 0;
    EXPECT_EQ(LookUp(place, 1h, [&](uint32_t, uint32_t) { return ++reports == 2; }).status, TMSDK_STATUS_ABORTED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

    const Lookup lookup = LookUpWithin(place, 300ms, 20s, [&] { child.Kill(); });
    EXPECT_EQ(lookup.status, 0u);
    EXPECT_EQ(lookup.records, 20u);
    EXPECT_EQ(lookup.report.filesRead, 20u) << "it read the catalogue itself";
    EXPECT_TRUE(lookup.report.written);
}

TEST_F(CatalogueIndexWaitTest, ALookupWaitsForABuildThatMovesAndTakesWhatItWrote) {
    // Paused for a while at each of its progress reports, longer in all than the lookup's patience, but never
    // that long without writing.
    WriteDiscs("rock", 1300);
    Open();
    ChildBuild slow(place, Then::kMovesSlowly);
    ASSERT_TRUE(slow.Running());
    EXPECT_EQ(TookWhatItWrote(slow, 1500ms), 1300u);

    // Held still, a build is waited for as long as the lookup's patience allows.
    Write("rock/added", gbxtest::EvenDisc("", "A / B", 3, 99));
    ChildBuild held(place, Then::kWaitsForRelease);
    ASSERT_TRUE(held.Running());
    auto waiting = std::async(std::launch::async, [&] { return LookUp(place, 1min); });
    EXPECT_EQ(waiting.wait_for(300ms), std::future_status::timeout) << "the lookup did not wait for the build";
    held.Release();
    EXPECT_EQ(held.Finish(), 0);
    const Lookup after = waiting.get();
    EXPECT_EQ(after.status, 0u);
    EXPECT_EQ(after.records, 1301u);
    EXPECT_EQ(after.report.filesRead, 0u);
}

TEST_F(CatalogueIndexWaitTest, ALookupWaitsForABuildThatReadsOneLargeFileForLongerThanItsPatience) {
    // One catalogue file of many records: reading it takes the build far longer than the lookup's patience,
    // during which it has nothing new to write.
    std::string records;
    for (int i = 0; records.size() < (40u << 20); ++i)
        records += gbxtest::XmcdRecord(gbxtest::EvenDisc("", "A / B", 3, 100 + i % 500));
    const std::string file = dir.File("discs.xmcd");
    gbxtest::WriteText(file, records);
    gbxtest::ScopedEnvironment named("TMSDK_CATALOGUE", file);
    Open();
    ChildBuild child(place, Then::kGoesOn);
    ASSERT_TRUE(child.Running());
    EXPECT_GT(TookWhatItWrote(child, 1500ms), 100000u);
}

TEST_F(CatalogueIndexWaitTest, ABuildOfAnotherCatalogueIsNeverWaitedFor) {
    WriteDiscs("rock", 300);
    Open();
    const Place first = place;
    const std::string other = dir.File("other");
    for (int i = 0; i < 5; ++i) gbxtest::WriteText(other + "-" + std::to_string(i), "");  // beside it, not in it
    std::filesystem::create_directories(other + "/jazz");
    for (int i = 0; i < 7; ++i)
        gbxtest::WriteText(other + "/jazz/" + std::to_string(i),
                           gbxtest::XmcdRecord(gbxtest::EvenDisc("", "C / D", 3, 200 + i)));
    gbxtest::ScopedEnvironment named("TMSDK_CATALOGUE", other);
    Open();
    ASSERT_EQ(IndexPath(place).substr(0, IndexPath(place).rfind('/')),
              IndexPath(first).substr(0, IndexPath(first).rfind('/')));

    ChildBuild child(first, Then::kWaitsForRelease);
    ASSERT_TRUE(child.Running());
    const Lookup lookup = LookUpWithin(place, 1min, 10s, [&] { child.Release(); });
    EXPECT_EQ(lookup.status, 0u);
    EXPECT_EQ(lookup.records, 7u);
    EXPECT_TRUE(lookup.report.written);
    child.Release();
    EXPECT_EQ(child.Finish(), 0);
}

TEST_F(CatalogueIndexWaitTest, ALookupNeverWaitsForABuildOfItsOwnProcess) {
    WriteDiscs("rock", 20);
    Open();
    // Another thread's build, held at its first progress report.
    std::promise<void> started, release;
    std::shared_future<void> freed = release.get_future().share();
    std::thread builder([&] {
        bool first = true;
        LookUp(place, 1min, [&](uint32_t, uint32_t) {
            if (first) {
                first = false;
                started.set_value();
                freed.wait();
            }
            return false;
        });
    });
    started.get_future().wait();
    bool released = false;
    const auto letGo = [&] {
        if (!released) release.set_value();
        released = true;
    };
    Lookup lookup = LookUpWithin(place, 1min, 10s, letGo);
    EXPECT_EQ(lookup.status, 0u);
    EXPECT_EQ(lookup.records, 20u);
    letGo();
    builder.join();

    // A lookup made from the progress report of a build, on the same thread; one that waited would wait for
    // ever, and gives up after a few seconds so that the test can end.
    Write("rock/added", gbxtest::EvenDisc("", "A / B", 3, 99));
    bool asked = false;
    Lookup inner;
    const Lookup outer = LookUp(place, 1min, [&](uint32_t, uint32_t) {
        if (!asked) {
            asked = true;
            const auto start = std::chrono::steady_clock::now();
            inner =
                LookUp(place, 1min, [&](uint32_t, uint32_t) { return std::chrono::steady_clock::now() - start > 5s; });
        }
        return false;
    });
    ASSERT_TRUE(asked);
    EXPECT_EQ(inner.status, 0u);
    EXPECT_EQ(inner.records, 21u);
    EXPECT_EQ(outer.status, 0u);
    EXPECT_EQ(outer.records, 21u);
}

// The threads of this process, by their ids in /proc.
std::set<std::string> Threads() {
    std::set<std::string> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ids.insert(entry->d_name);
        closedir(dir);
    }
    return ids;
}

// The threads that `run` starts on this thread, limited to two CPUs.
size_t ThreadsStartedOnTwoCpus(const cpu_set_t& all, const std::function<void()>& run) {
    cpu_set_t two;
    CPU_ZERO(&two);
    for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < 2; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &two);
            ++taken;
        }
    std::atomic<bool> done{false}, watching{false};
    std::set<std::string> seen;
    std::thread watcher([&] {
        while (!done) {
            for (const std::string& id : Threads()) seen.insert(id);
            watching = true;
            std::this_thread::yield();
        }
    });
    while (!watching) std::this_thread::yield();
    const std::set<std::string> before = Threads();
    EXPECT_EQ(sched_setaffinity(0, sizeof two, &two), 0);
    run();
    sched_setaffinity(0, sizeof all, &all);
    done = true;
    watcher.join();
    size_t started = 0;
    for (const std::string& id : seen) started += before.count(id) == 0;
    return started;
}

TEST_F(CatalogueIndexWaitTest, ComparingEveryFileRunsOnNoMoreThreadsThanTheProcessMayUseStartedOnce) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    if (CPU_COUNT(&all) < 2) GTEST_SKIP() << "one CPU only";
    // Folders of enough files each to be shared among threads, compared for long enough that every thread
    // started is seen.
    for (const char* category : {"blues", "folk", "jazz", "rock"}) WriteDiscs(category, 5000);
    Open();
    ASSERT_EQ(LookUp(place, 1min).records, 20000u);  // builds the index

    IndexRequest request;
    request.compareFiles = true;
    std::vector<IndexedRecord> records;
    IndexReport report;
    // This thread compares too: one more for the second CPU, once.
    EXPECT_LE(ThreadsStartedOnTwoCpus(all, [&] { EXPECT_EQ(ReadIndex(place, request, records, report), 0u); }), 1u)
        << "threads started while every file was compared";
    EXPECT_EQ(report.filesRead, 0u);

    // A file of the last folder written over in place, found after the others were compared, while another
    // process builds the index: compared again once that build wrote it, by the threads started before.
    Write("rock/999", gbxtest::EvenDisc("", "A / B", 3, 98));
    ChildBuild child(place, Then::kWaitsForRelease);
    ASSERT_TRUE(child.Running());
    std::thread release([&] {
        std::this_thread::sleep_for(1s);
        child.Release();
    });
    request.stall = 1min;
    EXPECT_LE(ThreadsStartedOnTwoCpus(all, [&] { EXPECT_EQ(ReadIndex(place, request, records, report), 0u); }), 1u)
        << "threads started again when the index was read again";
    release.join();
    EXPECT_EQ(child.Finish(), 0);
    EXPECT_EQ(report.filesRead, 0u) << "it read the catalogue itself instead of waiting";
}

}  // namespace
