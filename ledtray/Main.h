// Unit Main: the tray utility's only form. It is never shown: it owns the notification-area
// icon and its menu, takes WM_KEYPADCOMMAND from other programs through the application's
// message hook, and sends each command to the keypad through the transport.
#pragma once
#include "Forms.h"
#include "KeypadProtocol.h"
#include "Menus.h"

#include <deque>

class TPortAccess;

namespace tray {

// Posted by another program to switch the LED: wParam CommandIntroducer, lParam kcLEDOff,
// kcLEDOn or kcFlashLED.
constexpr UINT WM_KEYPADCOMMAND = WM_APP + 0x591;

class TMainForm : public TForm {
public:
    explicit TMainForm(TComponent* AOwner);
    ~TMainForm() override;

    TPopupMenu* PopupMenu1;
    TMenuItem* mnuTurnLEDOn;
    TMenuItem* mnuTurnLEDOff;
    TMenuItem* mnuFlashLED;
    TMenuItem* mnuExit;
    TMenuItem* N1;
    TMenuItem* mnuGetVersion;
    TMenuItem* N2;
    TMenuItem* Help1;
    TMenuItem* N3;
    TPortAccess* KeyPort;

    // The message number of the tray icon's notifications.
    UINT TrayMessage = 0;

    void FormCreate(TComponent* Sender);
    void FormDestroy(TComponent* Sender);
    void AddTrayIcon();
    void RemoveTrayIcon();
    void AppMessage(MSG& Msg, bool& Handled);

    void Help1Click(TComponent* Sender);
    void mnuTurnLEDOnClick(TComponent* Sender);
    void mnuTurnLEDOffClick(TComponent* Sender);
    void mnuFlashLEDClick(TComponent* Sender);
    void mnuGetVersionClick(TComponent* Sender);
    void mnuExitClick(TComponent* Sender);

protected:
    void WndProc(TMessage& Message) override;

private:
    // A command that arrives while another one's bytes are being sent (the PS/2 wait lets
    // messages run) waits until the running command has returned, so no two commands'
    // bytes interleave and port access is never closed under a running command; waiting
    // commands keep their order of arrival.
    void RunCommand(Byte Command);
    void ExecuteCommand(Byte Command);
    void GuideToVersionWindow();
    // "Exit" chosen during a command, or the program ended from outside.
    bool Ending() const;

    bool FSending = false;
    bool FExitPending = false; // "Exit" chosen while a command was being sent
    // Commands waiting for their turn, oldest first.
    std::deque<Byte> FDeferred;
};

extern TMainForm* MainForm;

} // namespace tray
