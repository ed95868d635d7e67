#pragma once
// A dialog made from a registered dialog template: the library's stand-in for the framework's dialog.
// The object exists without its window; Create makes a modeless window, DoModal a modal one.
#include "platform/window/Controls.h"
#include "platform/window/Window.h"

#include <memory>
#include <string>

namespace UL {

class CDialogBase {
public:
    CDialogBase(int templateId, platform::Window* parent);
    virtual ~CDialogBase();
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Makes the window (hidden) from the template over the owner and runs OnInitDialog; false when
    // the template is missing or initialisation refuses.
    bool Create(platform::Window* owner);
    // Creates, shows modally, destroys; answers EndDialog's result, -1 when the window cannot be made.
    int DoModal();
    void EndDialog(int result);
    // Runs OnDestroy while the window still exists, then destroys it. A dialog object destroys its
    // window before it goes; a window still there when this base is destroyed goes without OnDestroy.
    void DestroyWindow();

    bool HasWindow() const { return m_window != nullptr; }
    platform::Window* GetWindow() const { return m_window.get(); }
    platform::Window* GetParent() const { return m_parent; }
    int GetTemplateId() const { return m_templateId; }
    platform::Control* GetDlgItem(int id) const;
    // False when the control is missing.
    bool SetDlgItemText(int id, const std::string& text);
    // The accelerator table registered under the id: its keys reach OnCommand while the dialog's window
    // exists (call it from OnInitDialog). False when no table has that id or there is no window.
    bool LoadAccelTable(int resourceId);
    std::string GetDlgItemText(int id) const;

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(platform::kCommandOk); }
    virtual void OnCancel() { EndDialog(platform::kCommandCancel); }
    virtual void OnCommand(int id);
    virtual void OnTimer(int) {}
    // The client area's new size.
    virtual void OnSize(int, int) {}
    // A control's notification; the default turns a click into OnCommand.
    virtual void OnControlNotify(int id, int code);
    virtual long OnNotify(int, int, void*) { return 0; }
    virtual bool OnKey(const platform::KeyInput&) { return false; }
    virtual void OnActivate(bool) {}
    // The dialog's modal loop has handled everything that waited.
    virtual void OnKickIdle() {}
    // The window is about to be destroyed and still exists (with its controls and its owner).
    virtual void OnDestroy() {}

private:
    class CWindow;
    int m_templateId;
    platform::Window* m_parent;
    std::unique_ptr<platform::Window> m_window;
};

}  // namespace UL
