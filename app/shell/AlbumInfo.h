// The disc information the ripping dialog works on: album and track records, the process-wide current
// album with its per-track accessors, the process-wide list of album titles that the disc-information
// chooser shows, and the default album made from a table of contents.
#pragma once

#include "general_tools/CdToc.h"

#include <ctime>
#include <string>
#include <vector>

class CTrackInfo {
public:
    std::string title;
    std::string artist;
    std::string genre1;
    std::string genre2;
    std::string genre3;
    int length = 0;  // in sectors for the default album; 0 in records the service filled
};

class CAlbumInfo {
public:
    // Texts emptied, no tracks.
    void Clear();

    int reserved = 0;
    // Texts are UTF-8 as the service gives them. Besides the title and the tracks only the artist is
    // read (as the tracks' fallback artist); date, genres and label are kept for completeness.
    std::string title;
    std::string artist;
    std::string date;
    std::string genre1;
    std::string genre2;
    std::string genre3;
    std::string label;
    std::vector<CTrackInfo> tracks;
};

// The album the ripping dialog shows and rips: made on first use, destroyed at exit.
CAlbumInfo& GetCurrentAlbum();

// Tracks of the current album by index from 0. An index outside the tracks reads as the empty text
// and is not written.
std::string GetCurrentTrackTitle(int index);
void SetCurrentTrackTitle(int index, const std::string& title);
std::string GetCurrentTrackArtist(int index);
void SetCurrentTrackArtist(int index, const std::string& artist);

// The titles of the albums a lookup found, in the service's order, for the disc-information chooser:
// the lookup empties and fills it before showing the chooser, which empties it when a drive removal
// closes it. Destroyed at exit.
std::vector<std::string>& GetAlbumTitleList();
// Empties the list and fills it with the albums' titles in order.
void FillAlbumTitleList(const std::vector<CAlbumInfo>& albums);

// The album made up for a disc before (or instead of) the service's answer: title the local time as
// "%04d%02d%02d %02d%02d%02d", one track per table-of-contents track (data tracks included) titled
// "Track%02d" from 1, whose artist is the album title and whose length is the track's in sectors; the
// album's own artist stays empty. A table of contents without tracks or without an audio track gives an
// empty album.
void MakeDefaultAlbum(const GT::CCdToc& toc, const std::tm& localTime, CAlbumInfo& album);
// The same into the current album, at the present local time.
void MakeDefaultAlbum(const GT::CCdToc& toc);
