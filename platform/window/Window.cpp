#include "platform/window/Window.h"

#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/Cursor.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/DrawContext.h"
#include "platform/window/QtBridge.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>

#include <cmath>

namespace platform {

Qt::CursorShape ToQtCursorShape(CursorShape shape);  // Cursor.cpp

namespace {

// The toolkit window under a Window: turns every event into a call of the Window's handlers.
class WindowWidget : public QWidget {
public:
    WindowWidget(Window* owner, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), m_owner(owner) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        setFocusPolicy(Qt::StrongFocus);
    }
    Window* Owner() const { return m_owner; }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        std::vector<Rect> rects;
        for (const QRect& r : event->region()) {
            rects.push_back(FromQRect(r));
        }
        DrawContext dc(painter, std::move(rects));
        m_owner->DispatchPaint(dc);
    }
    void mousePressEvent(QMouseEvent* e) override { Mouse(e, MouseAction::ButtonDown); }
    void mouseReleaseEvent(QMouseEvent* e) override { Mouse(e, MouseAction::ButtonUp); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Mouse(e, MouseAction::DoubleClick); }
    void mouseMoveEvent(QMouseEvent* e) override { Mouse(e, MouseAction::Move); }
    void keyPressEvent(QKeyEvent* e) override {
        if (!Key(e, KeyAction::Down)) QWidget::keyPressEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (!Key(e, KeyAction::Up)) QWidget::keyReleaseEvent(e);
    }
    void timerEvent(QTimerEvent* e) override { m_owner->DispatchTimer(e->timerId()); }
    void resizeEvent(QResizeEvent*) override { m_owner->DispatchResize(Size{width(), height()}); }
    void closeEvent(QCloseEvent* e) override {
        if (m_owner->DispatchClose())
            e->accept();
        else
            e->ignore();
    }
    void focusInEvent(QFocusEvent*) override { m_owner->DispatchFocus(true); }
    void focusOutEvent(QFocusEvent*) override { m_owner->DispatchFocus(false); }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::ActivationChange) m_owner->DispatchActivate(isActiveWindow());
        QWidget::changeEvent(e);
    }

private:
    void Mouse(QMouseEvent* e, MouseAction action) {
        MouseInput input;
        input.action = action;
        input.point = Point{int(e->position().x()), int(e->position().y())};
        input.modifiers = TranslateModifiers(e->modifiers().toInt());
        if (e->button() == Qt::RightButton) input.modifiers |= kModRightButton;
        input.leftHeld = (e->buttons() & Qt::LeftButton) != 0;
        input.rightHeld = (e->buttons() & Qt::RightButton) != 0;
        m_owner->DispatchMouse(input);
    }
    bool Key(QKeyEvent* e, KeyAction action) {
        KeyInput input;
        input.action = action;
        input.code = TranslateKey(e->key(), (e->modifiers() & Qt::KeypadModifier) != 0);
        input.modifiers = TranslateModifiers(e->modifiers().toInt());
        input.autoRepeat = e->isAutoRepeat();
        return m_owner->DispatchKey(input);
    }

    Window* m_owner;
};

}  // namespace

struct Window::Impl {
    QPointer<WindowWidget> widget;
    std::vector<QEventLoop*> loops;
};

Window::Window(WindowKind kind, Window* owner) : m_impl(std::make_unique<Impl>()), m_kind(kind), m_owner(owner) {
    if (!StartWindowSystem()) return;  // no display: the window never exists and every call does nothing
    QWidget* parent = (owner != nullptr && owner->Exists()) ? owner->Widget() : nullptr;
    const Qt::WindowFlags flags =
        kind == WindowKind::Dialog
            ? Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint
            : Qt::Window;
    m_impl->widget = new WindowWidget(this, parent, flags);
    // A window over a disabled owner still takes input: only the owner is disabled.
    if (!m_impl->widget->isEnabled()) m_impl->widget->setEnabled(true);
}

Window::~Window() {
    while (!m_impl->loops.empty()) {
        m_impl->loops.back()->exit(0);
        m_impl->loops.pop_back();
    }
    m_controls.clear();
    if (m_impl->widget) {
        for (const auto& timer : m_timers) m_impl->widget->killTimer(timer.second);
        delete m_impl->widget.data();
    }
    if (MainWindow() == this) SetMainWindow(nullptr);
}

bool Window::Exists() const { return !m_impl->widget.isNull(); }
QWidget* Window::Widget() const { return m_impl->widget.data(); }

Window* Window::FromWidget(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (auto* own = dynamic_cast<const WindowWidget*>(widget)) return own->Owner();
    }
    return nullptr;
}

void Window::SetTitle(const std::string& utf8) {
    if (Exists()) Widget()->setWindowTitle(ToQString(utf8));
}
std::string Window::Title() const { return Exists() ? FromQString(Widget()->windowTitle()) : std::string(); }
void Window::Show() {
    if (Exists()) Widget()->show();
}
void Window::Hide() {
    if (Exists()) Widget()->hide();
}
bool Window::IsVisible() const { return Exists() && Widget()->isVisible(); }
void Window::Enable(bool enabled) {
    if (!Exists()) return;
    // The toolkit would disable the windows this one owns as well; they keep their own state.
    std::vector<QWidget*> owned;
    for (QObject* child : Widget()->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->isWindow() && widget->isEnabled()) owned.push_back(widget);
    }
    Widget()->setEnabled(enabled);
    if (!enabled) {
        for (QWidget* widget : owned) widget->setEnabled(true);
    }
}
bool Window::IsEnabled() const { return Exists() && Widget()->isEnabled(); }

Rect Window::ClientScreenRect() const {
    if (!Exists()) return Rect{};
    const QPoint origin = Widget()->mapToGlobal(QPoint(0, 0));
    return Rect{origin.x(), origin.y(), origin.x() + Widget()->width(), origin.y() + Widget()->height()};
}

Size Window::ClientSize() const { return Exists() ? Size{Widget()->width(), Widget()->height()} : Size{}; }
void Window::SetClientSize(Size size) {
    if (Exists()) Widget()->resize(size.width, size.height);
}
void Window::SetMinimumClientSize(Size size) {
    if (Exists()) Widget()->setMinimumSize(size.width, size.height);
}
void Window::MoveTo(Point topLeft) {
    if (Exists()) Widget()->move(topLeft.x, topLeft.y);
}

void Window::CentreOnOwner() {
    if (!Exists()) return;
    QRect area;
    if (m_owner != nullptr && m_owner->Exists() && m_owner->Widget()->isVisible()) {
        area = m_owner->Widget()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    const QSize size = Widget()->frameGeometry().size();
    Widget()->move(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2);
}

void Window::BringToTop() {
    if (Exists()) Widget()->raise();
}
void Window::Activate() {
    if (Exists()) Widget()->activateWindow();
}
bool Window::IsActive() const { return Exists() && Widget()->isActiveWindow(); }
bool Window::IsMinimised() const { return Exists() && Widget()->isMinimized(); }
bool Window::IsMaximised() const { return Exists() && Widget()->isMaximized(); }
void Window::Restore() {
    if (Exists()) Widget()->showNormal();
}
void Window::Maximise() {
    if (Exists()) Widget()->showMaximized();
}
void Window::Invalidate() {
    if (Exists()) Widget()->update();
}
void Window::Invalidate(const Rect& area) {
    if (Exists()) Widget()->update(ToQRect(area));
}
void Window::UpdateNow() {
    if (Exists()) Widget()->repaint();
}
void Window::SetFocus() {
    if (Exists()) Widget()->setFocus(Qt::OtherFocusReason);
}
bool Window::HasFocus() const { return Exists() && Widget()->hasFocus(); }
void Window::CaptureMouse() {
    if (Exists()) Widget()->grabMouse();
}
void Window::ReleaseMouse() {
    if (Exists()) Widget()->releaseMouse();
}
void Window::SetCursorShape(CursorShape shape) {
    if (Exists()) Widget()->setCursor(ToQtCursorShape(shape));
}
void Window::SetFont(const FontSpec& font) {
    if (Exists()) Widget()->setFont(ToQFont(font));
}
FontSpec Window::Font() const { return Exists() ? FromQFont(Widget()->font()) : DefaultGuiFont(); }

int Window::RunModal() {
    if (!Exists()) return -1;
    QPointer<WindowWidget> widget = m_impl->widget;
    QEventLoop loop;
    m_impl->loops.push_back(&loop);
    ++m_modalDepth;
    widget->setWindowModality(Qt::ApplicationModal);
    widget->show();
    widget->raise();
    widget->activateWindow();
    const int result = loop.exec(QEventLoop::DialogExec);
    --m_modalDepth;
    if (widget) {
        // The object may be gone when its owner destroyed it from inside the loop.
        if (!m_impl->loops.empty() && m_impl->loops.back() == &loop) m_impl->loops.pop_back();
        widget->hide();
        widget->setWindowModality(Qt::NonModal);
    }
    return result;
}

void Window::EndModal(int result) {
    if (!m_impl->loops.empty()) {
        QEventLoop* loop = m_impl->loops.back();
        m_impl->loops.pop_back();
        loop->exit(result);
    }
}

bool Window::StartTimer(int id, int intervalMs) {
    if (!Exists() || intervalMs < 0) return false;
    StopTimer(id);
    const int toolkitId = Widget()->startTimer(intervalMs, Qt::PreciseTimer);
    if (toolkitId == 0) return false;
    m_timers[id] = toolkitId;
    return true;
}

bool Window::StopTimer(int id) {
    auto found = m_timers.find(id);
    if (found == m_timers.end()) return false;
    if (Exists()) Widget()->killTimer(found->second);
    m_timers.erase(found);
    return true;
}

bool Window::HasTimer(int id) const { return m_timers.count(id) != 0; }

void Window::DispatchTimer(int toolkitTimerId) {
    for (const auto& timer : m_timers) {
        if (timer.second == toolkitTimerId) {
            OnTimer(timer.first);
            return;
        }
    }
}

bool Window::DispatchKey(const KeyInput& input) {
    if (OnKey(input)) return true;
    if (m_kind != WindowKind::Dialog || input.action != KeyAction::Down) return false;
    if (input.code == kKeyEscape) {
        OnCommand(kCommandCancel);
        return true;
    }
    if (input.code == kKeyEnter) {
        // Enter presses the button that has the focus, as dialogs do; otherwise it means OK.
        if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
            button != nullptr && Window::FromWidget(button) == this) {
            button->click();
        } else {
            OnCommand(kCommandOk);
        }
        return true;
    }
    return false;
}

bool Window::DispatchClose() { return OnClose(); }

Control* Window::FindControl(int id) const {
    for (const auto& control : m_controls) {
        if (control->Id() == id) return control.get();
    }
    return nullptr;
}

void Window::AdoptControl(std::unique_ptr<Control> control) { m_controls.push_back(std::move(control)); }

Rect Window::DialogUnitsToPixels(const Rect& units) const {
    const QFontMetrics metrics(Exists() ? Widget()->font() : QApplication::font());
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = metrics.height();
    auto x = [&](int v) { return int(std::lround(double(v) * baseX / 4.0)); };
    auto y = [&](int v) { return int(std::lround(double(v) * baseY / 8.0)); };
    return Rect{x(units.left), y(units.top), x(units.right), y(units.bottom)};
}

void Window::BuildFromTemplate(const DialogTemplate& dialogTemplate) {
    if (!dialogTemplate.title.empty()) SetTitle(dialogTemplate.title);
    for (const DialogItem& item : dialogTemplate.items) {
        Control* control = nullptr;
        switch (item.kind) {
            case ControlKind::Label:
                control = &AddControl<Label>(item.id, item.text, item.textFormat);
                break;
            case ControlKind::PushButton:
                control = &AddControl<PushButton>(item.id, item.text, false);
                break;
            case ControlKind::DefaultPushButton:
                control = &AddControl<PushButton>(item.id, item.text, true);
                break;
            case ControlKind::ProgressBar:
                control = &AddControl<ProgressBar>(item.id);
                break;
            case ControlKind::Picture:
                control = &AddControl<PictureView>(item.id);
                break;
        }
        control->SetRect(DialogUnitsToPixels(item.units));
    }
    const Rect client = DialogUnitsToPixels(Rect{0, 0, dialogTemplate.units.width, dialogTemplate.units.height});
    if (Exists()) Widget()->setFixedSize(client.Width(), client.Height());
}

void Window::OnPaint(DrawContext&) {}
void Window::OnMouse(const MouseInput&) {}
bool Window::OnKey(const KeyInput&) { return false; }
void Window::OnTimer(int) {}
void Window::OnResize(Size) {}
bool Window::OnClose() {
    if (m_kind == WindowKind::Dialog) {
        OnCommand(kCommandCancel);
        return false;
    }
    return true;
}
void Window::OnCommand(int) {}
void Window::OnFocusChanged(bool) {}
void Window::OnActivate(bool) {}

}  // namespace platform
