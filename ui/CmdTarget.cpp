#include "ui/CmdTarget.h"

#include "platform/window/Controls.h"
#include "platform/window/Menu.h"

#include <utility>

namespace UL {

void CCmdUI::Enable(bool enabled) {
    m_enabled = enabled;
    m_enableChanged = true;
}

void CCmdUI::SetCheck(int check) { m_check = check; }

void CCmdUI::SetText(const std::string&) {}

void CCmdUI::DoUpdate(CCmdTarget& target, bool disableIfNoHandler) {
    m_enableChanged = false;
    if (target.OnCmdMsg(CCommand{m_id, CCommand::Update, this, false})) return;
    if (disableIfNoHandler && !m_enableChanged && !target.HasHandler(m_id)) Enable(false);
}

void CMenuItemCmdUI::Enable(bool enabled) {
    CCmdUI::Enable(enabled);
    m_menu.EnableItem(GetId(), enabled);
}

void CMenuItemCmdUI::SetCheck(int check) {
    CCmdUI::SetCheck(check);
    m_menu.CheckItem(GetId(), check != 0);
}

void CMenuItemCmdUI::SetText(const std::string& utf8) { m_menu.SetItemText(GetId(), utf8); }

CControlCmdUI::CControlCmdUI(platform::Control& control) : CCmdUI(control.Id()), m_control(control) {}

void CControlCmdUI::Enable(bool enabled) {
    CCmdUI::Enable(enabled);
    if (m_control.IsEnabled() != enabled) m_control.Enable(enabled);
}

void CControlCmdUI::SetCheck(int check) {
    CCmdUI::SetCheck(check);
    if (auto* button = dynamic_cast<platform::PushButton*>(&m_control)) button->SetChecked(check != 0);
}

void CControlCmdUI::SetText(const std::string& utf8) {
    if (m_control.Text() != utf8) m_control.SetText(utf8);
}

bool CCmdTarget::OnCmdMsg(const CCommand& command) {
    const auto found = m_handlers.find(command.id);
    if (found == m_handlers.end()) return false;
    const Handlers& handlers = found->second;
    switch (command.kind) {
        case CCommand::Execute:
            if (!handlers.command) return false;
            {
                const boost::function<void()> run = handlers.command;  // the handler may replace itself
                run();
            }
            return true;
        case CCommand::Update:
            if (!handlers.update || command.ui == nullptr) return false;
            {
                const boost::function<void(CCmdUI&)> run = handlers.update;
                run(*command.ui);
            }
            return true;
        case CCommand::Query:
            return !handlers.command.empty();
    }
    return false;
}

void CCmdTarget::SetCommandHandler(int id, boost::function<void()> handler) {
    m_handlers[id].command = std::move(handler);
}

void CCmdTarget::SetUpdateHandler(int id, boost::function<void(CCmdUI&)> handler) {
    m_handlers[id].update = std::move(handler);
}

}  // namespace UL
