#include "platform/window/TextControls.h"

#include "platform/window/DialogTemplate.h"
#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>

#include <algorithm>

namespace platform {

namespace {

class LayerLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    QRect Caret() const { return cursorRect(); }
    // The area the text is drawn in, as the toolkit's own painting computes it.
    QRect TextArea() const {
        QStyleOptionFrame option;
        initStyleOption(&option);
        QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
        const QMargins margins = textMargins();
        return area.marginsRemoved(margins);
    }
};

class LayerComboBox : public QComboBox {
public:
    LayerComboBox(Control* control, QWidget* parent) : QComboBox(parent), m_control(control) {}
    void Forget() { m_control = nullptr; }
    void showPopup() override {
        if (m_control != nullptr) {
            DispatchScope scope(this);
            m_control->Notify(kNotifyDroppedDown);
        }
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        if (m_control != nullptr) {
            DispatchScope scope(this);
            m_control->Notify(kNotifyClosedUp);
        }
    }
    bool settingSelection = false;

private:
    Control* m_control;
};

// A one-line edit takes what is pasted or dropped into it up to its first line or paragraph break, as
// the desktop's own edit controls do, and drops the other control characters of it (C0, DEL, C1): names
// never hold them, and the player cannot show them. Texts the program sets are taken as they are.
class OneLineValidator : public QValidator {
public:
    explicit OneLineValidator(QLineEdit* edit) : QValidator(edit), m_last(edit->text()) {}
    State validate(QString& input, int& pos) const override {
        if (!programSetting) TakeFirstLine(input, pos);
        m_last = input;
        return Acceptable;
    }
    mutable bool programSetting = false;  // set around the program's own SetText

private:
    static bool IsBreak(QChar c) {
        const char16_t u = c.unicode();
        return u == 0x0A || u == 0x0D || u == 0x85 || u == 0x2028 || u == 0x2029;
    }
    static bool IsControl(QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    }
    static bool IsUnwanted(QChar c) { return IsControl(c) || IsBreak(c); }
    // What was inserted lies between the text kept before it and the text kept after the caret.
    void TakeFirstLine(QString& input, int& pos) const {
        if (std::none_of(input.begin(), input.end(), IsUnwanted)) return;
        const int size = int(input.size());
        const int old = int(m_last.size());
        const int afterCaret = size - std::clamp(pos, 0, size);
        int suffix = 0;
        while (suffix < std::min(afterCaret, old) && input[size - 1 - suffix] == m_last[old - 1 - suffix]) ++suffix;
        int prefix = 0;
        while (prefix < std::min(old, size) - suffix && input[prefix] == m_last[prefix]) ++prefix;
        QString inserted = input.mid(prefix, size - suffix - prefix);
        const auto lineEnd = std::find_if(inserted.begin(), inserted.end(), IsBreak);
        inserted.truncate(int(lineEnd - inserted.begin()));
        inserted.removeIf(IsControl);
        input = input.left(prefix) + inserted + input.right(suffix);
        pos = prefix + int(inserted.size());
    }
    mutable QString m_last;
};

LayerLineEdit* LineEdit(const Control* control) { return static_cast<LayerLineEdit*>(control->Widget()); }
LayerComboBox* Combo(const Control* control) { return static_cast<LayerComboBox*>(control->Widget()); }

}  // namespace

Edit::Edit(Window& parent, int id, const std::string& text, uint32_t style) : Control(parent, id) {
    if (!parent.Exists()) return;
    auto* edit = new LayerLineEdit(ToQString(text), parent.Widget());
    Attach(edit);
    SetAlignment((style & kEsRight) && !(style & kEsCenter) ? TextAlignment::Right
                 : (style & kEsCenter)                      ? TextAlignment::Centre
                                                            : TextAlignment::Left);
    edit->setReadOnly((style & kEsReadOnly) != 0);
    edit->setValidator(new OneLineValidator(edit));
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this, edit] {
        DispatchScope scope(edit);
        Notify(kNotifyTextUpdated);
        if (ControlStillOwns(edit, this)) Notify(kNotifyTextChanged);
    });
}

void Edit::SetText(const std::string& utf8) {
    if (!Widget()) return;
    const auto* validator = static_cast<const OneLineValidator*>(LineEdit(this)->validator());
    validator->programSetting = true;
    LineEdit(this)->setText(ToQString(utf8));
    validator->programSetting = false;
}
std::string Edit::Text() const { return Widget() ? FromQString(LineEdit(this)->text()) : std::string(); }
int Edit::TextLength() const { return Widget() ? int(LineEdit(this)->text().size()) : 0; }

void Edit::SetSelection(int start, int end) {
    if (!Widget()) return;
    LayerLineEdit* edit = LineEdit(this);
    const int length = int(edit->text().size());
    if (start < 0) {
        edit->deselect();
        return;
    }
    if (end < 0 || end > length) end = length;
    if (start > length) start = length;
    edit->setSelection(start, end - start);  // the caret ends at `end`
}

void Edit::GetSelection(int& start, int& end) const {
    start = end = 0;
    if (!Widget()) return;
    LayerLineEdit* edit = LineEdit(this);
    if (edit->hasSelectedText()) {
        start = edit->selectionStart();
        end = edit->selectionEnd();
    } else {
        start = end = edit->cursorPosition();
    }
}

bool Edit::IsAllSelected() const {
    if (!Widget()) return false;
    LayerLineEdit* edit = LineEdit(this);
    return !edit->text().isEmpty() && edit->selectedText() == edit->text();
}

int Edit::CaretIndex() const { return Widget() ? LineEdit(this)->cursorPosition() : 0; }

void Edit::SetCaretIndex(int index) {
    if (!Widget()) return;
    LayerLineEdit* edit = LineEdit(this);
    edit->deselect();
    edit->setCursorPosition(std::clamp(index, 0, int(edit->text().size())));
}

Point Edit::CaretPosition() const {
    if (!Widget()) return Point{};
    const QRect caret = LineEdit(this)->Caret();
    return Point{caret.center().x(), caret.top()};
}

void Edit::SetReadOnly(bool readOnly) {
    if (Widget()) LineEdit(this)->setReadOnly(readOnly);
}
bool Edit::IsReadOnly() const { return Widget() != nullptr && LineEdit(this)->isReadOnly(); }

void Edit::SetAlignment(TextAlignment alignment) {
    if (!Widget()) return;
    const Qt::Alignment horizontal = alignment == TextAlignment::Right    ? Qt::AlignRight
                                     : alignment == TextAlignment::Centre ? Qt::AlignHCenter
                                                                          : Qt::AlignLeft;
    LineEdit(this)->setAlignment(horizontal | Qt::AlignVCenter);
}

TextAlignment Edit::Alignment() const {
    if (!Widget()) return TextAlignment::Left;
    const Qt::Alignment align = LineEdit(this)->alignment();
    return (align & Qt::AlignRight)     ? TextAlignment::Right
           : (align & Qt::AlignHCenter) ? TextAlignment::Centre
                                        : TextAlignment::Left;
}

void Edit::SetMargins(int left, int right) {
    if (Widget()) LineEdit(this)->setTextMargins(left, 0, right, 0);
}
int Edit::LeftMargin() const { return Widget() ? LineEdit(this)->textMargins().left() : 0; }
int Edit::RightMargin() const { return Widget() ? LineEdit(this)->textMargins().right() : 0; }
Rect Edit::FormattingRect() const { return Widget() ? FromQRect(LineEdit(this)->TextArea()) : Rect{}; }

void Edit::SetColours(Colour text, Colour back) {
    if (!Widget()) return;
    QPalette palette = Widget()->palette();
    palette.setColor(QPalette::Text, ToQColor(text));
    palette.setColor(QPalette::Base, ToQColor(back));
    Widget()->setPalette(palette);
}

ComboBox::ComboBox(Window& parent, int id) : Control(parent, id) {
    if (!parent.Exists()) return;
    auto* combo = new LayerComboBox(this, parent.Widget());
    combo->setEditable(false);
    Attach(combo);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [this, combo] {
        if (combo->settingSelection) return;
        DispatchScope scope(combo);
        Notify(kNotifySelectionChanged);
    });
}

ComboBox::~ComboBox() {
    if (Widget()) Combo(this)->Forget();
}

void ComboBox::SetItems(const std::vector<std::string>& texts) {
    if (!Widget()) return;
    LayerComboBox* combo = Combo(this);
    combo->settingSelection = true;
    combo->clear();
    for (const std::string& text : texts) combo->addItem(ToQString(text));
    combo->setCurrentIndex(-1);
    combo->settingSelection = false;
}

int ComboBox::ItemCount() const { return Widget() ? Combo(this)->count() : 0; }

std::string ComboBox::ItemText(int index) const {
    if (!Widget() || index < 0 || index >= Combo(this)->count()) return std::string();
    return FromQString(Combo(this)->itemText(index));
}

void ComboBox::SetSelection(int index) {
    if (!Widget()) return;
    LayerComboBox* combo = Combo(this);
    combo->settingSelection = true;
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    combo->settingSelection = false;
}

int ComboBox::Selection() const { return Widget() ? Combo(this)->currentIndex() : -1; }

int ComboBox::FindExact(const std::string& utf8) const {
    if (!Widget()) return -1;
    return Combo(this)->findText(ToQString(utf8), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

std::string ComboBox::Text() const { return ItemText(Selection()); }
void ComboBox::SetText(const std::string& utf8) { SetSelection(FindExact(utf8)); }

void ComboBox::ShowDropDown(bool show) {
    if (!Widget()) return;
    if (show)
        Combo(this)->showPopup();
    else
        Combo(this)->hidePopup();
}

bool ComboBox::IsDroppedDown() const {
    return Widget() != nullptr && Combo(this)->view() != nullptr && Combo(this)->view()->isVisible();
}

int ComboBox::PreferredHeight() const { return Widget() ? Combo(this)->sizeHint().height() : 0; }

}  // namespace platform
