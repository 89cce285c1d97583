// Menu items and the popup menu, as components of a form.
#pragma once
#include "Classes.h"

#include <functional>
#include <string>
#include <vector>

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}
    std::string Caption;                              // "-" makes a separator
    std::function<void(TComponent* Sender)> OnClick; // may be empty
    // What choosing the item does: runs OnClick with the item as sender.
    void Click();
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}
    // The entries in the order shown; the menu does not own them (their owner does).
    std::vector<TMenuItem*> Items;
    // Opens the menu with its top-left corner at the screen point and returns once it is
    // closed; a chosen item's Click runs after the menu has closed. While it is open, its
    // own loop dispatches waiting messages without the application's hook. While any popup
    // menu is open, another Popup opens nothing and returns at once.
    void Popup(int X, int Y);
};
