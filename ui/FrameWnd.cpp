#include "ui/FrameWnd.h"

#include "general_tools/Profile.h"
#include "general_tools/VersionStrings.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Menu.h"
#include "platform/window/MouseWatcher.h"
#include "ui/Document.h"
#include "ui/Popup.h"
#include "ui/ResourcePictures.h"
#include "ui/WinApp.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace UL {

namespace {

// One direction of a placement with the frame added past its far edge, in 64 bits; at the end of the
// ints the placement moves back instead, so that the window inside the frame keeps its size.
void AddFrame(int& low, int& high, int frame) {
    const int64_t end = int64_t(high) + frame;
    const int64_t excess = std::max<int64_t>(end - INT32_MAX, 0);
    high = int(end - excess);
    low = int(std::max<int64_t>(int64_t(low) - excess, INT32_MIN));
}

// A placement (the frame's top-left and the client size) fitted, frame included, into the work area of
// the screen that holds most of it, as the desktop places a window: no larger than that area, its title
// bar inside it. The frame is what the window manager draws or announces; without one there is none.
CRect FitPlacementToScreen(const platform::Window& window, const CRect& placement) {
    const platform::Size frame = window.FrameExtent();
    CRect outer{placement.left, placement.top, placement.right, placement.bottom};
    AddFrame(outer.left, outer.right, frame.width);
    AddFrame(outer.top, outer.bottom, frame.height);
    const CRect area = platform::WorkAreaFor(outer);
    if (area.IsEmpty()) return placement;
    outer = FitRectIntoBounds(outer, area);
    // Never less than a pixel each way, even in an area smaller than the frame: a window without a
    // size is never shown.
    return CRect{outer.left, outer.top, std::max(outer.right - frame.width, outer.left + 1),
                 std::max(outer.bottom - frame.height, outer.top + 1)};
}

// One direction of a placement made at least `least` long, in 64 bits: the stored edges may be any ints.
void GrowSpan(int& low, int& high, int least) {
    if (int64_t(high) - low >= least) return;
    const int64_t end = std::min<int64_t>(int64_t(low) + least, INT32_MAX);
    high = int(end);
    low = int(end - least);
}

}  // namespace

CRect UsablePlacement(CRect placement, platform::Size least) {
    // Empty or inverted (a damaged or hand-edited settings file) shows nothing: the default instead.
    if (placement.IsEmpty()) {
        std::sscanf(CSDIFrameWndEx::kDefaultPosition, "%d,%d,%d,%d", &placement.left, &placement.top, &placement.right,
                    &placement.bottom);
    }
    GrowSpan(placement.left, placement.right, std::max(least.width, 0));
    GrowSpan(placement.top, placement.bottom, std::max(least.height, 0));
    return placement;
}

// The frame's window: passes what happens to it to the frame object.
class CSDIFrameWndEx::CWindow : public platform::Window {
public:
    explicit CWindow(CSDIFrameWndEx& frame) : platform::Window(platform::WindowKind::Main), m_frame(frame) {}
    CSDIFrameWndEx& GetFrame() const { return m_frame; }

protected:
    bool OnClose() override {
        m_frame.OnClose();
        return false;  // the frame destroys its window itself
    }
    void OnResize(platform::Size size) override { m_frame.OnSize(size.width, size.height); }
    void OnDropFiles(const std::vector<std::string>& paths) override { m_frame.OnDropFiles(paths); }
    void OnMenuCommand(int id, bool) override { m_frame.OnMenuCommand(id); }
    void OnMenuPopup(const std::vector<int>& itemIds) override { m_frame.OnInitMenuPopup(itemIds); }

private:
    CSDIFrameWndEx& m_frame;
};

CSDIFrameWndEx::CSDIFrameWndEx() = default;

CSDIFrameWndEx::~CSDIFrameWndEx() = default;

platform::Window* CSDIFrameWndEx::GetWindow() const { return m_window.get(); }

bool CSDIFrameWndEx::Create(const std::string& title) {
    DestroyWindow();
    m_window = std::make_unique<CWindow>(*this);
    m_window->SetTitle(title);
    if (OnCreate() == -1) {
        m_window.reset();
        return false;
    }
    return true;
}

bool CSDIFrameWndEx::LoadFrame(int resourceId, const std::string& title) {
    m_resourceId = resourceId;
    if (!Create(title)) return false;
    m_window->SetMenu(platform::FindMenuTemplate(resourceId));
    m_window->SetAccelerators(platform::FindAcceleratorTable(resourceId));
    const platform::Image icon = LoadIconResource(resourceId);
    if (!icon.IsEmpty()) m_window->SetIcon(icon);
    return true;
}

void CSDIFrameWndEx::DestroyWindow() {
    if (!m_window) return;
    const bool wasMain = platform::MainWindow() == m_window.get();
    if (m_window->Exists()) OnDestroy();
    if (m_view != nullptr) m_view->DestroyWindow();
    m_window.reset();
    if (wasMain) platform::QuitMainLoop(0);
}

void CSDIFrameWndEx::ShowWindow(int showCommand) {
    if (!m_window) return;
    switch (showCommand) {
        case SW_HIDE:
            m_window->Hide();
            break;
        case SW_SHOWMINIMIZED:
            m_window->Show();
            m_window->Minimise();
            break;
        case SW_SHOWMAXIMIZED:
            m_window->Maximise();
            m_window->Show();
            break;
        default:
            // Shown as created: maximised when the stored placement says so.
            m_window->Show();
            break;
    }
}

void CSDIFrameWndEx::InitialUpdateFrame(bool makeVisible, int showCommand) {
    RecalcLayout();
    if (!makeVisible) return;
    ShowWindow(showCommand == -1 ? SW_SHOW : showCommand);
    if (m_window) m_window->Activate();
}

bool CSDIFrameWndEx::OnCmdMsg(const CCommand& command) {
    if (m_view != nullptr && m_view->OnCmdMsg(command)) return true;
    if (CCmdTarget::OnCmdMsg(command)) return true;
    CWinApp* app = CWinApp::GetApp();
    return app != nullptr && app->OnCmdMsg(command);
}

void CSDIFrameWndEx::OnMenuCommand(int id) {
    // A command that its update handler disables is not carried out, although its menu item may not
    // have been brought up to date yet (an accelerator).
    CCmdUI probe(id);
    OnCmdMsg(CCommand{id, CCommand::Update, &probe, false});
    if (probe.WasEnableChanged() && !probe.IsEnabled()) return;
    OnCmdMsg(CCommand{id, CCommand::Execute, nullptr, false});
}

void CSDIFrameWndEx::UpdateMenuItems(const std::vector<int>& itemIds) {
    platform::MenuBar* menu = m_window ? m_window->Menu() : nullptr;
    if (menu == nullptr) return;
    for (int id : itemIds) {
        CMenuItemCmdUI state(*menu, id);
        state.DoUpdate(*this, m_autoMenuEnable && id < kFirstSystemCommand);
    }
}

void CSDIFrameWndEx::OnInitMenuPopup(const std::vector<int>& itemIds) { UpdateMenuItems(itemIds); }

void CSDIFrameWndEx::OnIdleUpdateCmdUI() {
    if (!m_window || !m_window->Exists()) return;
    if (platform::MenuBar* menu = m_window->Menu()) UpdateMenuItems(menu->ItemIds());
    if (m_view != nullptr) m_view->OnIdleUpdateCmdUI(true);
}

void CSDIFrameWndEx::PressCloseBox() {
    if (!m_window || !m_window->Exists()) return;
    platform::WatchedMouse press;
    press.button = platform::MouseButton::Left;
    press.nonClient = true;
    press.target = m_window->Widget();
    const CRect client = m_window->ClientScreenRect();
    press.screenPoint = platform::Point{client.right - 1, client.top - 1};
    CMouseHookManager::GetInstance().HookProc(kHookAction, kMessageNonClientLeftButtonDown, press);
}

bool CSDIFrameWndEx::IsZoomed() const { return m_window && m_window->IsMaximised(); }

CSDIFrameWndEx* CSDIFrameWndEx::FromWindow(const platform::Window* window) {
    const auto* own = dynamic_cast<const CWindow*>(window);
    return own != nullptr ? &own->GetFrame() : nullptr;
}

void CSDIFrameWndEx::SetView(CFormViewEx* view) {
    m_view = view;
    RecalcLayout();
}

void CSDIFrameWndEx::RecalcLayout() {
    if (!m_window || m_view == nullptr || m_view->GetWindow() == nullptr) return;
    const platform::Size client = m_window->ClientSize();
    m_view->GetWindow()->SetGeometry(CRect{0, 0, client.width, client.height});
}

void CSDIFrameWndEx::DragAcceptFiles(bool accept) {
    if (m_window) m_window->AcceptDroppedFiles(accept);
}

int CSDIFrameWndEx::OnCreate() {
    CRect normal = m_window->NormalPlacementRect();
    const std::string position = GT::GetAppProfileString(kSection, kPositionEntry, kDefaultPosition);
    std::sscanf(position.c_str(), "%d,%d,%d,%d", &normal.left, &normal.top, &normal.right, &normal.bottom);
    // Fitted to the screen: a placement stored on a larger or a lost screen would leave nothing in reach.
    m_window->SetNormalPlacementRect(FitPlacementToScreen(*m_window, UsablePlacement(normal, GetLeastUsefulSize())));
    if (GT::GetAppProfileInt(kSection, kMaximizedEntry, 0) != 0) m_window->Maximise();
    LoadBarState(kBarStateSection);
    return 0;
}

void CSDIFrameWndEx::OnClose() {
    GT::WriteAppProfileInt(kSection, kMaximizedEntry, IsZoomed() ? 1 : 0);
    GT::StoreFileVersion();
    SaveBarState(kBarStateSection);
    DestroyWindow();
}

void CSDIFrameWndEx::OnDestroy() {
    const CRect r = m_window->NormalPlacementRect();
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", r.left, r.top, r.right, r.bottom);
    GT::WriteAppProfileString(kSection, kPositionEntry, text);
}

void CSDIFrameWndEx::SaveBarState(const std::string& section) const {
    GT::WriteAppProfileString(section, section, std::string());
}

std::string CSDIFrameWndEx::LoadBarState(const std::string& section) const {
    return GT::GetAppProfileString(section, section, std::string());
}

// The view's window: a child of the frame's.
class CFormViewEx::CWindow : public platform::Window {
public:
    CWindow(CFormViewEx& view, platform::Window& parent)
        : platform::Window(platform::WindowKind::Child, &parent), m_view(view) {}

protected:
    void OnResize(platform::Size size) override { m_view.OnSize(size.width, size.height); }
    void OnMouse(const platform::MouseInput& input) override {
        if (input.action == platform::MouseAction::DoubleClick && input.button == platform::MouseButton::Left) {
            m_view.OnLButtonDblClk(input);
        }
    }
    void OnCommand(int id) override {
        if (!m_view.OnCmdMsg(CCommand{id, CCommand::Execute, nullptr, true})) m_view.OnCommand(id);
    }
    void OnControlNotify(int id, int code) override { m_view.OnControlNotify(id, code); }

private:
    CFormViewEx& m_view;
};

CFormViewEx::CFormViewEx(int templateId) : m_templateId(templateId) {}

CFormViewEx::~CFormViewEx() = default;

platform::Window* CFormViewEx::GetWindow() const { return m_window.get(); }

bool CFormViewEx::Create(platform::Window& parent) {
    DestroyWindow();
    const platform::DialogTemplate* table = platform::FindDialogTemplate(m_templateId);
    if (table == nullptr) return false;
    m_window = std::make_unique<CWindow>(*this, parent);
    if (!m_window->Exists()) {
        m_window.reset();
        return false;
    }
    m_window->BuildFromTemplate(*table);
    const CRect total = m_window->DialogUnitsToPixels(CRect{0, 0, table->units.width, table->units.height});
    m_window->SetScrollSize(platform::Size{total.Width(), total.Height()});
    m_window->Show();
    return true;
}

void CFormViewEx::DestroyWindow() {
    if (!m_window) return;
    if (m_window->Exists()) OnDestroy();
    m_window.reset();
}

CSDIFrameWndEx* CFormViewEx::GetParentFrame() const {
    if (!m_window || m_window->Owner() == nullptr) return nullptr;
    return CSDIFrameWndEx::FromWindow(m_window->Owner());
}

platform::Size CFormViewEx::GetTotalSize() const { return m_window ? m_window->ScrollSize() : platform::Size{}; }

void CFormViewEx::OnInitialUpdate() {
    if (!m_templateLoaded) m_templateLoaded = m_template.Load(m_templateId);
    const bool resize = ShouldResizeParent();
    if (resize) {
        if (CSDIFrameWndEx* frame = GetParentFrame()) frame->RecalcLayout();
        ResizeParentToFit();
    }
    m_initialised = true;
    if (!resize && m_window) {
        const platform::Size client = m_window->ClientSize();
        Layout(client.width, client.height);
    }
}

bool CFormViewEx::ShouldResizeParent() {
    if (GetParentFrame() == nullptr) return false;
    return GT::GetStoredFileVersion().empty() && !m_initialised;
}

void CFormViewEx::ResizeParentToFit() {
    CSDIFrameWndEx* frame = GetParentFrame();
    if (frame == nullptr || frame->GetWindow() == nullptr) return;
    platform::Window& window = *frame->GetWindow();
    window.SetClientSize(GetTotalSize());
    // A form larger than the screen (a large scale factor) would put the close box out of reach.
    const CRect placement = window.PlacementRect();
    const CRect fitted = FitPlacementToScreen(window, placement);
    if (!(fitted == placement)) window.SetPlacementRect(fitted);
    frame->RecalcLayout();
}

void CFormViewEx::OnSize(int cx, int cy) {
    if (m_initialised) Layout(cx, cy);
}

void CFormViewEx::OnLButtonDblClk(const platform::MouseInput&) {
    CSDIFrameWndEx* frame = GetParentFrame();
    if (frame != nullptr && !frame->IsZoomed() && CanFitParent()) ResizeParentToFit();
}

void CFormViewEx::OnControlNotify(int id, int code) {
    if (code == platform::kNotifyClicked && m_window) m_window->DispatchCommand(id);
}

bool CFormViewEx::OnCmdMsg(const CCommand& command) {
    if (UsesFrameCommands() && !m_forwarding && command.fromControl && command.id >= kFirstFrameCommand) {
        if (CSDIFrameWndEx* mainFrame = CSDIFrameWndEx::FromWindow(platform::MainWindow())) {
            // Once through the main frame's routing, which asks this view first: the flag keeps the
            // view from forwarding it again.
            m_forwarding = true;
            mainFrame->OnCmdMsg(command);
            m_forwarding = false;
            return true;
        }
    }
    if (CCmdTarget::OnCmdMsg(command)) return true;
    return m_document != nullptr && m_document->OnCmdMsg(command);
}

void CFormViewEx::OnIdleUpdateCmdUI(bool disableIfNoHandler) {
    if (!UsesFrameCommands() || !m_window) return;
    if (CSDIFrameWndEx* frame = GetParentFrame()) UpdateDialogControls(*frame, disableIfNoHandler);
}

namespace {

// Push buttons go grey without a handler; check boxes, which work by themselves, do not.
bool IsDisabledWithoutHandler(const platform::Control& control) {
    const auto* button = dynamic_cast<const platform::PushButton*>(&control);
    if (button == nullptr) return false;
    const platform::ButtonStyle style = button->Style();
    return style != platform::ButtonStyle::CheckBox && style != platform::ButtonStyle::PushLike;
}

}  // namespace

void CFormViewEx::UpdateDialogControls(CCmdTarget& target, bool disableIfNoHandler) {
    if (!m_window) return;
    for (platform::Control* control : m_window->Controls()) {
        CControlCmdUI state(*control);
        // The view's own update handler first, without routing.
        if (CCmdTarget::OnCmdMsg(CCommand{control->Id(), CCommand::Update, &state, false})) continue;
        state.DoUpdate(target, disableIfNoHandler && IsDisabledWithoutHandler(*control));
    }
}

}  // namespace UL
