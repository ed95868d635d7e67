#include "ui/DialogA.h"

#include "general_tools/Profile.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"

#include <algorithm>
#include <cstdio>

namespace UL {

bool CDialogA::OnInitDialog() {
    if (!CDialogBase::OnInitDialog()) return false;
    RestorePlacement();
    return true;
}

void CDialogA::GetPlacementKey(std::string& section, std::string& entry) const {
    section.clear();
    entry.clear();
}

bool CDialogA::ReadStoredPlacement(CRect& placement) const {
    std::string section, entry;
    GetPlacementKey(section, entry);
    if (section.empty() || entry.empty() || GetWindow() == nullptr) return false;
    const std::string text = GT::GetAppProfileString(section, entry, std::string());
    if (text.empty()) return false;
    // Numbers the text lacks keep the window's own.
    placement = GetWindow()->PlacementRect();
    std::sscanf(text.c_str(), "%d,%d,%d,%d", &placement.left, &placement.top, &placement.right, &placement.bottom);
    const platform::Size screen = platform::ScreenSize();
    placement = FitRectIntoBounds(placement, CRect{0, 0, screen.width, screen.height});
    return true;
}

void CDialogA::RestorePlacement() {
    CRect placement;
    if (ReadStoredPlacement(placement)) GetWindow()->SetPlacementRect(placement);
}

void CDialogA::SavePlacement() {
    std::string section, entry;
    GetPlacementKey(section, entry);
    if (section.empty() || entry.empty() || GetWindow() == nullptr) return;
    const CRect r = GetWindow()->PlacementRect();
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", r.left, r.top, r.right, r.bottom);
    GT::WriteAppProfileString(section, entry, text);
}

CResizableDialog::CResizableDialog(int templateId, platform::Window* parent, bool withSizeGrip)
    : CDialogA(templateId, parent), m_withSizeGrip(withSizeGrip) {}

CResizableDialog::~CResizableDialog() = default;

bool CResizableDialog::OnInitDialog() {
    platform::Window* window = GetWindow();
    m_minimumSize = window->ClientSize();
    window->SetMinimumClientSize(m_minimumSize);
    m_template.Load(GetTemplateId());
    if (m_withSizeGrip) {
        m_grip = &window->AddControl<platform::SizeGrip>(kSizeGripId);
        const platform::Size size = m_grip->PreferredSize();
        const platform::Size client = window->ClientSize();
        m_grip->SetRect(CRect{client.width - size.width, client.height - size.height, client.width, client.height});
    }
    if (!CDialogA::OnInitDialog()) return false;
    if (platform::Window* main = platform::MainWindow(); main != nullptr && main != window) {
        window->SetIcon(main->Icon());
    }
    return true;
}

void CResizableDialog::OnSize(int cx, int cy) {
    if (m_template.IsLoaded()) Layout(cx, cy);
    if (m_grip != nullptr) {
        const CRect r = m_grip->GetRect();
        m_grip->SetRect(CRect{cx - r.Width(), cy - r.Height(), cx, cy});
        m_grip->Invalidate();
    }
}

void CResizableDialog::OnDestroy() {
    m_minimumSize = platform::Size{};
    m_template.Clear();
    m_grip = nullptr;  // goes with the window
    SavePlacement();
}

void CResizableDialog::RestorePlacement() {
    CRect placement;
    if (!ReadStoredPlacement(placement)) return;
    // Never smaller than the dialog was first shown.
    placement.right = std::max(placement.right, placement.left + m_minimumSize.width);
    placement.bottom = std::max(placement.bottom, placement.top + m_minimumSize.height);
    GetWindow()->SetPlacementRect(placement);
}

}  // namespace UL
