#include "app/shell/Tunemark.h"

#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/shell/AppPaths.h"
#include "general_tools/Profile.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const char kUserKey[] = "Tmnet/User";
const char kProxyUseKey[] = "Tmnet/ProxyUse";
const char kProxyServerKey[] = "Tmnet/ProxyServer";
const char kProxyPortKey[] = "Tmnet/ProxyPort";
const char kProxyOption[] = "tmsdk_proxy_host";

const char kGenreCacheName[] = "genre_list.txt";
// A serialised genre list is a few kilobytes; a cache file far beyond that is not ours and is fetched anew.
constexpr std::streamoff kMaxGenreCacheBytes = 4 << 20;

const char kKeyAlbums[] = "tmsdk_ctx_album!";
const char kKeyTracks[] = "tmsdk_ctx_track!";
const char kResponseContext[] = "tmsdk_ctx_responsealbum";

// The status functions never abort a lookup.
void ListStatus(void*, uint32_t, uint32_t, uint32_t, uint8_t* abort) {
    if (abort) *abort = 0;
}

void QueryStatus(void*, tmsdk_tunefindcd_query_t, uint32_t, uint32_t, uint32_t, uint8_t* abort) {
    if (abort) *abort = 0;
}

std::string GenreCachePath() {
    const std::string& folder = CAppPaths::GetInstance().GetPath(CAppPaths::USER_DATA);
    return folder.empty() ? std::string() : folder + kGenreCacheName;
}

// The whole cache file; false when it is absent, empty, unreadable or implausibly large.
bool ReadGenreCache(std::string& text) {
    const std::string path = GenreCachePath();
    if (path.empty()) return false;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxGenreCacheBytes) return false;
    in.seekg(0);
    text.assign(static_cast<size_t>(size), '\0');
    if (!in.read(&text[0], size)) return false;
    // The manager reads up to the first terminator; one inside the file means it is not a list of ours.
    return text.find('\0') == std::string::npos;
}

// The text's bytes, without a terminator, in place of the cache file (through a file beside it, so that
// a failed write leaves the old cache whole). A failure is not reported.
void WriteGenreCache(const char* text) {
    const std::string path = GenreCachePath();
    if (path.empty()) return;
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text, static_cast<std::streamsize>(std::strlen(text)));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) std::remove(temporary.c_str());
}

// A value of an object, when the manager has it.
bool GetValue(tmsdk_gdo_t object, const char* key, std::string& value) {
    const char* text = nullptr;
    if (tmsdk_sdkmanager_gdo_value_get(object, key, 1, &text) != 0 || text == nullptr) return false;
    value = text;
    return true;
}

bool IsAlbumResponse(tmsdk_gdo_t response) {
    const char* context = nullptr;
    return tmsdk_sdkmanager_gdo_get_context(response, &context) == 0 && context != nullptr
           && std::strcmp(context, kResponseContext) == 0;
}

}  // namespace

CTunemark::~CTunemark() {
    if (m_genreList) tmsdk_sdkmanager_list_release(m_genreList);
    if (m_user) tmsdk_sdkmanager_user_release(m_user);
    if (m_client) tmsdk_sdkmanager_client_release(m_client);
    // The module lets go of the manager's interfaces before the manager stops.
    if (m_moduleStarted) tmsdk_tunefindcd_shutdown();
    if (m_managerStarted) tmsdk_sdkmanager_shutdown();
    m_genreList = nullptr;
    m_user = nullptr;
    m_client = nullptr;
}

bool CTunemark::Initialize(const CSdkParameters& parameters) { return StartUp(parameters) && LoadGenreList(); }

bool CTunemark::StartUp(const CSdkParameters& parameters) {
    const tmsdk_sdkmanager_handle_t* manager = nullptr;
    const bool started = tmsdk_sdkmanager_initialize(&manager) == 0;
    m_managerStarted = started;
    if (!started || manager == nullptr) {
        CModalManager::GetInstance().ShowMessageById(MSG_SERVER_UNREACHABLE);
        return false;
    }
    // From here on a failure leaves the stops to the destructor.
    if (tmsdk_tunefindcd_initialize(manager) != 0) return false;
    m_moduleStarted = true;
    tmsdk_client_t client = nullptr;
    if (tmsdk_sdkmanager_client_create(parameters.clientId.c_str(), parameters.clientTag.c_str(),
                                       parameters.appVersion.c_str(), &client)
            != 0
        || client == nullptr)
        return false;
    tmsdk_user_t user = nullptr;
    if (!SetUpUser(client, user)) {
        if (user) tmsdk_sdkmanager_user_release(user);
        tmsdk_sdkmanager_client_release(client);
        return false;
    }
    m_client = client;
    m_user = user;
    return true;
}

bool CTunemark::SetUpUser(tmsdk_client_t client, tmsdk_user_t& user) {
    GT::IProfile& profile = GT::GetProfile();
    tmsdk_status_t last = 0;
    const std::string stored = profile.GetString(kUserKey, std::string());
    if (!stored.empty()) {
        tmsdk_user_t rebuilt = nullptr;
        last = tmsdk_sdkmanager_user_deserialize(stored.c_str(), 0, &rebuilt);
        if (last == 0) user = rebuilt;
    }

    // A proxy the user asked for and that cannot be set fails the set-up, whatever follows.
    bool proxyOk = true;
    const int useProxy = profile.GetInt(kProxyUseKey, 0);
    const std::string proxy =
        profile.GetString(kProxyServerKey, std::string()) + ":" + profile.GetString(kProxyPortKey, std::string());
    if (useProxy != 0) {
        last = tmsdk_sdkmanager_client_option_set(client, kProxyOption, proxy.c_str());
        proxyOk = last == 0;
    }

    if (user == nullptr) {
        tmsdk_user_t registered = nullptr;
        last = tmsdk_sdkmanager_user_register_new(client, 0, &registered);
        if (last != 0 || registered == nullptr) {
            CModalManager::GetInstance().ShowMessageById(MSG_SERVER_UNREACHABLE);
            return false;
        }
        user = registered;
        char* text = nullptr;
        last = tmsdk_sdkmanager_user_serialize(user, &text);
        if (last == 0 && text != nullptr) {
            profile.WriteString(kUserKey, text);
            last = tmsdk_sdkmanager_string_free(text);
        }
    }
    return last == 0 && proxyOk && user != nullptr;
}

bool CTunemark::LoadGenreList() {
    std::string cached;
    if (ReadGenreCache(cached)) {
        tmsdk_list_t list = nullptr;
        if (tmsdk_sdkmanager_list_deserialize(cached.c_str(), &list) == 0 && list != nullptr) {
            m_genreList = list;
            uint8_t updated = 0;
            if (tmsdk_sdkmanager_list_update(m_genreList, m_client, m_user, ListStatus, nullptr, &updated) != 0) {
                tmsdk_sdkmanager_list_release(m_genreList);
                m_genreList = nullptr;
                return false;
            }
            return updated == 1 ? StoreGenreList() : true;
        }
    }
    tmsdk_list_t list = nullptr;
    if (tmsdk_sdkmanager_list_retrieve("list_type_genres", "eng", "list_region_global", "list_desc_detailed", m_client,
                                       m_user, ListStatus, nullptr, &list)
            != 0
        || list == nullptr)
        return false;
    m_genreList = list;
    return StoreGenreList();
}

bool CTunemark::StoreGenreList() {
    char* text = nullptr;
    if (tmsdk_sdkmanager_list_serialize(m_genreList, &text) != 0 || text == nullptr) return true;
    WriteGenreCache(text);
    return tmsdk_sdkmanager_string_free(text) == 0;
}

std::string CTunemark::MakeTocString(const GT::CCdToc& toc) {
    std::string text;
    const int tracks = toc.GetTrackCount();
    for (int i = 0; i <= tracks && tracks > 0; ++i) text += std::to_string(toc.GetTrackStart(i)) + " ";
    return text;
}

bool CTunemark::LookUpToc(const GT::CCdToc& toc, std::vector<CAlbumInfo>& albums, ILookUpDisplay* dialog) {
    return LookUpTocString(MakeTocString(toc), albums, dialog);
}

namespace {

// A record without a title keeps the dialog's made-up album title rather than an empty one.
CAlbumInfo UntitledAlbum() {
    CAlbumInfo album;
    album.title = GetCurrentAlbum().title;
    return album;
}

}  // namespace

bool CTunemark::LookUpTocString(const std::string& toc, std::vector<CAlbumInfo>& albums, ILookUpDisplay* dialog) {
    if (!IsReady()) return false;
    tmsdk_tunefindcd_query_t query = nullptr;
    if (tmsdk_tunefindcd_query_create(m_client, m_user, QueryStatus, nullptr, &query) != 0 || query == nullptr)
        return false;

    const size_t before = albums.size();
    bool ok = tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0) == 0;
    uint32_t match = TMSDK_TUNEFINDCD_MATCH_NONE;
    tmsdk_gdo_t response = nullptr;
    if (ok && tmsdk_tunefindcd_query_find_albums(query, &match, &response) != 0) {
        CModalManager::GetInstance().ShowMessageById(MSG_SERVER_UNREACHABLE);
        ok = false;
    }
    if (ok) {
        if (dialog) dialog->ShowLogo(true);
        if (match == TMSDK_TUNEFINDCD_MATCH_SINGLE) {
            CAlbumInfo album = UntitledAlbum();
            if (ExtractAlbum(response, album)) albums.push_back(album);
        } else if (match == TMSDK_TUNEFINDCD_MATCH_MULTIPLE_EXACT || match == TMSDK_TUNEFINDCD_MATCH_FUZZY) {
            // Several albums are looked up again one by one, in full.
            const int count = GetAlbumCount(response);
            if (count < 0) ok = false;
            for (int n = 1; n <= count; ++n) {
                tmsdk_gdo_t albumResponse = nullptr;
                if (tmsdk_tunefindcd_query_resolve(query, response, static_cast<uint32_t>(n), &albumResponse) != 0) {
                    ok = false;
                    continue;
                }
                CAlbumInfo album = UntitledAlbum();
                if (ExtractAlbum(albumResponse, album)) albums.push_back(album);
                tmsdk_sdkmanager_gdo_release(albumResponse);
            }
        }
    }

    if (tmsdk_tunefindcd_query_release(query) != 0) ok = false;
    if (response && tmsdk_sdkmanager_gdo_release(response) != 0) ok = false;
    if (!ok) albums.resize(before);
    return ok;
}

int CTunemark::GetAlbumCount(tmsdk_gdo_t response) {
    if (!IsAlbumResponse(response)) return -1;
    uint32_t count = 0;
    if (tmsdk_sdkmanager_gdo_child_count(response, kKeyAlbums, &count) != 0 || count > INT_MAX) return -1;
    return static_cast<int>(count);
}

void CTunemark::ReadGenres(tmsdk_gdo_t object, std::string& genre1, std::string& genre2, std::string& genre3,
                           bool levelsNeedTheFirst) {
    if (!m_genreList) return;
    std::string* genres[] = {&genre1, &genre2, &genre3};
    for (uint32_t level = 1; level <= 3; ++level) {
        const char* text = nullptr;
        const bool found =
            tmsdk_sdkmanager_list_get_display_string_by_gdo(m_genreList, object, level, kDisplayStringFlag, &text) == 0
            && text != nullptr;
        if (found)
            *genres[level - 1] = text;
        else if (level == 1 && levelsNeedTheFirst)
            return;
    }
}

bool CTunemark::ExtractAlbum(tmsdk_gdo_t response, CAlbumInfo& album) {
    if (!IsAlbumResponse(response)) return false;
    tmsdk_gdo_t albumObject = nullptr;
    if (tmsdk_sdkmanager_gdo_child_get(response, kKeyAlbums, 1, &albumObject) != 0 || albumObject == nullptr) {
        album.tracks.clear();
        return false;
    }

    GetValue(albumObject, "tmsdk_val_artist", album.artist);
    GetValue(albumObject, "tmsdk_val_title", album.title);
    GetValue(albumObject, "tmsdk_val_date", album.date);
    GetValue(albumObject, "tmsdk_val_albumlabel", album.label);
    ReadGenres(albumObject, album.genre1, album.genre2, album.genre3, true);

    uint32_t count = 0;
    bool ok = tmsdk_sdkmanager_gdo_child_count(albumObject, kKeyTracks, &count) == 0;
    // A count no disc reaches is refused before the track list is sized by it.
    if (!ok || count > kMaxTracks) {
        ok = false;
        count = 0;
    }
    if (ok) album.tracks.resize(count);
    for (uint32_t i = 1; ok && i <= count; ++i) {
        tmsdk_gdo_t trackObject = nullptr;
        if (tmsdk_sdkmanager_gdo_child_get(albumObject, kKeyTracks, i, &trackObject) != 0 || trackObject == nullptr) {
            ok = false;
            break;
        }
        CTrackInfo& track = album.tracks[i - 1];
        std::string number;  // required, though its value is not used
        ok = GetValue(trackObject, "tmsdk_val_tracknumber", number)
             && GetValue(trackObject, "tmsdk_val_title", track.title);
        if (ok) {
            if (!GetValue(trackObject, "tmsdk_val_artist", track.artist)) track.artist = album.artist;
            ReadGenres(trackObject, track.genre1, track.genre2, track.genre3, false);
        }
        tmsdk_sdkmanager_gdo_release(trackObject);
    }
    tmsdk_sdkmanager_gdo_release(albumObject);
    return ok;
}
