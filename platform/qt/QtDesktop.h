// The desktop as any Qt platform gives it: the pointer as Qt sees it, and the notification
// area through QSystemTrayIcon (a StatusNotifierItem host where the desktop has one, the X11
// system tray otherwise). Windows of this process alone; the X11 desktop adds the rest.
#pragma once
#include "Messages.h"

#include <map>
#include <memory>
#include <utility>

class QSystemTrayIcon;

class TQtDesktop : public TDesktop {
public:
    TQtDesktop();
    ~TQtDesktop() override;
    POINT CursorPos() override;
    void NotifyIconChanged(uint32_t Message, const NOTIFYICONDATA& Data) override;

private:
    std::map<std::pair<HWND, uint32_t>, std::unique_ptr<QSystemTrayIcon>> FIcons;
};
