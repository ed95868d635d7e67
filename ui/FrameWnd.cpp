#include "ui/FrameWnd.h"

#include "general_tools/Profile.h"
#include "general_tools/VersionStrings.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"

#include <cstdio>

namespace UL {

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

void CSDIFrameWndEx::DestroyWindow() {
    if (!m_window) return;
    const bool wasMain = platform::MainWindow() == m_window.get();
    if (m_window->Exists()) OnDestroy();
    m_window.reset();
    if (wasMain) platform::QuitMainLoop(0);
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
    m_window->SetNormalPlacementRect(normal);  // not fitted to the screen: the desktop keeps it reachable
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
    void OnCommand(int id) override { m_view.OnCommand(id); }
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

void CFormViewEx::DestroyWindow() { m_window.reset(); }

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
    frame->GetWindow()->SetClientSize(GetTotalSize());
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
    if (code == platform::kNotifyClicked) OnCommand(id);
}

}  // namespace UL
