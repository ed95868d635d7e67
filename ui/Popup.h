#pragma once
// Popup controls: an edit, a drop-down list or a spin edit put over a table cell to edit it. A popup
// runs in place (a child window over the cell that tells its listeners how it ended) or as a popup
// window with a loop of its own (DoModal). Enter commits, Esc cancels, losing activation cancels, a
// left click outside the popup commits and a right click outside cancels; the clicks outside are seen
// through the mouse hook that the hook manager keeps installed while a popup exists. A popup ends once.
//
// A table's cell editor makes the popup, adds itself as popup listener (and as the control's edit,
// combo-box or spin listener), sets a spin popup's kinds and range with Setup (DigitPositionFromStep gives
// the digit position of a column's step), calls CreateInPlace with the cell rectangle in the table
// control's client pixels and the table's layer control as parent, gives the control the keyboard
// (GetControl()->SetFocus()), and reads the result (GetText, GetSelectedId, GetValue) when told closed.
//
// Ownership: whoever makes a popup owns it (the table's cell editor); its windows belong to it alone. A
// popup asked to go from inside a handler of its own (a key, a notification, the mouse hook: its listeners
// run there) is hidden and leaves the hook at once, and goes when that handler has returned: the
// control's code further up the stack still finds its window. An owner that deletes a popup hands it to
// DeleteWhenIdle, which does the same for the object.
//
// A popup ends once. While its owner writes a change that the popup is still showing (KeepOpen: a table
// editor's immediate commit, whose model may show a message box), nothing ends it: the mouse hook lets
// every click through to the message box and losing activation cancels nothing.
#include "platform/window/Application.h"
#include "platform/window/MouseWatcher.h"
#include "platform/window/Window.h"
#include "ui/Controls.h"
#include "ui/InputInfo.h"
#include "ui/SpinEdit.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace UL {

// Mouse messages as the hook reports them.
enum : int {
    kMessageLeftButtonDown = 0x201,
    kMessageLeftButtonUp = 0x202,
    kMessageLeftButtonDoubleClick = 0x203,
    kMessageRightButtonDown = 0x204,
    kMessageRightButtonUp = 0x205,
    kMessageRightButtonDoubleClick = 0x206,
    kMessageMiddleButtonDown = 0x207,
    kMessageMiddleButtonUp = 0x208,
    kMessageMiddleButtonDoubleClick = 0x209,
    // Presses on a window's frame: its title bar, borders and close box.
    kMessageNonClientLeftButtonDown = 0xA1,
    kMessageNonClientRightButtonDown = 0xA4,
};
// The hook code of a message that is being handled.
enum : int { kHookAction = 0 };

// The message number of a watched mouse message.
int MouseMessageOf(const platform::WatchedMouse& mouse);

class IMouseHookHandler {
public:
    virtual ~IMouseHookHandler() = default;
    // True swallows the message: no later handler and no window sees it.
    virtual bool OnMouseHook(int code, int message, const platform::WatchedMouse* mouse);
};

// The process-wide owner of the mouse hook: installed while at least one handler is registered.
class CMouseHookManager {
public:
    static CMouseHookManager& GetInstance();
    void Register(IMouseHookHandler* handler);
    void Unregister(IMouseHookHandler* handler);
    bool IsRegistered(IMouseHookHandler* handler) const { return m_handlers.count(handler) != 0; }
    bool IsHookInstalled() const { return m_hook != nullptr; }
    size_t GetHandlerCount() const { return m_handlers.size(); }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool IsEnabled() const { return m_enabled; }
    // Asks the handlers in the set's order (by address); the first that answers true ends the round.
    // Handlers that leave during the round are not asked.
    bool HookProc(int code, int message, const platform::WatchedMouse& mouse);

private:
    CMouseHookManager() = default;
    std::set<IMouseHookHandler*> m_handlers;
    std::unique_ptr<platform::MouseHook> m_hook;
    bool m_enabled = true;
};

// The behaviour shared by the popups, over the control they are made of.
template <class T>
class CPopupImplementer : public T, public IMouseHookHandler {
public:
    template <class... Args>
    explicit CPopupImplementer(Args&&... args) : T(std::forward<Args>(args)...) {}
    ~CPopupImplementer() override;

    void AddPopupListener(IPopupEventListener* listener) { m_listeners.push_back(listener); }
    // Runs the popup form in a loop of its own over the parent (or the active window); true when it
    // ended with a commit.
    virtual bool DoModal(platform::Window* parent);
    // Makes the popup form at the rectangle (screen pixels) over the parent.
    virtual bool CreatePopup(const CRect& screenRect, platform::Window* parent) = 0;
    // Takes the result after the loop; false turns it into a cancel.
    virtual bool AcceptResult() = 0;

    // Hides the popup and leaves the hook at once; its window goes (once the handler of its own that
    // runs now has returned). The object stays.
    void DestroyWindow();
    bool HasEnded() const { return m_ended; }
    // Whether a handler of the popup's own runs now (further up the stack).
    bool IsHandling() const { return m_handling > 0; }
    // Deletes the popup now, or, while a handler of its own runs, hides it and deletes it once that
    // handler has returned.
    static void DeleteWhenIdle(std::unique_ptr<CPopupImplementer> popup);

    // Keeps the popup from ending while it lives (see above); the popup may be deleted meanwhile.
    class CKeepOpen {
    public:
        explicit CKeepOpen(CPopupImplementer& popup) : m_popup(&popup), m_alive(popup.m_alive) { ++popup.m_keptOpen; }
        ~CKeepOpen() {
            if (*m_alive) --m_popup->m_keptOpen;
        }
        CKeepOpen(const CKeepOpen&) = delete;
        CKeepOpen& operator=(const CKeepOpen&) = delete;

    private:
        CPopupImplementer* m_popup;
        std::shared_ptr<bool> m_alive;
    };
    bool IsKeptOpen() const { return m_keptOpen > 0; }
    // The window the control lives in: a child window over the cell, or the popup form.
    platform::Window* GetPopupWindow() const { return m_host.get(); }

    bool OnMouseHook(int code, int message, const platform::WatchedMouse* mouse) override;

protected:
    enum : int { kCommit = 1, kCancel = 2 };
    // Makes the window for the control: a child over the rectangle (in the parent's client pixels) or
    // a popup form at the rectangle (screen pixels). Registers with the hook manager first.
    platform::Window* MakeHost(platform::WindowKind kind, const CRect& rect, CParentRef parent);
    platform::Window* MakeHost(platform::WindowKind kind, const CRect& rect, platform::Window* owner);
    // Ends the popup once: leaves the hook, then ends the loop or tells the listeners.
    void End(int result);
    // While true, keys go to the control untouched (a drop-down list that is open).
    virtual bool PassesAllKeys() const { return false; }
    // Sizes the window to the control's contents.
    virtual void AutoSize() {}
    // Moves the window (a child window in its parent's client pixels, a popup form on the screen).
    void SetHostRect(const CRect& rect);
    bool OnControlKey(platform::Control& control, const platform::KeyInput& key) override;
    bool OnControlNotify(platform::Control& control, int code) override;
    bool OnControlMouse(platform::Control& control, const platform::MouseInput& input) override;
    void OnControlTimer(platform::Control& control, int id) override;

    CRect m_cellRect;

private:
    class CHost;
    // Marks a handler of the popup's own as running; the last to return carries out a destruction or a
    // deletion asked for meanwhile.
    class CHandling {
    public:
        explicit CHandling(CPopupImplementer& popup) : m_popup(&popup), m_alive(popup.m_alive) { ++popup.m_handling; }
        ~CHandling();
        CHandling(const CHandling&) = delete;
        CHandling& operator=(const CHandling&) = delete;

    private:
        CPopupImplementer* m_popup;
        std::shared_ptr<bool> m_alive;
    };
    // Destroys the windows at once.
    void DestroyNow();
    platform::Window* MakeHost(platform::WindowKind kind, const CRect& rect, platform::Window* owner,
                               platform::Control* hostControl);
    bool OnHostKey(const platform::KeyInput& key);
    void OnHostActivate(bool active);
    void OnHostResize();

    std::unique_ptr<CHost> m_host;
    std::vector<IPopupEventListener*> m_listeners;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_ended = false;
    bool m_modal = false;
    int m_handling = 0;
    int m_keptOpen = 0;
    bool m_destroyPending = false;
    bool m_deletePending = false;
};

class IPopupEdit {
public:
    virtual ~IPopupEdit() = default;
    // Edits the text in a popup form at the rectangle (screen pixels); the text comes back in the ANSI
    // code page whatever the outcome. With a text style, the popup uses its font. True when committed.
    virtual bool Edit(const CRect& screenRect, std::string& text, const std::string& initialText, int selectionStart,
                      int selectionEnd, const CTextInfo* textInfo) = 0;
};

class CPopupEdit : public CPopupImplementer<CEditA>, public IPopupEdit {
public:
    CPopupEdit() = default;
    // An edit over the cell showing the text (UTF-8), with the selection and a font (or the parent's).
    bool CreateInPlace(const CRect& rect, CParentRef parent, const std::string& text, int selectionStart,
                       int selectionEnd, const std::optional<platform::FontSpec>& font, int id);
    bool Edit(const CRect& screenRect, std::string& text, const std::string& initialText, int selectionStart,
              int selectionEnd, const CTextInfo* textInfo) override;
    bool CreatePopup(const CRect& screenRect, platform::Window* parent) override;
    bool AcceptResult() override;

protected:
    void AutoSize() override;

private:
    bool MakeEdit(platform::Window& host, int id);
    std::optional<platform::FontSpec> m_font;
};

class CPopupComboBox : public CPopupImplementer<CComboBoxA> {
public:
    CPopupComboBox() = default;
    // A drop-down list over the cell with the item of the selected id chosen.
    bool CreateInPlace(const CRect& rect, CParentRef parent, int selectedId, int id);
    bool CreatePopup(const CRect& screenRect, platform::Window* parent) override;
    bool AcceptResult() override;

protected:
    bool PassesAllKeys() const override;
    void AutoSize() override;

private:
    bool MakeCombo(platform::Window& host, int id);
};

class CPopupSpinEdit : public CPopupImplementer<CSpinEdit> {
public:
    CPopupSpinEdit() = default;
    // A right-aligned spin edit over the cell showing the value, with the selection (set the range,
    // digit position and kinds with Setup first).
    bool CreateInPlace(const CRect& rect, CParentRef parent, double value, int selectionStart, int selectionEnd,
                       int id);
    bool CreatePopup(const CRect& screenRect, platform::Window* parent) override;
    bool AcceptResult() override;
    void GetSelection(int& start, int& end) const {
        start = m_selectionStart;
        end = m_selectionEnd;
    }

protected:
    void AutoSize() override;

private:
    bool MakeSpin(platform::Window& host, int id);
    int m_selectionStart = 0;
    int m_selectionEnd = -1;
};

// --- The template's operations

template <class T>
class CPopupImplementer<T>::CHost : public platform::Window {
public:
    CHost(CPopupImplementer& popup, platform::WindowKind kind, platform::Window* owner)
        : platform::Window(kind, owner), m_popup(popup) {}
    CHost(CPopupImplementer& popup, platform::WindowKind kind, platform::Control& host)
        : platform::Window(kind, host), m_popup(popup) {}

protected:
    bool OnKey(const platform::KeyInput& key) override { return m_popup.OnHostKey(key); }
    void OnActivate(bool active) override { m_popup.OnHostActivate(active); }
    void OnResize(platform::Size) override { m_popup.OnHostResize(); }

private:
    CPopupImplementer& m_popup;
};

template <class T>
CPopupImplementer<T>::~CPopupImplementer() {
    *m_alive = false;
    DestroyNow();
}

template <class T>
CPopupImplementer<T>::CHandling::~CHandling() {
    if (!*m_alive || --m_popup->m_handling > 0) return;
    if (m_popup->m_deletePending) {
        delete m_popup;
    } else if (m_popup->m_destroyPending) {
        m_popup->DestroyNow();
    }
}

template <class T>
void CPopupImplementer<T>::DeleteWhenIdle(std::unique_ptr<CPopupImplementer> popup) {
    if (!popup) return;
    if (!popup->IsHandling()) return;  // deleted now, as the pointer goes
    popup->DestroyWindow();
    popup->m_deletePending = true;
    popup.release();  // the last of its handlers to return deletes it
}

template <class T>
platform::Window* CPopupImplementer<T>::MakeHost(platform::WindowKind kind, const CRect& rect, CParentRef parent) {
    platform::Control* host = kind == platform::WindowKind::Child ? parent.GetHostControl() : nullptr;
    return MakeHost(kind, rect, &parent.GetWindow(), host);
}

template <class T>
platform::Window* CPopupImplementer<T>::MakeHost(platform::WindowKind kind, const CRect& rect,
                                                 platform::Window* owner) {
    return MakeHost(kind, rect, owner, nullptr);
}

template <class T>
platform::Window* CPopupImplementer<T>::MakeHost(platform::WindowKind kind, const CRect& rect, platform::Window* owner,
                                                 platform::Control* hostControl) {
    DestroyNow();
    m_ended = false;
    CMouseHookManager::GetInstance().Register(this);
    if (hostControl != nullptr)
        m_host = std::make_unique<CHost>(*this, kind, *hostControl);
    else
        m_host = std::make_unique<CHost>(*this, kind, owner);
    if (!m_host->Exists()) {
        DestroyWindow();
        return nullptr;
    }
    m_cellRect = rect;
    m_host->SetGeometry(rect);
    return m_host.get();
}

template <class T>
void CPopupImplementer<T>::SetHostRect(const CRect& rect) {
    if (m_host) m_host->SetGeometry(rect);
}

template <class T>
void CPopupImplementer<T>::DestroyWindow() {
    if (!IsHandling()) {
        DestroyNow();
        return;
    }
    CMouseHookManager::GetInstance().Unregister(this);
    if (m_host) {
        m_host->Hide();
        m_destroyPending = true;
    }
}

template <class T>
void CPopupImplementer<T>::DestroyNow() {
    CMouseHookManager::GetInstance().Unregister(this);
    m_destroyPending = false;
    if (!m_host) return;
    m_host->Hide();
    T::DestroyWindow();
    m_host.reset();
}

template <class T>
void CPopupImplementer<T>::End(int result) {
    if (m_ended || IsKeptOpen()) return;
    // Once only, and out of the hook before anyone hears of it: a commit that shows a message box must
    // not be ended again by every click on that box.
    m_ended = true;
    CMouseHookManager::GetInstance().Unregister(this);
    if (m_modal) {
        if (m_host && m_host->IsInModalLoop()) m_host->EndModal(result);
        return;
    }
    const std::shared_ptr<bool> alive = m_alive;
    const CPopupEvent event(this);
    const std::vector<IPopupEventListener*> listeners = m_listeners;
    for (IPopupEventListener* listener : listeners) {
        if (result == kCommit)
            listener->OnPopupClosed(event);
        else
            listener->OnPopupCancelled(event);
        if (!*alive) return;  // a listener deleted the popup
    }
}

template <class T>
bool CPopupImplementer<T>::OnMouseHook(int code, int message, const platform::WatchedMouse* mouse) {
    if (code != kHookAction || mouse == nullptr || !m_host || IsKeptOpen()) return false;
    if (mouse->IsWithin(*m_host)) return false;  // the popup, its children and a combo box's open list
    const CHandling handling(*this);
    if (message == kMessageLeftButtonDown || message == kMessageNonClientLeftButtonDown) {
        End(kCommit);
        return true;
    }
    if (message == kMessageRightButtonDown || message == kMessageNonClientRightButtonDown) {
        End(kCancel);
        return true;
    }
    return false;
}

template <class T>
bool CPopupImplementer<T>::OnControlKey(platform::Control& control, const platform::KeyInput& key) {
    const CHandling handling(*this);
    if (&control == this->GetControl() && key.action == platform::KeyAction::Down && !PassesAllKeys()) {
        if (key.code == platform::kKeyEnter) {
            End(kCommit);
            return true;
        }
        if (key.code == platform::kKeyEscape) {
            End(kCancel);
            return true;
        }
        if (key.code == platform::kKeyTab) return true;  // the keyboard stays in the popup
    }
    return T::OnControlKey(control, key);
}

template <class T>
bool CPopupImplementer<T>::OnControlNotify(platform::Control& control, int code) {
    const CHandling handling(*this);
    const bool kept = T::OnControlNotify(control, code);
    if (&control == this->GetControl() && code == platform::kNotifyTextUpdated && m_host && !m_destroyPending)
        AutoSize();
    return kept;
}

template <class T>
bool CPopupImplementer<T>::OnControlMouse(platform::Control& control, const platform::MouseInput& input) {
    const CHandling handling(*this);
    return T::OnControlMouse(control, input);
}

template <class T>
void CPopupImplementer<T>::OnControlTimer(platform::Control& control, int id) {
    const CHandling handling(*this);
    T::OnControlTimer(control, id);
}

template <class T>
bool CPopupImplementer<T>::OnHostKey(const platform::KeyInput& key) {
    const CHandling handling(*this);
    // Keys the control leaves reach the popup's window, and go no further.
    if (key.action == platform::KeyAction::Down && !PassesAllKeys()) {
        if (key.code == platform::kKeyEnter) End(kCommit);
        if (key.code == platform::kKeyEscape) End(kCancel);
    }
    return true;
}

template <class T>
void CPopupImplementer<T>::OnHostActivate(bool active) {
    // Losing activation cancels, once the events waiting now are handled.
    if (!active && m_host && !m_ended && !m_destroyPending && !IsKeptOpen()) m_host->PostKeyDown(platform::kKeyEscape);
}

template <class T>
void CPopupImplementer<T>::OnHostResize() {
    if (m_host && this->GetControl() != nullptr) {
        const platform::Size size = m_host->ClientSize();
        this->GetControl()->SetRect(CRect{0, 0, size.width, size.height});
    }
}

template <class T>
bool CPopupImplementer<T>::DoModal(platform::Window* parent) {
    platform::Window* owner = parent != nullptr ? parent : platform::ActiveWindow();
    platform::Window* top = owner;
    while (top != nullptr && top->Kind() == platform::WindowKind::Child) top = top->Owner();
    if (owner != nullptr) owner->BringToTop();
    const bool disabledTop = top != nullptr && top->IsEnabled();
    if (disabledTop) top->Enable(false);
    m_modal = true;
    int result = -1;
    try {
        if (CreatePopup(m_cellRect, owner) && m_host) {
            if (this->GetControl() != nullptr) this->GetControl()->SetFocus();
            result = m_host->RunLoop();
            if (m_host) m_host->Hide();
        }
        if (!AcceptResult()) result = -1;
    } catch (...) {
        result = -1;
    }
    m_modal = false;
    if (disabledTop) top->Enable(true);
    if (owner != nullptr && m_host && m_host->IsActive()) owner->Activate();
    DestroyWindow();
    return result == kCommit;
}

}  // namespace UL
