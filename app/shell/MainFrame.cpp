#include "app/shell/MainFrame.h"

#include "app/card/AppServices.h"
#include "app/card/CdAudioReader.h"
#include "app/card/DocumentModel.h"
#include "app/card/ModalManager.h"
#include "app/shell/App.h"
#include "general_tools/CdToc.h"
#include "platform/system/EventLoop.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"
#include "resources/ResourceIds.h"
#include "ui/ProgressBar.h"

#include <poll.h>
#include <unistd.h>

namespace {

int& CloseRequestDescriptor() {
    static int fd = -1;
    return fd;
}

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

bool CMainFrame::IsBusy() {
    if (CModalManager::GetInstance().GetNestingCount() != 0) return true;
    if (platform::Window::InnermostLoop() != nullptr) return true;
    const auto* progress = dynamic_cast<const UL::CProgressBar*>(&GetProgressBar());
    return progress != nullptr && progress->IsShown();
}

bool CMainFrame::OnCmdMsg(const UL::CCommand& command) {
    // Taken and dropped: nothing else along the route may carry it out now.
    if (command.kind == UL::CCommand::Execute && IsBusy()) return true;
    return UL::CSDIFrameWndEx::OnCmdMsg(command);
}

int CMainFrame::OnCreate() {
    if (UL::CSDIFrameWndEx::OnCreate() == -1) return -1;
    m_watcher = std::make_unique<GT::CDeviceChangeWatcher>();
    if (platform::IEventLoop* loop = platform::GetEventLoop()) {
        m_watcher->Attach(*loop);
        if (CloseRequestDescriptor() >= 0)
            m_closeWatch = loop->AddWatch(CloseRequestDescriptor(), POLLIN, [this] { OnCloseRequest(); });
    }
    return 0;
}

platform::Size CMainFrame::GetLeastUsefulSize() const {
    const platform::DialogTemplate* form = platform::FindDialogTemplate(IDD_MAIN_FORM);
    const platform::Window* window = GetWindow();
    if (form == nullptr || window == nullptr) return platform::Size{};
    const platform::Rect half =
        window->DialogUnitsToPixels(platform::Rect{0, 0, form->units.width / 2, form->units.height / 2});
    return platform::Size{half.Width(), half.Height()};
}

void CMainFrame::SetCloseRequestDescriptor(int fd) { CloseRequestDescriptor() = fd; }

void CMainFrame::OnCloseRequest() {
    char drained[64];
    while (read(CloseRequestDescriptor(), drained, sizeof drained) > 0) {
    }
    if (!IsBusy()) {
        Close();
        return;
    }
    // Kept until the modal windows end (a session that logs out would otherwise lose the save
    // question); a running import, export or rip stops as its Cancel button makes it.
    m_closePending = true;
    auto* progress = dynamic_cast<UL::CProgressBar*>(&GetProgressBar());
    if (progress != nullptr && progress->IsShown() && progress->IsCancelable()) {
        if (auto* cancel = dynamic_cast<platform::PushButton*>(progress->GetDlgItem(platform::kCommandCancel))) {
            if (cancel->IsEnabled()) cancel->Click();
        }
    }
}

void CMainFrame::OnIdleUpdateCmdUI() {
    UL::CSDIFrameWndEx::OnIdleUpdateCmdUI();
    if (!m_closePending || IsBusy()) return;
    // Not before start-up has completed: the main loop that the close ends runs only after it.
    const auto* app = dynamic_cast<const CApp*>(UL::CWinApp::GetApp());
    if (app != nullptr && !app->IsInitialised()) return;
    m_closePending = false;
    Close();  // last: it may destroy the window
}

void CMainFrame::OnDestroy() {
    if (m_closeWatch != 0) {
        if (platform::IEventLoop* loop = platform::GetEventLoop()) loop->RemoveWatch(m_closeWatch);
        m_closeWatch = 0;
    }
    if (m_watcher) m_watcher->Detach();
    m_watcher.reset();
    // A start-up that failed (the frame of a command-line document that would not open) stores nothing.
    const auto* app = dynamic_cast<const CApp*>(UL::CWinApp::GetApp());
    if (app == nullptr || app->IsInitialised()) UL::CSDIFrameWndEx::OnDestroy();
}

void CMainFrame::OnClose() {
    if (IsBusy()) return;
    // The close box is a press outside an open cell editor, which commits it first; a commit that had
    // to show a message (a name the card cannot take) ends the close there.
    const int opened = CModalManager::GetInstance().GetOpenedCount();
    PressCloseBox();
    if (CModalManager::GetInstance().GetOpenedCount() != opened) return;
    if (!CDocumentModel::GetInstance().GetDocument().AskSaveChanges()) return;
    UL::CSDIFrameWndEx::OnClose();
}

void CMainFrame::OnDropFiles(const std::vector<std::string>& paths) {
    if (IsBusy()) return;
    CDocumentModel& model = CDocumentModel::GetInstance();
    if (!model.GetDocument().IsConnected()) return;
    if (platform::Window* window = GetWindow()) window->Activate();
    // The drop hands "/" paths already; a backslash belongs to a file name here.
    model.GetDocument().ImportFiles(paths);
    model.Notify(CModelEvent(CModelEvent::IMPORT_ENDED));
}

CDeviceChangeHandler& CDeviceChangeHandler::GetInstance() {
    static CDeviceChangeHandler handler;
    return handler;
}

bool CDeviceChangeHandler::HoldsAudioCd(const std::string& drive) {
    // A table of its own: a rip running meanwhile keeps the reader's drive and table.
    GT::CCdToc toc;
    return ReadAudioCdToc(drive, toc);
}

bool CDeviceChangeHandler::OnDeviceChange(int event, const std::string& drive) {
    int id;
    if (event == GT::DEVICE_ARRIVAL) {
        id = HoldsAudioCd(drive) ? CModelEvent::AUDIO_CD_ARRIVED : CModelEvent::VOLUME_ARRIVED;
    } else if (event == GT::DEVICE_REMOVAL) {
        const std::string card = CDocumentModel::GetInstance().GetDocument().GetCardDrive();
        id = !card.empty() && drive == card ? CModelEvent::CARD_GONE : CModelEvent::DRIVE_REMOVED;
    } else {
        return false;
    }
    CModalManager::GetInstance().RouteDeviceEvent(CModelEvent(id, drive));
    return true;
}
