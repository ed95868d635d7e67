#pragma once
// An edit for a number, or for one text of a list, that can be typed or spun: a button inside its right
// edge steps the value while a mouse button or an arrow key is held (the left button and Down step down,
// the right button and Up step up, the other button or arrow held as well steps by ten times as much),
// dragging off the button opens a slider under the mouse, and each step changes the digit at the caret.
#include "platform/window/Slider.h"
#include "ui/Controls.h"

#include <memory>
#include <string>
#include <vector>

namespace UL {

// Ordering and closeness of the texts of a list spin edit: numbers (leading blanks, "-", decimal or "0x"
// hexadecimal) by value and before other texts, other texts by their bytes, both without regard to case.
bool CompareValueText(const std::string& a, const std::string& b);
double ValueTextDistance(const std::string& a, const std::string& b);
// The index in the list of the text nearest to the given one; 0 for an empty list.
int FindNearestValue(const std::string& text, const std::vector<std::string>& list);

// Delays of spinning: the first repeat after the initial delay, then one each repeat interval divided by
// the speed factor, never faster than every 10 ms.
struct CSpinTiming {
    int initialDelayMs = 500;
    double repeatIntervalMs = 1000.0 / 30.0;
    double speedFactor = 1.0;
    int RepeatMs() const;
};
// From the keyboard's delay (0 to 3) and speed (0 to 31) settings and the speed factor.
CSpinTiming ComputeSpinTiming(int delaySetting, int speedSetting, double speedFactor);
// The speed factor: the first line of the file as a number; 1 when the file is missing or the number is
// not above 0.
double ReadSpinSpeedFactor(const std::string& path);
// The program's speed file, "SpinEdit.ini" in the maker's settings folder; read once per process.
std::string SpinSpeedFactorPath();
double SpinSpeedFactor();
// Reads the file again at the next spin edit made (for tests).
void ResetSpinSpeedFactor();

// The step's exponent for a column described with that step: log10 of the step to the nearest integer;
// a step that is not finite or not above 0 is no step (position 0, no digits after the point).
int DigitPositionFromStep(double step);
// Digits after the point that a digit position needs.
int PrecisionFromDigitPosition(int digitPosition);

class CSpinEdit : public CControlBase {
public:
    enum : int { kKindInteger = 0, kKindReal = 1, kKindList = 2 };
    enum : int { kModeEditing = 0, kModeSpinning = 1, kModeSliding = 2 };
    // Notifications to the parent window (Window::OnControlNotify), also seen by the spin edit itself.
    enum : int { kNotifySpinStarted = 0x301, kNotifySpinEnded = 0x302 };
    // Asked of the parent (Window::OnNotify) before each change by spinning or sliding, with a
    // CDeltaPos; a non-zero answer refuses the change.
    enum : int { kNotifyDeltaPos = -722 };
    struct CDeltaPos {
        double value;  // the current value
        double delta;  // the proposed change
    };
    // The button's control id inside the edit.
    static constexpr int kButtonId = 0xFFFF;
    // Digit positions are kept within this many digits either side of the units (the text of a value
    // cannot use more).
    static constexpr int kMaxDigitPosition = 64;

    // The popup number editor's defaults: integer, decimal, units, the int range, precision 15, no list.
    CSpinEdit();
    CSpinEdit(int numberKind, int formatKind, int digitPosition, double minimum, double maximum, int precision,
              int formatFlags, const std::vector<std::string>* list);
    ~CSpinEdit() override;

    // Everything the constructor takes, at once; bounds given in reverse order are put in order.
    void Setup(int numberKind, int formatKind, int digitPosition, double minimum, double maximum, int precision,
               int formatFlags, const std::vector<std::string>* list);

    // Makes the edit with edit style bits (kEs...) and its button; the value is taken from its text.
    bool Create(uint32_t style, const CRect& rect, CParentRef parent, int id);

    // The value as stored, without any check.
    void SetValue(double value) { m_value = value; }
    double GetValue() const { return m_value; }
    // Asks the parent (kNotifyDeltaPos), then clamps, stores and shows the value; false when refused.
    bool ChangeValue(double value);
    std::string FormatValue(double value) const;
    // Typed text is not clamped.
    double ParseText(const std::string& text) const;
    // The value one step (ten steps with the page flag) up or down at the digit position.
    double Step(double value, bool up, bool page) const;
    // Into the range: real numbers as they are, the other kinds rounded to whole numbers.
    double ClampValue(double value) const;

    // Shows the formatted value.
    void ShowValue();
    // Shows the text and takes the value from it.
    void SetWindowText(const std::string& text);
    // The text as last shown or read.
    const std::string& GetWindowText() const { return m_windowText; }

    void AddEditListener(IEditEventListener* listener) { m_editListeners.push_back(listener); }
    void AddSpinListener(ISpinEditEventListener* listener) { m_spinListeners.push_back(listener); }

    void EnableWindow(bool enabled);
    void SetReadOnly(bool readOnly);

    int GetNumberKind() const { return m_numberKind; }
    int GetFormatKind() const { return m_formatKind; }
    int GetDigitPosition() const { return m_digitPosition; }
    void SetDigitPosition(int position);
    double GetMinimum() const { return m_minimum; }
    double GetMaximum() const { return m_maximum; }
    int GetPrecision() const { return m_precision; }
    int GetMode() const { return m_mode; }
    bool IsPageStep() const { return m_page; }
    bool IsDirectionUp() const { return m_up; }
    const CSpinTiming& GetTiming() const { return m_timing; }

    platform::Edit* GetEdit() const { return static_cast<platform::Edit*>(m_control); }
    platform::PushButton* GetButton() const { return m_button; }
    platform::Slider* GetSlider() const { return m_slider; }
    platform::Window* GetSliderWindow() const;

    // Where the caret goes for a digit position in a text, and the digit position of a caret (the
    // caret may move one character left, out of the point); the integer kind has no negative positions.
    static int CaretIndexOfDigit(const std::string& text, int digitPosition);
    static int DigitPositionOfCaret(const std::string& text, int& caret, bool integerKind);
    // The slider's position (0 to 32767) of a value and the value of a position; the maximum lies at
    // the right of a horizontal slider and at the top of a vertical one. An empty range maps to the
    // start and to the minimum.
    static constexpr int kSliderRange = 32767;
    static int ValueToSliderPosition(double value, double minimum, double maximum, bool vertical);
    static double SliderPositionToValue(int position, double minimum, double maximum, bool vertical);

protected:
    bool IsRightKind(const platform::Control& control) const override;
    void PreSubclassWindow() override;
    bool OnControlKey(platform::Control& control, const platform::KeyInput& key) override;
    bool OnControlMouse(platform::Control& control, const platform::MouseInput& input) override;
    bool OnControlNotify(platform::Control& control, int code) override;
    bool OnControlPaint(platform::Control& control, platform::DrawContext& dc,
                        const platform::ItemState& state) override;
    void OnControlTimer(platform::Control& control, int id) override;
    void OnControlResized(platform::Control& control, platform::Size size) override;
    void OnControlDestroyed(platform::Control& control) override;

    void SetMode(int mode);

private:
    class CSliderWindow;
    enum : int { kTimerDelay = 1, kTimerRepeat = 2 };

    void ShowText(const std::string& text);
    void MakeButton();
    void PlaceButton();
    void UpdateButtonPicture();
    void ShowCaret();
    void TakeDigitPositionFromCaret();
    bool StepOnce();
    void FireSpin(bool started);
    void LeaveMode(int mode);
    void EnterMode(int mode);
    void OpenSlider();
    void CloseSlider();
    void PlaceThumb();
    bool OnSliderNotify(int code);
    bool OnSliderMouse(const platform::MouseInput& input);
    void OnSliderKey(int code);
    bool OnButtonMouse(const platform::MouseInput& input);
    bool PointerOverButton() const;

    int m_numberKind = kKindInteger;
    int m_formatKind = 0;
    int m_digitPosition = 0;
    double m_minimum = -2147483647.0;
    double m_maximum = 2147483647.0;
    int m_precision = 15;
    int m_formatFlags = 0;
    const std::vector<std::string>* m_list = nullptr;
    double m_value = 0.0;
    std::string m_windowText;
    int m_selStart = 0;
    int m_selEnd = -1;
    int m_mode = kModeEditing;
    bool m_up = true;
    bool m_page = false;
    int m_spinKey = 0;           // the arrow that started a spin, 0 for a mouse button
    bool m_spinByRight = false;  // the mouse button that started a spin
    bool m_settingText = false;
    bool m_sliderNotified = false;  // the slider's drag told the parent that a spin started
    int m_sliderDepth = 0;
    int m_pictureId;
    bool m_enabled = true;
    bool m_readOnly = false;
    CSpinTiming m_timing;
    platform::PushButton* m_button = nullptr;
    platform::Slider* m_slider = nullptr;
    std::unique_ptr<CSliderWindow> m_sliderWindow;
    std::vector<IEditEventListener*> m_editListeners;
    std::vector<ISpinEditEventListener*> m_spinListeners;
};

}  // namespace UL
