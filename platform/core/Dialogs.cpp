#include "Dialogs.h"

#include "Messages.h"

#include <cstdio>

namespace {
TDialogSeam* gSeam = nullptr;
}

std::vector<std::string> TMessageRequest::ButtonCaptions() const
{
    if (Buttons == TMsgButtons::YesNoCancel) return {"&Yes", "&No", "Cancel"};
    return {"OK"};
}

void SetDialogSeam(TDialogSeam* Seam)
{
    gSeam = Seam;
}

TDialogSeam* DialogSeam()
{
    return gSeam;
}

int ShowMessageBox(const TMessageRequest& Request)
{
    // While a box is up, its own loop takes the messages: they are dispatched, but the
    // application's hook does not see them.
    TLoopScope modal(TLoopKind::Modal);
    if (gSeam) return gSeam->ShowMessage(Request);
    std::fprintf(stderr, "%s: %s\n", Request.Caption.c_str(), Request.Text.c_str());
    return Request.EscapeResult;
}

bool TFileDialog::Execute()
{
    return gSeam ? gSeam->ExecuteFileDialog(*this) : false;
}

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType)
{
    TMessageRequest r;
    r.Text = Msg;
    switch (DlgType) {
    case TMsgDlgType::mtError:
        r.Caption = "Error";
        r.Icon = TMsgIcon::Stop;
        break;
    case TMsgDlgType::mtInformation:
        r.Caption = "Information";
        r.Icon = TMsgIcon::Information;
        break;
    case TMsgDlgType::mtConfirmation:
        r.Caption = "Confirm";
        r.Icon = TMsgIcon::Question;
        r.Buttons = TMsgButtons::YesNoCancel;
        r.DefaultResult = mrYes;
        r.EscapeResult = mrCancel;
        break;
    }
    return ShowMessageBox(r);
}

int MessageBoxA(void* Owner, const std::string& Text, const std::string& Caption, unsigned Flags)
{
    TMessageRequest r;
    r.Owner = static_cast<HWND>(reinterpret_cast<uintptr_t>(Owner));
    r.Caption = Caption;
    r.Text = Text;
    switch (Flags & 0xF0) {
    case MB_ICONERROR: r.Icon = TMsgIcon::Stop; break;
    case MB_ICONQUESTION: r.Icon = TMsgIcon::Question; break;
    case MB_ICONWARNING: r.Icon = TMsgIcon::Warning; break;
    case MB_ICONINFORMATION: r.Icon = TMsgIcon::Information; break;
    default: r.Icon = TMsgIcon::None; break;
    }
    ShowMessageBox(r);
    return mrOk;
}
