#include "app/card/CardDocument.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <unordered_set>

#include "app/card/DatabaseStore.h"
#include "app/card/Domain.h"
#include "app/card/IconFiles.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "general_tools/Files.h"
#include "general_tools/StringFunctions.h"
#include "ui/CursorStack.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t CountDistinct(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end());
    return static_cast<size_t>(std::unique(names.begin(), names.end()) - names.begin());
}

void ApplyNameChanges(std::vector<std::string>& names, const std::vector<std::string>& toAdd,
                      const std::vector<std::string>& toRemove) {
    for (const std::string& name : toRemove) {
        const auto found = std::find(names.begin(), names.end(), name);
        if (found != names.end()) names.erase(found);
    }
    names.insert(names.end(), toAdd.begin(), toAdd.end());
}

}  // namespace

// --- card recognition ---

std::string GetVolumeLabel(const std::string& displayName, const std::string& drive) {
    const std::string::size_type at = displayName.find(" (" + drive + ")");
    return at == std::string::npos ? displayName : displayName.substr(0, at);
}

bool IsCardLabel(const std::string& label) {
    CDomain& domain = CDomain::GetInstance();
    const std::string& word = domain.GetVolumeLabelWord();
    return label == domain.GetModelName() || Contains(label, word) || Contains(label, GT::ToUpper(word))
           || Contains(label, GT::ToLower(word));
}

std::string FindCardInDrives(const GT::CDriveList& drives, const std::set<std::string>& skip) {
    for (const GT::CDriveRecord& drive : drives) {
        if (skip.count(drive.first) != 0) continue;
        if (IsCardLabel(GetVolumeLabel(drive.second, drive.first))) return drive.first;
    }
    return std::string();
}

// --- document ---

CDocX::CDocX() { Reset(); }

CDocX::~CDocX() = default;

void CDocX::OnModelEvent(const CModelEvent& event) {
    switch (event.id) {
        case CModelEvent::CONNECT_FINISHED:
            if (IsConnected() && !ReadFromUnit(true)) {
                // Left connected, the card would get empty slots: the next import would write
                // over its songs' files and its database.
                m_refusedVolumes.insert(GetCardDrive());
                Reset();
            }
            break;
        case CModelEvent::CARD_GONE:
            Reset();
            break;
        case CModelEvent::CARD_REMOVED_IN_MODAL:
            // Forgotten only when the window closes, but written no more from now on: a run
            // under the window stops at its next write.
            m_volume.NoteRemoval();
            break;
        case CModelEvent::DRIVE_REMOVED:
            m_refusedVolumes.erase(event.text);
            break;
        default:
            break;
    }
}

CSongList& CDocX::GetList(int kind) {
    switch (kind) {
        case LIST_RHYTHM:
            return m_rhythm;
        case LIST_USER:
            return m_user;
        case LIST_BEST:
            return m_best;
        default:
            return m_songs;
    }
}

const CSongList& CDocX::GetList(int kind) const { return const_cast<CDocX*>(this)->GetList(kind); }

CSongPointer CDocX::GetSong(int slot) const {
    if (slot < 0 || slot >= GetSlotCount()) return CSongPointer();
    return m_slots[static_cast<size_t>(slot)];
}

int CDocX::FindSlot(const CSongX* song) const {
    for (size_t i = 0; i < m_slots.size(); ++i)
        if (m_slots[i].get() == song) return static_cast<int>(i);
    return -1;
}

int CDocX::FindInList(int kind, const CSongX* song) const {
    const CSongList& list = GetList(kind);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].song == song) return static_cast<int>(i);
    return -1;
}

int CDocX::GetUsedSlotCount() const {
    return static_cast<int>(
        std::count_if(m_slots.begin(), m_slots.end(), [](const CSongPointer& song) { return song && song->IsUsed(); }));
}

bool CDocX::CanAdd(int count) const { return static_cast<int64_t>(GetUsedSlotCount()) + count <= MAX_SONGS; }

bool CDocX::IsImportableType(const std::string& path) { return IsSupportedSongFile(path); }

bool CDocX::IsWaveOrAiff(const std::string& path) {
    const int type = GetSongFileType(path);
    return type == kSongFileWav || type == kSongFileAiff;
}

bool CDocX::IsVoxaFile(const std::string& path) { return GetSongFileType(path) == kSongFileVoxa; }

bool CDocX::AreAllImportable(const std::vector<std::string>& paths) {
    return std::all_of(paths.begin(), paths.end(), IsImportableType);
}

// --- places ---

std::string CDocX::GetSongFolder(int slot) {
    if (!IsConnected()) return std::string();
    const std::string& databasePath = GetDatabasePath();
    if (slot < 0 || slot >= MAX_SONGS) return databasePath;
    const std::string folder = databasePath + GT::FormatString("%03d/", slot / 100);
    MakeFolderOnCard(folder, true);
    return folder;
}

std::string CDocX::FindCardDrive() { return FindCardDrive(GT::ListDrives()); }

std::string CDocX::FindCardDrive(GT::CDriveList drives) {
    std::set<std::string> listed;
    for (const GT::CDriveRecord& drive : drives) listed.insert(drive.first);
    for (auto it = m_refusedVolumes.begin(); it != m_refusedVolumes.end();)
        it = listed.count(*it) != 0 ? std::next(it) : m_refusedVolumes.erase(it);
    // A drive without a root folder (a CD drive's device) cannot be the card.
    drives.erase(std::remove_if(drives.begin(), drives.end(),
                                [](const GT::CDriveRecord& drive) {
                                    std::error_code ec;
                                    return !fs::is_directory(MakeCardRoot(drive.first), ec);
                                }),
                 drives.end());
    return FindCardInDrives(drives, m_refusedVolumes);
}

// --- changes ---

void CDocX::ClearChanges() {
    m_changedSongs.clear();
    m_modified = 0;
}

void CDocX::Clear() {
    m_slots.clear();
    m_songs.clear();
    m_rhythm.clear();
    m_user.clear();
    m_best.clear();
    ClearChanges();
}

void CDocX::Reset() {
    m_volume.Disconnect();
    Clear();
}

int CDocX::AllocateSlot() {
    for (size_t i = 0; i < m_slots.size(); ++i)
        if (m_slots[i] && !m_slots[i]->IsUsed()) return static_cast<int>(i);
    if (m_slots.size() >= MAX_SONGS) return -1;
    m_slots.push_back(CSongPointer(new CSongX()));
    return static_cast<int>(m_slots.size()) - 1;
}

bool CDocX::EraseFromList(int kind, const CSongX* song) {
    const int index = FindInList(kind, song);
    if (index < 0) return false;
    CSongList& list = GetList(kind);
    list.erase(list.begin() + index);
    m_modified = 1;
    return true;
}

void CDocX::MoveToSongs(CSongX* song) {
    if (FindInList(LIST_SONGS, song) >= 0) return;
    EraseFromList(LIST_RHYTHM, song);
    EraseFromList(LIST_USER, song);
    const int slot = FindSlot(song);
    if (slot < 0) return;
    m_songs.push_back(CSongRef{song, slot});
    m_modified = 1;
}

void CDocX::MoveToTaggedList(int kind, CSongX* song, const std::string& tag) {
    if (FindInList(kind, song) >= 0) return;
    for (int other : {LIST_SONGS, LIST_RHYTHM, LIST_USER})
        if (other != kind) EraseFromList(other, song);
    const int slot = FindSlot(song);
    if (slot < 0) return;
    song->SetAlbum(tag);
    song->SetArtist(tag);
    GetList(kind).push_back(CSongRef{song, slot});
    m_modified = 1;
}

void CDocX::MoveToRhythm(CSongX* song) { MoveToTaggedList(LIST_RHYTHM, song, CDomain::GetInstance().GetRhythmTag()); }

void CDocX::MoveToUser(CSongX* song) { MoveToTaggedList(LIST_USER, song, CDomain::GetInstance().GetUserTag()); }

void CDocX::AddToCategory(CSongX* song, int tab) {
    if (tab == LIST_RHYTHM)
        MoveToRhythm(song);
    else if (tab == LIST_USER)
        MoveToUser(song);
    else
        MoveToSongs(song);
    m_addedSongs.push_back(song);
}

int CDocX::SetBestRank(CSongX* song, int n) {
    int position = FindInList(LIST_BEST, song) + 1;
    if (position == n) return position;
    if (position > 0) {
        m_best.erase(m_best.begin() + (position - 1));
        m_modified = 1;
    } else {
        position = -1;
    }
    if (n <= 0) return position;
    const int slot = FindSlot(song);
    if (slot < 0) return position;
    const int size = static_cast<int>(m_best.size());
    int result;
    if (size < n) {
        m_best.push_back(CSongRef{song, slot});
        result = size + 1;
    } else {
        m_best.insert(m_best.begin() + (n - 1), CSongRef{song, slot});
        result = n;
    }
    if (m_best.size() > MAX_BEST) m_best.resize(MAX_BEST);
    m_modified = 1;
    return result;
}

bool CDocX::CheckAlbumArtistLimit(const std::vector<std::string>& albumsToAdd,
                                  const std::vector<std::string>& artistsToAdd,
                                  const std::vector<std::string>& albumsToRemove,
                                  const std::vector<std::string>& artistsToRemove) const {
    std::vector<std::string> albums, artists;
    albums.reserve(m_songs.size() + albumsToAdd.size());
    artists.reserve(m_songs.size() + artistsToAdd.size());
    for (const CSongRef& entry : m_songs) {
        albums.push_back(entry.song->GetAlbum());
        artists.push_back(entry.song->GetArtist());
    }
    ApplyNameChanges(albums, albumsToAdd, albumsToRemove);
    ApplyNameChanges(artists, artistsToAdd, artistsToRemove);
    return CountDistinct(albums) + CountDistinct(artists) <= static_cast<size_t>(MAX_NAMES);
}

// --- reading and writing ---

void CDocX::PutUnlistedSongsInSongs() {
    std::unordered_set<const CSongX*> listed;
    for (int kind : {LIST_SONGS, LIST_RHYTHM, LIST_USER})
        for (const CSongRef& entry : GetList(kind)) listed.insert(entry.song);
    for (size_t slot = 0; slot < m_slots.size(); ++slot) {
        CSongX* song = m_slots[slot].get();
        if (song && song->IsUsed() && listed.count(song) == 0)
            m_songs.push_back(CSongRef{song, static_cast<int>(slot)});
    }
}

bool CDocX::Load() {
    if (!IsConnected()) return false;
    Clear();
    CDatabaseStore& store = CDatabaseStore::GetInstance();
    // The database folder and the folders above it must be the card's own: nothing is read
    // through a link, nor from another file system mounted in their place.
    CCardFolder database;
    switch (m_volume.OpenFolder(GetDatabasePath(), database)) {
        case CCardVolume::FOLDER_MISSING:
            return true;  // a new card: nothing written yet
        case CCardVolume::FOLDER_REFUSED:
            return false;
        default:
            break;
    }
    store.RecoverInterruptedSave(m_volume, database);
    if (!store.DatabaseExists(database)) return true;
    // The icon files are read while the lists are.
    std::unique_ptr<CIconFileStore::CReading> icons;
    if (!store.Load(m_volume, database, *this, [&] { icons.reset(new CIconFileStore::CReading(m_volume, *this)); })) {
        icons.reset();
        Clear();
        return false;
    }
    if (icons) icons->Finish();
    // A damaged or missing list file must not make songs vanish at the next save.
    PutUnlistedSongsInSongs();
    ClearChanges();
    return true;
}

bool CDocX::Save() {
    if (!IsConnected()) return false;
    UL::CWaitCursor wait;
    // Everything that can refuse the save is asked before anything is written: the icon files'
    // folders and room, then the database's folder, names and room.
    CIconFileStore::CWrite icons(m_volume, *this);
    if (!icons.IsReady()) return false;
    CDatabaseStore::CSave database(CDatabaseStore::GetInstance(), m_volume, *this, icons.GetBytes());
    if (!database.IsReady()) return false;
    const std::set<CSongX*> unwritten = icons.Write();
    if (!database.Commit()) return false;
    // Titles and protect flags live only in the icon files: songs whose icon file was not
    // written stay changed.
    m_changedSongs = unwritten;
    m_modified = 0;
    return unwritten.empty();
}

bool CDocX::ReadFromUnit(bool showMessage) {
    const bool loaded = Load();
    if (!loaded && showMessage) CModalManager::GetInstance().ShowMessageById(MSG_READ_FAILED);
    return loaded;
}

bool CDocX::WriteToUnit() {
    const bool saved = Save();
    if (!saved) CModalManager::GetInstance().ShowMessageById(MSG_WRITE_FAILED);
    return saved;
}

bool CDocX::AskSaveChanges() {
    if (!NeedsSaving()) return true;
    switch (CModalManager::GetInstance().AskYesNoCancel(MSG_SAVE_CHANGES)) {
        case CModalManager::ANSWER_CANCEL:
            return false;
        case CModalManager::ANSWER_YES:
            return WriteToUnit();
        default:
            return true;
    }
}
