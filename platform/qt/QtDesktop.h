// The desktop as any Qt platform gives it: the pointer as Qt sees it, and the notification
// area through QSystemTrayIcon (a StatusNotifierItem host where the desktop has one, the X11
// system tray otherwise). Windows of this process alone; the X11 desktop adds the rest.
#pragma once
#include "Messages.h"

#include <map>
#include <memory>
#include <utility>

class QIcon;
class QSystemTrayIcon;

// A palette icon as Qt draws it: sharp and even at every size and pixel ratio, at a whole
// number of screen pixels for each of its own (the icon's own size on a plain desktop, twice
// that at 200 %); empty for a handle that names no icon.
QIcon QtIconOf(HICON Icon);

class TQtDesktop : public TDesktop {
public:
    TQtDesktop();
    ~TQtDesktop() override;
    POINT CursorPos() override;
    void NotifyIconChanged(uint32_t Message, const NOTIFYICONDATA& Data) override;

private:
    std::map<std::pair<HWND, uint32_t>, std::unique_ptr<QSystemTrayIcon>> FIcons;
};
