#pragma once
// Menus: templates by resource id and language, and the menu bar that a top-level window makes from
// one (Window::SetMenu). Choosing an item, or pressing one of the window's accelerators, reaches the
// window as Window::OnMenuCommand; opening a popup first lets the window bring its items up to date
// (Window::OnMenuPopup).
#include "platform/window/Resources.h"

#include <memory>
#include <string>
#include <vector>

class QMenuBar;

namespace platform {

class Window;

// One entry of a menu: a command item (id not 0), a popup (items not empty) or a separator (neither).
// Texts mark their access key with "&" ("E&xit").
struct MenuItemTemplate {
    int id = 0;
    std::string text;
    std::vector<MenuItemTemplate> items;
    bool IsPopup() const { return !items.empty(); }
    bool IsSeparator() const { return id == 0 && items.empty(); }
};

// A menu bar: its popups from left to right.
struct MenuTemplate {
    std::vector<MenuItemTemplate> popups;
};

// Menus by resource id, one per language; registering an id again replaces it.
void RegisterMenuTemplate(int id, ResourceLanguage language, const MenuTemplate& menu);
// The menu of the program's language, else the English one; null when neither is registered.
const MenuTemplate* FindMenuTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id, ResourceLanguage language);

// A window's menu bar. Items are found by command id (the first item with that id).
class MenuBar {
public:
    MenuBar(Window& window, const MenuTemplate& menu);
    ~MenuBar();
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    // The popups of the bar, their texts, and the command ids each holds (nested popups included).
    int PopupCount() const;
    std::string PopupText(int popup) const;
    std::vector<int> PopupItemIds(int popup) const;
    // Every command id of the bar, in menu order.
    std::vector<int> ItemIds() const;

    bool HasItem(int id) const;
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& utf8);
    void EnableItem(int id, bool enabled);
    bool IsItemEnabled(int id) const;
    void CheckItem(int id, bool checked);
    bool IsItemChecked(int id) const;

    // What the user does: opening a popup (the window brings its items up to date) and choosing an
    // item, which reaches the window only while the item and the window are enabled. True when the
    // command went to the window.
    void OpenPopup(int popup);
    bool Choose(int id);

    // The height the bar takes at the top of its window for the window's width.
    int Height() const;
    QMenuBar* Widget() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
