#include "app/card/IconFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>

#include "app/card/CardFiles.h"
#include "app/card/CardVolume.h"
#include "app/card/Domain.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "general_tools/Drives.h"
#include "general_tools/GraphicDataMaker.h"
#include "general_tools/Paths.h"
#include "general_tools/StringFunctions.h"
#include "sound/files/ChunkFields.h"

namespace {

constexpr std::size_t kPictureRows = 12;
constexpr std::size_t kRowBytesKept = CNameBlock::PICTURE_BYTES / kPictureRows;  // 63 bytes, 504 pixels

constexpr int kSlotsPerFolder = 100;
// An icon file is 1052 bytes; one far larger is not one.
constexpr size_t kMaxIconFileBytes = size_t(1) << 20;

// A folder where icon writes may have left new copies: the icon files of its songs in the
// database, and the number of the song folder it is (-1 for any other folder of the card).
struct CIconFolder {
    std::set<std::string> songIcons;  // file names
    int songFolder = -1;
};

// Whether a file title is the slot name ("%04d") of a slot of that song folder.
bool IsSlotTitleOf(const std::string& title, int songFolder) {
    if (songFolder < 0 || title.size() != 4 || title.find_first_not_of("0123456789") != std::string::npos) return false;
    return std::stoi(title) / kSlotsPerFolder == songFolder;
}

bool ParseIconText(const CFileBytes& bytes, CIconFileStore::CReading::CIcon& icon);

// The names of the files in an open folder.
std::vector<std::string> ListFiles(const CCardFolder& folder) {
    std::vector<std::string> names;
    const int fd = openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = fd >= 0 ? fdopendir(fd) : nullptr;
    if (entries == nullptr) {
        if (fd >= 0) close(fd);
        return names;
    }
    for (const dirent* entry = readdir(entries); entry != nullptr; entry = readdir(entries))
        if (entry->d_type != DT_DIR) names.push_back(entry->d_name);
    closedir(entries);
    return names;
}

// Leftovers of icon writes in one open folder: a complete new copy of a song's icon file whose
// target is missing takes its place; every other one goes, also one of a song that a save added
// and never wrote into the database. Files that no icon write leaves (the folder may be any
// folder of the card) are left alone.
void RecoverIconFiles(const CCardFolder& folder, const CIconFolder& icons) {
    CCardFileSystem& card = GetCardFileSystem();
    const std::string& iconExtension = CDomain::GetInstance().GetIconExtension();
    static const std::string kNewEnding = GetNewFileName("A.EXT").substr(1);  // ".NEW"
    for (const std::string& name : ListFiles(folder)) {
        // Only a new copy can be a leftover; a folder holds thousands of other files.
        if (name.size() < kNewEnding.size()
            || name.compare(name.size() - kNewEnding.size(), kNewEnding.size(), kNewEnding) != 0)
            continue;
        const std::string title = name.substr(0, name.size() - kNewEnding.size());
        const std::string target = title + iconExtension;
        if (name != GetNewFileName(target)) continue;
        const bool ofSong = icons.songIcons.count(target) != 0;
        if (!ofSong && !IsSlotTitleOf(title, icons.songFolder)) continue;
        struct stat info {};
        CFileBytes bytes;
        CIconFileStore::CReading::CIcon icon;
        // Only the folder's own file, whole, takes the target's place.
        const bool whole = ofSong && card.Look(folder, name, info) == CCardFileSystem::ENTRY_PRESENT
                           && S_ISREG(info.st_mode) && info.st_nlink == 1
                           && card.Look(folder, target, info) == CCardFileSystem::ENTRY_MISSING
                           && ReadCardFileAt(folder.Fd(), name, bytes, kMaxIconFileBytes) && ParseIconText(bytes, icon);
        if (whole)
            card.Rename(folder, name, target);
        else
            card.Remove(folder, name);
    }
}

}  // namespace

const CDatabaseFileChunks::CId& CIconFileChunks::CDataChunk::Id() {
    static const CDatabaseFileChunks::CId id("Q3I ");
    return id;
}

CIconFileChunks::CDataChunk::CDataChunk() : SL::CIffChunk(CDatabaseFileChunks::FILE_BYTE_ORDER, Id()) {}

bool CIconFileChunks::CDataChunk::ReadData(std::istream& in) {
    return SL::ReadField(in, GetByteOrder(), version) && block.Read(in, GetByteOrder());
}

bool CIconFileChunks::CDataChunk::WriteData(std::ostream& out) {
    return SL::WriteField(out, GetByteOrder(), version) && block.Write(out, GetByteOrder());
}

CIconFileStore& CIconFileStore::GetInstance() {
    static CIconFileStore store;
    return store;
}

std::string CIconFileStore::GetIconPath(const std::string& audioPath) {
    const GT::CPathParts parts(audioPath, '/');
    return parts.directory + parts.title + CDomain::GetInstance().GetIconExtension();
}

CNameBlock CIconFileStore::BuildIconEntry(const std::string& text, bool isProtected, int number) const {
    CNameBlock block;
    const std::vector<uint8_t> picture = GT::GetGraphicDataMaker().MakeTextBitmap(text.empty() ? " " : text);
    // The player reads a whole character or none.
    block.SetText(CSongX::CutToBytes(text, CNameBlock::TEXT_BYTES));
    const std::size_t kept = std::min<std::size_t>(picture.size(), CNameBlock::PICTURE_BYTES);
    block.width = static_cast<uint16_t>(kept * 8 / kPictureRows);
    block.height = static_cast<uint16_t>(kPictureRows);
    block.flags = static_cast<uint16_t>(CNameBlock::FLAG_EDITOR | (isProtected ? CNameBlock::FLAG_PROTECTED : 0)
                                        | (number & CNameBlock::NUMBER_MASK));
    block.reserved = 0;
    if (picture.size() <= CNameBlock::PICTURE_BYTES) {
        std::copy(picture.begin(), picture.end(), block.picture.begin());
    } else {
        // Too wide: the first 504 pixels of each row.
        const std::size_t rowBytes = picture.size() / kPictureRows;
        for (std::size_t row = 0; row < kPictureRows; ++row)
            std::copy_n(picture.begin() + row * rowBytes, kRowBytesKept, block.picture.begin() + row * kRowBytesKept);
    }
    return block;
}

namespace {

// What a song takes from its icon file.
typedef CIconFileStore::CReading::CIcon CIconText;

bool ParseIconText(const CFileBytes& bytes, CIconText& icon) {
    CMemoryReadBuffer buffer(bytes.data(), bytes.size());
    std::istream in(&buffer);
    CIconFileDto dto(boost::make_shared<CIconFileChunks::CDefaultChunkFactory>());
    const CIconFileChunks::CDataChunk* data =
        ReadQm3File<CIconFileChunks::CDataChunk>(in, dto, CIconFileChunks::CDataChunk::Id());
    if (data == nullptr) return false;
    icon.title = data->block.GetText();
    icon.flags = data->block.flags;
    icon.read = true;
    return true;
}

void ApplyIconText(const CIconText& icon, CSongX& song) {
    song.SetTitle(icon.title);
    song.SetProtected((icon.flags & CNameBlock::FLAG_PROTECTED) != 0);
    song.SetNumber(icon.flags & CNameBlock::NUMBER_MASK);
}

// Thousands of icon files take a few system calls each: a load reads them on up to this many
// threads, each a run of songs (so of folders) of at least kIconsPerThread.
constexpr size_t kIconThreads = 4;
constexpr size_t kIconsPerThread = 500;

}  // namespace

bool CIconFileStore::ReadIconFile(const std::string& iconPath, CSongX& song) const {
    // Read with one call and parsed in memory: a card holds thousands of them.
    CFileBytes bytes;
    CIconText icon;
    if (!ReadCardFile(iconPath, bytes, kMaxIconFileBytes) || !ParseIconText(bytes, icon)) return false;
    ApplyIconText(icon, song);
    return true;
}

bool CIconFileStore::WriteIconFile(const CSongX& song, std::ostream& out) const {
    CIconFileDto dto(boost::make_shared<CIconFileChunks::CDefaultChunkFactory>());
    auto data = boost::make_shared<CIconFileChunks::CDataChunk>();
    data->block = BuildIconEntry(song.GetTitle(), song.IsProtected(), song.GetNumber());
    dto.AppendChild(boost::make_shared<CIconFileChunks::CFormatChunk>());
    dto.AppendChild(data);
    out.clear();
    out.seekp(0);
    return dto.Write(out) && out.good();
}

bool CIconFileStore::WriteIconFile(const CSongX& song, const std::string& path) const {
    const GT::CPathParts parts(path, '/');
    return WriteCardFile(CCardFolder::OpenPath(parts.directory), parts.title + parts.extension,
                         [this, &song](std::ostream& out) { return WriteIconFile(song, out); });
}

std::set<CSongX*> CIconFileStore::WriteChangedIconFiles(const CCardVolume& card, const ISongLists& document) const {
    CWrite write(card, document);
    return write.IsReady() ? write.Write() : document.GetChangedSongs();
}

CIconFileStore::CWrite::CWrite(const CCardVolume& card, const ISongLists& document) : m_card(card) {
    const std::set<CSongX*>& changed = document.GetChangedSongs();
    m_ready = true;
    if (changed.empty()) return;
    const CSongX* first = *changed.begin();
    const std::string probe = first->IsUsed() ? card.GetDrive() + first->GetPath() : card.GetDatabasePath();
    const std::vector<int64_t> sizes(changed.size(), GetIconFileSize());
    switch (card.CheckFreeSpace(probe, sizes)) {
        case CCardVolume::SPACE_SHORT:
            CModalManager::GetInstance().ShowMessageById(MSG_CARD_FULL);
            m_unwritten = changed;
            return;
        case CCardVolume::SPACE_UNKNOWN:
            CModalManager::GetInstance().ShowMessageById(MSG_WRITE_FAILED);
            m_unwritten = changed;
            return;
        default:
            break;
    }
    for (CSongX* song : changed) {
        if (!song->IsUsed()) continue;  // deleted since: no icon file to write
        const GT::CPathParts parts(GetIconPath(card.GetDrive() + song->GetPath()), '/');
        auto folder = m_folders.find(parts.directory);
        if (folder == m_folders.end()) {
            folder = m_folders.emplace(parts.directory, CCardFolder()).first;
            // Only on the card: a link or another file system in a song folder's place refuses
            // the save, which then writes nothing.
            if (card.OpenFolder(parts.directory, folder->second) == CCardVolume::FOLDER_REFUSED) {
                m_ready = false;
                return;
            }
        }
        m_songs.push_back(song);
        m_targets.emplace_back(&folder->second, parts.title + parts.extension);
    }
    int64_t each = 0;
    if (GT::GetDiskSpaceRequired(probe, GetIconFileSize(), each)) m_bytes = each * static_cast<int64_t>(m_songs.size());
}

std::set<CSongX*> CIconFileStore::CWrite::Write() {
    std::set<CSongX*> unwritten = m_unwritten;
    if (!m_ready) return unwritten;
    // The song folders that are missing, made (writable for all, as every song folder).
    for (auto& folder : m_folders)
        if (!folder.second.IsOpen()) m_card.OpenFolder(folder.first, folder.second, true, true);
    std::vector<CCardFileJob> jobs;
    std::vector<CSongX*> songs;
    const CIconFileStore& store = GetInstance();
    for (size_t i = 0; i < m_songs.size(); ++i) {
        CSongX* song = m_songs[i];
        if (!m_targets[i].first->IsOpen()) {
            unwritten.insert(song);
            continue;
        }
        songs.push_back(song);
        jobs.push_back(CCardFileJob{m_targets[i].first, m_targets[i].second,
                                    [&store, song](std::ostream& out) { return store.WriteIconFile(*song, out); }});
    }
    // The card may have gone since the folders were opened.
    const std::vector<bool> done = m_card.IsWritable() ? WriteCardFiles(jobs) : std::vector<bool>(jobs.size(), false);
    for (size_t i = 0; i < songs.size(); ++i)
        if (!done[i]) unwritten.insert(songs[i]);
    return unwritten;
}

void CIconFileStore::ReadAllIconFiles(const CCardVolume& card, ISongLists& document) const {
    CReading(card, document).Finish();
}

CIconFileStore::CReading::CReading(const CCardVolume& card, ISongLists& document) {
    const std::string drive = card.GetDrive();
    if (card.IsWritable()) {
        std::map<std::string, CIconFolder> folders;
        // Every song folder, whatever the database names: a save stopped inside the icon write
        // of a song it added leaves a new copy that no song of the database leads to.
        for (int folder = 0; folder * kSlotsPerFolder < ISongLists::MAX_SONGS; ++folder)
            folders[card.GetDatabasePath() + GT::FormatString("%03d/", folder)].songFolder = folder;
        for (const CSongPointer& song : document.GetSlots()) {
            if (!song || !song->IsUsed()) continue;
            const std::string icon = GetIconPath(drive + song->GetPath());
            const GT::CPathParts parts(icon, '/');
            folders[parts.directory].songIcons.insert(parts.title + parts.extension);
        }
        // Only folders of the card itself: what a link leads to is not the card's.
        CCardFolder root;
        card.OpenFolder(card.GetRoot(), root);
        for (const auto& folder : folders) {
            CCardFolder handle;
            if (card.OpenFolderBelow(root, folder.first, handle) == CCardVolume::FOLDER_OPEN)
                RecoverIconFiles(handle, folder.second);
        }
    }
    for (const CSongPointer& song : document.GetSlots())
        if (song && song->IsUsed()) m_songs.emplace_back(song.get(), drive + song->GetPath());
    m_icons.resize(m_songs.size());
    if (m_songs.empty()) return;
    // Each thread a run of songs (so of folders), writing only its own results.
    const auto readRun = [this, &card](size_t first, size_t end) {
        CCardFolderReader reader(card);
        CFileBytes bytes;
        for (size_t i = first; i < end; ++i) {
            try {
                if (reader.Read(GetIconPath(m_songs[i].second), bytes, kMaxIconFileBytes))
                    ParseIconText(bytes, m_icons[i]);
            } catch (const std::exception&) {
                m_icons[i] = CIconText();  // read as a missing file
            }
        }
    };
    const size_t threads = std::max<size_t>(
        1, std::min({kIconThreads, size_t(std::thread::hardware_concurrency()), m_songs.size() / kIconsPerThread}));
    const size_t run = (m_songs.size() + threads - 1) / threads;
    for (size_t first = 0; first < m_songs.size(); first += run) {
        const size_t end = std::min(m_songs.size(), first + run);
        try {
            m_threads.emplace_back(readRun, first, end);
        } catch (const std::system_error&) {
            readRun(first, end);  // no thread to be had: this one reads the run
        }
    }
}

CIconFileStore::CReading::~CReading() { Join(); }

void CIconFileStore::CReading::Join() {
    for (std::thread& thread : m_threads) thread.join();
    m_threads.clear();
}

void CIconFileStore::CReading::Finish() {
    Join();
    for (size_t i = 0; i < m_songs.size(); ++i) {
        if (m_icons[i].read)
            ApplyIconText(m_icons[i], *m_songs[i].first);
        else
            m_songs[i].first->SetTitle(GT::CPathParts(m_songs[i].second, '/').title);
    }
    m_songs.clear();
    m_icons.clear();
}
