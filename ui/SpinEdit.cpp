#include "ui/SpinEdit.h"

#include "general_tools/Rounding.h"
#include "general_tools/StringFunctions.h"
#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/DrawContext.h"
#include "ui/ResourcePictures.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>

namespace UL {

namespace {

constexpr int kBitmapNormal = 26628;
constexpr int kBitmapUp = 26627;
constexpr int kBitmapDown = 26626;
constexpr int kBitmapDisabled = 26625;
constexpr int kMinimumRepeatMs = 10;
constexpr int kMaxPrecision = 64;

// The button pictures, drawn once per process.
const platform::Image& ButtonBitmap(int id) {
    static const platform::Image normal = LoadBitmapResource(kBitmapNormal);
    static const platform::Image up = LoadBitmapResource(kBitmapUp);
    static const platform::Image down = LoadBitmapResource(kBitmapDown);
    static const platform::Image disabled = LoadBitmapResource(kBitmapDisabled);
    switch (id) {
        case kBitmapUp:
            return up;
        case kBitmapDown:
            return down;
        case kBitmapDisabled:
            return disabled;
        default:
            return normal;
    }
}

struct SpeedFactor {
    double value = -1.0;  // not read yet
};
SpeedFactor& ProcessSpeedFactor() {
    static SpeedFactor factor;
    return factor;
}

bool ParseNumber(const std::string& text, double& value) { return GT::TryParseDouble(text, value); }

// Where the point is, or the end of the text without its trailing blanks.
int PointIndex(const std::string& text) {
    const size_t point = text.find('.');
    if (point != std::string::npos) return int(point);
    size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ') --end;
    return int(end);
}

int DigitIndex(int point, int digitPosition) {
    return digitPosition >= 0 ? point - digitPosition - 1 : point - digitPosition;
}

}  // namespace

// --- Texts of a list

bool CompareValueText(const std::string& a, const std::string& b) {
    const std::string la = GT::ToLower(a), lb = GT::ToLower(b);
    double na = 0, nb = 0;
    const bool numberA = ParseNumber(la, na), numberB = ParseNumber(lb, nb);
    if (numberA && numberB) return na < nb;
    if (numberA != numberB) return numberA;
    return la < lb;
}

double ValueTextDistance(const std::string& a, const std::string& b) {
    const std::string la = GT::ToLower(a), lb = GT::ToLower(b);
    double na = 0, nb = 0;
    if (ParseNumber(la, na) && ParseNumber(lb, nb)) return std::fabs(na - nb);
    double distance = 0;
    const size_t length = std::max(la.size(), lb.size());
    for (size_t i = 0; i < length; ++i) {
        if (i >= la.size() || i >= lb.size()) {
            distance += 1;
        } else if (la[i] != lb[i]) {
            distance += std::abs(int(static_cast<unsigned char>(la[i])) - int(static_cast<unsigned char>(lb[i]))) + 1;
        }
    }
    return distance;
}

int FindNearestValue(const std::string& text, const std::vector<std::string>& list) {
    if (list.empty()) return 0;
    std::vector<int> order(list.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return CompareValueText(list[size_t(a)], list[size_t(b)]); });
    const auto found = std::lower_bound(order.begin(), order.end(), text, [&](int entry, const std::string& t) {
        return CompareValueText(list[size_t(entry)], t);
    });
    if (found == order.begin()) return *found;
    if (found == order.end()) return order.back();
    const int before = *(found - 1);
    return ValueTextDistance(list[size_t(before)], text) <= ValueTextDistance(list[size_t(*found)], text) ? before
                                                                                                          : *found;
}

// --- Timing

int CSpinTiming::RepeatMs() const {
    const double factor = speedFactor > 0 ? speedFactor : 1.0;
    return std::max(int(repeatIntervalMs / factor), kMinimumRepeatMs);
}

CSpinTiming ComputeSpinTiming(int delaySetting, int speedSetting, double speedFactor) {
    CSpinTiming timing;
    timing.initialDelayMs = int(double(std::clamp(delaySetting, 0, 3)) / 3.0 * 750.0 + 250.0);
    timing.repeatIntervalMs = 1000.0 / (double(std::clamp(speedSetting, 0, 31)) / 31.0 * 27.5 + 2.5);
    timing.speedFactor = speedFactor > 0 ? speedFactor : 1.0;
    return timing;
}

double ReadSpinSpeedFactor(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return 1.0;
    const double value = GT::ParseDouble(line);
    return value > 0 && std::isfinite(value) ? value : 1.0;
}

std::string SpinSpeedFactorPath() { return platform::ConfigHome() + "/Corvane/SpinEdit.ini"; }

double SpinSpeedFactor() {
    SpeedFactor& factor = ProcessSpeedFactor();
    if (factor.value < 0) factor.value = ReadSpinSpeedFactor(SpinSpeedFactorPath());
    return factor.value;
}

void ResetSpinSpeedFactor() { ProcessSpeedFactor().value = -1.0; }

int DigitPositionFromStep(double step) {
    if (!std::isfinite(step) || step <= 0) return 0;
    return GT::RoundAndClamp<int>(std::log10(step), -CSpinEdit::kMaxDigitPosition, CSpinEdit::kMaxDigitPosition);
}

int PrecisionFromDigitPosition(int digitPosition) { return digitPosition < 0 ? -digitPosition : 0; }

// --- The slider's window: the keys posted to it come back to the spin edit.

class CSpinEdit::CSliderWindow : public platform::Window {
public:
    CSliderWindow(CSpinEdit& spin, platform::Control& host)
        : platform::Window(platform::WindowKind::Popup, host), m_spin(spin) {}

protected:
    bool OnKey(const platform::KeyInput& key) override {
        if (key.action == platform::KeyAction::Down) m_spin.OnSliderKey(key.code);
        return true;
    }

private:
    CSpinEdit& m_spin;
};

// --- The spin edit

platform::Window* CSpinEdit::GetSliderWindow() const { return m_sliderWindow.get(); }

CSpinEdit::CSpinEdit() : m_pictureId(kBitmapNormal) {
    m_timing = ComputeSpinTiming(platform::KeyboardDelaySetting(), platform::KeyboardSpeedSetting(), SpinSpeedFactor());
}

CSpinEdit::CSpinEdit(int numberKind, int formatKind, int digitPosition, double minimum, double maximum, int precision,
                     int formatFlags, const std::vector<std::string>* list)
    : CSpinEdit() {
    Setup(numberKind, formatKind, digitPosition, minimum, maximum, precision, formatFlags, list);
}

CSpinEdit::~CSpinEdit() {
    CloseSlider();
    if (m_control != nullptr) {
        m_control->StopTimer(kTimerDelay);
        m_control->StopTimer(kTimerRepeat);
    }
    if (m_button != nullptr) {
        m_button->SetHooks(nullptr);
        platform::PushButton* button = m_button;
        m_button = nullptr;
        button->Parent().DestroyControl(*button);
    }
}

void CSpinEdit::Setup(int numberKind, int formatKind, int digitPosition, double minimum, double maximum, int precision,
                      int formatFlags, const std::vector<std::string>* list) {
    m_numberKind = numberKind;
    m_formatKind = formatKind;
    m_minimum = std::min(minimum, maximum);
    m_maximum = std::max(minimum, maximum);
    m_precision = numberKind == kKindReal ? std::clamp(precision, 0, kMaxPrecision) : 0;
    m_formatFlags = formatFlags;
    m_list = list;
    SetDigitPosition(digitPosition);
}

void CSpinEdit::SetDigitPosition(int position) {
    m_digitPosition = std::clamp(position, -kMaxDigitPosition, kMaxDigitPosition);
}

bool CSpinEdit::Create(uint32_t style, const CRect& rect, CParentRef parent, int id) {
    MakeControl<platform::Edit>(rect, parent, id, m_windowText, style);
    PreSubclassWindow();
    return true;
}

bool CSpinEdit::IsRightKind(const platform::Control& control) const {
    return dynamic_cast<const platform::Edit*>(&control) != nullptr;
}

void CSpinEdit::PreSubclassWindow() {
    m_readOnly = GetEdit()->IsReadOnly();
    m_enabled = GetEdit()->IsEnabled();
    MakeButton();
    m_windowText = GetEdit()->Text();
    m_value = ParseText(m_windowText);
    ShowCaret();
}

void CSpinEdit::MakeButton() {
    if (m_button != nullptr) return;
    platform::Window& window = m_control->Parent();
    m_button = &window.AddControl<platform::PushButton>(kButtonId, std::string(), platform::ButtonStyle::OwnerDrawn);
    m_button->PlaceInside(*m_control);
    m_button->SetFocusable(false);
    m_button->SetHooks(this);
    GetEdit()->SetMargins(GetEdit()->LeftMargin(), GetEdit()->RightMargin() + platform::VerticalScrollBarWidth());
    PlaceButton();
    UpdateButtonPicture();
}

void CSpinEdit::PlaceButton() {
    if (m_button == nullptr || m_control == nullptr) return;
    const CRect edit = m_control->GetRect();
    const int width = platform::VerticalScrollBarWidth();
    m_button->SetRect(CRect{edit.Width() - width, 0, edit.Width(), edit.Height()});
}

void CSpinEdit::UpdateButtonPicture() {
    if (!m_enabled || m_readOnly)
        m_pictureId = kBitmapDisabled;
    else if (m_mode == kModeSpinning)
        m_pictureId = m_up ? kBitmapUp : kBitmapDown;
    else
        m_pictureId = kBitmapNormal;
    if (m_button != nullptr) {
        m_button->Enable(m_enabled && !m_readOnly);
        m_button->Invalidate();
    }
}

void CSpinEdit::EnableWindow(bool enabled) {
    m_enabled = enabled;
    if (m_control != nullptr) m_control->Enable(enabled);
    UpdateButtonPicture();
}

void CSpinEdit::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    if (m_control != nullptr) GetEdit()->SetReadOnly(readOnly);
    UpdateButtonPicture();
}

// --- Values and texts

std::string CSpinEdit::FormatValue(double value) const {
    switch (m_numberKind) {
        case kKindInteger:
            return GT::IntToString(GT::RoundToInt(value), m_formatKind);
        case kKindReal:
            return GT::DoubleToString(value, m_formatKind, m_precision, m_formatFlags);
        case kKindList: {
            if (m_list == nullptr || m_list->empty()) return std::string();
            const int index = std::clamp(GT::RoundToInt(value), 0, int(m_list->size()) - 1);
            return (*m_list)[size_t(index)];
        }
        default:
            return std::string();
    }
}

double CSpinEdit::ParseText(const std::string& text) const {
    if (m_numberKind == kKindList) return m_list != nullptr ? double(FindNearestValue(text, *m_list)) : 0.0;
    const double value = GT::ParseDouble(text);
    return m_numberKind == kKindReal ? value : GT::Round(value);
}

double CSpinEdit::ClampValue(double value) const {
    if (m_numberKind == kKindReal) return std::clamp(value, m_minimum, m_maximum);
    const double low = std::ceil(m_minimum);
    const double high = std::max(std::floor(m_maximum), low);  // a range without a whole number keeps its start
    return std::clamp(GT::Round(value), low, high);
}

double CSpinEdit::Step(double value, bool up, bool page) const {
    const double base = m_formatKind == 0 ? 10.0 : 16.0;
    const double step = std::pow(base, double(m_digitPosition + (page ? 1 : 0)));
    return up ? value + step : value - step;
}

bool CSpinEdit::ChangeValue(double value) {
    if (m_control != nullptr) {
        CDeltaPos delta{m_value, value - m_value};
        if (m_control->SendNotify(kNotifyDeltaPos, &delta) != 0) return false;
    }
    m_value = ClampValue(value);
    ShowValue();
    return true;
}

void CSpinEdit::ShowValue() { ShowText(FormatValue(m_value)); }

void CSpinEdit::SetWindowText(const std::string& text) {
    m_value = ParseText(text);
    ShowText(text);
}

void CSpinEdit::ShowText(const std::string& text) {
    // Padding keeps a column for the digit being spun.
    std::string shown = text;
    const int digit = DigitIndex(PointIndex(shown), m_digitPosition);
    if (digit < 0)
        shown.insert(0, size_t(1 - digit), ' ');
    else if (digit >= int(shown.size()))
        shown.append(size_t(digit - int(shown.size()) + 1), ' ');
    m_windowText = shown;
    if (m_control == nullptr || IsCreating()) return;
    m_settingText = true;
    GetEdit()->SetText(shown);
    m_settingText = false;
    if (m_mode != kModeEditing) ShowCaret();
}

int CSpinEdit::CaretIndexOfDigit(const std::string& text, int digitPosition) {
    const int digit = DigitIndex(PointIndex(text), digitPosition);
    return std::clamp(digit + 1, 0, int(text.size()));
}

int CSpinEdit::DigitPositionOfCaret(const std::string& text, int& caret, bool integerKind) {
    const int point = PointIndex(text);
    int i = caret - 1;
    if (i == point) {
        // Right after the point: the units digit before it.
        --caret;
        --i;
    }
    int position = i <= point ? point - i - 1 : point - i;
    if (integerKind && position < 0) position = 0;
    return position;
}

int CSpinEdit::ValueToSliderPosition(double value, double minimum, double maximum, bool vertical) {
    const double low = std::min(minimum, maximum), high = std::max(minimum, maximum);
    if (!(high > low)) return 0;
    const double share = vertical ? (high - value) / (high - low) : (value - low) / (high - low);
    return std::clamp(GT::RoundToInt(share * kSliderRange), 0, kSliderRange);
}

double CSpinEdit::SliderPositionToValue(int position, double minimum, double maximum, bool vertical) {
    const double low = std::min(minimum, maximum), high = std::max(minimum, maximum);
    if (!(high > low)) return low;
    const double share = double(std::clamp(position, 0, kSliderRange)) / kSliderRange;
    return vertical ? high - share * (high - low) : low + share * (high - low);
}

// --- Caret and digit position

void CSpinEdit::ShowCaret() {
    if (m_control == nullptr) return;
    GetEdit()->SetCaretIndex(CaretIndexOfDigit(GetEdit()->Text(), m_digitPosition));
    m_control->Invalidate();
}

void CSpinEdit::TakeDigitPositionFromCaret() {
    if (m_control == nullptr) return;
    int caret = GetEdit()->CaretIndex();
    const int before = caret;
    SetDigitPosition(DigitPositionOfCaret(GetEdit()->Text(), caret, m_numberKind != kKindReal));
    if (caret != before) GetEdit()->SetCaretIndex(caret);
}

// --- Modes

void CSpinEdit::SetMode(int mode) {
    if (mode == m_mode) return;
    const int old = m_mode;
    LeaveMode(old);
    m_mode = mode;
    EnterMode(mode);
}

void CSpinEdit::LeaveMode(int mode) {
    switch (mode) {
        case kModeEditing:
            if (!m_control->HasFocus()) {
                m_control->SetFocus();
                ShowCaret();
            } else if (!GetEdit()->IsAllSelected()) {
                TakeDigitPositionFromCaret();
            } else {
                ShowCaret();
            }
            break;
        case kModeSpinning:
            m_control->StopTimer(kTimerDelay);
            m_control->StopTimer(kTimerRepeat);
            m_pictureId = kBitmapNormal;
            UpdateButtonPicture();
            m_control->Notify(kNotifySpinEnded);
            break;
        case kModeSliding:
            CloseSlider();
            break;
        default:
            break;
    }
}

void CSpinEdit::EnterMode(int mode) {
    switch (mode) {
        case kModeEditing:
            m_control->SetFocus();
            ShowCaret();
            TakeDigitPositionFromCaret();
            break;
        case kModeSpinning:
            m_control->Notify(kNotifySpinStarted);
            m_page = false;
            UpdateButtonPicture();
            if (!StepOnce()) {
                SetMode(kModeEditing);
                return;
            }
            m_control->StartTimer(kTimerDelay, m_timing.initialDelayMs);
            break;
        case kModeSliding:
            OpenSlider();
            break;
        default:
            break;
    }
}

bool CSpinEdit::StepOnce() { return ChangeValue(Step(m_value, m_up, m_page)); }

void CSpinEdit::FireSpin(bool started) {
    const CSpinEditEvent event(this);
    const std::vector<ISpinEditEventListener*> listeners = m_spinListeners;
    for (ISpinEditEventListener* listener : listeners) {
        if (started)
            listener->OnSpinStarted(event);
        else
            listener->OnSpinEnded(event);
    }
}

void CSpinEdit::OnControlTimer(platform::Control& control, int id) {
    if (&control != m_control || m_mode != kModeSpinning) return;
    if (m_button != nullptr && m_button->HasMouseCapture() && !PointerOverButton()) {
        m_button->ReleaseMouse();
        SetMode(kModeSliding);
        return;
    }
    if (m_control->HasFocus() && !StepOnce()) {
        SetMode(kModeEditing);
        return;
    }
    if (id == kTimerDelay) {
        m_control->StopTimer(kTimerDelay);
        m_control->StartTimer(kTimerRepeat, m_timing.RepeatMs());
    }
}

bool CSpinEdit::PointerOverButton() const {
    if (m_button == nullptr) return false;
    const CRect r = m_button->ScreenRect();
    const platform::Point p = platform::MousePosition();
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// --- Input

bool CSpinEdit::OnControlKey(platform::Control& control, const platform::KeyInput& key) {
    if (&control == m_slider) {
        if (key.action == platform::KeyAction::Down) OnSliderKey(key.code);
        return key.code == platform::kKeyEnter || key.code == platform::kKeyEscape;
    }
    if (&control != m_control) return false;
    const bool arrow = key.code == platform::kKeyUp || key.code == platform::kKeyDown;
    if (key.action == platform::KeyAction::Down) {
        if (arrow) {
            if (m_mode == kModeEditing && !key.autoRepeat && !m_readOnly) {
                m_spinKey = key.code;
                m_up = key.code == platform::kKeyUp;
                SetMode(kModeSpinning);
            } else if (m_mode == kModeSpinning && m_spinKey != 0 && key.code != m_spinKey) {
                m_page = true;
            }
            return true;
        }
        if (m_mode != kModeEditing) return true;
        if ((key.modifiers & platform::kModCtrl) && (key.code == platform::kKeyEnd || key.code == platform::kKeyHome)) {
            m_control->Notify(kNotifySpinStarted);
            m_value = ClampValue(key.code == platform::kKeyEnd ? m_maximum : m_minimum);
            ShowValue();
            if (m_control != nullptr) m_control->Notify(kNotifySpinEnded);
            return true;
        }
        return false;
    }
    if (arrow && m_mode == kModeSpinning && m_spinKey != 0) {
        if (key.code == m_spinKey) {
            m_spinKey = 0;
            SetMode(kModeEditing);
        } else {
            m_page = false;
        }
        return true;
    }
    return m_mode != kModeEditing;
}

bool CSpinEdit::OnControlMouse(platform::Control& control, const platform::MouseInput& input) {
    if (&control == m_button) return OnButtonMouse(input);
    if (&control == m_slider) return OnSliderMouse(input);
    return false;
}

bool CSpinEdit::OnButtonMouse(const platform::MouseInput& input) {
    const bool right = input.button == platform::MouseButton::Right;
    const bool left = input.button == platform::MouseButton::Left;
    switch (input.action) {
        case platform::MouseAction::ButtonDown:
        case platform::MouseAction::DoubleClick: {
            if (!right && !left) return true;
            if (m_mode == kModeSpinning) {
                if (m_spinKey == 0 && right != m_spinByRight) m_page = true;
                return true;
            }
            const bool otherHeld = right ? input.leftHeld : input.rightHeld;
            if (m_mode != kModeEditing || otherHeld || !m_enabled || m_readOnly) return true;
            m_spinKey = 0;
            m_spinByRight = right;
            m_up = right;
            m_button->CaptureMouse();
            SetMode(kModeSpinning);
            return true;
        }
        case platform::MouseAction::ButtonUp: {
            if (m_mode == kModeSpinning && m_spinKey == 0) {
                const bool spinningReleased = right == m_spinByRight;
                const bool bothReleased = !input.leftHeld && !input.rightHeld;
                if (spinningReleased || bothReleased) {
                    m_button->ReleaseMouse();
                    SetMode(kModeEditing);
                } else {
                    m_page = false;
                }
            } else if (m_mode == kModeEditing && m_button->HasMouseCapture()) {
                m_button->ReleaseMouse();
            }
            return true;
        }
        case platform::MouseAction::Move:
            return true;
    }
    return true;
}

bool CSpinEdit::OnControlNotify(platform::Control& control, int code) {
    if (&control == m_slider) return OnSliderNotify(code);
    if (&control != m_control) return &control == m_button;  // the button tells its parent nothing
    switch (code) {
        case kNotifySpinStarted:
            FireSpin(true);
            return false;
        case kNotifySpinEnded:
            FireSpin(false);
            return false;
        case platform::kNotifyTextUpdated:
            if (m_mode != kModeEditing && !m_settingText) ShowCaret();
            return false;
        case platform::kNotifyTextChanged: {
            if (!m_settingText) {
                m_windowText = GetEdit()->Text();
                m_value = ParseText(m_windowText);
            }
            const CEditEvent event(this);
            const std::vector<IEditEventListener*> listeners = m_editListeners;
            for (IEditEventListener* listener : listeners) listener->OnEditChanged(event);
            return false;
        }
        case platform::kNotifyFocusLost: {
            // The focus going to the button or the slider is no loss.
            if (m_mode == kModeSliding) return true;
            GetEdit()->GetSelection(m_selStart, m_selEnd);
            return false;
        }
        default:
            return false;
    }
}

bool CSpinEdit::OnControlPaint(platform::Control& control, platform::DrawContext& dc,
                               const platform::ItemState& state) {
    if (&control != m_button) return false;
    const CRect area{0, 0, control.GetRect().Width(), control.GetRect().Height()};
    dc.DrawButtonFace(area, m_mode == kModeSpinning, state.disabled);
    const platform::Image& bitmap = ButtonBitmap(m_pictureId);
    const platform::Point at{(area.Width() - bitmap.Width()) / 2, (area.Height() - bitmap.Height()) / 2};
    dc.CopyImage(bitmap, at, CRect{0, 0, bitmap.Width(), bitmap.Height()});
    return true;
}

void CSpinEdit::OnControlResized(platform::Control& control, platform::Size) {
    if (&control == m_control) PlaceButton();
}

void CSpinEdit::OnControlDestroyed(platform::Control& control) {
    if (&control == m_button) {
        m_button = nullptr;
        return;
    }
    if (&control == m_slider) {
        m_slider = nullptr;
        return;
    }
    CloseSlider();
    m_mode = kModeEditing;
    CControlBase::OnControlDestroyed(control);
}

// --- The slider

void CSpinEdit::OpenSlider() {
    CloseSlider();
    if (m_control == nullptr) return;
    const platform::Point mouse = platform::MousePosition();
    const CRect button = m_button != nullptr ? m_button->ScreenRect() : m_control->ScreenRect();
    const int dx = mouse.x - (button.left + button.right) / 2;
    const int dy = mouse.y - (button.top + button.bottom) / 2;
    const bool vertical = std::abs(dx) > std::abs(dy);
    const int along = 10 * platform::VerticalScrollBarWidth();
    const int across = 2 * platform::HorizontalScrollBarHeight();
    const platform::Size size = vertical ? platform::Size{across, along} : platform::Size{along, across};

    m_sliderWindow = std::make_unique<CSliderWindow>(*this, *m_control);
    m_slider = &m_sliderWindow->AddControl<platform::Slider>(1, vertical);
    m_slider->SetHooks(this);
    m_slider->SetFocusable(false);
    m_slider->SetRange(0, kSliderRange);
    m_slider->SetLineSize(0);
    m_slider->SetPageSize(0);
    m_sliderWindow->SetGeometry(CRect{0, 0, size.width, size.height});
    m_slider->SetRect(CRect{0, 0, size.width, size.height});
    PlaceThumb();
    // The thumb's centre under the pointer, and the slider off the edit.
    const CRect thumb = m_slider->ThumbRect();
    const platform::Point centre{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    CRect placed{mouse.x - centre.x, mouse.y - centre.y, mouse.x - centre.x + size.width,
                 mouse.y - centre.y + size.height};
    const CRect edit = m_control->ScreenRect();
    if (placed.Intersects(edit)) {
        int shiftX = 0, shiftY = 0;
        if (!vertical)
            shiftY = dy > 0 ? edit.bottom - placed.top : edit.top - placed.bottom;
        else
            shiftX = dx > 0 ? edit.right - placed.left : edit.left - placed.right;
        placed = CRect{placed.left + shiftX, placed.top + shiftY, placed.right + shiftX, placed.bottom + shiftY};
    }
    m_sliderWindow->SetGeometry(placed);
    m_sliderWindow->ShowWithoutActivating();
    const platform::Point thumbOnScreen = m_slider->ClientToScreen(centre);
    platform::SetMousePosition(thumbOnScreen);
    m_sliderNotified = false;
    // The drag goes on with the thumb at once.
    platform::MouseInput press;
    press.action = platform::MouseAction::ButtonDown;
    press.button = platform::MouseButton::Left;
    press.point = centre;
    press.leftHeld = true;
    m_slider->SendMouse(press);
    m_slider->CaptureMouse();
}

void CSpinEdit::CloseSlider() {
    if (m_slider != nullptr) {
        m_slider->ReleaseMouse();
        m_slider->SetHooks(nullptr);
        m_slider = nullptr;
    }
    m_sliderWindow.reset();
}

void CSpinEdit::PlaceThumb() {
    if (m_slider != nullptr) {
        m_slider->SetPosition(ValueToSliderPosition(m_value, m_minimum, m_maximum, m_slider->IsVertical()));
    }
}

bool CSpinEdit::OnSliderNotify(int code) {
    if (code < platform::kNotifyScrollLineUp || code > platform::kNotifyScrollEnd || m_control == nullptr) return true;
    ++m_sliderDepth;
    const bool vertical = m_slider->IsVertical();
    if (!m_sliderNotified && code != platform::kNotifyScrollThumbPosition && code != platform::kNotifyScrollEnd) {
        m_sliderNotified = true;
        m_control->Notify(kNotifySpinStarted);
    }
    double value = m_value;
    bool change = true;
    switch (code) {
        case platform::kNotifyScrollLineUp:
        case platform::kNotifyScrollPageUp:
            // Towards the top or the left: up increases on a vertical slider.
            value = Step(m_value, vertical, code == platform::kNotifyScrollPageUp);
            break;
        case platform::kNotifyScrollLineDown:
        case platform::kNotifyScrollPageDown:
            value = Step(m_value, !vertical, code == platform::kNotifyScrollPageDown);
            break;
        case platform::kNotifyScrollThumbTrack:
            value = SliderPositionToValue(m_slider->Position(), m_minimum, m_maximum, vertical);
            break;
        case platform::kNotifyScrollTop:
            value = vertical ? m_maximum : m_minimum;
            break;
        case platform::kNotifyScrollBottom:
            value = vertical ? m_minimum : m_maximum;
            break;
        case platform::kNotifyScrollEnd:
            change = false;
            if (m_sliderNotified) {
                m_sliderNotified = false;
                m_control->Notify(kNotifySpinEnded);
            }
            if (m_sliderDepth == 1 && m_sliderWindow) m_sliderWindow->PostKeyDown(platform::kKeyEnter);
            break;
        default:
            change = false;
            break;
    }
    if (change) {
        ChangeValue(value);
        PlaceThumb();
    }
    --m_sliderDepth;
    return true;
}

bool CSpinEdit::OnSliderMouse(const platform::MouseInput& input) {
    if (input.action == platform::MouseAction::Move || input.button == platform::MouseButton::None) return false;
    const bool down =
        input.action == platform::MouseAction::ButtonDown || input.action == platform::MouseAction::DoubleClick;
    const bool otherHeld = input.button == platform::MouseButton::Right ? input.leftHeld : input.rightHeld;
    if (down && otherHeld) {
        // The second button while dragging: to 0, when the range holds it, with the pointer along.
        if (m_minimum <= 0 && 0 <= m_maximum) {
            ChangeValue(0);
            PlaceThumb();
            const CRect thumb = m_slider->ThumbRect();
            platform::SetMousePosition(m_slider->ClientToScreen(
                platform::Point{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2}));
        }
        return true;
    }
    if (input.button != platform::MouseButton::Right) return false;
    // The right button acts as the left.
    platform::MouseInput left = input;
    left.button = platform::MouseButton::Left;
    left.modifiers &= ~platform::kModRightButton;
    std::swap(left.leftHeld, left.rightHeld);
    m_slider->SendMouse(left);
    return true;
}

void CSpinEdit::OnSliderKey(int code) {
    if (code == platform::kKeyEnter || code == platform::kKeyEscape) SetMode(kModeEditing);
}

}  // namespace UL
