// The whole road of a download: the editor window saves a definition, its Download starts
// the real Keyburn591 through the real shell, and the virtual keypad receives the stream
// that the loader's own reading of the file gives.
#include "QtTestApp.h"

#include "LoaderStream.h"
#include "Forms.h"
#include "Paths.h"
#include "Unit1.h"
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class DownloadTest : public ::testing::Test {
protected:
    TVirtualKeypad VirtualKeypad;
    TRecordingDialogs Dialogs;
    std::string OldLibraryPath;

    void SetUp() override
    {
        App();
        Application.Title = "Keysmith";
        VirtualKeypad.SetDevices("16c0 0607\n");
        // The loader inherits this process's environment: the virtual keypad and a headless screen.
        if (const char* p = std::getenv("LD_LIBRARY_PATH")) OldLibraryPath = p;
        setenv("LD_LIBRARY_PATH", VirtualLibraryDir("virtualhid").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        SetProgramFileName(ProgramDir() + "/Keysmith591");
    }
    void TearDown() override
    {
        SetProgramFileName("");
        if (OldLibraryPath.empty()) {
            unsetenv("LD_LIBRARY_PATH");
        } else {
            setenv("LD_LIBRARY_PATH", OldLibraryPath.c_str(), 1);
        }
    }
    // The bytes the keypad has received once Count have arrived, or what came in 30 s.
    std::vector<uint8_t> AwaitBytes(size_t Count)
    {
        std::vector<uint8_t> got;
        for (int i = 0; i < 600 && got.size() < Count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            got = VirtualKeypad.CarriedBytes();
        }
        return got;
    }
};

TEST_F(DownloadTest, SavedDefinitionReachesTheVirtualKeypad)
{
    const std::string path = VirtualKeypad.Dir.File("my  keypad $(touch x);.ckd");
    std::unique_ptr<TfrmMain> f = CreateMainForm();
    f->InsertAtCursor(30);
    f->InsertAtCursor(31);
    f->SpeedButton5->click();
    f->InsertAtCursor(40);
    Keypad->SetDownloadDelay(0);
    Keypad->SetCharacterPacing(5);

    f->ToolBtnDownload->click(); // modified: refused, nothing started
    Dialogs.FileAnswers = {path};
    f->ToolBtnSave->click();
    ASSERT_FALSE(Modified);
    f->ToolBtnDownload->click();
    EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{"You must save your file before downloading it to the keypad."});

    const std::vector<uint8_t> expected = LoaderStreamOf(path);
    ASSERT_GT(expected.size(), 13u + 24u);
    EXPECT_EQ(AwaitBytes(expected.size()), expected);
    EXPECT_FALSE(FileExists(VirtualKeypad.Dir.File("x")));
}

} // namespace
