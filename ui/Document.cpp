#include "ui/Document.h"

#include "platform/window/Application.h"
#include "ui/FrameWnd.h"
#include "ui/StringResources.h"
#include "ui/TextDialog.h"
#include "ui/WinApp.h"

#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace UL {

namespace {
constexpr int kErrorIcon = 2;
}

std::string MakeFullPath(const std::string& path) {
    if (path.empty()) return path;
    std::string full = path;
    if (full[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) != nullptr) full = std::string(cwd) + "/" + full;
    }
    if (char* resolved = realpath(full.c_str(), nullptr)) {
        full = resolved;
        std::free(resolved);
    }
    return full;
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_pathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ReportOpenFailure(path);
        return false;
    }
    DeleteContents();
    Serialize(file);
    SetModifiedFlag(false);
    return true;
}

void CDocument::SetPathName(const std::string& path, bool addToRecentFiles) {
    m_pathName = MakeFullPath(path);
    if (addToRecentFiles) {
        if (CWinApp* app = CWinApp::GetApp()) app->AddToRecentFileList(m_pathName);
    }
}

void CDocument::ReportOpenFailure(const std::string& path) {
    const std::string text = LoadString(AFX_IDP_FAILED_TO_OPEN_DOC, "Failed to open document.");
    CTextDialog().Show(0, kErrorIcon, text + "\n" + path);
}

CSingleDocTemplate::CSingleDocTemplate(int resourceId, DocumentFactory document, FrameFactory frame, ViewFactory view)
    : m_resourceId(resourceId),
      m_makeDocument(std::move(document)),
      m_makeFrame(std::move(frame)),
      m_makeView(std::move(view)) {}

CSingleDocTemplate::~CSingleDocTemplate() { CloseAllDocuments(); }

bool CSingleDocTemplate::CreateFrame() {
    m_frame = m_makeFrame();
    m_view = m_makeView();
    CWinApp* app = CWinApp::GetApp();
    const std::string title = app != nullptr ? app->GetAppName() : std::string();
    if (!m_frame || !m_view || !m_frame->LoadFrame(m_resourceId, title) || !m_view->Create(*m_frame->GetWindow())) {
        DestroyFrame();
        return false;
    }
    m_view->SetDocument(m_document.get());
    m_frame->SetView(m_view.get());
    if (app != nullptr && app->GetMainWnd() == nullptr) app->SetMainWnd(m_frame.get());
    return true;
}

void CSingleDocTemplate::DestroyFrame() {
    CWinApp* app = CWinApp::GetApp();
    if (app != nullptr && m_frame && app->GetMainWnd() == m_frame.get()) app->SetMainWnd(nullptr);
    if (m_frame) {
        m_frame->DestroyWindow();  // the view's window first
        m_frame->SetView(nullptr);
    }
    m_view.reset();
    m_frame.reset();
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::string& path, bool makeVisible) {
    const bool documentMade = !m_document;
    if (documentMade) {
        m_document = m_makeDocument();
        if (!m_document) return nullptr;
    } else if (!m_document->SaveModified()) {
        return nullptr;
    }
    const bool frameMade = !m_frame;
    if (frameMade && !CreateFrame()) {
        if (documentMade) m_document.reset();
        return nullptr;
    }
    const std::string full = MakeFullPath(path);
    const bool read = path.empty() ? m_document->OnNewDocument() : m_document->OnOpenDocument(full);
    if (!read) {
        if (frameMade) DestroyFrame();
        if (documentMade) m_document.reset();
        return nullptr;
    }
    if (!path.empty()) m_document->SetPathName(full);
    if (frameMade) {
        // Once per view: the view sets itself up (and may look for the card) before it is shown.
        m_view->OnInitialUpdate();
        CWinApp* app = CWinApp::GetApp();
        int show = -1;
        if (app != nullptr && app->GetMainWnd() == m_frame.get()) {
            show = app->GetShowCommand();
            app->SetShowCommand(-1);  // the program's show command counts for the first window only
        }
        m_frame->InitialUpdateFrame(makeVisible, show);
    }
    return m_document.get();
}

void CSingleDocTemplate::CloseAllDocuments() {
    DestroyFrame();
    m_document.reset();
}

}  // namespace UL
