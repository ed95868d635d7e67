// Writing the card: a failure anywhere leaves the database whole (old or new), icon edits are
// never lost behind a successful save, and what an interrupted write left is put right on the
// next connect.
#include "app/card/CardFiles.h"

#include "app/card/DatabaseStore.h"
#include "app/card/Domain.h"
#include "app/card/IconFiles.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/FatImage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

using cardtest::AddSong;
using cardtest::CCardEnvironment;
using cardtest::EntriesBelow;
using cardtest::Fingerprint;
using Bytes = std::vector<uint8_t>;
// A database folder's files by name, each as a fingerprint of its bytes (the files are
// megabytes and the loops below compare them many times).
typedef std::map<std::string, uint64_t> CFolderImage;

const char* const kDatabaseFiles[] = {"SONGNAME.Q3D", "PLAYLIST.Q3D", "SL_ALBUM.Q3D", "SL_ARTST.Q3D",
                                      "SL_BEST.Q3D",  "SL_MYSNG.Q3D", "SL_RHYTM.Q3D"};

// Fails the n-th operation that can fail (making, writing, syncing, closing, renaming,
// removing), with an error as a card gives it (ENOSPC, EIO), and with sticky every one after it,
// as a card that is pulled out does (or a program killed before that operation: nothing after
// it reaches the card); pulledAt pulls the card out at a later operation than a single failure.
// A write that fails writes half its bytes first, as a card that fills up does. Looking at an
// entry fails apart (lookFailsAt, with EIO), as a card whose reads fail.
class CFailingFileSystem : public CCardFileSystem {
public:
    int Create(const CCardFolder& folder, const std::string& name) override {
        if (Fails("open " + name)) return -1;
        return CCardFileSystem::Create(folder, name);
    }
    bool Write(int file, const std::string& name, const char* data, size_t size) override {
        if (Fails("write " + name)) {
            CCardFileSystem::Write(file, name, data, size / 2);
            return false;
        }
        return CCardFileSystem::Write(file, name, data, size);
    }
    // Syncing reaches no device here: the loops run many saves.
    bool Sync(int, const std::string& name) override {
        ++syncs;
        return !Fails("sync " + name);
    }
    bool Close(int file, const std::string& name) override {
        const bool fails = Fails("finish " + name);
        return CCardFileSystem::Close(file, name) && !fails;
    }
    bool SyncFolder(const CCardFolder& folder) override {
        ++syncs;
        return !Fails("sync " + folder.GetName());
    }
    bool SyncFileSystem(const CCardFolder&) override {
        ++syncs;
        return !Fails("syncfs");
    }
    bool Rename(const CCardFolder& folder, const std::string& from, const std::string& to) override {
        return !Fails("rename " + from + " " + to) && CCardFileSystem::Rename(folder, from, to);
    }
    bool Remove(const CCardFolder& folder, const std::string& name) override {
        return !Fails("remove " + name) && CCardFileSystem::Remove(folder, name);
    }
    ELook Look(const CCardFolder& folder, const std::string& name, struct stat& info) override {
        ++looks;
        if (lookFailsAt > 0 && (looks == lookFailsAt || (sticky && looks > lookFailsAt))) {
            errno = EIO;
            return ENTRY_UNKNOWN;
        }
        return CCardFileSystem::Look(folder, name, info);
    }

    int failAt = 0;
    int error = EIO;
    bool sticky = false;
    int pulledAt = 0;
    int lookFailsAt = 0;
    int count = 0;
    int looks = 0;
    int syncs = 0;
    std::vector<std::string> log;  // every operation that can fail, syncs among them
    bool triggered = false;

private:
    bool Fails(const std::string& what) {
        ++count;
        const bool fails =
            (failAt > 0 && (count == failAt || (sticky && count > failAt))) || (pulledAt > 0 && count >= pulledAt);
        log.push_back(what + (fails ? " FAILS" : ""));
        triggered = triggered || fails;
        if (fails) errno = error;
        return fails;
    }
};

CFolderImage ReadDatabase(const std::string& folder) {
    CFolderImage image;
    for (const char* name : kDatabaseFiles)
        if (fs::exists(folder + name)) image[name] = Fingerprint(folder + name);
    return image;
}

// The database files of a kept copy in place of whatever the folder holds.
void WriteDatabase(const std::string& folder, const std::string& copy) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) fs::remove(entry.path());
    for (const char* name : kDatabaseFiles) fs::copy_file(copy + name, folder + name);
}

std::set<std::string> FileNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
}

const std::set<std::string> kSevenFiles(std::begin(kDatabaseFiles), std::end(kDatabaseFiles));

class CardSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.Connect();
        CSongX* a = AddSong(document, ".WAV", "Alpha", "Zed", "First", 2);
        document.MoveToSongs(a);
        document.MoveToRhythm(AddSong(document, ".MP3", "Beat"));
        ASSERT_TRUE(document.Save());
        oldImage = ReadDatabase(environment.DatabaseFolder());
        fs::create_directories(oldCopy);
        for (const char* name : kDatabaseFiles) fs::copy_file(environment.DatabaseFolder() + name, oldCopy + name);
        // The edit that the saves under test write.
        a->SetAlbum("Second");
        document.MoveToUser(AddSong(document, ".Q3R", "Mine"));
        document.SetBestRank(a, 1);
        ASSERT_TRUE(document.Save());
        newImage = ReadDatabase(environment.DatabaseFolder());
        fs::create_directories(newCopy);
        for (const char* name : kDatabaseFiles) fs::copy_file(environment.DatabaseFolder() + name, newCopy + name);
        ASSERT_NE(oldImage, newImage);
    }
    void TearDown() override { SetCardFileSystem(nullptr); }

    // Installs the failing file system and answers the operations of a save over the old
    // database that nothing disturbs.
    std::vector<std::string> UndisturbedSave() {
        WriteDatabase(environment.DatabaseFolder(), oldCopy);
        SetCardFileSystem(&files);
        document.SetModified(1);
        EXPECT_TRUE(document.Save());
        return files.log;
    }

    // What a save stopped half-way through its renames leaves: a complete new set, marked, the
    // first three files swapped. The new copy of linkedCopy (when named) is a link to a copy off the
    // card.
    void LeaveHalfSwappedSet(const std::string& linkedCopy = std::string()) {
        const std::string folder = environment.DatabaseFolder(), outside = environment.Dir().File("outside/");
        WriteDatabase(folder, oldCopy);
        int i = 0;
        for (const char* name : kDatabaseFiles) {
            const std::string fresh = folder + CCardFileSet::NewName(name);
            if (i++ < 3) {
                fs::rename(folder + name, folder + CCardFileSet::OldName(name));
                fs::copy_file(newCopy + name, folder + name);
            } else if (name == linkedCopy) {
                fs::create_directories(outside);
                fs::copy_file(newCopy + name, outside + name, fs::copy_options::overwrite_existing);
                fs::create_symlink(outside + name, fresh);
            } else {
                fs::copy_file(newCopy + name, fresh);
            }
        }
        gbxtest::WriteText(folder + CCardFileSet::CompleteMarkName(), "");
    }

    // Whole old, whole new, or a failure named.
    std::string Whole(const CFolderImage& image) const {
        if (image == oldImage) return "old";
        if (image == newImage) return "new";
        return "mixed";
    }

    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    CFolderImage oldImage, newImage;
    const std::string oldCopy = environment.Dir().File("old/"), newCopy = environment.Dir().File("new/");
    CFailingFileSystem files;
};

TEST_F(CardSaveTest, TheChangedFilesAreWrittenAndReplacedInTheirOrder) {
    // The edit changes some of the files and leaves the others (the Rhythm list among them).
    std::vector<std::string> changed, expectedOpened;
    for (const char* name : kDatabaseFiles)
        if (oldImage.at(name) != newImage.at(name)) {
            changed.push_back(name);
            expectedOpened.push_back(CCardFileSet::NewName(name));
        }
    ASSERT_GT(changed.size(), 1u);
    ASSERT_LT(changed.size(), 7u);
    expectedOpened.push_back("NEWSET.OK");
    std::vector<std::string> opened, replaced;
    for (const std::string& step : UndisturbedSave()) {
        if (step.rfind("open ", 0) == 0) opened.push_back(step.substr(5));
        if (step.rfind("rename ", 0) == 0 && step.find(".NEW ") != std::string::npos)
            replaced.push_back(step.substr(step.rfind(' ') + 1));
    }
    EXPECT_EQ(opened, expectedOpened);
    EXPECT_EQ(replaced, changed);
    EXPECT_EQ(ReadDatabase(environment.DatabaseFolder()), newImage);
}

TEST_F(CardSaveTest, FilesThatHoldTheirNewBytesAreLeftAsTheyAre) {
    const std::string folder = environment.DatabaseFolder();
    WriteDatabase(folder, oldCopy);
    std::map<std::string, fs::file_time_type> before;
    for (const char* name : kDatabaseFiles) before[name] = fs::last_write_time(folder + name);
    // A time the save cannot give a file it writes.
    const fs::file_time_type past = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (const char* name : kDatabaseFiles) fs::last_write_time(folder + name, past);
    SetCardFileSystem(&files);
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ReadDatabase(folder), newImage);
    for (const char* name : kDatabaseFiles)
        EXPECT_EQ(fs::last_write_time(folder + name) == past, oldImage.at(name) == newImage.at(name)) << name;

    // Nothing changed since: nothing is opened, renamed or synced, and the set stands.
    files = CFailingFileSystem();
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(files.log, std::vector<std::string>{});
    EXPECT_EQ(files.syncs, 0);
    EXPECT_EQ(FileNames(folder), kSevenFiles);
    EXPECT_EQ(ReadDatabase(folder), newImage);
}

// A file is left only when it holds every byte of its new contents and no more.
TEST_F(CardSaveTest, AFileIsLeftOnlyWhenItHoldsExactlyItsNewBytes) {
    const std::string folder = environment.Dir().File("set/");
    fs::create_directories(folder);
    // Larger than one piece of the comparison, so that a late difference is seen.
    std::string contents(200000, 'x');
    for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>('a' + i % 23);
    const auto writer = [&contents](std::ostream& out) { return bool(out.write(contents.data(), contents.size())); };
    const std::string lastByteDiffers = contents.substr(0, contents.size() - 1) + "#";
    const struct {
        const char* what;
        std::string onCard;
        bool present;
        bool left;
    } cases[] = {
        {"the same bytes", contents, true, true},
        {"the last byte differs", lastByteDiffers, true, false},
        {"a byte past the first piece differs", contents.substr(0, 70000) + "#" + contents.substr(70001), true, false},
        {"one byte more", contents + "x", true, false},
        {"one byte fewer", contents.substr(0, contents.size() - 1), true, false},
        {"empty", std::string(), true, false},
        {"no file", std::string(), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(folder + "DATA.BIN");
        if (c.present) std::ofstream(folder + "DATA.BIN", std::ios::binary) << c.onCard;
        files = CFailingFileSystem();
        SetCardFileSystem(&files);
        ASSERT_TRUE(CCardFileSet::Replace(CCardFolder::OpenPath(folder), {{"DATA.BIN", writer}}));
        SetCardFileSystem(nullptr);
        EXPECT_EQ(std::find(files.log.begin(), files.log.end(), "open DATA.NEW") == files.log.end(), c.left);
        std::ifstream in(folder + "DATA.BIN", std::ios::binary);
        const std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(now == contents);
        EXPECT_EQ(FileNames(folder), std::set<std::string>{"DATA.BIN"});
    }
}

TEST_F(CardSaveTest, AFailureAnywhereLeavesTheOldOrTheNewDatabase) {
    const std::string folder = environment.DatabaseFolder();
    const std::vector<std::string> operations = UndisturbedSave();
    for (int error : {ENOSPC, EIO}) {
        for (int failAt = 1;; ++failAt) {
            // A card that is full answers only where bytes or names are added.
            if (error == ENOSPC && failAt <= static_cast<int>(operations.size())
                && operations[static_cast<size_t>(failAt - 1)].rfind("open", 0) != 0
                && operations[static_cast<size_t>(failAt - 1)].rfind("write", 0) != 0)
                continue;
            SCOPED_TRACE("failure at operation " + std::to_string(failAt) + (error == ENOSPC ? ", card full" : ""));
            WriteDatabase(folder, oldCopy);
            files = CFailingFileSystem();
            files.failAt = failAt;
            files.error = error;
            document.SetModified(1);
            const bool saved = document.Save();
            const std::string live = Whole(ReadDatabase(folder));
            EXPECT_NE(live, "mixed");
            if (saved) {
                EXPECT_EQ(live, "new");
            } else {
                EXPECT_TRUE(document.NeedsSaving());
            }
            // The next connect leaves exactly the seven files, whole.
            files.failAt = 0;
            CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
            EXPECT_EQ(FileNames(folder), kSevenFiles);
            EXPECT_EQ(Whole(ReadDatabase(folder)), live);
            if (!files.triggered) break;  // every operation has failed once
            ASSERT_LT(failAt, 200);
        }
    }
}

TEST_F(CardSaveTest, ACardPulledOutMidWayIsWholeAtTheNextConnect) {
    const std::string folder = environment.DatabaseFolder();
    SetCardFileSystem(&files);
    std::set<std::string> outcomes;
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE("everything fails from operation " + std::to_string(failAt));
        WriteDatabase(folder, oldCopy);
        files = CFailingFileSystem();
        files.failAt = failAt;
        files.sticky = true;
        document.SetModified(1);
        document.Save();
        files.failAt = 0;  // the card is back
        CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
        EXPECT_EQ(FileNames(folder), kSevenFiles);
        const std::string recovered = Whole(ReadDatabase(folder));
        EXPECT_NE(recovered, "mixed");
        outcomes.insert(recovered);
        if (!files.triggered) break;
        ASSERT_LT(failAt, 200);
    }
    EXPECT_EQ(outcomes, (std::set<std::string>{"old", "new"}));
}

TEST_F(CardSaveTest, ACardPulledOutWhileAFailedSaveIsUndoneIsWholeAtTheNextConnect) {
    const std::string folder = environment.DatabaseFolder();
    const std::vector<std::string> operations = UndisturbedSave();
    // The mark of a complete new set that cannot be finished, and a replacement that fails
    // half-way through the set: the new copies are taken away again.
    for (const char* failure : {"finish NEWSET.OK", "rename SL_BEST.NEW SL_BEST.Q3D"}) {
        const auto failing = std::find(operations.begin(), operations.end(), failure);
        ASSERT_NE(failing, operations.end()) << failure;
        const int failAt = static_cast<int>(failing - operations.begin()) + 1;
        for (int pulledAt = failAt + 1;; ++pulledAt) {
            SCOPED_TRACE(std::string(failure) + " fails, the card pulled out at operation " + std::to_string(pulledAt));
            WriteDatabase(folder, oldCopy);
            files = CFailingFileSystem();
            files.failAt = failAt;
            files.pulledAt = pulledAt;
            document.SetModified(1);
            EXPECT_FALSE(document.Save());
            const bool pulled = files.count >= pulledAt;
            files.failAt = files.pulledAt = 0;  // the card is back
            CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
            EXPECT_EQ(FileNames(folder), kSevenFiles);
            EXPECT_NE(Whole(ReadDatabase(folder)), "mixed");
            if (!pulled) break;
            ASSERT_LT(pulledAt, 200);
        }
    }
}

TEST_F(CardSaveTest, AnIconFileThatFailsStaysChanged) {
    const std::string folder = environment.DatabaseFolder();
    CSongX* alpha = document.GetSong(0).get();
    CSongX* beat = document.GetSong(1).get();
    document.MarkChanged(alpha);
    document.MarkChanged(beat);
    ASSERT_TRUE(document.Save());
    SetCardFileSystem(&files);
    // The icon files' operations of an undisturbed save (they name the files by slot: 0000 and
    // 0001); a failure of the database's own operations is another test's matter.
    document.MarkChanged(alpha);
    document.MarkChanged(beat);
    ASSERT_TRUE(document.Save());
    std::vector<int> iconOperations;
    for (size_t i = 0; i < files.log.size(); ++i)
        if (files.log[i].find(" 000") != std::string::npos && files.log[i] != "sync 000")
            iconOperations.push_back(static_cast<int>(i) + 1);
    ASSERT_EQ(iconOperations.size(), 10u);  // open, write, sync, finish and rename of each
    for (int failAt : iconOperations) {
        SCOPED_TRACE("failure at operation " + std::to_string(failAt));
        files = CFailingFileSystem();
        files.failAt = failAt;
        alpha->SetTitle("Alpha " + std::to_string(failAt));
        beat->SetProtected(failAt % 2 == 1);
        document.MarkChanged(alpha);
        document.MarkChanged(beat);
        environment.textDialog.shown.clear();
        const bool saved = document.WriteToUnit();
        ASSERT_TRUE(files.triggered);
        // Each icon file is either the new one or untouched, never half-written.
        for (CSongX* song : {alpha, beat}) {
            CSongX read;
            const std::string icon = CIconFileStore::GetIconPath(environment.CardDrive() + song->GetPath());
            ASSERT_TRUE(CIconFileStore::GetInstance().ReadIconFile(icon, read));
            const bool written = document.GetChangedSongs().count(song) == 0;
            if (written) {
                EXPECT_EQ(read.GetTitle(), song->GetTitle());
                EXPECT_EQ(read.IsProtected(), song->IsProtected());
            }
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(document.GetChangedSongs().size(), 1u);
        EXPECT_EQ(document.GetModified(), 0);  // the database was written
        EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{"Failed to write to the unit."}));
        EXPECT_TRUE(FileNames(folder + "000").count("0000.NEW") == 0);
        files.failAt = 0;
        ASSERT_TRUE(document.Save());  // the next save writes what is left
        EXPECT_FALSE(document.NeedsSaving());
    }
}

TEST_F(CardSaveTest, ManyIconFilesAreMadeDurableInOnePass) {
    // 250 songs over three song folders, every one renamed.
    while (document.GetSlotCount() < 250) document.MoveToSongs(AddSong(document, ".MP3", "Song"));
    auto renameAll = [&](const std::string& prefix) {
        for (int slot = 0; slot < 250; ++slot) {
            document.GetSong(slot)->SetTitle(prefix + std::to_string(slot));
            document.MarkChanged(document.GetSong(slot).get());
        }
    };
    auto titlesOnCard = [&] {
        std::set<std::string> titles;
        for (int slot = 0; slot < 250; ++slot) {
            CSongX read;
            const std::string icon =
                CIconFileStore::GetIconPath(environment.CardDrive() + document.GetSong(slot)->GetPath());
            titles.insert(CIconFileStore::GetInstance().ReadIconFile(icon, read) ? read.GetTitle() : "none");
        }
        return titles;
    };
    auto noneLeft = [&] {
        for (const std::string& file : cardtest::FilesBelow(environment.DatabaseFolder()))
            if (file.find(".NEW") != std::string::npos || file.find(".OLD") != std::string::npos) return false;
        return true;
    };
    SetCardFileSystem(&files);
    renameAll("First ");
    ASSERT_TRUE(document.Save());
    EXPECT_LE(files.syncs, 50);
    EXPECT_EQ(titlesOnCard().count("none"), 0u);
    const std::set<std::string> first = titlesOnCard();

    // The file system's sync fails before the renames, then after them: no icon counts as
    // written, nothing is left behind, and the next save writes them all.
    class CFailingSync : public CFailingFileSystem {
    public:
        bool SyncFileSystem(const CCardFolder& folder) override {
            return ++calls != failingCall && CFailingFileSystem::SyncFileSystem(folder);
        }
        int calls = 0;
        int failingCall = 0;
    };
    for (int failingCall : {1, 2}) {
        SCOPED_TRACE("sync " + std::to_string(failingCall) + " fails");
        CFailingSync failing;
        failing.failingCall = failingCall;
        SetCardFileSystem(&failing);
        renameAll("Second ");
        EXPECT_FALSE(document.Save());
        EXPECT_EQ(document.GetChangedSongs().size(), 250u);
        EXPECT_TRUE(noneLeft());
        if (failingCall == 1) {
            EXPECT_EQ(titlesOnCard(), first);
        }
        SetCardFileSystem(&files);
        ASSERT_TRUE(document.Save());
        EXPECT_FALSE(document.NeedsSaving());
        EXPECT_EQ(titlesOnCard().count("Second 249"), 1u);
        renameAll("First ");
        ASSERT_TRUE(document.Save());
    }
}

TEST_F(CardSaveTest, NoRoomForIconFilesWritesNoneAndSaysSo) {
    cardtest::CFixedDiskSpace space;
    space.figures.freeBytes = 1048576 + 4096;  // one icon's cluster beyond the spare mebibyte
    platform::SetDiskSpaceSource(&space);
    CSongX* alpha = document.GetSong(0).get();
    const std::string icon = CIconFileStore::GetIconPath(environment.CardDrive() + alpha->GetPath());
    const Bytes before = cardtest::ReadFile(icon);
    alpha->SetTitle("Renamed");
    document.MarkChanged(alpha);
    document.MarkChanged(document.GetSong(1).get());
    EXPECT_FALSE(document.WriteToUnit());
    EXPECT_EQ(environment.textDialog.Texts(),
              (std::vector<std::string>{"Insufficient free space on the unit.", "Failed to write to the unit."}));
    EXPECT_EQ(cardtest::ReadFile(icon), before);
    EXPECT_EQ(document.GetChangedSongs().size(), 2u);

    space.available = false;
    environment.textDialog.shown.clear();
    EXPECT_FALSE(document.WriteToUnit());
    EXPECT_EQ(environment.textDialog.Texts(),
              (std::vector<std::string>{"Failed to write to the unit.", "Failed to write to the unit."}));
    platform::SetDiskSpaceSource(nullptr);
}

// Each file as its old or its new bytes, by name; "cut" for anything else.
std::map<std::string, std::string> OldOrNewEach(const CFolderImage& image, const CFolderImage& oldImage,
                                                const CFolderImage& newImage) {
    std::map<std::string, std::string> each;
    for (const char* name : kDatabaseFiles) {
        const auto found = image.find(name);
        each[name] = found == image.end()                 ? "missing"
                     : found->second == oldImage.at(name) ? "old"
                     : found->second == newImage.at(name) ? "new"
                                                          : "cut";
    }
    return each;
}

// A card with room for the icon files and one database file's new copy, not for a new set: the
// files that change are replaced one at a time, each written beside its name, synced and renamed
// over it, never written over in place. Whatever fails or wherever the program stops, every file
// is then its old bytes or its new bytes, and OK means all are new.
TEST_F(CardSaveTest, ACardTooFullForANewSetHasItsFilesReplacedOneAtATime) {
    cardtest::CFixedDiskSpace space;
    space.figures.freeBytes = 2 * 1048576;
    platform::SetDiskSpaceSource(&space);
    const std::string folder = environment.DatabaseFolder();
    const std::vector<std::string> operations = UndisturbedSave();
    EXPECT_EQ(Whole(ReadDatabase(folder)), "new");
    EXPECT_EQ(FileNames(folder), kSevenFiles);
    std::vector<std::string> expected;
    for (const char* name : kDatabaseFiles) {
        if (oldImage.at(name) == newImage.at(name)) continue;
        const std::string fresh = CCardFileSet::NewName(name);
        for (const std::string& step :
             {"open " + fresh, "write " + fresh, "sync " + fresh, "finish " + fresh, "rename " + fresh + " " + name})
            expected.push_back(step);
        expected.push_back("sync DB");
    }
    EXPECT_EQ(operations, expected);
    EXPECT_TRUE(fs::is_empty(CDomain::GetInstance().GetWorkFolder()));

    std::set<std::string> outcomes;
    for (int error : {ENOSPC, EIO}) {
        for (bool killed : {false, true}) {
            for (int failAt = 1; failAt <= static_cast<int>(operations.size()); ++failAt) {
                SCOPED_TRACE(std::string(killed ? "stopped before " : "failed with " + std::to_string(error) + " at ")
                             + operations[static_cast<size_t>(failAt - 1)]);
                WriteDatabase(folder, oldCopy);
                files = CFailingFileSystem();
                files.failAt = failAt;
                files.error = error;
                files.sticky = killed;
                document.SetModified(1);
                const bool saved = document.Save();
                const auto each = OldOrNewEach(ReadDatabase(folder), oldImage, newImage);
                for (const auto& file : each) EXPECT_TRUE(file.second == "old" || file.second == "new") << file.first;
                EXPECT_FALSE(saved);
                // The next connect leaves exactly the seven files, each as it was.
                files = CFailingFileSystem();
                CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
                EXPECT_EQ(FileNames(folder), kSevenFiles);
                EXPECT_EQ(OldOrNewEach(ReadDatabase(folder), oldImage, newImage), each);
                for (const auto& file : each) outcomes.insert(file.second);
            }
        }
    }
    EXPECT_EQ(outcomes, (std::set<std::string>{"old", "new"}));
    platform::SetDiskSpaceSource(nullptr);
}

// The same way with an icon file to write too: wherever a failure (a full card, EIO) or a stop
// meets the save, every database file and the icon file is its old bytes or its new bytes, OK
// means all are new, and the next connect reads the card with nothing left beside its files.
TEST_F(CardSaveTest, ACardTooFullForANewSetLeavesEveryFileOldOrNewWhateverStopsIt) {
    cardtest::CFixedDiskSpace space;
    space.figures.freeBytes = 2 * 1048576;
    platform::SetDiskSpaceSource(&space);
    const std::string folder = environment.DatabaseFolder();
    const std::string icon = CIconFileStore::GetIconPath(environment.CardDrive() + document.GetSong(0)->GetPath());
    const std::string songFolder = fs::path(icon).parent_path().string();
    // The edit under test: the database's and a new title.
    const auto edit = [this] {
        CSongX* alpha = document.GetSong(0).get();
        alpha->SetTitle("Renamed");
        document.MarkChanged(alpha);
        document.SetModified(1);
    };
    // The card of the old edit, and the document of the new one read from it, as a connect does.
    const auto reconnectTo = [&](const std::string& copy) {
        SetCardFileSystem(nullptr);
        WriteDatabase(folder, copy);
        document.Reset();
        environment.Connect();
        ASSERT_TRUE(document.ReadFromUnit(true));
    };
    document.GetSong(0)->SetTitle("Alpha");
    document.MarkChanged(document.GetSong(0).get());
    ASSERT_TRUE(document.Save());
    const Bytes oldIcon = cardtest::ReadFile(icon);
    reconnectTo(newCopy);
    edit();
    WriteDatabase(folder, oldCopy);
    SetCardFileSystem(&files);
    ASSERT_TRUE(document.Save());
    const std::vector<std::string> operations = files.log;
    const Bytes newIcon = cardtest::ReadFile(icon);
    ASSERT_NE(oldIcon, newIcon);
    EXPECT_EQ(ReadDatabase(folder), newImage);
    EXPECT_EQ(std::find(operations.begin(), operations.end(), "open NEWSET.OK"), operations.end());
    EXPECT_NE(std::find(operations.begin(), operations.end(), "rename 0000.NEW 0000.Q3I"), operations.end());
    EXPECT_NE(std::find(operations.begin(), operations.end(), "rename PLAYLIST.NEW PLAYLIST.Q3D"), operations.end());

    std::set<std::string> outcomes;
    for (int error : {ENOSPC, EIO}) {
        for (bool killed : {false, true}) {
            for (size_t failAt = 1; failAt <= operations.size(); ++failAt) {
                SCOPED_TRACE(std::string(killed ? "stopped before " : "failed with " + std::to_string(error) + " at ")
                             + operations[failAt - 1]);
                reconnectTo(newCopy);
                WriteDatabase(folder, oldCopy);
                gbxtest::WriteBytes(icon, oldIcon);
                edit();
                files = CFailingFileSystem();
                files.failAt = static_cast<int>(failAt);
                files.error = error;
                files.sticky = killed;
                SetCardFileSystem(&files);
                const bool saved = document.Save();
                auto each = OldOrNewEach(ReadDatabase(folder), oldImage, newImage);
                const Bytes iconNow = cardtest::ReadFile(icon);
                each["icon"] = iconNow == oldIcon ? "old" : iconNow == newIcon ? "new" : "cut";
                for (const auto& file : each) {
                    EXPECT_TRUE(file.second == "old" || file.second == "new") << file.first;
                    if (saved) {
                        EXPECT_EQ(file.second, "new") << file.first;
                    }
                    outcomes.insert(file.second);
                }
                // The next connect reads the card as it is, and leaves nothing beside its files.
                SetCardFileSystem(nullptr);
                document.Reset();
                environment.Connect();
                ASSERT_TRUE(document.ReadFromUnit(true));
                EXPECT_EQ(FileNames(folder), kSevenFiles);
                EXPECT_EQ(FileNames(songFolder), std::set<std::string>{"0000.Q3I"});
                EXPECT_EQ(document.GetSong(0)->GetTitle(), each["icon"] == "new" ? "Renamed" : "Alpha");
                auto after = OldOrNewEach(ReadDatabase(folder), oldImage, newImage);
                after["icon"] = each["icon"];
                EXPECT_EQ(after, each);
            }
        }
    }
    EXPECT_EQ(outcomes, (std::set<std::string>{"old", "new"}));
    platform::SetDiskSpaceSource(nullptr);
}

// Without room for even the largest changed file's new copy beside it, the save is refused before
// anything on the card changes; a file system that tells no space at all (0 blocks) takes the
// new-set way.
TEST_F(CardSaveTest, TheRoomForTheDatabaseIsAskedBeforeAnythingIsWritten) {
    cardtest::CFixedDiskSpace space;
    platform::SetDiskSpaceSource(&space);
    const std::string folder = environment.DatabaseFolder();
    CSongX* alpha = document.GetSong(0).get();
    const std::string icon = CIconFileStore::GetIconPath(environment.CardDrive() + alpha->GetPath());
    ASSERT_NE(oldImage.at("PLAYLIST.Q3D"), newImage.at("PLAYLIST.Q3D"));
    // Room for the icon file and the lists' copies, not for the name table's.
    space.figures.freeBytes = 1048576 + 512 * 1024;
    WriteDatabase(folder, oldCopy);
    const auto before = cardtest::ReadFile(icon);
    SetCardFileSystem(&files);
    alpha->SetTitle("Renamed");
    document.MarkChanged(alpha);
    document.SetModified(1);
    environment.textDialog.shown.clear();
    EXPECT_FALSE(document.WriteToUnit());
    EXPECT_EQ(environment.textDialog.Texts(), std::vector<std::string>{"Failed to write to the unit."});
    EXPECT_EQ(files.log, std::vector<std::string>{});
    EXPECT_EQ(ReadDatabase(folder), oldImage);
    EXPECT_EQ(cardtest::ReadFile(icon), before);
    EXPECT_TRUE(document.NeedsSaving());

    // 0 total blocks, 0 free: the new set, whole (the icon file waits: its room is unknown).
    document.ClearChanges();
    document.SetModified(1);
    space.figures.totalBytes = 0;
    space.figures.freeBytes = 0;
    files = CFailingFileSystem();
    EXPECT_TRUE(document.WriteToUnit());
    EXPECT_NE(std::find(files.log.begin(), files.log.end(), "open NEWSET.OK"), files.log.end());
    EXPECT_EQ(ReadDatabase(folder), newImage);
    EXPECT_EQ(FileNames(folder), kSevenFiles);
    platform::SetDiskSpaceSource(nullptr);
}

TEST_F(CardSaveTest, AnInPlaceSaveIsNotUndoneByAnEarlierSetLeftBehind) {
    // A complete set of an earlier save whose replacement could not be finished nor undone.
    const std::string folder = environment.DatabaseFolder();
    WriteDatabase(folder, oldCopy);
    for (const char* name : kDatabaseFiles) fs::copy_file(oldCopy + name, folder + CCardFileSet::NewName(name));
    gbxtest::WriteText(folder + CCardFileSet::CompleteMarkName(), "");
    cardtest::CFixedDiskSpace space;
    space.figures.freeBytes = 2 * 1048576;
    platform::SetDiskSpaceSource(&space);
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    platform::SetDiskSpaceSource(nullptr);
    CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
    EXPECT_EQ(FileNames(folder), kSevenFiles);
    EXPECT_EQ(Whole(ReadDatabase(folder)), "new");
}

TEST_F(CardSaveTest, LeftoversAreFinishedOrRemovedOnConnect) {
    const std::string folder = environment.DatabaseFolder();
    struct Case {
        const char* name;
        std::function<void()> leave;
        const char* expected;
    } cases[] = {
        {"new copies never completed",
         [&] {
             WriteDatabase(folder, oldCopy);
             for (const char* name : kDatabaseFiles)
                 fs::copy_file(newCopy + name, folder + CCardFileSet::NewName(name));
         },
         "old"},
        {"complete new set, half swapped", [&] { LeaveHalfSwappedSet(); }, "new"},
        {"swapped, old copies not yet removed",
         [&] {
             WriteDatabase(folder, newCopy);
             for (const char* name : kDatabaseFiles)
                 fs::copy_file(oldCopy + name, folder + CCardFileSet::OldName(name));
             gbxtest::WriteText(folder + CCardFileSet::CompleteMarkName(), "");
         },
         "new"},
        {"one old file aside without its mark",
         [&] {
             WriteDatabase(folder, oldCopy);
             fs::rename(folder + "SL_BEST.Q3D", folder + CCardFileSet::OldName("SL_BEST.Q3D"));
         },
         "old"},
        {"empty folders where an old copy and the mark were",
         [&] {
             WriteDatabase(folder, oldCopy);
             fs::create_directory(folder + CCardFileSet::OldName("SL_RHYTM.Q3D"));
             fs::create_directory(folder + CCardFileSet::CompleteMarkName());
         },
         "old"},
    };
    for (const Case& c : cases) {
        c.leave();
        document.Reset();
        environment.Connect();
        ASSERT_TRUE(document.ReadFromUnit(true)) << c.name;
        EXPECT_EQ(FileNames(folder), kSevenFiles) << c.name;
        EXPECT_EQ(Whole(ReadDatabase(folder)), c.expected) << c.name;
    }

    // Icon files: a complete new copy whose target is gone takes its place; others go.
    const std::string songs = folder + "000/";
    for (int slot = 0; slot < 3; ++slot) document.MarkChanged(document.GetSong(slot).get());
    ASSERT_TRUE(document.Save());
    CSongX probe;
    probe.SetTitle("From the new copy");
    ASSERT_TRUE(CIconFileStore::GetInstance().WriteIconFile(probe, songs + "0000.Q3I"));
    fs::rename(songs + "0000.Q3I", songs + "0000.NEW");
    gbxtest::WriteText(songs + "0001.NEW", "half");
    // A file that no song's icon write leaves is not ours to take away.
    ASSERT_TRUE(CIconFileStore::GetInstance().WriteIconFile(probe, songs + "notes.Q3I"));
    fs::rename(songs + "notes.Q3I", songs + "notes.NEW");
    gbxtest::WriteText(songs + "other.NEW", "a user's file");
    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.ReadFromUnit(true));
    EXPECT_EQ(document.GetSong(0)->GetTitle(), "From the new copy");
    EXPECT_EQ(FileNames(songs), (std::set<std::string>{"0000.Q3I", "0001.Q3I", "notes.NEW", "other.NEW"}));
}

// The first removal of the mark or of an old copy that comes after a rename with no sync of the
// folder between them; empty when there is none.
std::string FirstRemovalBeforeTheRenamesLast(const std::vector<std::string>& log) {
    bool renamed = false;
    for (const std::string& step : log) {
        const bool removesOld =
            step.rfind("remove ", 0) == 0 && step.size() > 4 && step.compare(step.size() - 4, 4, ".OLD") == 0;
        if (step.rfind("rename ", 0) == 0)
            renamed = true;
        else if (step == "sync DB")
            renamed = false;
        else if (renamed && (step == "remove NEWSET.OK" || removesOld))
            return step;
    }
    return std::string();
}

// Wherever a set is finished or put back (a save whose replacement fails half-way, the next
// connect finishing a complete set or taking back one that is not), the renames are made durable
// before the mark or an old copy goes: on FAT a removal may otherwise reach the card first, and
// the next connect would keep a mixed set or lose a file whose new copy lost its target.
TEST_F(CardSaveTest, TheRenamesLastBeforeTheMarkOrAnOldCopyGoes) {
    const std::string folder = environment.DatabaseFolder();
    const std::vector<std::string> operations = UndisturbedSave();
    const auto failing = std::find(operations.begin(), operations.end(), "rename SL_BEST.NEW SL_BEST.Q3D");
    ASSERT_NE(failing, operations.end());
    const struct {
        const char* name;
        std::function<void()> run;
        const char* expected;
    } cases[] = {
        {"a save whose replacement fails half-way",
         [&] {
             WriteDatabase(folder, oldCopy);
             files.failAt = static_cast<int>(failing - operations.begin()) + 1;
             document.SetModified(1);
             EXPECT_FALSE(document.Save());
         },
         "old"},
        {"a connect finishing a complete set",
         [&] {
             LeaveHalfSwappedSet();
             CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
         },
         "new"},
        {"a connect taking back a set with a link among its copies",
         [&] {
             LeaveHalfSwappedSet("SL_BEST.Q3D");
             CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
         },
         "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files = CFailingFileSystem();
        c.run();
        EXPECT_NE(std::find(files.log.begin(), files.log.end(), "remove NEWSET.OK"), files.log.end());
        EXPECT_EQ(FirstRemovalBeforeTheRenamesLast(files.log), "");
        EXPECT_EQ(FileNames(folder), kSevenFiles);
        EXPECT_EQ(Whole(ReadDatabase(folder)), c.expected);
    }
}

TEST_F(CardSaveTest, AFailedStepOfRecoveryKeepsTheSetForTheNextConnect) {
    // A complete new set that the save could not swap in: the next connect finishes it. Each
    // step of that recovery fails once; the connect it fails in refuses the card and deletes
    // nothing, and the connect after it finds the whole new set.
    const std::string folder = environment.DatabaseFolder();
    auto leave = [&] {
        WriteDatabase(folder, oldCopy);
        for (const char* name : kDatabaseFiles) fs::copy_file(newCopy + name, folder + CCardFileSet::NewName(name));
        gbxtest::WriteText(folder + CCardFileSet::CompleteMarkName(), "");
    };
    CDocumentModel& model = CDocumentModel::GetInstance();
    SetCardFileSystem(&files);
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE("failure at operation " + std::to_string(failAt));
        leave();
        files = CFailingFileSystem();
        files.failAt = failAt;
        document.Reset();
        environment.Connect();
        environment.textDialog.shown.clear();
        model.Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
        if (!files.triggered) {
            EXPECT_TRUE(document.IsConnected());
            break;  // every step has failed once
        }
        SCOPED_TRACE(files.log.back());
        EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{"Failed to read from the unit."}));
        EXPECT_FALSE(document.IsConnected());
        EXPECT_TRUE(fs::exists(folder + CCardFileSet::CompleteMarkName()));
        model.Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, environment.CardDrive()));

        files.failAt = 0;
        document.Reset();
        environment.Connect();
        ASSERT_TRUE(document.ReadFromUnit(true));
        EXPECT_EQ(FileNames(folder), kSevenFiles);
        EXPECT_EQ(Whole(ReadDatabase(folder)), "new");
        ASSERT_LT(failAt, 100);
    }
}

TEST_F(CardSaveTest, ANewSongsIconLeftoverIsSettledOnConnect) {
    const std::string songs = environment.DatabaseFolder() + "000/";
    // The card pulled out inside the icon write of a song that the save adds: its new copy
    // stays, and the database never names the song.
    CSongX* added = AddSong(document, ".WAV", "Added");
    document.MarkChanged(added);
    SetCardFileSystem(&files);
    files.pulledAt = 2;  // finishing the new copy
    EXPECT_FALSE(document.Save());
    ASSERT_EQ(files.log.front(), "open 0003.NEW");
    ASSERT_TRUE(fs::exists(songs + "0003.NEW"));
    files = CFailingFileSystem();  // the card is back
    // A complete one of another unnamed slot, in a folder that holds no song of the database.
    CSongX probe;
    probe.SetTitle("Never saved");
    fs::create_directories(environment.DatabaseFolder() + "001");
    ASSERT_TRUE(CIconFileStore::GetInstance().WriteIconFile(probe, environment.DatabaseFolder() + "001/0100.Q3I"));
    fs::rename(environment.DatabaseFolder() + "001/0100.Q3I", environment.DatabaseFolder() + "001/0100.NEW");

    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.ReadFromUnit(true));
    EXPECT_FALSE(document.GetSong(3) && document.GetSong(3)->IsUsed());
    EXPECT_EQ(FileNames(songs).count("0003.NEW"), 0u);
    EXPECT_TRUE(FileNames(environment.DatabaseFolder() + "001").empty());
}

TEST_F(CardSaveTest, AnUnreadableDatabaseRefusesTheVolumeUntilItGoes) {
    CDocumentModel& model = CDocumentModel::GetInstance();
    const std::string folder = environment.DatabaseFolder();
    Bytes damaged = cardtest::ReadFile(folder + "SONGNAME.Q3D");
    damaged[0] = 'X';
    gbxtest::WriteBytes(folder + "SONGNAME.Q3D", damaged);
    const CFolderImage before = ReadDatabase(folder);

    document.Reset();
    const std::string drive = environment.FindCard();
    ASSERT_EQ(drive, environment.CardDrive());
    document.SetCardRoot(CDocX::MakeCardRoot(drive));
    model.Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
    EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{"Failed to read from the unit."}));
    EXPECT_FALSE(document.IsConnected());
    EXPECT_TRUE(document.IsRefusedVolume(drive));
    EXPECT_EQ(environment.FindCard(), "");
    EXPECT_EQ(ReadDatabase(folder), before);  // nothing written to it

    // Its removal notice lets it be found again.
    model.Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, drive));
    EXPECT_EQ(environment.FindCard(), drive);
    // So does its leaving the list of volumes.
    model.Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
    document.SetCardRoot(CDocX::MakeCardRoot(drive));
    model.Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
    EXPECT_TRUE(document.IsRefusedVolume(drive));
    {
        gbxtest::ScopedEnvironment noVolumes("GBX_VOLUMES", "");
        EXPECT_EQ(environment.FindCard(), "");
    }
    EXPECT_FALSE(document.IsRefusedVolume(drive));
    EXPECT_EQ(environment.FindCard(), drive);
}

TEST_F(CardSaveTest, AFifoInPlaceOfACardFileIsNotWaitedOn) {
    const std::string path = environment.Dir().File("QM-3/0000.Q3I");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    CFileBytes bytes;
    EXPECT_FALSE(ReadCardFile(path, bytes, 4096));  // before, the open waited for a writer
    EXPECT_TRUE(bytes.empty());
}

TEST_F(CardSaveTest, AFifoInPlaceOfADatabaseFileIsReplacedNotWaitedOn) {
    const std::string path = environment.DatabaseFolder() + "SL_RHYTM.Q3D";
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    document.SetModified(1);
    EXPECT_TRUE(document.Save());  // before, comparing with the old file waited for a writer
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(ReadDatabase(environment.DatabaseFolder()), newImage);
}

TEST_F(CardSaveTest, WriteCardFileReplacesWholeOrNotAtAll) {
    const std::string path = environment.Dir().File("QM-3/file.BIN");
    const CCardFolder folder = CCardFolder::OpenPath(environment.Dir().File("QM-3"));
    gbxtest::WriteText(path, "old contents");
    SetCardFileSystem(&files);
    files.failAt = 3;  // syncing the new copy
    EXPECT_FALSE(WriteCardFile(folder, "file.BIN", [](std::ostream& out) { return bool(out << "new contents"); }));
    EXPECT_EQ(cardtest::ReadFile(path), gbxtest::ToBytes("old contents"));
    EXPECT_FALSE(fs::exists(GetNewFilePath(path)));
    files = CFailingFileSystem();
    EXPECT_FALSE(WriteCardFile(folder, "file.BIN", [](std::ostream& out) {
        out << "partial";
        out.setstate(std::ios::badbit);
        return false;
    }));
    EXPECT_EQ(cardtest::ReadFile(path), gbxtest::ToBytes("old contents"));
    EXPECT_TRUE(WriteCardFile(folder, "file.BIN", [](std::ostream& out) { return bool(out << "new contents"); }));
    EXPECT_EQ(cardtest::ReadFile(path), gbxtest::ToBytes("new contents"));
    EXPECT_EQ(GetNewFilePath(path), environment.Dir().File("QM-3/file.NEW"));
    EXPECT_EQ(files.log, (std::vector<std::string>{"open file.NEW", "write file.NEW", "sync file.NEW",
                                                   "finish file.NEW", "rename file.NEW file.BIN", "sync QM-3"}));
}

TEST_F(CardSaveTest, TheDatabaseFolderIsSyncedBeforeTheFirstRenameAndAfterTheLast) {
    UndisturbedSave();
    const std::vector<std::string>& trace = files.log;
    std::vector<size_t> renames, folderSyncs, fileSyncs;
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].rfind("rename ", 0) == 0) renames.push_back(i);
        if (trace[i] == "sync DB") folderSyncs.push_back(i);
        if (trace[i].rfind("sync ", 0) == 0 && trace[i] != "sync DB") fileSyncs.push_back(i);
    }
    ASSERT_FALSE(renames.empty());
    const size_t mark = std::find(trace.begin(), trace.end(), "sync NEWSET.OK") - trace.begin();
    ASSERT_LT(mark, trace.size()) << "the mark is synced";
    // Once every new copy and the mark are synced, and before the first rename.
    EXPECT_TRUE(std::any_of(folderSyncs.begin(), folderSyncs.end(),
                            [&](size_t at) { return at > mark && at > fileSyncs.back() && at < renames.front(); }));
    // Again after the last rename, before the save answers.
    ASSERT_FALSE(folderSyncs.empty());
    EXPECT_GT(folderSyncs.back(), renames.back());
    EXPECT_EQ(ReadDatabase(environment.DatabaseFolder()), newImage);
}

TEST_F(CardSaveTest, AReadOnlyFileEndsWritableWhetherWrittenOrLeft) {
    const std::string folder = environment.DatabaseFolder();
    WriteDatabase(folder, oldCopy);
    // The Rhythm list holds its new bytes and is left; the name table is written.
    ASSERT_EQ(oldImage.at("SL_RHYTM.Q3D"), newImage.at("SL_RHYTM.Q3D"));
    ASSERT_NE(oldImage.at("PLAYLIST.Q3D"), newImage.at("PLAYLIST.Q3D"));
    for (const char* name : {"SL_RHYTM.Q3D", "PLAYLIST.Q3D"}) fs::permissions(folder + name, fs::perms(0444));
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    for (const char* name : {"SL_RHYTM.Q3D", "PLAYLIST.Q3D"})
        EXPECT_EQ(fs::status(folder + name).permissions() & fs::perms(0666), fs::perms(0666)) << name;
    EXPECT_EQ(ReadDatabase(folder), newImage);
}

// The names of a folder's entries, folders among them.
std::set<std::string> EntryNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

bool IsOwnFolder(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();  // a trailing "/" follows a link
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsOwnFile(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

// A link where a card file should be: the save replaces the link and never writes, renames,
// removes or grants anything where it leads. (A link in a folder's place refuses the card.)
TEST_F(CardSaveTest, LinksInPlaceOfCardFilesAreReplacedNeverFollowed) {
    const std::string db = environment.DatabaseFolder();
    const std::string outside = environment.Dir().File("outside/");
    // Files off the card that a save must leave as they are: read-only, in a folder of
    // ordinary access.
    auto offCardFile = [&](const std::string& name, const std::string& bytesFrom) {
        fs::copy_file(bytesFrom, outside + name);
        fs::permissions(outside + name, fs::perms(0444));
        return outside + name;
    };
    const struct Case {
        const char* what;
        bool eachFile;  // a card too full for a new set
        std::function<void()> make;
        std::string entry;  // the card's own file or folder afterwards
    } cases[] = {
        {"an icon file's new copy left as a link off the card", false,
         [&] {
             fs::create_directory(db + "000");
             fs::create_symlink(offCardFile("icon", oldCopy + "SL_BEST.Q3D"), db + "000/0000.NEW");
         },
         db + "000/0000.Q3I"},
        {"a list file linked to a file that holds its new bytes", false,
         [&] {
             fs::remove(db + "SL_RHYTM.Q3D");
             fs::create_symlink(offCardFile("rhythm", newCopy + "SL_RHYTM.Q3D"), db + "SL_RHYTM.Q3D");
         },
         db + "SL_RHYTM.Q3D"},
        {"a list file with a second name off the card that holds its new bytes", false,
         [&] {
             fs::remove(db + "SL_RHYTM.Q3D");
             fs::create_hard_link(offCardFile("rhythm", newCopy + "SL_RHYTM.Q3D"), db + "SL_RHYTM.Q3D");
         },
         db + "SL_RHYTM.Q3D"},
        {"a list file linked off the card, on a card too full for a new set", true,
         [&] {
             fs::remove(db + "PLAYLIST.Q3D");
             fs::create_symlink(offCardFile("names", oldCopy + "PLAYLIST.Q3D"), db + "PLAYLIST.Q3D");
         },
         db + "PLAYLIST.Q3D"},
        {"a list file with a second name off the card, on a card too full for a new set", true,
         [&] {
             fs::remove(db + "PLAYLIST.Q3D");
             fs::create_hard_link(offCardFile("names", oldCopy + "PLAYLIST.Q3D"), db + "PLAYLIST.Q3D");
         },
         db + "PLAYLIST.Q3D"},
    };
    cardtest::CFixedDiskSpace space;
    space.figures.freeBytes = 2 * 1048576;  // room for icon files, not for a second database
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(environment.CardDrive() + "/CORVANE/QM/DB");  // a link there, not what it leads to
        fs::create_directories(db);
        WriteDatabase(db, oldCopy);
        fs::remove_all(outside);
        fs::create_directories(outside);
        c.make();
        fs::permissions(outside, fs::perms(0755));
        const auto before = EntriesBelow(outside);
        platform::SetDiskSpaceSource(c.eachFile ? &space : nullptr);
        for (int slot = 0; slot < 3; ++slot) document.MarkChanged(document.GetSong(slot).get());
        document.SetModified(1);
        EXPECT_TRUE(document.WriteToUnit());
        platform::SetDiskSpaceSource(nullptr);
        EXPECT_EQ(EntriesBelow(outside), before);
        EXPECT_EQ(fs::status(outside).permissions(), fs::perms(0755));
        EXPECT_TRUE(IsOwnFolder(db));
        EXPECT_TRUE(IsOwnFile(c.entry));
        EXPECT_EQ(ReadDatabase(db), newImage);
        // The songs' icon files are on the card.
        for (const char* icon : {"0000.Q3I", "0001.Q3I", "0002.Q3I"}) EXPECT_TRUE(IsOwnFile(db + "000/" + icon));
    }
}

// A folder where a list file should be: an empty one is replaced and nothing of it is left;
// one with entries fails the save before anything is written, icon files included.
TEST_F(CardSaveTest, AFolderInAListFilesPlaceIsReplacedOrFailsTheSave) {
    const std::string db = environment.DatabaseFolder();
    cardtest::CFixedDiskSpace space;
    space.figures.freeBytes = 2 * 1048576;
    for (const char* name : {"SL_RHYTM.Q3D", "PLAYLIST.Q3D"}) {
        for (bool withEntries : {false, true}) {
            for (bool eachFile : {false, true}) {
                SCOPED_TRACE(std::string(name) + (withEntries ? ", a folder with entries" : ", an empty folder")
                             + (eachFile ? ", too full for a new set" : ""));
                fs::remove_all(db);
                fs::create_directories(db);
                WriteDatabase(db, oldCopy);
                fs::remove(db + name);
                fs::create_directory(db + name);
                if (withEntries) gbxtest::WriteText(db + name + "/notes.txt", "the user's");
                document.Reset();
                environment.Connect();
                ASSERT_TRUE(document.ReadFromUnit(true));
                const auto before = EntriesBelow(db);
                platform::SetDiskSpaceSource(eachFile ? &space : nullptr);
                // A changed title and protect flag: their icon file is written only with the save.
                CSongX* alpha = document.GetSong(0).get();
                alpha->SetTitle("Retitled");
                alpha->SetProtected(!alpha->IsProtected());
                document.MarkChanged(alpha);
                document.SetModified(1);
                environment.textDialog.shown.clear();
                const bool saved = document.WriteToUnit();
                platform::SetDiskSpaceSource(nullptr);
                if (withEntries) {
                    EXPECT_FALSE(saved);
                    EXPECT_EQ(environment.textDialog.Texts(), std::vector<std::string>{"Failed to write to the unit."});
                    EXPECT_EQ(EntriesBelow(db), before);
                } else {
                    EXPECT_TRUE(saved);
                    std::set<std::string> entries = EntryNames(db);
                    entries.erase("000");  // the song folder, with the icon file
                    EXPECT_EQ(entries, kSevenFiles);
                    EXPECT_TRUE(IsOwnFile(db + name));
                }
                // The card is read again at the next connect either way.
                document.Reset();
                environment.Connect();
                EXPECT_TRUE(document.ReadFromUnit(true));
            }
        }
    }
}

TEST_F(CardSaveTest, AFolderInAListFilesPlaceOnAFatCard) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    const std::string mount = environment.Dir().File("fat");
    fs::create_directories(mount);
    gbxtest::CFatImage image(environment.Dir().File("card.img"), "QM-3", "16M");
    ASSERT_TRUE(image.IsMade());
    if (image.Mount(mount) != 0) GTEST_SKIP() << "fusefat cannot mount here";
    document.SetCardRoot(CDocX::MakeCardRoot(mount));
    const std::string db = mount + "/CORVANE/QM/DB/";
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    const std::string list = db + "SL_RHYTM.Q3D";
    for (bool withEntries : {true, false}) {
        SCOPED_TRACE(withEntries ? "a folder with entries" : "an empty folder");
        fs::remove_all(list);
        fs::create_directory(list);
        if (withEntries) gbxtest::WriteText(list + "/NOTES.TXT", "the user's");
        const auto before = EntriesBelow(db);
        document.SetModified(1);
        environment.textDialog.shown.clear();
        const bool saved = document.WriteToUnit();
        EXPECT_EQ(saved, !withEntries);
        if (withEntries) {
            EXPECT_EQ(environment.textDialog.Texts(), std::vector<std::string>{"Failed to write to the unit."});
            EXPECT_EQ(EntriesBelow(db), before);
        } else {
            EXPECT_EQ(EntryNames(db), kSevenFiles);
            EXPECT_TRUE(IsOwnFile(list));
        }
        document.Reset();
        document.SetCardRoot(CDocX::MakeCardRoot(mount));
        EXPECT_TRUE(document.ReadFromUnit(true));
    }
    document.Reset();
}

// What an interrupted save left, marked complete, where one new copy is not the folder's own file
// (a link off the card, a second name of a file off the card), swapped in half-way or not at
// all: the set is not complete, so the old files stay, the leftovers go, and what the link leads
// to is left as it is.
TEST_F(CardSaveTest, RecoveryTakesOnlyTheFoldersOwnFilesAsNewCopies) {
    const std::string folder = environment.DatabaseFolder();
    const std::string outside = environment.Dir().File("outside/");
    for (const char* odd : {"SL_BEST.Q3D", "SONGNAME.Q3D", "PLAYLIST.Q3D"}) {
        for (bool hardLink : {false, true}) {
            for (bool halfSwapped : {false, true}) {
                for (bool markIsALink : {false, true}) {
                    SCOPED_TRACE(std::string(odd) + (hardLink ? ", a second name" : ", a symbolic link")
                                 + (halfSwapped ? ", half swapped" : "") + (markIsALink ? ", the mark a link" : ""));
                    WriteDatabase(folder, oldCopy);
                    fs::remove_all(outside);
                    fs::create_directories(outside);
                    // The file off the card holds the new bytes, as a new copy would.
                    fs::copy_file(newCopy + odd, outside + "theirs");
                    fs::permissions(outside + "theirs", fs::perms(0444));
                    gbxtest::WriteText(outside + "mark", "");
                    int swapped = 0;
                    for (const char* name : kDatabaseFiles) {
                        const std::string fresh = folder + CCardFileSet::NewName(name);
                        if (std::string(name) == odd) {
                            if (hardLink)
                                fs::create_hard_link(outside + "theirs", fresh);
                            else
                                fs::create_symlink(outside + "theirs", fresh);
                            continue;
                        }
                        fs::copy_file(newCopy + name, fresh);
                        if (halfSwapped && swapped++ < 3) {
                            fs::rename(folder + name, folder + CCardFileSet::OldName(name));
                            fs::rename(fresh, folder + name);
                        }
                    }
                    if (markIsALink)
                        fs::create_symlink(outside + "mark", folder + CCardFileSet::CompleteMarkName());
                    else
                        gbxtest::WriteText(folder + CCardFileSet::CompleteMarkName(), "");
                    const auto before = EntriesBelow(outside);
                    document.Reset();
                    environment.Connect();
                    ASSERT_TRUE(document.ReadFromUnit(true));
                    std::set<std::string> entries = EntryNames(folder);
                    entries.erase("000");
                    EXPECT_EQ(entries, kSevenFiles);
                    for (const char* name : kDatabaseFiles) EXPECT_TRUE(IsOwnFile(folder + name)) << name;
                    EXPECT_EQ(Whole(ReadDatabase(folder)), "old");
                    EXPECT_EQ(EntriesBelow(outside), before);
                }
            }
        }
    }
}

// A card whose entries cannot always be looked at (EIO): a look that fails is no answer, so a
// save that meets one answers OK only with the whole new set in place and nothing beside it,
// and the next connect leaves one whole set.
TEST_F(CardSaveTest, AnEntryThatCannotBeLookedAtIsAFailureNotAbsence) {
    const std::string folder = environment.DatabaseFolder();
    // Both ways of a save: the whole new set beside the old one, and one file at a time on a card
    // too full for a new set, where a failure leaves each file old or new.
    cardtest::CFixedDiskSpace tooFull;
    tooFull.figures.freeBytes = 2 * 1048576;
    for (const bool eachFile : {false, true}) {
        platform::SetDiskSpaceSource(eachFile ? &tooFull : nullptr);
        files = CFailingFileSystem();
        UndisturbedSave();
        const int looks = files.looks;
        ASSERT_GT(looks, 0);
        int refused = 0;
        for (bool sticky : {false, true}) {
            for (int at = 1; at <= looks; ++at) {
                SCOPED_TRACE("looking fails at look " + std::to_string(at) + (sticky ? " and after" : "")
                             + (eachFile ? ", too full for a new set" : ""));
                WriteDatabase(folder, oldCopy);
                files = CFailingFileSystem();
                files.lookFailsAt = at;
                files.sticky = sticky;
                document.SetModified(1);
                const bool saved = document.Save();
                if (saved) {
                    EXPECT_EQ(FileNames(folder), kSevenFiles);
                    EXPECT_EQ(Whole(ReadDatabase(folder)), "new");
                } else {
                    ++refused;
                }
                files = CFailingFileSystem();
                CDatabaseStore::GetInstance().RecoverInterruptedSave(document.GetVolume());
                EXPECT_EQ(FileNames(folder), kSevenFiles);
                if (eachFile) {
                    for (const auto& file : OldOrNewEach(ReadDatabase(folder), oldImage, newImage))
                        EXPECT_TRUE(file.second == "old" || file.second == "new") << file.first;
                } else {
                    EXPECT_NE(Whole(ReadDatabase(folder)), "mixed");
                }
            }
        }
        EXPECT_GT(refused, 0);
    }
    platform::SetDiskSpaceSource(nullptr);
}

// A folder of the card swapped with a link off the card, again and again on another thread, while
// saves run: whatever each save answers, nothing off the card is written, renamed, removed or
// given another access, and the card reads back whole.
TEST_F(CardSaveTest, AFolderSwappedForALinkWhileSavesRunLeadsNowhereOffTheCard) {
    const std::string db = environment.DatabaseFolder();
    const std::string outside = environment.Dir().File("outside/");
    CSongX* alpha = document.GetSong(0).get();
    // Both ways of a save: the whole new set beside the old one, and one file at a time on a card
    // too full for a new set.
    cardtest::CFixedDiskSpace tooFull;
    tooFull.figures.freeBytes = 2 * 1048576;
    for (const bool eachFile : {false, true})
        for (const std::string folder : {"DB", "000"}) {
            SCOPED_TRACE(folder + (eachFile ? ", too full for a new set" : ""));
            platform::SetDiskSpaceSource(eachFile ? &tooFull : nullptr);
            const std::string real = folder == "DB" ? db.substr(0, db.size() - 1) : db + folder;
            const std::string link = fs::path(real).parent_path().string() + "/LINK";
            // What the link leads to looks like the folder: a copy of it, its files the user's own.
            fs::remove_all(outside);
            fs::create_directories(outside);
            fs::copy(real, outside + folder, fs::copy_options::recursive);
            for (const std::string& file : cardtest::FilesBelow(outside))
                fs::permissions(outside + file, fs::perms(0640));
            fs::create_directory_symlink(outside + folder, link);
            const auto before = EntriesBelow(outside);
            std::atomic<bool> stop{false};
            std::atomic<int> swaps{0};
            std::thread swapper([&] {
                while (!stop) {
                    if (renameat2(AT_FDCWD, real.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                }
            });
            int saves = 0;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            for (; saves < 60 && std::chrono::steady_clock::now() < until; ++saves) {
                // Every save writes lists and icon files.
                alpha->SetAlbum("Album " + std::to_string(saves));
                for (int slot = 0; slot < 3; ++slot) {
                    document.GetSong(slot)->SetTitle("Title " + std::to_string(saves));
                    document.MarkChanged(document.GetSong(slot).get());
                }
                document.SetModified(1);
                document.Save();
            }
            stop = true;
            swapper.join();
            if (swaps % 2 != 0) {
                ASSERT_EQ(renameat2(AT_FDCWD, real.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE), 0);
            }
            if (swaps == 0) GTEST_SKIP() << "this file system cannot exchange names";
            platform::SetDiskSpaceSource(nullptr);
            EXPECT_EQ(EntriesBelow(outside), before) << swaps << " swaps during " << saves << " saves";
            fs::remove(link);
            document.Reset();
            environment.Connect();
            EXPECT_TRUE(document.ReadFromUnit(true));
            alpha = document.GetSong(0).get();
        }
}

// A FAT32 card through FUSE answers statfs with 0 blocks: its space tells nothing, and a save
// takes the new-set way, which never writes a file in place. Before, every save emptied the
// database files there (the driver takes no write into a file it emptied) and the next connect
// refused the card.
TEST_F(CardSaveTest, AFat32CardThatTellsNoSpaceIsSavedWhole) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    const std::string mount = environment.Dir().File("fat");
    fs::create_directories(mount);
    gbxtest::CFatImage image(environment.Dir().File("card.img"), "QM-3", "64M", 32);
    ASSERT_TRUE(image.IsMade());
    if (image.Mount(mount) != 0) GTEST_SKIP() << "fusefat cannot mount here";
    document.SetCardRoot(CDocX::MakeCardRoot(mount));
    const std::string db = mount + "/CORVANE/QM/DB/";
    for (int save = 0; save < 2; ++save) {
        SCOPED_TRACE(save == 0 ? "a new database" : "over the database");
        document.SetModified(1);
        EXPECT_TRUE(document.Save());
        EXPECT_EQ(ReadDatabase(db), newImage);
        EXPECT_EQ(FileNames(db), kSevenFiles);
    }
    document.Reset();
    document.SetCardRoot(CDocX::MakeCardRoot(mount));
    EXPECT_TRUE(document.ReadFromUnit(true));
    EXPECT_EQ(document.GetSong(0)->GetAlbum(), "Second");
    document.Reset();
}

}  // namespace
