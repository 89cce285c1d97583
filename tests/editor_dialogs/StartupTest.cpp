#include "QtTestApp.h"
#include "Forms.h"
#include "Paths.h"
#include "Startup.h"
#include "TestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        SetProgramFileName(Dir.File("Keysmith591"));
        Application.Title = "Keysmith";
    }
    void TearDown() override { SetProgramFileName(""); }

    // Shows the question, picks an answer and presses OK.
    void Answer(QRadioButton* TStartupForm::*Choice)
    {
        Form.OnGettingStarted = [this] { ++TutorialOpened; };
        Form.show();
        (Form.*Choice)->click();
        QTest::mouseClick(Form.btnOK, Qt::LeftButton);
        EXPECT_FALSE(Form.isVisible());
    }

    TTempDir Dir;
    std::string Settings = Dir.File("Keysmith591.ini");
    TStartupForm Form;
    int TutorialOpened = 0;
};

TEST_F(StartupTest, SettingsFileDecides)
{
    EXPECT_EQ(SettingsFileName(), Settings);
    EXPECT_TRUE(StartupQuestionWanted());
    WriteFileText(Settings, "");
    EXPECT_FALSE(StartupQuestionWanted());
    WriteFileText(Settings, "anything at all");
    EXPECT_FALSE(StartupQuestionWanted());
    std::filesystem::remove(Settings);
    std::filesystem::create_directory(Settings);
    EXPECT_TRUE(StartupQuestionWanted());
}

TEST_F(StartupTest, Form)
{
    EXPECT_EQ(Form.windowTitle(), "Keysmith");
    EXPECT_EQ(Form.size(), QSize(290, 172));
    EXPECT_TRUE(Form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Form.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(Form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(Form.isModal());
    EXPECT_EQ(Form.Label1->text(), "Would you like to read the \"Getting Started\" tutorial?");
    EXPECT_EQ(Form.rbLater->text(), "No (remind me later)");
    EXPECT_EQ(Form.rbNo->text(), "No (don't show this again)");
    EXPECT_TRUE(Form.rbYes->isChecked());
    EXPECT_TRUE(Form.btnOK->isDefault());
    // OK is the only way out: neither Escape nor a close request hides it.
    Form.show();
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_FALSE(Form.close());
    EXPECT_TRUE(Form.isVisible());
    QTest::keyClick(&Form, Qt::Key_Return);
    EXPECT_FALSE(Form.isVisible());
}

TEST_F(StartupTest, Answers)
{
    Answer(&TStartupForm::rbYes);
    EXPECT_EQ(TutorialOpened, 1);
    EXPECT_TRUE(StartupQuestionWanted());
    Answer(&TStartupForm::rbLater);
    EXPECT_EQ(TutorialOpened, 1);
    EXPECT_TRUE(StartupQuestionWanted());
    Answer(&TStartupForm::rbNo);
    EXPECT_EQ(TutorialOpened, 1);
    EXPECT_EQ(ReadFileText(Settings), "[CONFIGURATION]\nModel_Number=Keysmith591\nHide_StartBox=1\n");
    EXPECT_FALSE(StartupQuestionWanted());
}

TEST_F(StartupTest, UnwritableFolderIsReportedAndWritesNothing)
{
    TRecordingDialogs dialogs;
    TRefusingFileSystem refusing;
    Answer(&TStartupForm::rbNo);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Caption, "Keysmith");
    EXPECT_EQ(dialogs.Messages[0].Text, "Unable to write to " + Settings);
    EXPECT_EQ(dialogs.Messages[0].Icon, TMsgIcon::Stop);
    EXPECT_FALSE(std::filesystem::exists(Settings));
    EXPECT_TRUE(StartupQuestionWanted());
}

TEST_F(StartupTest, AFolderOfThatNameIsNotOverwritten)
{
    std::filesystem::create_directory(Settings);
    TRecordingDialogs dialogs;
    Answer(&TStartupForm::rbNo);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Unable to write to " + Settings});
    EXPECT_TRUE(std::filesystem::is_directory(Settings));
}

} // namespace
