#include "app/card/DatabaseStore.h"

#include <algorithm>
#include <istream>
#include <memory>
#include <ostream>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include <boost/make_shared.hpp>

#include "app/card/CardFiles.h"
#include "app/card/CardVolume.h"
#include "app/card/Domain.h"
#include "app/card/IconFiles.h"
#include "general_tools/Drives.h"
#include "general_tools/Files.h"
#include "general_tools/GraphicDataMaker.h"
#include "general_tools/StringFunctions.h"

namespace {

typedef CDatabaseFileChunks Chunks;

// The five song lists and what reading one does to its songs.
enum EListFile { LIST_ALBUM, LIST_ARTIST, LIST_BEST, LIST_USER, LIST_RHYTHM };

const char kTemporaryPrefix[] = "___TEMPORARY_DB_FILE___";

// No database file comes near this: a name table of 65,535 records is 64 MiB.
constexpr size_t kMaxDatabaseFileBytes = size_t(128) << 20;

// Reads a whole database file, with one read, and parses it in memory; null when it cannot be
// opened or read or lacks a chunk.
template <class TData>
TData* ReadDatabaseFile(const std::string& path, std::unique_ptr<CQm3FileDto>& dto) {
    CCardFileInput in;
    if (!in.Open(path, kMaxDatabaseFileBytes)) return nullptr;
    dto.reset(new CQm3FileDto(boost::make_shared<Chunks::CChunkFactory<TData>>()));
    return ReadQm3File<TData>(in, *dto, TData::Id());
}

// The name blocks that this run has built, by text, with the renderer that drew them: a save
// renders only the names that are new since the last one.
class CNameBlockCache {
public:
    const CNameBlock& Get(const std::string& text) {
        const GT::AGraphicDataMaker* renderer = &GT::GetGraphicDataMaker();
        if (renderer != m_renderer || m_blocks.size() >= kMaxBlocks) {
            m_blocks.clear();
            m_renderer = renderer;
        }
        auto found = m_blocks.find(text);
        if (found == m_blocks.end())
            found = m_blocks.emplace(text, CIconFileStore::GetInstance().BuildIconEntry(text, false, 0)).first;
        return found->second;
    }

private:
    // Two full name tables and the list titles.
    static constexpr size_t kMaxBlocks = 4 * Chunks::NAME_RECORDS + 16;
    const GT::AGraphicDataMaker* m_renderer = nullptr;
    std::unordered_map<std::string, CNameBlock> m_blocks;
};

const CNameBlock& NameBlockOf(const std::string& text) {
    static CNameBlockCache cache;
    return cache.Get(text);
}

// Writes a whole database file of a format chunk and the data chunk.
template <class TData>
bool WriteDatabaseFile(const boost::shared_ptr<TData>& data, std::ostream& out) {
    CQm3FileDto dto(boost::make_shared<Chunks::CChunkFactory<TData>>());
    dto.AppendChild(boost::make_shared<Chunks::CFormatChunk>());
    dto.AppendChild(data);
    out.clear();
    out.seekp(0);
    return dto.Write(out) && out.good();
}

bool ApplySongList(const std::string& path, const CNameTable& names, ISongLists& document, EListFile list) {
    std::unique_ptr<CQm3FileDto> dto;
    const Chunks::CSongListChunk* chunk = ReadDatabaseFile<Chunks::CSongListChunk>(path, dto);
    if (chunk == nullptr) return false;
    CDomain& domain = CDomain::GetInstance();
    const int n = static_cast<int>(chunk->songNumbers.size());
    for (const CSongGroup& group : chunk->groups) {
        const int first = group.first, count = group.count;
        const bool named = list == LIST_ALBUM || list == LIST_ARTIST;
        if (named ? group.nameIndex >= names.size() : count == 0) continue;
        if (first >= n || first + count > n) continue;
        for (int k = 0; k < count; ++k) {
            // A number that names no song (a free slot, or none) is passed over.
            const CSongPointer song = document.GetSong(chunk->songNumbers[static_cast<size_t>(first + k)]);
            if (!song || !song->IsUsed()) continue;
            switch (list) {
                case LIST_ALBUM:
                    song->SetAlbum(names[group.nameIndex].block.GetText());
                    document.MoveToSongs(song.get());
                    break;
                case LIST_ARTIST:
                    song->SetArtist(names[group.nameIndex].block.GetText());
                    break;
                case LIST_BEST:
                    document.SetBestRank(song.get(), k + 1);
                    break;
                case LIST_USER:
                    song->SetAlbum(domain.GetUserTag());
                    song->SetArtist(domain.GetUserTag());
                    document.MoveToUser(song.get());
                    break;
                case LIST_RHYTHM:
                    song->SetAlbum(domain.GetRhythmTag());
                    song->SetArtist(domain.GetRhythmTag());
                    document.MoveToRhythm(song.get());
                    break;
            }
        }
    }
    return true;
}

// A list chunk titled and filled with the songs' slot numbers, in order.
boost::shared_ptr<Chunks::CSongListChunk> MakeListChunk(const std::string& title, const CSongList& songs) {
    auto chunk = boost::make_shared<Chunks::CSongListChunk>();
    chunk->title = NameBlockOf(title);
    chunk->songNumbers.reserve(songs.size());
    for (const CSongRef& entry : songs) chunk->songNumbers.push_back(static_cast<uint16_t>(entry.slot));
    return chunk;
}

bool WriteUngroupedList(const std::string& title, const CSongList& songs, std::ostream& out) {
    auto chunk = MakeListChunk(title, songs);
    chunk->groups.push_back(CSongGroup{0, static_cast<uint16_t>(chunk->songNumbers.size()), CSongGroup::NO_NAME, 0});
    return WriteDatabaseFile(chunk, out);
}

// Stable sort of a list copy by precomputed keys (made from each song's index), cut to the
// capacity of a list file.
template <class TMakeKey>
CSongList SortBy(const CSongList& songs, TMakeKey makeKey) {
    typedef decltype(makeKey(size_t(0))) TKey;
    std::vector<std::pair<TKey, size_t>> keyed;
    keyed.reserve(songs.size());
    for (size_t i = 0; i < songs.size(); ++i) keyed.emplace_back(makeKey(i), i);
    std::stable_sort(
        keyed.begin(), keyed.end(),
        [](const std::pair<TKey, size_t>& a, const std::pair<TKey, size_t>& b) { return a.first < b.first; });
    CSongList sorted;
    sorted.reserve(std::min<size_t>(keyed.size(), Chunks::LIST_SONGS));
    for (size_t i = 0; i < keyed.size() && i < static_cast<size_t>(Chunks::LIST_SONGS); ++i)
        sorted.push_back(songs[keyed[i].second]);
    return sorted;
}

typedef const std::string& (CSongX::*CSongText)() const;

// The distinct texts of a list's songs, numbered in the order first met, and each song's
// number; an open-addressed table, so no allocation per text.
class CTextIds {
public:
    CTextIds(const CSongList& songs, CSongText text) {
        size_t capacity = 16;
        while (capacity < 2 * songs.size()) capacity *= 2;
        std::vector<uint32_t> table(capacity, kEmpty);
        m_idOfSong.reserve(songs.size());
        for (const CSongRef& entry : songs) {
            const std::string& value = ((*entry.song).*text)();
            size_t at = std::hash<std::string>()(value) & (capacity - 1);
            while (table[at] != kEmpty && *m_texts[table[at]] != value) at = (at + 1) & (capacity - 1);
            if (table[at] == kEmpty) {
                table[at] = static_cast<uint32_t>(m_texts.size());
                m_texts.push_back(&value);
            }
            m_idOfSong.push_back(table[at]);
        }
    }
    const std::vector<const std::string*>& Texts() const { return m_texts; }
    uint32_t IdOfSong(size_t index) const { return m_idOfSong[index]; }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;
    std::vector<const std::string*> m_texts;  // the songs' own strings
    std::vector<uint32_t> m_idOfSong;
};

// Each song's text as its place in the order of (upper-cased text, text): songs sorted by it
// sort as by that pair, with strings compared per distinct text rather than per song.
class CTextRanks {
public:
    CTextRanks(const CSongList& songs, CSongText text) : m_ids(songs, text) {
        const std::vector<const std::string*>& texts = m_ids.Texts();
        std::vector<std::pair<std::string, uint32_t>> keyed;
        keyed.reserve(texts.size());
        for (size_t id = 0; id < texts.size(); ++id) keyed.emplace_back(GT::ToUpper(*texts[id]), id);
        std::sort(keyed.begin(), keyed.end(), [&texts](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : *texts[a.second] < *texts[b.second];
        });
        m_rankOfId.resize(texts.size());
        for (size_t rank = 0; rank < keyed.size(); ++rank) m_rankOfId[keyed[rank].second] = static_cast<uint32_t>(rank);
    }
    uint32_t OfSong(size_t index) const { return m_rankOfId[m_ids.IdOfSong(index)]; }

private:
    CTextIds m_ids;
    std::vector<uint32_t> m_rankOfId;
};

const std::string& GroupKey(const CSongRef& entry, int keyKind) {
    return keyKind == CDatabaseStore::KEY_ALBUM ? entry.song->GetAlbum() : entry.song->GetArtist();
}

}  // namespace

CDatabaseStore& CDatabaseStore::GetInstance() {
    static CDatabaseStore store;
    return store;
}

std::vector<std::string> CDatabaseStore::GetFileNames() {
    CDomain& d = CDomain::GetInstance();
    return {d.GetSongFilenameListFileName(), d.GetPlayListFileName(), d.GetAlbumListFileName(),
            d.GetArtistListFileName(),       d.GetBestListFileName(), d.GetMySongListFileName(),
            d.GetRhythmListFileName()};
}

std::vector<int64_t> CDatabaseStore::GetDatabaseFileSizes() {
    constexpr int64_t kFileHeaders = 28;  // container, format chunk and data chunk headers
    constexpr int64_t kSongList =
        kFileHeaders + 1032 + int64_t(Chunks::LIST_SONGS) * 2 + int64_t(Chunks::LIST_GROUPS) * 8;
    return {kFileHeaders + 6 + int64_t(Chunks::SONG_SLOTS) * Chunks::ENTRY_BYTES,
            kFileHeaders + 6 + int64_t(Chunks::NAME_RECORDS) * CNameRecord::SIZE,
            kSongList,
            kSongList,
            kSongList,
            kSongList,
            kSongList};
}

bool CDatabaseStore::DatabaseExists(const CCardVolume& card) const {
    // What an unfinished save left counts: such a card is not a new one.
    const std::vector<std::string> names = GetFileNames();
    if (CCardFileSet::HasLeftovers(card.GetDatabasePath(), names)) return true;
    for (const std::string& name : names)
        if (GT::IsExistingFile(card.GetDatabasePath() + name)) return true;
    return false;
}

void CDatabaseStore::RecoverInterruptedSave(const CCardVolume& card) {
    if (!card.IsWritable() || !card.IsCardFolder(card.GetDatabasePath())) return;
    CCardFileSet::Recover(card.GetDatabasePath(), GetFileNames());
}

// --- loading ---

bool CDatabaseStore::Load(const CCardVolume& card, ISongLists& document, const std::function<void()>& slotsRead) {
    const std::string folder = card.GetDatabasePath();
    const std::vector<std::string> files = GetFileNames();
    // A set that recovery could not finish is read only once it has been finished.
    if (CCardFileSet::HasLeftovers(folder, files)) return false;
    if (!ReadSongFilenameList(folder + files[0], document.GetSlots())) return false;
    if (slotsRead) slotsRead();
    CNameTable names;
    if (!ReadNameTable(folder + files[1], names)) names.clear();
    ReadAlbumList(folder + files[2], names, document);
    ReadArtistList(folder + files[3], names, document);
    ReadBestList(folder + files[4], names, document);
    ReadUserList(folder + files[5], names, document);
    ReadRhythmList(folder + files[6], names, document);
    return true;
}

bool CDatabaseStore::ReadSongFilenameList(const std::string& path, CSlotTable& slots) {
    std::unique_ptr<CQm3FileDto> dto;
    const Chunks::CSongFilenameListChunk* chunk = ReadDatabaseFile<Chunks::CSongFilenameListChunk>(path, dto);
    if (chunk == nullptr) return false;
    // The document keeps at most 4000 slots: a table that names a song beyond them cannot be
    // held whole, and a save would drop that song.
    const size_t count = std::min<size_t>(chunk->entries.size(), ISongLists::MAX_SONGS);
    for (size_t i = count; i < chunk->entries.size(); ++i)
        if (!chunk->entries[i].empty()) return false;
    slots.clear();
    slots.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        CSongPointer song(new CSongX());
        song->SetPathFromDevicePath(chunk->entries[i]);
        song->SetFileType(GetSongFileType(song->GetPath()));
        slots.push_back(song);
    }
    return true;
}

bool CDatabaseStore::ReadNameTable(const std::string& path, CNameTable& names) {
    std::unique_ptr<CQm3FileDto> dto;
    Chunks::CPlayListChunk* chunk = ReadDatabaseFile<Chunks::CPlayListChunk>(path, dto);
    if (chunk == nullptr) return false;
    names.swap(chunk->records);
    return true;
}

bool CDatabaseStore::ReadAlbumList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(path, names, document, LIST_ALBUM);
}

bool CDatabaseStore::ReadArtistList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(path, names, document, LIST_ARTIST);
}

bool CDatabaseStore::ReadBestList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(path, names, document, LIST_BEST);
}

bool CDatabaseStore::ReadUserList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(path, names, document, LIST_USER);
}

bool CDatabaseStore::ReadRhythmList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(path, names, document, LIST_RHYTHM);
}

// --- building ---

CNameTable CDatabaseStore::BuildNameTable(const CSongList& songs) {
    CNameTable names;
    BuildNameTable(songs, names);
    return names;
}

void CDatabaseStore::BuildNameTable(const CSongList& songs, CNameTable& names) {
    // The distinct texts by hashing; only they are sorted.
    std::vector<const std::string*> albums = CTextIds(songs, &CSongX::GetAlbum).Texts();
    std::vector<const std::string*> artists = CTextIds(songs, &CSongX::GetArtist).Texts();
    const auto byBytes = [](const std::string* a, const std::string* b) { return *a < *b; };
    std::sort(albums.begin(), albums.end(), byBytes);
    std::sort(artists.begin(), artists.end(), byBytes);
    names.clear();
    names.reserve(std::min<size_t>(albums.size() + artists.size(), Chunks::NAME_RECORDS));
    for (const auto& group :
         {std::make_pair(CNameRecord::KIND_ALBUM, &albums), std::make_pair(CNameRecord::KIND_ARTIST, &artists)}) {
        for (const std::string* name : *group.second) {
            if (names.size() >= static_cast<size_t>(Chunks::NAME_RECORDS)) return;  // albums win
            names.emplace_back();
            names.back().kind = group.first;
            names.back().block = NameBlockOf(*name);
        }
    }
}

CSongList CDatabaseStore::SortByAlbum(const CSongList& songs) {
    const CTextRanks albums(songs, &CSongX::GetAlbum);
    return SortBy(songs, [&songs, &albums](size_t i) {
        return std::make_tuple(albums.OfSong(i), songs[i].song->GetNumber(), songs[i].slot);
    });
}

CSongList CDatabaseStore::SortByArtist(const CSongList& songs) {
    const CTextRanks artists(songs, &CSongX::GetArtist), albums(songs, &CSongX::GetAlbum);
    return SortBy(songs, [&songs, &artists, &albums](size_t i) {
        return std::make_tuple(artists.OfSong(i), albums.OfSong(i), songs[i].song->GetNumber(), songs[i].slot);
    });
}

namespace {

CSongList SortByTitle(const CSongList& songs) {
    const CTextRanks titles(songs, &CSongX::GetTitle);
    return SortBy(songs, [&songs, &titles](size_t i) { return std::make_tuple(titles.OfSong(i), songs[i].slot); });
}

}  // namespace

CSongList CDatabaseStore::SortUserByTitle(const CSongList& user) { return SortByTitle(user); }

CSongList CDatabaseStore::SortRhythmByTitle(const CSongList& rhythm) { return SortByTitle(rhythm); }

std::vector<CSongGroup> CDatabaseStore::BuildGroups(const CSongList& sorted, const CNameTable& names, int keyKind) {
    // The first record of the kind for each text; a key finds its record by the text that the
    // record's field keeps of it, so a long name keeps its group.
    std::unordered_map<std::string_view, uint16_t> firstRecord;  // views of the records' fields
    firstRecord.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].kind != keyKind) continue;
        const char* text = reinterpret_cast<const char*>(names[i].block.text.data());
        firstRecord.emplace(std::string_view(text, std::find(text, text + CNameBlock::TEXT_BYTES, '\0') - text),
                            static_cast<uint16_t>(i));
    }
    std::vector<CSongGroup> groups;
    for (size_t first = 0; first < sorted.size();) {
        const std::string& key = GroupKey(sorted[first], keyKind);
        size_t end = first + 1;
        while (end < sorted.size() && GroupKey(sorted[end], keyKind) == key) ++end;
        const bool cut = key.size() > static_cast<size_t>(CNameBlock::TEXT_BYTES);
        const std::string kept = cut ? CSongX::CutToBytes(key, CNameBlock::TEXT_BYTES) : std::string();
        const auto record = firstRecord.find(cut ? std::string_view(kept) : std::string_view(key));
        if (record != firstRecord.end())
            groups.push_back(
                CSongGroup{static_cast<uint16_t>(first), static_cast<uint16_t>(end - first), record->second, 0});
        first = end;
    }
    if (groups.size() > static_cast<size_t>(Chunks::LIST_GROUPS)) groups.resize(Chunks::LIST_GROUPS);
    return groups;
}

// --- writing ---

bool CDatabaseStore::WriteSongFilenameList(const CSlotTable& slots, std::ostream& out) {
    auto chunk = boost::make_shared<Chunks::CSongFilenameListChunk>();
    const size_t count = std::min<size_t>(slots.size(), Chunks::SONG_SLOTS);
    chunk->entries.reserve(count);
    for (size_t i = 0; i < count; ++i) chunk->entries.push_back(slots[i] ? slots[i]->GetDevicePath() : std::string());
    return WriteDatabaseFile(chunk, out);
}

bool CDatabaseStore::WriteNameTable(const CNameTable& names, std::ostream& out) {
    auto chunk = boost::make_shared<Chunks::CPlayListChunk>();
    chunk->source = &names;
    return WriteDatabaseFile(chunk, out);
}

bool CDatabaseStore::WriteAlbumList(const CNameTable& names, const ISongLists& document, std::ostream& out) {
    const CSongList sorted = SortByAlbum(document.GetList(ISongLists::LIST_SONGS));
    auto chunk = MakeListChunk("ALBUM", sorted);
    chunk->groups = BuildGroups(sorted, names, KEY_ALBUM);
    return WriteDatabaseFile(chunk, out);
}

bool CDatabaseStore::WriteArtistList(const CNameTable& names, const ISongLists& document, std::ostream& out) {
    const CSongList sorted = SortByArtist(document.GetList(ISongLists::LIST_SONGS));
    auto chunk = MakeListChunk("ARTIST", sorted);
    chunk->groups = BuildGroups(sorted, names, KEY_ARTIST);
    return WriteDatabaseFile(chunk, out);
}

bool CDatabaseStore::WriteBestList(const ISongLists& document, std::ostream& out) {
    return WriteUngroupedList("BEST10", document.GetList(ISongLists::LIST_BEST), out);
}

bool CDatabaseStore::WriteUserList(const ISongLists& document, std::ostream& out) {
    return WriteUngroupedList("MYSONG", SortUserByTitle(document.GetList(ISongLists::LIST_USER)), out);
}

bool CDatabaseStore::WriteRhythmList(const ISongLists& document, std::ostream& out) {
    return WriteUngroupedList("RHYTHM", SortRhythmByTitle(document.GetList(ISongLists::LIST_RHYTHM)), out);
}

namespace {

// Room for a whole new set beside the old files (and the mark, and a folder that grows); true
// when the space cannot be told, so that the safe way is tried.
bool HasRoomForNewSet(const std::string& folder) {
    uint64_t total = 0, available = 0;
    if (!GT::GetDiskSpace(folder, total, available)) return true;
    int64_t needed = 0, cluster = 0;
    if (!GT::GetDiskSpaceRequired(folder, 1, cluster)) return true;
    for (int64_t size : CDatabaseStore::GetDatabaseFileSizes()) {
        int64_t bytes = 0;
        if (!GT::GetDiskSpaceRequired(folder, size, bytes)) return true;
        needed += bytes;
    }
    needed += 2 * cluster;
    return static_cast<uint64_t>(needed) <= available;
}

// The way of a card too full for a new set: all seven written to the work folder first, then
// each copied over its card file.
bool WriteInPlace(const CCardVolume& card, const std::vector<CCardFileSet::CEntry>& entries) {
    CCardFileSystem& files = GetCardFileSystem();
    const std::string prefix = CDomain::GetInstance().GetWorkFolder() + "/" + kTemporaryPrefix;
    std::vector<std::string> temporaries;
    bool written = true;
    for (const CCardFileSet::CEntry& entry : entries) {
        const std::string path = prefix + entry.name;
        bool opened = false;
        written = WriteWholeFile(path, entry.write, &opened);
        if (opened) temporaries.push_back(path);
        if (!written) break;
    }
    const std::string folder = card.GetDatabasePath();
    bool copied = written && card.IsWritable();
    if (copied) {
        for (const CCardFileSet::CEntry& entry : entries) {
            // Through the card's own copy: a link or a file with other names in a database file's
            // place is replaced, never written through.
            const bool done = files.CopyInto(prefix + entry.name, folder + entry.name);
            if (done) GT::MakeWritable(folder + entry.name);
            copied = done && copied;
        }
        copied = files.Sync(folder) && copied;
    }
    for (const std::string& path : temporaries) files.Remove(path);
    return copied;
}

}  // namespace

bool CDatabaseStore::Save(const CCardVolume& card, const ISongLists& document) {
    if (!card.IsWritable()) return false;
    const std::string folder = card.GetDatabasePath();
    // The table's storage is kept from save to save: two megabytes of fresh memory would cost a
    // page fault for every page.
    BuildNameTable(document.GetList(ISongLists::LIST_SONGS), m_names);
    const CNameTable& names = m_names;
    const std::vector<std::string> files = GetFileNames();
    const ISongLists& doc = document;
    const std::vector<CCardFileSet::CEntry> entries = {
        {files[0], [this, &doc](std::ostream& out) { return WriteSongFilenameList(doc.GetSlots(), out); }},
        {files[1], [this, &names](std::ostream& out) { return WriteNameTable(names, out); }},
        {files[2], [this, &names, &doc](std::ostream& out) { return WriteAlbumList(names, doc, out); }},
        {files[3], [this, &names, &doc](std::ostream& out) { return WriteArtistList(names, doc, out); }},
        {files[4], [this, &doc](std::ostream& out) { return WriteBestList(doc, out); }},
        {files[5], [this, &doc](std::ostream& out) { return WriteUserList(doc, out); }},
        {files[6], [this, &doc](std::ostream& out) { return WriteRhythmList(doc, out); }},
    };
    // A database file's place taken by a folder with entries fails the save before anything
    // changes. What an earlier save left goes next: a set still marked complete would be
    // finished over an in-place write at the next connect (and its copies take room a new set
    // needs).
    if (!card.IsCardFolder(folder) || !CCardFileSet::CanReplace(folder, files) || !CCardFileSet::Recover(folder, files))
        return false;
    if (HasRoomForNewSet(folder)) return CCardFileSet::Replace(folder, entries);
    return WriteInPlace(card, entries);
}
