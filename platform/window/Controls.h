#pragma once
// Child controls of a Window: static texts, push buttons, progress bars and pictures.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Image.h"

#include <memory>
#include <string>

class QWidget;

namespace platform {

class Window;

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
    void SetRect(const Rect& clientPixels);
    Rect GetRect() const;
    void Show(bool visible);
    bool IsVisible() const;  // shown by its own flag (the window itself may be hidden)
    void Enable(bool enabled);
    bool IsEnabled() const;
    void SetFont(const FontSpec& font);
    void SetFocus();

    QWidget* Widget() const;

protected:
    void Attach(QWidget* widget);  // the control's widget, made by the derived class

private:
    Window& m_parent;
    int m_id;
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

class PushButton : public Control {
public:
    // A click sends the button's id to the parent's OnCommand.
    PushButton(Window& parent, int id, const std::string& text, bool isDefault = false);
    void Click();
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

}  // namespace platform
