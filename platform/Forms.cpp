#include "Forms.h"

#include "Dialogs.h"

TApplication Application;

namespace {
TMessagePump gPump = nullptr;
}

void SetMessagePump(TMessagePump Pump)
{
    gPump = Pump;
}

void TApplication::ProcessMessages()
{
    if (gPump) gPump();
}

void TApplication::ShowException(const Exception& E)
{
    TMessageRequest r;
    r.Caption = Title;
    r.Text = E.Message();
    r.Icon = TMsgIcon::Stop;
    ShowMessageBox(r);
}
