#include "app/card/CardDocument.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <limits>
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

constexpr int64_t kSpareBytes = 1048576;  // kept free on every volume that a check asks about

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The path with its links and "." and ".." resolved as far as it exists.
std::string CanonicalForm(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::path(path), ec);
    if (ec) return std::string();
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

bool HasParentSegment(const std::string& path) {
    const std::string wrapped = "/" + path + "/";
    return Contains(wrapped, "/../");
}

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

const std::string& CDocX::GetDatabaseFolderName() {
    static const std::string name("CORVANE/QM/DB/");
    return name;
}

std::string CDocX::MakeDatabasePath(const std::string& root) {
    return root.empty() ? std::string() : root + GetDatabaseFolderName();
}

std::string CDocX::MakeCardRoot(const std::string& drive) {
    if (drive.empty()) return std::string();
    return drive.back() == '/' ? drive : drive + "/";
}

void CDocX::SetCardRoot(const std::string& root) {
    ++m_connection;
    m_databasePath = MakeDatabasePath(root);
    m_cardIdentified = false;
    struct stat info {};
    if (!root.empty() && stat(root.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        m_cardDevice = static_cast<uint64_t>(info.st_dev);
        m_cardInode = static_cast<uint64_t>(info.st_ino);
        m_cardIdentified = true;
    }
}

std::string CDocX::GetCardRoot() const {
    if (!IsConnected()) return std::string();
    return m_databasePath.substr(0, m_databasePath.size() - GetDatabaseFolderName().size());
}

std::string CDocX::GetCardDrive() const {
    const std::string root = GetCardRoot();
    return root.empty() ? root : root.substr(0, root.size() - 1);
}

bool CDocX::IsOnCard(const std::string& path) const {
    if (!IsConnected() || path.empty()) return false;
    const std::string root = CanonicalForm(GetCardRoot());
    const std::string candidate = CanonicalForm(path);
    if (root.empty() || candidate.empty()) return false;
    return candidate == root || root == "/" || StartsWith(candidate, root + "/");
}

std::string CDocX::GetSongFolder(int slot) {
    if (!IsConnected()) return std::string();
    if (slot < 0 || slot >= MAX_SONGS) return m_databasePath;
    const std::string folder = m_databasePath + GT::FormatString("%03d/", slot / 100);
    MakeFolderOnCard(folder, true);
    return folder;
}

bool CDocX::IsCardMounted() const {
    if (!IsConnected() || !m_cardIdentified) return false;
    struct stat info {};
    return stat(GetCardRoot().c_str(), &info) == 0 && S_ISDIR(info.st_mode)
           && static_cast<uint64_t>(info.st_dev) == m_cardDevice && static_cast<uint64_t>(info.st_ino) == m_cardInode;
}

bool CDocX::IsCardWritable() const {
    return IsCardMounted() && (m_pinnedConnection == 0 || m_pinnedConnection == m_connection);
}

bool CDocX::MakeFolderOnCard(const std::string& folder, bool grantEveryone) const {
    const std::string root = GetCardRoot();
    if (root.empty() || !StartsWith(folder, root) || HasParentSegment(folder.substr(root.size()))) return false;
    return IsCardWritable() && GT::CreateDirectoryPath(folder, grantEveryone);
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
    ++m_connection;
    m_databasePath.clear();
    m_cardIdentified = false;
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

int CDocX::CheckFreeSpace(const std::string& target, const std::vector<int64_t>& sizes) const {
    uint64_t total = 0, available = 0;
    if (!GT::GetDiskSpace(target, total, available)) return SPACE_UNKNOWN;
    int64_t needed = 0;
    bool overflow = false;
    for (int64_t size : sizes) {
        int64_t bytes = 0;
        if (!GT::GetDiskSpaceRequired(target, size, bytes)) return SPACE_UNKNOWN;
        if (bytes > std::numeric_limits<int64_t>::max() - needed)
            overflow = true;
        else
            needed += bytes;
    }
    const int64_t free = static_cast<int64_t>(std::min<uint64_t>(available, std::numeric_limits<int64_t>::max()));
    return !overflow && needed <= free - kSpareBytes ? SPACE_FITS : SPACE_SHORT;
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
    if (IsCardMounted()) store.RecoverInterruptedSave(*this);
    if (!store.DatabaseExists(*this)) return true;  // a new card: nothing written yet
    if (!store.Load(*this)) {
        Clear();
        return false;
    }
    CIconFileStore::GetInstance().ReadAllIconFiles(*this);
    // A damaged or missing list file must not make songs vanish at the next save.
    PutUnlistedSongsInSongs();
    ClearChanges();
    return true;
}

bool CDocX::Save() {
    if (!IsConnected() || !MakeFolderOnCard(m_databasePath, false)) return false;
    UL::CWaitCursor wait;
    const std::set<CSongX*> unwritten = CIconFileStore::GetInstance().WriteChangedIconFiles(*this);
    if (!CDatabaseStore::GetInstance().Save(*this)) return false;
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
