#include "Forms.h"

#include "Dialogs.h"

TApplication Application;

namespace {
TMessagePump gPump = nullptr;
TMessageLoop gLoop = nullptr;
TMessageLoop gQuit = nullptr;
} // namespace

void SetMessagePump(TMessagePump Pump)
{
    gPump = Pump;
}

void SetMessageLoop(TMessageLoop Loop, TMessageLoop Quit)
{
    gLoop = Loop;
    gQuit = Quit;
}

void TApplication::ProcessMessages()
{
    if (gPump) gPump();
}

bool TApplication::HandleWaitingMessage()
{
    MSG msg;
    if (!PeekWaitingMessage(msg)) return false;
    bool handled = false;
    if (OnMessage) OnMessage(msg, handled);
    if (!handled) DispatchMessageA(msg);
    return true;
}

HWND TApplication::Handle()
{
    if (FHandle == 0) FHandle = CreateWindowHandle(Title, [](TMessage&) {});
    return FHandle;
}

void TApplication::Run()
{
    if (FTerminated) return;
    if (gLoop) {
        gLoop();
        return;
    }
    TLoopScope scope(TLoopKind::Application);
    while (!FTerminated && HandleWaitingMessage()) {
    }
}

void TApplication::Terminate()
{
    FTerminated = true;
    if (gQuit) gQuit();
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags)
{
    return MessageBoxA(reinterpret_cast<void*>(static_cast<uintptr_t>(Handle())), Text, Caption, Flags);
}

void TApplication::ShowException(const Exception& E)
{
    TMessageRequest r;
    r.Caption = Title;
    r.Text = E.Message();
    r.Icon = TMsgIcon::Stop;
    ShowMessageBox(r);
}

TForm::TForm(TComponent* AOwner) : TComponent(AOwner) {}

TForm::~TForm()
{
    if (Application.MainForm == this) Application.MainForm = nullptr;
    if (FHandle != 0) DestroyWindowHandle(FHandle);
}

HWND TForm::Handle()
{
    if (FHandle == 0) FHandle = CreateWindowHandle(FCaption, [this](TMessage& m) { WndProc(m); });
    return FHandle;
}

void TForm::SetCaption(const std::string& Value)
{
    FCaption = Value;
    if (FHandle != 0) SetWindowTextA(FHandle, Value);
}

void TForm::Close()
{
    if (Application.MainForm == this) Application.Terminate();
}

void TForm::WndProc(TMessage&) {}
