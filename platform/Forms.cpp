#include "Forms.h"

#include "Dialogs.h"

TApplication Application;

void TApplication::ShowException(const Exception& E)
{
    TMessageRequest r;
    r.Caption = Title;
    r.Text = E.Message();
    r.Icon = TMsgIcon::Stop;
    ShowMessageBox(r);
}
