#include "ui/FileDialog.h"

#include "general_tools/Profile.h"

#include "platform/window/Application.h"
#include "platform/window/Choosers.h"

#include <algorithm>

namespace UL {

namespace {

constexpr int kMinFileNameBuffer = 260;
constexpr char kFilesWord[] = "Files";

std::string WithOneTrailingSeparator(const std::string& folder) {
    std::string result = folder;
    while (!result.empty() && result.back() == '/') result.pop_back();
    return result + '/';
}

}  // namespace

CFileFilter::CFileFilter(const std::string& description, const std::string& extensions)
    : m_description(description), m_extensions(extensions) {
    const size_t word = sizeof kFilesWord - 1;
    if (m_description.size() < word || m_description.compare(m_description.size() - word, word, kFilesWord) != 0) {
        m_description += " ";
        m_description += kFilesWord;
    }
    if (!m_extensions.empty() && m_extensions.front() == '.') m_extensions.insert(0, "*");
}

std::string CFileFilter::GetFilterText() const {
    return m_description + " (" + m_extensions + ")|" + m_extensions + "|";
}

std::string MakeFilterText(const std::vector<CFileFilter>& filters) {
    std::string text;
    for (const CFileFilter& filter : filters) text += filter.GetFilterText();
    return text + "|";
}

std::string MakeFolderCaption(const std::string& title, const std::string& folder) {
    return title + " - " + WithOneTrailingSeparator(folder);
}

std::string WithoutTrailingSeparator(const std::string& path) {
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') result.pop_back();
    return result;
}

CFileDialogA::CFileDialogA(bool open, const std::string& defaultExtension, const std::string& fileName, int flags,
                           const std::vector<CFileFilter>& filters, const std::string& title, platform::Window* parent)
    : m_open(open), m_fileName(fileName), m_filterText(MakeFilterText(filters)), m_title(title), m_parent(parent) {
    m_defaultExtension = defaultExtension;
    if (!m_defaultExtension.empty() && m_defaultExtension.front() == '.') m_defaultExtension.erase(0, 1);
    SetFileNameBufferLength(kMinFileNameBuffer);
    if (flags == 0) {
        flags = open ? kFileHideReadOnly | kFileMustExist | kFileEnableSizing
                     : kFileOverwritePrompt | kFileHideReadOnly | kFilePathMustExist | kFileEnableSizing;
    }
    m_flags = flags | kFileExplorer | kFileEnableHook;
    if (m_title.empty()) m_title = open ? "Open" : "Save As";
}

void CFileDialogA::SetFileNameBufferLength(int length) {
    m_fileNameCapacity = std::max({m_fileNameCapacity, length, int(m_fileName.size())});
}

void CFileDialogA::SetInitialDirectorySetting(const std::string& section, const std::string& entry,
                                              const std::string& defaultValue) {
    m_folderSection = section;
    m_folderEntry = entry;
    m_folder = GT::GetAppProfileString(section, entry, defaultValue);
}

void CFileDialogA::SetFilterIndexSetting(const std::string& section, const std::string& entry, int defaultValue) {
    m_filterSection = section;
    m_filterEntry = entry;
    m_filterIndex = GT::GetAppProfileInt(section, entry, defaultValue);
}

int CFileDialogA::DoModal() {
    platform::FileChooserOptions options;
    options.save = !m_open;
    options.multiSelect = (m_flags & kFileAllowMultiSelect) != 0;
    options.mustExist = (m_flags & kFileMustExist) != 0;
    options.confirmOverwrite = (m_flags & kFileOverwritePrompt) != 0;
    options.title = m_title;
    options.folder = m_folder;
    options.fileName = m_fileName;
    options.defaultSuffix = m_defaultExtension;
    options.filters = platform::ParseFilterText(m_filterText);
    options.filterIndex = std::max(m_filterIndex, 1) - 1;  // 0 and 1 both mean the first filter
    const std::string title = m_title;
    options.captionForFolder = [title](const std::string& folder) { return MakeFolderCaption(title, folder); };

    const platform::FileChooserResult result = platform::ChooseFiles(m_parent, options);
    m_folder = result.folder;
    m_filterIndex = result.filterIndex + 1;
    if (!m_folderSection.empty() && !m_folderEntry.empty()) {
        GT::WriteAppProfileString(m_folderSection, m_folderEntry, m_folder);
    }
    if (!m_filterSection.empty() && !m_filterEntry.empty()) {
        GT::WriteAppProfileInt(m_filterSection, m_filterEntry, m_filterIndex);
    }
    m_paths = result.paths;
    return result.accepted ? platform::kCommandOk : platform::kCommandCancel;
}

CDirectoryDialog::CDirectoryDialog(const std::string& initialPath, const std::string& caption, platform::Window* owner)
    : m_initialPath(WithoutTrailingSeparator(initialPath)), m_caption(caption), m_owner(owner) {}

int CDirectoryDialog::Run() {
    platform::Window* owner = m_owner != nullptr ? m_owner : platform::MainWindow();
    std::string chosen;
    if (!platform::ChooseFolder(owner, m_caption, m_initialPath, chosen)) return 2;
    m_selectedPath = WithoutTrailingSeparator(chosen);
    const size_t slash = m_selectedPath.find_last_of('/');
    m_displayName =
        (slash == std::string::npos || m_selectedPath == "/") ? m_selectedPath : m_selectedPath.substr(slash + 1);
    return 1;
}

int CDirectoryDialogA::Browse(const std::string& initialDirectory, const std::string& caption, std::string& path) {
    CDirectoryDialog dialog(initialDirectory, caption, platform::ActiveWindow());
    if (dialog.Run() != 1) return 1;
    path = dialog.GetSelectedPath();
    return 0;
}

}  // namespace UL
