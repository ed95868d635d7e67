#include "platform/window/ReportList.h"

#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QAbstractItemModel>
#include <QAbstractScrollArea>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVector>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

// The header's sections and texts; the list has no rows in it, since the owner draws every row.
class HeaderModel final : public QAbstractItemModel {
public:
    explicit HeaderModel(QObject* parent) : QAbstractItemModel(parent) {}

    QModelIndex index(int, int, const QModelIndex&) const override { return QModelIndex(); }
    QModelIndex parent(const QModelIndex&) const override { return QModelIndex(); }
    int rowCount(const QModelIndex&) const override { return 0; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(m_texts.size()); }
    QVariant data(const QModelIndex&, int) const override { return QVariant(); }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= m_texts.size()) return QVariant();
        if (role == Qt::DisplayRole) return m_texts[section];
        if (role == Qt::TextAlignmentRole) return QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
        return QVariant();
    }

    int Count() const { return int(m_texts.size()); }
    void Insert(int index, const QString& text) {
        beginInsertColumns(QModelIndex(), index, index);
        m_texts.insert(index, text);
        endInsertColumns();
    }
    void Remove(int index) {
        beginRemoveColumns(QModelIndex(), index, index);
        m_texts.remove(index);
        endRemoveColumns();
    }
    void SetText(int index, const QString& text) {
        m_texts[index] = text;
        Q_EMIT headerDataChanged(Qt::Horizontal, index, index);
    }
    QString Text(int index) const { return m_texts[index]; }

private:
    QVector<QString> m_texts;
};

}  // namespace

// The toolkit side of a ReportList: a scroll area whose viewport the owner paints, with a header on top.
class ReportListWidget final : public QAbstractScrollArea {
public:
    ReportListWidget(ReportList* owner, QWidget* parent) : QAbstractScrollArea(parent), m_owner(owner) {
        setFocusPolicy(Qt::StrongFocus);
        viewport()->setAutoFillBackground(false);
        m_model = new HeaderModel(this);
        m_header = new QHeaderView(Qt::Horizontal, this);
        m_header->setModel(m_model);
        m_header->setSectionsMovable(false);
        m_header->setSectionsClickable(false);
        m_header->setHighlightSections(false);
        m_header->setStretchLastSection(false);
        m_header->setSortIndicatorShown(false);
        m_header->setMinimumSectionSize(0);
        m_header->setSectionResizeMode(QHeaderView::Interactive);
        m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_header->setFocusPolicy(Qt::NoFocus);
        verticalScrollBar()->setSingleStep(1);
        QObject::connect(m_header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
            if (m_applying) return;  // ours, applied by ApplyWidths
            // The user's drag gives the column its width.
            if (column >= 0 && column < int(m_given.size())) m_given[size_t(column)] = width;
            UpdateGeometries();
        });
        QObject::connect(m_header, &QHeaderView::sectionClicked, this, [this](int column) {
            ReportListHandler* h = Handler();
            if (h != nullptr && m_header->sectionsClickable()) h->OnListHeaderClick(column);
        });
        QObject::connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this, [this](int column) {
            if (ReportListHandler* h = Handler()) h->OnListDividerDoubleClick(column);
        });
        QObject::connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
            if (ReportListHandler* h = Handler()) h->OnListScroll(ScrollSource::VerticalBar);
        });
        QObject::connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int) {
            if (ReportListHandler* h = Handler()) h->OnListScroll(ScrollSource::HorizontalBar);
        });
        UpdateGeometries();
    }

    ~ReportListWidget() override {
        if (m_owner != nullptr) m_owner->NotifyDestroyed();
    }

    void Detach() { m_owner = nullptr; }
    QHeaderView* Header() const { return m_header; }
    HeaderModel& Model() { return *m_model; }
    const HeaderModel& Model() const { return *m_model; }
    void SetGridLines(bool on) {
        m_gridLines = on;
        viewport()->update();
    }

    int RowHeight() const { return m_owner != nullptr ? m_owner->ItemHeight() : 1; }
    int ItemCount() const { return m_owner != nullptr ? m_owner->ItemCount() : 0; }
    int CountPerPage() const { return std::max(0, viewport()->height() / std::max(1, RowHeight())); }

    // The columns as inserted and removed, each at the header's default width.
    void InsertColumn(int index, const QString& text) {
        m_model->Insert(index, text);
        m_given.insert(m_given.begin() + index, m_header->sectionSize(index));
        UpdateGeometries();
    }
    void RemoveColumn(int index) {
        m_model->Remove(index);
        m_given.erase(m_given.begin() + index);
        UpdateGeometries();
    }
    int GivenWidth(int column) const { return m_given[size_t(column)]; }
    void SetGivenWidth(int column, int width) {
        m_given[size_t(column)] = width;
        UpdateGeometries();
    }

    void UpdateGeometries() {
        const int headerHeight = m_header->sizeHint().height();
        if (viewportMargins().top() != headerHeight) setViewportMargins(0, headerHeight, 0, 0);
        const QRect area = viewport()->geometry();
        m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
        ApplyWidths();
        const int perPage = CountPerPage();
        QScrollBar* v = verticalScrollBar();
        v->setPageStep(std::max(1, perPage));
        v->setRange(0, std::max(0, ItemCount() - perPage));
        QScrollBar* h = horizontalScrollBar();
        h->setPageStep(std::max(1, area.width()));
        h->setSingleStep(std::max(1, fontMetrics().height()));
        h->setRange(0, std::max(0, m_header->length() - area.width()));
        m_header->setOffset(h->value());
        viewport()->update();
    }

protected:
    bool event(QEvent* e) override {
        const bool handled = QAbstractScrollArea::event(e);
        // Over the list's border, in the selection colour, while it holds the keyboard: that shows also
        // where no row is current yet (a list just shown, or an empty one).
        if (e->type() == QEvent::Paint && hasFocus()) {
            QPainter painter(this);
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
        return handled;
    }
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(viewport());
        std::vector<Rect> rects;
        for (const QRect& r : event->region()) rects.push_back(FromQRect(r));
        const QRect bounds = event->rect();
        painter.fillRect(bounds, palette().color(QPalette::Base));
        ReportListHandler* handler = Handler();
        if (handler == nullptr || ItemCount() == 0) return;
        DrawContext dc(painter, std::move(rects));
        const int rowHeight = std::max(1, RowHeight());
        const int top = verticalScrollBar()->value();
        const int first = top + std::max(0, bounds.top()) / rowHeight;
        const int last = std::min(ItemCount() - 1, top + std::max(0, bounds.bottom()) / rowHeight);
        for (int item = first; item <= last; ++item) {
            const Rect itemRect = m_owner->ItemRect(item);
            if (itemRect.IsEmpty() || !dc.IsRectVisible(itemRect)) continue;
            painter.save();
            handler->OnListDrawItem(dc, item, itemRect);
            painter.restore();
        }
        if (m_gridLines && first <= last) DrawGridLines(painter, first, last);
    }

    void mousePressEvent(QMouseEvent* e) override { Mouse(e, MouseAction::ButtonDown); }
    void mouseReleaseEvent(QMouseEvent* e) override { Mouse(e, MouseAction::ButtonUp); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Mouse(e, MouseAction::DoubleClick); }
    void mouseMoveEvent(QMouseEvent* e) override { Mouse(e, MouseAction::Move); }
    void keyPressEvent(QKeyEvent* e) override { Key(e, KeyAction::Down); }
    void keyReleaseEvent(QKeyEvent* e) override {
        // A held key repeats its presses only, as the owner expects.
        if (e->isAutoRepeat()) {
            e->accept();
            return;
        }
        Key(e, KeyAction::Up);
    }
    void focusInEvent(QFocusEvent* e) override {
        QAbstractScrollArea::focusInEvent(e);
        update();  // the border
        if (ReportListHandler* h = Handler()) h->OnListFocusChanged(true);
    }
    void focusOutEvent(QFocusEvent* e) override {
        QAbstractScrollArea::focusOutEvent(e);
        update();
        if (ReportListHandler* h = Handler()) h->OnListFocusChanged(false);
    }
    void wheelEvent(QWheelEvent* e) override {
        if (ReportListHandler* h = Handler()) h->OnListScroll(ScrollSource::Wheel);
        QAbstractScrollArea::wheelEvent(e);
    }
    void resizeEvent(QResizeEvent* e) override {
        QAbstractScrollArea::resizeEvent(e);
        UpdateGeometries();
    }
    void scrollContentsBy(int, int) override {
        m_header->setOffset(horizontalScrollBar()->value());
        viewport()->update();
    }
    void changeEvent(QEvent* e) override {
        QAbstractScrollArea::changeEvent(e);
        if (e->type() == QEvent::FontChange && m_owner != nullptr) {
            m_owner->RemeasureItems();
            UpdateGeometries();
        }
    }

private:
    ReportListHandler* Handler() const { return m_owner != nullptr ? m_owner->Handler() : nullptr; }

    void Mouse(QMouseEvent* e, MouseAction action) {
        ReportListHandler* handler = Handler();
        const Qt::MouseButton button = e->button();
        if (handler == nullptr
            || (action != MouseAction::Move && button != Qt::LeftButton && button != Qt::RightButton)) {
            e->ignore();
            return;
        }
        MouseInput input;
        input.action = action;
        input.point = Point{int(e->position().x()), int(e->position().y())};
        input.modifiers = TranslateModifiers(e->modifiers().toInt());
        if (button == Qt::RightButton) input.modifiers |= kModRightButton;
        input.leftHeld = (e->buttons() & Qt::LeftButton) != 0;
        input.rightHeld = (e->buttons() & Qt::RightButton) != 0;
        handler->OnListMouse(input);
    }

    void Key(QKeyEvent* e, KeyAction action) {
        ReportListHandler* handler = Handler();
        KeyInput input;
        input.action = action;
        input.code = TranslateKey(e->key(), (e->modifiers() & Qt::KeypadModifier) != 0);
        input.modifiers = TranslateModifiers(e->modifiers().toInt());
        input.autoRepeat = e->isAutoRepeat();
        if (handler != nullptr && handler->OnListKey(input))
            e->accept();
        else
            e->ignore();
    }

    // Every column at its given width, except that the last one fills what is left of the item area:
    // the header and the rows span the whole list, however wide it grows.
    void ApplyWidths() {
        const int count = m_header->count();
        if (m_applying || count == 0 || count != int(m_given.size())) return;
        m_applying = true;
        for (int column = 0; column < count; ++column) {
            int width = m_given[size_t(column)];
            if (column == count - 1) width = std::max(width, viewport()->width() - m_header->sectionPosition(column));
            if (m_header->sectionSize(column) != width) m_header->resizeSection(column, width);
        }
        m_applying = false;
    }

    void DrawGridLines(QPainter& painter, int first, int last) {
        const QColor colour = ToQColor(GetSystemColour(SystemColour::ButtonFace));
        const int rowHeight = std::max(1, RowHeight());
        const int top = verticalScrollBar()->value();
        const int offset = horizontalScrollBar()->value();
        const int right = m_header->length() - offset;
        const int bottom = (last - top + 1) * rowHeight;
        for (int item = first; item <= last; ++item) {
            const int y = (item - top + 1) * rowHeight - 1;
            painter.fillRect(QRect(-offset, y, right + offset, 1), colour);
        }
        for (int column = 0; column < m_header->count(); ++column) {
            const int x = m_header->sectionPosition(column) + m_header->sectionSize(column) - offset - 1;
            painter.fillRect(QRect(x, (first - top) * rowHeight, 1, bottom - (first - top) * rowHeight), colour);
        }
    }

    ReportList* m_owner;
    QHeaderView* m_header;
    HeaderModel* m_model;
    bool m_gridLines = false;
    std::vector<int> m_given;  // each column's own width
    bool m_applying = false;
};

namespace {
ReportListWidget* ListWidget(const ReportList& list) { return static_cast<ReportListWidget*>(list.Widget()); }
}  // namespace

ReportList::ReportList(Window& parent, int id, ReportListHandler* handler) : Control(parent, id), m_handler(handler) {
    if (!parent.Exists()) return;
    auto* widget = new ReportListWidget(this, parent.Widget());
    Attach(widget);
    RemeasureItems();
}

ReportList::~ReportList() {
    NotifyDestroyed();
    if (ReportListWidget* widget = ListWidget(*this)) widget->Detach();
}

void ReportList::NotifyDestroyed() {
    if (m_destroyNotified) return;
    m_destroyNotified = true;
    ReportListHandler* handler = m_handler;
    m_handler = nullptr;
    if (handler != nullptr) handler->OnListDestroyed();
}

void ReportList::SetHandler(ReportListHandler* handler) {
    m_handler = handler;
    RemeasureItems();
}

void ReportList::Detach() {
    m_handler = nullptr;
    m_destroyNotified = true;
    if (ReportListWidget* widget = ListWidget(*this)) {
        widget->Detach();
        delete widget;
    }
}

int ReportList::ColumnCount() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->Model().Count() : 0;
}

void ReportList::InsertColumn(int index, const std::string& text) {
    ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr) return;
    const int count = widget->Model().Count();
    widget->InsertColumn(std::clamp(index, 0, count), ToQString(text));
}

bool ReportList::DeleteColumn(int index) {
    ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || index < 0 || index >= widget->Model().Count()) return false;
    widget->RemoveColumn(index);
    return true;
}

void ReportList::SetColumnText(int column, const std::string& text) {
    ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return;
    widget->Model().SetText(column, ToQString(text));
}

std::string ReportList::ColumnText(int column) const {
    const ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return std::string();
    return FromQString(widget->Model().Text(column));
}

int ReportList::ColumnWidth(int column) const {
    const ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return 0;
    return widget->Header()->sectionSize(column);
}

void ReportList::SetColumnWidth(int column, int width) {
    ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return;
    widget->SetGivenWidth(column, std::max(0, width));
}

int ReportList::ColumnGivenWidth(int column) const {
    const ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return 0;
    return widget->GivenWidth(column);
}

void ReportList::FitColumnToHeader(int column) {
    ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return;
    SetColumnWidth(column, widget->Header()->sectionSizeHint(column));
}

int ReportList::ColumnLeft(int column) const {
    const ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || column < 0 || column >= widget->Model().Count()) return 0;
    return widget->Header()->sectionPosition(column);
}

int ReportList::TotalColumnWidth() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->Header()->length() : 0;
}

void ReportList::SetHeaderClickable(bool clickable) {
    if (ReportListWidget* widget = ListWidget(*this)) widget->Header()->setSectionsClickable(clickable);
}

bool ReportList::IsHeaderClickable() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr && widget->Header()->sectionsClickable();
}

int ReportList::HeaderHeight() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->Header()->height() : 0;
}

void ReportList::SetItemCount(int count) {
    m_itemCount = std::max(0, count);
    if (m_selectionMark >= m_itemCount) m_selectionMark = -1;
    if (ReportListWidget* widget = ListWidget(*this)) widget->UpdateGeometries();
}

void ReportList::RemeasureItems() {
    if (m_handler != nullptr) m_itemHeight = std::max(1, m_handler->OnListMeasureItem());
    if (ReportListWidget* widget = ListWidget(*this)) widget->UpdateGeometries();
}

int ReportList::TopIndex() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->verticalScrollBar()->value() : 0;
}

int ReportList::CountPerPage() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->CountPerPage() : 0;
}

Rect ReportList::ItemRect(int item) const {
    if (!Exists() || item < 0 || item >= m_itemCount) return Rect{};
    const int offset = HorizontalPosition();
    const int top = (item - TopIndex()) * m_itemHeight;
    return Rect{-offset, top, TotalColumnWidth() - offset, top + m_itemHeight};
}

Rect ReportList::SubItemRect(int item, int column) const {
    if (!Exists() || item < 0 || item >= m_itemCount || column < 0 || column >= ColumnCount()) return Rect{};
    const Rect row = ItemRect(item);
    const int left = ColumnLeft(column) - HorizontalPosition();
    return Rect{left, row.top, left + ColumnWidth(column), row.bottom};
}

ListHit ReportList::HitTest(Point point) const {
    ListHit hit;
    if (!Exists() || point.y < 0 || point.y >= ClientSize().height || point.x < 0) return hit;
    const int item = TopIndex() + point.y / m_itemHeight;
    if (item >= m_itemCount) return hit;
    hit.item = item;
    const int x = point.x + HorizontalPosition();
    for (int column = 0; column < ColumnCount(); ++column) {
        const int left = ColumnLeft(column);
        if (x >= left && x < left + ColumnWidth(column)) {
            hit.column = column;
            break;
        }
    }
    return hit;
}

void ReportList::Scroll(int dx, int dy) {
    ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr) return;
    if (dx != 0) widget->horizontalScrollBar()->setValue(widget->horizontalScrollBar()->value() + dx);
    if (dy != 0) {
        int rows = dy / m_itemHeight;
        if (dy % m_itemHeight != 0) rows += dy > 0 ? 1 : -1;
        widget->verticalScrollBar()->setValue(widget->verticalScrollBar()->value() + rows);
    }
}

int ReportList::HorizontalPosition() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->horizontalScrollBar()->value() : 0;
}

Size ReportList::ClientSize() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? Size{widget->viewport()->width(), widget->viewport()->height()} : Size{};
}

Rect ReportList::WindowScreenRect() const {
    const QWidget* widget = Widget();
    if (widget == nullptr) return Rect{};
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return Rect{origin.x(), origin.y(), origin.x() + widget->width(), origin.y() + widget->height()};
}

Point ReportList::ClientToScreen(Point point) const {
    const ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr) return point;
    const QPoint global = widget->viewport()->mapToGlobal(QPoint(point.x, point.y));
    return Point{global.x(), global.y()};
}

Point ReportList::ClientToWindow(Point point) const {
    const ReportListWidget* widget = ListWidget(*this);
    if (widget == nullptr || !Parent().Exists()) return point;
    const QPoint mapped = widget->viewport()->mapTo(Parent().Widget(), QPoint(point.x, point.y));
    return Point{mapped.x(), mapped.y()};
}

void ReportList::SetRedraw(bool on) {
    if (ReportListWidget* widget = ListWidget(*this)) widget->viewport()->setUpdatesEnabled(on);
}

void ReportList::InvalidateItem(int item) {
    const Rect area = ItemRect(item);
    if (area.IsEmpty()) return;
    if (ReportListWidget* widget = ListWidget(*this)) widget->viewport()->update(ToQRect(area));
}

void ReportList::InvalidateAll() {
    if (ReportListWidget* widget = ListWidget(*this)) widget->viewport()->update();
}

void ReportList::SetGridLines(bool on) {
    if (ReportListWidget* widget = ListWidget(*this)) widget->SetGridLines(on);
}

int ReportList::TextWidth(const std::string& utf8) const {
    const QWidget* widget = Widget();
    if (widget == nullptr) return 0;
    return widget->fontMetrics().horizontalAdvance(ToQString(utf8));
}

FontMetrics ReportList::ListFontMetrics() const {
    const QWidget* widget = Widget();
    if (widget == nullptr) return FontMetrics{};
    const QFontMetrics fm = widget->fontMetrics();
    return FontMetrics{fm.height(), fm.ascent(), fm.averageCharWidth(), fm.maxWidth()};
}

bool ReportList::HasFocus() const { return Widget() != nullptr && Widget()->hasFocus(); }

QWidget* ReportList::ClientWidget() const { return ItemArea(); }

QWidget* ReportList::ItemArea() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->viewport() : nullptr;
}

QWidget* ReportList::HeaderWidget() const {
    const ReportListWidget* widget = ListWidget(*this);
    return widget != nullptr ? widget->Header() : nullptr;
}

}  // namespace platform
