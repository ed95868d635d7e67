#pragma once
// Windows and dialogs of the layer: every message reaches a virtual handler of the Window object.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Input.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace platform {

class Control;
class DrawContext;
struct DialogTemplate;
enum class CursorShape;

// Command ids that a dialog's Enter and Esc keys (and its close box) send.
enum : int { kCommandOk = 1, kCommandCancel = 2 };

enum class WindowKind {
    Main,    // a top-level window of its own
    Dialog,  // a top-level window over its owner; Enter, Esc and the close box become commands
};

class Window {
public:
    explicit Window(WindowKind kind = WindowKind::Main, Window* owner = nullptr);
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
    void Hide();
    bool IsVisible() const;
    void Enable(bool enabled);
    bool IsEnabled() const;

    // Client area in screen pixels, and its size.
    Rect ClientScreenRect() const;
    Size ClientSize() const;
    void SetClientSize(Size size);
    void SetMinimumClientSize(Size size);
    void MoveTo(Point topLeft);
    void CentreOnOwner();
    void BringToTop();
    void Activate();
    bool IsActive() const;
    bool IsMinimised() const;
    bool IsMaximised() const;
    void Restore();
    void Maximise();

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

    // Runs a loop until EndModal; the window is shown application-modal and hidden afterwards.
    // Answers EndModal's result.
    int RunModal();
    void EndModal(int result);
    bool IsInModalLoop() const { return m_modalDepth > 0; }

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
    // Makes the controls of a dialog template and sizes the client area to it.
    void BuildFromTemplate(const DialogTemplate& dialogTemplate);
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
    void DispatchResize(Size size) { OnResize(size); }
    bool DispatchClose();
    void DispatchCommand(int id) { OnCommand(id); }
    void DispatchFocus(bool gained) { OnFocusChanged(gained); }
    void DispatchActivate(bool active) { OnActivate(active); }

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
    virtual void OnActivate(bool active);

private:
    void AdoptControl(std::unique_ptr<Control> control);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    WindowKind m_kind;
    Window* m_owner;
    int m_modalDepth = 0;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::map<int, int> m_timers;  // our id -> toolkit id
};

}  // namespace platform
