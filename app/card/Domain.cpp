#include "app/card/Domain.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "app/card/CardDocument.h"
#include "app/card/DocumentModel.h"
#include "general_tools/Files.h"
#include "general_tools/Profile.h"

namespace {

const char kSaveMemoryKey[] = "Option/SaveMemory";

// A folder that only this user can enter: a real folder (not a link) owned by the user; its
// group and other bits are taken away.
bool IsPrivateFolder(const std::string& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return false;
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

bool MakePrivateFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return IsPrivateFolder(folder);
}

}  // namespace

#define GBX_DOMAIN_TEXT(name, value)          \
    const std::string& CDomain::name() {      \
        static const std::string text(value); \
        return text;                          \
    }

GBX_DOMAIN_TEXT(GetMakerName, "Corvane")
GBX_DOMAIN_TEXT(GetFamilyName, "Gigbox")
GBX_DOMAIN_TEXT(GetApplicationName, "Gigbox Setlister")
GBX_DOMAIN_TEXT(GetWaveExtension, ".WAV")
GBX_DOMAIN_TEXT(GetDatabaseExtension, ".Q3D")
GBX_DOMAIN_TEXT(GetVoxaExtension, ".Q3R")
GBX_DOMAIN_TEXT(GetIconExtension, ".Q3I")
GBX_DOMAIN_TEXT(GetQ3sExtension, ".Q3S")
GBX_DOMAIN_TEXT(GetSongFilenameListFileName, "SONGNAME.Q3D")
GBX_DOMAIN_TEXT(GetPlayListFileName, "PLAYLIST.Q3D")
GBX_DOMAIN_TEXT(GetAlbumListFileName, "SL_ALBUM.Q3D")
GBX_DOMAIN_TEXT(GetArtistListFileName, "SL_ARTST.Q3D")
GBX_DOMAIN_TEXT(GetBestListFileName, "SL_BEST.Q3D")
GBX_DOMAIN_TEXT(GetMySongListFileName, "SL_MYSNG.Q3D")
GBX_DOMAIN_TEXT(GetRhythmListFileName, "SL_RHYTM.Q3D")
GBX_DOMAIN_TEXT(GetModelName, "QM-3")
GBX_DOMAIN_TEXT(GetVolumeLabelWord, "Gigbox")
GBX_DOMAIN_TEXT(GetRhythmTag, "~RHYTHM")
GBX_DOMAIN_TEXT(GetUserTag, "~USER")

#undef GBX_DOMAIN_TEXT

CDomain& CDomain::GetInstance() {
    static CDomain domain;
    return domain;
}

void CDomain::LoadSaveMemory() {
    CDocumentModel::GetInstance().GetDocument().SetSaveMemory(GT::GetProfile().GetInt(kSaveMemoryKey, 1) != 0);
}

void CDomain::StoreSaveMemory() {
    GT::GetProfile().WriteInt(kSaveMemoryKey, CDocumentModel::GetInstance().GetDocument().GetSaveMemory() ? 1 : 0);
}

std::string CDomain::GetWorkFolder() {
    static std::string folder;
    if (!folder.empty() && MakePrivateFolder(folder)) return folder;
    const std::string usual = GT::GetTempDirectory() + "/V2PN-" + std::to_string(getuid());
    if (MakePrivateFolder(usual)) return folder = usual;
    // Someone else holds the usual name (or it is a link): a fresh folder of our own instead.
    std::string pattern = usual + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) folder = name.data();
    return folder.empty() ? usual : folder;
}
