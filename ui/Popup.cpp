#include "ui/Popup.h"

#include "platform/window/Application.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Font.h"

#include <algorithm>

namespace UL {

int MouseMessageOf(const platform::WatchedMouse& mouse) {
    if (mouse.nonClient && mouse.action == platform::MouseAction::ButtonDown) {
        if (mouse.button == platform::MouseButton::Left) return kMessageNonClientLeftButtonDown;
        if (mouse.button == platform::MouseButton::Right) return kMessageNonClientRightButtonDown;
    }
    int first = kMessageLeftButtonDown;
    if (mouse.button == platform::MouseButton::Right) first = kMessageRightButtonDown;
    if (mouse.button == platform::MouseButton::Middle) first = kMessageMiddleButtonDown;
    switch (mouse.action) {
        case platform::MouseAction::ButtonUp:
            return first + 1;
        case platform::MouseAction::DoubleClick:
            return first + 2;
        default:
            return first;
    }
}

bool IMouseHookHandler::OnMouseHook(int, int, const platform::WatchedMouse*) { return false; }

CMouseHookManager& CMouseHookManager::GetInstance() {
    static CMouseHookManager manager;
    return manager;
}

void CMouseHookManager::Register(IMouseHookHandler* handler) {
    if (handler == nullptr) return;
    if (m_handlers.empty()) {
        m_hook = std::make_unique<platform::MouseHook>([this](const platform::WatchedMouse& mouse) {
            return HookProc(kHookAction, MouseMessageOf(mouse), mouse);
        });
    }
    m_handlers.insert(handler);
}

void CMouseHookManager::Unregister(IMouseHookHandler* handler) {
    if (m_handlers.erase(handler) != 0 && m_handlers.empty()) m_hook.reset();
}

bool CMouseHookManager::HookProc(int code, int message, const platform::WatchedMouse& mouse) {
    if (!m_enabled || code < 0) return false;
    // Over a copy: a handler may end its popup, and so leave, or make another, while it is asked.
    const std::set<IMouseHookHandler*> handlers = m_handlers;
    for (IMouseHookHandler* handler : handlers) {
        if (m_handlers.count(handler) == 0) continue;
        if (handler->OnMouseHook(code, message, &mouse)) return true;
    }
    return false;
}

namespace {

// Text size for sizing a popup; an empty text is measured as "|".
platform::Size MeasureForSize(const platform::FontSpec& font, const std::string& text) {
    return platform::MeasureText(font, text.empty() ? std::string("|") : text);
}

}  // namespace

// --- The edit

bool CPopupEdit::MakeEdit(platform::Window& host, int id) {
    const platform::Size size = host.ClientSize();
    auto& edit = MakeControl<platform::Edit>(CRect{0, 0, size.width, size.height}, host, id, std::string(),
                                             platform::kEsAutoHScroll);
    if (m_font) edit.SetFont(*m_font);
    PushState();
    AutoSize();
    return true;
}

bool CPopupEdit::CreateInPlace(const CRect& rect, CParentRef parent, const std::string& text, int selectionStart,
                               int selectionEnd, const std::optional<platform::FontSpec>& font, int id) {
    platform::Window* host = MakeHost(platform::WindowKind::Child, rect, parent);
    if (host == nullptr) return false;
    m_font = font;
    m_text = text;
    m_selStart = selectionStart;
    m_selEnd = selectionEnd;
    MakeEdit(*host, id);
    host->Show();
    return true;
}

bool CPopupEdit::CreatePopup(const CRect& screenRect, platform::Window* parent) {
    platform::Window* host = MakeHost(platform::WindowKind::Popup, screenRect, parent);
    return host != nullptr && MakeEdit(*host, 0);
}

bool CPopupEdit::Edit(const CRect& screenRect, std::string& text, const std::string& initialText, int selectionStart,
                      int selectionEnd, const CTextInfo* textInfo) {
    m_font.reset();
    if (textInfo != nullptr) m_font = MakeTextDrawing(*textInfo).font;
    m_text = AnsiToUtf8(initialText);
    m_selStart = selectionStart;
    m_selEnd = selectionEnd;
    m_cellRect = screenRect;
    const bool committed = DoModal(nullptr);
    text = GetText(kEncodingAnsi);
    return committed;
}

bool CPopupEdit::AcceptResult() {
    if (GetEdit() != nullptr) {
        m_text = GetEdit()->Text();
        RememberSelection();
    }
    return true;
}

void CPopupEdit::AutoSize() {
    platform::Edit* edit = GetEdit();
    if (edit == nullptr) return;
    const platform::Size text = MeasureForSize(edit->Font(), edit->Text());
    const int chrome = edit->GetRect().Width() - edit->FormattingRect().Width();
    const int width = std::max(chrome + text.width + 4, m_cellRect.Width());
    const int height = std::max(text.height + 4, m_cellRect.Height());
    const bool right = edit->Alignment() == platform::TextAlignment::Right;
    const int left = right ? m_cellRect.right - width : m_cellRect.left;
    SetHostRect(CRect{left, m_cellRect.top, left + width, m_cellRect.top + height});
}

// --- The drop-down list

bool CPopupComboBox::MakeCombo(platform::Window& host, int id) {
    const platform::Size size = host.ClientSize();
    MakeControl<platform::ComboBox>(CRect{0, 0, size.width, size.height}, host, id);
    PushState();
    AutoSize();
    return true;
}

bool CPopupComboBox::CreateInPlace(const CRect& rect, CParentRef parent, int selectedId, int id) {
    platform::Window* host = MakeHost(platform::WindowKind::Child, rect, parent);
    if (host == nullptr) return false;
    m_selectedId = selectedId;
    MakeCombo(*host, id);
    host->Show();
    return true;
}

bool CPopupComboBox::CreatePopup(const CRect& screenRect, platform::Window* parent) {
    platform::Window* host = MakeHost(platform::WindowKind::Popup, screenRect, parent);
    return host != nullptr && MakeCombo(*host, 0);
}

bool CPopupComboBox::AcceptResult() {
    if (GetComboBox() != nullptr) m_selectedId = GetItem(GetComboBox()->Selection()).first;
    return true;
}

bool CPopupComboBox::PassesAllKeys() const { return GetComboBox() != nullptr && GetComboBox()->IsDroppedDown(); }

void CPopupComboBox::AutoSize() {
    platform::ComboBox* combo = GetComboBox();
    if (combo == nullptr) return;
    const platform::FontSpec font = combo->Font();
    int widest = 0;
    for (int i = 0; i < combo->ItemCount(); ++i) {
        widest = std::max(widest, platform::MeasureText(font, combo->ItemText(i)).width);
    }
    const int width = std::max(widest + m_cellRect.Height() + platform::VerticalScrollBarWidth(), m_cellRect.Width());
    // The closed box takes the height its font needs.
    const int height = std::max(combo->PreferredHeight(), m_cellRect.Height());
    SetHostRect(CRect{m_cellRect.left, m_cellRect.top, m_cellRect.left + width, m_cellRect.top + height});
    // The item whose text the box shows.
    const int shown = combo->FindExact(combo->Text());
    if (shown >= 0) combo->SetSelection(shown);
}

// --- The spin edit

bool CPopupSpinEdit::MakeSpin(platform::Window& host, int id) {
    const double value = GetValue();
    const platform::Size size = host.ClientSize();
    auto& edit = MakeControl<platform::Edit>(CRect{0, 0, size.width, size.height}, host, id, FormatValue(value),
                                             platform::kEsAutoHScroll | platform::kEsRight);
    PreSubclassWindow();
    // The value as given, not as its text reads back: nothing changes unless the user changes it.
    SetValue(value);
    ShowValue();
    edit.SetSelection(m_selectionStart, m_selectionEnd);
    AutoSize();
    return true;
}

bool CPopupSpinEdit::CreateInPlace(const CRect& rect, CParentRef parent, double value, int selectionStart,
                                   int selectionEnd, int id) {
    platform::Window* host = MakeHost(platform::WindowKind::Child, rect, parent);
    if (host == nullptr) return false;
    SetValue(value);
    m_selectionStart = selectionStart;
    m_selectionEnd = selectionEnd;
    MakeSpin(*host, id);
    host->Show();
    return true;
}

bool CPopupSpinEdit::CreatePopup(const CRect& screenRect, platform::Window* parent) {
    platform::Window* host = MakeHost(platform::WindowKind::Popup, screenRect, parent);
    return host != nullptr && MakeSpin(*host, 0);
}

bool CPopupSpinEdit::AcceptResult() {
    if (GetEdit() != nullptr) GetEdit()->GetSelection(m_selectionStart, m_selectionEnd);
    return true;
}

void CPopupSpinEdit::AutoSize() {
    platform::Edit* edit = GetEdit();
    if (edit == nullptr) return;
    const platform::FontSpec font = edit->Font();
    const platform::Size text = MeasureForSize(font, edit->Text());
    const int chrome = edit->GetRect().Width() - edit->FormattingRect().Width();
    const int width = std::max(chrome + text.width + platform::MeasureFont(font).maxWidth + 4, m_cellRect.Width());
    const int height = std::max(text.height + 4, m_cellRect.Height());
    SetHostRect(CRect{m_cellRect.right - width, m_cellRect.top, m_cellRect.right, m_cellRect.top + height});
}

}  // namespace UL
