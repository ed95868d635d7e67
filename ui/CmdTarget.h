#pragma once
// Commands and their routing. A command is an id from a menu item, an accelerator or a control. Each
// command target (view, document, frame, application) keeps handlers by id: one that carries the
// command out and one that says whether it is available (enabled, checked, its text). A frame routes
// a command to its view (and the view's document) first, then to itself, then to the application;
// the first target with a handler takes it.
#include <boost/function.hpp>

#include <map>
#include <string>

namespace platform {
class Control;
class MenuBar;
}  // namespace platform

namespace UL {

class CCmdTarget;

// Framework command ids.
enum : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_EDIT_SELECT_ALL = 57642,
    ID_APP_EXIT = 57665,
    // Commands from this id up that a form's controls send go to the frame's routing (CFormViewEx).
    kFirstFrameCommand = 0x8000,
    // System commands (from here up) are never disabled for want of a handler.
    kFirstSystemCommand = 0xF000,
};

// The state of one command's user-interface item (a menu item, a control) while it is brought up to
// date. What the handlers do not touch stays as it is.
class CCmdUI {
public:
    explicit CCmdUI(int id) : m_id(id) {}
    virtual ~CCmdUI() = default;
    CCmdUI(const CCmdUI&) = delete;
    CCmdUI& operator=(const CCmdUI&) = delete;

    int GetId() const { return m_id; }
    virtual void Enable(bool enabled = true);
    // 0 unchecked, 1 checked.
    virtual void SetCheck(int check = 1);
    virtual void SetText(const std::string& utf8);

    bool WasEnableChanged() const { return m_enableChanged; }
    bool IsEnabled() const { return m_enabled; }
    int GetCheck() const { return m_check; }

    // Asks the target's routing for the state; with disableIfNoHandler, an item whose command nobody
    // along the route handles and whose handlers did not enable it is disabled.
    void DoUpdate(CCmdTarget& target, bool disableIfNoHandler);

private:
    int m_id;
    bool m_enableChanged = false;
    bool m_enabled = true;
    int m_check = 0;
};

// A menu bar's item.
class CMenuItemCmdUI : public CCmdUI {
public:
    CMenuItemCmdUI(platform::MenuBar& menu, int id) : CCmdUI(id), m_menu(menu) {}
    void Enable(bool enabled = true) override;
    void SetCheck(int check = 1) override;
    void SetText(const std::string& utf8) override;

private:
    platform::MenuBar& m_menu;
};

// A control of a form: enabled and disabled, a button checked, a text set.
class CControlCmdUI : public CCmdUI {
public:
    explicit CControlCmdUI(platform::Control& control);
    void Enable(bool enabled = true) override;
    void SetCheck(int check = 1) override;
    void SetText(const std::string& utf8) override;

private:
    platform::Control& m_control;
};

// One command going along the route.
struct CCommand {
    enum Kind {
        Execute,  // carry it out
        Update,   // bring `ui` up to date
        Query,    // only whether a handler exists
    };
    int id = 0;
    Kind kind = Execute;
    CCmdUI* ui = nullptr;  // Update only
    bool fromControl = false;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // This target's own handlers; a derived target routes further. True when handled: carried out,
    // brought up to date, or (Query) a command handler exists.
    virtual bool OnCmdMsg(const CCommand& command);

    // Carries a command out along the route; false when nobody handles it.
    bool Execute(int id) { return OnCmdMsg(CCommand{id, CCommand::Execute, nullptr, false}); }
    bool HasHandler(int id) { return OnCmdMsg(CCommand{id, CCommand::Query, nullptr, false}); }

protected:
    // Registering an id again replaces its handler; an empty function removes it.
    void SetCommandHandler(int id, boost::function<void()> handler);
    void SetUpdateHandler(int id, boost::function<void(CCmdUI&)> handler);

private:
    struct Handlers {
        boost::function<void()> command;
        boost::function<void(CCmdUI&)> update;
    };
    std::map<int, Handlers> m_handlers;
};

}  // namespace UL
