#include "app/card/DatabaseStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <istream>
#include <limits>
#include <memory>
#include <ostream>
#include <set>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include <boost/make_shared.hpp>

#include "app/card/CardFiles.h"
#include "app/card/CardVolume.h"
#include "app/card/Domain.h"
#include "app/card/IconFiles.h"
#include "general_tools/Drives.h"
#include "general_tools/GraphicDataMaker.h"
#include "general_tools/Paths.h"
#include "general_tools/StringFunctions.h"

namespace {

typedef CDatabaseFileChunks Chunks;

// The five song lists and what reading one does to its songs.
enum EListFile { LIST_ALBUM, LIST_ARTIST, LIST_BEST, LIST_USER, LIST_RHYTHM };

// No database file comes near this: a name table of 65,535 records is 64 MiB.
constexpr size_t kMaxDatabaseFileBytes = size_t(128) << 20;

// A database file: its name in the open database folder, or a path (folder null).
struct CDatabaseFile {
    const CCardFolder* folder;
    std::string name;
};

// Reads a whole database file, with one read, and parses it in memory; null when it cannot be
// opened or read or lacks a chunk.
template <class TData>
TData* ReadDatabaseFile(const CDatabaseFile& file, std::unique_ptr<CQm3FileDto>& dto) {
    CCardFileInput in;
    if (file.folder != nullptr ? !in.Open(*file.folder, file.name, kMaxDatabaseFileBytes)
                               : !in.Open(file.name, kMaxDatabaseFileBytes))
        return nullptr;
    dto.reset(new CQm3FileDto(boost::make_shared<Chunks::CChunkFactory<TData>>()));
    return ReadQm3File<TData>(in, *dto, TData::Id());
}

bool ReadSlots(const CDatabaseFile& file, CSlotTable& slots);
bool ReadNames(const CDatabaseFile& file, CNameTable& names);

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

bool ApplySongList(const CDatabaseFile& file, const CNameTable& names, ISongLists& document, EListFile list) {
    std::unique_ptr<CQm3FileDto> dto;
    const Chunks::CSongListChunk* chunk = ReadDatabaseFile<Chunks::CSongListChunk>(file, dto);
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

bool CDatabaseStore::DatabaseExists(const CCardFolder& folder) const {
    // What an unfinished save left counts: such a card is not a new one.
    const std::vector<std::string> names = GetFileNames();
    if (CCardFileSet::HasLeftovers(folder, names)) return true;
    for (const std::string& name : names) {
        struct stat info {};
        if (GetCardFileSystem().Look(folder, name, info) != CCardFileSystem::ENTRY_MISSING) return true;
    }
    return false;
}

void CDatabaseStore::RecoverInterruptedSave(const CCardVolume& card, const CCardFolder& folder) {
    if (!card.IsWritable() || !folder.IsOpen()) return;
    CCardFileSet::Recover(folder, GetFileNames());
}

void CDatabaseStore::RecoverInterruptedSave(const CCardVolume& card) {
    CCardFolder folder;
    if (card.OpenFolder(card.GetDatabasePath(), folder) == CCardVolume::FOLDER_OPEN)
        RecoverInterruptedSave(card, folder);
}

// --- loading ---

namespace {

// Every folder that a used slot's file lies in is a folder of the card itself, or missing: a
// link or another file system in one's place refuses the card.
bool AreSongFoldersOnCard(const CCardVolume& card, const CSlotTable& slots) {
    const std::string drive = card.GetDrive();
    std::set<std::string> looked;
    CCardFolder root;
    if (card.OpenFolder(card.GetRoot(), root) != CCardVolume::FOLDER_OPEN) return false;
    std::string last;
    for (const CSongPointer& song : slots) {
        if (!song || !song->IsUsed()) continue;
        const std::string& path = song->GetPath();
        const std::string folder = drive + path.substr(0, path.rfind('/') + 1);
        // Songs of one folder mostly follow each other.
        if (folder == last || !looked.insert(folder).second) continue;
        last = folder;
        CCardFolder handle;
        if (card.OpenFolderBelow(root, folder, handle) == CCardVolume::FOLDER_REFUSED) return false;
    }
    return true;
}

}  // namespace

bool CDatabaseStore::Load(const CCardVolume& card, const CCardFolder& folder, ISongLists& document,
                          const std::function<void()>& slotsRead) {
    const std::vector<std::string> files = GetFileNames();
    // A set that recovery could not finish is read only once it has been finished.
    if (!folder.IsOpen() || CCardFileSet::HasLeftovers(folder, files)) return false;
    if (!ReadSlots(CDatabaseFile{&folder, files[0]}, document.GetSlots())) return false;
    if (!AreSongFoldersOnCard(card, document.GetSlots())) return false;
    if (slotsRead) slotsRead();
    CNameTable names;
    if (!ReadNames(CDatabaseFile{&folder, files[1]}, names)) names.clear();
    ApplySongList(CDatabaseFile{&folder, files[2]}, names, document, LIST_ALBUM);
    ApplySongList(CDatabaseFile{&folder, files[3]}, names, document, LIST_ARTIST);
    ApplySongList(CDatabaseFile{&folder, files[4]}, names, document, LIST_BEST);
    ApplySongList(CDatabaseFile{&folder, files[5]}, names, document, LIST_USER);
    ApplySongList(CDatabaseFile{&folder, files[6]}, names, document, LIST_RHYTHM);
    return true;
}

bool CDatabaseStore::ReadSongFilenameList(const std::string& path, CSlotTable& slots) {
    return ReadSlots(CDatabaseFile{nullptr, path}, slots);
}

namespace {

bool ReadSlots(const CDatabaseFile& file, CSlotTable& slots) {
    std::unique_ptr<CQm3FileDto> dto;
    const Chunks::CSongFilenameListChunk* chunk = ReadDatabaseFile<Chunks::CSongFilenameListChunk>(file, dto);
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

bool ReadNames(const CDatabaseFile& file, CNameTable& names) {
    std::unique_ptr<CQm3FileDto> dto;
    Chunks::CPlayListChunk* chunk = ReadDatabaseFile<Chunks::CPlayListChunk>(file, dto);
    if (chunk == nullptr) return false;
    names.swap(chunk->records);
    return true;
}

}  // namespace

bool CDatabaseStore::ReadNameTable(const std::string& path, CNameTable& names) {
    return ReadNames(CDatabaseFile{nullptr, path}, names);
}

bool CDatabaseStore::ReadAlbumList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(CDatabaseFile{nullptr, path}, names, document, LIST_ALBUM);
}

bool CDatabaseStore::ReadArtistList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(CDatabaseFile{nullptr, path}, names, document, LIST_ARTIST);
}

bool CDatabaseStore::ReadBestList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(CDatabaseFile{nullptr, path}, names, document, LIST_BEST);
}

bool CDatabaseStore::ReadUserList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(CDatabaseFile{nullptr, path}, names, document, LIST_USER);
}

bool CDatabaseStore::ReadRhythmList(const std::string& path, const CNameTable& names, ISongLists& document) {
    return ApplySongList(CDatabaseFile{nullptr, path}, names, document, LIST_RHYTHM);
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

// Which way a save of these new copies takes: 1 the whole set beside the old files, 2 one file
// at a time, 0 none (not even the largest copy fits beside its old file). bytesBefore are taken
// on the card first. A file system that cannot tell its space, or that reports none at all
// (FUSE's FAT answers 0 blocks), takes the set's way, whose failures leave the old set.
enum EWay { WAY_NONE, WAY_WHOLE_SET, WAY_EACH_FILE };

EWay ChooseWay(const std::string& folder, const std::vector<int64_t>& sizes, int64_t bytesBefore) {
    uint64_t total = 0, available = 0;
    int64_t cluster = 0;
    if (sizes.empty() || !GT::GetDiskSpace(folder, total, available) || total == 0
        || !GT::GetDiskSpaceRequired(folder, 1, cluster))
        return WAY_WHOLE_SET;
    // Beside the copies: the mark, and a cluster should the folder grow.
    int64_t set = 2 * cluster, largest = 0;
    for (int64_t size : sizes) {
        int64_t bytes = 0;
        if (!GT::GetDiskSpaceRequired(folder, size, bytes)) return WAY_WHOLE_SET;
        set += bytes;
        largest = std::max(largest, bytes);
    }
    const int64_t room = static_cast<int64_t>(std::min<uint64_t>(available, std::numeric_limits<int64_t>::max()));
    const int64_t left = room - std::max<int64_t>(bytesBefore, 0);
    if (set <= left) return WAY_WHOLE_SET;
    if (largest + cluster <= left) return WAY_EACH_FILE;
    return WAY_NONE;
}

}  // namespace

CDatabaseStore::CSave::CSave(CDatabaseStore& store, const CCardVolume& card, const ISongLists& document,
                             int64_t bytesBefore)
    : m_card(card) {
    // A missing database folder (a new card) is made only by Commit: every file is new then.
    if (!card.IsWritable() || card.OpenFolder(card.GetDatabasePath(), m_folder) == CCardVolume::FOLDER_REFUSED) return;
    // The table's storage is kept from save to save: two megabytes of fresh memory would cost a
    // page fault for every page.
    store.BuildNameTable(document.GetList(ISongLists::LIST_SONGS), store.m_names);
    const CNameTable& names = store.m_names;
    const std::vector<std::string> files = GetFileNames();
    const ISongLists& doc = document;
    CDatabaseStore* self = &store;
    const std::vector<CCardFileSet::CEntry> entries = {
        {files[0], [self, &doc](std::ostream& out) { return self->WriteSongFilenameList(doc.GetSlots(), out); }},
        {files[1], [self, &names](std::ostream& out) { return self->WriteNameTable(names, out); }},
        {files[2], [self, &names, &doc](std::ostream& out) { return self->WriteAlbumList(names, doc, out); }},
        {files[3], [self, &names, &doc](std::ostream& out) { return self->WriteArtistList(names, doc, out); }},
        {files[4], [self, &doc](std::ostream& out) { return self->WriteBestList(doc, out); }},
        {files[5], [self, &doc](std::ostream& out) { return self->WriteUserList(doc, out); }},
        {files[6], [self, &doc](std::ostream& out) { return self->WriteRhythmList(doc, out); }},
    };
    // A database file's place taken by a folder with entries refuses the save. What an earlier
    // save left goes next: a set still marked complete would be finished over this one at the
    // next connect (and its copies take room a new set needs). Then the new bytes, compared
    // with the card's, tell what changes and the room that takes.
    if (m_folder.IsOpen() && (!CCardFileSet::CanReplace(m_folder, files) || !CCardFileSet::Recover(m_folder, files)))
        return;
    if (!m_update.Prepare(m_folder, entries)) return;
    switch (ChooseWay(card.GetDatabasePath(), m_update.GetChangedSizes(), bytesBefore)) {
        case WAY_WHOLE_SET:
            m_wholeSet = true;
            break;
        case WAY_EACH_FILE:
            m_wholeSet = false;
            break;
        case WAY_NONE:
            return;
    }
    m_ready = true;
}

bool CDatabaseStore::CSave::Commit() {
    if (!m_ready || !m_card.IsWritable()) return false;
    m_ready = false;
    if (!m_folder.IsOpen() && m_card.OpenFolder(m_card.GetDatabasePath(), m_folder, true) != CCardVolume::FOLDER_OPEN)
        return false;
    return m_wholeSet ? m_update.Replace(m_folder) : m_update.ReplaceEach(m_folder);
}

bool CDatabaseStore::Save(const CCardVolume& card, const ISongLists& document) {
    CSave save(*this, card, document);
    return save.IsReady() && save.Commit();
}
