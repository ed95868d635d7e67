#include "general_tools/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class FilesTest : public ::testing::Test {
protected:
    gbxtest::TempDir dir;
};

TEST_F(FilesTest, ExistenceTests) {
    gbxtest::WriteText(dir.File("a.wav"), "x");
    fs::create_directory(dir.File("sub"));
    const struct {
        std::string path;
        bool file;
        bool folder;
    } cases[] = {
        {dir.File("a.wav"), true, false},    {dir.File("sub"), false, true},      {dir.File("sub/"), false, true},
        {dir.File("missing"), false, false}, {dir.Path() + "\\sub", false, true},  // either separator names the folder
        {dir.File("a:b"), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GT::IsExistingFile(c.path), c.file) << c.path;
        EXPECT_EQ(GT::DirectoryExists(c.path), c.folder) << c.path;
    }
    EXPECT_TRUE(GT::RemoveFile(dir.File("a.wav")));
    EXPECT_FALSE(GT::RemoveFile(dir.File("a.wav")));
    EXPECT_FALSE(GT::RemoveFile(dir.File("sub")));  // folders are not removed
}

// The window buffer answers every seek and read as a file stream does: a random walk of seeks
// (from the start, the current position and the end, inside and outside the window, past the
// end) and reads of every size gives the same bytes, counts and states on both.
TEST_F(FilesTest, WindowBufferReadsAsAFileStreamDoes) {
    std::vector<uint8_t> bytes(50000);
    std::mt19937 random(7);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    const std::string path = dir.File("data.bin");
    gbxtest::WriteBytes(path, bytes);
    for (size_t window : {size_t(1), size_t(333), size_t(4096), GT::CFileWindowBuffer::kDefaultWindow}) {
        SCOPED_TRACE(window);
        GT::CFileWindowBuffer buffer(path, window);
        ASSERT_TRUE(buffer.IsOpen());
        std::istream ours(&buffer);
        GT::CFileStream theirs(path);
        for (int step = 0; step < 400; ++step) {
            SCOPED_TRACE(step);
            const int64_t offset = static_cast<int64_t>(random() % 60000) - 5000;
            switch (random() % 4) {
                case 0:
                    ours.clear();
                    theirs.clear();
                    EXPECT_EQ(bool(ours.seekg(offset)), bool(theirs.seekg(offset)));
                    break;
                case 1:
                    ours.clear();
                    theirs.clear();
                    ours.seekg(offset % 3000, std::ios::cur);
                    theirs.seekg(offset % 3000, std::ios::cur);
                    break;
                case 2:
                    ours.clear();
                    theirs.clear();
                    ours.seekg(-(offset % 2000), std::ios::end);
                    theirs.seekg(-(offset % 2000), std::ios::end);
                    break;
                default: {
                    std::string a(random() % 9000, '\0');
                    std::string b(a.size(), '\0');
                    ours.read(&a[0], static_cast<std::streamsize>(a.size()));
                    theirs.read(&b[0], static_cast<std::streamsize>(b.size()));
                    ASSERT_EQ(ours.gcount(), theirs.gcount());
                    EXPECT_EQ(a, b);
                }
            }
            ASSERT_EQ(ours.rdstate(), theirs.rdstate());
            ASSERT_EQ(int64_t(ours.tellg()), int64_t(theirs.tellg()));
        }
    }
    EXPECT_FALSE(GT::CFileWindowBuffer(dir.File("missing")).IsOpen());
}

TEST_F(FilesTest, FileSizeIsSixtyFourBit) {
    const std::string big = dir.File("big.wav");
    { std::ofstream out(big, std::ios::binary); }
    const int64_t size = (int64_t{5} << 30) + 3;  // past both 2 GiB and 4 GiB, sparse
    ASSERT_EQ(truncate(big.c_str(), size), 0);
    int64_t got = -1;
    ASSERT_TRUE(GT::GetFileSize(big, got));
    EXPECT_EQ(got, size);

    gbxtest::WriteText(dir.File("small"), "hello");
    EXPECT_TRUE(GT::GetFileSize(dir.File("small"), got));
    EXPECT_EQ(got, 5);

    got = 77;
    EXPECT_FALSE(GT::GetFileSize(dir.File("missing"), got));
    EXPECT_FALSE(GT::GetFileSize(dir.Path(), got));
    EXPECT_EQ(got, 77);  // untouched on failure
}

TEST_F(FilesTest, ListDirectoryAppendsFoldersAndFiles) {
    std::vector<std::string> folders{"kept"}, files;
    fs::create_directory(dir.File("empty"));
    EXPECT_TRUE(GT::ListDirectory(dir.File("empty"), folders, files));
    EXPECT_EQ(folders, std::vector<std::string>{"kept"});
    EXPECT_TRUE(files.empty());

    fs::create_directory(dir.File("b folder"));
    gbxtest::WriteText(dir.File("c.wav"), "x");
    gbxtest::WriteText(dir.File("a.mp3"), "x");
    gbxtest::WriteText(dir.File(".hidden"), "x");
    fs::create_symlink(dir.File("gone"), dir.File("dangling"));
    EXPECT_TRUE(GT::ListDirectory(dir.Path() + "/", folders, files));
    EXPECT_EQ(folders,
              (std::vector<std::string>{"kept", dir.File("b folder"), dir.File("dangling"), dir.File("empty")}));
    EXPECT_EQ(files, (std::vector<std::string>{dir.File("a.mp3"), dir.File("c.wav")}));

    EXPECT_FALSE(GT::ListDirectory(dir.File("missing"), folders, files));
}

TEST_F(FilesTest, CopyWithGrantMakesTheTargetWritableForAll) {
    const std::string source = dir.File("source.wav");
    gbxtest::WriteText(source, "RIFF");
    chmod(source.c_str(), 0444);
    const std::string target = dir.File("target.wav");
    ASSERT_TRUE(GT::CopyFile(source, target, true));
    EXPECT_EQ(gbxtest::ReadBytes(target).size(), 4u);
    EXPECT_EQ(ModeOf(target) & 0666, 0666u);

    // Without grant the copy keeps the source's permissions and overwrites.
    gbxtest::WriteText(source + "2", "RIFFWAVE");
    ASSERT_TRUE(GT::CopyFile(source + "2", target, false));
    EXPECT_EQ(gbxtest::ReadBytes(target).size(), 8u);

    EXPECT_FALSE(GT::CopyFile(dir.File("missing"), dir.File("t2"), true));
    EXPECT_FALSE(fs::exists(dir.File("t2")));
}

// The kernel's copy refused before its first byte, whatever the error (a FUSE file may answer
// EPERM): the bytes go by reading and writing. A child process refuses the kernel's copies to
// itself alone (seccomp).
TEST_F(FilesTest, ACopyTheKernelRefusesBeforeItsFirstByteGoesByReadingAndWriting) {
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    const std::string source = dir.File("source.bin");
    gbxtest::WriteBytes(source, bytes);
    for (int error : {EPERM, EIO, EXDEV, EINVAL}) {
        SCOPED_TRACE(error);
        const std::string target = dir.File("copy" + std::to_string(error));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            struct sock_filter filter[] = {
                BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 4),
                BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_sendfile, 1, 0),
                BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_copy_file_range, 0, 1),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA)),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            };
            struct sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
            if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
                || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
                _exit(2);
            const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
            const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            _exit(in >= 0 && out >= 0 && GT::CopyFileBytes(in, out) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "seccomp cannot be used here";
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(gbxtest::ReadBytes(target), bytes);
    }
}

TEST_F(FilesTest, CreateDirectoryPathMakesEveryMissingFolder) {
    const std::string deep = dir.File("Corvane/Gigbox Setlister");
    EXPECT_TRUE(GT::CreateDirectoryPath(deep + "/", true));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(ModeOf(deep) & 0777, 0777u);
    EXPECT_TRUE(GT::CreateDirectoryPath(deep, false));  // already there
    EXPECT_TRUE(GT::CreateDirectoryPath(dir.Path() + "\\back\\slashes", false));
    EXPECT_TRUE(fs::is_directory(dir.File("back/slashes")));
    gbxtest::WriteText(dir.File("file"), "x");
    EXPECT_FALSE(GT::CreateDirectoryPath(dir.File("file"), false));
    EXPECT_FALSE(GT::CreateDirectoryPath(dir.File("file/below"), false));
}

TEST_F(FilesTest, ClearReadOnlyWalksAFolderAndGoesOnAfterAFailure) {
    fs::create_directories(dir.File("tree/sub"));
    gbxtest::WriteText(dir.File("tree/a"), "x");
    gbxtest::WriteText(dir.File("tree/sub/b"), "x");
    chmod(dir.File("tree/a").c_str(), 0444);
    chmod(dir.File("tree/sub/b").c_str(), 0400);
    EXPECT_TRUE(GT::ClearReadOnly(dir.File("tree")));
    EXPECT_TRUE(ModeOf(dir.File("tree/a")) & S_IWUSR);
    EXPECT_TRUE(ModeOf(dir.File("tree/sub/b")) & S_IWUSR);
    EXPECT_FALSE(GT::ClearReadOnly(dir.File("missing")));
    EXPECT_TRUE(GT::MakeWritable(dir.File("tree/a")));
    EXPECT_EQ(ModeOf(dir.File("tree/a")) & 0666, 0666u);
    EXPECT_FALSE(GT::MakeWritable(dir.File("missing")));
}

TEST_F(FilesTest, GrantsChangeOnlyWhatStandsAtThePathItself) {
    // Files elsewhere that a link or a second name leads to keep their modes.
    fs::create_directories(dir.File("elsewhere/folder"));
    const std::string file = dir.File("elsewhere/file"), linked = dir.File("elsewhere/linked");
    gbxtest::WriteText(file, "x");
    gbxtest::WriteText(linked, "x");
    chmod(file.c_str(), 0444);
    chmod(linked.c_str(), 0444);
    chmod(dir.File("elsewhere/folder").c_str(), 0700);
    fs::create_directories(dir.File("card"));
    fs::create_symlink(file, dir.File("card/link"));
    fs::create_symlink(dir.File("elsewhere/folder"), dir.File("card/folder"));
    fs::create_hard_link(linked, dir.File("card/second"));
    gbxtest::WriteText(dir.File("card/own"), "x");
    chmod(dir.File("card/own").c_str(), 0444);
    for (const char* name : {"link", "folder", "second"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(GT::MakeWritable(dir.File("card/") + name));
    }
    EXPECT_FALSE(GT::MakeWritable(dir.File("card")));  // the folder's walk meets them too
    EXPECT_EQ(ModeOf(file), 0444u);
    EXPECT_EQ(ModeOf(linked), 0444u);
    EXPECT_EQ(ModeOf(dir.File("elsewhere/folder")), 0700u);
    // The folder's own files and the folder itself are changed.
    EXPECT_TRUE(ModeOf(dir.File("card/own")) & S_IWUSR);
    EXPECT_EQ(ModeOf(dir.File("card")) & 0777, 0777u);
}

TEST_F(FilesTest, ResolveShortcutFollowsSymbolicLinks) {
    const std::string song = dir.File("song.wav");
    gbxtest::WriteText(song, "x");
    const std::string real = fs::canonical(song).string();
    fs::create_symlink(song, dir.File("link"));
    fs::create_symlink(song, dir.File("other.lnk"));
    gbxtest::WriteText(dir.File("plain.lnk"), "not a link");
    const struct {
        std::string path;
        std::string result;
    } cases[] = {
        {song, song},               // an existing file comes back unchanged
        {dir.File("link"), real},   // a link is followed
        {dir.File("other"), real},  // a missing p tries p.lnk
        {dir.File("other.lnk"), real},
        {dir.File("plain.lnk"), dir.File("plain.lnk")},  // not a link: unchanged
        {dir.File("nothing"), dir.File("nothing")},
    };
    for (const auto& c : cases) EXPECT_EQ(GT::ResolveShortcut(c.path), c.result) << c.path;
    EXPECT_EQ(GT::ResolveDisplayName(dir.Path() + "/./song.wav"), real);
    EXPECT_EQ(GT::ResolveDisplayName(dir.File("nothing")), dir.File("nothing"));
}

TEST_F(FilesTest, ProgramAndTemporaryFolders) {
    const std::string exe = fs::canonical("/proc/self/exe").string();
    EXPECT_EQ(GT::GetModuleFilePath(), exe);
    EXPECT_EQ(GT::GetApplicationDirectory(), fs::path(exe).parent_path().string());
    EXPECT_EQ(GT::GetModuleDirectory(), GT::GetApplicationDirectory());
    {
        gbxtest::ScopedEnvironment tmp("TMPDIR", dir.Path() + "/");
        EXPECT_EQ(GT::GetTempDirectory(), dir.Path());
    }
    gbxtest::ScopedEnvironment data("XDG_DATA_HOME", dir.Path());
    EXPECT_EQ(GT::GetSpecialFolderPath(26), dir.Path());
}

TEST_F(FilesTest, OpenWithShellStartsXdgOpen) {
    // A stand-in xdg-open that records its argument.
    const std::string bin = dir.File("bin");
    fs::create_directory(bin);
    const std::string record = dir.File("opened");
    gbxtest::WriteText(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > " + gbxtest::Quote(record) + ".part && mv "
                                              + gbxtest::Quote(record) + ".part " + gbxtest::Quote(record) + "\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    gbxtest::ScopedEnvironment path("PATH", bin + ":/usr/bin:/bin");
    ASSERT_TRUE(GT::OpenWithShell(dir.File("manual file.pdf")));
    for (int i = 0; i < 500 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const auto bytes = gbxtest::ReadBytes(record);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), dir.File("manual file.pdf"));

    gbxtest::ScopedEnvironment noPath("PATH", dir.File("nowhere"));
    EXPECT_FALSE(GT::OpenWithShell(dir.File("x.pdf")));
}

}  // namespace
