#pragma once
// Child controls of a Window: static texts, buttons, progress bars, pictures and size grips (edits, combo
// boxes and sliders are in TextControls.h and Slider.h). Every control tells its parent window what
// happens to it through OnControlNotify, and a higher layer can take over its input, its notifications
// and its painting through ControlHooks.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Image.h"
#include "platform/window/Input.h"

#include <memory>
#include <string>

class QWidget;

namespace platform {

class Control;
class DrawContext;
class Window;

// What a control tells its parent (Window::OnControlNotify) and its hooks. Codes from 0x100 up are free
// for controls of higher layers (Control::Notify passes them on unchanged).
enum ControlNotification : int {
    kNotifyClicked = 1,           // a button was clicked (also each click of a double click)
    kNotifyTextUpdated = 2,       // an edit's text changed, before it is shown
    kNotifyTextChanged = 3,       // an edit's text changed, after it is shown
    kNotifyFocusGained = 4,       // the control took the keyboard focus
    kNotifyFocusLost = 5,         // the control lost the keyboard focus
    kNotifySelectionChanged = 6,  // the user chose another item of a combo box
    kNotifyDroppedDown = 7,       // a combo box's list is about to open
    kNotifyClosedUp = 8,          // a combo box's list closed
    // A slider's scroll codes, in the trackbar's order: line and page towards the start (left or top)
    // and the end, the thumb dropped, the thumb dragged, jumps to the start and the end, and the end of
    // a scroll action (the mouse released, a key let go).
    kNotifyScrollLineUp = 0x20,
    kNotifyScrollLineDown = 0x21,
    kNotifyScrollPageUp = 0x22,
    kNotifyScrollPageDown = 0x23,
    kNotifyScrollThumbPosition = 0x24,
    kNotifyScrollThumbTrack = 0x25,
    kNotifyScrollTop = 0x26,
    kNotifyScrollBottom = 0x27,
    kNotifyScrollEnd = 0x28,
};

// How an owner-drawn control is to look.
struct ItemState {
    bool selected = false;  // pressed (a button held down)
    bool focused = false;
    bool disabled = false;
    bool checked = false;
};

// First look at a control's input, notifications and painting, for a control object of a higher layer
// (the user-interface library's buttons, edits and spin edits). A control has at most one.
class ControlHooks {
public:
    virtual ~ControlHooks() = default;
    // True when used: the control itself and its window do not see the key (a dialog then does not turn
    // Enter into OK).
    virtual bool OnControlKey(Control&, const KeyInput&) { return false; }
    // Points in the control's client pixels; true when used.
    virtual bool OnControlMouse(Control&, const MouseInput&) { return false; }
    // Seen before the parent's OnControlNotify; true keeps the notification from the parent.
    virtual bool OnControlNotify(Control&, int) { return false; }
    // Owner drawing: true when the hooks painted the control, false lets the toolkit draw it.
    virtual bool OnControlPaint(Control&, DrawContext&, const ItemState&) { return false; }
    virtual void OnControlTimer(Control&, int) {}
    virtual void OnControlResized(Control&, Size) {}
    // The control goes (its window is being destroyed): forget it.
    virtual void OnControlDestroyed(Control&) {}
};

class Control {
public:
    Control(Window& parent, int id);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int Id() const { return m_id; }
    Window& Parent() const { return m_parent; }

    virtual void SetText(const std::string& utf8);
    virtual std::string Text() const;
    // In the parent's client pixels (the host control's, after PlaceInside).
    void SetRect(const Rect& clientPixels);
    Rect GetRect() const;
    Rect ScreenRect() const;
    Point ClientToScreen(Point clientPoint) const;
    Point ScreenToClient(Point screenPoint) const;
    void Show(bool visible);
    bool IsVisible() const;  // shown by its own flag (the window itself may be hidden)
    void Enable(bool enabled);
    bool IsEnabled() const;
    void SetFont(const FontSpec& font);
    FontSpec Font() const;
    void SetFocus();
    bool HasFocus() const;
    // The control or a window inside it (an in-place editor) has the keyboard of its top-level window:
    // has it now, or gets it when that window is active again (the desktop may not have made it the
    // active one, while its keys still arrive).
    bool HasFocusWithin() const;
    // Whether a click or Tab gives the control the keyboard (a spin edit's button never takes it).
    void SetFocusable(bool focusable);
    void Invalidate();
    void UpdateNow();

    // Moves the control into another control of the same window (a spin edit's button inside its
    // edit); its rectangle is then in the host's client pixels and it moves with the host.
    void PlaceInside(Control& host);

    void SetHooks(ControlHooks* hooks) { m_hooks = hooks; }
    // Tells the hooks that the control goes and forgets them; its window calls it while the whole
    // control still exists, before destroying it.
    void DetachHooks();
    ControlHooks* Hooks() const { return m_hooks; }
    // Tells the hooks and then, unless they keep it, the parent window's OnControlNotify.
    void Notify(int code);
    // Asks the parent window (Window::OnNotify) and answers what it answers.
    long SendNotify(int code, void* data);

    // All mouse input goes to this control until released.
    void CaptureMouse();
    void ReleaseMouse();
    bool HasMouseCapture() const;
    // Hands the control a mouse message as if it came from the mouse, past the hooks (a slider given
    // the press that starts a drag, the right button turned into the left).
    void SendMouse(const MouseInput& input);

    // Timers of the control: ControlHooks::OnControlTimer(id) at each interval.
    bool StartTimer(int id, int intervalMs);
    bool StopTimer(int id);
    bool HasTimer(int id) const;

    QWidget* Widget() const;
    // Where windows inside this control go (a table's in-place editors): its widget, or, for a
    // control that scrolls its contents, the scrolled area.
    virtual QWidget* ClientWidget() const;
    static Control* FromWidget(const QWidget* widget);

protected:
    // The control's widget, made by the derived class; the control watches its events from now on.
    void Attach(QWidget* widget);
    // What the hooks see as the state of an owner-drawn control.
    virtual ItemState CurrentItemState() const;

private:
    friend class ControlEventFilter;
    Window& m_parent;
    int m_id;
    ControlHooks* m_hooks = nullptr;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Text alignment and wrapping words for DrawContext::DrawText and Label.
enum TextFormat : int {
    kTextLeft = 0,
    kTextCentre = 1,
    kTextRight = 2,
    kTextTop = 0,
    kTextVCentre = 4,
    kTextBottom = 8,
    kTextWordWrap = 0x10,
    kTextSingleLine = 0x20,
    kTextNoPrefix = 0x800,
};

class Label : public Control {
public:
    Label(Window& parent, int id, const std::string& text, int format = kTextLeft | kTextWordWrap | kTextNoPrefix);
};

// The looks of a button.
enum class ButtonStyle {
    Push,         // a push button
    DefaultPush,  // the dialog's default push button
    CheckBox,     // a box with a check mark; a click checks or clears it
    PushLike,     // a push button that stays down while checked; a click checks or clears it
    OwnerDrawn,   // drawn by the hooks; a click changes nothing of its own
};

class PushButton : public Control {
public:
    // A click notifies kNotifyClicked, which a window that does not handle it turns into OnCommand(id).
    PushButton(Window& parent, int id, const std::string& text, bool isDefault = false);
    PushButton(Window& parent, int id, const std::string& text, ButtonStyle style);
    void Click();
    void SetStyle(ButtonStyle style);
    ButtonStyle Style() const { return m_style; }
    void SetChecked(bool checked);
    bool IsChecked() const;
    bool IsPressed() const;

protected:
    ItemState CurrentItemState() const override;

private:
    ButtonStyle m_style;
};

class ProgressBar : public Control {
public:
    ProgressBar(Window& parent, int id);
    void SetRange(int maximum);  // from 0
    int Range() const;
    void SetPosition(int position);
    int Position() const;
};

class PictureView : public Control {
public:
    PictureView(Window& parent, int id);
    void SetImage(const Image& image);  // premultiplied when it has alpha
    bool HasImage() const;
};

// The corner box that resizes a resizable top-level window when dragged.
class SizeGrip : public Control {
public:
    SizeGrip(Window& parent, int id);
    // Its natural size.
    Size PreferredSize() const;
};

}  // namespace platform
