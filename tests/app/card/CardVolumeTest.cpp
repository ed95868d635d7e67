// A card met as the editor meets it: found among the volumes, connected, loaded, edited,
// saved and disconnected; from a GBX_VOLUMES folder and from a FAT image on FUSE.
#include "app/card/CardDocument.h"

#include "app/card/Domain.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/FatImage.h"
#include "tests/support/OwnMounts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

using cardtest::AddSong;
using cardtest::CCardEnvironment;

// What the main view does to connect: find the card, take its root, announce the attempt.
bool ConnectAsTheViewDoes(const CCardEnvironment& environment) {
    CDocX& document = CCardEnvironment::Document();
    const std::string drive = environment.FindCard();
    if (!drive.empty()) document.SetCardRoot(CDocX::MakeCardRoot(drive));
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
    return document.IsConnected();
}

// Takes the card at a known volume (other tests may present cards of their own meanwhile).
bool ConnectTo(const std::string& drive) {
    CCardEnvironment::Document().SetCardRoot(CDocX::MakeCardRoot(drive));
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
    return CCardEnvironment::Document().IsConnected();
}

// Connect, add songs, save, disconnect, connect again and find them.
void RoundTripOnCard(CCardEnvironment& environment, const std::string& drive, const std::function<bool()>& connect) {
    CDocX& document = CCardEnvironment::Document();
    ASSERT_TRUE(connect());
    EXPECT_EQ(document.GetCardDrive(), drive);
    EXPECT_EQ(document.GetSlotCount(), 0);  // a new card

    CSongX* song = AddSong(document, ".MP3", "On the card", "Artist", "Album", 3);
    document.AddToCategory(song, CDocumentModel::TAB_SONG);
    document.MarkChanged(song);
    fs::create_directories(document.GetSongFolder(0));
    gbxtest::WriteText(song->GetFullPath(), "audio");
    ASSERT_TRUE(document.WriteToUnit());
    EXPECT_TRUE(environment.textDialog.shown.empty());
    EXPECT_TRUE(fs::exists(drive + "/CORVANE/QM/DB/000/0000.Q3I"));
    EXPECT_EQ(fs::file_size(drive + "/CORVANE/QM/DB/SONGNAME.Q3D"), 1024034u);

    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_GONE));
    EXPECT_FALSE(document.IsConnected());
    ASSERT_TRUE(connect());
    ASSERT_EQ(document.GetList(CDocX::LIST_SONGS).size(), 1u);
    const CSongX& back = *document.GetList(CDocX::LIST_SONGS)[0].song;
    EXPECT_EQ(back.GetTitle(), "On the card");
    EXPECT_EQ(back.GetArtist(), "Artist");
    EXPECT_EQ(back.GetAlbum(), "Album");
    EXPECT_EQ(back.GetFileType(), kSongFileMp3);
    EXPECT_EQ(back.GetNumber(), 3);
    EXPECT_EQ(back.GetFullPath(), drive + "/CORVANE/QM/DB/000/0000.MP3");
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_GONE, drive));
}

TEST(CardVolume, AFolderNamedInGbxVolumes) {
    CCardEnvironment environment;
    RoundTripOnCard(environment, environment.CardDrive(), [&] { return ConnectAsTheViewDoes(environment); });
}

TEST(CardVolume, NoCardNoConnection) {
    CCardEnvironment environment;
    gbxtest::ScopedEnvironment noVolumes("GBX_VOLUMES", environment.Dir().File("data"));
    EXPECT_FALSE(ConnectAsTheViewDoes(environment));
    EXPECT_EQ(CCardEnvironment::Document().GetSlotCount(), 0);
}

// A FAT image labelled QM-3, mounted with fusefat on a folder named QM-3.
TEST(CardVolume, AFatImageOnFuse) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;

    CCardEnvironment environment;
    const std::string mount = environment.Dir().File("mnt/QM-3");
    fs::create_directories(mount);
    gbxtest::CFatImage image(environment.Dir().File("card.img"), "QM-3", "32M");
    ASSERT_TRUE(image.IsMade());
    const int mounted = image.Mount(mount);
    if (mounted != 0) GTEST_SKIP() << "fusefat could not mount here (exit " << mounted << ")";

    // Listed among the volumes with the card's label (the listing sees only this test's mount).
    const gbxtest::COwnMounts own({mount}, environment.Dir().File("mountinfo"));
    const GT::CDriveList drives = GT::ListDrives();
    const auto listed =
        std::find_if(drives.begin(), drives.end(), [&](const GT::CDriveRecord& drive) { return drive.first == mount; });
    ASSERT_NE(listed, drives.end());
    EXPECT_EQ(FindCardInDrives({*listed}, {}), mount);
    RoundTripOnCard(environment, mount, [&] { return ConnectTo(mount); });

    // Unmounted, its mount point is a plain folder: nothing is written there.
    CDocX& document = CCardEnvironment::Document();
    document.SetCardRoot(CDocX::MakeCardRoot(mount));
    ASSERT_TRUE(document.IsCardMounted());
    ASSERT_TRUE(image.Unmount());
    EXPECT_FALSE(document.IsCardMounted());
    document.SetModified(1);
    EXPECT_FALSE(document.Save());
    EXPECT_EQ(document.GetSongFolder(5), mount + "/CORVANE/QM/DB/000/");
    EXPECT_TRUE(fs::is_empty(mount));
}

// Every file below a folder with its bytes.
std::map<std::string, std::vector<uint8_t>> FolderImage(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> image;
    for (const std::string& file : cardtest::FilesBelow(folder)) image[file] = gbxtest::ReadBytes(folder + "/" + file);
    return image;
}

// Card A connected and edited; A unmounted and card B, also labelled QM-3, mounted at the same
// folder before the save (the kernel may give the new mount A's device number, and a FAT root is
// always inode 1). B is never written: the save fails and says so.
TEST(CardVolume, AnotherCardAtTheSameMountPointIsNeverWritten) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;

    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    const std::string mount = environment.Dir().File("mnt/QM-3");
    fs::create_directories(mount);
    gbxtest::CFatImage a(environment.Dir().File("a.img"), "QM-3", "16M");
    gbxtest::CFatImage b(environment.Dir().File("b.img"), "QM-3", "16M");
    ASSERT_TRUE(a.IsMade() && b.IsMade());
    const std::string unswappable = gbxtest::CFatImage::WhyCardsCannotBeSwapped(b, mount);
    if (!unswappable.empty()) GTEST_SKIP() << unswappable;
    // A connected card gets a song of its own, saved.
    const auto addSavedSong = [&](const std::string& name) {
        CSongX* song = AddSong(document, ".MP3", name + "'s song", name, name + "'s album", 1);
        document.AddToCategory(song, CDocumentModel::TAB_SONG);
        document.MarkChanged(song);
        fs::create_directories(document.GetSongFolder(0));
        gbxtest::WriteText(song->GetFullPath(), name + "'s audio");
        EXPECT_TRUE(document.WriteToUnit());
        return song;
    };

    // Card B with an album of its own.
    ASSERT_TRUE(ConnectTo(mount));
    addSavedSong("B");
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_GONE, mount));
    const auto bImage = FolderImage(mount);
    ASSERT_TRUE(b.Unmount());

    // Card A connected, a song added and saved, then renamed.
    ASSERT_EQ(a.Mount(mount), 0);
    ASSERT_TRUE(ConnectTo(mount));
    CSongX* aSong = addSavedSong("A");
    aSong->SetTitle("Renamed");
    document.MarkChanged(aSong);
    document.SetModified(1);

    // The cards swapped with nothing noticed in between.
    ASSERT_TRUE(a.Unmount());
    ASSERT_EQ(b.Mount(mount), 0);
    EXPECT_FALSE(document.IsCardMounted());
    EXPECT_FALSE(document.IsCardWritable());
    environment.textDialog.shown.clear();
    EXPECT_FALSE(document.WriteToUnit());
    EXPECT_EQ(environment.textDialog.Texts(), std::vector<std::string>{"Failed to write to the unit."});
    EXPECT_FALSE(document.MakeFolderOnCard(document.GetDatabasePath() + "001/", true));
    EXPECT_TRUE(FolderImage(mount) == bImage);

    // Card A back in its place (mounted anew): it is not the card that was connected either.
    ASSERT_TRUE(b.Unmount());
    ASSERT_EQ(a.Mount(mount), 0);
    EXPECT_FALSE(document.IsCardMounted());
    document.Reset();
}

TEST(WorkFolder, PrivateToTheUser) {
    CCardEnvironment environment;
    const std::string work = CDomain::GetInstance().GetWorkFolder();
    EXPECT_EQ(fs::path(work).parent_path().string(), environment.Dir().File("tmp"));
    EXPECT_EQ(fs::path(work).filename().string().rfind("V2PN-" + std::to_string(getuid()), 0), 0u);
    struct stat info {};
    ASSERT_EQ(lstat(work.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // Taken away, it is made again on the next call.
    fs::remove_all(work);
    EXPECT_EQ(CDomain::GetInstance().GetWorkFolder(), work);
    EXPECT_TRUE(fs::is_directory(work));
}

TEST(WorkFolder, ALinkInItsPlaceIsNotUsed) {
    CCardEnvironment environment;
    const std::string usual = environment.Dir().File("tmp/V2PN-" + std::to_string(getuid()));
    fs::create_directories(environment.Dir().File("elsewhere"));
    fs::remove_all(usual);
    fs::create_directory_symlink(environment.Dir().File("elsewhere"), usual);
    const std::string work = CDomain::GetInstance().GetWorkFolder();
    EXPECT_NE(work, usual);
    struct stat info {};
    ASSERT_EQ(lstat(work.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Domain, ProductConstants) {
    CDomain& d = CDomain::GetInstance();
    const std::vector<std::string> texts = {
        d.GetMakerName(),        d.GetFamilyName(),         d.GetApplicationName(),
        d.GetWaveExtension(),    d.GetDatabaseExtension(),  d.GetVoxaExtension(),
        d.GetIconExtension(),    d.GetQ3sExtension(),       d.GetSongFilenameListFileName(),
        d.GetPlayListFileName(), d.GetAlbumListFileName(),  d.GetArtistListFileName(),
        d.GetBestListFileName(), d.GetMySongListFileName(), d.GetRhythmListFileName(),
        d.GetModelName(),        d.GetVolumeLabelWord(),    d.GetRhythmTag(),
        d.GetUserTag()};
    EXPECT_EQ(texts,
              (std::vector<std::string>{"Corvane", "Gigbox", "Gigbox Setlister", ".WAV", ".Q3D", ".Q3R", ".Q3I", ".Q3S",
                                        "SONGNAME.Q3D", "PLAYLIST.Q3D", "SL_ALBUM.Q3D", "SL_ARTST.Q3D", "SL_BEST.Q3D",
                                        "SL_MYSNG.Q3D", "SL_RHYTM.Q3D", "QM-3", "Gigbox", "~RHYTHM", "~USER"}));
    EXPECT_EQ(&d.GetMakerName(), &d.GetMakerName());  // built once
    EXPECT_EQ(CDocX::GetDatabaseFolderName(), "CORVANE/QM/DB/");
}

}  // namespace
