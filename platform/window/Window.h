#pragma once
// Windows and dialogs of the layer: every message reaches a virtual handler of the Window object.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Image.h"
#include "platform/window/Input.h"
#include "platform/window/Resources.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace platform {

class Control;
class DrawContext;
class MenuBar;
struct DialogItem;
struct DialogTemplate;
struct MenuTemplate;
enum class CursorShape;

// Command ids that a dialog's Enter and Esc keys (and its close box) send.
enum : int { kCommandOk = 1, kCommandCancel = 2 };

enum class WindowKind {
    Main,    // a top-level window of its own
    Dialog,  // a top-level window over its owner; Enter, Esc and the close box become commands
    Child,   // a window inside its owner's client area (or inside a control): a form view, an in-place editor
    Popup,   // a top-level window without a frame over its owner: a popup editor, a slider under the mouse
};

class Window {
public:
    explicit Window(WindowKind kind = WindowKind::Main, Window* owner = nullptr);
    // A child window inside the control's client area, or a popup over the control's window.
    Window(WindowKind kind, Control& host);
    // The toolkit window goes with the object; one still handling an event is hidden at once and
    // deleted when the loop runs again, so a window may be destroyed from inside its own handlers.
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowKind Kind() const { return m_kind; }
    Window* Owner() const { return m_owner; }
    // False once the toolkit destroyed the window under this object (its owner went first).
    bool Exists() const;

    void SetTitle(const std::string& utf8);
    std::string Title() const;

    void Show();
    // Shows the window without taking the keyboard from the active window (a slider under the mouse).
    void ShowWithoutActivating();
    void Hide();
    bool IsVisible() const;
    // Enabled again, the window gives the keyboard back to the control that held it when it was disabled.
    void Enable(bool enabled);
    bool IsEnabled() const;

    // Client area in screen pixels, and its size (without the scroll bars that SetScrollSize shows and
    // the menu bar that SetMenu puts across the top).
    Rect ClientScreenRect() const;
    Size ClientSize() const;
    void SetClientSize(Size size);
    void SetMinimumClientSize(Size size);
    Size MinimumClientSize() const;
    // Fixes the client size (a dialog that cannot be resized), or frees it again with an empty size.
    void SetFixedClientSize(Size size);
    void MoveTo(Point topLeft);
    // The client area: in the parent's client pixels for a child window (below the parent's menu bar),
    // in screen pixels otherwise.
    void SetGeometry(const Rect& area);
    Rect Geometry() const;
    // A top-level window's placement: the top-left of its frame and the size of its client area, in
    // screen pixels. What it reads, SetPlacementRect restores exactly, whatever frame the desktop draws.
    Rect PlacementRect() const;
    void SetPlacementRect(const Rect& placement);
    // The placement the window has when it is neither maximised nor minimised; setting it while the
    // window is maximised keeps it for restoring.
    Rect NormalPlacementRect() const;
    void SetNormalPlacementRect(const Rect& placement);
    // What the desktop's frame (title bar and borders) adds to the placement's size: as last seen once
    // the window manager has framed the window; before that, what the window manager announces it will
    // add; none without a window manager.
    Size FrameExtent() const;
    Point ClientToScreen(Point clientPoint) const;
    Point ScreenToClient(Point screenPoint) const;
    void CentreOnOwner();
    void BringToTop();
    void Activate();
    bool IsActive() const;
    bool IsMinimised() const;
    bool IsMaximised() const;
    void Restore();
    // A hidden window is maximised when it is shown.
    void Maximise();
    void Minimise();

    void Invalidate();
    void Invalidate(const Rect& area);
    // Paints what is invalid now, without waiting for the loop.
    void UpdateNow();

    void SetFocus();
    bool HasFocus() const;
    void CaptureMouse();
    void ReleaseMouse();
    void SetCursorShape(CursorShape shape);
    void SetFont(const FontSpec& font);
    FontSpec Font() const;
    // The picture the desktop shows for the window (title bar, task bar).
    void SetIcon(const Image& icon);
    Image Icon() const;

    // A window larger inside than its client area: scroll bars appear while the client area is smaller
    // than the total size, and scrolling moves the controls (as the layout subtracts ScrollPosition).
    // An empty size removes the scroll bars.
    void SetScrollSize(Size total);
    Size ScrollSize() const;
    Point ScrollPosition() const;
    void SetScrollPosition(Point position);

    // A menu bar across the top of a top-level window, made from the template (replacing any); null
    // removes it. A window with a menu bar holds its content in child windows: its client area starts
    // below the bar, and child windows are placed in client pixels. Items reach OnMenuCommand.
    void SetMenu(const MenuTemplate* menu);
    MenuBar* Menu() const;
    // Keys of the table pressed anywhere in this top-level window reach OnMenuCommand as commands,
    // before the control with the focus sees them, unless that control claims the key for itself (a
    // text edit keeps Ctrl+A); not while the window is disabled. Null removes the table.
    void SetAccelerators(const AcceleratorTable* table);
    const AcceleratorTable* Accelerators() const;

    // Files dropped from a file manager reach OnDropFiles.
    void AcceptDroppedFiles(bool accept);
    // Queues a key press (a library key code) for the window, handled once the loop runs again, as
    // if the user had pressed it in the window.
    void PostKeyDown(int code);

    // Runs a loop until EndModal; the window is shown application-modal and hidden afterwards.
    // Answers EndModal's result.
    int RunModal();
    // The same loop, but no other window is blocked: the caller disables what must wait (a popup
    // editor's loop, which still has to see clicks on the windows around it).
    int RunLoop();
    void EndModal(int result);
    bool IsInModalLoop() const { return m_modalDepth > 0; }
    // The window whose loop (RunModal, RunLoop) runs innermost now, or null.
    static Window* InnermostLoop();

    // A repeating timer of this window; OnTimer(id) at each interval. Starting an id again restarts it.
    bool StartTimer(int id, int intervalMs);
    bool StopTimer(int id);
    bool HasTimer(int id) const;

    // Controls made inside this window; the window owns them.
    template <class T, class... Args>
    T& AddControl(Args&&... args) {
        auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *control;
        AdoptControl(std::move(control));
        return ref;
    }
    // The control with that id, or null.
    Control* FindControl(int id) const;
    // The window's controls in the order they were made.
    std::vector<Control*> Controls() const;
    // Destroys a control of this window before the window goes.
    void DestroyControl(Control& control);
    // Makes the controls of a dialog template and sizes the client area to it (a top-level window that
    // the template does not make resizable gets that size fixed).
    void BuildFromTemplate(const DialogTemplate& dialogTemplate);
    // Moves and sizes several controls at once: the window shows only the end result.
    void MoveControls(const std::vector<std::pair<int, Rect>>& moves);
    // Dialog units of the window's font, in pixels.
    Rect DialogUnitsToPixels(const Rect& units) const;

    // The window's own widget: for the layer and for tests that look at real windows.
    QWidget* Widget() const;
    static Window* FromWidget(const QWidget* widget);

    // Called by the toolkit bridge; the public face of the handlers below.
    void DispatchPaint(DrawContext& dc) { OnPaint(dc); }
    void DispatchMouse(const MouseInput& input) { OnMouse(input); }
    bool DispatchKey(const KeyInput& input);
    void DispatchTimer(int toolkitTimerId);
    void DispatchResize();
    bool DispatchClose();
    void DispatchCommand(int id) { OnCommand(id); }
    void DispatchFocus(bool gained) { OnFocusChanged(gained); }
    void DispatchActivate(bool active) { OnActivate(active); }
    void DispatchControlNotify(int id, int code) { OnControlNotify(id, code); }
    long DispatchNotify(int id, int code, void* data) { return OnNotify(id, code, data); }
    void DispatchDropFiles(const std::vector<std::string>& paths) { OnDropFiles(paths); }
    void DispatchMenuCommand(int id, bool fromAccelerator) { OnMenuCommand(id, fromAccelerator); }
    void DispatchMenuPopup(const std::vector<int>& itemIds) { OnMenuPopup(itemIds); }
    void DispatchIdle() { OnIdle(); }

protected:
    virtual void OnPaint(DrawContext& dc);
    virtual void OnMouse(const MouseInput& input);
    // True when the key was used; a dialog turns unused Enter and Esc into commands.
    virtual bool OnKey(const KeyInput& input);
    virtual void OnTimer(int id);
    virtual void OnResize(Size clientSize);
    // True lets the window close. A dialog's default sends the Cancel command and stays.
    virtual bool OnClose();
    // Buttons, and a dialog's Enter (kCommandOk) and Esc (kCommandCancel).
    virtual void OnCommand(int id);
    virtual void OnFocusChanged(bool gained);
    // A top-level window became active or inactive; a child window hears it when its top-level does.
    virtual void OnActivate(bool active);
    // A control's notification (Controls.h); the default turns kNotifyClicked into OnCommand(id).
    virtual void OnControlNotify(int id, int code);
    // A control's question with data of its own (Control::SendNotify); the default answers 0.
    virtual long OnNotify(int id, int code, void* data);
    // Paths of the files dropped on the window (AcceptDroppedFiles), in the order the drop lists them.
    virtual void OnDropFiles(const std::vector<std::string>& paths);
    // A menu item was chosen, or an accelerator pressed; the default calls OnCommand(id).
    virtual void OnMenuCommand(int id, bool fromAccelerator);
    // A popup of the menu bar is about to open with these command items: time to update them.
    virtual void OnMenuPopup(const std::vector<int>& itemIds);
    // The loop this window runs (RunModal, RunLoop) has handled everything that waited.
    virtual void OnIdle();

private:
    void Create(QWidget* parent);
    Control* MakeTemplateControl(const DialogItem& item);
    void AdoptControl(std::unique_ptr<Control> control);
    void UpdateScrollBars();
    void ScrollControlsBy(int dx, int dy);
    // Pixels the menu bar takes at the top, 0 without one.
    int MenuHeight() const;
    // Where the client area of a child window's parent starts inside the parent's widget.
    int ParentClientTop() const;
    void PlaceMenuBar();

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    WindowKind m_kind;
    Window* m_owner;
    int m_modalDepth = 0;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::map<int, int> m_timers;  // our id -> toolkit id
    std::unique_ptr<MenuBar> m_menu;
    std::unique_ptr<AcceleratorTable> m_accelerators;
};

}  // namespace platform
