// The editor's client of the metadata service for one disc lookup: starts the SDK manager and the
// CD-recognition module, sets up the client, the user and the genre list, sends a table of contents and
// turns the answer into album records; its destruction shuts everything down again. Only the user (the
// "Tmnet/User" setting) and the genre list (the cache file "genre_list.txt" in the per-user data folder)
// outlive a lookup.
//
// A lookup, as the ripping dialog makes it: a CTunemark on the stack; Initialize(CSdkParameters()); then
// LookUpToc with the disc's table of contents, an empty album vector and the dialog. One album: the current
// album (GetCurrentAlbum) becomes a copy of it. Several: FillAlbumTitleList for the disc-information
// chooser, whose answer indexes the vector. None, or a failure: the default album made beforehand stays.
#pragma once

#include "app/shell/AlbumInfo.h"
#include "general_tools/CdToc.h"
#include "tunefind_cd/tmsdk_tunefind_cd.h"

#include <cstdint>
#include <string>
#include <vector>

// What the manager's start-up is given: the client identifier, the client tag and the program's version.
class CSdkParameters {
public:
    std::string clientId = "4718263";
    std::string clientTag = "7C2E9A41D05B38F6A1C4E7092B5D8F30";
    std::string appVersion = "1";
};

// The window that asked for a lookup: it shows the vendor logo once the service has answered.
class ILookUpDisplay {
public:
    virtual ~ILookUpDisplay() = default;
    virtual void ShowLogo(bool show) = 0;
};

class CTunemark {
public:
    // The display-string flag passed with every genre look-up.
    static constexpr uint32_t kDisplayStringFlag = 2;
    // More tracks than an audio CD can hold: an album claiming them is refused.
    static constexpr uint32_t kMaxTracks = 99;

    CTunemark() = default;
    // Releases the genre list, the user and the client, then shuts the module down and then the manager,
    // each only when it was started.
    virtual ~CTunemark();
    CTunemark(const CTunemark&) = delete;
    CTunemark& operator=(const CTunemark&) = delete;

    // Start-up, then the genre list. False when either fails; a manager that does not start shows
    // message 31, so does a user that cannot be registered. Call once.
    bool Initialize(const CSdkParameters& parameters);

    // The query for a table of contents: each track's start frame and the lead-out's, as the drive
    // reports them, each followed by one space.
    bool LookUpToc(const GT::CCdToc& toc, std::vector<CAlbumInfo>& albums, ILookUpDisplay* dialog);
    // Appends each album found, in the service's order, and answers true; no match appends nothing and
    // answers true. On failure nothing is appended (albums extracted before a failed resolve are dropped);
    // a service that cannot be reached shows message 31. The dialog (may be null) is asked to show the
    // logo once the service answered.
    bool LookUpTocString(const std::string& toc, std::vector<CAlbumInfo>& albums, ILookUpDisplay* dialog);

    // Fills the album from album child 1 of a response of context "tmsdk_ctx_responsealbum". False when
    // the album, or a track's number or title, cannot be had, or it claims more than 99 tracks; the tracks
    // read before a failure stay filled, the rest default.
    bool ExtractAlbum(tmsdk_gdo_t response, CAlbumInfo& album);
    // The number of albums of such a response; -1 on any failure.
    int GetAlbumCount(tmsdk_gdo_t response);
    // Client, user and genre list all present.
    bool IsReady() const { return m_client && m_user && m_genreList; }

    // The text LookUpToc sends.
    static std::string MakeTocString(const GT::CCdToc& toc);

private:
    bool StartUp(const CSdkParameters& parameters);
    // The user from its stored text, else a new one (stored); the proxy set on the client when asked for.
    bool SetUpUser(tmsdk_client_t client, tmsdk_user_t& user);
    bool LoadGenreList();
    // Serialises the list into the cache; false only when the serialised text cannot be freed.
    bool StoreGenreList();
    void ReadGenres(tmsdk_gdo_t object, std::string& genre1, std::string& genre2, std::string& genre3,
                    bool levelsNeedTheFirst);

    tmsdk_client_t m_client = nullptr;
    tmsdk_user_t m_user = nullptr;
    tmsdk_list_t m_genreList = nullptr;
    bool m_managerStarted = false;
    bool m_moduleStarted = false;
};
