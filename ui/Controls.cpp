#include "ui/Controls.h"

#include "general_tools/CharacterCodeConverter.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/DrawContext.h"

#include <algorithm>

namespace UL {

namespace {

constexpr size_t kMaxFaceLength = 31;  // what a font description holds

platform::Colour HighBytes(const CTextInfo::CColour& colour) {
    return platform::Colour{uint8_t(colour.red >> 8), uint8_t(colour.green >> 8), uint8_t(colour.blue >> 8)};
}

// The window layer's look of a button for template style bits, and back.
platform::ButtonStyle ToLayerStyle(uint32_t style) {
    const uint32_t type = style & platform::kBsTypeMask;
    if (type == platform::kBsOwnerDraw) return platform::ButtonStyle::OwnerDrawn;
    if (type == platform::kBsCheckBox || type == platform::kBsAutoCheckBox) {
        return (style & platform::kBsPushLike) ? platform::ButtonStyle::PushLike : platform::ButtonStyle::CheckBox;
    }
    return type == platform::kBsDefPushButton ? platform::ButtonStyle::DefaultPush : platform::ButtonStyle::Push;
}

uint32_t FromLayerStyle(platform::ButtonStyle style) {
    switch (style) {
        case platform::ButtonStyle::DefaultPush:
            return platform::kBsDefPushButton;
        case platform::ButtonStyle::CheckBox:
            return platform::kBsAutoCheckBox;
        case platform::ButtonStyle::PushLike:
            return platform::kBsAutoCheckBox | platform::kBsPushLike;
        case platform::ButtonStyle::OwnerDrawn:
            return platform::kBsOwnerDraw;
        case platform::ButtonStyle::Push:
            break;
    }
    return platform::kBsPushButton;
}

void ApplyTextDrawing(platform::DrawContext& dc, const CTextDrawing& drawing) {
    if (drawing.font) dc.SetFont(*drawing.font);
    dc.SetTextColour(drawing.textColour);
    dc.SetBackColour(drawing.backColour);
    if (drawing.backgroundMode == 0) dc.SetOpaqueBackground(true);
    if (drawing.backgroundMode == 1) dc.SetOpaqueBackground(false);
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
    const GT::ICharacterCodeConverter& converter = GT::GetCharacterCodeConverter();
    return converter.ToUtf8(converter.FromAnsi(ansi));
}

std::string Utf8ToAnsi(const std::string& utf8) {
    const GT::ICharacterCodeConverter& converter = GT::GetCharacterCodeConverter();
    return converter.ToAnsi(converter.FromUtf8(utf8));
}

CTextInfo::CTextInfo(const std::string& face, int height, CColour textColour, CColour backColour, bool vertical,
                     int horizontalAlignment, int verticalAlignment, int backgroundMode)
    : m_face(face.substr(0, kMaxFaceLength)),
      m_height(height),
      m_textColour(textColour),
      m_backColour(backColour),
      m_vertical(vertical),
      m_horizontalAlignment(horizontalAlignment),
      m_verticalAlignment(verticalAlignment),
      m_backgroundMode(backgroundMode) {}

CTextDrawing MakeTextDrawing(const CTextInfo& info) {
    CTextDrawing drawing;
    platform::FontSpec font;
    font.face = info.GetFace();
    font.pixelHeight = std::max(info.GetHeight(), 0);
    font.weight = 400;
    font.angleTenths = info.IsVertical() ? 900 : 0;
    drawing.font = font;
    drawing.textColour = HighBytes(info.GetTextColour());
    drawing.backColour = HighBytes(info.GetBackColour());
    drawing.format = platform::kTextNoPrefix | platform::kTextSingleLine;
    if (info.GetHorizontalAlignment() == 1) drawing.format |= platform::kTextCentre;
    if (info.GetHorizontalAlignment() == 2) drawing.format |= platform::kTextRight;
    if (info.GetVerticalAlignment() == 1) drawing.format |= platform::kTextVCentre;
    if (info.GetVerticalAlignment() == 2) drawing.format |= platform::kTextBottom;
    drawing.backgroundMode =
        (info.GetBackgroundMode() == 0 || info.GetBackgroundMode() == 1) ? info.GetBackgroundMode() : -1;
    return drawing;
}

// --- CControlBase

CControlBase::~CControlBase() {
    if (m_control != nullptr) m_control->SetHooks(nullptr);
}

int CControlBase::GetDlgCtrlID() const { return m_control != nullptr ? m_control->Id() : 0; }

void CControlBase::Bind(platform::Control& control) {
    if (m_control != nullptr && m_control != &control) m_control->SetHooks(nullptr);
    m_control = &control;
    control.SetHooks(this);
}

bool CControlBase::SubclassDlgItem(int id, platform::Window& parent) {
    platform::Control* control = parent.FindControl(id);
    if (control == nullptr || !IsRightKind(*control) || control->Hooks() != nullptr) return false;
    m_creating = false;
    Bind(*control);
    PreSubclassWindow();
    return true;
}

void CControlBase::AttachCreated(platform::Control& control) { Bind(control); }

void CControlBase::DestroyWindow() {
    if (m_control == nullptr) return;
    platform::Control* control = m_control;
    control->Parent().DestroyControl(*control);  // tells OnControlDestroyed, which forgets it
    m_control = nullptr;
}

void CControlBase::OnControlDestroyed(platform::Control&) { m_control = nullptr; }

// --- Buttons

void AButton::Setup(bool toggle, boost::shared_ptr<CStatePicture> picture, const std::string& text,
                    boost::shared_ptr<CTextInfo> textInfo) {
    m_toggle = toggle;
    m_picture = std::move(picture);
    SetText(text);
    SetTextInfo(std::move(textInfo));
}

int ButtonStateIndex(bool enabled, bool toggle, bool checked, bool selected, bool focused) {
    if (!enabled) return !toggle ? 2 : (checked ? 5 : 4);
    if (selected) return toggle && checked ? 3 : 1;
    if (focused) return !toggle ? 3 : (checked ? 7 : 6);
    return toggle && checked ? 2 : 0;
}

uint32_t ButtonStyleAfterSetup(uint32_t style, bool withPicture, bool toggle) {
    constexpr uint32_t kOwnerDrawBits = platform::kBsOwnerDraw;  // 0xB
    constexpr uint32_t kCheckBits = platform::kBsAutoCheckBox;   // 3
    if (withPicture) {
        // Only a plain push button becomes owner-drawn.
        return (style & kOwnerDrawBits) == 0 ? style | platform::kBsOwnerDraw : style;
    }
    uint32_t result = style;
    if (result & kOwnerDrawBits) result &= ~kOwnerDrawBits;
    if (toggle) result |= platform::kBsAutoCheckBox;
    if ((style & kCheckBits) == 0) result |= platform::kBsPushLike;
    return result;
}

bool CButtonA::Create(const std::string& ansiText, uint32_t style, const CRect& rect, CParentRef parent, int id) {
    auto& button = MakeControl<platform::PushButton>(rect, parent, id, AnsiToUtf8(ansiText), ToLayerStyle(style));
    m_text = ansiText;
    button.Enable(m_enabled);
    button.SetChecked(m_checked);
    return true;
}

bool CButtonA::IsRightKind(const platform::Control& control) const {
    return dynamic_cast<const platform::PushButton*>(&control) != nullptr;
}

void CButtonA::PreSubclassWindow() { m_enabled = m_control->IsEnabled(); }

uint32_t CButtonA::GetButtonStyle() const { return HasWindow() ? FromLayerStyle(Button()->Style()) : 0; }

void CButtonA::SetButtonStyle(uint32_t style) {
    if (HasWindow()) Button()->SetStyle(ToLayerStyle(style));
}

void CButtonA::Setup(bool toggle, boost::shared_ptr<CStatePicture> picture, const std::string& text,
                     boost::shared_ptr<CTextInfo> textInfo) {
    const uint32_t style = GetButtonStyle();
    const bool withPicture = picture != nullptr;
    SetButtonStyle(ButtonStyleAfterSetup(style, withPicture, toggle));
    if (withPicture) {
        AButton::Setup(toggle, picture, text, std::move(textInfo));
        const CSize size = picture->GetStateSize();
        if (HasWindow() && size.width != 0 && size.height != 0) {
            const CRect r = m_control->GetRect();
            m_control->SetRect(CRect{r.left, r.top, r.left + size.width, r.top + size.height});
        }
    } else {
        AButton::Setup(toggle, nullptr, text, std::move(textInfo));
    }
    if (HasWindow()) m_control->Invalidate();
}

void CButtonA::SetText(const std::string& ansiText) {
    m_text = ansiText;
    if (CanPush()) m_control->SetText(AnsiToUtf8(ansiText));
}

void CButtonA::SetTextInfo(boost::shared_ptr<CTextInfo> textInfo) {
    m_textInfo = std::move(textInfo);
    m_drawing = m_textInfo ? MakeTextDrawing(*m_textInfo) : CTextDrawing{};
    if (HasWindow()) m_control->Invalidate();
}

void CButtonA::SetChecked(bool checked) {
    m_checked = checked;
    if (CanPush()) {
        Button()->SetChecked(checked);
        m_control->Invalidate();
    }
}

void CButtonA::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (CanPush()) m_control->Enable(enabled);
}

int CButtonA::GetDrawnState() const {
    const bool selected = HasWindow() && Button()->IsPressed();
    const bool focused = HasWindow() && m_control->HasFocus();
    return ButtonStateIndex(m_enabled, m_toggle, m_checked, selected, focused);
}

void CButtonA::FireClicked() {
    const CButtonEvent event(this);
    const std::vector<IButtonEventListener*> listeners = m_listeners;
    for (IButtonEventListener* listener : listeners) listener->OnButtonClicked(event);
}

bool CButtonA::OnControlNotify(platform::Control&, int code) {
    if (code == platform::kNotifyClicked && m_enabled) {
        if (m_toggle) SetChecked(!m_checked);
        FireClicked();
    }
    return false;  // the parent's own handling follows
}

bool CButtonA::OnControlPaint(platform::Control& control, platform::DrawContext& dc, const platform::ItemState& state) {
    if (Button()->Style() != platform::ButtonStyle::OwnerDrawn) return false;
    const CRect area{0, 0, control.GetRect().Width(), control.GetRect().Height()};
    if (m_picture) {
        const int index = ButtonStateIndex(!state.disabled, m_toggle, m_checked, state.selected, state.focused);
        m_picture->DrawState(CDrawInfo(&dc), CPoint{0, 0}, index);
    }
    if (!m_text.empty()) {
        if (m_textInfo) ApplyTextDrawing(dc, m_drawing);
        dc.DrawText(area, AnsiToUtf8(m_text), m_textInfo ? m_drawing.format : CTextDrawing{}.format);
    }
    return true;
}

// --- Static texts

void AStatic::Setup(boost::shared_ptr<APicture> picture, const std::string& text,
                    boost::shared_ptr<CTextInfo> textInfo) {
    m_picture = std::move(picture);
    SetText(text);
    SetTextInfo(std::move(textInfo));
}

CStaticA::CStaticA() {
    m_drawing.format = platform::kTextNoPrefix | platform::kTextSingleLine | platform::kTextVCentre;
    m_drawing.textColour = platform::Colour{0, 0, 0};
    m_drawing.backColour = platform::Colour{0, 0, 0};
}

bool CStaticA::Create(const std::string& utf8Text, uint32_t style, const CRect& rect, CParentRef parent, int id) {
    auto& label = MakeControl<platform::Label>(rect, parent, id, utf8Text);
    m_text = utf8Text;
    m_ownerDrawn = (style & platform::kSsTypeMask) == platform::kSsOwnerDraw;
    label.Enable(m_enabled);
    return true;
}

bool CStaticA::IsRightKind(const platform::Control& control) const {
    return dynamic_cast<const platform::Label*>(&control) != nullptr
           || dynamic_cast<const platform::PictureView*>(&control) != nullptr;
}

void CStaticA::PreSubclassWindow() { m_enabled = m_control->IsEnabled(); }

void CStaticA::Setup(boost::shared_ptr<APicture> picture, const std::string& text,
                     boost::shared_ptr<CTextInfo> textInfo) {
    m_ownerDrawn = true;  // whatever the type was, it is drawn here now
    AStatic::Setup(picture, text, std::move(textInfo));
    if (HasWindow() && picture) {
        const CSize size = picture->GetSize();
        if (size.width != 0 && size.height != 0) {
            const CRect r = m_control->GetRect();
            m_control->SetRect(CRect{r.left, r.top, r.left + size.width, r.top + size.height});
        }
    }
    PushText();
}

void CStaticA::SetTextInfo(boost::shared_ptr<CTextInfo> textInfo) {
    m_textInfo = std::move(textInfo);
    if (m_textInfo) {
        m_drawing = MakeTextDrawing(*m_textInfo);
    } else {
        m_drawing.font.reset();
    }
    if (HasWindow()) m_control->Invalidate();
}

void CStaticA::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (CanPush()) m_control->Enable(enabled);
}

std::string CStaticA::GetText(int encoding) const { return encoding == kEncodingUtf8 ? m_text : Utf8ToAnsi(m_text); }

void CStaticA::SetText(const std::string& text, int encoding) {
    m_text = encoding == kEncodingUtf8 ? text : AnsiToUtf8(text);
    PushText();
}

void CStaticA::PushText() {
    if (!CanPush()) return;
    // The label's own text too, so that a static the library does not draw shows it as well.
    m_control->SetText(m_text);
    m_control->Invalidate();
}

bool CStaticA::OnControlPaint(platform::Control& control, platform::DrawContext& dc, const platform::ItemState&) {
    if (!m_ownerDrawn) return false;
    const CRect area{0, 0, control.GetRect().Width(), control.GetRect().Height()};
    if (m_drawing.font) ApplyTextDrawing(dc, m_drawing);
    dc.FillRect(area, dc.BackColour());
    if (m_picture) m_picture->Draw(CDrawInfo(&dc), CPoint{0, 0}, CSize{0, 0}, CPoint{0, 0});
    if (!m_text.empty()) dc.DrawText(area, m_text, m_drawing.format);
    return true;
}

// --- Edits

bool CEditA::Create(uint32_t style, const CRect& rect, CParentRef parent, int id) {
    MakeControl<platform::Edit>(rect, parent, id, std::string(), style);
    PushState();
    return true;
}

bool CEditA::IsRightKind(const platform::Control& control) const {
    return dynamic_cast<const platform::Edit*>(&control) != nullptr;
}

void CEditA::PreSubclassWindow() { PushState(); }

void CEditA::PushState() {
    if (!CanPush()) return;
    // Setting the text moves the caret, which would overwrite the selection remembered.
    const int start = m_selStart, end = m_selEnd;
    GetEdit()->SetText(m_text);
    GetEdit()->SetSelection(start, end);
    m_selStart = start;
    m_selEnd = end;
}

void CEditA::SetText(const std::string& text, int encoding) {
    m_text = encoding == kEncodingAnsi ? AnsiToUtf8(text) : text;
    if (CanPush()) GetEdit()->SetText(m_text);
}

std::string CEditA::GetText(int encoding) const { return encoding == kEncodingUtf8 ? m_text : Utf8ToAnsi(m_text); }

void CEditA::SetSel(int start, int end) {
    m_selStart = start;
    m_selEnd = end;
    if (CanPush()) GetEdit()->SetSelection(start, end);
}

void CEditA::GetSel(int& start, int& end) const {
    if (CanPush()) {
        GetEdit()->GetSelection(start, end);
        return;
    }
    start = m_selStart;
    end = m_selEnd;
}

void CEditA::RememberSelection() {
    if (m_control != nullptr) GetEdit()->GetSelection(m_selStart, m_selEnd);
}

bool CEditA::OnControlNotify(platform::Control&, int code) {
    if (code == platform::kNotifyTextChanged && !IsCreating()) {
        m_text = GetEdit()->Text();
        RememberSelection();
        const CEditEvent event(this);
        const std::vector<IEditEventListener*> listeners = m_listeners;
        for (IEditEventListener* listener : listeners) listener->OnEditChanged(event);
    } else if (code == platform::kNotifyFocusLost) {
        RememberSelection();
    }
    return false;
}

void CEditA::OnControlDestroyed(platform::Control& control) {
    // The selection survives the window, for the next one.
    RememberSelection();
    CControlBase::OnControlDestroyed(control);
}

// --- Combo boxes

bool CComboBoxA::Create(uint32_t, const CRect& rect, CParentRef parent, int id) {
    MakeControl<platform::ComboBox>(rect, parent, id);
    PushState();
    return true;
}

bool CComboBoxA::IsRightKind(const platform::Control& control) const {
    return dynamic_cast<const platform::ComboBox*>(&control) != nullptr;
}

void CComboBoxA::PreSubclassWindow() { PushState(); }

void CComboBoxA::SetItems(const std::vector<CItem>& items) {
    m_items.Assign(items, CItem(-1, std::string()));
    PushState();
}

void CComboBoxA::SetItems(const std::vector<std::string>& texts) {
    std::vector<CItem> items;
    items.reserve(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) items.emplace_back(int(i), texts[i]);
    SetItems(items);
}

CComboBoxA::CItem CComboBoxA::GetItem(int index) const {
    if (index < 0 || index >= m_items.GetRealPairCount()) return CItem(-1, std::string());
    return m_items.GetPair(index);
}

void CComboBoxA::SetSelectedId(int id) {
    m_selectedId = id;
    if (!CanPush()) return;
    int index = -1;
    for (int i = 0; i < m_items.GetRealPairCount(); ++i) {
        if (m_items.GetPair(i).first == id) {
            index = i;
            break;
        }
    }
    GetComboBox()->SetSelection(index);
}

void CComboBoxA::PushState() {
    if (!CanPush()) return;
    std::vector<std::string> texts;
    for (int i = 0; i < m_items.GetRealPairCount(); ++i) texts.push_back(m_items.GetPair(i).second);
    GetComboBox()->SetItems(texts);
    SetSelectedId(m_selectedId);
}

void CComboBoxA::Fire(int kind) {
    const CComboBoxEvent event(this, kind);
    const std::vector<IComboBoxEventListener*> listeners = m_listeners;
    for (IComboBoxEventListener* listener : listeners) listener->OnComboBoxEvent(event);
}

bool CComboBoxA::OnControlNotify(platform::Control&, int code) {
    if (code == platform::kNotifySelectionChanged) {
        m_selectedId = GetItem(GetComboBox()->Selection()).first;
        Fire(CComboBoxEvent::kSelectionChanged);
    } else if (code == platform::kNotifyDroppedDown) {
        Fire(CComboBoxEvent::kDroppedDown);
    }
    return false;
}

}  // namespace UL
