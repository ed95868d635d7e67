#include "ui/WinApp.h"

#include "general_tools/Profile.h"
#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "ui/FrameWnd.h"

#include <algorithm>
#include <cstdio>

namespace UL {

namespace {

CWinApp*& CurrentApp() {
    static CWinApp* app = nullptr;
    return app;
}

}  // namespace

CRecentFileList::CRecentFileList(const std::string& section, const std::string& entryFormat, int size)
    : m_section(section), m_entryFormat(entryFormat), m_size(std::max(size, 0)) {}

std::string CRecentFileList::EntryName(int index) const {
    char name[64];
    std::snprintf(name, sizeof name, m_entryFormat.c_str(), index + 1);
    return name;
}

void CRecentFileList::ReadList() {
    m_entries.clear();
    for (int i = 0; i < m_size; ++i) {
        const std::string path = GT::GetAppProfileString(m_section, EntryName(i), std::string());
        if (!path.empty() && std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(path);
    }
}

void CRecentFileList::WriteList() const {
    for (int i = 0; i < m_size; ++i) {
        const std::string path = i < int(m_entries.size()) ? m_entries[size_t(i)] : std::string();
        // Slots beyond the list are emptied only where something was stored.
        if (!path.empty() || !GT::GetAppProfileString(m_section, EntryName(i), std::string()).empty())
            GT::WriteAppProfileString(m_section, EntryName(i), path);
    }
}

void CRecentFileList::Add(const std::string& path) {
    if (m_size == 0 || path.empty()) return;
    const std::string full = MakeFullPath(path);
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), full), m_entries.end());
    m_entries.insert(m_entries.begin(), full);
    if (int(m_entries.size()) > m_size) m_entries.resize(size_t(m_size));
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < int(m_entries.size())) m_entries.erase(m_entries.begin() + index);
}

CWinApp::CWinApp(const std::string& appName) : m_appName(appName), m_showCommand(SW_SHOWNORMAL) {
    CurrentApp() = this;
    SetCommandHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    SetCommandHandler(ID_APP_EXIT, [this] { OnAppExit(); });
}

CWinApp::~CWinApp() {
    m_docTemplate.reset();  // the frame, the view and the document go while the application still exists
    if (CurrentApp() == this) {
        CurrentApp() = nullptr;
        platform::SetIdleHandler(nullptr);
    }
}

CWinApp* CWinApp::GetApp() { return CurrentApp(); }

int CWinApp::WinMain() {
    if (!InitInstance()) {
        if (m_mainWnd != nullptr) m_mainWnd->DestroyWindow();
        return ExitInstance();
    }
    m_exitCode = Run();
    return ExitInstance();
}

bool CWinApp::InitInstance() {
    if (!platform::StartWindowSystem()) return false;
    platform::SetApplicationTitle(m_appName);
    platform::SetIdleHandler([this] {
        for (long count = 0; OnIdle(count); ++count) {
        }
    });
    return true;
}

int CWinApp::Run() {
    if (m_mainWnd == nullptr || m_mainWnd->GetWindow() == nullptr || !m_mainWnd->GetWindow()->Exists()) return 0;
    return platform::RunMainLoop();
}

int CWinApp::ExitInstance() {
    if (m_recentFiles) m_recentFiles->WriteList();
    return m_exitCode;
}

bool CWinApp::OnIdle(long count) {
    if (count == 0 && m_mainWnd != nullptr) m_mainWnd->OnIdleUpdateCmdUI();
    return false;
}

void CWinApp::SetRegistryKey(const std::string& maker) {
    platform::GetAppProfile().SetPath(platform::ProfilePathFor(maker, m_appName));
}

void CWinApp::LoadStdProfileSettings(int maxRecentFiles) {
    m_recentFiles =
        std::make_unique<CRecentFileList>(CRecentFileList::kSection, CRecentFileList::kEntryFormat, maxRecentFiles);
    m_recentFiles->ReadList();
}

void CWinApp::AddToRecentFileList(const std::string& path) {
    if (m_recentFiles) m_recentFiles->Add(path);
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate) {
    m_docTemplate = std::move(docTemplate);
}

CDocument* CWinApp::OpenDocumentFile(const std::string& path) {
    return m_docTemplate ? m_docTemplate->OpenDocumentFile(MakeFullPath(path)) : nullptr;
}

void CWinApp::OnFileNew() {
    if (m_docTemplate) m_docTemplate->OpenDocumentFile(std::string());
}

void CWinApp::OnAppExit() {
    if (m_mainWnd != nullptr) m_mainWnd->Close();
}

void CWinApp::SetMainWnd(CSDIFrameWndEx* frame) {
    m_mainWnd = frame;
    platform::SetMainWindow(frame != nullptr ? frame->GetWindow() : nullptr);
}

}  // namespace UL
