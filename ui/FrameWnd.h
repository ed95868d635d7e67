#pragma once
// The bases of the main window: the single-document frame, which keeps its placement in the profile,
// takes dropped files, carries the menu bar and accelerators of its resource id and routes commands
// (its view and the view's document first, then itself, then the application); and the form view
// inside it, which lays out the controls of its dialog template by anchors, scrolls when smaller than
// its template, on the program's first run sizes the frame to fit, and may hand its controls' commands
// and their idle update to the frame.
#include "platform/window/Window.h"
#include "ui/CmdTarget.h"
#include "ui/DialogLayout.h"

#include <memory>
#include <string>
#include <vector>

namespace UL {

class CDocument;
class CFormViewEx;

// How a window is shown (the program's start-up passes its show command on).
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3, SW_SHOW = 5 };

class CSDIFrameWndEx : public CCmdTarget {
public:
    CSDIFrameWndEx();
    ~CSDIFrameWndEx() override;

    // Makes the window (hidden) and runs OnCreate; false when OnCreate refuses.
    bool Create(const std::string& title);
    // Create, with the menu (in the program's language), the accelerator table and the icon registered
    // under the resource id, each where one is.
    bool LoadFrame(int resourceId, const std::string& title);
    int GetResourceId() const { return m_resourceId; }
    // Runs OnDestroy while the window exists, then destroys the view's window and its own; the main
    // loop ends when it was the program's main window.
    void DestroyWindow();
    platform::Window* GetWindow() const;
    bool IsZoomed() const;
    // As the close box does (OnClose).
    void Close() { OnClose(); }
    // A press on the frame's close box, as the popups see it: an open popup editor ends as a left click
    // outside it ends it, with a commit. Whatever asks the frame to close does this first.
    void PressCloseBox();

    // The view that fills the client area.
    void SetView(CFormViewEx* view);
    CFormViewEx* GetView() const { return m_view; }
    // Gives the view the whole client area.
    void RecalcLayout();
    void DragAcceptFiles(bool accept);
    // SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED or SW_HIDE; any other command shows the window as it was
    // created (maximised when the stored placement says so).
    void ShowWindow(int showCommand);
    // After the view's initial update: shows the frame (makeVisible) with the show command, or
    // SW_SHOW when it is -1.
    void InitialUpdateFrame(bool makeVisible, int showCommand = -1);

    // Routing: the view (and its document), then the frame's own handlers, then the application.
    bool OnCmdMsg(const CCommand& command) override;
    // A command from the menu or an accelerator: carried out along the route unless its update
    // handler disables it.
    void OnMenuCommand(int id);
    // The idle update: every menu item, then the view's controls.
    virtual void OnIdleUpdateCmdUI();
    // Menu items whose command nobody handles are disabled (the default).
    void SetAutoMenuEnable(bool autoEnable) { m_autoMenuEnable = autoEnable; }

    // The frame that a window belongs to, or null.
    static CSDIFrameWndEx* FromWindow(const platform::Window* window);

    static constexpr const char* kSection = "Window";
    static constexpr const char* kPositionEntry = "Position";
    static constexpr const char* kMaximizedEntry = "Maximized";
    static constexpr const char* kBarStateSection = "ControlBar";
    static constexpr const char* kDefaultPosition = "0,0,600,400";

protected:
    // The stored placement: the normal rectangle from "Window"/"Position" (numbers missing from the text
    // keep the window's own; an empty or inverted one gives way to the default, one smaller than
    // GetLeastUsefulSize grows to it), fitted to the screen, then maximised when "Window"/"Maximized" is
    // not 0. Answers 0, or -1 to refuse the window.
    virtual int OnCreate();
    // The smallest placement size (menu bar included) in which the window is still of use: stored
    // placements grow to it. None by default.
    virtual platform::Size GetLeastUsefulSize() const { return platform::Size{}; }
    // The close box (and the program's Exit): stores the maximised state, the program's file version
    // and the bar state, then destroys the window.
    virtual void OnClose();
    // Stores the normal rectangle as "Window"/"Position".
    virtual void OnDestroy();
    virtual void OnDropFiles(const std::vector<std::string>&) {}
    virtual void OnSize(int, int) { RecalcLayout(); }
    // A popup of the menu opens: its items are brought up to date.
    virtual void OnInitMenuPopup(const std::vector<int>& itemIds);

    // The bar state: the desktop here has no control bars, so the stored state is empty.
    void SaveBarState(const std::string& section) const;
    std::string LoadBarState(const std::string& section) const;

private:
    void UpdateMenuItems(const std::vector<int>& itemIds);

    class CWindow;
    std::unique_ptr<CWindow> m_window;
    CFormViewEx* m_view = nullptr;
    int m_resourceId = 0;
    bool m_autoMenuEnable = true;
};

// A placement that shows something: an empty or inverted one is the frame's default placement, and
// one smaller than `least` grows to it (to the right and down, or back from the largest int).
CRect UsablePlacement(CRect placement, platform::Size least);

class CFormViewEx : public CCmdTarget {
public:
    explicit CFormViewEx(int templateId);
    ~CFormViewEx() override;

    // Makes the view's window inside the parent (a frame's window) with the template's controls;
    // false when the template is missing.
    bool Create(platform::Window& parent);
    // Runs OnDestroy while the window exists, then destroys it.
    void DestroyWindow();
    // The document the view shows (its commands follow the view's own).
    void SetDocument(CDocument* document) { m_document = document; }
    CDocument* GetDocument() const { return m_document; }
    platform::Window* GetWindow() const;
    int GetTemplateId() const { return m_templateId; }
    const CDialogTemplate& GetTemplate() const { return m_template; }
    bool IsInitialised() const { return m_initialised; }
    // The frame the view lives in, when it is a CSDIFrameWndEx.
    CSDIFrameWndEx* GetParentFrame() const;
    // The template's size in pixels: what the view needs to show everything unscrolled.
    platform::Size GetTotalSize() const;

    // The first time: loads the template, then either sizes the frame to the form (ShouldResizeParent)
    // or lays the controls out.
    virtual void OnInitialUpdate();
    // Sizes the frame's client area to the form.
    void ResizeParentToFit();

    // A command from a control of the form with an id from kFirstFrameCommand up goes once through the
    // main frame's routing (which asks this view first) when UsesFrameCommands; every other command
    // goes to the view's own handlers, then its document's.
    bool OnCmdMsg(const CCommand& command) override;
    // The idle update: when UsesFrameCommands, the form's controls through the frame's routing.
    virtual void OnIdleUpdateCmdUI(bool disableIfNoHandler);
    // Each control's state from the view's own update handler, else from the target's routing; with
    // disableIfNoHandler, push buttons (not check boxes) whose command nobody handles are disabled.
    void UpdateDialogControls(CCmdTarget& target, bool disableIfNoHandler);

protected:
    // True on the program's first run (no stored file version) before the first initial update, when
    // the view lives in a CSDIFrameWndEx.
    virtual bool ShouldResizeParent();
    virtual bool CanFitParent() { return true; }
    virtual bool UsesFrameCommands() { return true; }
    // Lays the controls out for the client size (CDialogLayout over GetWindow() and GetTemplate()).
    virtual void Layout(int, int) {}
    virtual void OnSize(int cx, int cy);
    // A double click on the form's background fits the frame to the form unless it is maximised.
    virtual void OnLButtonDblClk(const platform::MouseInput& input);
    // A control's command that no handler along the route took.
    virtual void OnCommand(int) {}
    virtual void OnControlNotify(int id, int code);
    // The window is about to be destroyed and still exists with its controls.
    virtual void OnDestroy() {}

private:
    class CWindow;
    int m_templateId;
    CDialogTemplate m_template;
    bool m_templateLoaded = false;
    bool m_initialised = false;
    bool m_forwarding = false;
    CDocument* m_document = nullptr;
    std::unique_ptr<CWindow> m_window;
};

}  // namespace UL
