#include "platform/window/Menu.h"

#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

#include <map>
#include <utility>

namespace platform {

namespace {

std::map<std::pair<int, ResourceLanguage>, MenuTemplate>& MenuTemplates() {
    static std::map<std::pair<int, ResourceLanguage>, MenuTemplate> menus;
    return menus;
}

}  // namespace

void RegisterMenuTemplate(int id, ResourceLanguage language, const MenuTemplate& menu) {
    MenuTemplates()[{id, language}] = menu;
}

const MenuTemplate* FindMenuTemplate(int id, ResourceLanguage language) {
    const auto found = MenuTemplates().find({id, language});
    return found == MenuTemplates().end() ? nullptr : &found->second;
}

const MenuTemplate* FindMenuTemplate(int id) {
    if (const MenuTemplate* menu = FindMenuTemplate(id, ProgramLanguage())) return menu;
    return FindMenuTemplate(id, ResourceLanguage::English);
}

struct MenuBar::Impl {
    struct Item {
        int id = 0;
        QPointer<QAction> action;
        bool checked = false;  // what the window last said; a click does not change it
    };
    Window& window;
    QPointer<QMenuBar> bar;
    std::vector<QPointer<QMenu>> popups;
    std::vector<std::vector<int>> popupIds;
    std::vector<Item> items;

    explicit Impl(Window& owner) : window(owner) {}

    Item* Find(int id) {
        for (Item& item : items) {
            if (item.id == id && item.action) return &item;
        }
        return nullptr;
    }
    const Item* Find(int id) const { return const_cast<Impl*>(this)->Find(id); }

    // Adds the template's items to the menu; their ids go to `ids` as well.
    void Fill(QMenu* menu, const std::vector<MenuItemTemplate>& entries, std::vector<int>& ids) {
        for (const MenuItemTemplate& entry : entries) {
            if (entry.IsPopup()) {
                QMenu* sub = menu->addMenu(ToQString(entry.text));
                std::vector<int> subIds;
                Fill(sub, entry.items, subIds);
                ids.insert(ids.end(), subIds.begin(), subIds.end());
                Watch(sub, subIds);
            } else if (entry.IsSeparator()) {
                menu->addSeparator();
            } else {
                QAction* action = menu->addAction(ToQString(entry.text));
                const int id = entry.id;
                QObject::connect(action, &QAction::triggered, action, [this, id] {
                    DispatchScope scope(bar.data());
                    if (Item* item = Find(id)) ShowCheck(*item);  // the toolkit flipped it; the window decides
                    window.DispatchMenuCommand(id, false);
                });
                items.push_back(Item{id, action, false});
                ids.push_back(id);
            }
        }
    }

    // Only a checked item is checkable, so that unchecked items show no empty box.
    static void ShowCheck(Item& item) {
        item.action->setCheckable(item.checked);
        item.action->setChecked(item.checked);
    }

    void Watch(QMenu* menu, std::vector<int> ids) {
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu, ids] {
            DispatchScope scope(menu);
            window.DispatchMenuPopup(ids);
        });
    }
};

MenuBar::MenuBar(Window& window, const MenuTemplate& menu) : m_impl(std::make_unique<Impl>(window)) {
    if (!window.Exists()) return;
    m_impl->bar = new QMenuBar(window.Widget());
    m_impl->bar->setNativeMenuBar(false);  // inside the window, as the desktop's own menus would be
    for (const MenuItemTemplate& popup : menu.popups) {
        QMenu* qmenu = m_impl->bar->addMenu(ToQString(popup.text));
        std::vector<int> ids;
        m_impl->Fill(qmenu, popup.items, ids);
        m_impl->Watch(qmenu, ids);
        m_impl->popups.push_back(qmenu);
        m_impl->popupIds.push_back(ids);
    }
    m_impl->bar->show();
}

MenuBar::~MenuBar() {
    if (m_impl->bar) DestroyWidget(m_impl->bar.data());
}

int MenuBar::PopupCount() const { return int(m_impl->popups.size()); }

std::string MenuBar::PopupText(int popup) const {
    if (popup < 0 || popup >= PopupCount() || !m_impl->popups[size_t(popup)]) return std::string();
    return FromQString(m_impl->popups[size_t(popup)]->title());
}

std::vector<int> MenuBar::PopupItemIds(int popup) const {
    if (popup < 0 || popup >= PopupCount()) return {};
    return m_impl->popupIds[size_t(popup)];
}

std::vector<int> MenuBar::ItemIds() const {
    std::vector<int> ids;
    for (const auto& popup : m_impl->popupIds) ids.insert(ids.end(), popup.begin(), popup.end());
    return ids;
}

bool MenuBar::HasItem(int id) const { return m_impl->Find(id) != nullptr; }

std::string MenuBar::ItemText(int id) const {
    const Impl::Item* item = m_impl->Find(id);
    return item != nullptr ? FromQString(item->action->text()) : std::string();
}

void MenuBar::SetItemText(int id, const std::string& utf8) {
    if (Impl::Item* item = m_impl->Find(id)) item->action->setText(ToQString(utf8));
}

void MenuBar::EnableItem(int id, bool enabled) {
    if (Impl::Item* item = m_impl->Find(id)) item->action->setEnabled(enabled);
}

bool MenuBar::IsItemEnabled(int id) const {
    const Impl::Item* item = m_impl->Find(id);
    return item != nullptr && item->action->isEnabled();
}

void MenuBar::CheckItem(int id, bool checked) {
    if (Impl::Item* item = m_impl->Find(id)) {
        item->checked = checked;
        Impl::ShowCheck(*item);
    }
}

bool MenuBar::IsItemChecked(int id) const {
    const Impl::Item* item = m_impl->Find(id);
    return item != nullptr && item->checked;
}

void MenuBar::OpenPopup(int popup) {
    if (popup < 0 || popup >= PopupCount() || !m_impl->popups[size_t(popup)]) return;
    emit m_impl->popups[size_t(popup)]->aboutToShow();
}

bool MenuBar::Choose(int id) {
    Impl::Item* item = m_impl->Find(id);
    if (item == nullptr || !m_impl->bar || !m_impl->bar->isEnabled() || !item->action->isEnabled()) return false;
    item->action->trigger();
    return true;
}

int MenuBar::Height() const {
    if (!m_impl->bar) return 0;
    const int width = m_impl->bar->parentWidget() != nullptr ? m_impl->bar->parentWidget()->width() : 0;
    const int forWidth = width > 0 ? m_impl->bar->heightForWidth(width) : -1;
    return forWidth > 0 ? forWidth : m_impl->bar->sizeHint().height();
}

QMenuBar* MenuBar::Widget() const { return m_impl->bar.data(); }

}  // namespace platform
