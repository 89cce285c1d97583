// Message boxes and file dialogs. Every one passes the dialog seam, so a test can answer it
// and read what was shown; a program installs the on-screen seam (QtDialogs.h) at start.
#pragma once
#include "Messages.h"

#include <string>
#include <vector>

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

enum class TMsgIcon { None, Stop, Information, Question, Warning };
enum class TMsgButtons { Ok, YesNoCancel };

// One message box as it is shown: the Results of its buttons in order, with their captions.
struct TMessageRequest {
    std::string Caption;
    std::string Text;
    TMsgIcon Icon = TMsgIcon::None;
    TMsgButtons Buttons = TMsgButtons::Ok;
    int DefaultResult = mrOk; // the button that Enter chooses
    int EscapeResult = mrOk;  // what Escape and the close box choose
    bool CenterOnScreen = true;
    // The window that owns the box, which the box is modal for alone, as the platform's
    // owned boxes are; 0: the box is modal for every window of the program.
    HWND Owner = 0;
    std::vector<std::string> ButtonCaptions() const;
};

enum class TFileDialogKind { Open, Save };

// One open or save dialog: what the program set, and the file chosen.
class TFileDialog {
public:
    explicit TFileDialog(TFileDialogKind Kind) : Kind(Kind) {}
    TFileDialogKind Kind;
    std::string Title;
    std::string Filter;      // "Description|*.ext|..." pairs, as the class library writes them
    std::string DefaultExt;  // without the dot
    std::string InitialDir;
    std::string FileName;
    bool OverwritePrompt = false; // ask before a save replaces an existing file
    bool HideReadOnly = false;    // no "open as read-only" box (this layer's dialogs never show one)
    bool Resizable = true;        // the user may change the dialog's size
    int FilterIndex = 1;          // the filter entry shown first, counted from 1; the entry last chosen after Execute
    bool CenterOnScreen = false;  // centred on the screen by its frame; else placed over the active window
    // Shows the dialog; true with FileName set to the chosen path, false when cancelled.
    bool Execute();
};

class TDialogSeam {
public:
    virtual ~TDialogSeam() = default;
    virtual int ShowMessage(const TMessageRequest& Request) = 0;
    virtual bool ExecuteFileDialog(TFileDialog& Dialog) = 0;
};

// Without a seam, a message goes to standard error and is answered with its escape result,
// and a file dialog is cancelled.
void SetDialogSeam(TDialogSeam* Seam);
TDialogSeam* DialogSeam();

int ShowMessageBox(const TMessageRequest& Request);

// The editor's message dialog, of three kinds: error (caption "Error", stop icon, "OK"),
// information ("Information", information icon, "OK") and confirmation ("Confirm",
// question icon, "&Yes", "&No", "Cancel"; Yes the default, Cancel for Escape and the close box).
enum class TMsgDlgType { mtError, mtInformation, mtConfirmation };
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType);

// The platform's message box flags that the programs use.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
// A plain message box with an OK button, owned by Owner (a window handle); returns mrOk.
int MessageBoxA(void* Owner, const std::string& Text, const std::string& Caption, unsigned Flags);
