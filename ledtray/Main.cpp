#include "Main.h"

#include "Dialogs.h"
#include "NotifyIcon.h"
#include "PORT_32.h"
#include "Paths.h"
#include "Shell.h"
#include "Transport.h"

#include <algorithm>
#include <cstring>

namespace tray {

TMainForm* MainForm = nullptr;

namespace {

constexpr char Caption[] = "QuillboardLED";
constexpr char NoLinkText[] = "Unable to communicate wth Quillboard";
constexpr char EepromNote[] = "Note: EEPROM must be in erased stated in order to get version info. ";
constexpr char Crlf[] = "\r\n";

TMenuItem* NewItem(TMainForm* Form, const char* Name, const char* Caption)
{
    auto* item = new TMenuItem(Form);
    item->Name = Name;
    item->Caption = Caption;
    return item;
}

void InformationBox(const std::string& Text)
{
    Application.MessageBox(Text, Caption, MB_ICONINFORMATION);
}

std::string HelpText()
{
    const std::string bullet = " \x95";
    return std::string("This program controls the LED of a Varnholt Quillboard 590 or 591. Please follow these") + Crlf +
           "IMPORTANT CONFIGURATION REQUIREMENTS:" + Crlf + Crlf +
           bullet + " This function requires a Quillboard v5.00 or higher. " + Crlf + Crlf +
           bullet + " For controlling the LED make sure the Quillboard is configured for LED in Host/Macro mode. " + Crlf + Crlf +
           bullet + " For getting the Version info make sure the EEPROM is erased (two-finger reset).";
}

} // namespace

TMainForm::TMainForm(TComponent* AOwner) : TForm(AOwner)
{
    Name = "MainForm";
    SetCaption("Varnholt QuillboardLED");
    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->Name = "PopupMenu1";
    mnuTurnLEDOn = NewItem(this, "mnuTurnLEDOn", "Turn the LED On");
    mnuTurnLEDOff = NewItem(this, "mnuTurnLEDOff", "Turn the LED Off");
    mnuFlashLED = NewItem(this, "mnuFlashLED", "Flash the LED");
    mnuExit = NewItem(this, "mnuExit", "Exit");
    N1 = NewItem(this, "N1", "-");
    mnuGetVersion = NewItem(this, "mnuGetVersion", "Get Keypad Version");
    N2 = NewItem(this, "N2", "-");
    Help1 = NewItem(this, "Help1", "Help\\About");
    N3 = NewItem(this, "N3", "-");
    PopupMenu1->Items = {Help1, N3, mnuTurnLEDOn, mnuTurnLEDOff, mnuFlashLED, N1, mnuGetVersion, N2, mnuExit};
    Help1->OnClick = [this](TComponent* s) { Help1Click(s); };
    mnuTurnLEDOn->OnClick = [this](TComponent* s) { mnuTurnLEDOnClick(s); };
    mnuTurnLEDOff->OnClick = [this](TComponent* s) { mnuTurnLEDOffClick(s); };
    mnuFlashLED->OnClick = [this](TComponent* s) { mnuFlashLEDClick(s); };
    mnuGetVersion->OnClick = [this](TComponent* s) { mnuGetVersionClick(s); };
    mnuExit->OnClick = [this](TComponent* s) { mnuExitClick(s); };

    KeyPort = new TPortAccess(this);
    KeyPort->Name = "KeyPort";
    // The form's stored values, applied as the form is loaded.
    KeyPort->SetLPTNumber(0);
    KeyPort->SetHardAccess(false);
    tray::KeyPort = KeyPort;
    // A command waiting for what another program holds gives up once the utility is ending.
    tray::ProgramEnding = [this] { return Ending(); };

    FormCreate(this);
}

TMainForm::~TMainForm()
{
    FormDestroy(this);
    // Neither the loop's hook, the transport nor the program block may reach a form that is gone.
    Application.OnMessage = nullptr;
    if (tray::KeyPort == KeyPort) tray::KeyPort = nullptr;
    tray::ProgramEnding = nullptr;
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::FormCreate(TComponent*)
{
    TrayMessage = RegisterWindowMessageA("IconNotify_QZ_QuillboardLED");
    AddTrayIcon();
    Application.OnMessage = [this](MSG& Msg, bool& Handled) { AppMessage(Msg, Handled); };
}

void TMainForm::FormDestroy(TComponent*)
{
    RemoveTrayIcon();
}

void TMainForm::AddTrayIcon()
{
    NOTIFYICONDATA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = Handle();
    nid.uID = 0;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = TrayMessage;
    nid.hIcon = Application.Icon;
    const std::string tip = "Varnholt QuillboardLED";
    std::memcpy(nid.szTip, tip.data(), std::min(tip.size(), sizeof nid.szTip - 1));
    Shell_NotifyIconA(NIM_ADD, &nid);
}

void TMainForm::RemoveTrayIcon()
{
    NOTIFYICONDATA nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = Handle();
    nid.uID = 0;
    Shell_NotifyIconA(NIM_DELETE, &nid);
}

void TMainForm::WndProc(TMessage& Message)
{
    if (Message.Msg != TrayMessage) {
        TForm::WndProc(Message);
        return;
    }
    // Every other notification (left button, double click, movement) is swallowed.
    if (Message.LParam != static_cast<LPARAM>(WM_RBUTTONUP)) return;
    POINT cursor;
    GetCursorPos(cursor);
    SetForegroundWindow(Handle());
    PopupMenu1->Popup(cursor.x, cursor.y);
    PostMessageA(Handle(), WM_NULL, 0, 0);
}

void TMainForm::AppMessage(MSG& Msg, bool& Handled)
{
    if (Msg.message != WM_KEYPADCOMMAND || Msg.wParam != CommandIntroducer) return;
    switch (Msg.lParam) {
    case kcLEDOff: mnuTurnLEDOff->Click(); break;
    case kcLEDOn: mnuTurnLEDOn->Click(); break;
    case kcFlashLED: mnuFlashLED->Click(); break;
    default: return; // a version request cannot be made by message
    }
    Handled = true;
}

void TMainForm::Help1Click(TComponent*)
{
    Application.MessageBox(HelpText(), "QuillboardLED Demo v5.10 - Help", MB_OK);
}

void TMainForm::mnuTurnLEDOnClick(TComponent*)
{
    RunCommand(kcLEDOn);
}

void TMainForm::mnuTurnLEDOffClick(TComponent*)
{
    RunCommand(kcLEDOff);
}

void TMainForm::mnuFlashLEDClick(TComponent*)
{
    RunCommand(kcFlashLED);
}

void TMainForm::mnuGetVersionClick(TComponent*)
{
    RunCommand(kcGetVersion);
}

void TMainForm::mnuExitClick(TComponent*)
{
    if (FSending) {
        FExitPending = true;
        return;
    }
    Close();
}

void TMainForm::RunCommand(Byte Command)
{
    // Commands run in order of arrival: one that comes while another is being sent, or while
    // earlier ones still wait for their turn, joins the end of the line.
    if (FSending || !FDeferred.empty()) {
        FDeferred.push_back(Command);
        return;
    }
    ExecuteCommand(Command);
    // What arrived during the send runs now, also when this command ran over the box of
    // another: nothing is being sent then.
    while (!FDeferred.empty() && !Ending()) {
        const Byte next = FDeferred.front();
        FDeferred.pop_front();
        ExecuteCommand(next);
    }
    // Commands that have not started are dropped when the program ends.
    FDeferred.clear();
    if (FExitPending) {
        FExitPending = false;
        Close();
    }
}

void TMainForm::ExecuteCommand(Byte Command)
{
    FSending = true;
    const bool reached = SendKeypadCommand(Command);
    FSending = false;
    if (!reached) {
        // A program that is ending asks nothing more: a command it cut short has no box.
        if (Ending()) return;
        InformationBox(NoLinkText);
        return;
    }
    if (Command == kcGetVersion) GuideToVersionWindow();
}

bool TMainForm::Ending() const
{
    return FExitPending || Application.Terminated();
}

// The keypad types its version into the focused window at the next key press: Tapcheck's
// when it lies beside the utility, else Notepad's.
void TMainForm::GuideToVersionWindow()
{
    const std::string folder = ExtractFilePath(ProgramFileName());
    if (!FileExists(folder + "Tapcheck.exe")) {
        InformationBox(std::string("Open/activate \"Notepad.exe\" then press a keypad key.") + Crlf + EepromNote);
        return;
    }
    if (const HWND tapcheck = FindWindowA(nullptr, "Tapcheck")) {
        BringWindowToTop(tapcheck);
        InformationBox(std::string("Tapcheck opened.  When ready, press a keypad key.") + Crlf + EepromNote);
        return;
    }
    InformationBox(std::string("Tapcheck is opening.  When ready, press a keypad key.") + Crlf + EepromNote);
    // A box ended by "Exit" was not answered: nothing is started for a program that is ending.
    if (Application.Terminated()) return;
    ShellExecuteA(reinterpret_cast<void*>(static_cast<uintptr_t>(Application.Handle())), "open", "Tapcheck.exe", "",
                  folder, SW_SHOWNORMAL);
}

} // namespace tray
