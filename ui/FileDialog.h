#pragma once
// The file chooser with filters built from (description, extensions) pairs, a caption that names the
// folder being browsed, and its folder and filter choice kept in the profile; and the folder chooser.
#include "platform/window/Window.h"

#include <string>
#include <vector>

namespace UL {

// Flags of the file chooser (the values the application passes).
enum : int {
    kFileOverwritePrompt = 0x2,
    kFileHideReadOnly = 0x4,
    kFileEnableHook = 0x20,
    kFileAllowMultiSelect = 0x200,
    kFilePathMustExist = 0x800,
    kFileMustExist = 0x1000,
    kFileExplorer = 0x80000,
    kFileEnableSizing = 0x800000,
};

class CFileFilter {
public:
    // "Song" becomes "Song Files"; ".wav" becomes "*.wav".
    CFileFilter(const std::string& description, const std::string& extensions);
    const std::string& GetDescription() const { return m_description; }
    const std::string& GetExtensions() const { return m_extensions; }
    // description + " (" + extensions + ")|" + extensions + "|"
    std::string GetFilterText() const;

private:
    std::string m_description;
    std::string m_extensions;
};

// The entries' texts in order and one more "|".
std::string MakeFilterText(const std::vector<CFileFilter>& filters);
// title + " - " + folder with exactly one trailing "/".
std::string MakeFolderCaption(const std::string& title, const std::string& folder);

class CFileDialogA {
public:
    CFileDialogA(bool open, const std::string& defaultExtension, const std::string& fileName, int flags,
                 const std::vector<CFileFilter>& filters, const std::string& title = std::string(),
                 platform::Window* parent = nullptr);
    virtual ~CFileDialogA() = default;

    void SetFileNameBufferLength(int length);
    int GetFileNameBufferLength() const { return m_fileNameCapacity; }
    void SetInitialDirectorySetting(const std::string& section, const std::string& entry,
                                    const std::string& defaultValue);
    void SetFilterIndexSetting(const std::string& section, const std::string& entry, int defaultValue);

    // 1 when confirmed, 2 when cancelled; the folder and the filter index are stored either way.
    int DoModal();
    std::vector<std::string> GetPathNames() const { return m_paths; }

    const std::string& GetTitle() const { return m_title; }
    const std::string& GetFilterText() const { return m_filterText; }
    const std::string& GetDefaultExtension() const { return m_defaultExtension; }
    const std::string& GetFileName() const { return m_fileName; }
    const std::string& GetCurrentFolder() const { return m_folder; }
    int GetFilterIndex() const { return m_filterIndex; }  // 1 is the first filter
    int GetFlags() const { return m_flags; }

private:
    bool m_open;
    std::string m_defaultExtension;
    std::string m_fileName;
    int m_fileNameCapacity = 0;
    int m_flags;
    std::string m_filterText;
    std::string m_title;
    platform::Window* m_parent;
    std::string m_folder;
    int m_filterIndex = 1;
    std::string m_folderSection, m_folderEntry;
    std::string m_filterSection, m_filterEntry;
    std::vector<std::string> m_paths;
};

class IDirectoryDialog {
public:
    virtual ~IDirectoryDialog() = default;
    // 0 when a folder was chosen (path set, "/" separators), 1 otherwise.
    virtual int Browse(const std::string& initialDirectory, const std::string& caption, std::string& path) = 0;
};

// The folder chooser itself: 1 when a folder was chosen, 2 when not.
class CDirectoryDialog {
public:
    CDirectoryDialog(const std::string& initialPath, const std::string& caption, platform::Window* owner);
    virtual ~CDirectoryDialog() = default;
    virtual int Run();
    const std::string& GetInitialPath() const { return m_initialPath; }
    const std::string& GetSelectedPath() const { return m_selectedPath; }
    const std::string& GetDisplayName() const { return m_displayName; }

private:
    std::string m_initialPath;
    std::string m_caption;
    platform::Window* m_owner;
    std::string m_selectedPath;
    std::string m_displayName;
};

class CDirectoryDialogA : public IDirectoryDialog {
public:
    int Browse(const std::string& initialDirectory, const std::string& caption, std::string& path) override;
};

// A path without its trailing "/", except the root "/" itself.
std::string WithoutTrailingSeparator(const std::string& path);

}  // namespace UL
