#include "platform/window/Window.h"

#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/Cursor.h"
#include "platform/window/DesktopFrame.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/DrawContext.h"
#include "platform/window/Menu.h"
#include "platform/window/QtBridge.h"
#include "platform/window/ReportList.h"
#include "platform/window/Slider.h"
#include "platform/window/TextControls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimerEvent>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

namespace platform {

Qt::CursorShape ToQtCursorShape(CursorShape shape);  // Cursor.cpp
int ToToolkitKey(int code);                          // Input.cpp

namespace {

// The toolkit window under a Window: turns every event into a call of the Window's handlers.
class WindowWidget : public QWidget {
public:
    WindowWidget(Window* owner, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), m_owner(owner) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        // The keyboard goes to controls, never to a window that only holds them: neither a click nor
        // Tab stops on a frame, a form or an editor's window (its keys still reach it when it has no
        // control that takes them).
        setFocusPolicy(Qt::NoFocus);
    }
    Window* Owner() const { return m_owner; }
    // The Window object is going; events that still arrive find nobody.
    void Forget() { m_owner = nullptr; }

protected:
    bool event(QEvent* e) override {
        DispatchScope scope(this);
        if (m_owner != nullptr && !isWindow()) {
            // A child window hears of its top-level window's activation.
            if (e->type() == QEvent::WindowActivate) m_owner->DispatchActivate(true);
            if (e->type() == QEvent::WindowDeactivate) m_owner->DispatchActivate(false);
        }
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent* event) override {
        if (m_owner == nullptr) return;
        QPainter painter(this);
        std::vector<Rect> rects;
        for (const QRect& r : event->region()) rects.push_back(FromQRect(r));
        DrawContext dc(painter, std::move(rects));
        m_owner->DispatchPaint(dc);
    }
    void mousePressEvent(QMouseEvent* e) override { Mouse(e, MouseAction::ButtonDown); }
    void mouseReleaseEvent(QMouseEvent* e) override { Mouse(e, MouseAction::ButtonUp); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Mouse(e, MouseAction::DoubleClick); }
    void mouseMoveEvent(QMouseEvent* e) override { Mouse(e, MouseAction::Move); }
    void keyPressEvent(QKeyEvent* e) override {
        if (m_owner == nullptr || !m_owner->DispatchKey(KeyInputFrom(*e, KeyAction::Down))) QWidget::keyPressEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (m_owner == nullptr || !m_owner->DispatchKey(KeyInputFrom(*e, KeyAction::Up))) QWidget::keyReleaseEvent(e);
    }
    void timerEvent(QTimerEvent* e) override {
        if (m_owner != nullptr) m_owner->DispatchTimer(e->timerId());
    }
    void resizeEvent(QResizeEvent*) override {
        if (m_owner != nullptr) m_owner->DispatchResize();
    }
    void closeEvent(QCloseEvent* e) override {
        if (m_owner == nullptr || m_owner->DispatchClose())
            e->accept();
        else
            e->ignore();
    }
    void focusInEvent(QFocusEvent*) override {
        if (m_owner != nullptr) m_owner->DispatchFocus(true);
    }
    void focusOutEvent(QFocusEvent*) override {
        if (m_owner != nullptr) m_owner->DispatchFocus(false);
    }
    void changeEvent(QEvent* e) override {
        if (m_owner != nullptr && isWindow() && e->type() == QEvent::ActivationChange) {
            m_owner->DispatchActivate(isActiveWindow());
        }
        if (m_owner != nullptr && e->type() == QEvent::WindowStateChange && onStateChange) onStateChange();
        QWidget::changeEvent(e);
    }
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (m_owner != nullptr && !LocalFiles(e->mimeData()).empty()) e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        if (m_owner != nullptr && !LocalFiles(e->mimeData()).empty()) e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        const std::vector<std::string> paths = LocalFiles(e->mimeData());
        if (m_owner == nullptr || paths.empty()) return;
        e->acceptProposedAction();
        m_owner->DispatchDropFiles(paths);
    }

public:
    std::function<void()> onStateChange;

private:
    static std::vector<std::string> LocalFiles(const QMimeData* data) {
        std::vector<std::string> paths;
        if (data == nullptr) return paths;
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) paths.push_back(FromQString(url.toLocalFile()));
        }
        return paths;
    }
    void Mouse(QMouseEvent* e, MouseAction action) {
        if (m_owner != nullptr) m_owner->DispatchMouse(MouseInputFrom(*e, action));
    }

    Window* m_owner;
};

Image FromQImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    Image copy(image.width(), image.height(), true);
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        std::copy(row, row + image.width(), copy.Row(y));
    }
    return copy;
}

// Windows running a loop (RunModal, RunLoop), innermost last.
std::vector<Window*>& LoopingWindows() {
    static std::vector<Window*> windows;
    return windows;
}

// Turns the key presses that a top-level window's accelerator table names into its menu commands,
// before the widget with the focus sees them.
class AcceleratorWatch : public QObject {
public:
    static void Install() {
        // Lives until the process ends, as the toolkit's application object does.
        static AcceleratorWatch* watch = [] {
            auto* created = new AcceleratorWatch;
            qApp->installEventFilter(created);
            return created;
        }();
        (void)watch;
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !receiver->isWidgetType()) return false;
        QWidget* top = static_cast<QWidget*>(receiver)->window();
        Window* window = Window::FromWidget(top);
        if (window == nullptr || window->Widget() != top || window->Accelerators() == nullptr || !top->isEnabled())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const int command = TranslateAccelerator(*window->Accelerators(), KeyInputFrom(*key, KeyAction::Down));
        if (command == 0) return false;
        // A control that claims the key (a text edit's Ctrl+A) keeps it, as it would a shortcut.
        QKeyEvent claim(QEvent::ShortcutOverride, key->key(), key->modifiers(), key->text());
        claim.ignore();
        QApplication::sendEvent(receiver, &claim);
        if (claim.isAccepted()) return false;
        DispatchScope scope(top);
        window->DispatchMenuCommand(command, true);
        return true;
    }
};

}  // namespace

struct Window::Impl {
    QPointer<WindowWidget> widget;
    std::vector<QEventLoop*> loops;
    Image icon;
    QPointer<QScrollBar> horizontal;
    QPointer<QScrollBar> vertical;
    Size scrollSize;
    Point scrollPosition;
    QPoint frameOffset;           // client top-left minus frame top-left, last seen in the normal state
    bool pendingNormal = false;   // a normal placement to take once the window is restored
    bool placementGiven = false;  // the last size asked for was a placement, not a client size
    Rect normalPlacement;
    bool frameAsked = false;            // the window manager was asked for the frame it will draw
    Size announcedFrame;                // and what it answered
    QPointer<QWidget> keyboardControl;  // the control that held the keyboard when the window was disabled
};

Window::Window(WindowKind kind, Window* owner) : m_impl(std::make_unique<Impl>()), m_kind(kind), m_owner(owner) {
    if (!StartWindowSystem()) return;  // no display: the window never exists and every call does nothing
    QWidget* parent = (owner != nullptr && owner->Exists()) ? owner->Widget() : nullptr;
    if (kind == WindowKind::Child && parent == nullptr) return;  // a child window needs somewhere to live
    Create(parent);
}

Window::Window(WindowKind kind, Control& host)
    : m_impl(std::make_unique<Impl>()), m_kind(kind), m_owner(&host.Parent()) {
    if (!StartWindowSystem()) return;
    QWidget* parent = kind == WindowKind::Child ? host.ClientWidget() : host.Widget();
    if (parent == nullptr) return;
    Create(parent);
}

void Window::Create(QWidget* parent) {
    Qt::WindowFlags flags = Qt::Window;
    switch (m_kind) {
        case WindowKind::Main:
            break;
        case WindowKind::Dialog:
            flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
            break;
        case WindowKind::Child:
            flags = Qt::Widget;
            break;
        case WindowKind::Popup:
            flags = Qt::Tool | Qt::FramelessWindowHint;
            break;
    }
    m_impl->widget = new WindowWidget(this, parent, flags);
    // A window over a disabled owner still takes input: only the owner is disabled.
    if (m_kind != WindowKind::Child && !m_impl->widget->isEnabled()) m_impl->widget->setEnabled(true);
    m_impl->widget->onStateChange = [this] {
        if (m_impl->pendingNormal && !IsMaximised() && !IsMinimised()) {
            m_impl->pendingNormal = false;
            SetPlacementRect(m_impl->normalPlacement);
        }
    };
}

Window::~Window() {
    auto& looping = LoopingWindows();
    looping.erase(std::remove(looping.begin(), looping.end(), this), looping.end());
    while (!m_impl->loops.empty()) {
        m_impl->loops.back()->exit(0);
        m_impl->loops.pop_back();
    }
    for (const auto& control : m_controls) control->DetachHooks();
    m_controls.clear();
    if (m_impl->widget) {
        for (const auto& timer : m_timers) m_impl->widget->killTimer(timer.second);
        m_impl->widget->Forget();
        m_impl->widget->onStateChange = nullptr;
        DestroyWidget(m_impl->widget.data());
    }
    if (MainWindow() == this) SetMainWindow(nullptr);
}

bool Window::Exists() const { return !m_impl->widget.isNull(); }
QWidget* Window::Widget() const { return m_impl->widget.data(); }

Window* Window::FromWidget(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (auto* own = dynamic_cast<const WindowWidget*>(widget)) {
            if (own->Owner() != nullptr) return own->Owner();
        }
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
void Window::ShowWithoutActivating() {
    if (!Exists()) return;
    Widget()->setAttribute(Qt::WA_ShowWithoutActivating);
    Widget()->show();
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
    // Disabling takes the keyboard from the control that holds it, and the window would come back with
    // its first control focused: as on the desktop, that control gets it back.
    if (!enabled && Widget()->isEnabled()) m_impl->keyboardControl = Widget()->focusWidget();
    Widget()->setEnabled(enabled);
    if (!enabled) {
        for (QWidget* widget : owned) widget->setEnabled(true);
        return;
    }
    QWidget* control = m_impl->keyboardControl.data();
    m_impl->keyboardControl = nullptr;
    if (control != nullptr && Widget()->focusWidget() == nullptr && control->isEnabled()
        && control->isVisibleTo(Widget()))
        control->setFocus(Qt::OtherFocusReason);
}
bool Window::IsEnabled() const { return Exists() && Widget()->isEnabled(); }

Rect Window::ClientScreenRect() const {
    if (!Exists()) return Rect{};
    const QPoint origin = Widget()->mapToGlobal(QPoint(0, MenuHeight()));
    const Size size = ClientSize();
    return Rect{origin.x(), origin.y(), origin.x() + size.width, origin.y() + size.height};
}

Size Window::ClientSize() const {
    if (!Exists()) return Size{};
    Size size{Widget()->width(), Widget()->height()};
    if (m_impl->vertical && m_impl->vertical->isVisibleTo(Widget())) size.width -= m_impl->vertical->width();
    if (m_impl->horizontal && m_impl->horizontal->isVisibleTo(Widget())) size.height -= m_impl->horizontal->height();
    size.height -= MenuHeight();
    return Size{std::max(size.width, 0), std::max(size.height, 0)};
}

void Window::SetClientSize(Size size) {
    if (!Exists()) return;
    m_impl->placementGiven = false;
    Widget()->resize(size.width, size.height + MenuHeight());
}
void Window::SetMinimumClientSize(Size size) {
    if (Exists()) Widget()->setMinimumSize(std::max(size.width, 0), std::max(size.height, 0));
}
Size Window::MinimumClientSize() const {
    return Exists() ? Size{Widget()->minimumWidth(), Widget()->minimumHeight()} : Size{};
}
void Window::SetFixedClientSize(Size size) {
    if (!Exists()) return;
    if (size.width > 0 && size.height > 0) {
        Widget()->setFixedSize(size.width, size.height);
    } else {
        Widget()->setMinimumSize(0, 0);
        Widget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}
void Window::MoveTo(Point topLeft) {
    if (Exists()) Widget()->move(topLeft.x, topLeft.y);
}

void Window::SetGeometry(const Rect& area) {
    if (!Exists()) return;
    const int top = ParentClientTop();
    Widget()->setGeometry(ToQRect(Rect{area.left, area.top + top, area.right, area.bottom + top}));
}
Rect Window::Geometry() const {
    if (!Exists()) return Rect{};
    const int top = ParentClientTop();
    const Rect r = FromQRect(Widget()->geometry());
    return Rect{r.left, r.top - top, r.right, r.bottom - top};
}

int Window::ParentClientTop() const {
    if (m_kind != WindowKind::Child || m_owner == nullptr || !m_owner->Exists()) return 0;
    return Widget()->parentWidget() == m_owner->Widget() ? m_owner->MenuHeight() : 0;
}

int Window::MenuHeight() const { return m_menu ? m_menu->Height() : 0; }

void Window::PlaceMenuBar() {
    if (!m_menu || m_menu->Widget() == nullptr || !Exists()) return;
    m_menu->Widget()->setGeometry(0, 0, Widget()->width(), m_menu->Height());
}

void Window::SetMenu(const MenuTemplate* menu) {
    if (!Exists()) return;
    const Size client = ClientSize();
    m_menu.reset();
    if (menu != nullptr) m_menu = std::make_unique<MenuBar>(*this, *menu);
    PlaceMenuBar();
    // A placement given (a stored one restored) stays as it is, the bar inside it; otherwise the bar
    // takes its room above the client area.
    if (!m_impl->placementGiven) SetClientSize(client);
}

MenuBar* Window::Menu() const { return m_menu.get(); }

void Window::SetAccelerators(const AcceleratorTable* table) {
    m_accelerators = table != nullptr ? std::make_unique<AcceleratorTable>(*table) : nullptr;
    if (table != nullptr && StartWindowSystem()) AcceleratorWatch::Install();
}

const AcceleratorTable* Window::Accelerators() const { return m_accelerators.get(); }

Window* Window::InnermostLoop() { return LoopingWindows().empty() ? nullptr : LoopingWindows().back(); }

Rect Window::PlacementRect() const {
    if (!Exists()) return Rect{};
    if (m_kind == WindowKind::Child) return Geometry();
    const QPoint frame = Widget()->pos();
    return Rect{frame.x(), frame.y(), frame.x() + Widget()->width(), frame.y() + Widget()->height()};
}

void Window::SetPlacementRect(const Rect& placement) {
    if (!Exists()) return;
    if (m_kind == WindowKind::Child) {
        SetGeometry(placement);
        return;
    }
    m_impl->placementGiven = true;
    Widget()->move(placement.left, placement.top);
    Widget()->resize(std::max(placement.Width(), 0), std::max(placement.Height(), 0));
}

Rect Window::NormalPlacementRect() const {
    if (!Exists()) return Rect{};
    if (m_impl->pendingNormal) return m_impl->normalPlacement;
    if (!IsMaximised() && !IsMinimised()) return PlacementRect();
    const QRect normal = Widget()->normalGeometry();
    if (normal.isEmpty()) return PlacementRect();
    const QPoint frame = normal.topLeft() - m_impl->frameOffset;
    return Rect{frame.x(), frame.y(), frame.x() + normal.width(), frame.y() + normal.height()};
}

void Window::SetNormalPlacementRect(const Rect& placement) {
    if (!Exists()) return;
    if (IsMaximised() || IsMinimised()) {
        // Taken when the window is restored.
        m_impl->pendingNormal = true;
        m_impl->placementGiven = true;
        m_impl->normalPlacement = placement;
        return;
    }
    SetPlacementRect(placement);
}

Size Window::FrameExtent() const {
    if (!Exists() || m_kind == WindowKind::Child || m_kind == WindowKind::Popup) return Size{};
    const QSize frame = Widget()->frameGeometry().size() - Widget()->size();
    if (frame.width() > 0 || frame.height() > 0) return Size{std::max(frame.width(), 0), std::max(frame.height(), 0)};
    // Not framed yet: what the window manager says it will draw, asked once.
    if (!m_impl->frameAsked) {
        m_impl->frameAsked = true;
        FrameMargins margins;
        if (AskFrameMargins(Widget(), margins))
            m_impl->announcedFrame = Size{margins.left + margins.right, margins.top + margins.bottom};
    }
    return m_impl->announcedFrame;
}

Point Window::ClientToScreen(Point p) const { return WidgetToScreen(Widget(), p); }
Point Window::ScreenToClient(Point p) const { return ScreenToWidget(Widget(), p); }

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
    if (!Exists()) return;
    if (!Widget()->isVisible()) {
        // Shown maximised when it is shown, not now.
        Widget()->setWindowState(Widget()->windowState() | Qt::WindowMaximized);
        return;
    }
    if (!IsMaximised() && !IsMinimised()) {
        m_impl->frameOffset = Widget()->geometry().topLeft() - Widget()->pos();
    }
    Widget()->showMaximized();
}
void Window::Minimise() {
    if (!Exists()) return;
    if (!IsMaximised() && !IsMinimised() && Widget()->isVisible()) {
        m_impl->frameOffset = Widget()->geometry().topLeft() - Widget()->pos();
    }
    Widget()->showMinimized();
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

void Window::SetIcon(const Image& icon) {
    m_impl->icon = icon;
    if (!Exists()) return;
    Widget()->setWindowIcon(icon.IsEmpty() ? QIcon() : QIcon(QPixmap::fromImage(WrapImage(icon).copy())));
}

Image Window::Icon() const {
    if (!m_impl->icon.IsEmpty() || !Exists()) return m_impl->icon;
    // A window without its own icon shows the application's.
    const QIcon icon = Widget()->windowIcon();
    if (icon.isNull()) return Image();
    return FromQImage(icon.pixmap(32, 32).toImage());
}

void Window::SetScrollSize(Size total) {
    if (!Exists()) return;
    m_impl->scrollSize = total;
    if (total.width > 0 && total.height > 0 && !m_impl->vertical) {
        m_impl->horizontal = new QScrollBar(Qt::Horizontal, Widget());
        m_impl->vertical = new QScrollBar(Qt::Vertical, Widget());
        for (QScrollBar* bar : {m_impl->horizontal.data(), m_impl->vertical.data()}) {
            bar->hide();
            bar->setFocusPolicy(Qt::NoFocus);
            QObject::connect(bar, &QScrollBar::valueChanged, bar, [this, bar] {
                DispatchScope scope(bar);
                SetScrollPosition(Point{m_impl->horizontal->value(), m_impl->vertical->value()});
            });
        }
    }
    UpdateScrollBars();
}

Size Window::ScrollSize() const { return m_impl->scrollSize; }
Point Window::ScrollPosition() const { return m_impl->scrollPosition; }

void Window::SetScrollPosition(Point position) {
    const Point old = m_impl->scrollPosition;
    const Size client = ClientSize();
    position.x = std::clamp(position.x, 0, std::max(m_impl->scrollSize.width - client.width, 0));
    position.y = std::clamp(position.y, 0, std::max(m_impl->scrollSize.height - client.height, 0));
    m_impl->scrollPosition = position;
    if (m_impl->horizontal && m_impl->horizontal->value() != position.x) m_impl->horizontal->setValue(position.x);
    if (m_impl->vertical && m_impl->vertical->value() != position.y) m_impl->vertical->setValue(position.y);
    ScrollControlsBy(old.x - position.x, old.y - position.y);
}

void Window::ScrollControlsBy(int dx, int dy) {
    if ((dx == 0 && dy == 0) || !Exists()) return;
    // As the desktop scrolls a window: its controls move, their layout is not redone.
    for (const auto& control : m_controls) {
        QWidget* widget = control->Widget();
        if (widget != nullptr && widget->parentWidget() == Widget()) widget->move(widget->pos() + QPoint(dx, dy));
    }
}

void Window::UpdateScrollBars() {
    if (!Exists() || !m_impl->vertical) return;
    const Size total = m_impl->scrollSize;
    const bool scrolls = total.width > 0 && total.height > 0;
    const int barWidth = m_impl->vertical->sizeHint().width();
    const int barHeight = m_impl->horizontal->sizeHint().height();
    const int width = Widget()->width();
    const int height = Widget()->height();
    bool needVertical = scrolls && total.height > height;
    const bool needHorizontal = scrolls && total.width > width - (needVertical ? barWidth : 0);
    needVertical = scrolls && total.height > height - (needHorizontal ? barHeight : 0);
    const int clientWidth = std::max(width - (needVertical ? barWidth : 0), 0);
    const int clientHeight = std::max(height - (needHorizontal ? barHeight : 0), 0);
    m_impl->horizontal->setGeometry(0, height - barHeight, clientWidth, barHeight);
    m_impl->vertical->setGeometry(width - barWidth, 0, barWidth, clientHeight);
    m_impl->horizontal->setVisible(needHorizontal);
    m_impl->vertical->setVisible(needVertical);
    {
        const QSignalBlocker quietH(m_impl->horizontal.data());
        const QSignalBlocker quietV(m_impl->vertical.data());
        m_impl->horizontal->setRange(0, std::max(total.width - clientWidth, 0));
        m_impl->horizontal->setPageStep(std::max(clientWidth, 1));
        m_impl->vertical->setRange(0, std::max(total.height - clientHeight, 0));
        m_impl->vertical->setPageStep(std::max(clientHeight, 1));
    }
    m_impl->horizontal->raise();
    m_impl->vertical->raise();
    SetScrollPosition(m_impl->scrollPosition);
}

void Window::AcceptDroppedFiles(bool accept) {
    if (Exists()) Widget()->setAcceptDrops(accept);
}

void Window::PostKeyDown(int code) {
    if (!Exists()) return;
    QApplication::postEvent(Widget(), new QKeyEvent(QEvent::KeyPress, ToToolkitKey(code), Qt::NoModifier));
}

int Window::RunModal() {
    if (!Exists()) return -1;
    QPointer<WindowWidget> widget = m_impl->widget;
    widget->setWindowModality(Qt::ApplicationModal);
    const int result = RunLoop();
    if (widget) widget->setWindowModality(Qt::NonModal);
    return result;
}

int Window::RunLoop() {
    if (!Exists()) return -1;
    QPointer<WindowWidget> widget = m_impl->widget;
    QEventLoop loop;
    m_impl->loops.push_back(&loop);
    LoopingWindows().push_back(this);
    ++m_modalDepth;
    widget->show();
    widget->raise();
    widget->activateWindow();
    const int result = loop.exec(QEventLoop::DialogExec);
    if (widget && widget->Owner() == this) {
        auto& looping = LoopingWindows();
        const auto mine = std::find(looping.rbegin(), looping.rend(), this);
        if (mine != looping.rend()) looping.erase(std::next(mine).base());
        // The object may be gone when its owner destroyed it from inside the loop.
        --m_modalDepth;
        if (!m_impl->loops.empty() && m_impl->loops.back() == &loop) m_impl->loops.pop_back();
        widget->hide();
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

void Window::DispatchResize() {
    if (!Exists()) return;
    if (m_kind != WindowKind::Child && Widget()->isVisible() && !IsMaximised() && !IsMinimised()) {
        m_impl->frameOffset = Widget()->geometry().topLeft() - Widget()->pos();
    }
    PlaceMenuBar();
    UpdateScrollBars();
    OnResize(ClientSize());
}

bool Window::DispatchKey(const KeyInput& input) {
    if (OnKey(input)) return true;
    if (m_kind != WindowKind::Dialog || input.action != KeyAction::Down) return false;
    if (input.code == kKeyEscape) {
        OnCommand(kCommandCancel);
        return true;
    }
    if (input.code == kKeyEnter) {
        // Enter presses the push button that has the focus, as dialogs do; otherwise (a check box
        // among them) it means OK.
        auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        const auto* control = dynamic_cast<const PushButton*>(Control::FromWidget(button));
        const bool checkable =
            control != nullptr
            && (control->Style() == ButtonStyle::CheckBox || control->Style() == ButtonStyle::PushLike);
        if (button != nullptr && Window::FromWidget(button) == this && !checkable) {
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

std::vector<Control*> Window::Controls() const {
    std::vector<Control*> controls;
    for (const auto& control : m_controls) controls.push_back(control.get());
    return controls;
}

void Window::AdoptControl(std::unique_ptr<Control> control) { m_controls.push_back(std::move(control)); }

void Window::DestroyControl(Control& control) {
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it) {
        if (it->get() == &control) {
            control.DetachHooks();
            std::unique_ptr<Control> going = std::move(*it);
            m_controls.erase(it);
            return;  // destroyed here, after it left the list
        }
    }
}

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

namespace {

bool SameClass(const std::string& a, const char* b) {
    std::string upper = a;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string other = b;
    for (char& c : other) c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper == other;
}

// A static text's alignment and wrapping from its style.
int LabelFormat(uint32_t style) {
    int format = 0;
    switch (style & kSsTypeMask) {
        case kSsCenter:
            format = kTextCentre | kTextWordWrap;
            break;
        case kSsRight:
            format = kTextRight | kTextWordWrap;
            break;
        case kSsLeftNoWordWrap:
        case kSsOwnerDraw:
            format = kTextLeft;
            break;
        default:
            format = kTextLeft | kTextWordWrap;
            break;
    }
    if (style & kSsCenterImage) format |= kTextVCentre;
    if (style & kSsNoPrefix) format |= kTextNoPrefix;
    return format;
}

ButtonStyle ButtonStyleOf(uint32_t style) {
    const uint32_t type = style & kBsTypeMask;
    if (type == kBsOwnerDraw) return ButtonStyle::OwnerDrawn;
    if (type == kBsCheckBox || type == kBsAutoCheckBox)
        return (style & kBsPushLike) ? ButtonStyle::PushLike : ButtonStyle::CheckBox;
    return type == kBsDefPushButton ? ButtonStyle::DefaultPush : ButtonStyle::Push;
}

}  // namespace

Control* Window::MakeTemplateControl(const DialogItem& item) {
    const std::string& cls = item.className;
    if (SameClass(cls, kClassButton)) return &AddControl<PushButton>(item.id, item.text, ButtonStyleOf(item.style));
    if (SameClass(cls, kClassStatic)) {
        const uint32_t type = item.style & kSsTypeMask;
        if (type == kSsIcon || type == kSsBitmap) return &AddControl<PictureView>(item.id);
        return &AddControl<Label>(item.id, item.text, LabelFormat(item.style));
    }
    if (SameClass(cls, kClassEdit)) return &AddControl<Edit>(item.id, item.text, item.style);
    if (SameClass(cls, kClassComboBox)) return &AddControl<ComboBox>(item.id);
    if (SameClass(cls, kClassProgress)) return &AddControl<ProgressBar>(item.id);
    if (SameClass(cls, kClassTrackBar)) return &AddControl<Slider>(item.id, (item.style & kTbsVert) != 0);
    if (SameClass(cls, kClassScrollBar) && (item.style & kSbsSizeGrip)) return &AddControl<SizeGrip>(item.id);
    if (const ControlMaker* maker = FindControlClass(cls)) return (*maker)(*this, item);
    // A list view that no maker claims is the layer's report list; its owner attaches a handler.
    if (SameClass(cls, kClassListView)) return &AddControl<ReportList>(item.id);
    return nullptr;
}

void Window::BuildFromTemplate(const DialogTemplate& dialogTemplate) {
    if (!dialogTemplate.title.empty()) SetTitle(dialogTemplate.title);
    for (const DialogItem& item : dialogTemplate.items) {
        Control* control = MakeTemplateControl(item);
        if (control == nullptr) continue;
        control->SetRect(DialogUnitsToPixels(item.units));
        if (item.style & kWsDisabled) control->Enable(false);
        if (!(item.style & kWsVisible)) control->Show(false);
    }
    if (m_kind == WindowKind::Child) return;  // a child window takes the size its parent gives it
    const Rect client = DialogUnitsToPixels(Rect{0, 0, dialogTemplate.units.width, dialogTemplate.units.height});
    if (dialogTemplate.style & kWsThickFrame)
        SetClientSize(Size{client.Width(), client.Height()});
    else
        SetFixedClientSize(Size{client.Width(), client.Height()});
}

void Window::MoveControls(const std::vector<std::pair<int, Rect>>& moves) {
    if (!Exists() || moves.empty()) return;
    const bool updates = Widget()->updatesEnabled();
    Widget()->setUpdatesEnabled(false);
    for (const auto& move : moves) {
        if (Control* control = FindControl(move.first)) control->SetRect(move.second);
    }
    Widget()->setUpdatesEnabled(updates);
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
void Window::OnControlNotify(int id, int code) {
    if (code == kNotifyClicked) OnCommand(id);
}
long Window::OnNotify(int, int, void*) { return 0; }
void Window::OnDropFiles(const std::vector<std::string>&) {}
void Window::OnMenuCommand(int id, bool) { OnCommand(id); }
void Window::OnMenuPopup(const std::vector<int>&) {}
void Window::OnIdle() {}

}  // namespace platform
