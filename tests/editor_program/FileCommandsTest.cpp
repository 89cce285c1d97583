// The main window's file commands, the save-changes question and the launchers, driven
// in-process with the dialog and process seams answering.
#include "QtTestApp.h"
#include "RecordingLauncher.h"
#include "TestSupport.h"

#include "Forms.h"
#include "Params.h"
#include "Paths.h"
#include "Startup.h"
#include "Shell.h"
#include "SysUtils.h"
#include "Unit1.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char* const Question = "Do you wish to save changes to your custom definition?";
const char* const Untitled = "Keysmith591 - untitled.ckd";

class FileCommandsTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TRecordingDialogs Dialogs;
    TRecordingLauncher Launcher;
    std::unique_ptr<TfrmMain> Form;

    void SetUp() override
    {
        App();
        SetProgramFileName(Dir.File("Keysmith591"));
        Application.Title = "Keysmith";
        mkdir(Dir.File("Macro Files").c_str(), 0755);
    }
    void TearDown() override
    {
        Form.reset();
        SetCommandLine({});
        SetProgramFileName("");
    }
    // One main window at a time: the old one goes before the next is made, as it detaches
    // the definition routines when it is destroyed.
    TfrmMain& Start(const std::string& CommandLine = "")
    {
        Form.reset();
        SetCommandLine(SplitCommandLine(CommandLine));
        Form = CreateMainForm();
        return *Form;
    }
    // A definition on disk whose key 1, level 1 holds one code.
    std::string SavedDefinition(const std::string& Name)
    {
        const std::string path = Dir.File(Name);
        Start().InsertAtCursor(30);
        SaveDefinition(path);
        Form.reset();
        return path;
    }
    void Change() { Form->InsertAtCursor(31); }
    int Codes() const { return Keypad->CodeCount(); }
};

TEST_F(FileCommandsTest, StartWithoutArgumentsIsUntitledAndClean)
{
    TfrmMain& f = Start();
    EXPECT_EQ(f.Caption(), Untitled);
    EXPECT_FALSE(f.ToolBtnSave->isEnabled());
    EXPECT_FALSE(Modified);
    EXPECT_EQ(f.SaveDialog.FileName, "untitled.ckd");
    EXPECT_EQ(f.OpenDialog.InitialDir, Dir.File("Macro Files"));
    EXPECT_EQ(f.SaveDialog.InitialDir, Dir.File("Macro Files"));
    EXPECT_EQ(f.OpenKeyCapsDialog.InitialDir, Dir.File("Keycap Labels"));

    // Laid edge to edge from the left, every one on the window: nothing behind an overflow.
    f.show();
    std::vector<std::string> bar;
    int left = 0;
    for (QAction* a : f.ToolBar1->actions()) {
        QWidget* w = f.ToolBar1->widgetForAction(a);
        auto* b = qobject_cast<QToolButton*>(w);
        bar.push_back(b ? b->text().toStdString() : "|");
        EXPECT_TRUE(w->isVisible()) << bar.back();
        EXPECT_EQ(w->mapTo(&f, QPoint(0, 0)).x(), left) << bar.back();
        EXPECT_EQ(w->size(), b ? QSize(59, 36) : QSize(12, 36)) << bar.back();
        left += w->width();
    }
    EXPECT_EQ(left, 626);
    EXPECT_LE(left, f.width());
    EXPECT_EQ(bar, (std::vector<std::string>{"New", "Open", "Save", "Save As", "|", "Properties", "Download", "Test", "|",
                                             "Help", "Key Labels", "|", "Exit"}));
    const QList<QAction*> items = f.HelpMenu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], f.GettingStarted);
    EXPECT_EQ(f.AboutMenuItem->text(), "&About Keysmith");
    EXPECT_EQ(f.ToolButtonKeyLabels->text(), "Key Labels");
}

TEST_F(FileCommandsTest, CommandLineFileQuotedWithBlanksIsLoaded)
{
    const std::string path = SavedDefinition("my  keypad.ckd");
    TfrmMain& f = Start("\"" + path + "\"");
    EXPECT_EQ(f.Caption(), "Keysmith591 - my  keypad.ckd");
    EXPECT_EQ(f.SaveDialog.FileName, path);
    EXPECT_FALSE(Modified);
    EXPECT_EQ(Codes(), 1);
    EXPECT_TRUE(Dialogs.Messages.empty());

    Change();
    Change();
    EXPECT_EQ(f.Caption(), "Keysmith591 - my  keypad.ckd*");
    EXPECT_TRUE(f.ToolBtnSave->isEnabled());
    f.ToolBtnSave->click();
    EXPECT_EQ(f.Caption(), "Keysmith591 - my  keypad.ckd");
    EXPECT_FALSE(f.ToolBtnSave->isEnabled());
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
}

TEST_F(FileCommandsTest, CommandLineFileNotLoadedKeepsTheDesignState)
{
    const std::string path = SavedDefinition("my keypad.ckd");
    WriteFileText(Dir.File("other.ckd"), "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith590\n");
    for (const std::string& line : {path, Dir.File("missing.ckd"), Dir.File("other.ckd")}) {
        SCOPED_TRACE(line);
        Dialogs.Messages.clear();
        TfrmMain& f = Start(line); // unquoted: only the text before the blank is tried
        EXPECT_EQ(f.Caption(), "Key-Smith");
        EXPECT_TRUE(f.ToolBtnSave->isEnabled());
        EXPECT_FALSE(Modified);
        EXPECT_EQ(f.SaveDialog.FileName, "untitled.ckd");
        EXPECT_EQ(Codes(), 0);
        const bool refused = line.ends_with("other.ckd");
        EXPECT_EQ(Dialogs.Texts(), refused ? std::vector<std::string>{"Not a Keysmith591 file!"} : std::vector<std::string>{});
    }
}

TEST_F(FileCommandsTest, SaveOfAnUntitledOrEmptyNameAsksForOne)
{
    TfrmMain& f = Start();
    for (const std::string name : {"untitled.ckd", "UnTitled.CKD", ""}) {
        SCOPED_TRACE(name);
        Change();
        f.SaveDialog.FileName = name;
        Dialogs.FileDialogs.clear();
        f.ToolBtnSave->click(); // the dialog is cancelled
        ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
        const TFileDialog& d = Dialogs.FileDialogs[0];
        EXPECT_EQ(d.Title, "Save Redefinition File");
        EXPECT_EQ(d.Filter, "Custom Keyboard Definition  Files|*.ckd");
        EXPECT_EQ(d.DefaultExt, "ckd");
        EXPECT_TRUE(d.OverwritePrompt);
        EXPECT_FALSE(d.Resizable);
        EXPECT_TRUE(Modified);
        EXPECT_EQ(f.Caption(), std::string(Untitled) + "*");
        EXPECT_EQ(f.SaveDialog.FileName, name);
    }
    EXPECT_FALSE(FileExists(Dir.File("untitled.ckd")));

    // A full path that merely ends in the untitled name is written at once.
    f.SaveDialog.FileName = Dir.File("untitled.ckd");
    Dialogs.FileDialogs.clear();
    f.ToolBtnSave->click();
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    EXPECT_TRUE(FileExists(Dir.File("untitled.ckd")));
    EXPECT_FALSE(Modified);
}

TEST_F(FileCommandsTest, SaveAsMakesTheChosenNameCurrent)
{
    TfrmMain& f = Start();
    Change();
    Dialogs.FileAnswers = {Dir.File("chosen.ckd")};
    f.ToolBtnSaveAs->click();
    EXPECT_TRUE(FileExists(Dir.File("chosen.ckd")));
    EXPECT_EQ(f.SaveDialog.FileName, Dir.File("chosen.ckd"));
    EXPECT_EQ(f.Caption(), "Keysmith591 - chosen.ckd");
    EXPECT_FALSE(Modified);
}

TEST_F(FileCommandsTest, AnUnwritableSaveIsReportedByTheApplicationAndChangesNothing)
{
    TfrmMain& f = Start();
    Change();
    const std::string path = Dir.File("refused.ckd");
    {
        TRefusingFileSystem refusing;
        Dialogs.FileAnswers = {path};
        f.ToolBtnSaveAs->click();
        EXPECT_GE(refusing.Refused, 1);
    }
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Keysmith");
    EXPECT_EQ(Dialogs.Messages[0].Text, "Unable to write to " + path);
    EXPECT_EQ(Dialogs.Messages[0].Icon, TMsgIcon::Stop);
    EXPECT_TRUE(Modified);
    EXPECT_EQ(f.Caption(), std::string(Untitled) + "*");
    EXPECT_EQ(f.SaveDialog.FileName, path); // a later Save tries the same path again
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FileCommandsTest, NewFollowsTheAnswer)
{
    const std::string path = SavedDefinition("kept.ckd");
    TfrmMain& f = Start("\"" + path + "\"");
    Change();

    Dialogs.Answers = {mrCancel};
    f.ToolBtnNew->click();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{Question});
    EXPECT_EQ(Dialogs.Messages[0].Buttons, TMsgButtons::YesNoCancel);
    EXPECT_EQ(Codes(), 2);
    EXPECT_TRUE(Modified);

    Dialogs.Answers = {mrYes};
    f.ToolBtnNew->click();
    EXPECT_EQ(Codes(), 0);
    EXPECT_FALSE(Modified);
    EXPECT_EQ(f.Caption(), Untitled);
    EXPECT_EQ(f.SaveDialog.FileName, "untitled.ckd");
    EXPECT_EQ(Start("\"" + path + "\"").Caption(), "Keysmith591 - kept.ckd");
    EXPECT_EQ(Codes(), 2); // the Yes saved both codes

    Start();
    Change();
    Form->SpeedButton3->click();
    Form->KeyTypeMenuItemClick(Form->ShiftKeyMenuItem);
    Dialogs.Answers = {mrNo};
    Form->ToolBtnNew->click();
    EXPECT_FALSE(Modified);
    EXPECT_FALSE(Form->ToolBtnSave->isEnabled());
    EXPECT_EQ(Form->Caption(), Untitled);
    EXPECT_TRUE(Form->SpeedButton1->Down());
    EXPECT_EQ(Keypad->CurrentKey(), 0);
    EXPECT_EQ(Form->TabControlLevel->TabIndex(), 0);
    Keypad->SetCurrentKey(2);
    EXPECT_EQ(Keypad->GetKeyType(), KeyTypeNormal);
}

// Nothing unsaved is dropped: a Yes whose save does not happen stops the command.
TEST_F(FileCommandsTest, AYesWhoseSaveDoesNotHappenStopsNewOpenAndClosing)
{
    TfrmMain& f = Start();
    f.show();
    Change();
    Dialogs.Answers = {mrYes, mrYes, mrYes};
    f.ToolBtnNew->click();
    EXPECT_EQ(Codes(), 1);
    f.ToolBtnOpen->click();
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    ASSERT_EQ(Dialogs.FileDialogs.size(), 3u); // three save dialogs, cancelled; no open dialog
    for (const TFileDialog& d : Dialogs.FileDialogs) EXPECT_EQ(d.Title, "Save Redefinition File");
    EXPECT_TRUE(Modified);
    EXPECT_EQ(f.Caption(), std::string(Untitled) + "*");

    // The same when the save fails.
    Dialogs.Messages.clear();
    TRefusingFileSystem refusing;
    f.SaveDialog.FileName = Dir.File("refused.ckd");
    Dialogs.Answers = {mrYes, mrOk, mrYes, mrOk};
    f.ToolBtnNew->click();
    EXPECT_FALSE(f.close());
    EXPECT_EQ(Codes(), 1);
    EXPECT_EQ(Dialogs.Texts(), (std::vector<std::string>{Question, "Unable to write to " + Dir.File("refused.ckd"), Question,
                                                          "Unable to write to " + Dir.File("refused.ckd")}));
}

TEST_F(FileCommandsTest, OpenFollowsTheAnswer)
{
    const std::string path = SavedDefinition("open me.ckd");
    TfrmMain& f = Start();
    Change();
    Change();

    Dialogs.Answers = {mrCancel};
    f.ToolBtnOpen->click();
    EXPECT_TRUE(Dialogs.FileDialogs.empty());

    Dialogs.Answers = {mrNo};
    f.ToolBtnOpen->click(); // the open dialog is cancelled
    ASSERT_EQ(Dialogs.FileDialogs.size(), 1u);
    const TFileDialog& d = Dialogs.FileDialogs[0];
    EXPECT_EQ(d.Title, "Open Redefinition File");
    EXPECT_EQ(d.Filter, "Custom Keyboard Definition (*.ckd)|*.ckd");
    EXPECT_EQ(d.DefaultExt, "ckd");
    EXPECT_TRUE(d.Resizable);
    EXPECT_TRUE(d.HideReadOnly);
    EXPECT_EQ(Codes(), 2);
    EXPECT_TRUE(Modified);
    EXPECT_EQ(f.Caption(), std::string(Untitled) + "*");

    Dialogs.Answers = {mrNo};
    Dialogs.FileAnswers = {path};
    f.ToolBtnOpen->click();
    EXPECT_EQ(Codes(), 1);
    EXPECT_FALSE(Modified);
    EXPECT_EQ(f.Caption(), "Keysmith591 - open me.ckd");
    EXPECT_EQ(f.SaveDialog.FileName, path);

    // Clean: no question, straight to the dialog; a typed name of a missing file changes nothing.
    Dialogs.Messages.clear();
    Dialogs.FileAnswers = {Dir.File("gone.ckd")};
    f.ToolBtnOpen->click();
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_EQ(f.SaveDialog.FileName, path);
}

TEST_F(FileCommandsTest, ClosingFollowsTheAnswer)
{
    TfrmMain& f = Start();
    f.show();
    EXPECT_TRUE(f.close()); // clean: no question
    EXPECT_TRUE(Dialogs.Messages.empty());

    f.show();
    Change();
    Dialogs.Answers = {mrCancel};
    EXPECT_FALSE(f.close());
    Dialogs.Answers = {mrNo};
    f.btnExit->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(Dialogs.Texts(), (std::vector<std::string>{Question, Question}));

    f.show();
    f.SaveDialog.FileName = Dir.File("on close.ckd");
    Dialogs.Answers = {mrYes};
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(FileExists(Dir.File("on close.ckd")));
}

TEST_F(FileCommandsTest, DownloadStartsTheLoaderWithTheCurrentFileAsOneArgument)
{
    MakeExecutable(Dir.File("Keyburn591"));
    TfrmMain& f = Start();
    Change();
    f.ToolBtnDownload->click();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"You must save your file before downloading it to the keypad."});
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Error");
    EXPECT_TRUE(Launcher.Starts.empty());
    EXPECT_TRUE(Modified);

    Start(); // clean, nothing saved
    Form->ToolBtnDownload->click();
    ASSERT_EQ(Launcher.Starts.size(), 1u);
    EXPECT_EQ(Launcher.Starts[0].Program, Dir.File("Keyburn591"));
    EXPECT_EQ(Launcher.Starts[0].Arguments, std::vector<std::string>{"untitled.ckd"});
    EXPECT_EQ(Launcher.Starts[0].Directory, "");

    for (const std::string name : {"two  blanks.ckd", "it's \"quoted\" $(x);.ckd", "trailing\\"}) {
        Form->SaveDialog.FileName = Dir.File(name);
        Form->ToolBtnDownload->click();
        EXPECT_EQ(Launcher.Starts.back().Arguments, std::vector<std::string>{Dir.File(name)});
    }
    EXPECT_EQ(Dialogs.Messages.size(), 1u);
}

TEST_F(FileCommandsTest, EachLauncherSaysWhenItsTargetIsMissing)
{
    TfrmMain& f = Start();
    f.ToolBtnDownload->click();
    f.ToolButtonTest->click();
    f.UserManual->trigger();
    f.GettingStarted->trigger();
    Dialogs.FileAnswers = {Dir.File("no such.bmp")};
    f.ToolButtonKeyLabels->click();
    EXPECT_EQ(Dialogs.Texts(),
              (std::vector<std::string>{
                  "Could not find \"Keyburn591.exe\" loader program.  Make sure it is located in the same directory as this application.",
                  "Could not find the Windows Tapcheck Program.  Make sure it is located in the same directory as this application.",
                  "Could not find \"Keysmith.pdf\" help file.", "Could not find \"Getting Started.pdf\" help file.",
                  "Could not open the file."}));
    for (const TMessageRequest& m : Dialogs.Messages) EXPECT_EQ(m.Caption, "Error");
    EXPECT_TRUE(Launcher.Starts.empty());
    EXPECT_EQ(f.Caption(), Untitled);
    EXPECT_FALSE(Modified);
}

TEST_F(FileCommandsTest, LaunchersStartTheirTargets)
{
    MakeExecutable(Dir.File("Tapcheck"));
    mkdir(Dir.File("Help").c_str(), 0755);
    WriteFileText(Dir.File("Help/Keysmith.pdf"), "%PDF");
    WriteFileText(Dir.File("Help/Getting Started.pdf"), "%PDF");
    const std::string caps = Dir.File("my  caps file.bmp");
    WriteFileText(caps, "BM");
    TfrmMain& f = Start();
    f.ToolButtonTest->click();
    f.UserManual->trigger();
    f.GettingStarted->trigger();
    f.ToolButtonKeyLabels->click(); // cancelled: nothing
    Dialogs.FileAnswers = {caps};
    f.ToolButtonKeyLabels->click();
    EXPECT_TRUE(Dialogs.Messages.empty());
    ASSERT_EQ(Launcher.Starts.size(), 4u);
    EXPECT_EQ(Launcher.Starts[0].Program, Dir.File("Tapcheck"));
    EXPECT_TRUE(Launcher.Starts[0].Arguments.empty());
    EXPECT_EQ(Launcher.Starts[1].Arguments, std::vector<std::string>{Dir.File("Help/Keysmith.pdf")});
    EXPECT_EQ(Launcher.Starts[2].Arguments, std::vector<std::string>{Dir.File("Help/Getting Started.pdf")});
    EXPECT_EQ(Launcher.Starts[3].Program, "/usr/bin/xdg-open");
    EXPECT_EQ(Launcher.Starts[3].Arguments, std::vector<std::string>{caps});
    ASSERT_EQ(Dialogs.FileDialogs.size(), 2u);
    EXPECT_EQ(Dialogs.FileDialogs[0].FilterIndex, 3);
    EXPECT_EQ(Dialogs.FileDialogs[0].Title, "");
    EXPECT_EQ(Dialogs.FileDialogs[0].DefaultExt, "");
}

TEST_F(FileCommandsTest, PropertiesApplyMarksTheDefinitionModified)
{
    TfrmMain& f = Start();
    TfrmParameters parameters(&f);
    frmParameters = &parameters;
    parameters.SetModified = [&f](bool Value) { f.SetModified(Value); };
    QTimer::singleShot(0, &parameters, [&] { parameters.btnApplyClick(); });
    f.ToolBtnParameters->click();
    EXPECT_TRUE(Modified);
    EXPECT_EQ(f.Caption(), std::string(Untitled) + "*");
    frmParameters = nullptr;
}

TEST_F(FileCommandsTest, StartupQuestionYesOpensTheTutorialThroughTheMainWindow)
{
    TStartupForm question;
    question.OnGettingStarted = [] { frmMain->GettingStarted->trigger(); };
    Start();
    question.rbYes->setChecked(true);
    question.btnOK->click();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"Could not find \"Getting Started.pdf\" help file."});
    EXPECT_FALSE(FileExists(Dir.File("Keysmith591.ini")));
}

TEST_F(FileCommandsTest, GridShowsTheFirstRowAfterEveryLoad)
{
    // Key 1 with 12 codes: the cursor stands in row 1, which fits with row 0 above it.
    const std::string path = Dir.File("rows.ckd");
    std::string codes;
    for (int i = 0; i < 12; ++i) codes += "1c";
    WriteFileText(path, "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\n[KEY0]\nLevel_1_Codes=" + codes + "\n");
    TfrmMain& f = Start("\"" + path + "\"");
    EXPECT_EQ(f.Grid->Row(), 1);
    EXPECT_EQ(f.Grid->TopRow(), 0); // loaded before the window was ever laid out
    f.show();
    EXPECT_EQ(f.Grid->TopRow(), 0);

    f.Grid->SetTopRow(20);
    Dialogs.FileAnswers.push_back(path);
    f.OpenMenuItemClick(&f);
    EXPECT_EQ(f.Grid->Row(), 1);
    EXPECT_EQ(f.Grid->TopRow(), 0);

    f.Grid->SetTopRow(20);
    f.NewMenuItemClick(&f);
    EXPECT_EQ(f.Grid->TopRow(), 0);
}

} // namespace
