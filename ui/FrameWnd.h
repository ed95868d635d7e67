#pragma once
// The bases of the main window: the single-document frame, which keeps its placement in the profile and
// takes dropped files, and the form view inside it, which lays out the controls of its dialog template
// by anchors, scrolls when smaller than its template and on the program's first run sizes the frame to
// fit. (Command routing through the frame and the idle update of the form's controls belong to the
// frame's menus and commands, which live above this library.)
#include "platform/window/Window.h"
#include "ui/DialogLayout.h"

#include <memory>
#include <string>
#include <vector>

namespace UL {

class CFormViewEx;

class CSDIFrameWndEx {
public:
    CSDIFrameWndEx();
    virtual ~CSDIFrameWndEx();
    CSDIFrameWndEx(const CSDIFrameWndEx&) = delete;
    CSDIFrameWndEx& operator=(const CSDIFrameWndEx&) = delete;

    // Makes the window (hidden) and runs OnCreate; false when OnCreate refuses.
    bool Create(const std::string& title);
    // Runs OnDestroy while the window exists, then destroys it; the main loop ends when it was the
    // program's main window.
    void DestroyWindow();
    platform::Window* GetWindow() const;
    bool IsZoomed() const;

    // The view that fills the client area.
    void SetView(CFormViewEx* view);
    CFormViewEx* GetView() const { return m_view; }
    // Gives the view the whole client area.
    void RecalcLayout();
    void DragAcceptFiles(bool accept);

    // The frame that a window belongs to, or null.
    static CSDIFrameWndEx* FromWindow(const platform::Window* window);

    static constexpr const char* kSection = "Window";
    static constexpr const char* kPositionEntry = "Position";
    static constexpr const char* kMaximizedEntry = "Maximized";
    static constexpr const char* kBarStateSection = "ControlBar";
    static constexpr const char* kDefaultPosition = "0,0,600,400";

protected:
    // The stored placement: the normal rectangle from "Window"/"Position" (numbers missing from the text
    // keep the window's own), then maximised when "Window"/"Maximized" is not 0. Answers 0, or -1 to
    // refuse the window.
    virtual int OnCreate();
    // The close box (and the program's Exit): stores the maximised state, the program's file version
    // and the bar state, then destroys the window.
    virtual void OnClose();
    // Stores the normal rectangle as "Window"/"Position".
    virtual void OnDestroy();
    virtual void OnDropFiles(const std::vector<std::string>&) {}
    virtual void OnSize(int, int) { RecalcLayout(); }

    // The bar state: the desktop here has no control bars, so the stored state is empty.
    void SaveBarState(const std::string& section) const;
    std::string LoadBarState(const std::string& section) const;

private:
    class CWindow;
    std::unique_ptr<CWindow> m_window;
    CFormViewEx* m_view = nullptr;
};

class CFormViewEx {
public:
    explicit CFormViewEx(int templateId);
    virtual ~CFormViewEx();
    CFormViewEx(const CFormViewEx&) = delete;
    CFormViewEx& operator=(const CFormViewEx&) = delete;

    // Makes the view's window inside the parent (a frame's window) with the template's controls;
    // false when the template is missing.
    bool Create(platform::Window& parent);
    void DestroyWindow();
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
    virtual void OnCommand(int) {}
    virtual void OnControlNotify(int id, int code);

private:
    class CWindow;
    int m_templateId;
    CDialogTemplate m_template;
    bool m_templateLoaded = false;
    bool m_initialised = false;
    std::unique_ptr<CWindow> m_window;
};

}  // namespace UL
