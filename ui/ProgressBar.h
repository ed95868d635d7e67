#pragma once
// The modeless progress dialog of long operations that run on the user-interface thread.
#include "general_tools/Progress.h"
#include "ui/DialogBase.h"

#include <string>

namespace UL {

// The library's own progress dialog: its template and the ids of its message text and bar.
enum : int { kProgressTemplateId = 26624, kProgressMessageId = 55340, kProgressBarId = 55339 };

class CProgressBar : public CDialogBase, public GT::IProgress {
public:
    CProgressBar(int templateId, int messageControlId, int barControlId);
    ~CProgressBar() override;

    void Begin() override;
    void End() override;
    void SetRange(int range) override;
    int GetRange() const override { return m_range; }
    void SetPos(int pos) override;
    int GetPos() const override { return m_pos; }
    void SetTitle(const std::string& title) override;
    std::string GetTitle() const override { return m_title; }
    void SetMessage(const std::string& message) override;
    std::string GetMessage() const override { return m_message; }
    void SetCancelable(bool cancelable) override;
    bool IsCancelable() const override { return m_cancelable; }
    bool IsCancelled() override;

    // The window that the dialog disables while it is shown: the active window, else the first
    // visible top-level window, else the main window; null when there is none.
    virtual platform::Window* GetOwnerWindow();
    // Handles every waiting event.
    virtual void PumpMessages();

    // What the bar control shows (both -1 while no window shows them).
    int GetBarRange() const { return m_barRange; }
    int GetBarPos() const { return m_barPos; }
    bool IsShown() const;
    platform::Window* GetDisabledOwner() const { return m_ownerDisabled ? m_owner : nullptr; }

protected:
    void OnOK() override {}
    void OnCancel() override;

private:
    bool CreateProgressWindow();
    bool UpdateBarRange();
    bool UpdateBarPos();
    void UpdateCancelButton();
    void PumpAndRefreshCursor();
    void ReleaseOwner();

    int m_range = 100;
    int m_pos = 0;
    int m_barRange = -1;
    int m_barPos = -1;
    std::string m_title;
    std::string m_message;
    bool m_cancelable = false;
    bool m_cancelled = false;
    int m_messageControlId;
    int m_barControlId;
    platform::Window* m_owner = nullptr;
    bool m_ownerDisabled = false;
};

// The dialog with the library's own template.
class CProgressBarA : public CProgressBar {
public:
    CProgressBarA(int templateId = kProgressTemplateId, int messageControlId = kProgressMessageId,
                  int barControlId = kProgressBarId);
};

// Registers the library's own dialog templates (the progress dialog); later calls do nothing.
void RegisterLibraryDialogTemplates();

}  // namespace UL
