#include "platform/window/Controls.h"

#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace platform {

struct Control::Impl {
    QPointer<QWidget> widget;
    bool shown = true;
};

Control::Control(Window& parent, int id) : m_parent(parent), m_id(id), m_impl(std::make_unique<Impl>()) {}

Control::~Control() {
    if (m_impl->widget) delete m_impl->widget.data();
}

void Control::Attach(QWidget* widget) {
    m_impl->widget = widget;
    widget->show();
}

QWidget* Control::Widget() const { return m_impl->widget.data(); }

void Control::SetText(const std::string& utf8) {
    if (auto* label = qobject_cast<QLabel*>(Widget()))
        label->setText(ToQString(utf8));
    else if (auto* button = qobject_cast<QPushButton*>(Widget()))
        button->setText(ToQString(utf8));
}

std::string Control::Text() const {
    if (auto* label = qobject_cast<QLabel*>(Widget())) return FromQString(label->text());
    if (auto* button = qobject_cast<QPushButton*>(Widget())) return FromQString(button->text());
    return std::string();
}

void Control::SetRect(const Rect& r) {
    if (Widget()) Widget()->setGeometry(ToQRect(r));
}
Rect Control::GetRect() const { return Widget() ? FromQRect(Widget()->geometry()) : Rect{}; }

void Control::Show(bool visible) {
    m_impl->shown = visible;
    if (Widget()) Widget()->setVisible(visible);
}

bool Control::IsVisible() const { return Widget() != nullptr && m_impl->shown; }
void Control::Enable(bool enabled) {
    if (Widget()) Widget()->setEnabled(enabled);
}
bool Control::IsEnabled() const { return Widget() != nullptr && Widget()->isEnabled(); }
void Control::SetFont(const FontSpec& font) {
    if (Widget()) Widget()->setFont(ToQFont(font));
}
void Control::SetFocus() {
    if (Widget()) Widget()->setFocus(Qt::OtherFocusReason);
}

Label::Label(Window& parent, int id, const std::string& text, int format) : Control(parent, id) {
    if (!parent.Exists()) return;
    auto* label = new QLabel(ToQString(text), parent.Widget());
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment align = (format & kTextRight)    ? Qt::AlignRight
                          : (format & kTextCentre) ? Qt::AlignHCenter
                                                   : Qt::AlignLeft;
    align |= (format & kTextBottom) ? Qt::AlignBottom : (format & kTextVCentre) ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment(align);
    label->setWordWrap((format & kTextWordWrap) != 0 && (format & kTextSingleLine) == 0);
    Attach(label);
}

PushButton::PushButton(Window& parent, int id, const std::string& text, bool isDefault) : Control(parent, id) {
    if (!parent.Exists()) return;
    auto* button = new QPushButton(ToQString(text), parent.Widget());
    button->setDefault(isDefault);
    Window* window = &parent;
    QObject::connect(button, &QPushButton::clicked, button, [window, id] { window->DispatchCommand(id); });
    Attach(button);
}

void PushButton::Click() {
    if (auto* button = qobject_cast<QPushButton*>(Widget())) button->click();
}

ProgressBar::ProgressBar(Window& parent, int id) : Control(parent, id) {
    if (!parent.Exists()) return;
    auto* bar = new QProgressBar(parent.Widget());
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    Attach(bar);
}

void ProgressBar::SetRange(int maximum) {
    if (auto* bar = qobject_cast<QProgressBar*>(Widget())) bar->setRange(0, maximum);
}
int ProgressBar::Range() const {
    auto* bar = qobject_cast<QProgressBar*>(Widget());
    return bar ? bar->maximum() : 0;
}
void ProgressBar::SetPosition(int position) {
    if (auto* bar = qobject_cast<QProgressBar*>(Widget())) bar->setValue(position);
}
int ProgressBar::Position() const {
    auto* bar = qobject_cast<QProgressBar*>(Widget());
    return bar ? bar->value() : 0;
}

PictureView::PictureView(Window& parent, int id) : Control(parent, id) {
    if (!parent.Exists()) return;
    auto* label = new QLabel(parent.Widget());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Attach(label);
}

void PictureView::SetImage(const Image& image) {
    if (auto* label = qobject_cast<QLabel*>(Widget())) {
        label->setPixmap(image.IsEmpty() ? QPixmap() : QPixmap::fromImage(WrapImage(image).copy()));
    }
}

bool PictureView::HasImage() const {
    auto* label = qobject_cast<QLabel*>(Widget());
    return label != nullptr && !label->pixmap().isNull();
}

}  // namespace platform
