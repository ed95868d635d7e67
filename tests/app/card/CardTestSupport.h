// Shared by the card tests: an isolated environment with a card folder presented as a volume,
// stand-ins for the message box, the choosers, the picture renderer and free space, and a
// listener that records model events.
#pragma once

#include "app/card/AppServices.h"
#include "app/card/CardDocument.h"
#include "app/card/DocumentModel.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "general_tools/GraphicDataMaker.h"
#include "platform/system/DiskSpace.h"
#include "platform/system/IniProfileStore.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cardtest {

// Pictures that a script can compute: a text of k bytes gives 12 rows of k bytes, byte i of row
// r being text byte i XOR (0x11 * r).
class CFakeRenderer : public GT::AGraphicDataMaker {
public:
    std::vector<uint8_t> MakeTextBitmap(const std::string& text) override {
        std::vector<uint8_t> picture;
        for (unsigned row = 0; row < 12; ++row)
            for (unsigned char c : text) picture.push_back(static_cast<uint8_t>(c ^ (0x11 * row)));
        ++calls;
        return picture;
    }
    std::vector<uint8_t> RenderTextBitmap(const std::u16string&) override { return {}; }
    int calls = 0;
};

// A message box that records what it shows and answers from a script (0, OK, when the script
// is empty). A hook runs while the box is open, as device notices do.
class CScriptedTextDialog : public UL::ITextDialog {
public:
    struct CShown {
        int kind;
        int icon;
        std::string text;
    };
    int Show(int kind, int icon, const std::string& text) override {
        shown.push_back(CShown{kind, icon, text});
        if (whileOpen) {
            auto hook = whileOpen;
            whileOpen = nullptr;
            hook();
        }
        if (answers.empty()) return 0;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int Format(int kind, int icon, const char* format, ...) override { return Show(kind, icon, format); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const CShown& s : shown) texts.push_back(s.text);
        return texts;
    }
    std::vector<CShown> shown;
    std::deque<int> answers;
    std::function<void()> whileOpen;
};

class CScriptedDirectoryDialog : public UL::IDirectoryDialog {
public:
    int Browse(const std::string&, const std::string&, std::string& path) override {
        if (whileOpen) whileOpen();
        path = chosen;
        return answer;
    }
    std::string chosen;
    int answer = 1;
    std::function<void()> whileOpen;
};

class CScriptedFileDialog : public IFileDialog {
public:
    int ChooseFiles(std::vector<std::string>& paths) override {
        if (whileOpen) whileOpen();
        if (answer == 0) paths.insert(paths.end(), chosen.begin(), chosen.end());
        return answer;
    }
    std::vector<std::string> chosen;
    int answer = 1;
    std::function<void()> whileOpen;
};

// Free space as a test states it.
class CFixedDiskSpace : public platform::IDiskSpaceSource {
public:
    bool Query(const std::string&, platform::DiskSpace& space) override {
        if (!available) return false;
        space = figures;
        return true;
    }
    bool available = true;
    platform::DiskSpace figures{uint64_t(1) << 34, uint64_t(1) << 33, 4096};
};

class CRecordingListener : public IModelEventListener {
public:
    void OnModelEvent(const CModelEvent& event) override {
        events.push_back(event.id);
        texts.push_back(event.GetText());
        if (onEvent) onEvent(event);
    }
    std::vector<int> events;
    std::vector<std::string> texts;
    std::function<void(const CModelEvent&)> onEvent;
};

// One test's world: its own settings, data, cache, runtime and temporary folders, a card folder named
// QM-3 that counts as a mounted volume, the stand-ins installed, the document and the model at
// rest, the message table loaded in English.
class CCardEnvironment {
public:
    CCardEnvironment()
        : m_config("XDG_CONFIG_HOME", m_dir.File("config")),
          m_data("XDG_DATA_HOME", m_dir.File("data")),
          m_cache("XDG_CACHE_HOME", m_dir.File("cache")),
          m_runtime("XDG_RUNTIME_DIR", m_dir.File("run")),
          m_temp("TMPDIR", m_dir.File("tmp")),
          m_volumes("GBX_VOLUMES", m_dir.File("QM-3")) {
        for (const char* folder : {"config", "data", "run", "tmp", "QM-3"})
            std::filesystem::create_directories(m_dir.File(folder));
        std::filesystem::permissions(m_dir.File("run"), std::filesystem::perms::owner_all);
        platform::GetAppProfile().SetPath(m_dir.File("config/profile.ini"));
        GT::SetGraphicDataMaker(&renderer);
        SetTextDialog(&textDialog);
        SetDirectoryDialog(&directoryDialog);
        CFileDialogX::SetInstance(&fileDialog);
        LoadMessageTable();
        GetTextCodeTable().SetLanguage(0);
        ResetModel();
    }
    ~CCardEnvironment() {
        ResetModel();
        platform::SetDiskSpaceSource(nullptr);
        CFileDialogX::SetInstance(nullptr);
        SetDirectoryDialog(nullptr);
        SetTextDialog(nullptr);
        GT::SetGraphicDataMaker(nullptr);
    }

    static void ResetModel() {
        CDocumentModel& model = CDocumentModel::GetInstance();
        model.Reset();
        model.GetDocument().Reset();
        model.GetDocument().ClearAddedSongs();
        model.GetDocument().SetSaveMemory(true);
        CModalManager::GetInstance().SetRippingDialogFactory(CModalDialogFactory());
        CModalManager::GetInstance().SetProxyDialogFactory(CModalDialogFactory());
        CModalManager::GetInstance().SetAboutDialogFactory(CModalDialogFactory());
    }

    static CDocX& Document() { return CDocumentModel::GetInstance().GetDocument(); }

    // The card's volume id and its database folder.
    std::string CardDrive() const { return m_dir.File("QM-3"); }
    std::string DatabaseFolder() const { return CardDrive() + "/CORVANE/QM/DB/"; }
    const gbxtest::TempDir& Dir() const { return m_dir; }

    // The listed volumes of this test alone: other tests on this machine may present cards
    // of their own at the same time.
    GT::CDriveList OwnVolumes() const {
        GT::CDriveList own;
        for (const GT::CDriveRecord& drive : GT::ListDrives())
            if (drive.first.compare(0, m_dir.Path().size() + 1, m_dir.Path() + "/") == 0) own.push_back(drive);
        return own;
    }
    std::string FindCard() const { return Document().FindCardDrive(OwnVolumes()); }

    // Connects the document to the card folder, without loading.
    void Connect() { Document().SetCardRoot(CDocX::MakeCardRoot(CardDrive())); }

    CFakeRenderer renderer;
    CScriptedTextDialog textDialog;
    CScriptedDirectoryDialog directoryDialog;
    CScriptedFileDialog fileDialog;

private:
    gbxtest::TempDir m_dir;
    gbxtest::ScopedEnvironment m_config, m_data, m_cache, m_runtime, m_temp, m_volumes;
};

// Sound files of the tests come from sox and lame.
inline bool HaveTools() { return gbxtest::HaveCommand("sox") && gbxtest::HaveCommand("lame"); }
constexpr char kNoTools[] = "sox and lame are installed by scripts/install-deps.sh";

// A file made by sox from its options ("-r 44100 -c 2 -b 16 -e signed-integer") and a length
// ("44928s" samples, or seconds); two channels carry two tones. The null input runs at the
// output's rate, so that a length in samples counts the output's frames. WAV files get the
// plain PCM or float header (sox would write 24 and 32-bit samples under the extensible one).
inline bool MakeSound(const std::string& path, const std::string& options, const std::string& length) {
    const std::string rate = options.substr(0, options.find(" -c"));
    const bool wav = path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
    return gbxtest::Run("sox -R " + rate + " -n " + (wav ? "-t wavpcm " : "") + options + " " + gbxtest::Quote(path)
                        + " synth " + length + " sine 440 sine 660 vol 0.5 2>/dev/null")
               .exitCode
           == 0;
}

// Every file below a folder, as paths relative to it.
inline std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (!it->is_directory()) files.push_back(std::filesystem::relative(it->path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

// FNV-1a over the file, read in pieces (the card's files are megabytes).
inline uint64_t Fingerprint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> piece(65536);
    uint64_t hash = 1469598103934665603ull;
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i)
            hash = (hash ^ uint8_t(piece[static_cast<size_t>(i)])) * 1099511628211ull;
        if (!in) break;
    }
    return hash;
}

// The folder itself (".") and every entry below it, by its path relative to the folder, with its
// kind, access and bytes as a fingerprint (or where it leads, for a link, which is not followed):
// what an operation that must change nothing there leaves as it is.
inline std::map<std::string, std::string> EntriesBelow(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    const auto describe = [](const fs::path& path) {
        struct stat info {};
        lstat(path.c_str(), &info);
        std::string what = std::to_string(info.st_mode);
        if (S_ISREG(info.st_mode)) what += " " + std::to_string(Fingerprint(path.string()));
        if (S_ISLNK(info.st_mode)) what += " -> " + fs::read_symlink(path).string();
        return what;
    };
    entries["."] = describe(folder);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries[fs::relative(it->path(), folder).string()] = describe(it->path());
    return entries;
}

// The slot numbers of a list, in order.
inline std::vector<int> Slots(const CSongList& list) {
    std::vector<int> slots;
    for (const CSongRef& entry : list) slots.push_back(entry.slot);
    return slots;
}

// A whole file at once (the card's files are megabytes).
inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Adds a used song in a new slot with its audio path below the database folder.
inline CSongX* AddSong(CDocX& document, const std::string& extension, const std::string& title,
                       const std::string& artist = std::string(), const std::string& album = std::string(),
                       int number = 0) {
    const int slot = document.AllocateSlot();
    CSongX* song = document.GetSong(slot).get();
    char name[64];
    std::snprintf(name, sizeof name, "A:\\CORVANE\\QM\\DB\\%03d\\%04d%s", slot / 100, slot, extension.c_str());
    song->SetPathFromDevicePath(name);
    song->SetFileType(GetSongFileType(song->GetPath()));
    song->SetTitle(title);
    song->SetArtist(artist);
    song->SetAlbum(album);
    song->SetNumber(number);
    return song;
}

}  // namespace cardtest
