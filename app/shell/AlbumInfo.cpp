#include "app/shell/AlbumInfo.h"

#include "general_tools/StringFunctions.h"

namespace {

CTrackInfo* CurrentTrack(int index) {
    std::vector<CTrackInfo>& tracks = GetCurrentAlbum().tracks;
    return index >= 0 && static_cast<size_t>(index) < tracks.size() ? &tracks[static_cast<size_t>(index)] : nullptr;
}

}  // namespace

void CAlbumInfo::Clear() { *this = CAlbumInfo(); }

CAlbumInfo& GetCurrentAlbum() {
    static CAlbumInfo album;
    return album;
}

std::string GetCurrentTrackTitle(int index) {
    const CTrackInfo* track = CurrentTrack(index);
    return track ? track->title : std::string();
}

void SetCurrentTrackTitle(int index, const std::string& title) {
    if (CTrackInfo* track = CurrentTrack(index)) track->title = title;
}

std::string GetCurrentTrackArtist(int index) {
    const CTrackInfo* track = CurrentTrack(index);
    return track ? track->artist : std::string();
}

void SetCurrentTrackArtist(int index, const std::string& artist) {
    if (CTrackInfo* track = CurrentTrack(index)) track->artist = artist;
}

std::vector<std::string>& GetAlbumTitleList() {
    static std::vector<std::string> titles;
    return titles;
}

void FillAlbumTitleList(const std::vector<CAlbumInfo>& albums) {
    std::vector<std::string>& titles = GetAlbumTitleList();
    titles.clear();
    for (const CAlbumInfo& album : albums) titles.push_back(album.title);
}

void MakeDefaultAlbum(const GT::CCdToc& toc, const std::tm& localTime, CAlbumInfo& album) {
    album.Clear();
    const int trackCount = toc.GetTrackCount();
    if (trackCount == 0 || !toc.HasAudioTrack()) return;
    album.title = GT::FormatString("%04d%02d%02d %02d%02d%02d", localTime.tm_year + 1900, localTime.tm_mon + 1,
                                   localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    album.tracks.reserve(static_cast<size_t>(trackCount));
    for (int i = 0; i < trackCount; ++i) {
        CTrackInfo track;
        track.title = GT::FormatString("Track%02d", i + 1);
        track.artist = album.title;
        track.length = toc.GetTrackLength(i);
        album.tracks.push_back(track);
    }
}

void MakeDefaultAlbum(const GT::CCdToc& toc) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    MakeDefaultAlbum(toc, local, GetCurrentAlbum());
}
