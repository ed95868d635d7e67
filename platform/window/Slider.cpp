#include "platform/window/Slider.h"

#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace platform {

namespace {

class LayerSlider : public QSlider {
public:
    LayerSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}
    QRect Thumb() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    }

protected:
    // A key that moved the thumb ends its scroll when let go, as the mouse's release does.
    void keyReleaseEvent(QKeyEvent* event) override {
        QSlider::keyReleaseEvent(event);
        if (!event->isAutoRepeat() && m_keyScrolled) {
            m_keyScrolled = false;
            if (Control* control = Control::FromWidget(this)) {
                DispatchScope scope(this);
                control->Notify(kNotifyScrollEnd);
            }
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        m_keyScrolled = true;
        QSlider::keyPressEvent(event);
    }

private:
    bool m_keyScrolled = false;
};

LayerSlider* SliderOf(const Control* control) { return static_cast<LayerSlider*>(control->Widget()); }

int ScrollCodeOf(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return kNotifyScrollLineUp;
        case QAbstractSlider::SliderSingleStepAdd:
            return kNotifyScrollLineDown;
        case QAbstractSlider::SliderPageStepSub:
            return kNotifyScrollPageUp;
        case QAbstractSlider::SliderPageStepAdd:
            return kNotifyScrollPageDown;
        case QAbstractSlider::SliderToMinimum:
            return kNotifyScrollTop;
        case QAbstractSlider::SliderToMaximum:
            return kNotifyScrollBottom;
        case QAbstractSlider::SliderMove:
            return kNotifyScrollThumbTrack;
        default:
            return 0;
    }
}

}  // namespace

Slider::Slider(Window& parent, int id, bool vertical) : Control(parent, id), m_vertical(vertical) {
    if (!parent.Exists()) return;
    auto* slider = new LayerSlider(vertical ? Qt::Vertical : Qt::Horizontal, parent.Widget());
    // The minimum at the top, as on a trackbar.
    slider->setInvertedAppearance(vertical);
    slider->setInvertedControls(vertical);
    slider->setTickPosition(QSlider::NoTicks);
    Attach(slider);
    QObject::connect(slider, &QAbstractSlider::actionTriggered, slider, [this, slider](int action) {
        const int code = ScrollCodeOf(action);
        if (code == 0) return;
        DispatchScope scope(slider);
        Notify(code);
    });
    QObject::connect(slider, &QAbstractSlider::sliderReleased, slider, [this, slider] {
        DispatchScope scope(slider);
        Notify(kNotifyScrollThumbPosition);
        if (ControlStillOwns(slider, this)) Notify(kNotifyScrollEnd);
    });
}

void Slider::SetRange(int minimum, int maximum) {
    if (Widget()) SliderOf(this)->setRange(minimum, maximum);
}
int Slider::Minimum() const { return Widget() ? SliderOf(this)->minimum() : 0; }
int Slider::Maximum() const { return Widget() ? SliderOf(this)->maximum() : 0; }
void Slider::SetPosition(int position) {
    if (!Widget()) return;
    // Placing the thumb is no action of the user: nothing is notified.
    const QSignalBlocker quiet(SliderOf(this));
    SliderOf(this)->setSliderPosition(position);
    SliderOf(this)->setValue(position);
}
int Slider::Position() const { return Widget() ? SliderOf(this)->sliderPosition() : 0; }
void Slider::SetLineSize(int size) {
    if (Widget()) SliderOf(this)->setSingleStep(size);
}
void Slider::SetPageSize(int size) {
    if (Widget()) SliderOf(this)->setPageStep(size);
}
Rect Slider::ThumbRect() const { return Widget() ? FromQRect(SliderOf(this)->Thumb()) : Rect{}; }

}  // namespace platform
