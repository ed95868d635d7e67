// The card document's long operations on songs: importing files into free slots, exporting songs
// to a folder of the computer and deleting songs, with what storing new songs shares with CD
// ripping. The one-file work is the transfers'; this is the run around it: the checks before
// anything is touched, the database written before and after, progress, and a card that goes
// while the run waits.
#include "app/card/CardDocument.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "app/card/AppServices.h"
#include "app/card/AudioTransfer.h"
#include "app/card/DatabaseStore.h"
#include "app/card/DocumentModel.h"
#include "app/card/Domain.h"
#include "app/card/IconFiles.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "general_tools/CharacterCodeConverter.h"
#include "general_tools/Files.h"
#include "general_tools/Paths.h"
#include "general_tools/Profile.h"
#include "general_tools/StringFunctions.h"

namespace {

const char kExportFolderKey[] = "ExportDialog/InitialDirectory";
const char kExportCaption[] = "Export Directory";
const char kSpaceProbeTitle[] = "dummy";  // only the probe's volume matters

void ShowMessage(int id) { CModalManager::GetInstance().ShowMessageById(id); }

// "File %02d/%02d" of the file's 0-based index.
std::string FileCounter(size_t index, size_t count) {
    return GT::FormatString("File %02d/%02d", static_cast<int>(index + 1), static_cast<int>(count));
}

// The size of a file that a copy moves; nothing when it cannot be read.
void AddFileSize(const std::string& path, std::vector<int64_t>& sizes) {
    int64_t size = 0;
    if (GT::GetFileSize(path, size)) sizes.push_back(size);
}

// A file name in the system's ANSI code page as UTF-8.
std::string AnsiToUtf8(const std::string& text) {
    GT::ICharacterCodeConverter& converter = GT::GetCharacterCodeConverter();
    return converter.ToUtf8(converter.FromAnsi(text));
}

// A card file's name in the slot's folder: "%04d" of the slot and the extension.
std::string SlotFileName(int slot, const std::string& extension) { return GT::FormatString("%04d", slot) + extension; }

}  // namespace

// --- a run's hold on its card ---

CDocX::CCardRun::CCardRun(CDocX& document)
    : m_document(document),
      m_connection(document.m_volume.GetConnection()),
      m_outerPin(document.m_volume.Pin(m_connection)) {}

CDocX::CCardRun::~CCardRun() { m_document.m_volume.Pin(m_outerPin); }

bool CDocX::CCardRun::IsCardThere() const {
    return m_document.IsConnected() && m_document.m_volume.GetConnection() == m_connection
           && !m_document.m_volume.WasRemoved();
}

bool CDocX::CCardRun::CheckCard() {
    if (IsCardThere()) return true;
    if (!m_told) ShowMessage(MSG_UNIT_NOT_FOUND);
    m_told = true;
    return false;
}

bool CDocX::CCardRun::WriteDatabase(bool result) {
    if (!CheckCard()) return false;
    return m_document.WriteToUnit() && result;
}

// --- shared with ripping ---

bool CDocX::CountsAlbumsAndArtists(int tab) { return tab != LIST_RHYTHM && tab != LIST_USER; }

bool CDocX::CheckAlbumArtistLimitOfNewSongs(int tab, const std::vector<std::string>& albums,
                                            const std::vector<std::string>& artists) const {
    return !CountsAlbumsAndArtists(tab) || CheckAlbumArtistLimit(albums, artists, {}, {});
}

int CDocX::CheckSongSpace(const std::vector<int64_t>& audioSizes, size_t songCount) const {
    std::vector<int64_t> sizes = audioSizes;
    sizes.insert(sizes.end(), songCount, CIconFileStore::GetIconFileSize());
    // A save writes the whole new set beside the old one before it replaces it.
    const std::vector<int64_t> database = CDatabaseStore::GetDatabaseFileSizes();
    sizes.insert(sizes.end(), database.begin(), database.end());
    return CheckFreeSpace(GetDatabasePath() + kSpaceProbeTitle + CDomain::GetInstance().GetWaveExtension(), sizes);
}

CSongX* CDocX::FillNewSong(int slot, const std::string& destination) {
    CSongX* song = GetSong(slot).get();
    if (song == nullptr) return nullptr;
    song->SetPathFromFullPath(destination);
    song->SetFileType(GetSongFileType(song->GetPath()));
    song->ReadFileInformation(destination);
    return song;
}

void CDocX::AddNewSong(CSongX* song, int tab) {
    AddToCategory(song, tab);
    MarkChanged(song);
    SetModified(1);
}

// --- import ---

bool CDocX::EncodesOnImport(const std::string& source) const { return m_saveMemory && IsWaveOrAiff(source); }

std::string CDocX::GetImportExtension(const std::string& source) const {
    CDomain& domain = CDomain::GetInstance();
    if (EncodesOnImport(source)) return domain.GetVoxaExtension();
    if (GetSongFileType(source) == kSongFileAiff) return domain.GetWaveExtension();
    return GT::CPathParts(source, '/').extension;
}

std::vector<int> CDocX::PeekFreeSlots(size_t count) const {
    std::vector<int> slots;
    for (size_t i = 0; i < m_slots.size() && slots.size() < count; ++i)
        if (m_slots[i] && !m_slots[i]->IsUsed()) slots.push_back(static_cast<int>(i));
    for (int slot = GetSlotCount(); slot < MAX_SONGS && slots.size() < count; ++slot) slots.push_back(slot);
    return slots;
}

bool CDocX::WouldOverwriteALaterSource(const std::vector<std::string>& sources,
                                       const std::vector<std::string>& extensions) const {
    std::map<GT::CFileIdentity, size_t> lastIndex;  // each source file's last place in the list
    for (size_t i = 0; i < sources.size(); ++i) {
        GT::CFileIdentity identity;
        if (GT::GetFileIdentity(sources[i], identity)) lastIndex[identity] = i;
    }
    const std::vector<int> slots = PeekFreeSlots(sources.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        const int slot = slots[i];
        const std::string destination =
            GetDatabasePath() + GT::FormatString("%03d/", slot / 100) + SlotFileName(slot, extensions[i]);
        GT::CFileIdentity identity;
        if (!GT::GetFileIdentity(destination, identity)) continue;
        const auto found = lastIndex.find(identity);
        if (found != lastIndex.end() && found->second > i) return true;
    }
    return false;
}

bool CDocX::Import() {
    std::vector<std::string> sources;
    if (CModalManager::GetInstance().ChooseSongFiles(sources) != AModalManager::CHOSEN) return true;
    return ImportFiles(sources);
}

bool CDocX::CheckAlbumArtistLimitOfFiles(const std::vector<std::string>& sources) const {
    std::vector<std::string> albums, artists;
    for (const std::string& source : sources) {
        CSongX song;
        song.ReadFileInformation(source);
        albums.push_back(song.GetAlbum());
        artists.push_back(song.GetArtist());
    }
    return CheckAlbumArtistLimit(albums, artists, {}, {});
}

bool CDocX::CheckImportSpace(const std::vector<std::string>& sources) const {
    CAudioTransfer transfer(m_volume);
    std::vector<int64_t> sizes;
    for (const std::string& source : sources) {
        if (EncodesOnImport(source))
            sizes.push_back(static_cast<int64_t>(transfer.EstimateImportSize(source)));
        else if (GetSongFileType(source) == kSongFileAiff)
            sizes.push_back(static_cast<int64_t>(transfer.EstimateConvertedSize(source)));
        else
            AddFileSize(source, sizes);
    }
    switch (CheckSongSpace(sizes, sources.size())) {
        case SPACE_FITS:
            return true;
        case SPACE_SHORT:
            ShowMessage(MSG_CARD_FULL);
            return false;
        default:
            ShowMessage(MSG_IMPORT_FAILED);
            return false;
    }
}

bool CDocX::ImportFiles(const std::vector<std::string>& sources) {
    if (!IsConnected()) return false;
    // What the run stores is fixed when it starts, whatever the menu and the tabs do meanwhile.
    const int tab = CDocumentModel::GetInstance().GetShownTab();
    const size_t count = sources.size();
    if (count > static_cast<size_t>(MAX_SONGS) || !CanAdd(static_cast<int>(count))) {
        ShowMessage(MSG_TOO_MANY_SONGS);
        return false;
    }
    if (CountsAlbumsAndArtists(tab) && !CheckAlbumArtistLimitOfFiles(sources)) {
        ShowMessage(MSG_TOO_MANY_NAMES);
        return false;
    }
    // A file too long for one Voxa file would fail only after a long encoding (and its room
    // cannot be told): refused before anything is written.
    CAudioTransfer transfer(m_volume);
    const auto tooLongToEncode = [this, &transfer](const std::string& source) {
        return EncodesOnImport(source) && transfer.IsTooLongToEncode(source);
    };
    if (std::any_of(sources.begin(), sources.end(), tooLongToEncode)) {
        ShowMessage(MSG_UNSUPPORTED_FORMAT);
        return false;
    }
    if (!CheckImportSpace(sources)) return false;
    // A Voxa file passes the extension test, but no transfer takes it: refused before anything
    // is written rather than after the files before it.
    if (!AreAllImportable(sources) || std::any_of(sources.begin(), sources.end(), IsVoxaFile)) {
        ShowMessage(MSG_UNSUPPORTED_FORMAT);
        return false;
    }
    std::vector<bool> encodes;
    std::vector<std::string> extensions;
    for (const std::string& source : sources) {
        encodes.push_back(EncodesOnImport(source));
        extensions.push_back(GetImportExtension(source));
    }
    if (WouldOverwriteALaterSource(sources, extensions)) {
        ShowMessage(MSG_IMPORT_FAILED);
        return false;
    }

    CCardRun run(*this);
    // A card removed while the write's message was open is told of too.
    if (!WriteToUnit()) {
        run.CheckCard();
        return false;
    }
    ClearAddedSongs();
    GT::IProgress& progress = GetProgressBar();
    progress.SetTitle(GetTextCodeTable().GetText(MSG_NOW_IMPORTING));
    progress.SetCancelable(true);
    progress.Begin();
    progress.SetRange(static_cast<int>(count));
    bool result = true;
    for (size_t i = 0; i < count; ++i) {
        const std::string& source = sources[i];
        // Every progress call lets the removal notice through: the card is looked at after them.
        progress.SetMessage(FileCounter(i, count));
        if (encodes[i]) {
            progress.SetPos(0);
            progress.SetRange(CountProgressSteps(source));
        }
        if (!run.IsCardThere()) break;
        const int slot = AllocateSlot();
        if (slot < 0) {
            result = false;
            break;
        }
        const std::string destination = GetSongFolder(slot) + SlotFileName(slot, extensions[i]);
        // The transfer takes its partial destination away itself, and never a source that is
        // its own destination.
        const int answer = transfer.ImportFile(source, destination, encodes[i]);
        if (!run.IsCardThere()) break;
        if (answer == CAudioTransfer::FAILED) result = false;
        if (answer != CAudioTransfer::DONE) break;
        CSongX* song = FillNewSong(slot, destination);
        if (song == nullptr) {
            result = false;
            break;
        }
        if (song->GetTitle().empty()) song->SetTitle(AnsiToUtf8(GT::CPathParts(source, '/').title));
        AddNewSong(song, tab);
    }
    progress.End();
    return run.WriteDatabase(result);
}

// --- export ---

bool CDocX::ExportSongs(const std::vector<CSongX*>& songs) {
    std::vector<std::string> paths;
    for (const CSongX* song : songs)
        if (song != nullptr && song->IsUsed()) paths.push_back(song->GetFullPath());
    return ExportFiles(paths);
}

bool CDocX::ExportFiles(const std::vector<std::string>& cardPaths) {
    CModalManager& modal = CModalManager::GetInstance();
    GT::IProfile& profile = GT::GetProfile();
    std::string folder;
    if (modal.ChooseFolder(profile.GetString(kExportFolderKey, std::string()), kExportCaption, folder)
        != AModalManager::CHOSEN)
        return true;
    profile.WriteString(kExportFolderKey, folder);
    if (folder.empty() || folder.back() != '/') folder += "/";
    if (!IsConnected()) return false;
    if (IsOnCard(folder)) {
        ShowMessage(MSG_EXPORT_FAILED);
        return false;
    }

    CAudioTransfer transfer(m_volume);
    CDomain& domain = CDomain::GetInstance();
    std::vector<int64_t> sizes;
    for (const std::string& path : cardPaths) {
        if (IsVoxaFile(path))
            sizes.push_back(static_cast<int64_t>(transfer.GetExportedWaveSize(path)));
        else
            AddFileSize(path, sizes);
    }
    switch (CheckFreeSpace(folder + kSpaceProbeTitle + domain.GetWaveExtension(), sizes)) {
        case SPACE_FITS:
            break;
        case SPACE_SHORT:
            ShowMessage(MSG_DESTINATION_FULL);
            return false;
        default:
            ShowMessage(MSG_EXPORT_FAILED);
            return false;
    }

    // Nothing is written to the card; the run only stops reading from a card that went (or from
    // another one connected at its place).
    CCardRun run(*this);
    GT::IProgress& progress = GetProgressBar();
    progress.SetTitle(GetTextCodeTable().GetText(MSG_NOW_EXPORTING));
    progress.SetCancelable(true);
    progress.Begin();
    progress.SetRange(static_cast<int>(cardPaths.size()));
    bool result = true;
    bool cardGone = false;
    for (size_t i = 0; i < cardPaths.size() && !cardGone; ++i) {
        const std::string& source = cardPaths[i];
        progress.SetMessage(FileCounter(i, cardPaths.size()));
        const bool voxa = IsVoxaFile(source);
        const GT::CPathParts parts(source, '/');
        const std::string destination = folder + parts.title + (voxa ? domain.GetWaveExtension() : parts.extension);
        if (voxa) {
            progress.SetPos(0);
            progress.SetRange(CountProgressSteps(source));
        }
        cardGone = !run.IsCardThere();
        if (cardGone) break;
        if (transfer.FileExists(destination)) {
            const int answer = modal.AskYesNo(MSG_OVERWRITE);
            cardGone = !run.IsCardThere();
            if (cardGone || answer != AModalManager::ANSWER_YES) continue;
        }
        // On a failure or a cancel the transfer has taken away what it wrote, and only that: an
        // existing file that a cancel reached before any write stays.
        const int answer = transfer.ExportFile(source, destination, voxa);
        if (answer == CAudioTransfer::FAILED) {
            result = false;
            cardGone = !run.IsCardThere();
        }
        if (answer != CAudioTransfer::DONE) break;
    }
    progress.End();
    // Told only when the card's going cut the run short: a finished export stays finished.
    if (cardGone) run.CheckCard();
    return result && !cardGone;
}

// --- deletion ---

bool CDocX::DeleteSongs(const std::vector<CSongX*>& songs) {
    if (!IsConnected()) return false;
    // Slots, not records: a record goes with the card while a question is open.
    std::unordered_map<const CSongX*, int> slotOf;
    for (size_t i = 0; i < m_slots.size(); ++i) slotOf.emplace(m_slots[i].get(), static_cast<int>(i));
    std::vector<int> slots;
    for (const CSongX* song : songs) {
        const auto found = slotOf.find(song);
        slots.push_back(song != nullptr && found != slotOf.end() ? found->second : -1);
    }

    CCardRun run(*this);
    if (!WriteToUnit()) {
        run.CheckCard();
        return false;
    }
    bool deleted = true;
    for (const int slot : slots) {
        if (!run.CheckCard()) return false;
        const CSongPointer song = GetSong(slot);
        if (!song) {
            deleted = false;
            break;
        }
        if (!song->IsUsed()) continue;  // named twice: already deleted
        if (song->IsProtected()) {
            const int answer = CModalManager::GetInstance().AskYesNo(MSG_DELETE_PROTECTED);
            if (!run.CheckCard()) return false;
            if (answer != AModalManager::ANSWER_YES) continue;
        }
        if (!DeleteSong(song.get())) {
            deleted = false;
            break;
        }
    }
    // Written also after a failure: the files of the songs deleted before it are gone, and the
    // database must not name them.
    return run.WriteDatabase(deleted);
}

bool CDocX::IsFileOfAnotherSlot(int slot) const {
    const CSongPointer song = GetSong(slot);
    if (!song || !song->IsUsed()) return false;
    const std::string path = song->GetFullPath();
    const std::string name = GT::ToUpper(GT::CPathParts(path, '/').title + GT::CPathParts(path, '/').extension);
    GT::CFileIdentity identity;
    const bool exists = GT::GetFileIdentity(path, identity);
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const CSongX* other = m_slots[i].get();
        if (static_cast<int>(i) == slot || other == nullptr || !other->IsUsed()) continue;
        const std::string otherPath = GetCardDrive() + other->GetPath();
        const GT::CPathParts parts(otherPath, '/');
        // Only a file of the same name can be the same file on the card (FAT ignores case).
        if (GT::ToUpper(parts.title + parts.extension) != name) continue;
        GT::CFileIdentity otherIdentity;
        if (exists ? GT::GetFileIdentity(otherPath, otherIdentity) && otherIdentity == identity
                   : GT::ToUpper(otherPath) == GT::ToUpper(path))
            return true;
    }
    return false;
}

bool CDocX::DeleteSong(CSongX* song) {
    const int slot = FindSlot(song);
    if (slot < 0 || !song->IsUsed()) return false;
    // Held while its files go: the card, and the slot table with it, may go meanwhile.
    const CSongPointer held = m_slots[static_cast<size_t>(slot)];
    const uint64_t connection = m_volume.GetConnection();
    // A file that another slot still names (a database written elsewhere) stays, with its icon.
    if (!IsFileOfAnotherSlot(slot) && !CAudioTransfer(m_volume).DeleteSongFiles({held->GetFullPath()})) return false;
    if (m_volume.GetConnection() != connection) return false;
    for (int kind : {LIST_SONGS, LIST_RHYTHM, LIST_USER, LIST_BEST}) EraseFromList(kind, held.get());
    // No icon file is written for a song without a file.
    m_changedSongs.erase(held.get());
    held->Clear();
    return true;
}
