#include "ui/ProgressBar.h"

#include "general_tools/DocumentType.h"
#include "general_tools/Rounding.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/Cursor.h"
#include "platform/window/DialogTemplate.h"
#include "ui/CursorStack.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace UL {

namespace {
constexpr int kMaxBarRange = 1000;
}

void RegisterLibraryDialogTemplates() {
    static const bool registered = [] {
        platform::DialogTemplate progress;
        progress.title = "Progress";
        progress.units = platform::Size{220, 64};
        progress.items = {
            {kProgressMessageId, platform::kClassStatic, "", platform::Rect{7, 7, 213, 27},
             platform::kWsChild | platform::kWsVisible | platform::kSsLeftNoWordWrap | platform::kSsNoPrefix},
            {kProgressBarId, platform::kClassProgress, "", platform::Rect{7, 30, 213, 40},
             platform::kWsChild | platform::kWsVisible},
            {platform::kCommandCancel, platform::kClassButton, "Cancel", platform::Rect{163, 45, 213, 59},
             platform::kWsChild | platform::kWsVisible | platform::kWsTabStop},
        };
        platform::RegisterDialogTemplate(kProgressTemplateId, progress);
        return true;
    }();
    (void)registered;
}

CProgressBar::CProgressBar(int templateId, int messageControlId, int barControlId)
    : CDialogBase(templateId, nullptr),
      m_title(platform::ApplicationTitle()),
      m_messageControlId(messageControlId),
      m_barControlId(barControlId) {}

CProgressBar::~CProgressBar() { CProgressBar::End(); }

bool CProgressBar::IsShown() const { return HasWindow() && GetWindow()->Exists(); }

platform::Window* CProgressBar::GetOwnerWindow() {
    // Our windows are all top-level, so the active one is its own top-level ancestor.
    platform::Window* active = platform::ActiveWindow();
    if (active != nullptr && active != GetWindow()) return active;
    for (platform::Window* window : platform::VisibleTopLevelWindows()) {
        if (window != GetWindow()) return window;
    }
    return platform::MainWindow();
}

void CProgressBar::PumpMessages() { platform::ProcessEvents(); }

void CProgressBar::PumpAndRefreshCursor() {
    PumpMessages();
    // Pumped events may have reset the pointer's shape; a wait cursor pushed by the caller stays.
    GetCursor().Refresh(platform::MousePosition());
}

void CProgressBar::ReleaseOwner() {
    // The dialog's window is a child of its owner's: when it went without us, the owner went too.
    const bool ownerGone = HasWindow() && !GetWindow()->Exists();
    if (m_ownerDisabled && m_owner != nullptr && !ownerGone) m_owner->Enable(true);
    m_ownerDisabled = false;
    m_owner = nullptr;
}

bool CProgressBar::CreateProgressWindow() {
    ReleaseOwner();  // a window that vanished under us may have left an owner recorded
    m_owner = GetOwnerWindow();
    if (m_owner != nullptr && m_owner->IsEnabled()) {
        m_owner->Enable(false);
        m_ownerDisabled = true;
    }
    if (!Create(m_owner)) {
        ReleaseOwner();
        return false;
    }
    m_barRange = -1;
    m_barPos = -1;
    platform::Window* window = GetWindow();
    window->SetTitle(m_title);
    SetDlgItemText(m_messageControlId, m_message);
    UpdateBarRange();
    UpdateBarPos();
    UpdateCancelButton();
    window->CentreOnOwner();
    window->BringToTop();
    window->Show();
    window->UpdateNow();
    return true;
}

bool CProgressBar::UpdateBarRange() {
    const int barRange = std::clamp(m_range, 0, kMaxBarRange);
    if (barRange == m_barRange) return false;
    auto* bar = dynamic_cast<platform::ProgressBar*>(GetDlgItem(m_barControlId));
    if (bar == nullptr) return false;
    bar->SetRange(std::max(barRange, 1));  // an empty range shows an empty bar
    m_barRange = barRange;
    return true;
}

bool CProgressBar::UpdateBarPos() {
    UpdateBarRange();
    // A range of 0 (or below) divides nothing: the bar stays empty.
    const int barPos = m_range > 0 ? GT::RoundToInt(double(m_barRange) * double(m_pos) / double(m_range)) : 0;
    if (barPos == m_barPos) return false;
    auto* bar = dynamic_cast<platform::ProgressBar*>(GetDlgItem(m_barControlId));
    if (bar == nullptr) return false;
    bar->SetPosition(std::clamp(barPos, 0, std::max(m_barRange, 1)));
    m_barPos = barPos;
    return true;
}

void CProgressBar::UpdateCancelButton() {
    if (platform::Control* cancel = GetDlgItem(platform::kCommandCancel)) cancel->Show(m_cancelable);
}

void CProgressBar::Begin() {
    m_pos = 0;
    m_cancelled = false;
    if (IsShown())
        UpdateBarPos();
    else
        CreateProgressWindow();
}

void CProgressBar::End() {
    if (IsShown() && (GT::GetOsKind() == 8 || GT::GetOsKind() == 9)) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
        while (std::chrono::steady_clock::now() < until) {
            platform::ProcessEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ReleaseOwner();
    DestroyWindow();
}

void CProgressBar::SetRange(int range) {
    m_range = range;
    if (IsShown()) UpdateBarRange();
}

void CProgressBar::SetPos(int pos) {
    m_pos = pos;
    const bool changed = IsShown() ? UpdateBarPos() : CreateProgressWindow();
    if (changed) PumpAndRefreshCursor();
}

void CProgressBar::SetTitle(const std::string& title) {
    m_title = title;
    if (IsShown()) GetWindow()->SetTitle(title);
}

void CProgressBar::SetMessage(const std::string& message) {
    m_message = message;
    bool changed = false;
    if (IsShown()) {
        platform::Control* text = GetDlgItem(m_messageControlId);
        if (text != nullptr && text->Text() != message) {
            text->SetText(message);
            changed = true;
        }
    } else {
        changed = CreateProgressWindow();
    }
    if (changed) PumpAndRefreshCursor();
}

void CProgressBar::SetCancelable(bool cancelable) {
    m_cancelable = cancelable;
    if (IsShown()) UpdateCancelButton();
}

bool CProgressBar::IsCancelled() {
    if (IsShown()) PumpAndRefreshCursor();
    return m_cancelled;
}

void CProgressBar::OnCancel() {
    // Only a flag: the running operation decides when to stop; the dialog stays.
    if (m_cancelable) m_cancelled = true;
}

CProgressBarA::CProgressBarA(int templateId, int messageControlId, int barControlId)
    : CProgressBar(templateId, messageControlId, barControlId) {
    RegisterLibraryDialogTemplates();
}

}  // namespace UL
