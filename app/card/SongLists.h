// What the database store and the icon files read and fill of the card's songs: the slot table,
// the Songs, Rhythm, User and Best lists, the moves between them and the changed songs. The card
// document implements it; the stores see nothing else of the document.
#pragma once

#include "app/card/Song.h"

#include <set>

class ISongLists {
public:
    // List kinds of GetList; any other value gives Songs.
    enum : int { LIST_SONGS = 0, LIST_RHYTHM = 1, LIST_USER = 2, LIST_BEST = 3 };
    enum : int { MAX_SONGS = 4000, MAX_BEST = 30, MAX_NAMES = 2000 };

    virtual const CSlotTable& GetSlots() const = 0;
    // The database store fills the table when it loads the card.
    virtual CSlotTable& GetSlots() = 0;
    // The slot's record; empty for a number outside the table.
    virtual CSongPointer GetSong(int slot) const = 0;
    virtual CSongList& GetList(int kind) = 0;
    virtual const CSongList& GetList(int kind) const = 0;
    virtual void MoveToSongs(CSongX* song) = 0;
    // Also sets album and artist to "~RHYTHM".
    virtual void MoveToRhythm(CSongX* song) = 0;
    // Also sets album and artist to "~USER".
    virtual void MoveToUser(CSongX* song) = 0;
    // Moves the song to 1-based position n of Best; see the card document.
    virtual int SetBestRank(CSongX* song, int n) = 0;
    // Songs whose icon files the next save writes, ordered by address.
    virtual const std::set<CSongX*>& GetChangedSongs() const = 0;

protected:
    ~ISongLists() = default;
};
