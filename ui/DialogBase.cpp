#include "ui/DialogBase.h"

#include "platform/window/DialogTemplate.h"
#include "platform/window/Resources.h"

namespace UL {

// The dialog's window: passes commands and timers back to the dialog object.
class CDialogBase::CWindow : public platform::Window {
public:
    CWindow(CDialogBase& dialog, platform::Window* owner)
        : platform::Window(platform::WindowKind::Dialog, owner), m_dialog(dialog) {}

protected:
    void OnCommand(int id) override { m_dialog.OnCommand(id); }
    void OnTimer(int id) override { m_dialog.OnTimer(id); }
    void OnResize(platform::Size size) override { m_dialog.OnSize(size.width, size.height); }
    void OnControlNotify(int id, int code) override { m_dialog.OnControlNotify(id, code); }
    long OnNotify(int id, int code, void* data) override { return m_dialog.OnNotify(id, code, data); }
    bool OnKey(const platform::KeyInput& key) override { return m_dialog.OnKey(key); }
    void OnActivate(bool active) override { m_dialog.OnActivate(active); }
    void OnIdle() override { m_dialog.OnKickIdle(); }

private:
    CDialogBase& m_dialog;
};

CDialogBase::CDialogBase(int templateId, platform::Window* parent) : m_templateId(templateId), m_parent(parent) {}

CDialogBase::~CDialogBase() = default;

bool CDialogBase::Create(platform::Window* owner) {
    DestroyWindow();
    const platform::DialogTemplate* dialogTemplate = platform::FindDialogTemplate(m_templateId);
    if (dialogTemplate == nullptr) return false;
    m_window = std::make_unique<CWindow>(*this, owner);
    m_window->BuildFromTemplate(*dialogTemplate);
    if (!OnInitDialog()) {
        DestroyWindow();
        return false;
    }
    return true;
}

int CDialogBase::DoModal() {
    if (!Create(m_parent)) return -1;
    const int result = m_window->RunModal();
    DestroyWindow();
    return result;
}

void CDialogBase::EndDialog(int result) {
    if (m_window && m_window->IsInModalLoop()) m_window->EndModal(result);
}

void CDialogBase::DestroyWindow() {
    if (!m_window) return;
    if (m_window->Exists()) OnDestroy();
    m_window.reset();
}

void CDialogBase::OnControlNotify(int id, int code) {
    if (code == platform::kNotifyClicked) OnCommand(id);
}

platform::Control* CDialogBase::GetDlgItem(int id) const { return m_window ? m_window->FindControl(id) : nullptr; }

bool CDialogBase::SetDlgItemText(int id, const std::string& text) {
    platform::Control* control = GetDlgItem(id);
    if (control == nullptr) return false;
    control->SetText(text);
    return true;
}

std::string CDialogBase::GetDlgItemText(int id) const {
    platform::Control* control = GetDlgItem(id);
    return control != nullptr ? control->Text() : std::string();
}

bool CDialogBase::LoadAccelTable(int resourceId) {
    const platform::AcceleratorTable* table = platform::FindAcceleratorTable(resourceId);
    if (table == nullptr || !m_window) return false;
    m_window->SetAccelerators(table);
    return true;
}

void CDialogBase::OnCommand(int id) {
    if (id == platform::kCommandOk)
        OnOK();
    else if (id == platform::kCommandCancel)
        OnCancel();
}

}  // namespace UL
