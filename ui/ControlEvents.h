#pragma once
// Events of the library's controls and the interfaces of their listeners. Every event carries its
// control (a pointer of the control's own type) as its source. Controls keep listeners as plain
// pointers, call them in the order they were added (one added twice is called twice) and never drop
// them: a listener outlives the control, or is no longer reachable when the control fires.
#include "general_tools/Events.h"

namespace UL {

class CButtonA;
class CEditA;
class CComboBoxA;
class CSpinEdit;

class CButtonEvent : public GT::CEvent {
public:
    explicit CButtonEvent(CButtonA* source) : GT::CEvent(source) {}
};

class IButtonEventListener : public GT::IEventListener {
public:
    virtual void OnButtonClicked(const CButtonEvent& event) = 0;
};

// The source is the edit (CEditA*), or the spin edit (CSpinEdit*) whose text changed.
class CEditEvent : public GT::CEvent {
public:
    explicit CEditEvent(CEditA* source) : GT::CEvent(source) {}
    explicit CEditEvent(CSpinEdit* source) : GT::CEvent(source) {}
};

class IEditEventListener : public GT::IEventListener {
public:
    virtual void OnEditChanged(const CEditEvent& event) = 0;
};

class CComboBoxEvent : public GT::CEvent {
public:
    enum : int { kSelectionChanged = 0, kDroppedDown = 1 };
    CComboBoxEvent(CComboBoxA* source, int kind) : GT::CEvent(source), m_kind(kind) {}
    int GetKind() const { return m_kind; }

private:
    int m_kind;
};

class IComboBoxEventListener : public GT::IEventListener {
public:
    virtual void OnComboBoxEvent(const CComboBoxEvent& event) = 0;
};

class CSpinEditEvent : public GT::CEvent {
public:
    explicit CSpinEditEvent(CSpinEdit* source) : GT::CEvent(source) {}
};

class ISpinEditEventListener : public GT::IEventListener {
public:
    virtual void OnSpinStarted(const CSpinEditEvent& event) = 0;
    virtual void OnSpinEnded(const CSpinEditEvent& event) = 0;
};

// The source is the popup, as the popup behaviour over its control: CPopupImplementer<CEditA>*,
// CPopupImplementer<CComboBoxA>* or CPopupImplementer<CSpinEdit>*.
class CPopupEvent : public GT::CEvent {
public:
    template <class TPopup>
    explicit CPopupEvent(TPopup* source) : GT::CEvent(source) {}
};

class IPopupEventListener : public GT::IEventListener {
public:
    // Ended with a commit (Enter, a left click outside).
    virtual void OnPopupClosed(const CPopupEvent& event) = 0;
    // Ended with a cancel (Esc, a right click outside, activation lost).
    virtual void OnPopupCancelled(const CPopupEvent& event) = 0;
};

}  // namespace UL
