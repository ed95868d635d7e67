#pragma once
// The library's buttons, static texts, edits and combo boxes: each keeps its state (text, checked and
// enabled state, style, items) in its own object, so that the state can be set before the control's
// window exists; it is pushed into the window when the object takes over a dialog's control
// (SubclassDlgItem) or makes one (Create). Events go to listeners (ControlEvents.h).
#include "general_tools/Enumerations.h"
#include "platform/window/Controls.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "ui/ControlEvents.h"
#include "ui/Picture.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace UL {

// Texts given in or asked for: 1 UTF-8, 0 the ANSI code page.
enum : int { kEncodingAnsi = 0, kEncodingUtf8 = 1 };

// Where a control or a popup is made: in a window, or in the client area of a control (a table).
class CParentRef {
public:
    CParentRef(platform::Window& window) : m_window(&window) {}
    CParentRef(platform::Control& control) : m_control(&control) {}
    // The window that owns what is made there.
    platform::Window& GetWindow() const { return m_window != nullptr ? *m_window : m_control->Parent(); }
    platform::Control* GetHostControl() const { return m_control; }

private:
    platform::Window* m_window = nullptr;
    platform::Control* m_control = nullptr;
};

// A text style shared between buttons and static texts. Colours are three 16-bit components of which
// only the high byte is drawn (white is 0xFF00 each).
class CTextInfo {
public:
    struct CColour {
        uint16_t red = 0;
        uint16_t green = 0;
        uint16_t blue = 0;
    };
    CTextInfo(const std::string& face, int height, CColour textColour, CColour backColour, bool vertical,
              int horizontalAlignment, int verticalAlignment, int backgroundMode);

    const std::string& GetFace() const { return m_face; }  // at most 31 characters
    int GetHeight() const { return m_height; }
    CColour GetTextColour() const { return m_textColour; }
    CColour GetBackColour() const { return m_backColour; }
    bool IsVertical() const { return m_vertical; }
    int GetHorizontalAlignment() const { return m_horizontalAlignment; }  // 0 left, 1 centre, 2 right
    int GetVerticalAlignment() const { return m_verticalAlignment; }      // 0 top, 1 centre, 2 bottom
    int GetBackgroundMode() const { return m_backgroundMode; }            // 0 opaque, 1 transparent

private:
    std::string m_face;
    int m_height;
    CColour m_textColour;
    CColour m_backColour;
    bool m_vertical;
    int m_horizontalAlignment;
    int m_verticalAlignment;
    int m_backgroundMode;
};

// What a text style draws with.
struct CTextDrawing {
    std::optional<platform::FontSpec> font;  // none: the drawing context's own font
    platform::Colour textColour;
    platform::Colour backColour;
    int format = 0x824;       // text format word (DrawContext::DrawText)
    int backgroundMode = -1;  // 0 opaque, 1 transparent, -1 leave the context's mode
};
CTextDrawing MakeTextDrawing(const CTextInfo& info);

// A control of the library over a control of the window layer. The object may exist without the
// control, takes over a dialog's control or makes its own, and forgets the control when its window
// destroys it.
class CControlBase : protected platform::ControlHooks {
public:
    CControlBase() = default;
    ~CControlBase() override;
    CControlBase(const CControlBase&) = delete;
    CControlBase& operator=(const CControlBase&) = delete;

    bool HasWindow() const { return m_control != nullptr; }
    platform::Control* GetControl() const { return m_control; }
    int GetDlgCtrlID() const;
    // Takes over the control with that id of the window; false when there is none, or one of another
    // kind.
    bool SubclassDlgItem(int id, platform::Window& parent);
    // Destroys the control (the object stays, with its state).
    void DestroyWindow();

protected:
    virtual bool IsRightKind(const platform::Control& control) const = 0;
    // After a control was taken over (not made by this object).
    virtual void PreSubclassWindow() {}
    // Takes over a control that this object has just made.
    void AttachCreated(platform::Control& control);
    // Makes this object's control in the parent (inside its host control, when it has one) at the
    // rectangle, and takes it over; the creating flag is set meanwhile.
    template <class TControl, class... Args>
    TControl& MakeControl(const CRect& rect, CParentRef parent, int id, Args&&... args) {
        DestroyWindow();
        m_creating = true;
        auto& control = parent.GetWindow().template AddControl<TControl>(id, std::forward<Args>(args)...);
        if (parent.GetHostControl() != nullptr) control.PlaceInside(*parent.GetHostControl());
        control.SetRect(rect);
        AttachCreated(control);
        m_creating = false;
        return control;
    }
    void OnControlDestroyed(platform::Control& control) override;
    bool IsCreating() const { return m_creating; }
    // Where the window exists and is not being made: state is pushed into it.
    bool CanPush() const { return m_control != nullptr && !m_creating; }

    platform::Control* m_control = nullptr;

private:
    void Bind(platform::Control& control);
    bool m_creating = false;
};

// The state of a button, usable without a window.
class AButton {
public:
    virtual ~AButton() = default;
    virtual void Setup(bool toggle, boost::shared_ptr<CStatePicture> picture, const std::string& text,
                       boost::shared_ptr<CTextInfo> textInfo);
    virtual void SetText(const std::string& ansiText) { m_text = ansiText; }
    virtual std::string GetText() const { return m_text; }
    virtual void SetTextInfo(boost::shared_ptr<CTextInfo> textInfo) { m_textInfo = std::move(textInfo); }
    virtual boost::shared_ptr<CTextInfo> GetTextInfo() const { return m_textInfo; }
    virtual void SetChecked(bool checked) { m_checked = checked; }
    virtual bool IsChecked() const { return m_checked; }
    virtual void SetEnabled(bool enabled) { m_enabled = enabled; }
    virtual bool IsEnabled() const { return m_enabled; }

    void AddListener(IButtonEventListener* listener) { m_listeners.push_back(listener); }
    bool IsToggle() const { return m_toggle; }
    const boost::shared_ptr<CStatePicture>& GetStatePicture() const { return m_picture; }

protected:
    bool m_toggle = false;
    boost::shared_ptr<CStatePicture> m_picture;
    std::string m_text;  // ANSI code page
    boost::shared_ptr<CTextInfo> m_textInfo;
    bool m_checked = false;
    bool m_enabled = true;
    std::vector<IButtonEventListener*> m_listeners;
};

// The picture-strip state a button shows.
int ButtonStateIndex(bool enabled, bool toggle, bool checked, bool selected, bool focused);

// Button style bits (kBs... of DialogTemplate.h) after Setup, given the style before it.
uint32_t ButtonStyleAfterSetup(uint32_t style, bool withPicture, bool toggle);

class CButtonA : public CControlBase, public AButton {
public:
    CButtonA() = default;

    // Makes a button in the parent with the style bits of a dialog template (kBs...).
    bool Create(const std::string& ansiText, uint32_t style, const CRect& rect, CParentRef parent, int id);

    void Setup(bool toggle, boost::shared_ptr<CStatePicture> picture, const std::string& text,
               boost::shared_ptr<CTextInfo> textInfo) override;
    void SetText(const std::string& ansiText) override;
    void SetTextInfo(boost::shared_ptr<CTextInfo> textInfo) override;
    void SetChecked(bool checked) override;
    void SetEnabled(bool enabled) override;

    uint32_t GetButtonStyle() const;
    const CTextDrawing& GetTextDrawing() const { return m_drawing; }
    // The state the button draws now (ButtonStateIndex).
    int GetDrawnState() const;

protected:
    bool IsRightKind(const platform::Control& control) const override;
    void PreSubclassWindow() override;
    bool OnControlNotify(platform::Control& control, int code) override;
    bool OnControlPaint(platform::Control& control, platform::DrawContext& dc,
                        const platform::ItemState& state) override;

private:
    platform::PushButton* Button() const { return static_cast<platform::PushButton*>(m_control); }
    void SetButtonStyle(uint32_t style);
    void FireClicked();

    CTextDrawing m_drawing;
};

// The state of a static text, usable without a window.
class AStatic {
public:
    virtual ~AStatic() = default;
    virtual void Setup(boost::shared_ptr<APicture> picture, const std::string& text,
                       boost::shared_ptr<CTextInfo> textInfo);
    // Stores the text (UTF-8) only.
    virtual void SetText(const std::string& utf8) { m_text = utf8; }
    virtual std::string GetText() const { return m_text; }
    virtual void SetTextInfo(boost::shared_ptr<CTextInfo> textInfo) { m_textInfo = std::move(textInfo); }
    virtual boost::shared_ptr<CTextInfo> GetTextInfo() const { return m_textInfo; }
    virtual void SetEnabled(bool enabled) { m_enabled = enabled; }
    virtual bool IsEnabled() const { return m_enabled; }

    const boost::shared_ptr<APicture>& GetPicture() const { return m_picture; }

protected:
    boost::shared_ptr<APicture> m_picture;
    std::string m_text;  // UTF-8
    boost::shared_ptr<CTextInfo> m_textInfo;
    bool m_enabled = true;
};

class CStaticA : public CControlBase, public AStatic {
public:
    CStaticA();

    bool Create(const std::string& utf8Text, uint32_t style, const CRect& rect, CParentRef parent, int id);

    void Setup(boost::shared_ptr<APicture> picture, const std::string& text,
               boost::shared_ptr<CTextInfo> textInfo) override;
    void SetTextInfo(boost::shared_ptr<CTextInfo> textInfo) override;
    void SetEnabled(bool enabled) override;
    using AStatic::GetText;
    using AStatic::SetText;
    // The text in the encoding asked for (kEncodingUtf8 or kEncodingAnsi); setting it repaints.
    virtual std::string GetText(int encoding) const;
    virtual void SetText(const std::string& text, int encoding);

    bool IsOwnerDrawn() const { return m_ownerDrawn; }
    const CTextDrawing& GetTextDrawing() const { return m_drawing; }

protected:
    bool IsRightKind(const platform::Control& control) const override;
    void PreSubclassWindow() override;
    bool OnControlPaint(platform::Control& control, platform::DrawContext& dc,
                        const platform::ItemState& state) override;

private:
    void PushText();
    CTextDrawing m_drawing;
    bool m_ownerDrawn = false;
};

class CEditA : public CControlBase {
public:
    CEditA() = default;

    // Makes an edit in the parent with edit style bits (kEs...).
    bool Create(uint32_t style, const CRect& rect, CParentRef parent, int id);

    // encoding 0: the text is in the ANSI code page and stored as UTF-8; any other value: UTF-8.
    void SetText(const std::string& text, int encoding);
    // kEncodingUtf8: as stored; kEncodingAnsi: converted to the ANSI code page.
    std::string GetText(int encoding) const;
    void AddListener(IEditEventListener* listener) { m_listeners.push_back(listener); }
    // The selection last seen in the window, restored when a window is made or taken over.
    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;

    platform::Edit* GetEdit() const { return static_cast<platform::Edit*>(m_control); }

protected:
    bool IsRightKind(const platform::Control& control) const override;
    void PreSubclassWindow() override;
    bool OnControlNotify(platform::Control& control, int code) override;
    void OnControlDestroyed(platform::Control& control) override;
    // Pushes the text and the selection into the window.
    void PushState();
    void RememberSelection();

    std::vector<IEditEventListener*> m_listeners;
    std::string m_text;  // UTF-8
    int m_selStart = 0;
    int m_selEnd = -1;
};

class CComboBoxA : public CControlBase {
public:
    using CItem = std::pair<int, std::string>;

    CComboBoxA() = default;

    bool Create(uint32_t style, const CRect& rect, CParentRef parent, int id);

    // The items become the pairs (and the default pair {-1, ""}); ids are the owner's.
    void SetItems(const std::vector<CItem>& items);
    // The items become the texts, with their positions 0, 1, 2, ... as ids.
    void SetItems(const std::vector<std::string>& texts);
    // Any index outside the items gives the default pair {-1, ""}.
    CItem GetItem(int index) const;
    int GetItemCount() const { return m_items.GetRealPairCount(); }
    void SetSelectedId(int id);
    int GetSelectedId() const { return m_selectedId; }
    void AddListener(IComboBoxEventListener* listener) { m_listeners.push_back(listener); }

    platform::ComboBox* GetComboBox() const { return static_cast<platform::ComboBox*>(m_control); }

protected:
    bool IsRightKind(const platform::Control& control) const override;
    void PreSubclassWindow() override;
    bool OnControlNotify(platform::Control& control, int code) override;
    // Fills the list and selects the selected id's item.
    void PushState();
    void Fire(int kind);

    GT::CStringTable m_items;
    int m_selectedId = -1;
    std::vector<IComboBoxEventListener*> m_listeners;
};

// Converting texts between the ANSI code page and UTF-8.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace UL
