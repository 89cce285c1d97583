// The main window's file side: the caption at start, the toolbar's file commands with the
// save-changes question, the Properties and About commands, and the launchers that hand
// work to the loader, Tapcheck, the help documents and the keycap files.
#include "Unit1.h"

#include "About.h"
#include "Forms.h"
#include "Params.h"
#include "Paths.h"
#include "QtApplication.h"
#include "Shell.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QStyle>


namespace {

std::vector<std::string> gArguments;

// The hourglass for the length of a write; the previous cursor comes back however the write ends.
class THourglass {
public:
    THourglass() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~THourglass() { QGuiApplication::restoreOverrideCursor(); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};

// A shell result of 32 or less, taken unsigned, is a failure.
bool ShellFailed(HINSTANCE Result)
{
    return Result <= 32;
}

void Launch(const std::string& Verb, const std::string& File, const std::string& Parameters, const char* Failure)
{
    if (ShellFailed(ShellExecuteA(nullptr, Verb, File, Parameters, "", SW_SHOWNORMAL))) MessageDlg(Failure, TMsgDlgType::mtError);
}

const char* const UntitledName = "untitled.ckd";
const char* const UntitledCaption = "Keysmith591 - untitled.ckd";

} // namespace

void SetCommandLine(std::vector<std::string> Arguments)
{
    gArguments = std::move(Arguments);
}

int ParamCount()
{
    return static_cast<int>(gArguments.size());
}

std::string ParamStr(int Index)
{
    if (Index < 1 || Index > ParamCount()) return "";
    return gArguments[static_cast<size_t>(Index - 1)];
}

std::unique_ptr<TfrmMain> CreateMainForm()
{
    auto form = std::make_unique<TfrmMain>();
    form->CreateFileCommands();
    RunGuarded([&] { form->FormCreate(form.get()); });
    return form;
}

void TfrmMain::CreateFileCommands()
{
    const QStyle::StandardPixmap pictures[] = {
        QStyle::SP_FileIcon,          QStyle::SP_DialogOpenButton, QStyle::SP_DialogSaveButton,
        QStyle::SP_DriveFDIcon,       QStyle::SP_FileDialogDetailedView, QStyle::SP_ArrowDown,
        QStyle::SP_ComputerIcon,      QStyle::SP_DialogHelpButton, QStyle::SP_FileDialogContentsView,
        QStyle::SP_DialogCloseButton};

    HelpMenu = new QMenu(this);
    HelpMenu->setObjectName("HelpMenu");
    auto addHelpItem = [this](const char* Name, const char* Text, void (TfrmMain::*Handler)(QObject*)) {
        QAction* a = HelpMenu->addAction(Text);
        a->setObjectName(Name);
        connect(a, &QAction::triggered, this, [this, a, Handler] { RunGuarded([&] { (this->*Handler)(a); }); });
        return a;
    };
    GettingStarted = addHelpItem("GettingStarted", "&Getting Started Guide", &TfrmMain::GettingStartedClick);
    UserManual = addHelpItem("UserManual", "&User Manual", &TfrmMain::UserManualClick);
    AboutMenuItem = addHelpItem("AboutMenuItem", "&About Keysmith", &TfrmMain::AboutMenuItemClick);

    // ToolBtnSave is already on the bar; the others go before and after it in the toolbar's order.
    QAction* saveAction = ToolBar1->actions().value(0);
    // The style's icons themselves, not pictures taken from them at one size: an icon gives the
    // button its picture at the screen's pixel ratio, at the tool bar's one size.
    auto picture = [this, &pictures](int Image) { return style()->standardIcon(pictures[Image]); };
    auto makeButton = [this, &picture](const char* Name, const char* Text, int Image, void (TfrmMain::*Handler)(QObject*)) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(Name);
        b->setText(Text);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFixedSize(ToolButtonWidth, ToolButtonHeight);
        b->setIcon(picture(Image));
        if (Handler) connect(b, &QToolButton::clicked, this, [this, b, Handler] { RunGuarded([&] { (this->*Handler)(b); }); });
        return b;
    };
    auto separator = [this] {
        auto* gap = new TFrame(ToolBar1);
        gap->setFrameStyle(QFrame::VLine | QFrame::Sunken);
        gap->setFixedSize(ToolSeparatorWidth, ToolButtonHeight);
        ToolBar1->addWidget(gap);
    };
    ToolBtnNew = makeButton("ToolBtnNew", "New", 0, &TfrmMain::NewMenuItemClick);
    ToolBtnOpen = makeButton("ToolBtnOpen", "Open", 1, &TfrmMain::OpenMenuItemClick);
    ToolBar1->insertWidget(saveAction, ToolBtnNew);
    ToolBar1->insertWidget(saveAction, ToolBtnOpen);
    ToolBtnSave->setIcon(picture(2));
    connect(ToolBtnSave, &QToolButton::clicked, this, [this] { RunGuarded([&] { SaveMenuItemClick(ToolBtnSave); }); });
    ToolBtnSaveAs = makeButton("ToolBtnSaveAs", "Save As", 3, &TfrmMain::SaveAsMenuItemClick);
    ToolBar1->addWidget(ToolBtnSaveAs);
    separator();
    ToolBtnParameters = makeButton("ToolBtnParameters", "Properties", 4, &TfrmMain::ToolBtnParametersClick);
    ToolBtnDownload = makeButton("ToolBtnDownload", "Download", 5, &TfrmMain::ToolBtnDownloadClick);
    ToolButtonTest = makeButton("ToolButtonTest", "Test", 6, &TfrmMain::ToolButtonTestClick);
    ToolBar1->addWidget(ToolBtnParameters);
    ToolBar1->addWidget(ToolBtnDownload);
    ToolBar1->addWidget(ToolButtonTest);
    separator();
    ToolBtnHelp = makeButton("ToolBtnHelp", "Help", 7, nullptr);
    ToolBtnHelp->setMenu(HelpMenu);
    ToolBtnHelp->setPopupMode(QToolButton::InstantPopup);
    ToolButtonKeyLabels = makeButton("ToolButtonKeyLabels", "Key Labels", 8, &TfrmMain::ToolButtonKeyLabelsClick);
    ToolBar1->addWidget(ToolBtnHelp);
    ToolBar1->addWidget(ToolButtonKeyLabels);
    separator();
    btnExit = makeButton("btnExit", "Exit", 9, &TfrmMain::btnExitClick);
    ToolBar1->addWidget(btnExit);

    OpenDialog.Title = "Open Redefinition File";
    OpenDialog.Filter = "Custom Keyboard Definition (*.ckd)|*.ckd";
    OpenDialog.DefaultExt = "ckd";
    OpenDialog.HideReadOnly = true;
    OpenDialog.Resizable = true;

    SaveDialog.Title = "Save Redefinition File";
    SaveDialog.Filter = "Custom Keyboard Definition  Files|*.ckd";
    SaveDialog.DefaultExt = "ckd";
    SaveDialog.OverwritePrompt = true;
    SaveDialog.HideReadOnly = true;
    SaveDialog.Resizable = false;

    OpenKeyCapsDialog.Filter = "Keycap Templates  (*.bmp)|*.bmp|Keycap Documents  (*.doc)|*.doc|All Files  (*.*)|*.*";
    OpenKeyCapsDialog.FilterIndex = 3;
    OpenKeyCapsDialog.HideReadOnly = true;
    OpenKeyCapsDialog.Resizable = true;
}

void TfrmMain::FormCreate(QObject*)
{
    ShiftHeld = false;
    OpenDialog.InitialDir = ProgramFolder() + "Macro Files";
    SaveDialog.InitialDir = OpenDialog.InitialDir;
    OpenKeyCapsDialog.InitialDir = ProgramFolder() + "Keycap Labels";
    Keypad->Create();
    if (ParamCount() >= 1) {
        LoadDefinition(ParamStr(1));
        ShowLevelColourAndMode();
    } else {
        SetModified(false);
        SetCaption(UntitledCaption);
    }
}

void TfrmMain::ShowLevelColourAndMode()
{
    SetColor(pnlKeypad, Keypad->CurrentLevel() == 0 ? QColor(0x80, 0x80, 0x80) : QColor(0, 0, 0));
    cboxMacroMode->setCurrentIndex(Keypad->GetMacroMode());
}

int TfrmMain::SaveChangesQuestion()
{
    if (!Modified) return mrNone;
    const int answer = MessageDlg("Do you wish to save changes to your custom definition?", TMsgDlgType::mtConfirmation);
    if (answer == mrYes) {
        SaveMenuItemClick(this);
        // Save As cancelled: the changes are still only in memory.
        return Modified ? mrCancel : mrYes;
    }
    return answer == mrNo ? mrNo : mrCancel;
}

void TfrmMain::NewMenuItemClick(QObject*)
{
    const int answer = SaveChangesQuestion();
    if (answer == mrCancel) return;
    if (answer == mrNo) SetModified(false);
    Keypad->Create();
    for (TSpeedButton* b : KeypadButtons) {
        Keypad->SetCurrentKey(static_cast<uint8_t>(b->Tag));
        UpdateKeyGlyph(b);
    }
    TabControlLevel->SetTabIndex(0);
    PressSpeedButton1();
    Keypad->SetCurrentKey(0);
    Keypad->SetCurrentLevel(0);
    RefreshGrid(Keypad->CodeCount());
    SetCaption(UntitledCaption);
    SaveDialog.FileName = UntitledName;
    ShowLevelColourAndMode();
}

void TfrmMain::OpenMenuItemClick(QObject*)
{
    if (SaveChangesQuestion() == mrCancel) return;
    if (OpenDialog.Execute()) LoadDefinition(OpenDialog.FileName);
    ShowLevelColourAndMode();
}

void TfrmMain::SaveMenuItemClick(QObject*)
{
    const std::string name = SaveDialog.FileName;
    if (name.empty() || LowerCase(name) == UntitledName) {
        SaveAsMenuItemClick(this);
        return;
    }
    WriteDefinition(name);
}

void TfrmMain::SaveAsMenuItemClick(QObject*)
{
    if (!SaveDialog.Execute()) return;
    WriteDefinition(SaveDialog.FileName);
}

void TfrmMain::WriteDefinition(const std::string& FileName)
{
    THourglass hourglass;
    SaveDefinition(FileName);
}

void TfrmMain::FormCloseQuery(QObject*, bool& CanClose)
{
    CanClose = false;
    const int answer = SaveChangesQuestion();
    CanClose = answer != mrCancel;
}

void TfrmMain::closeEvent(QCloseEvent* E)
{
    bool canClose = false;
    RunGuarded([&] { FormCloseQuery(this, canClose); });
    if (canClose) {
        E->accept();
    } else {
        E->ignore();
    }
}

void TfrmMain::btnExitClick(QObject*)
{
    close();
}

void TfrmMain::ToolBtnParametersClick(QObject*)
{
    if (frmParameters) frmParameters->exec();
}

void TfrmMain::AboutMenuItemClick(QObject*)
{
    ShowAboutBox(*this);
}

void TfrmMain::ToolBtnDownloadClick(QObject*)
{
    if (Modified) {
        MessageDlg("You must save your file before downloading it to the keypad.", TMsgDlgType::mtError);
        return;
    }
    // One argument, quoted for the platform's splitting, so any path arrives whole.
    Launch("", ProgramFolder() + "Keyburn591.exe", QuoteArgument(SaveDialog.FileName),
           "Could not find \"Keyburn591.exe\" loader program.  Make sure it is located in the same directory as this application.");
}

void TfrmMain::ToolButtonTestClick(QObject*)
{
    Launch("", ProgramFolder() + "Tapcheck.exe", "",
           "Could not find the Windows Tapcheck Program.  Make sure it is located in the same directory as this application.");
}

void TfrmMain::UserManualClick(QObject*)
{
    Launch("open", ProgramFolder() + "Help/Keysmith.pdf", "", "Could not find \"Keysmith.pdf\" help file.");
}

void TfrmMain::GettingStartedClick(QObject*)
{
    Launch("open", ProgramFolder() + "Help/Getting Started.pdf", "", "Could not find \"Getting Started.pdf\" help file.");
}

void TfrmMain::ToolButtonKeyLabelsClick(QObject*)
{
    if (!OpenKeyCapsDialog.Execute()) return;
    Launch("open", "\"" + OpenKeyCapsDialog.FileName + "\"", "", "Could not open the file.");
}
