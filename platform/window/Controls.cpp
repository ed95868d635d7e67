#include "platform/window/Controls.h"

#include "platform/window/DrawContext.h"
#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSizeGrip>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimerEvent>

#include <map>

namespace platform {

namespace {

constexpr char kControlProperty[] = "gbxControl";

// A push button that can also look like a check box; the check box is hit anywhere in its rectangle.
class LayerButton : public QPushButton {
public:
    LayerButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}
    ButtonStyle style = ButtonStyle::Push;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (style != ButtonStyle::CheckBox) {
            QPushButton::paintEvent(event);
            return;
        }
        QStylePainter painter(this);
        QStyleOptionButton option;
        option.initFrom(this);
        option.text = text();
        option.state |= isChecked() ? QStyle::State_On : QStyle::State_Off;
        if (isDown()) option.state |= QStyle::State_Sunken;
        painter.drawControl(QStyle::CE_CheckBox, option);
    }
};

}  // namespace

// Watches the control's widget: hands keys, mouse, painting and timers to the hooks first.
class ControlEventFilter : public QObject {
public:
    explicit ControlEventFilter(Control* control, QObject* parent) : QObject(parent), m_control(control) {}
    void Forget() { m_control = nullptr; }
    bool sendingMouse = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_control == nullptr || watched != m_control->Widget()) return false;
        DispatchScope scope(watched);
        Control& control = *m_control;
        ControlHooks* hooks = control.Hooks();
        switch (event->type()) {
            case QEvent::Paint:
                return hooks != nullptr && Paint(control, *hooks, static_cast<QPaintEvent*>(event));
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                if (hooks == nullptr) return false;
                auto* key = static_cast<QKeyEvent*>(event);
                const KeyAction action = event->type() == QEvent::KeyPress ? KeyAction::Down : KeyAction::Up;
                if (!hooks->OnControlKey(control, KeyInputFrom(*key, action))) return false;
                key->accept();
                return true;
            }
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove: {
                if (hooks == nullptr || sendingMouse) return false;
                auto* mouse = static_cast<QMouseEvent*>(event);
                const MouseAction action = event->type() == QEvent::MouseButtonPress      ? MouseAction::ButtonDown
                                           : event->type() == QEvent::MouseButtonRelease  ? MouseAction::ButtonUp
                                           : event->type() == QEvent::MouseButtonDblClick ? MouseAction::DoubleClick
                                                                                          : MouseAction::Move;
                if (!hooks->OnControlMouse(control, MouseInputFrom(*mouse, action))) return false;
                mouse->accept();
                return true;
            }
            case QEvent::FocusIn:
                control.Notify(kNotifyFocusGained);
                return false;
            case QEvent::FocusOut:
                control.Notify(kNotifyFocusLost);
                return false;
            case QEvent::Timer:
                return DispatchTimer(control, static_cast<QTimerEvent*>(event)->timerId());
            case QEvent::Resize:
                if (hooks != nullptr) {
                    const QSize size = static_cast<QWidget*>(watched)->size();
                    hooks->OnControlResized(control, Size{size.width(), size.height()});
                }
                return false;
            default:
                return false;
        }
    }

private:
    static bool Paint(Control& control, ControlHooks& hooks, QPaintEvent* event) {
        QPainter painter(control.Widget());
        std::vector<Rect> rects;
        for (const QRect& r : event->region()) rects.push_back(FromQRect(r));
        DrawContext dc(painter, std::move(rects));
        dc.SetFont(control.Font());
        return hooks.OnControlPaint(control, dc, control.CurrentItemState());
    }
    static bool DispatchTimer(Control& control, int toolkitId);

    Control* m_control;
};

struct Control::Impl {
    QPointer<QWidget> widget;
    QPointer<ControlEventFilter> filter;
    bool shown = true;
    std::map<int, int> timers;  // our id -> toolkit id
};

bool ControlEventFilter::DispatchTimer(Control& control, int toolkitId) {
    for (const auto& timer : control.m_impl->timers) {
        if (timer.second == toolkitId) {
            if (ControlHooks* hooks = control.Hooks()) hooks->OnControlTimer(control, timer.first);
            return true;
        }
    }
    return false;
}

bool ControlStillOwns(const QWidget* widget, const Control* control) {
    return widget != nullptr && widget->property(kControlProperty).value<void*>() == control;
}

Control::Control(Window& parent, int id) : m_parent(parent), m_id(id), m_impl(std::make_unique<Impl>()) {}

void Control::DetachHooks() {
    if (m_hooks == nullptr) return;
    ControlHooks* hooks = m_hooks;
    m_hooks = nullptr;
    hooks->OnControlDestroyed(*this);
}

Control::~Control() {
    DetachHooks();
    if (m_impl->filter) {
        m_impl->filter->Forget();
        if (m_impl->widget) m_impl->widget->removeEventFilter(m_impl->filter);
    }
    if (m_impl->widget) {
        for (const auto& timer : m_impl->timers) m_impl->widget->killTimer(timer.second);
        m_impl->widget->setProperty(kControlProperty, QVariant());
        DestroyWidget(m_impl->widget.data());
    }
}

void Control::Attach(QWidget* widget) {
    m_impl->widget = widget;
    widget->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(this)));
    m_impl->filter = new ControlEventFilter(this, widget);
    widget->installEventFilter(m_impl->filter);
    widget->show();
}

QWidget* Control::Widget() const { return m_impl->widget.data(); }
QWidget* Control::ClientWidget() const { return Widget(); }

Control* Control::FromWidget(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const QVariant value = widget->property(kControlProperty);
        if (value.isValid()) return static_cast<Control*>(value.value<void*>());
    }
    return nullptr;
}

void Control::SetText(const std::string& utf8) {
    if (auto* label = qobject_cast<QLabel*>(Widget())) {
        label->setText(ToQString(utf8));
        label->update();
    } else if (auto* button = qobject_cast<QPushButton*>(Widget())) {
        button->setText(ToQString(utf8));
    }
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

Rect Control::ScreenRect() const {
    if (!Widget()) return Rect{};
    const QPoint origin = Widget()->mapToGlobal(QPoint(0, 0));
    return Rect{origin.x(), origin.y(), origin.x() + Widget()->width(), origin.y() + Widget()->height()};
}

Point Control::ClientToScreen(Point p) const { return WidgetToScreen(Widget(), p); }
Point Control::ScreenToClient(Point p) const { return ScreenToWidget(Widget(), p); }

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
FontSpec Control::Font() const { return Widget() ? FromQFont(Widget()->font()) : DefaultGuiFont(); }
void Control::SetFocus() {
    if (Widget()) Widget()->setFocus(Qt::OtherFocusReason);
}
bool Control::HasFocus() const { return Widget() != nullptr && Widget()->hasFocus(); }
bool Control::HasFocusWithin() const {
    if (Widget() == nullptr) return false;
    const QWidget* focus = Widget()->window()->focusWidget();
    return focus != nullptr && (focus == Widget() || Widget()->isAncestorOf(focus));
}
void Control::SetFocusable(bool focusable) {
    if (Widget()) Widget()->setFocusPolicy(focusable ? Qt::StrongFocus : Qt::NoFocus);
}
void Control::Invalidate() {
    if (Widget()) Widget()->update();
}
void Control::UpdateNow() {
    if (Widget()) Widget()->repaint();
}

void Control::PlaceInside(Control& host) {
    if (!Widget() || !host.Widget()) return;
    Widget()->setParent(host.Widget());
    if (m_impl->shown) Widget()->show();
}

void Control::Notify(int code) {
    // The hooks may destroy this control; the parent still hears of it, as a window would, unless the
    // hooks destroyed the parent window as well (a popup editor's host).
    Window& parent = m_parent;
    const int id = m_id;
    const QPointer<QWidget> parentWidget = parent.Widget();
    if (m_hooks != nullptr && m_hooks->OnControlNotify(*this, code)) return;
    if (parentWidget.isNull() || Window::FromWidget(parentWidget.data()) != &parent) return;
    parent.DispatchControlNotify(id, code);
}

long Control::SendNotify(int code, void* data) { return m_parent.DispatchNotify(m_id, code, data); }

void Control::CaptureMouse() {
    if (Widget()) Widget()->grabMouse();
}
void Control::ReleaseMouse() {
    if (Widget() && QWidget::mouseGrabber() == Widget()) Widget()->releaseMouse();
}
bool Control::HasMouseCapture() const { return Widget() != nullptr && QWidget::mouseGrabber() == Widget(); }

void Control::SendMouse(const MouseInput& input) {
    if (!Widget()) return;
    QEvent::Type type = QEvent::MouseMove;
    switch (input.action) {
        case MouseAction::ButtonDown:
            type = QEvent::MouseButtonPress;
            break;
        case MouseAction::ButtonUp:
            type = QEvent::MouseButtonRelease;
            break;
        case MouseAction::DoubleClick:
            type = QEvent::MouseButtonDblClick;
            break;
        case MouseAction::Move:
            break;
    }
    const Qt::MouseButton button = input.button == MouseButton::Left     ? Qt::LeftButton
                                   : input.button == MouseButton::Right  ? Qt::RightButton
                                   : input.button == MouseButton::Middle ? Qt::MiddleButton
                                                                         : Qt::NoButton;
    Qt::MouseButtons held;
    if (input.leftHeld) held |= Qt::LeftButton;
    if (input.rightHeld) held |= Qt::RightButton;
    Qt::KeyboardModifiers modifiers;
    if (input.modifiers & kModShift) modifiers |= Qt::ShiftModifier;
    if (input.modifiers & kModCtrl) modifiers |= Qt::ControlModifier;
    if (input.modifiers & kModAlt) modifiers |= Qt::AltModifier;
    const QPointF local(input.point.x, input.point.y);
    QMouseEvent event(type, local, Widget()->mapToGlobal(local), button, held, modifiers);
    ControlEventFilter* filter = m_impl->filter.data();
    if (filter != nullptr) filter->sendingMouse = true;
    QApplication::sendEvent(Widget(), &event);
    if (filter != nullptr) filter->sendingMouse = false;
}

bool Control::StartTimer(int id, int intervalMs) {
    if (!Widget() || intervalMs < 0) return false;
    StopTimer(id);
    const int toolkitId = Widget()->startTimer(intervalMs, Qt::PreciseTimer);
    if (toolkitId == 0) return false;
    m_impl->timers[id] = toolkitId;
    return true;
}

bool Control::StopTimer(int id) {
    auto found = m_impl->timers.find(id);
    if (found == m_impl->timers.end()) return false;
    if (Widget()) Widget()->killTimer(found->second);
    m_impl->timers.erase(found);
    return true;
}

bool Control::HasTimer(int id) const { return m_impl->timers.count(id) != 0; }

ItemState Control::CurrentItemState() const {
    ItemState state;
    state.focused = HasFocus();
    state.disabled = !IsEnabled();
    return state;
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

PushButton::PushButton(Window& parent, int id, const std::string& text, bool isDefault)
    : PushButton(parent, id, text, isDefault ? ButtonStyle::DefaultPush : ButtonStyle::Push) {}

PushButton::PushButton(Window& parent, int id, const std::string& text, ButtonStyle style)
    : Control(parent, id), m_style(style) {
    if (!parent.Exists()) return;
    auto* button = new LayerButton(ToQString(text), parent.Widget());
    Attach(button);
    SetStyle(style);
    QObject::connect(button, &QPushButton::clicked, button, [this, button] {
        DispatchScope scope(button);
        Notify(kNotifyClicked);
    });
}

void PushButton::SetStyle(ButtonStyle style) {
    m_style = style;
    auto* button = static_cast<LayerButton*>(qobject_cast<QPushButton*>(Widget()));
    if (button == nullptr) return;
    button->style = style;
    button->setDefault(style == ButtonStyle::DefaultPush);
    button->setCheckable(style == ButtonStyle::CheckBox || style == ButtonStyle::PushLike);
    button->update();
}

void PushButton::Click() {
    if (auto* button = qobject_cast<QPushButton*>(Widget())) button->click();
}

void PushButton::SetChecked(bool checked) {
    auto* button = qobject_cast<QPushButton*>(Widget());
    if (button == nullptr) return;
    if (button->isCheckable()) {
        button->setChecked(checked);
    } else {
        // An owner-drawn or plain button keeps the mark for its drawing only.
        button->setProperty("gbxChecked", checked);
        button->update();
    }
}

bool PushButton::IsChecked() const {
    auto* button = qobject_cast<QPushButton*>(Widget());
    if (button == nullptr) return false;
    return button->isCheckable() ? button->isChecked() : button->property("gbxChecked").toBool();
}

bool PushButton::IsPressed() const {
    auto* button = qobject_cast<QPushButton*>(Widget());
    return button != nullptr && button->isDown();
}

ItemState PushButton::CurrentItemState() const {
    ItemState state = Control::CurrentItemState();
    state.selected = IsPressed();
    state.checked = IsChecked();
    return state;
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

SizeGrip::SizeGrip(Window& parent, int id) : Control(parent, id) {
    if (!parent.Exists()) return;
    Attach(new QSizeGrip(parent.Widget()));
}

Size SizeGrip::PreferredSize() const {
    if (!Widget()) return Size{};
    const QSize hint = Widget()->sizeHint();
    return Size{hint.width(), hint.height()};
}

}  // namespace platform
